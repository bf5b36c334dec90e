// The reference transfer loops of the benchmark: one URL into one file through WinINet, timed in
// this process from opening the WinINet session to closing the file.
//   bench_fetch bare|naive|wide <url> <file>
//   bare:  4096-byte InternetReadFile calls, each chunk written with WriteFile
//   naive: the same, and per chunk what a naive progress display does: SetWindowTextW and
//          UpdateWindow on a STATIC, a PATINVERT PatBlt on a child window, a PeekMessage pump
//   wide:  65536-byte reads, no display
// The URL is opened as the program opens its URLs, so that WinINet's cache is written alike.
// Prints one JSON line: seconds, bytes, cpu_seconds (user + kernel), peak_working_set (bytes);
// on failure, the reason on standard error and exit code 1.
#include "BenchClock.h"
#include "ToolSupport.h"

#include <windows.h>
// After windows.h, which they build on.
#include <psapi.h>
#include <wininet.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using OwnedInternet = Owned<HINTERNET, InternetCloseHandle>;
using OwnedBrush = Owned<HBRUSH, DeleteObject>;

struct Loop {
    std::wstring_view name;
    DWORD chunk;
    bool display;
};

constexpr Loop loops[] = {{L"bare", 4096, false}, {L"naive", 4096, true}, {L"wide", 65536, false}};

[[noreturn]] void Fail(const std::wstring& what)
{
    const DWORD error = GetLastError();
    throw std::runtime_error(Utf8(what) + " failed with error " + std::to_string(error));
}

// The DC of a window for one drawing, released in its destructor.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() { ReleaseDC(window_, dc_); }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

void RegisterPlainClass(const wchar_t* name)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

HWND CreateChild(const wchar_t* className, DWORD style, HWND parent, int x, int y, int width, int height)
{
    return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// A window about the size of the program's, with a status label and a bar, updated on every chunk
// without any care for the cost.
class NaiveDisplay {
public:
    NaiveDisplay()
    {
        RegisterPlainClass(L"bench_naive");
        RegisterPlainClass(L"bench_bar");
        window_ = OwnedWindow(CreateWindowExW(0, L"bench_naive", L"bench_fetch", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                              100, 100, 560, 130, nullptr, nullptr, GetModuleHandleW(nullptr),
                                              nullptr));
        if (!window_) Fail(L"CreateWindowExW");
        label_ = CreateChild(L"STATIC", SS_CENTER, window_.Get(), 8, 48, 537, 23);
        bar_ = CreateChild(L"bench_bar", WS_BORDER, window_.Get(), 8, 69, 534, 13);
        if (!label_ || !bar_) Fail(L"CreateWindowExW");
        brush_ = OwnedBrush(CreateSolidBrush(RGB(0, 0, 255)));
        UpdateWindow(window_.Get());
    }

    void Show(std::uint64_t received, std::uint64_t total)
    {
        const std::uint64_t kb = received / 1024;
        const std::uint64_t percent = total ? received * 100 / total : 100;
        wchar_t text[128];
        swprintf(text, std::size(text), L"%llu%% (%llu Kb\\%llu Kb - NDP4...-AllOS-ENU.exe)", percent, kb,
                 total / 1024);
        SetWindowTextW(label_, text);
        UpdateWindow(label_);
        RECT inside{};
        GetClientRect(bar_, &inside);
        const LONG left = total ? static_cast<LONG>(inside.right * received / total) : inside.right;
        {
            const WindowDc dc(bar_);
            const HGDIOBJ previous = SelectObject(dc.Get(), brush_.Get());
            PatBlt(dc.Get(), left, 0, inside.right - left, inside.bottom, PATINVERT);
            SelectObject(dc.Get(), previous);
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

private:
    OwnedWindow window_;
    HWND label_ = nullptr;
    HWND bar_ = nullptr;
    OwnedBrush brush_;
};

DWORD QueryNumber(HINTERNET request, DWORD what)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!HttpQueryInfoW(request, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr))
        Fail(L"HttpQueryInfoW");
    return value;
}

std::uint64_t Fetch(const Loop& loop, const std::wstring& url, const std::wstring& path, NaiveDisplay* display)
{
    const OwnedInternet session(InternetOpenW(L"bench_fetch", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) Fail(L"InternetOpenW");
    const OwnedInternet request(
        InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0, INTERNET_FLAG_EXISTING_CONNECT, 0));
    if (!request) Fail(L"InternetOpenUrlW " + url);
    const DWORD status = QueryNumber(request.Get(), HTTP_QUERY_STATUS_CODE);
    if (status != 200) throw std::runtime_error("HTTP status " + std::to_string(status));
    const std::uint64_t total = QueryNumber(request.Get(), HTTP_QUERY_CONTENT_LENGTH);
    const OwnedFile file = OpenedFile(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail(L"CreateFileW " + path);
    std::vector<char> buffer(loop.chunk);
    std::uint64_t received = 0;
    while (true) {
        DWORD count = 0;
        if (!InternetReadFile(request.Get(), buffer.data(), loop.chunk, &count)) Fail(L"InternetReadFile");
        if (count == 0) break;
        if (!WriteAll(file.Get(), std::string_view(buffer.data(), count))) Fail(L"WriteFile");
        received += count;
        if (display) display->Show(received, total);
    }
    return received;
}

std::string Measure(const Loop& loop, const std::wstring& url, const std::wstring& path)
{
    // The window is there before the clock starts, as the program's is before the click.
    const auto display = loop.display ? std::make_unique<NaiveDisplay>() : nullptr;
    const double cpuBefore = CpuSeconds(GetCurrentProcess());
    const double start = Now();
    const std::uint64_t bytes = Fetch(loop, url, path, display.get());
    const double seconds = Now() - start;
    const double cpu = CpuSeconds(GetCurrentProcess()) - cpuBefore;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) Fail(L"GetProcessMemoryInfo");
    char json[256];
    std::snprintf(json, sizeof json,
                  "{\"seconds\":%.6f,\"bytes\":%llu,\"cpu_seconds\":%.3f,\"peak_working_set\":%llu}", seconds,
                  static_cast<unsigned long long>(bytes), cpu,
                  static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return json;
}

const Loop& LoopNamed(std::wstring_view name)
{
    for (const Loop& loop : loops)
        if (loop.name == name) return loop;
    throw std::runtime_error("unknown loop " + Utf8(name) + "; use bare, naive or wide");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        if (argc != 4) throw std::runtime_error("usage: bench_fetch bare|naive|wide <url> <file>");
        WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), Measure(LoopNamed(argv[1]), argv[2], argv[3]) + "\n");
        return 0;
    } catch (const std::exception& error) {
        WriteAll(GetStdHandle(STD_ERROR_HANDLE), std::string(error.what()) + "\n");
        return 1;
    }
}
