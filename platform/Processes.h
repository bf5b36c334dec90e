#pragma once
#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <optional>

using WindowHandle = std::uintptr_t;

// A process this program started, held open from its start until this is
// destroyed, so that its id cannot pass to another process meanwhile.
class StartedProcess {
public:
    virtual ~StartedProcess() = default;
    virtual std::uint32_t Id() const = 0;
    // Returns when the process has exited. Meanwhile the thread serves only the
    // messages that other threads send to its windows: no input, timer tick or
    // posted message is dispatched. The exit code, or nothing when it cannot be read.
    virtual std::optional<std::uint32_t> WaitForExit() = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts exactly the program at path, without arguments, in the given current folder rather
    // than ours; raises RuntimeError with the system's description on failure.
    virtual std::unique_ptr<StartedProcess> Start(const Text& path, int windowStyle, const Text& currentFolder) = 0;

    // Top-level windows in Z order, frontmost first; 0 after the last.
    virtual WindowHandle FirstTopLevelWindow() = 0;
    virtual WindowHandle NextWindow(WindowHandle window) = 0;
    virtual WindowHandle Parent(WindowHandle window) = 0;
    virtual std::uint32_t WindowProcessId(WindowHandle window) = 0;
    virtual void BringWindowToTop(WindowHandle window) = 0;

    // ShellExecute: greater than 32 on success, else the shell's failure code.
    virtual std::intptr_t ShellExecute(WindowHandle owner, const Text& operation, const Text& file,
                                       const Text& parameters, const Text& directory,
                                       int showCommand) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds from an arbitrary start; never jumps back.
    virtual double MonotonicSeconds() = 0;
};
