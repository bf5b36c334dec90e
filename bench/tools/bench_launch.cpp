// Times a program's start-up: from the creation of its process to its first visible top-level
// window with the given title. Then closes that window and waits for the program to end.
//   bench_launch <program> <title>
// Prints one JSON line: seconds, cpu_seconds (what the program spent up to then: a figure that a
// busy machine changes less), closed (false when the program had to be terminated);
// on failure, the reason on standard error and exit code 1.
#include "BenchClock.h"
#include "ToolSupport.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

constexpr DWORD ShowTimeoutMs = 60000;
constexpr DWORD EndTimeoutMs = 30000;

struct Search {
    DWORD processId;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM search)
{
    auto& wanted = *reinterpret_cast<Search*>(search);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != wanted.processId || !IsWindowVisible(window) || WindowText(window) != *wanted.title)
        return TRUE;
    wanted.found = window;
    return FALSE;
}

HWND ShownWindow(DWORD processId, const std::wstring& title)
{
    Search search{processId, &title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Launch(const std::wstring& program, const std::wstring& title)
{
    const std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const double start = Now();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started))
        throw std::runtime_error("cannot start " + Utf8(program) + ": error " + std::to_string(GetLastError()));
    const OwnedFile process(started.hProcess);
    const OwnedFile thread(started.hThread);
    // Polled every millisecond: a hook on another process's windows is not dependable under Wine.
    HWND shown = nullptr;
    while (!(shown = ShownWindow(started.dwProcessId, title))) {
        if (Now() - start > ShowTimeoutMs / 1000.0 || WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) break;
    }
    const double seconds = Now() - start;
    const double cpu = CpuSeconds(process.Get());
    if (shown) PostMessageW(shown, WM_CLOSE, 0, 0);
    const bool closed = shown && WaitForSingleObject(process.Get(), EndTimeoutMs) == WAIT_OBJECT_0;
    if (!closed) TerminateProcess(process.Get(), 1);
    if (!shown) throw std::runtime_error("no visible window titled " + Utf8(title) + " appeared");
    char json[128];
    std::snprintf(json, sizeof json, "{\"seconds\":%.6f,\"cpu_seconds\":%.3f,\"closed\":%s}", seconds, cpu,
                  closed ? "true" : "false");
    return json;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        if (argc != 3) throw std::runtime_error("usage: bench_launch <program> <title>");
        WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), Launch(argv[1], argv[2]) + "\n");
        return 0;
    } catch (const std::exception& error) {
        WriteAll(GetStdHandle(STD_ERROR_HANDLE), std::string(error.what()) + "\n");
        return 1;
    }
}
