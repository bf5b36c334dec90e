#include "download/DownloadFile.h"

#include "download/HttpAnswers.h"
#include "download/Request.h"
#include "download/Requests.h"
#include "download/ResumeRecord.h"
#include "download/StatusLines.h"
#include "download/TransferFailure.h"
#include "platform/RuntimeError.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::int32_t KbSize = 1024;
// Connecting and the wait for the response head together: WinINet's own connect timeout is not
// kept everywhere (Wine waits for the system's, over two minutes).
constexpr double OpenTimeoutSeconds = 30;
constexpr std::int32_t KbPerChunk = DownloadFile::ChunkSize / KbSize;
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

} // namespace

DownloadFile::DownloadFile(SetupState& state, Platform& platform, Requests& requests, ProgressBar& bar,
                           const Text& url, const Text& localPath, bool showProgress, StatusLabel& statusLabel)
    : state_(state), platform_(platform), requests_(requests), bar_(bar), label_(statusLabel),
      showProgress_(showProgress), url_(url), localPath_(localPath), partPath_(localPath + PartSuffix),
      recordPath_(ResumeRecordPath(partPath_)), displayName_(StatusLine::DisplayName(localPath)),
      pin_(PinFor(state.Pins, localPath))
{
}

DownloadFile::~DownloadFile() { DropRequest(); }

// Every way out passes through Finish; nothing is raised from here.
double DownloadFile::Step()
{
    if (result_) return Forever;
    try {
        try {
            const double due = Advance();
            if (!completed_) return due;
        } catch (const TransferFailed& failed) {
            // Only a transfer that has begun its file goes on; a first failure is final.
            if (!failed.networkOnly || !partial_ || retry_ == MaxRetries) throw;
            return TryAgain();
        }
    } catch (const TransferFailed& failed) {
        failure_ = failed.reason;
        failedOnNetwork_ = failed.networkOnly;
    } catch (const TransferCancelled&) {
        // Finish sees CancelRequested.
    } catch (...) {
        failure_ = FailureReason::Unexpected;
    }
    try {
        result_ = Finish();
    } catch (...) {
        // Only a lack of memory for the transfer's own texts gets here; the run goes on all the same.
        result_ = DownloadResult{};
    }
    return 0;
}

double DownloadFile::Advance()
{
    if (Cancelled()) throw TransferCancelled{};
    while (true) {
        switch (phase_) {
        case Phase::Start:
            Begin();
            break;
        case Phase::Connecting:
            return Connect();
        case Phase::Receiving:
            return Receive();
        case Phase::RetryPause:
            if (const double left = deadline_ - Now(); left > 0) return left;
            phase_ = Phase::Connecting;
            break;
        }
    }
}

double DownloadFile::Now() { return platform_.clock.MonotonicSeconds(); }

void DownloadFile::Show(const Text& caption)
{
    label_.SetCaption(caption);
    label_.Refresh();
}

void DownloadFile::Begin()
{
    started_ = Now();
    phase_ = Phase::Connecting;
    if (url_.empty() || localPath_.empty()) Fail(FailureReason::Unexpected);
    TakeOverEarlierPart();
    if (showProgress_) Show(StatusLine::Connecting);
}

// A .part that an earlier call kept goes on from where it ended, and so does one that an earlier
// run left when its record vouches for it. Any other is started over: nothing tells whether its
// bytes still belong to the file the server has.
void DownloadFile::TakeOverEarlierPart()
{
    const auto earlier = state_.PartialFiles.find(localPath_);
    if (earlier != state_.PartialFiles.end()) {
        if (IsPresent(platform_.files, partPath_)) partial_ = earlier->second;
        state_.PartialFiles.erase(earlier);
    } else {
        partial_ = PartLeftEarlier(platform_.files, partPath_, url_, ChunkSize);
        // Its record was written for another file when the pin no longer has its size.
        if (partial_ && pin_ && pin_->size && *pin_->size != static_cast<std::uint64_t>(partial_->length))
            partial_.reset();
    }
    if (!partial_) DropPart();
}

// One request, from the start of the file or from the end of its .part.
double DownloadFile::Connect()
{
    if (!request_) {
        const ByteRange range = partial_ ? ByteRange{partial_->received, partial_->validator} : ByteRange{};
        request_ = requests_.Open(platform_.files.OwnName(), url_, range);
        if (!request_) return Requests::RetrySeconds;
        ++attempts_;
        resumedFrom_ = range.from;
        status_.reset();
        deadline_ = Now() + std::min(OpenTimeoutSeconds, platform_.internet.StallTimeoutSeconds());
    }
    if (request_->Opening()) return UntilStalled();
    Respond(request_->Response());
    phase_ = Phase::Receiving;
    deadline_ = Forever;
    request_->ReadBody();
    return Receive();
}

