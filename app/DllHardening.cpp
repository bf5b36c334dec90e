#include "app/DllHardening.h"

#include "platform/win32/UniqueHandle.h"

#include <windows.h>

#include <delayimp.h>
#include <string>
#include <string_view>

namespace {

// Every system DLL but kernel32 and the C runtime is bound at its first call: it comes from the
// system folder whatever the search order is at that moment, and it stays loaded, owned by the
// delay-load descriptor, until the process ends.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary) return nullptr;
    const std::string_view name = info->szDll;
    return reinterpret_cast<FARPROC>(LoadFromSystemFolder(std::wstring(name.begin(), name.end()).c_str()));
}

} // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;
}

void RestrictDllSearchToSystemFolder()
{
    using SetDefaultDllDirectoriesFunction = BOOL WINAPI(DWORD);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    auto* setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction*>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Windows 7 without the DLL search update: at least drop the current folder.
    SetDllDirectoryW(L"");
}
