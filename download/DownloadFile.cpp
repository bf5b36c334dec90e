#include "download/DownloadFile.h"

#include "download/Connection.h"
#include "download/HttpAnswers.h"
#include "download/StatusLines.h"
#include "download/TransferFailure.h"
#include "platform/RuntimeError.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace {

constexpr std::int32_t ChunkSize = 4096;
constexpr std::int32_t KbSize = 1024;
constexpr std::int32_t KbPerChunk = ChunkSize / KbSize;
// A transfer that the network ended early is tried again this often, this far apart.
constexpr int MaxRetries = 3;
constexpr double RetryPauseSeconds = 2;
// About a display's refresh: more often than this the screen would show nothing new.
constexpr double RepaintIntervalSeconds = 0.015;
const Text PartSuffix = u".part";

// The file system's own errors all mean the same to the user.
template <typename Action>
decltype(auto) OnDisk(Action action)
{
    try {
        return action();
    } catch (const RuntimeError&) {
        Fail(FailureReason::DiskWrite);
    }
}

Text OutcomeName(DownloadOutcome outcome)
{
    switch (outcome) {
    case DownloadOutcome::Completed: return u"completed";
    case DownloadOutcome::Cancelled: return u"cancelled";
    default: return u"failed";
    }
}

// "3.052" for 3.0518.
Text SecondsText(double seconds)
{
    const auto milliseconds = static_cast<std::int64_t>(seconds * 1000 + 0.5);
    const Text fraction = DecimalText(1000 + milliseconds % 1000);
    return DecimalText(milliseconds / 1000) + u"." + fraction.substr(1);
}

// A failing existence test counts as no file.
bool IsPresent(FileSystem& files, const Text& path)
{
    try {
        return !files.Dir(path, FileAttribute::Normal).empty();
    } catch (...) {
        return false;
    }
}

// A file that the existence test misses or that will not go is passed over; "" names no file.
void KillIfPresent(FileSystem& files, const Text& path)
{
    if (path.empty() || !IsPresent(files, path)) return;
    try {
        files.Kill(path);
    } catch (...) {
    }
}

class Transfer {
public:
    Transfer(SetupState& state, Platform& platform, ProgressBar& bar, StatusLabel& label,
             bool showProgress, const Text& url, const Text& localPath)
        : state_(state), platform_(platform), bar_(bar), label_(label), showProgress_(showProgress),
          url_(url), localPath_(localPath), partPath_(localPath + PartSuffix),
          displayName_(StatusLine::DisplayName(localPath)), pin_(PinFor(state.Pins, localPath))
    {
    }

    // Every way out passes through Finish; nothing is raised from here.
    DownloadResult Run(std::int32_t& fileSize)
    {
        try {
            started_ = platform_.clock.MonotonicSeconds();
            if (url_.empty() || localPath_.empty()) Fail(FailureReason::Unexpected);
            TakeOverEarlierPart();
            if (showProgress_) Show(StatusLine::Connecting);
            FetchWithRetries(fileSize);
        } catch (const TransferFailed& failed) {
            failure_ = failed;
        } catch (const TransferCancelled&) {
            // Finish sees CancelRequested.
        } catch (...) {
            failure_ = {FailureReason::Unexpected};
        }
        return Finish();
    }

private:
    bool Cancelled() const { return state_.CancelRequested; }

    void Show(const Text& caption)
    {
        label_.SetCaption(caption);
        label_.Refresh();
    }

    // A .part that an earlier call kept goes on from where it ended; one nobody knows about is
    // replaced, since nothing tells whether its bytes still belong to the file the server has.
    void TakeOverEarlierPart()
    {
        const auto earlier = state_.PartialFiles.find(localPath_);
        if (earlier == state_.PartialFiles.end()) return;
        if (IsPresent(platform_.files, partPath_)) partial_ = earlier->second;
        state_.PartialFiles.erase(earlier);
    }

    void FetchWithRetries(std::int32_t& fileSize)
    {
        for (int retry = 1;; ++retry) {
            try {
                Attempt(fileSize);
                return;
            } catch (const TransferFailed& failed) {
                // Only a transfer that has begun its file goes on; a first failure is final.
                if (!failed.networkOnly || !partial_ || retry > MaxRetries) throw;
            }
            // Closed before the next try opens it again.
            part_.reset();
            if (showProgress_) Show(StatusLine::Retrying(displayName_, retry, MaxRetries));
            if (!platform_.worker.Pause(RetryPauseSeconds, [this] { return Cancelled(); }))
                throw TransferCancelled{};
        }
    }

