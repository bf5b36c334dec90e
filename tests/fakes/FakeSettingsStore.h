#pragma once
#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"

#include <map>
#include <tuple>

class FakeSettingsStore : public SettingsStore {
public:
    using Key = std::tuple<Text, Text, Text>;
    std::map<Key, Text> values;
    bool failing = false;

    void SaveSetting(const Text& application, const Text& section, const Text& key,
                     const Text& value) override
    {
        if (failing) throw RuntimeError(ErrorNumber::PathFileAccess, u"Access denied");
        values[{application, section, key}] = value;
    }
    Text GetSetting(const Text& application, const Text& section, const Text& key,
                    const Text& defaultValue) override
    {
        if (failing) throw RuntimeError(ErrorNumber::PathFileAccess, u"Access denied");
        auto found = values.find({application, section, key});
        return found == values.end() ? defaultValue : found->second;
    }
};
