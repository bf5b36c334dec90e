#include "platform/win32/Win32SettingsStore.h"

#include "platform/RuntimeError.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <cstring>

namespace {

void CloseKey(HKEY key) { RegCloseKey(key); }
using UniqueKey = UniqueResource<HKEY, CloseKey>;

Text SectionPath(const Text& application, const Text& section)
{
    return u"Software\\VB and VBA Program Settings\\" + application + u"\\" + section;
}

[[noreturn]] void RaiseRegistryError(LSTATUS status)
{
    throw Win32Error(static_cast<DWORD>(status), ErrorNumber::InvalidProcedureCall);
}

} // namespace

void Win32SettingsStore::SaveSetting(const Text& application, const Text& section, const Text& key,
                                     const Text& value)
{
    UniqueKey sectionKey;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, Wide(SectionPath(application, section)), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, sectionKey.Put(), nullptr);
    if (status != ERROR_SUCCESS) RaiseRegistryError(status);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
    status = RegSetValueExW(sectionKey.Get(), Wide(key), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            bytes);
    if (status != ERROR_SUCCESS) RaiseRegistryError(status);
}

Text Win32SettingsStore::GetSetting(const Text& application, const Text& section, const Text& key,
                                    const Text& defaultValue)
{
    constexpr DWORD accepted = RRF_RT_REG_SZ | RRF_RT_REG_DWORD;
    const Text path = SectionPath(application, section);
    Text value;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    LSTATUS status;
    // The value may grow, or change its type, between asking for its size and reading it.
    do {
        status = RegGetValueW(HKEY_CURRENT_USER, Wide(path), Wide(key), accepted, nullptr, nullptr, &bytes);
        if (status != ERROR_SUCCESS) break;
        value.resize((bytes + sizeof(char16_t) - 1) / sizeof(char16_t));
        status = RegGetValueW(HKEY_CURRENT_USER, Wide(path), Wide(key), accepted, &type, value.data(), &bytes);
    } while (status == ERROR_MORE_DATA);

    if (status == ERROR_FILE_NOT_FOUND) return defaultValue;
    if (status != ERROR_SUCCESS) RaiseRegistryError(status);
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, value.data(), sizeof number);
        return DecimalText(number);
    }
    value.resize(bytes / sizeof(char16_t));
    while (!value.empty() && value.back() == u'\0') value.pop_back();
    return value;
}
