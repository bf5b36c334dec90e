#include "setup/Probes.h"
#include "tests/fakes/FakeMachineInfo.h"

#include <gtest/gtest.h>

namespace {
const Text InstallPath = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\Install";
const Text VersionPath = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\Version";

FakeMachineInfo WithDotNet(const Text& install, const Text& version)
{
    FakeMachineInfo machine;
    machine.registry[InstallPath] = install;
    machine.registry[VersionPath] = version;
    return machine;
}
} // namespace

TEST(DotNetVersion, PassesFrom4703062On)
{
    for (const Text version : {u"4.7.03062", u"4.7.3062", u"4.8.04084", u"4.8", u"5.0.0", u"4.7.03062.1",
                               u"4.10.0", u"4.72", u"4.7.0000000000000000000003063"})
        EXPECT_TRUE(DotNetVersionIsEnough(version)) << ToUtf8(version);
    for (const Text version : {u"4.7.02558", u"4.6.01590", u"4.7", u"", u"4.7.x", u"4..7",
                               u"4.7.03062.", u"v4.8", u"-4.8", u"3.99999999999999999999.0"})
        EXPECT_FALSE(DotNetVersionIsEnough(version)) << ToUtf8(version);
}

TEST(IsDotNet472Installed, NeedsInstallExactly1AndAnEnoughVersion)
{
    auto machine = WithDotNet(u"1", u"4.7.03062");
    EXPECT_TRUE(IsDotNet472Installed(machine));
    EXPECT_EQ(machine.regReads, (std::vector<Text>{InstallPath, VersionPath}));

    auto spaced = WithDotNet(u" 1 ", u"4.8. 04084 ");
    EXPECT_TRUE(IsDotNet472Installed(spaced));

    for (const Text install : {u"0", u"", u"01", u"-1", u"1.0"}) {
        auto notInstalled = WithDotNet(install, u"4.8.04084");
        EXPECT_FALSE(IsDotNet472Installed(notInstalled)) << ToUtf8(install);
    }
    auto tooOld = WithDotNet(u"1", u"4.7.02558");
    EXPECT_FALSE(IsDotNet472Installed(tooOld));
}

TEST(IsDotNet472Installed, EveryFailureGivesFalseWithoutRaising)
{
    FakeMachineInfo noKey;
    EXPECT_FALSE(IsDotNet472Installed(noKey));
    EXPECT_EQ(noKey.regReads, std::vector<Text>{InstallPath});  // the second read is skipped

    FakeMachineInfo noVersion;
    noVersion.registry[InstallPath] = u"1";
    EXPECT_FALSE(IsDotNet472Installed(noVersion));

    auto noShell = WithDotNet(u"1", u"4.8.04084");
    noShell.shellCreatable = false;
    EXPECT_FALSE(IsDotNet472Installed(noShell));
    EXPECT_TRUE(noShell.regReads.empty());
}

TEST(IsPdfPrinterInstalled, MatchesTheWholeNameIgnoringCaseOnly)
{
    FakeMachineInfo machine;
    EXPECT_FALSE(IsPdfPrinterInstalled(machine));

    machine.printers = std::vector<Text>{u"DOPDF V7", u"Fax"};
    EXPECT_TRUE(IsPdfPrinterInstalled(machine));
    machine.printers = std::vector<Text>{u"Fax", u"Microsoft XPS", u"dopdf v7"};
    EXPECT_TRUE(IsPdfPrinterInstalled(machine));

    machine.printers = std::vector<Text>{u"doPDF v7 ", u" doPDF v7", u"doPDF v8", u"doPDF v7 (kopya 1)", u"doPDF"};
    EXPECT_FALSE(IsPdfPrinterInstalled(machine));
}

TEST(IsPdfPrinterInstalled, PrinterListFailureRaises)
{
    FakeMachineInfo machine;
    machine.printers.reset();
    EXPECT_THROW(IsPdfPrinterInstalled(machine), RuntimeError);
}

TEST(GetAddressWidth, TheLastProcessorDecides)
{
    FakeMachineInfo machine;
    machine.addressWidths = std::vector<Text>{u"64", u"32"};
    EXPECT_EQ(GetAddressWidth(machine), u"32");
    machine.addressWidths = std::vector<Text>{};
    EXPECT_EQ(GetAddressWidth(machine), u"");
    machine.addressWidths.reset();
    EXPECT_THROW(GetAddressWidth(machine), RuntimeError);
}
