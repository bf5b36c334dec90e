#pragma once
#include "platform/Platform.h"
#include "setup/SetupState.h"

#include <cstdint>

// The label whose caption carries the status lines.
class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    virtual void SetCaption(const Text& caption) = 0;
    // Paints the caption now, without waiting for the event loop.
    virtual void Refresh() = 0;
};

// The download window's progress bar.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void BarAyar(float oran) = 0;
};

// Fetches url into localPath in 4096-byte chunks; never raises to its caller.
void DownloadFile(SetupState& state, Platform& platform, ProgressBar& bar, const Text& url,
                  const Text& localPath, bool showProgress, StatusLabel& statusLabel,
                  std::int32_t& fileSize);
