#pragma once
// Small pieces that both helper programs of the end-to-end tests need.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

// Owns one handle of any Win32 kind and releases it exactly once.
template <typename Handle, auto Release>
class Owned {
public:
    explicit Owned(Handle handle = nullptr) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept
    {
        std::swap(handle_, other.handle_);
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned()
    {
        if (handle_) Release(handle_);
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_;
};

using OwnedFile = Owned<HANDLE, CloseHandle>;
using OwnedHandle = Owned<HANDLE, CloseHandle>;
using OwnedKey = Owned<HKEY, RegCloseKey>;
using OwnedWindow = Owned<HWND, DestroyWindow>;

// CreateFileW reports failure as INVALID_HANDLE_VALUE, which Owned would take for a handle.
inline OwnedFile OpenedFile(HANDLE handle)
{
    return OwnedFile(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

inline std::string Utf8(std::wstring_view text)
{
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

inline std::wstring FromUtf8(std::string_view text)
{
    if (text.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

// Reads without sending a message, so it answers even while the window's thread is blocked.
inline std::wstring WindowText(HWND window)
{
    wchar_t buffer[1024];
    const int length = InternalGetWindowText(window, buffer, static_cast<int>(std::size(buffer)));
    return std::wstring(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

inline std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t buffer[32768];
    const DWORD length = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    return length > 0 && length < std::size(buffer) ? std::wstring(buffer, length) : std::wstring();
}

inline bool WriteAll(HANDLE handle, std::string_view bytes)
{
    DWORD written = 0;
    return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}
