// Looks at and operates the windows of its Wine prefix for the end-to-end tests.
// Every command prints one JSON document on one line. "idle" holds the prefix's desktop for the
// whole test and answers further commands, one tab-separated line of standard input each. "start"
// runs a program to its end, in place of the test starting it, for the program's whole exit code.
#include "ToolSupport.h"

#include <windows.h>
// After windows.h, which they build on.
#include <oleacc.h>
#include <tlhelp32.h>
#include <wincred.h>
#include <winspool.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Arguments = std::span<const std::wstring>;

class CommandError : public std::runtime_error {
public:
    explicit CommandError(const std::wstring& message) : std::runtime_error(Utf8(message)) {}
};

std::string Quoted(std::string_view utf8)
{
    std::string result = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            result += '\\';
            result += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char digits[] = "0123456789abcdef";
            result += "\\u00";
            result += digits[(c >> 4) & 0xF];
            result += digits[c & 0xF];
        } else {
            result += c;
        }
    }
    return result + '"';
}

std::string Quoted(std::wstring_view text) { return Quoted(Utf8(text)); }

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string Number(std::uintptr_t value) { return std::to_string(value); }

std::string HandleNumber(HWND window) { return Number(reinterpret_cast<std::uintptr_t>(window)); }

std::string RectJson(const RECT& rect)
{
    std::string json = "[";
    for (const LONG edge : {rect.left, rect.top, rect.right, rect.bottom}) {
        if (json.size() > 1) json += ',';
        json += std::to_string(edge);
    }
    return json + ']';
}

std::string Joined(const std::vector<std::string>& items, char open = '[', char close = ']')
{
    std::string result(1, open);
    for (std::size_t i = 0; i < items.size(); ++i) result += (i ? "," : "") + items[i];
    return result + close;
}

std::string ClassName(HWND window)
{
    wchar_t buffer[256];
    const int length = GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return Quoted(std::wstring_view(buffer, static_cast<std::size_t>(length > 0 ? length : 0)));
}

long NumberArgument(const std::wstring& text)
{
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used, 0);
        if (used == text.size()) return value;
    } catch (const std::logic_error&) {
    }
    throw CommandError(L"not a number: " + text);
}

HWND WindowArgument(const std::wstring& text)
{
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(NumberArgument(text)));
    if (!IsWindow(window)) throw CommandError(L"no such window: " + text);
    return window;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> CollectWindows(HWND parent)
{
    std::vector<HWND> windows;
    if (parent)
        EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    else
        EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::map<DWORD, std::wstring> ProcessNames()
{
    std::map<DWORD, std::wstring> names;
    const OwnedFile snapshot = OpenedFile(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return names;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry))
        names[entry.th32ProcessID] = entry.szExeFile;
    return names;
}

std::string ChildJson(HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    return "{\"hwnd\":" + HandleNumber(child) + ",\"parent\":" + HandleNumber(GetParent(child)) +
           ",\"id\":" + std::to_string(GetDlgCtrlID(child)) + ",\"class\":" + ClassName(child) +
           ",\"text\":" + Quoted(WindowText(child)) +
           ",\"visible\":" + Bool(IsWindowVisible(child)) +
           ",\"enabled\":" + Bool(IsWindowEnabled(child)) +
           ",\"style\":" + Number(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE))) +
           ",\"rect\":" + RectJson(rect) + "}";
}

std::string TopLevelJson(HWND window, const std::map<DWORD, std::wstring>& processNames)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const auto name = processNames.find(processId);
    RECT rect{};
    GetWindowRect(window, &rect);
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    std::vector<std::string> children;
    for (const HWND child : CollectWindows(window)) children.push_back(ChildJson(child));
    return "{\"hwnd\":" + HandleNumber(window) + ",\"pid\":" + Number(processId) +
           ",\"exe\":" + Quoted(name == processNames.end() ? L"" : name->second) +
           ",\"class\":" + ClassName(window) + ",\"title\":" + Quoted(WindowText(window)) +
           ",\"visible\":" + Bool(IsWindowVisible(window)) +
           ",\"enabled\":" + Bool(IsWindowEnabled(window)) +
           ",\"topmost\":" + Bool(exStyle & WS_EX_TOPMOST) +
           ",\"owner\":" + HandleNumber(GetWindow(window, GW_OWNER)) +
           ",\"style\":" + Number(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
           ",\"rect\":" + RectJson(rect) + ",\"children\":" + Joined(children) + "}";
}

