#include "setup/Probes.h"

#include "platform/RuntimeError.h"

#include <array>
#include <optional>
#include <vector>

namespace {

const Text DotNetKey = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\";
const Text PdfPrinterName = u"doPDF v7";

// Dotted decimal numbers; each part keeps its value without leading zeros, as text,
// so that parts of any length compare without overflow.
std::optional<std::vector<TextView>> DottedParts(TextView version)
{
    std::vector<TextView> parts;
    std::size_t start = 0;
    while (true) {
        auto dot = version.find(u'.', start);
        auto part = version.substr(start, dot == TextView::npos ? TextView::npos : dot - start);
        if (part.empty()) return std::nullopt;
        for (auto unit : part)
            if (unit < u'0' || unit > u'9') return std::nullopt;
        while (part.size() > 1 && part.front() == u'0') part.remove_prefix(1);
        parts.push_back(part);
        if (dot == TextView::npos) return parts;
        start = dot + 1;
    }
}

int CompareNumbers(TextView left, TextView right)
{
    if (left.size() != right.size()) return left.size() < right.size() ? -1 : 1;
    return left.compare(right) < 0 ? -1 : (left == right ? 0 : 1);
}

} // namespace

bool DotNetVersionIsEnough(TextView version)
{
    auto parts = DottedParts(version);
    if (!parts) return false;
    static const std::array<TextView, 3> required{u"4", u"7", u"3062"};
    for (std::size_t i = 0; i < required.size(); ++i) {
        TextView part = i < parts->size() ? (*parts)[i] : TextView(u"0");
        int order = CompareNumbers(part, required[i]);
        if (order != 0) return order > 0;
    }
    return true;
}

bool IsDotNet472Installed(MachineInfo& machine)
{
    Text install;
    Text version;
    try {
        auto shell = machine.CreateRegistryShell();
        install = WithoutChar(shell->RegRead(DotNetKey + u"Install"), u' ');
        version = WithoutChar(shell->RegRead(DotNetKey + u"Version"), u' ');
    } catch (const RuntimeError&) {
        // An unread value stays "", which fails the test below.
    }
    return install == u"1" && DotNetVersionIsEnough(version);
}

bool IsPdfPrinterInstalled(MachineInfo& machine)
{
    const auto wanted = ToLower(PdfPrinterName);
    for (const auto& name : machine.PrinterNames())
        if (ToLower(name) == wanted) return true;
    return false;
}

Text GetAddressWidth(MachineInfo& machine)
{
    Text result;
    for (const auto& width : machine.ProcessorAddressWidths()) result = width;
    return result;
}

bool MachineFacts::Answered(const Text& question, bool answer)
{
    log_.Write(u"Probe: " + question + u": " + (answer ? u"yes" : u"no"));
    return answer;
}

bool MachineFacts::UserIsAnAdmin() { return Answered(u"user is an administrator", machine_.IsUserAnAdmin() != 0); }

bool MachineFacts::DotNet472Installed()
{
    if (!dotNet472Installed_) dotNet472Installed_ = Answered(u".NET 4.7.2 installed", IsDotNet472Installed(machine_));
    return *dotNet472Installed_;
}

bool MachineFacts::PdfPrinterInstalled()
{
    if (!pdfPrinterInstalled_)
        pdfPrinterInstalled_ = Answered(u"doPDF v7 printer installed", IsPdfPrinterInstalled(machine_));
    return *pdfPrinterInstalled_;
}

const Text& MachineFacts::AddressWidth()
{
    if (!addressWidth_) {
        addressWidth_ = GetAddressWidth(machine_);
        log_.Write(u"Probe: processor address width: \"" + *addressWidth_ + u"\"");
    }
    return *addressWidth_;
}

bool DotNet472Missing(MachineFacts& facts) { return !facts.DotNet472Installed(); }
bool PdfPrinterMissing(MachineFacts& facts) { return !facts.PdfPrinterInstalled(); }
bool On32BitProcessor(MachineFacts& facts) { return facts.AddressWidth() == u"32"; }
bool OnOtherProcessors(MachineFacts& facts) { return !On32BitProcessor(facts); }