double DownloadFile::UntilStalled()
{
    const double left = deadline_ - Now();
    if (left <= 0) FailNetwork(FailureReason::Stalled);
    return left;
}

void DownloadFile::Respond(HttpResponse& response)
{
    const auto status = response.StatusCode();
    status_ = status;
    contentLength_ = response.ContentLengthText();
    if (!status) Fail(FailureReason::Unexpected);
    if (resumedFrom_ > 0 && *status == 206) {
        // Anything but exactly the missing rest of the same file would spoil the .part.
        if (!IsRestOfFile(response.Header(HttpHeader::ContentRange), resumedFrom_, partial_->length))
            Fail(FailureReason::SizeMismatch);
        ContinuePart();
        fileSize_ = partial_->length;
        if (showProgress_ && !responded_) ShowResumed();
    } else {
        // An error page must not be saved as if it were the file; a 200 starts the file over.
        const bool wholeFile = resumedFrom_ > 0 ? *status == 200 : *status >= 200 && *status <= 299;
        if (!wholeFile) Fail(FailureReason::HttpStatus(*status));
        ReplaceLocalFile();
        const auto length = ContentLength(contentLength_);
        fileSize_ = length;
        if (pin_ && pin_->size && *pin_->size != static_cast<std::uint64_t>(length)) Fail(PinMismatch);
        partial_ = PartialFile{.length = length,
                               .validator = RangeValidator(response.Header(HttpHeader::ETag),
                                                           response.Header(HttpHeader::LastModified))};
        KeepRecord();
        if (showProgress_) ShowStart(length);
    }
    responded_ = true;
}

// The bytes go to a file beside the final one, so a broken transfer never stands under its name.
// The record of an earlier .part goes first: it must never stand beside bytes of another file.
void DownloadFile::ReplaceLocalFile()
{
    partial_.reset();
    KillIfPresent(platform_.files, localPath_);
    KillIfPresent(platform_.files, recordPath_);
    part_ = OnDisk([&] { return platform_.files.Create(partPath_); });
    partCreated_ = true;
}

// Written before the first byte of the .part, so that a run that does not end on its own also
// leaves a .part that can be taken up again. Without a validator a later run could not tell
// whether the file changed meanwhile: no record then. One that cannot be written costs a later
// run only the bytes received.
void DownloadFile::KeepRecord()
{
    if (partial_->validator.empty()) return;
    try {
        WriteResumeRecord(platform_.files, recordPath_, {url_, partial_->validator, partial_->length});
    } catch (const RuntimeError&) {
    }
}

// A file that will not go is passed over: the record of a .part left is gone first.
void DownloadFile::DropPart()
{
    KillIfPresent(platform_.files, recordPath_);
    KillIfPresent(platform_.files, partPath_);
}

void DownloadFile::ContinuePart()
{
    KillIfPresent(platform_.files, localPath_);
    part_ = OnDisk([&] { return platform_.files.Continue(partPath_, partial_->received); });
    partCreated_ = true;
}

// Whole chunks, as long as the request has them; the window's events come after each chunk shown.
double DownloadFile::Receive()
{
    while (true) {
        const std::size_t took = request_->Take(std::span(chunk_).subspan(chunkFilled_));
        chunkFilled_ += took;
        if (took > 0) deadline_ = Forever;
        if (chunkFilled_ < chunk_.size() && request_->MoreToCome()) {
            // No byte for the stall timeout counts as stalled.
            if (deadline_ == Forever) deadline_ = Now() + platform_.internet.StallTimeoutSeconds();
            return UntilStalled();
        }
        if (chunkFilled_ == 0) break;
        if (WriteChunk()) return 0;
    }
    if (partial_->received < partial_->length) FailNetwork(FailureReason::ConnectionLost);
    completed_ = true;
    return 0;
}

bool DownloadFile::WriteChunk()
{
    PartialFile& partial = *partial_;
    const auto bytes = std::span(chunk_).first(std::exchange(chunkFilled_, 0));
    if (partial.received + static_cast<std::int64_t>(bytes.size()) > partial.length) Fail(FailureReason::SizeMismatch);
    OnDisk([&] { part_->Write(bytes); });
    partial.received += static_cast<std::int64_t>(bytes.size());
    partial.chunksRead = Checked<std::int32_t>(std::int64_t{partial.chunksRead} + 1);
    return showProgress_ && ShowChunk(partial.chunksRead, partial.received == partial.length);
}

