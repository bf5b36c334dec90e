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

class Win32WaitHandle : public ProcessWaitHandle {
public:
    explicit Win32WaitHandle(UniqueHandle process) : process_(std::move(process)) {}
    std::optional<std::uint32_t> WaitForExit() override
    {
        WaitForSingleObject(process_.Get(), INFINITE);
        DWORD exitCode = 0;
        if (!GetExitCodeProcess(process_.Get(), &exitCode)) return std::nullopt;
        return exitCode;
    }

private:
    UniqueHandle process_;
};

} // namespace

std::uint32_t Win32Processes::Start(const Text& path, int windowStyle)
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
                        0, nullptr, nullptr, &startup, &started)) {
        const DWORD error = GetLastError();
        throw RuntimeError(StartErrorNumber(error), SystemErrorText(error, path));
    }
    // Closed on return: the process is waited for by its id.
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    return started.dwProcessId;
}

std::unique_ptr<ProcessWaitHandle> Win32Processes::OpenForWait(std::uint32_t processId)
{
    UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return nullptr;
    return std::make_unique<Win32WaitHandle>(std::move(process));
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
