#pragma once
#include "platform/Processes.h"

class Win32Processes : public Processes {
public:
    std::unique_ptr<StartedProcess> Start(const Text& path, int windowStyle, const Text& currentFolder) override;
    WindowHandle FirstTopLevelWindow() override;
    WindowHandle NextWindow(WindowHandle window) override;
    WindowHandle Parent(WindowHandle window) override;
    std::uint32_t WindowProcessId(WindowHandle window) override;
    void BringWindowToTop(WindowHandle window) override;
    std::intptr_t ShellExecute(WindowHandle owner, const Text& operation, const Text& file,
                               const Text& parameters, const Text& directory, int showCommand) override;
};

class Win32Clock : public Clock {
public:
    double MonotonicSeconds() override;
};
