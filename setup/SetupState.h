#pragma once
// The state that start-up, the download window, the download routine and the
// package runner share. One object lives for the whole run; tests make fresh ones.
#include "platform/Text.h"
#include "setup/ExitCodes.h"
#include "setup/PackagePins.h"

#include <cstdint>
#include <map>
#include <vector>

struct Package;

// A transfer that ended early: what its <name>.part holds, so that a later request can go on from there.
struct PartialFile {
    std::int64_t received = 0;
    std::int32_t chunksRead = 0;
    std::int32_t length = 0;
    // The file's ETag or Last-Modified as first served; "" when it came with neither.
    Text validator;
};

// A package this machine needs: where it comes from and where it goes.
struct QueuedDownload {
    const Package* package;
    Text url;
    Text localPath;
};

struct SetupState {
    static constexpr std::size_t QueueCapacity = 10;

    Text BaseUrl;
    PackagePins Pins;
    Text RemoteFolderUrl;
    Text LocalFolder;
    // The packages this machine needs, in the order of the table (setup/Packages.h), which is
    // the order they are fetched in; the installation runs them in its own order.
    std::vector<QueuedDownload> DownloadQueue;
    Text CurrentPackage;
    bool RunnerBusy = false;

    bool CancelRequested = false;
    bool ShowStatus = false;
    // By local path; only files whose .part is kept for a later request are listed.
    std::map<Text, PartialFile> PartialFiles;
    // How the run ends so far; the program's exit code once it is over.
    ExitCode Outcome = ExitCode::Installed;
};

// Appends a copy of (package, url, path) to the download queue; raises RuntimeError 9 and leaves
// the queue as it was when it already holds QueueCapacity entries.
void AddDownload(SetupState& state, const Package& package, const Text& url, const Text& path);
