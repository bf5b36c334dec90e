#include "runner/ShellAndWait.h"

#include "platform/RuntimeError.h"

namespace {

// How long a started program may take to show its first window, and how often it is looked for.
constexpr float WindowSearchSeconds = 2.0f;
constexpr double WindowSearchInterval = 0.015;

// Null when the start failed and the user has been told why.
std::unique_ptr<StartedProcess> StartOrSayWhy(Platform& platform, StagingFolder& staging, const Text& path,
                                              std::int32_t windowStyle, const PackagePin* pin)
{
    try {
        const Text copy = staging.Stage(path, pin);
        platform.log.Write(u"Staged: \"" + copy + u"\"");
        // Held until the process has started: the file that runs is the one that was checked.
        const auto verified = pin ? OpenVerified(platform, copy, *pin) : nullptr;
        return platform.processes.Start(copy, windowStyle, staging.Folder());
    } catch (const RuntimeError& error) {
        platform.dialogs.MsgBox(u"Program başlatılamadı: " + path + u"\r\n" + error.Description(),
                                MsgBoxStyle::Exclamation, u"Hata");
        return nullptr;
    }
}

// Brings the process's window to the top and waits for its exit.
ExitCode WaitFor(Platform& platform, StartedProcess& process, const Text& path)
{
    // The installer's window usually shows up within moments. Between the looks only the messages
    // the installer sends us are served, as in the wait for its exit below.
    const double started = platform.clock.MonotonicSeconds();
    bool found = false;
    while (!found && static_cast<float>(platform.clock.MonotonicSeconds() - started) < WindowSearchSeconds) {
        found = BringProcessWindowToTop(platform.processes, process.Id());
        if (!found) platform.events.ServeSentMessages(WindowSearchInterval);
    }

    // Whatever the code, the next package runs: it only goes into the setup's own exit code.
    const auto exitCode = process.WaitForExit();
    platform.log.Write(u"Exit code: " + (exitCode ? DecimalText(*exitCode) : Text(u"unknown")) + u" (\"" + path +
                       u"\")");
    return PackageOutcome(exitCode);
}

} // namespace

ExitCode ShellAndWait(Platform& platform, StagingFolder& staging, const Text& path, std::int32_t windowStyle,
                      const PackagePin* pin)
{
    platform.log.Write(u"Start: \"" + path + u"\"");
    const auto process = StartOrSayWhy(platform, staging, path, windowStyle, pin);
    const ExitCode outcome = process ? WaitFor(platform, *process, path) : ExitCode::PackageNotStarted;
    staging.DiscardCopy();
    return outcome;
}

bool BringProcessWindowToTop(Processes& processes, std::uint32_t processId)
{
    const WindowHandle window = FindProcessWindow(processes, processId);
    if (window == 0) return false;
    processes.BringWindowToTop(window);
    return true;
}

WindowHandle FindProcessWindow(Processes& processes, std::uint32_t processId)
{
    for (WindowHandle window = processes.FirstTopLevelWindow(); window != 0;
         window = processes.NextWindow(window))
        if (processes.Parent(window) == 0 && processes.WindowProcessId(window) == processId) return window;
    return 0;
}