    // One request, from the start of the file or from the end of its .part, and its body.
    void Attempt(std::int32_t& fileSize)
    {
        Connection connection(platform_, [this] { return Cancelled(); });
        const ByteRange range = partial_ ? ByteRange{partial_->received, partial_->validator} : ByteRange{};
        ++attempts_;
        resumedFrom_ = range.from;
        status_.reset();
        HttpResponse& response = connection.Open(platform_.files.OwnName(), url_, range);
        const auto status = response.StatusCode();
        status_ = status;
        contentLength_ = response.ContentLengthText();
        if (!status) Fail(FailureReason::Unexpected);
        if (range.from > 0 && *status == 206) {
            // Anything but exactly the missing rest of the same file would spoil the .part.
            if (!IsRestOfFile(response.Header(HttpHeader::ContentRange), range.from, partial_->length))
                Fail(FailureReason::SizeMismatch);
            ContinuePart();
            fileSize = partial_->length;
            if (showProgress_ && !responded_) ShowResumed();
        } else {
            // An error page must not be saved as if it were the file; a 200 starts the file over.
            const bool wholeFile = range.from > 0 ? *status == 200 : *status >= 200 && *status <= 299;
            if (!wholeFile) Fail(FailureReason::HttpStatus(*status));
            ReplaceLocalFile();
            const auto length = ContentLength(response.ContentLengthText());
            fileSize = length;
            if (pin_ && pin_->size && *pin_->size != static_cast<std::uint64_t>(length)) Fail(PinMismatch);
            partial_ = PartialFile{.length = length,
                                   .validator = RangeValidator(response.Header(HttpHeader::ETag),
                                                               response.Header(HttpHeader::LastModified))};
            if (showProgress_) ShowStart(length);
        }
        responded_ = true;
        Copy(connection);
    }

    // The bytes go to a file beside the final one, so a broken transfer never stands under its name.
    void ReplaceLocalFile()
    {
        partial_.reset();
        KillIfPresent(platform_.files, localPath_);
        part_ = OnDisk([&] { return platform_.files.Create(partPath_); });
        partCreated_ = true;
    }

    void ContinuePart()
    {
        KillIfPresent(platform_.files, localPath_);
        part_ = OnDisk([&] { return platform_.files.Continue(partPath_, partial_->received); });
        partCreated_ = true;
    }

    void Copy(Connection& connection)
    {
        PartialFile& partial = *partial_;
        std::array<std::byte, ChunkSize> chunk;
        while (true) {
            const std::size_t count = connection.NextChunk(chunk);
            if (count == 0) break;
            // Looked at before the write, so that a cancel confirmed in the pump stops the next chunk.
            if (Cancelled()) return;
            if (partial.received + static_cast<std::int64_t>(count) > partial.length) Fail(FailureReason::SizeMismatch);
            OnDisk([&] { part_->Write(std::span(chunk).first(count)); });
            partial.received += static_cast<std::int64_t>(count);
            partial.chunksRead = Checked<std::int32_t>(std::int64_t{partial.chunksRead} + 1);
            if (showProgress_) ShowChunk(partial.chunksRead, partial.received == partial.length);
        }
        if (partial.received < partial.length) FailNetwork(FailureReason::ConnectionLost);
        completed_ = true;
    }

    void ShowStart(std::int32_t length)
    {
        Show(StatusLine::Information);
        SetProgressTail(length);
        Show(StatusLine::Start(progressTail_));
    }

    // A file taken up again shows the figures it had reached, not the start line's zeros.
    void ShowResumed()
    {
        Show(StatusLine::Information);
        SetProgressTail(partial_->length);
        ShowFigures(partial_->chunksRead, true);
    }

    void SetProgressTail(std::int32_t length)
    {
        // A file smaller than one chunk counts as one, so that its only chunk reads 100%.
        chunkTotal_ = std::max(length / ChunkSize, 1);
        progressTail_ = StatusLine::ProgressTail(length / KbSize, displayName_);
    }

    // The figures and the label's text follow every chunk; the screen and the event pump follow
    // at most once per repaint interval, and always for the file's last chunk, so that showing
    // the progress never paces the transfer.
    void ShowChunk(std::int32_t chunksRead, bool lastOfFile)
    {
        const bool repaint = RepaintDue() || lastOfFile;
        ShowFigures(chunksRead, repaint);
        if (repaint) platform_.events.DoEvents();
    }

    bool RepaintDue()
    {
        const double now = platform_.clock.MonotonicSeconds();
        if (now - lastRepaint_ < RepaintIntervalSeconds) return false;
        lastRepaint_ = now;
        return true;
    }

