#pragma once
#include "platform/MachineInfo.h"
#include "platform/RuntimeError.h"

#include <map>
#include <optional>
#include <vector>

class FakeMachineInfo : public MachineInfo {
public:
    int admin = 1;
    bool shellCreatable = true;
    std::map<Text, Text> registry;            // full value path -> data as text
    std::vector<Text> regReads;               // paths asked for, in order
    std::optional<std::vector<Text>> printers = std::vector<Text>{};   // nullopt: the list fails
    std::optional<std::vector<Text>> addressWidths = std::vector<Text>{u"64"}; // nullopt: WMI fails
    std::vector<Text> calls;                  // probe facilities used, in order

    int IsUserAnAdmin() override
    {
        calls.push_back(u"IsUserAnAdmin");
        return admin;
    }
    std::unique_ptr<RegistryShell> CreateRegistryShell() override;
    std::vector<Text> PrinterNames() override
    {
        calls.push_back(u"Printers");
        if (!printers) throw RuntimeError(462, u"The remote server machine does not exist or is unavailable");
        return *printers;
    }
    std::vector<Text> ProcessorAddressWidths() override
    {
        calls.push_back(u"Wmi");
        if (!addressWidths) throw RuntimeError(-2147217405, u"Automation error");
        return *addressWidths;
    }
};

class FakeRegistryShell : public RegistryShell {
public:
    explicit FakeRegistryShell(FakeMachineInfo& machine) : machine_(machine) {}
    Text RegRead(const Text& fullPath) override
    {
        machine_.regReads.push_back(fullPath);
        auto found = machine_.registry.find(fullPath);
        if (found == machine_.registry.end())
            throw RuntimeError(-2147024894, u"Invalid root in registry key");
        return found->second;
    }

private:
    FakeMachineInfo& machine_;
};

inline std::unique_ptr<RegistryShell> FakeMachineInfo::CreateRegistryShell()
{
    calls.push_back(u"CreateRegistryShell");
    if (!shellCreatable) throw RuntimeError(429, u"ActiveX component can't create object");
    return std::make_unique<FakeRegistryShell>(*this);
}
