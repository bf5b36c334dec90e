#pragma once
// Owners of Win32 handles: each closes its handle in exactly one place.
#include <windows.h>

#include <utility>

template <typename Handle, auto Close, auto Invalid>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : handle_(handle) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(std::exchange(other.handle_, Invalid)) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Invalid);
        }
        return *this;
    }
    ~UniqueResource() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Invalid; }
    void Reset()
    {
        if (handle_ != Invalid) Close(std::exchange(handle_, Invalid));
    }

private:
    Handle handle_ = Invalid;
};

inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseModule(HMODULE module) { FreeLibrary(module); }

// Process, thread and event handles: 0 means none. Callers store 0, never
// INVALID_HANDLE_VALUE, so one "none" value serves.
using UniqueHandle = UniqueResource<HANDLE, CloseKernelHandle, nullptr>;
using UniqueModule = UniqueResource<HMODULE, CloseModule, static_cast<HMODULE>(nullptr)>;

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
