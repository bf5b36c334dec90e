#pragma once
#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <optional>

using WindowHandle = std::uintptr_t;

// A process handle that can only be waited on; closed when destroyed.
class ProcessWaitHandle {
public:
    virtual ~ProcessWaitHandle() = default;
    // The process's exit code, or nothing when it cannot be read.
    virtual std::optional<std::uint32_t> WaitForExit() = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts exactly the program at path, without arguments, and returns its
    // process id; raises RuntimeError with the system's description on failure.
    virtual std::uint32_t Start(const Text& path, int windowStyle) = 0;
    // Null when the process cannot be opened for waiting.
    virtual std::unique_ptr<ProcessWaitHandle> OpenForWait(std::uint32_t processId) = 0;

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