double DownloadFile::TryAgain()
{
    DropRequest();
    ++retry_;
    // Closed before the next try opens it again.
    part_.reset();
    chunkFilled_ = 0;
    if (showProgress_) Show(StatusLine::Retrying(displayName_, retry_, MaxRetries));
    phase_ = Phase::RetryPause;
    deadline_ = Now() + RetryPauseSeconds;
    return RetryPauseSeconds;
}

void DownloadFile::DropRequest()
{
    if (request_) requests_.GiveUp(std::move(request_));
}

void DownloadFile::ShowStart(std::int32_t length)
{
    Show(StatusLine::Information);
    SetProgressTail(length);
    Show(StatusLine::Start(progressTail_));
}

// A file taken up again shows the figures it had reached, not the start line's zeros.
void DownloadFile::ShowResumed()
{
    Show(StatusLine::Information);
    SetProgressTail(partial_->length);
    ShowFigures(partial_->chunksRead, true);
}

void DownloadFile::SetProgressTail(std::int32_t length)
{
    // A file smaller than one chunk counts as one, so that its only chunk reads 100%.
    chunkTotal_ = std::max(length / ChunkSize, 1);
    progressTail_ = StatusLine::ProgressTail(length / KbSize, displayName_);
}

// The figures and the label's text follow every chunk; the screen and the window's events follow
// at most once per repaint interval, and always for the file's last chunk, so that showing the
// progress never paces the transfer. True when the chunk was shown on the screen.
bool DownloadFile::ShowChunk(std::int32_t chunksRead, bool lastOfFile)
{
    const bool repaint = RepaintDue() || lastOfFile;
    ShowFigures(chunksRead, repaint);
    return repaint;
}

bool DownloadFile::RepaintDue()
{
    const double now = Now();
    if (now - lastRepaint_ < RepaintIntervalSeconds) return false;
    lastRepaint_ = now;
    return true;
}

// Every chunk counts as a whole one, so the last figures may pass 100% and 1.
void DownloadFile::ShowFigures(std::int32_t chunksRead, bool repaint)
{
    const auto percent =
        Checked<std::int16_t>(Checked<std::int32_t>(std::int64_t{chunksRead} * 100) / chunkTotal_);
    const auto kbDone = Checked<std::int32_t>(std::int64_t{chunksRead} * KbPerChunk);
    label_.SetCaption(StatusLine::Progress(percent, kbDone, progressTail_));
    if (repaint) label_.Refresh();
    bar_.BarAyar(static_cast<float>(static_cast<double>(chunksRead) / chunkTotal_));
}

// Nothing in here raises but for a lack of memory: its failures are passed over or turn the
// outcome into a failure.
DownloadResult DownloadFile::Finish()
{
    DropRequest();
    part_.reset();
    auto& files = platform_.files;
    if (Cancelled()) {
        if (partCreated_ || partial_) DropPart();
        KillIfPresent(files, localPath_);
        return ShowFinal({DownloadOutcome::Cancelled, StatusLine::Cancelled(displayName_)});
    }
    if (completed_ && !MatchesItsPin()) {
        failure_ = PinMismatch;
    } else if (completed_) {
        try {
            files.Rename(partPath_, localPath_);
            KillIfPresent(files, recordPath_);
            return ShowFinal({DownloadOutcome::Completed, StatusLine::Completed(displayName_)});
        } catch (...) {
            failure_ = FailureReason::DiskWrite;
        }
    }
    // What the network cut short is kept for the next request; anything else is spoilt.
    if (failedOnNetwork_ && partial_)
        state_.PartialFiles.insert_or_assign(localPath_, *partial_);
    else if (partCreated_ || partial_)
        DropPart();
    return ShowFinal({DownloadOutcome::Failed, StatusLine::Failed(displayName_, failure_)});
}

// Checked on disk, where the bytes are that will be renamed into place.
bool DownloadFile::MatchesItsPin() { return !pin_ || MatchesPin(platform_, partPath_, *pin_); }

DownloadResult DownloadFile::ShowFinal(DownloadResult result)
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
void DownloadFile::LogTransfer(const DownloadResult& result) noexcept
{
    try {
        const double seconds = Now() - started_;
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
