#pragma once
#include "platform/Platform.h"
#include "runner/StagingFolder.h"
#include "setup/ExitCodes.h"
#include "setup/PackagePins.h"

#include <cstdint>

// Starts a copy of the program at path from the staging folder, in that folder, and blocks until
// it has exited, serving only the messages other programs send to our windows; says so in a
// message box when it cannot start, or when pin is given and the file does not match it. Returns
// what the package adds to the setup's exit code.
ExitCode ShellAndWait(Platform& platform, StagingFolder& staging, const Text& path, std::int32_t windowStyle,
                      const PackagePin* pin);

// Raises the process's first counting top-level window; false when it has none.
bool BringProcessWindowToTop(Processes& processes, std::uint32_t processId);

// The process's first top-level window in Z order that is not an owned pop-up, or 0.
WindowHandle FindProcessWindow(Processes& processes, std::uint32_t processId);
