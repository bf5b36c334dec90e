"""The program's exit codes, read from their one definition (setup/ExitCodes.h)."""

from __future__ import annotations

import re
from pathlib import Path

DEFINITION = Path(__file__).resolve().parents[2] / "setup" / "ExitCodes.h"
ENUMERATOR = re.compile(r"^\s*(\w+) = (\d+),$", re.MULTILINE)

CODES = {name: int(value) for name, value in ENUMERATOR.findall(DEFINITION.read_text())}

INSTALLED = CODES["Installed"]
ALREADY_RUNNING = CODES["AlreadyRunning"]
SETUP_ERROR = CODES["SetupError"]
CANCELLED = CODES["Cancelled"]
DOWNLOAD_FAILED = CODES["DownloadFailed"]
PACKAGE_NOT_STARTED = CODES["PackageNotStarted"]
PACKAGE_FAILED = CODES["PackageFailed"]
MAIN_INSTALLATION_INCOMPLETE = CODES["MainInstallationIncomplete"]
RESTART_REQUIRED = CODES["RestartRequired"]
