#pragma once
#include "platform/SettingsStore.h"

// Strings under HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>,
// where the main application's installer looks for them too. A value that an installer wrote
// there as a REG_DWORD reads as its decimal text.
class Win32SettingsStore : public SettingsStore {
public:
    void SaveSetting(const Text& application, const Text& section, const Text& key, const Text& value) override;
    Text GetSetting(const Text& application, const Text& section, const Text& key,
                    const Text& defaultValue) override;
};
