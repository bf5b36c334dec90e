// Stands in for an installer package in the end-to-end tests. It is served under the package's
// file name; the line of the file named by MAVIK_STANDIN_CONFIG that starts with that name says
// how it behaves:
//   <name> [window=0|1] [broadcast=0|1] [marker=<value>|dword:<n>|delete] [wait_ms=<n>] [exit=<n>]
//          [crash=0|1]
// (defaults: no window, no broadcast, marker untouched, no wait, exit code 0, no crash). crash=1
// writes through a null pointer once the marker step is done, as a broken installer would. marker=dword:<n>
// writes the marker as a REG_DWORD of decimal value n instead of a string. broadcast=1 sends
// WM_SETTINGCHANGE ("Environment") with SendMessage to HWND_BROADCAST after the window step, as
// installers that change the environment do; it returns only when every top-level window of the
// desktop has answered.
// What it finds and does goes, line by line, to the UTF-8 file named by MAVIK_STANDIN_LOG:
//   start <name> / cmdline <command line> / cwd <current folder> / showwindow <show command or default> /
//   marker <completion marker at start or MISSING> / waitwindow visible|hidden|none /
//   with a window, after 300 ms: foreground yes|no, top yes|no /
//   with broadcast=1: broadcast sent, then broadcast answered <milliseconds it took> /
//   wrote marker <value>, wrote marker dword <n> or deleted marker / end <name>
//   (error <why> for a bad configuration)
// Built a second time as mavik_standin_importing, it imports mavik_planted.dll, a DLL that no system
// folder holds, and logs "imports <path of the DLL loaded>" after its start line: the loader looks
// for it where it looks for any DLL a package imports, its own folder and its current folder first.
#include "ToolSupport.h"

#include <windows.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#ifdef MAVIK_STANDIN_IMPORTS_PLANTED
extern "C" __declspec(dllimport) void MavikPlanted();
#endif

namespace {

const wchar_t markerKey[] = L"Software\\VB and VBA Program Settings\\QORmavikSetup\\LastSetup";
const wchar_t markerValue[] = L"Installed";

const wchar_t dwordPrefix[] = L"dword:";

struct Behaviour {
    bool window = false;
    bool broadcast = false;
    enum class Marker { Keep, Write, WriteDword, Delete } marker = Marker::Keep;
    std::wstring markerText;
    DWORD markerNumber = 0;
    DWORD waitMs = 0;
    UINT exitCode = 0;
    bool crash = false;
};

void Log(const std::wstring& line)
{
    const std::wstring path = EnvironmentValue(L"MAVIK_STANDIN_LOG");
    if (path.empty()) return;
    const OwnedFile log = OpenedFile(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log) WriteAll(log.Get(), Utf8(line + L"\n"));
}

std::wstring ModulePath(HMODULE module)
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(module, path, static_cast<DWORD>(std::size(path)));
    return std::wstring(path, length);
}

std::wstring OwnFileName()
{
    const std::wstring full = ModulePath(nullptr);
    return full.substr(full.find_last_of(L"\\/") + 1);
}

std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH * 4];
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(std::size(folder)), folder);
    return std::wstring(folder, length < std::size(folder) ? length : 0);
}

std::string FileContents(const std::wstring& path)
{
    const OwnedFile file = OpenedFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot open the configuration file");
    std::string contents;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) contents.append(buffer, read);
    return contents;
}

void Apply(Behaviour& behaviour, const std::wstring& setting)
{
    const std::size_t equals = setting.find(L'=');
    const std::wstring key = setting.substr(0, equals);
    const std::wstring value = equals == std::wstring::npos ? L"" : setting.substr(equals + 1);
    if (key == L"window" && (value == L"0" || value == L"1")) {
        behaviour.window = value == L"1";
    } else if (key == L"broadcast" && (value == L"0" || value == L"1")) {
        behaviour.broadcast = value == L"1";
    } else if (key == L"marker" && value.starts_with(dwordPrefix)) {
        behaviour.marker = Behaviour::Marker::WriteDword;
        behaviour.markerNumber = std::stoul(value.substr(std::size(dwordPrefix) - 1));
    } else if (key == L"marker" && !value.empty()) {
        behaviour.marker = value == L"delete" ? Behaviour::Marker::Delete : Behaviour::Marker::Write;
        behaviour.markerText = value;
    } else if (key == L"wait_ms" && !value.empty()) {
        behaviour.waitMs = std::stoul(value);
    } else if (key == L"exit" && !value.empty()) {
        behaviour.exitCode = std::stoul(value);
    } else if (key == L"crash" && (value == L"0" || value == L"1")) {
        behaviour.crash = value == L"1";
    } else {
        throw std::runtime_error("bad setting " + Utf8(setting));
    }
}

// Each line's words, split at blanks, tabs and carriage returns.
std::vector<std::vector<std::wstring>> Lines(const std::wstring& text)
{
    std::vector<std::vector<std::wstring>> lines(1);
    std::wstring word;
    for (const wchar_t c : text + L'\n') {
        if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n') {
            word += c;
            continue;
        }
        if (!word.empty()) lines.back().push_back(std::exchange(word, {}));
        if (c == L'\n') lines.emplace_back();
    }
    return lines;
}

