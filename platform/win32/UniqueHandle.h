#pragma once
// Owners of Win32 handles: each closes its handle in exactly one place.
#include "platform/UniqueResource.h"

#include <windows.h>

inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseModule(HMODULE module) { FreeLibrary(module); }
inline void CloseFind(HANDLE find) { FindClose(find); }

inline HANDLE InvalidHandleValue() { return INVALID_HANDLE_VALUE; }

// Process, thread and event handles: 0 means none. Callers store 0, never
// INVALID_HANDLE_VALUE, so one "none" value serves.
using UniqueHandle = UniqueResource<HANDLE, CloseKernelHandle>;
using UniqueModule = UniqueResource<HMODULE, CloseModule>;
// A search of FindFirstFileW, whose "none" is INVALID_HANDLE_VALUE.
using UniqueFind = UniqueResource<HANDLE, CloseFind, InvalidHandleValue>;

// Loads the named DLL from the system folder only, never from beside the program;
// 0 when it cannot be loaded. The caller owns the module.
HMODULE LoadFromSystemFolder(const wchar_t* name);

// A DLL that is not one of Windows' known DLLs, loaded from the system folder
// only, so that a DLL of the same name beside the program is never used.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name);
    bool Loaded() const { return static_cast<bool>(module_); }
    template <typename Function>
    Function* Find(const char* name) const
    {
        if (!module_) return nullptr;
        return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), name)));
    }

private:
    UniqueModule module_;
};