// Top-level windows come in Z order, frontmost first.
std::string List(Arguments)
{
    const auto processNames = ProcessNames();
    std::vector<std::string> windows;
    for (const HWND window : CollectWindows(nullptr))
        windows.push_back(TopLevelJson(window, processNames));
    std::vector<std::string> processes;
    for (const auto& [id, name] : processNames)
        processes.push_back("{\"pid\":" + Number(id) + ",\"exe\":" + Quoted(name) + "}");
    POINT cursor{};
    GetCursorPos(&cursor);
    return "{\"foreground\":" + HandleNumber(GetForegroundWindow()) + ",\"cursor\":[" +
           std::to_string(cursor.x) + "," + std::to_string(cursor.y) + "],\"screen\":[" +
           std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "," +
           std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "],\"windows\":" + Joined(windows) +
           ",\"processes\":" + Joined(processes) + "}";
}

std::string Posted(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!PostMessageW(window, message, wParam, lParam))
        throw CommandError(L"PostMessageW failed with error " + std::to_wstring(GetLastError()));
    return "{\"ok\":true}";
}

std::string Press(Arguments arguments)
{
    const HWND window = WindowArgument(arguments[0]);
    const auto id = static_cast<WORD>(NumberArgument(arguments[1]));
    return Posted(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                  reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

std::string Close(Arguments arguments)
{
    return Posted(WindowArgument(arguments[0]), WM_CLOSE, 0, 0);
}

void SendMouse(DWORD flags, LONG x = 0, LONG y = 0)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = flags;
    if (SendInput(1, &input, sizeof input) != 1)
        throw CommandError(L"SendInput failed with error " + std::to_wstring(GetLastError()));
}

// SetCursorPos alone moves no mouse through the input queue; the absolute move after it does.
void MoveCursor(Arguments arguments)
{
    const long x = NumberArgument(arguments[0]);
    const long y = NumberArgument(arguments[1]);
    if (!SetCursorPos(x, y)) throw CommandError(L"SetCursorPos failed");
    const long width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const long height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const long left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const long top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK,
              (x - left) * 65535 / (width > 1 ? width - 1 : 1),
              (y - top) * 65535 / (height > 1 ? height - 1 : 1));
}

std::string Move(Arguments arguments)
{
    MoveCursor(arguments);
    return "{\"ok\":true}";
}

std::string Click(Arguments arguments)
{
    MoveCursor(arguments);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    return "{\"ok\":true}";
}

// A key pressed and released through the input queue, as a keyboard would: it goes to the
// foreground window's focus.
std::string Key(Arguments arguments)
{
    INPUT inputs[2]{};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(NumberArgument(arguments[0]));
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, inputs, sizeof inputs[0]) != 2)
        throw CommandError(L"SendInput failed with error " + std::to_wstring(GetLastError()));
    return "{\"ok\":true}";
}

// The window that has the keyboard focus in the thread of the given window.
std::string Focus(Arguments arguments)
{
    const HWND window = WindowArgument(arguments[0]);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        throw CommandError(L"GetGUIThreadInfo failed with error " + std::to_wstring(GetLastError()));
    return "{\"focus\":" + HandleNumber(info.hwndFocus) + ",\"active\":" + HandleNumber(info.hwndActive) + "}";
}

std::string Activate(Arguments arguments)
{
    if (!SetForegroundWindow(WindowArgument(arguments[0]))) throw CommandError(L"SetForegroundWindow failed");
    return "{\"ok\":true}";
}

// The name a screen reader announces for the window, through the system's accessibility proxy.
std::string AccessibleName(Arguments arguments)
{
    const HWND window = WindowArgument(arguments[0]);
    IAccessible* accessible = nullptr;
    // mingw's import library hands out IID_IAccessible as an import thunk, not as the GUID.
    const HRESULT found = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(&accessible));
    if (FAILED(found) || !accessible)
        throw CommandError(L"AccessibleObjectFromWindow failed with " + std::to_wstring(found));
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT named = accessible->get_accName(self, &name);
    accessible->Release();
    const std::wstring text = name ? std::wstring(name, SysStringLen(name)) : std::wstring();
    SysFreeString(name);
    if (FAILED(named)) throw CommandError(L"get_accName failed with " + std::to_wstring(named));
    return "{\"name\":" + Quoted(text) + ",\"result\":" + std::to_string(named) + "}";
}

