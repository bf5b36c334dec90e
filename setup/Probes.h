#pragma once
// What start-up asks of the machine before it plans the downloads.
#include "platform/MachineInfo.h"

// True when Install is 1 and Version passes DotNetVersionIsEnough; never raises.
bool IsDotNet472Installed(MachineInfo& machine);
// Version (spaces already removed) is dotted numbers at least 4.7.03062, the
// version that the 4.7.2 offline installer registers.
bool DotNetVersionIsEnough(TextView version);
// A printer named "doPDF v7", ignoring case; failures of the printer list raise.
bool IsPdfPrinterInstalled(MachineInfo& machine);
// AddressWidth of the last processor WMI lists, "" when none; failures raise.
Text GetAddressWidth(MachineInfo& machine);
