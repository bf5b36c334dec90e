#pragma once
#include "platform/Platform.h"
#include "setup/SetupState.h"

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

class Request;
class Requests;

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

// One file of a download run, taken on in steps by the window's thread.
class FileTransfer : public BackgroundWork {
public:
    virtual bool Finished() const = 0;
    // Once Finished().
    virtual const DownloadResult& Result() const = 0;
};

inline constexpr double Forever = std::numeric_limits<double>::infinity();

// Fetches url into localPath in 4096-byte chunks; never raises. A transfer that ends early keeps
// what it received in localPath + ".part" and goes on from there, also in a later run of the
// program when the server named the file's version (ResumeRecord.h). Each step does what can be
// done without waiting; the network waits on a request's own thread.
class DownloadFile final : public FileTransfer {
public:
    DownloadFile(SetupState& state, Platform& platform, Requests& requests, ProgressBar& bar, const Text& url,
                 const Text& localPath, bool showProgress, StatusLabel& statusLabel);
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;
    // Gives up a request still open.
    ~DownloadFile() override;

    double Step() override;
    bool Finished() const override { return result_.has_value(); }
    const DownloadResult& Result() const override { return *result_; }
    // The length of the remote file from the Content-Length header; 0 until it is known.
    std::int32_t FileSize() const { return fileSize_; }

    static constexpr std::int32_t ChunkSize = 4096;

private:
    enum class Phase { Start, Connecting, Receiving, RetryPause };

    bool Cancelled() const { return state_.CancelRequested; }
    double Now();
    // Each of these returns when the next step is due, or raises to end the transfer.
    double Advance();
    double Connect();
    double Receive();
    double TryAgain();
    // Raises TransferFailed (stalled) once deadline_ has passed.
    double UntilStalled();
    void Begin();
    void Respond(HttpResponse& response);
    // True when the chunk was shown on the screen: the window's events come next.
    bool WriteChunk();
    void DropRequest();
    void Show(const Text& caption);
    void TakeOverEarlierPart();
    void ReplaceLocalFile();
    void KeepRecord();
    void DropPart();
    void ContinuePart();
    void ShowStart(std::int32_t length);
    void ShowResumed();
    void SetProgressTail(std::int32_t length);
    bool ShowChunk(std::int32_t chunksRead, bool lastOfFile);
    bool RepaintDue();
    void ShowFigures(std::int32_t chunksRead, bool repaint);
    DownloadResult Finish();
    bool MatchesItsPin();
    DownloadResult ShowFinal(DownloadResult result);
    void LogTransfer(const DownloadResult& result) noexcept;

    SetupState& state_;
    Platform& platform_;
    Requests& requests_;
    ProgressBar& bar_;
    StatusLabel& label_;
    const bool showProgress_;
    const Text url_;
    const Text localPath_;
    const Text partPath_;
    // Beside the .part: what a later run needs to take it up again.
    const Text recordPath_;
    const Text displayName_;
    const PackagePin* const pin_;
    Phase phase_ = Phase::Start;
    std::unique_ptr<Request> request_;
    // When the request in progress counts as stalled.
    double deadline_ = Forever;
    int retry_ = 0;
    // The chunk being gathered from the request, and how much of it has come.
    std::array<std::byte, ChunkSize> chunk_{};
    std::size_t chunkFilled_ = 0;
    // What the .part holds; set once a response has begun the file, or from an earlier call.
    std::optional<PartialFile> partial_;
    std::unique_ptr<OutputFile> part_;
    bool partCreated_ = false;
    bool responded_ = false;
    bool completed_ = false;
    // Why the transfer failed, and whether only the network was to blame.
    Text failure_;
    bool failedOnNetwork_ = false;
    std::optional<DownloadResult> result_;
    std::int32_t fileSize_ = 0;
    std::int32_t chunkTotal_ = 0;
    Text progressTail_;
    double lastRepaint_ = -Forever;
    double started_ = 0;
    int attempts_ = 0;
    std::int64_t resumedFrom_ = 0;
    std::optional<std::uint32_t> status_;
    std::string contentLength_;
};
