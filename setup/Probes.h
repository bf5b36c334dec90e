#pragma once
// What start-up asks of the machine before it plans the downloads.
#include "platform/Log.h"
#include "platform/MachineInfo.h"

#include <optional>

// True when Install is 1 and Version passes DotNetVersionIsEnough; never raises.
bool IsDotNet472Installed(MachineInfo& machine);
// Version (spaces already removed) is dotted numbers at least 4.7.03062, the
// version that the 4.7.2 offline installer registers.
bool DotNetVersionIsEnough(TextView version);
// A printer named "doPDF v7", ignoring case; failures of the printer list raise.
bool IsPdfPrinterInstalled(MachineInfo& machine);
// AddressWidth of the last processor WMI lists, "" when none; failures raise.
Text GetAddressWidth(MachineInfo& machine);

// The probes' answers for planning: each probe is asked once, when first needed, and its answer
// logged then ("Probe: <question>: <answer>"), so that a probe that raises shows as the next line
// missing from the log.
class MachineFacts {
public:
    MachineFacts(MachineInfo& machine, Log& log) : machine_(machine), log_(log) {}
    // IsUserAnAdmin, asked afresh each time.
    bool UserIsAnAdmin();
    bool DotNet472Installed();
    bool PdfPrinterInstalled();
    const Text& AddressWidth();

private:
    bool Answered(const Text& question, bool answer);

    MachineInfo& machine_;
    Log& log_;
    std::optional<bool> dotNet472Installed_;
    std::optional<bool> pdfPrinterInstalled_;
    std::optional<Text> addressWidth_;
};

// When a package of the table (setup/Packages.h) is planned.
bool DotNet472Missing(MachineFacts& facts);
bool PdfPrinterMissing(MachineFacts& facts);
// Exactly "32": any other answer, "" included, is taken for 64 bits.
bool On32BitProcessor(MachineFacts& facts);
bool OnOtherProcessors(MachineFacts& facts);
