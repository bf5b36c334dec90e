#include "platform/win32/Win32MachineInfo.h"

#include "platform/RuntimeError.h"
#include "platform/win32/ComPtr.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <shlobj.h>
#include <wbemcli.h>
#include <winspool.h>

#include <vector>

namespace {

constexpr std::int32_t AutomationError = -2147217405;

void Check(HRESULT result, const Text& what)
{
    if (FAILED(result)) throw RuntimeError(result, what + u" failed: " + SystemErrorText(result));
}

// Numbers become their decimal text, text stays as it is.
Text VariantText(VARIANT* value, const Text& what)
{
    Variant text;
    Check(VariantChangeType(text.Get(), value, 0, VT_BSTR), what);
    BSTR bstr = V_BSTR(text.Get());
    return FromWide(bstr, SysStringLen(bstr));
}

class WScriptShell : public RegistryShell {
public:
    WScriptShell()
    {
        CLSID classId{};
        Check(CLSIDFromProgID(L"WScript.Shell", &classId), u"WScript.Shell");
        Check(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                               PutVoid(shell_)),
              u"WScript.Shell");
        wchar_t method[] = L"RegRead";
        LPOLESTR names[] = {method};
        Check(shell_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &regRead_), u"RegRead");
    }

    Text RegRead(const Text& fullPath) override
    {
        const Bstr path(SysAllocString(Wide(fullPath)));
        VARIANTARG argument;
        VariantInit(&argument);
        V_VT(&argument) = VT_BSTR;
        V_BSTR(&argument) = path.Get();
        DISPPARAMS parameters{&argument, nullptr, 1, 0};
        Variant result;
        Check(shell_->Invoke(regRead_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                             result.Get(), nullptr, nullptr),
              u"RegRead");
        return VariantText(result.Get(), u"RegRead");
    }

private:
    ComPtr<IDispatch> shell_;
    DISPID regRead_ = 0;
};

using EnumPrintersFunction = BOOL WINAPI(DWORD, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

} // namespace

int Win32MachineInfo::IsUserAnAdmin() { return ::IsUserAnAdmin() ? 1 : 0; }

std::unique_ptr<RegistryShell> Win32MachineInfo::CreateRegistryShell()
{
    return std::make_unique<WScriptShell>();
}

std::vector<Text> Win32MachineInfo::PrinterNames()
{
    SystemLibrary winspool(L"winspool.drv");
    auto* enumPrinters = winspool.Find<EnumPrintersFunction>("EnumPrintersW");
    if (!enumPrinters) throw RuntimeError(AutomationError, u"The printer list is not available");

    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    enumPrinters(flags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!enumPrinters(flags, nullptr, 4, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count))
        throw Win32Error(GetLastError(), AutomationError);

    std::vector<Text> names;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(FromWide(printers[i].pPrinterName));
    return names;
}

std::vector<Text> Win32MachineInfo::ProcessorAddressWidths()
{
    ComPtr<IWbemLocator> locator;
    Check(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                           PutVoid(locator)),
          u"Winmgmts");
    ComPtr<IWbemServices> services;
    const Bstr cimv2(SysAllocString(L"ROOT\\CIMV2"));
    Check(locator->ConnectServer(cimv2.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                 services.Put()),
          u"Winmgmts");
    CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);

    ComPtr<IEnumWbemClassObject> processors;
    const Bstr language(SysAllocString(L"WQL"));
    const Bstr query(SysAllocString(L"SELECT * FROM Win32_Processor"));
    Check(services->ExecQuery(language.Get(), query.Get(),
                              WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                              processors.Put()),
          u"ExecQuery");

    std::vector<Text> widths;
    while (true) {
        ComPtr<IWbemClassObject> processor;
        ULONG returned = 0;
        Check(processors->Next(static_cast<LONG>(WBEM_INFINITE), 1, processor.Put(), &returned), u"ExecQuery");
        if (returned == 0) break;
        Variant width;
        Check(processor->Get(L"AddressWidth", 0, width.Get(), nullptr, nullptr), u"AddressWidth");
        widths.push_back(VariantText(width.Get(), u"AddressWidth"));
    }
    return widths;
}