// Without a configuration file or a line for this name, the defaults hold.
Behaviour ReadBehaviour(const std::wstring& name)
{
    Behaviour behaviour;
    const std::wstring path = EnvironmentValue(L"MAVIK_STANDIN_CONFIG");
    if (path.empty()) return behaviour;
    for (const auto& words : Lines(FromUtf8(FileContents(path)))) {
        if (words.empty() || CompareStringOrdinal(words[0].c_str(), -1, name.c_str(), -1, TRUE) != CSTR_EQUAL)
            continue;
        for (std::size_t i = 1; i < words.size(); ++i) Apply(behaviour, words[i]);
    }
    return behaviour;
}

std::wstring MarkerAtStart()
{
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, markerKey, markerValue, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return L"MISSING";
    return value;
}

void ChangeMarker(const Behaviour& behaviour)
{
    if (behaviour.marker == Behaviour::Marker::Keep) return;
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, markerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS) {
        Log(L"error cannot open the marker's key");
        return;
    }
    const OwnedKey key(opened);
    if (behaviour.marker == Behaviour::Marker::Delete) {
        RegDeleteValueW(key.Get(), markerValue);
        Log(L"deleted marker");
        return;
    }
    if (behaviour.marker == Behaviour::Marker::WriteDword) {
        const DWORD number = behaviour.markerNumber;
        RegSetValueExW(key.Get(), markerValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        Log(L"wrote marker dword " + std::to_wstring(number));
        return;
    }
    const auto& text = behaviour.markerText;
    RegSetValueExW(key.Get(), markerValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    Log(L"wrote marker " + text);
}

// Blocks until every top-level window of the desktop, the waiting program's included, has answered.
void BroadcastSettingChange()
{
    Log(L"broadcast sent");
    const ULONGLONG started = GetTickCount64();
    SendMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
    Log(L"broadcast answered " + std::to_wstring(GetTickCount64() - started));
}

BOOL CALLBACK NoteWaitWindow(HWND window, LPARAM state)
{
    if (WindowText(window) != L"Bekleyiniz...") return TRUE;
    auto& result = *reinterpret_cast<std::wstring*>(state);
    if (IsWindowVisible(window) || result == L"none") result = IsWindowVisible(window) ? L"visible" : L"hidden";
    return TRUE;
}

// The program's wait window should be gone from the screen before any package starts.
std::wstring WaitWindowState()
{
    std::wstring state = L"none";
    EnumWindows(NoteWaitWindow, reinterpret_cast<LPARAM>(&state));
    return state;
}

std::wstring ShowCommand()
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return startup.dwFlags & STARTF_USESHOWWINDOW ? std::to_wstring(startup.wShowWindow) : L"default";
}

void PumpFor(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

HWND FirstVisibleTopLevel()
{
    HWND window = GetTopWindow(nullptr);
    while (window && !IsWindowVisible(window)) window = GetWindow(window, GW_HWNDNEXT);
    return window;
}

OwnedWindow ShowOwnWindow(HINSTANCE instance, const std::wstring& name, int showCommand)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"MavikStandIn";
    RegisterClassW(&windowClass);
    OwnedWindow window(CreateWindowExW(0, windowClass.lpszClassName, (L"Stand-in " + name).c_str(),
                                       WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400, 150,
                                       nullptr, nullptr, instance, nullptr));
    ShowWindow(window.Get(), showCommand);
    UpdateWindow(window.Get());
    PumpFor(300);
    Log(std::wstring(L"foreground ") + (GetForegroundWindow() == window.Get() ? L"yes" : L"no"));
    Log(std::wstring(L"top ") + (FirstVisibleTopLevel() == window.Get() ? L"yes" : L"no"));
    return window;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    const std::wstring name = OwnFileName();
    Log(L"start " + name);
#ifdef MAVIK_STANDIN_IMPORTS_PLANTED
    MavikPlanted();
    Log(L"imports " + ModulePath(GetModuleHandleW(L"mavik_planted.dll")));
#endif
    Log(std::wstring(L"cmdline ") + GetCommandLineW());
    Log(L"cwd " + CurrentFolder());
    Log(L"showwindow " + ShowCommand());
    Log(L"marker " + MarkerAtStart());
    Log(L"waitwindow " + WaitWindowState());
    Behaviour behaviour;
    try {
        behaviour = ReadBehaviour(name);
    } catch (const std::exception& error) {
        Log(L"error " + FromUtf8(error.what()));
        return 99;
    }
    const OwnedWindow window = behaviour.window ? ShowOwnWindow(instance, name, showCommand) : OwnedWindow();
    if (behaviour.broadcast) BroadcastSettingChange();
    PumpFor(behaviour.waitMs);
    ChangeMarker(behaviour);
    if (behaviour.crash) {
        Log(L"crash " + name);
        // Through a volatile pointer: the compiler cannot see that it is null and trap instead.
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
    Log(L"end " + name);
    return static_cast<int>(behaviour.exitCode);
}