    // Every chunk counts as a whole one, so the last figures may pass 100% and 1.
    void ShowFigures(std::int32_t chunksRead, bool repaint)
    {
        const auto percent =
            Checked<std::int16_t>(Checked<std::int32_t>(std::int64_t{chunksRead} * 100) / chunkTotal_);
        const auto kbDone = Checked<std::int32_t>(std::int64_t{chunksRead} * KbPerChunk);
        label_.SetCaption(StatusLine::Progress(percent, kbDone, progressTail_));
        if (repaint) label_.Refresh();
        bar_.BarAyar(static_cast<float>(static_cast<double>(chunksRead) / chunkTotal_));
    }

    // Nothing in here raises: its failures are passed over or turn the outcome into a failure.
    DownloadResult Finish()
    {
        part_.reset();
        auto& files = platform_.files;
        if (Cancelled()) {
            if (partCreated_ || partial_) KillIfPresent(files, partPath_);
            KillIfPresent(files, localPath_);
            return ShowFinal({DownloadOutcome::Cancelled, StatusLine::Cancelled(displayName_)});
        }
        if (completed_ && !MatchesItsPin()) {
            failure_ = {PinMismatch};
        } else if (completed_) {
            try {
                files.Rename(partPath_, localPath_);
                return ShowFinal({DownloadOutcome::Completed, StatusLine::Completed(displayName_)});
            } catch (...) {
                failure_ = {FailureReason::DiskWrite};
            }
        }
        // What the network cut short is kept for the next request; anything else is spoilt.
        if (failure_.networkOnly && partial_)
            state_.PartialFiles.insert_or_assign(localPath_, *partial_);
        else if (partCreated_ || partial_)
            KillIfPresent(files, partPath_);
        return ShowFinal({DownloadOutcome::Failed, StatusLine::Failed(displayName_, failure_.reason)});
    }

    // Checked on disk, where the bytes are that will be renamed into place.
    bool MatchesItsPin() { return !pin_ || MatchesPin(platform_, partPath_, *pin_); }

    DownloadResult ShowFinal(DownloadResult result)
    {
        LogTransfer(result);
        if (!state_.ShowStatus) return result;
        try {
            Show(result.finalLine);
        } catch (...) {
        }
        return result;
    }

    // What the last request got, how long the whole transfer took and how it ended.
    void LogTransfer(const DownloadResult& result) noexcept
    {
        try {
            const double seconds = platform_.clock.MonotonicSeconds() - started_;
            const Text status = status_ ? DecimalText(*status_) : Text(u"none");
            // The header as queried: a failed query reads as blanks, logged as "".
            const Text length = FromUtf8(contentLength_.substr(0, contentLength_.find_last_not_of(' ') + 1));
            const Text resumed = resumedFrom_ > 0 ? u", resumed at byte " + DecimalText(resumedFrom_) : Text();
            platform_.log.Write(u"Download: " + url_ + u" status " + status + u", Content-Length \"" + length +
                                u"\", received " + DecimalText(partial_ ? partial_->received : 0) + u" bytes in " +
                                SecondsText(seconds) + u" s, attempts " + DecimalText(attempts_) + resumed + u": " +
                                OutcomeName(result.outcome) + u" (" + result.finalLine + u")");
        } catch (...) {
        }
    }

    SetupState& state_;
    Platform& platform_;
    ProgressBar& bar_;
    StatusLabel& label_;
    const bool showProgress_;
    const Text url_;
    const Text localPath_;
    const Text partPath_;
    const Text displayName_;
    const PackagePin* const pin_;
    // What the .part holds; set once a response has begun the file, or from an earlier call.
    std::optional<PartialFile> partial_;
    std::unique_ptr<OutputFile> part_;
    bool partCreated_ = false;
    bool responded_ = false;
    bool completed_ = false;
    TransferFailed failure_;
    std::int32_t chunkTotal_ = 0;
    Text progressTail_;
    double lastRepaint_ = -std::numeric_limits<double>::infinity();
    double started_ = 0;
    int attempts_ = 0;
    std::int64_t resumedFrom_ = 0;
    std::optional<std::uint32_t> status_;
    std::string contentLength_;
};

} // namespace

DownloadResult DownloadFile(SetupState& state, Platform& platform, ProgressBar& bar, const Text& url,
                            const Text& localPath, bool showProgress, StatusLabel& statusLabel,
                            std::int32_t& fileSize)
{
    try {
        return Transfer(state, platform, bar, statusLabel, showProgress, url, localPath).Run(fileSize);
    } catch (...) {
        // Only a lack of memory for the transfer's own texts gets here; the caller expects a return.
        return {};
    }
}
