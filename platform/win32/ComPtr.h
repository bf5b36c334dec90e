#pragma once
// Owners of COM references, BSTRs and VARIANTs; each is released in one place.
#include "platform/UniqueResource.h"

#include <windows.h>
// After windows.h, which they build on.
#include <objbase.h>
#include <oleauto.h>


template <typename Interface>
void ReleaseReference(Interface* pointer)
{
    pointer->Release();
}

template <typename Interface>
using ComPtr = UniqueResource<Interface*, ReleaseReference<Interface>>;

// For the functions that hand out a new reference through a void** (CoCreateInstance).
template <typename Interface>
void** PutVoid(ComPtr<Interface>& pointer)
{
    return reinterpret_cast<void**>(pointer.Put());
}

inline void FreeBstr(BSTR text) { SysFreeString(text); }
using Bstr = UniqueResource<BSTR, FreeBstr>;

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    VARIANT* Get() { return &value_; }

private:
    VARIANT value_;
};

// COM for the GUI thread, for the life of the program.
class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (initialized_) CoUninitialize();
    }

private:
    bool initialized_;
};
