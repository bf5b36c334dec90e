#include "runner/ShellAndWait.h"

#include "platform/RuntimeError.h"

#include <optional>

namespace {

// How long a started program may take to show its first window.
constexpr float WindowSearchSeconds = 2.0f;

std::optional<std::uint32_t> StartOrSayWhy(Platform& platform, const Text& path, std::int32_t windowStyle,
                                           const PackagePin* pin)
{
    try {
        // Held until the process has started: the file that runs is the one that was checked.
        const auto verified = pin ? OpenVerified(platform, path, *pin) : nullptr;
        return platform.processes.Start(path, windowStyle);
    } catch (const RuntimeError& error) {
        platform.dialogs.MsgBox(u"Program başlatılamadı: " + path + u"\r\n" + error.Description(),
                                MsgBoxStyle::Exclamation, u"Hata");
        return std::nullopt;
    }
}

} // namespace

void ShellAndWait(Platform& platform, const Text& path, std::int32_t windowStyle, const PackagePin* pin)
{
    const auto processId = StartOrSayWhy(platform, path, windowStyle, pin);
    if (!processId) return;

    // A tight poll without pumping: the installer's window usually shows up within moments.
    const double started = platform.clock.MonotonicSeconds();
    bool found = false;
    while (!found && static_cast<float>(platform.clock.MonotonicSeconds() - started) < WindowSearchSeconds)
        found = BringProcessWindowToTop(platform.processes, *processId);

    // Null when the process has already gone or may not be waited on.
    if (auto process = platform.processes.OpenForWait(*processId)) process->WaitForExit();
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
