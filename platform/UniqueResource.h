#pragma once
// The one owner of a handle-like resource: it closes its handle in exactly one place. Each kind
// of handle is an alias of it (platform/win32/UniqueHandle.h, GdiObjects.h): the function that
// closes it, the value that means "none" (a value, or a function giving it when it is no constant
// such as INVALID_HANDLE_VALUE), and the storage, std::atomic<Handle> for a handle that another
// thread may close while one uses it.
#include <atomic>
#include <type_traits>
#include <utility>

template <typename Handle, auto Close, auto Invalid = Handle{}, typename Storage = Handle>
class UniqueResource {
public:
    static Handle None()
    {
        if constexpr (std::is_invocable_v<decltype(Invalid)>)
            return Invalid();
        else
            return Invalid;
    }

    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : handle_(handle) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueResource() { Reset(); }

    Handle Get() const { return handle_; }
    // For a handle that is a pointer to an object, such as a COM interface.
    Handle operator->() const
        requires std::is_pointer_v<Handle>
    {
        return handle_;
    }
    explicit operator bool() const { return Get() != None(); }
    // Closes the handle held, if any, and holds handle instead.
    void Reset(Handle handle = None())
    {
        if (const Handle previous = Exchange(handle); previous != None()) Close(previous);
    }
    // Gives the handle up without closing it.
    [[nodiscard]] Handle Release() { return Exchange(None()); }
    // For a function that hands out a new handle through an out-parameter: closes the one held first.
    Handle* Put()
        requires std::is_same_v<Storage, Handle>
    {
        Reset();
        return &handle_;
    }

private:
    Handle Exchange(Handle handle)
    {
        if constexpr (std::is_same_v<Storage, Handle>)
            return std::exchange(handle_, handle);
        else
            return handle_.exchange(handle);
    }

    Storage handle_{None()};
};
