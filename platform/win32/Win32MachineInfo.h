#pragma once
#include "platform/MachineInfo.h"

class Win32MachineInfo : public MachineInfo {
public:
    int IsUserAnAdmin() override;
    std::unique_ptr<RegistryShell> CreateRegistryShell() override;
    std::vector<Text> PrinterNames() override;
    std::vector<Text> ProcessorAddressWidths() override;
};
