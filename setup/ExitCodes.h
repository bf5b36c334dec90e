#pragma once
// The program's exit code: what a deployment tool that started the setup learns from it.
#include "platform/Text.h"

#include <cstdint>
#include <optional>

// Small numbers of their own for failures, clear of the C runtime's abort (3), Windows' exception
// codes (0xC0000000 and up) and the installers' own 1602, 1603 and 1641.
enum class ExitCode : std::uint32_t {
    Installed = 0,
    NotAdministrator = 10,
    AlreadyRunning = 11,
    // The folder message, or the error box that ends an installation after a download.
    SetupError = 12,
    // The download was cancelled, or its window closed before a complete run.
    Cancelled = 13,
    DownloadFailed = 14,
    PackageNotStarted = 15,
    PackageFailed = 16,
    // The main application's installer left its completion marker at "0".
    MainInstallationIncomplete = 17,
    RestartRequired = 3010,
};

// Of two things that happened in one run, the one the exit code tells: a failure outranks a restart
// request, which outranks success. Among the failures of an installation: an error of the setup
// itself, then a package that could not start, then one that failed, then an incomplete main
// installation.
ExitCode MoreTelling(ExitCode first, ExitCode second);

// What a package's exit code adds to the run: 3010 and 1641 ask for a restart, any other code but 0
// is a failure, and so is a code that could not be read.
ExitCode PackageOutcome(std::optional<std::uint32_t> packageExitCode);

// The log's last word on the run, e.g. "Exit code of the setup: 3010 (a package asked for a restart)".
Text ExitCodeLine(ExitCode code);
