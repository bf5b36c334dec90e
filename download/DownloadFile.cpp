#include "download/DownloadFile.h"

#include "download/StatusLines.h"
#include "platform/RuntimeError.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

namespace {

constexpr std::int32_t ChunkSize = 4096;
constexpr std::int32_t KbSize = 1024;
constexpr std::int32_t KbPerChunk = ChunkSize / KbSize;
const Text PartSuffix = u".part";

// Ends the transfer steps; the finish step reports the reason.
struct TransferFailed {
    Text reason;
};

[[noreturn]] void Fail(const Text& reason) { throw TransferFailed{reason}; }

// The counters are 32-bit and the percentage 16-bit: a value beyond them is an overflow.
template <typename Narrow>
Narrow Checked(std::int64_t value)
{
    if (value < std::numeric_limits<Narrow>::min() || value > std::numeric_limits<Narrow>::max())
        Fail(FailureReason::TooBig);
    return static_cast<Narrow>(value);
}

// The header's digits, with blanks around them as the buffer of blanks leaves them.
std::int32_t ContentLength(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) Fail(FailureReason::UnknownSize);
    const auto digits = text.substr(first, text.find_last_not_of(' ') + 1 - first);
    constexpr std::int64_t beyond = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (char digit : digits) {
        if (digit < '0' || digit > '9') Fail(FailureReason::UnknownSize);
        value = std::min(value * 10 + (digit - '0'), beyond);
    }
    return Checked<std::int32_t>(value);
}

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

// A file that the existence test misses or that will not go is passed over; "" names no file.
void KillIfPresent(FileSystem& files, const Text& path)
{
    if (path.empty()) return;
    try {
        if (!files.Dir(path, FileAttribute::Normal).empty()) files.Kill(path);
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
    void Run(std::int32_t& fileSize)
    {
        try {
            Connect();
            ReplaceLocalFile();
            const auto length = ContentLength(response_->ContentLengthText());
            fileSize = length;
            if (pin_ && pin_->size && *pin_->size != static_cast<std::uint64_t>(length)) Fail(PinMismatch);
            Copy(length);
        } catch (const TransferFailed& failed) {
            failure_ = failed.reason;
        } catch (...) {
            failure_ = FailureReason::Unexpected;
        }
        Finish();
    }

private:
    void Show(const Text& caption)
    {
        label_.SetCaption(caption);
        label_.Refresh();
    }

    // Up to here a failure leaves an earlier local file as it was.
    void Connect()
    {
        if (url_.empty() || localPath_.empty()) Fail(FailureReason::Unexpected);
        if (showProgress_) Show(StatusLine::Connecting);
        session_ = platform_.internet.Open(platform_.files.OwnName());
        if (!session_) Fail(FailureReason::NoConnection);
        response_ = session_->OpenUrl(url_);
        if (!response_)
            Fail(session_->LastFailure() == InternetFailure::SecureChannel ? FailureReason::NoSecureChannel
                                                                         : FailureReason::NoConnection);
        // An error page must not be saved as if it were the file.
        const auto status = response_->StatusCode();
        if (!status) Fail(FailureReason::Unexpected);
        if (*status < 200 || *status > 299) Fail(FailureReason::HttpStatus(*status));
    }

    // The bytes go to a file beside the final one, so a broken transfer never stands under its name.
    void ReplaceLocalFile()
    {
        KillIfPresent(platform_.files, localPath_);
        part_ = OnDisk([&] { return platform_.files.Create(partPath_); });
        partCreated_ = true;
    }

    void Copy(std::int32_t length)
    {
        if (showProgress_) ShowStart(length);
        std::array<std::byte, ChunkSize> buffer;
        std::int64_t received = 0;
        std::int32_t chunksRead = 0;
        while (true) {
            std::size_t count = 0;
            if (!response_->Read(buffer, count)) Fail(FailureReason::ConnectionLost);
            if (count == 0) break;
            // Looked at before the write, so that a cancel confirmed in the pump stops the next chunk.
            if (state_.CancelRequested) return;
            received += static_cast<std::int64_t>(count);
            if (received > length) Fail(FailureReason::SizeMismatch);
            OnDisk([&] { part_->Write(std::span(buffer).first(count)); });
            chunksRead = Checked<std::int32_t>(std::int64_t{chunksRead} + 1);
            if (showProgress_) ShowChunk(chunksRead);
        }
        if (received < length) Fail(FailureReason::ConnectionLost);
        completed_ = true;
    }

    void ShowStart(std::int32_t length)
    {
        Show(StatusLine::Information);
        // A file smaller than one chunk counts as one, so that its only chunk reads 100%.
        chunkTotal_ = std::max(length / ChunkSize, 1);
        progressTail_ = StatusLine::ProgressTail(length / KbSize, displayName_);
        Show(StatusLine::Start(progressTail_));
    }

    // Every chunk counts as a whole one, so the last figures may pass 100% and 1.
    void ShowChunk(std::int32_t chunksRead)
    {
        const auto percent =
            Checked<std::int16_t>(Checked<std::int32_t>(std::int64_t{chunksRead} * 100) / chunkTotal_);
        const auto kbDone = Checked<std::int32_t>(std::int64_t{chunksRead} * KbPerChunk);
        Show(StatusLine::Progress(percent, kbDone, progressTail_));
        bar_.BarAyar(static_cast<float>(static_cast<double>(chunksRead) / chunkTotal_));
        platform_.events.DoEvents();
    }

    // Nothing in here raises: its failures are passed over or turn the outcome into a failure.
    void Finish()
    {
        part_.reset();
        response_.reset();
        session_.reset();
        auto& files = platform_.files;
        if (state_.CancelRequested) {
            if (partCreated_) KillIfPresent(files, partPath_);
            KillIfPresent(files, localPath_);
            ShowFinal(StatusLine::Cancelled(displayName_));
            return;
        }
        if (completed_ && !MatchesItsPin()) {
            failure_ = PinMismatch;
        } else if (completed_) {
            try {
                files.Rename(partPath_, localPath_);
                ShowFinal(StatusLine::Completed(displayName_));
                return;
            } catch (...) {
                failure_ = FailureReason::DiskWrite;
            }
        }
        if (partCreated_) KillIfPresent(files, partPath_);
        ShowFinal(StatusLine::Failed(displayName_, failure_));
    }

    // Checked on disk, where the bytes are that will be renamed into place.
    bool MatchesItsPin() { return !pin_ || MatchesPin(platform_, partPath_, *pin_); }

    void ShowFinal(const Text& caption)
    {
        if (!state_.ShowStatus) return;
        try {
            Show(caption);
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
    std::unique_ptr<InternetSession> session_;
    std::unique_ptr<HttpResponse> response_;
    std::unique_ptr<OutputFile> part_;
    bool partCreated_ = false;
    bool completed_ = false;
    Text failure_;
    std::int32_t chunkTotal_ = 0;
    Text progressTail_;
};

} // namespace

void DownloadFile(SetupState& state, Platform& platform, ProgressBar& bar, const Text& url,
                  const Text& localPath, bool showProgress, StatusLabel& statusLabel,
                  std::int32_t& fileSize)
{
    try {
        Transfer(state, platform, bar, statusLabel, showProgress, url, localPath).Run(fileSize);
    } catch (...) {
        // Only a lack of memory for the transfer's own texts gets here; the caller expects a return.
    }
}
