#pragma once
// The state that start-up, the download window, the download routine and the
// package runner share. One object lives for the whole run; tests make fresh ones.
#include "platform/Text.h"
#include "setup/PackagePins.h"

#include <array>
#include <cstdint>

struct SetupState {
    static constexpr std::int16_t QueueCapacity = 10;

    Text BaseUrl;
    PackagePins Pins;
    Text RemoteFolderUrl;
    Text LocalFolder;
    Text PdfPrinterRemote;
    Text PdfPrinterLocal;
    Text DotNetRemote;
    Text DotNetLocal;
    Text MainAppRemote;
    Text MainAppLocal;
    // Used at indices 1 to DownloadCount; index 0 is never touched.
    std::array<Text, QueueCapacity + 1> DownloadUrls;
    std::array<Text, QueueCapacity + 1> DownloadPaths;
    std::int16_t DownloadCount = 0;
    Text CurrentPackage;
    bool RunnerBusy = false;

    bool CancelRequested = false;
    bool ShowStatus = false;
};

// Appends a copy of (url, path) to the download queue; raises RuntimeError 9
// and leaves the queue as it was when it already holds QueueCapacity entries.
void AddDownload(SetupState& state, const Text& url, const Text& path);