// The text as the window's own procedure answers WM_GETTEXT, the way another program reads a
// control's text; with what it answers WM_GETTEXTLENGTH.
std::string SentText(Arguments arguments)
{
    const HWND window = WindowArgument(arguments[0]);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        throw CommandError(L"WM_GETTEXTLENGTH was not answered");
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             5000, &copied))
        throw CommandError(L"WM_GETTEXT was not answered");
    text.resize(std::min<std::size_t>(copied, length));
    return "{\"text\":" + Quoted(text) + ",\"length\":" + std::to_string(length) + "}";
}

void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
using OwnedScreenDc = Owned<HDC, ReleaseScreenDc>;
using OwnedMemoryDc = Owned<HDC, DeleteDC>;
using OwnedBitmap = Owned<HBITMAP, DeleteObject>;

// A top-down 32-bit image in a memory DC, so that GDI can draw on it and the bits can be read.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height)
    {
        OwnedScreenDc screen(GetDC(nullptr));
        dc_ = OwnedMemoryDc(CreateCompatibleDC(screen.Get()));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = OwnedBitmap(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dc_ || !bitmap_) throw CommandError(L"cannot create a drawing surface");
        bits_ = static_cast<std::uint32_t*>(bits);
        previous_ = SelectObject(dc_.Get(), bitmap_.Get());
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() { SelectObject(dc_.Get(), previous_); }

    HDC Dc() const { return dc_.Get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Pixels as 0x00RRGGBB, row by row from the top.
    std::span<std::uint32_t> Pixels()
    {
        GdiFlush();
        return {bits_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)};
    }

private:
    int width_;
    int height_;
    OwnedMemoryDc dc_;
    OwnedBitmap bitmap_;
    std::uint32_t* bits_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// What the screen shows where the window lies; the window itself is not asked to paint.
std::vector<std::uint32_t> ScreenPixels(HWND window, int& width, int& height)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) throw CommandError(L"the window has no area");
    Canvas canvas(width, height);
    OwnedScreenDc screen(GetDC(nullptr));
    if (!BitBlt(canvas.Dc(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY))
        throw CommandError(L"BitBlt from the screen failed");
    const auto pixels = canvas.Pixels();
    return {pixels.begin(), pixels.end()};
}

void WriteBmp(const std::wstring& path, const std::vector<std::uint32_t>& pixels, int width, int height)
{
    const int rowSize = (width * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(rowSize * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = height - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(rowSize), '\0');
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = pixels[static_cast<std::size_t>(y * width + x)];
            row[static_cast<std::size_t>(x * 3)] = static_cast<char>(pixel & 0xFF);
            row[static_cast<std::size_t>(x * 3 + 1)] = static_cast<char>((pixel >> 8) & 0xFF);
            row[static_cast<std::size_t>(x * 3 + 2)] = static_cast<char>((pixel >> 16) & 0xFF);
        }
        bytes += row;
    }
    const OwnedFile out = OpenedFile(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out || !WriteAll(out.Get(), bytes)) throw CommandError(L"cannot write " + path);
}

std::string Capture(Arguments arguments)
{
    int width = 0;
    int height = 0;
    const auto pixels = ScreenPixels(WindowArgument(arguments[0]), width, height);
    WriteBmp(arguments[1], pixels, width, height);
    return "{\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) + "}";
}

