#include "setup/ExitCodes.h"

#include <algorithm>
#include <array>

namespace {

struct Meaning {
    ExitCode code;
    const char16_t* why;
};

// From the least telling to the most: of two outcomes of one run, the later one here is the exit code.
constexpr std::array Meanings{
    Meaning{ExitCode::Installed, u"everything planned was installed"},
    Meaning{ExitCode::RestartRequired, u"a package asked for a restart"},
    Meaning{ExitCode::MainInstallationIncomplete, u"the main installation did not complete"},
    Meaning{ExitCode::PackageFailed, u"a package ended with a failure code"},
    Meaning{ExitCode::PackageNotStarted, u"a package could not be started"},
    Meaning{ExitCode::DownloadFailed, u"a download failed"},
    Meaning{ExitCode::Cancelled, u"the user cancelled"},
    Meaning{ExitCode::AlreadyRunning, u"another copy is running"},
    Meaning{ExitCode::NotAdministrator, u"no administrator rights"},
    Meaning{ExitCode::SetupError, u"the setup stopped on an error"},
};

const Meaning* MeaningOf(ExitCode code)
{
    return std::ranges::find(Meanings, code, &Meaning::code);
}

constexpr std::uint32_t InstallerRestartRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr std::uint32_t InstallerRestartInitiated = 1641; // ERROR_SUCCESS_REBOOT_INITIATED

} // namespace

ExitCode MoreTelling(ExitCode first, ExitCode second)
{
    return MeaningOf(first) < MeaningOf(second) ? second : first;
}

ExitCode PackageOutcome(std::optional<std::uint32_t> packageExitCode)
{
    if (packageExitCode == 0u) return ExitCode::Installed;
    if (packageExitCode == InstallerRestartRequired || packageExitCode == InstallerRestartInitiated)
        return ExitCode::RestartRequired;
    return ExitCode::PackageFailed;
}

Text ExitCodeLine(ExitCode code)
{
    return u"Exit code of the setup: " + DecimalText(static_cast<std::uint32_t>(code)) + u" (" + MeaningOf(code)->why +
           u")";
}
