#pragma once
// A scripted process table and Z order, and a clock the test moves.
#include "platform/Processes.h"
#include "platform/RuntimeError.h"

#include <functional>
#include <map>
#include <optional>
#include <vector>

struct FakeWindow {
    WindowHandle handle;
    std::uint32_t processId;
    WindowHandle parent = 0;
};

class FakeClock : public Clock {
public:
    double now = 1000.0;
    double step = 0.0;                         // added on every reading
    double MonotonicSeconds() override
    {
        double reading = now;
        now += step;
        return reading;
    }
};

class FakeProcesses : public Processes {
public:
    // "Start <path> <style>", "Top <hwnd>", "Wait <pid>", "Close <pid>" (its handle), "ShellExecute ..."
    std::vector<Text> log;
    std::map<Text, std::uint32_t> startable;   // path -> pid; others fail to start
    Text startError = u"File not found";
    std::vector<FakeWindow> zOrder;            // frontmost first
    std::function<void()> onZOrderWalk;        // runs at every FirstTopLevelWindow
    std::function<void(std::uint32_t)> onWait; // runs while a process is waited for
    std::function<void(const Text&)> onStart;  // runs as Start begins, with the path
    std::intptr_t shellExecuteResult = 42;
    std::optional<std::uint32_t> exitCode = 0; // what every waited process exits with
    std::map<Text, Text> startedIn;            // path -> the current folder it was last started in

    std::unique_ptr<StartedProcess> Start(const Text& path, int windowStyle, const Text& currentFolder) override;
    WindowHandle FirstTopLevelWindow() override;
    WindowHandle NextWindow(WindowHandle window) override;
    WindowHandle Parent(WindowHandle window) override;
    std::uint32_t WindowProcessId(WindowHandle window) override;
    void BringWindowToTop(WindowHandle window) override;
    std::intptr_t ShellExecute(WindowHandle owner, const Text& operation, const Text& file,
                               const Text& parameters, const Text& directory,
                               int showCommand) override;

private:
    const FakeWindow* Find(WindowHandle window) const;
};
