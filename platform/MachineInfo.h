#pragma once
#include "platform/Text.h"

#include <memory>
#include <vector>

// The "WScript.Shell" automation object, or whatever reads the registry the same way.
class RegistryShell {
public:
    virtual ~RegistryShell() = default;
    // Full path: root key name, key path and value name joined by "\".
    // Numbers come back as decimal text; a missing key or value raises RuntimeError.
    virtual Text RegRead(const Text& fullPath) = 0;
};

class MachineInfo {
public:
    virtual ~MachineInfo() = default;
    virtual int IsUserAnAdmin() = 0;
    // Raises RuntimeError when the object cannot be created.
    virtual std::unique_ptr<RegistryShell> CreateRegistryShell() = 0;
    // Device names of the installed printers, in the system's order; raises RuntimeError.
    virtual std::vector<Text> PrinterNames() = 0;
    // AddressWidth of each Win32_Processor object as text, in the order WMI
    // lists them; raises RuntimeError when the service or the query fails.
    virtual std::vector<Text> ProcessorAddressWidths() = 0;
};
