#include "app/DllHardening.h"

#include <windows.h>

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
