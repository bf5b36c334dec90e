#include "platform/win32/LateBinding.h"

#include "platform/win32/LateBoundFunctions.h"
#include "platform/win32/LateBoundSymbols.h"
#include "platform/win32/UniqueHandle.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <atomic>
#include <iterator>

namespace {

constexpr const wchar_t* DllFileNames[] = {L"user32.dll",   L"gdi32.dll",    L"shell32.dll", L"ole32.dll",
                                           L"oleaut32.dll", L"advapi32.dll", L"crypt32.dll"};
std::atomic<HMODULE> LoadedDlls[std::size(DllFileNames)];

[[noreturn]] void FailToBind(SystemDll dll, const char* function)
{
    // Only kernel32 here: user32 may be the DLL that is missing.
    wchar_t name[128] = {};
    for (std::size_t at = 0; function[at] && at + 1 < std::size(name); ++at) name[at] = function[at]; // ASCII
    wchar_t message[256] = L"MavikWebSetup: Windows'un ";
    lstrcatW(message, DllFileNames[static_cast<int>(dll)]);
    lstrcatW(message, L" dosyasındaki ");
    lstrcatW(message, name);
    lstrcatW(message, L" işlevi bulunamadı.");
    FatalAppExitW(0, message);
    ExitProcess(1);
}

HMODULE LoadedDll(SystemDll dll)
{
    std::atomic<HMODULE>& loaded = LoadedDlls[static_cast<int>(dll)];
    if (HMODULE module = loaded.load(std::memory_order_acquire)) return module;
    // Two threads may both load it; the loader counts references and the DLL stays loaded anyway.
    HMODULE module = LoadFromSystemFolder(DllFileNames[static_cast<int>(dll)]);
    if (module) loaded.store(module, std::memory_order_release);
    return module;
}

// Kept out of line: it is the same for every slot, and the stubs stay a few bytes each.
[[gnu::noinline]] void* BindIntoSlot(void** slot, SystemDll dll, const char* name)
{
    void* function = BindSystemFunction(dll, name);
    std::atomic_ref(*slot).store(function, std::memory_order_release);
    return function;
}

// The first call through a slot: bind, keep the function in the slot, and forward the arguments.
template <typename Function>
struct FirstCall;

template <typename Result, typename... Arguments>
struct FirstCall<Result(WINAPI*)(Arguments...)> {
    using Function = Result(WINAPI*)(Arguments...);

    template <Function* slot, SystemDll dll, const char* name>
    static Result WINAPI Bind(Arguments... arguments)
    {
        return reinterpret_cast<Function>(BindIntoSlot(reinterpret_cast<void**>(slot), dll, name))(arguments...);
    }
};

} // namespace

void* BindSystemFunction(SystemDll dll, const char* function)
{
    HMODULE module = LoadedDll(dll);
    FARPROC address = module ? GetProcAddress(module, function) : nullptr;
    if (!address) FailToBind(dll, function);
    return reinterpret_cast<void*>(address);
}

// Each slot carries the name of the import slot that the compiler calls through for a function
// declared by the SDK (__imp_<name>, decorated with the stdcall argument size on 32-bit), so the
// linker takes it instead of the one an import library would put into the import table.
#define MAVIK_DEFINE_LATE_SLOT(dll, function)                                                     \
    namespace {                                                                                   \
    constexpr char function##Name[] = #function;                                                  \
    }                                                                                             \
    extern "C" decltype(&::function) function##Slot asm(MAVIK_IMPORT_SLOT_##function);            \
    decltype(&::function) function##Slot =                                                        \
        &FirstCall<decltype(&::function)>::Bind<&function##Slot, SystemDll::dll, function##Name>;

MAVIK_LATE_BOUND_FUNCTIONS(MAVIK_DEFINE_LATE_SLOT)
