// Planted beside the program under the name of a DLL that the program's process loads, the way a
// download would leave one in the user's Downloads folder. When a process loads it, it appends its
// own file name and a line break to "planted.log" in its own folder (UTF-16, as the name is), and
// exports only MavikPlanted, which the importing stand-in calls, so whatever expected the real DLL
// fails.
// Imports kernel32 alone and brings no C runtime: it must load even where every other DLL name is
// planted too.
#include <windows.h>

namespace {

void RecordLoading(HINSTANCE self)
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return;
    DWORD nameStart = length;
    while (nameStart > 0 && path[nameStart - 1] != L'\\' && path[nameStart - 1] != L'/') --nameStart;

    wchar_t name[MAX_PATH];
    const DWORD nameLength = length - nameStart;
    if (nameLength + 2 > MAX_PATH) return;
    for (DWORD i = 0; i < nameLength; ++i) name[i] = path[nameStart + i];
    name[nameLength] = L'\n';

    const wchar_t logName[] = L"planted.log";
    if (nameStart + sizeof logName / sizeof logName[0] > MAX_PATH * 4) return;
    for (DWORD i = 0; i < sizeof logName / sizeof logName[0]; ++i) path[nameStart + i] = logName[i];

    HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log, name, (nameLength + 1) * sizeof(wchar_t), &written, nullptr);
    CloseHandle(log);
}

} // namespace

extern "C" __declspec(dllexport) void MavikPlanted() {}

extern "C" BOOL WINAPI PlantedEntry(HINSTANCE self, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) RecordLoading(self);
    return TRUE;
}
