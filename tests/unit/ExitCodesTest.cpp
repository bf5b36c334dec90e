#include "setup/ExitCodes.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

TEST(PackageOutcome, OnlyZeroIsSuccessAndOnly3010And1641AskForARestart)
{
    const std::vector<std::pair<std::optional<std::uint32_t>, ExitCode>> cases = {
        {0u, ExitCode::Installed},          {3010u, ExitCode::RestartRequired},
        {1641u, ExitCode::RestartRequired}, {1603u, ExitCode::PackageFailed},
        {0xC0000005u, ExitCode::PackageFailed}, {std::nullopt, ExitCode::PackageFailed}};
    for (const auto& [packageCode, outcome] : cases)
        EXPECT_EQ(PackageOutcome(packageCode), outcome) << packageCode.value_or(0xFFFFFFFF);
}

TEST(MoreTelling, EachOutcomeOfAnInstallationOutranksTheOnesAfterItWhicheverCameFirst)
{
    const std::vector<ExitCode> mostTellingFirst = {ExitCode::SetupError, ExitCode::PackageNotStarted,
                                                    ExitCode::PackageFailed, ExitCode::MainInstallationIncomplete,
                                                    ExitCode::RestartRequired, ExitCode::Installed};
    for (std::size_t higher = 0; higher < mostTellingFirst.size(); ++higher) {
        for (std::size_t lower = higher; lower < mostTellingFirst.size(); ++lower) {
            const ExitCode expected = mostTellingFirst[higher];
            EXPECT_EQ(MoreTelling(expected, mostTellingFirst[lower]), expected) << higher << " " << lower;
            EXPECT_EQ(MoreTelling(mostTellingFirst[lower], expected), expected) << higher << " " << lower;
        }
    }
}

TEST(ExitCodeLine, NamesTheNumberAndWhyForEveryCode)
{
    EXPECT_EQ(ExitCodeLine(ExitCode::RestartRequired), u"Exit code of the setup: 3010 (a package asked for a restart)");
    EXPECT_EQ(ExitCodeLine(ExitCode::Installed), u"Exit code of the setup: 0 (everything planned was installed)");
    // A code left out of the table would have no line of its own.
    const std::vector<ExitCode> every = {ExitCode::Installed,         ExitCode::NotAdministrator,
                                         ExitCode::AlreadyRunning,    ExitCode::SetupError,
                                         ExitCode::Cancelled,         ExitCode::DownloadFailed,
                                         ExitCode::PackageNotStarted, ExitCode::PackageFailed,
                                         ExitCode::MainInstallationIncomplete, ExitCode::RestartRequired};
    std::set<Text> lines;
    for (const ExitCode code : every) lines.insert(ExitCodeLine(code));
    EXPECT_EQ(lines.size(), every.size());
}

} // namespace
