#include "platform/win32/Win32Processes.h"

#include "platform/RuntimeError.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <shellapi.h>
// The interface's method bears the name that shellapi.h takes for its A/W switch.
#undef ShellExecute

namespace {

HWND AsHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle AsHandle(HWND window) { return reinterpret_cast<WindowHandle>(window); }

std::int32_t StartErrorNumber(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return ErrorNumber::FileNotFound;
    case ERROR_PATH_NOT_FOUND: return ErrorNumber::PathNotFound;
    case ERROR_ACCESS_DENIED: return ErrorNumber::PathFileAccess;
    default: return ErrorNumber::InvalidProcedureCall;
    }
}

class Win32StartedProcess : public StartedProcess {
public:
    Win32StartedProcess(UniqueHandle process, std::uint32_t id) : process_(std::move(process)), id_(id) {}
    std::uint32_t Id() const override { return id_; }
    std::optional<std::uint32_t> WaitForExit() override;

private:
    UniqueHandle process_;
    std::uint32_t id_;
};

// An installer that broadcasts with SendMessage (WM_SETTINGCHANGE after it has changed the
// environment) waits until our windows have answered: serving sent messages here keeps it from
// waiting for us while we wait for it. Nothing else is served, so no click or timer tick runs
// nested in the wait. Ends on the exit, and also when the handle cannot be waited on.
std::optional<std::uint32_t> Win32StartedProcess::WaitForExit()
{
    const HANDLE process = process_.Get();
    while (MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE) return std::nullopt;
    return exitCode;
}

} // namespace

std::unique_ptr<StartedProcess> Win32Processes::Start(const Text& path, int windowStyle, const Text& currentFolder)
{
    // The program is named explicitly and quoted on its command line, so
    // exactly the file at path runs whatever characters the path holds.
    Text commandLine = u"\"" + path + u"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(Wide(path), reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr, FALSE,
                        0, nullptr, Wide(currentFolder), &startup, &started)) {
        const DWORD error = GetLastError();
        throw Win32Error(error, StartErrorNumber(error), path);
    }
    UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    return std::make_unique<Win32StartedProcess>(std::move(process), started.dwProcessId);
}

WindowHandle Win32Processes::FirstTopLevelWindow() { return AsHandle(GetTopWindow(nullptr)); }

WindowHandle Win32Processes::NextWindow(WindowHandle window)
{
    return AsHandle(GetWindow(AsHwnd(window), GW_HWNDNEXT));
}

WindowHandle Win32Processes::Parent(WindowHandle window) { return AsHandle(GetParent(AsHwnd(window))); }

std::uint32_t Win32Processes::WindowProcessId(WindowHandle window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(AsHwnd(window), &processId);
    return processId;
}

void Win32Processes::BringWindowToTop(WindowHandle window) { ::BringWindowToTop(AsHwnd(window)); }

std::intptr_t Win32Processes::ShellExecute(WindowHandle owner, const Text& operation, const Text& file,
                                           const Text& parameters, const Text& directory, int showCommand)
{
    return reinterpret_cast<std::intptr_t>(ShellExecuteW(AsHwnd(owner), Wide(operation), Wide(file),
                                                         Wide(parameters), Wide(directory), showCommand));
}

double Win32Clock::MonotonicSeconds() { return static_cast<double>(GetTickCount64()) / 1000.0; }
