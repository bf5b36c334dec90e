#pragma once
#include "platform/Text.h"

// Per-user string settings addressed by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual void SaveSetting(const Text& application, const Text& section, const Text& key,
                             const Text& value) = 0;                       // raises RuntimeError
    virtual Text GetSetting(const Text& application, const Text& section, const Text& key,
                            const Text& defaultValue) = 0;                 // raises RuntimeError
};
