#pragma once
#include "platform/Platform.h"
#include "setup/SetupState.h"

#include <cstdint>

// The label whose caption carries the status lines.
class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    // The text changes at once; the screen shows it at the next Refresh (or the window's first paint).
    virtual void SetCaption(const Text& caption) = 0;
    // Paints the caption now, without waiting for the event loop.
    virtual void Refresh() = 0;
};

// The download window's progress bar.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    // The bar's drawing changes at once; the screen shows it at the next paint.
    virtual void BarAyar(float oran) = 0;
};

enum class DownloadOutcome { Completed, Cancelled, Failed };

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Failed;
    // The final status line, also when ShowStatus kept it out of the label.
    Text finalLine;
};

// Fetches url into localPath in 4096-byte chunks; never raises to its caller. A transfer that
// ends early keeps what it received in localPath + ".part" and goes on from there.
DownloadResult DownloadFile(SetupState& state, Platform& platform, ProgressBar& bar, const Text& url,
                            const Text& localPath, bool showProgress, StatusLabel& statusLabel,
                            std::int32_t& fileSize);