// Which standard icon an icon control shows: each candidate is drawn on the control's background
// (its top left pixel, which no standard icon covers) and compared with the screen. Icon handles
// of another process cannot be drawn here, so the control's own icon is not asked for.
std::string Icon(Arguments arguments)
{
    int width = 0;
    int height = 0;
    const auto shown = ScreenPixels(WindowArgument(arguments[0]), width, height);
    struct Candidate {
        const char* name;
        LPCWSTR id;
    };
    static const Candidate candidates[] = {{"hand", IDI_HAND},
                                           {"question", IDI_QUESTION},
                                           {"exclamation", IDI_EXCLAMATION},
                                           {"asterisk", IDI_ASTERISK},
                                           {"application", IDI_APPLICATION}};
    std::vector<std::string> differences;
    const char* best = "";
    std::size_t fewest = SIZE_MAX;
    for (const auto& candidate : candidates) {
        Canvas canvas(width, height);
        const auto pixels = canvas.Pixels();
        std::fill(pixels.begin(), pixels.end(), shown.front());
        DrawIconEx(canvas.Dc(), 0, 0, LoadIconW(nullptr, candidate.id), 0, 0, 0, nullptr, DI_NORMAL);
        const auto drawn = canvas.Pixels();
        std::size_t differing = 0;
        for (std::size_t i = 0; i < drawn.size(); ++i)
            differing += (drawn[i] & 0xFFFFFF) != (shown[i] & 0xFFFFFF);
        differences.push_back(Quoted(std::string_view(candidate.name)) + ":" + Number(differing));
        if (differing < fewest) {
            fewest = differing;
            best = candidate.name;
        }
    }
    return "{\"best\":" + Quoted(std::string_view(best)) + ",\"pixels\":" + Number(shown.size()) +
           ",\"differing\":" + Joined(differences, '{', '}') + "}";
}

std::string Printers(Arguments)
{
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    std::vector<std::string> names;
    if (needed && EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) {
        const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) names.push_back(Quoted(std::wstring_view(printers[i].pPrinterName)));
    }
    return "{\"printers\":" + Joined(names) + "}";
}

// The threads that the code of the process's own exe started: each one's start address lies in
// the exe's image and is not the exe's entry point, where the main thread starts. Wine's own
// threads (the loader's, the thread pool's, WinINet's) start in its DLLs.
std::string Threads(Arguments arguments)
{
    const auto processId = static_cast<DWORD>(NumberArgument(arguments[0]));
    using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    constexpr int ThreadQuerySetWin32StartAddress = 9;

    const OwnedFile modules = OpenedFile(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    MODULEENTRY32W exe{};
    exe.dwSize = sizeof exe;
    if (!modules || !Module32FirstW(modules.Get(), &exe)) throw CommandError(L"no modules of that process");
    const OwnedHandle process(OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, processId));
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS headers{};
    if (!process || !ReadProcessMemory(process.Get(), exe.modBaseAddr, &dos, sizeof dos, nullptr) ||
        !ReadProcessMemory(process.Get(), exe.modBaseAddr + dos.e_lfanew, &headers, sizeof headers, nullptr))
        throw CommandError(L"the exe's headers cannot be read");
    const auto base = reinterpret_cast<std::uintptr_t>(exe.modBaseAddr);
    const std::uintptr_t entry = base + headers.OptionalHeader.AddressOfEntryPoint;

    const OwnedFile snapshot = OpenedFile(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    int all = 0;
    std::vector<std::string> started;
    for (BOOL more = Thread32First(snapshot.Get(), &thread); more; more = Thread32Next(snapshot.Get(), &thread)) {
        if (thread.th32OwnerProcessID != processId) continue;
        const OwnedHandle opened(OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread.th32ThreadID));
        // Ended since the snapshot was taken: not left running.
        if (!opened && GetLastError() == ERROR_INVALID_PARAMETER) continue;
        ++all;
        std::uintptr_t start = 0;
        if (!opened || query(opened.Get(), ThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr) != 0)
            throw CommandError(L"the start of thread " + std::to_wstring(thread.th32ThreadID) + L" cannot be read");
        if (start >= base && start < base + exe.modBaseSize && start != entry)
            started.push_back("{\"tid\":" + Number(thread.th32ThreadID) + ",\"start\":" + Number(start) + "}");
    }
    return "{\"threads\":" + Number(all) + ",\"started\":" + Joined(started) + "}";
}

// Keeps a generic credential in the user's credential store, as Windows keeps the ones a user saved.
std::string Credential(Arguments arguments)
{
    std::wstring secret = arguments[2];
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(arguments[0].c_str());
    credential.UserName = const_cast<wchar_t*>(arguments[1].c_str());
    credential.CredentialBlob = reinterpret_cast<BYTE*>(secret.data());
    credential.CredentialBlobSize = static_cast<DWORD>(secret.size() * sizeof(wchar_t));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!CredWriteW(&credential, 0))
        throw CommandError(L"CredWriteW failed with error " + std::to_wstring(GetLastError()));
    return "{\"ok\":true}";
}

// Starts the program at the path, with this process's environment and current folder, and answers
// its exit code once it has ended: all 32 bits, where the exit status of the Linux process that Wine
// runs it in keeps only the low 8.
std::string StartAndWait(Arguments arguments)
{
    const std::wstring& path = arguments[0];
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        throw CommandError(L"CreateProcessW failed with error " + std::to_wstring(GetLastError()));
    const OwnedHandle process(started.hProcess);
    const OwnedHandle thread(started.hThread);
    DWORD exitCode = 0;
    if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.Get(), &exitCode))
        throw CommandError(L"the program's exit code cannot be read: error " + std::to_wstring(GetLastError()));
    return "{\"exit\":" + Number(exitCode) + "}";
}

std::string Idle(Arguments);

struct Command {
    std::wstring_view name;
    std::size_t argumentCount;
    std::string (*run)(Arguments);
};

const Command commands[] = {
    {L"list", 0, List},       {L"press", 2, Press},     {L"close", 1, Close},
    {L"move", 2, Move},       {L"click", 2, Click},     {L"capture", 2, Capture},
    {L"icon", 1, Icon},       {L"printers", 0, Printers}, {L"idle", 0, Idle},
    {L"key", 1, Key},         {L"focus", 1, Focus},     {L"activate", 1, Activate},
    {L"accname", 1, AccessibleName},
    {L"senttext", 1, SentText},
    {L"threads", 1, Threads},
    {L"credential", 3, Credential},
    {L"start", 1, StartAndWait},
};

std::string Run(Arguments words)
{
    if (words.empty()) throw CommandError(L"no command");
    for (const auto& command : commands) {
        if (words[0] != command.name) continue;
        if (words.size() != command.argumentCount + 1)
            throw CommandError(L"wrong number of arguments for " + words[0]);
        return command.run(words.subspan(1));
    }
    throw CommandError(L"unknown command " + words[0]);
}

bool Answer(Arguments words)
{
    std::string reply;
    bool ok = true;
    try {
        reply = Run(words);
    } catch (const std::exception& error) {
        reply = "{\"error\":" + Quoted(std::string_view(error.what())) + "}";
        ok = false;
    }
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), reply + "\n");
    return ok;
}

std::vector<std::wstring> Fields(std::string_view line)
{
    std::vector<std::wstring> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(FromUtf8(line.substr(start, tab - start)));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

// Creating a window first makes this process the one that brings up the desktop and its display
// driver, so that the program under test, started later, never races another process for them.
// The window's own thread serves its messages: a SendMessage to HWND_BROADCAST, as installers send
// WM_SETTINGCHANGE, waits until every top-level window has answered, this one included.
DWORD WINAPI HoldAnchor(void* created)
{
    const OwnedWindow anchor(CreateWindowExW(0, L"STATIC", L"mavik_driver", WS_POPUP, 0, 0, 1, 1, nullptr,
                                             nullptr, nullptr, nullptr));
    if (anchor) SetEvent(created);
    MSG message;
    while (anchor && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

std::string Idle(Arguments)
{
    const OwnedHandle created(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const OwnedHandle thread(CreateThread(nullptr, 0, HoldAnchor, created.Get(), 0, nullptr));
    // The thread ends at once when it could not create the window.
    const HANDLE outcomes[] = {created.Get(), thread.Get()};
    if (!thread || WaitForMultipleObjects(2, outcomes, FALSE, INFINITE) != WAIT_OBJECT_0)
        throw CommandError(L"no window can be created: the desktop or the display is not usable");
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            std::string_view line(pending.data(), end);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!line.empty()) Answer(Fields(line));
        }
    }
    for (;;) Sleep(INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Window rectangles and captures in the screen's own pixels, whatever the DPI.
    SetProcessDPIAware();
    // For the accessibility proxies; answered on this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::vector<std::wstring> words(argv + 1, argv + argc);
    return Answer(words) ? 0 : 1;
}
