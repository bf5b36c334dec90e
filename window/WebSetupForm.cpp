#include "window/WebSetupForm.h"

#include "platform/RuntimeError.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
constexpr std::uint32_t BarColour = 0xFF0000;  // blue; XOR on white gives yellow
}

WebSetupForm::WebSetupForm(SetupState& state, Dialogs& dialogs, EventPump& events, WebSetupControls controls,
                           FileFetcher fetchFile, std::function<void()> installPackages)
    : state_(state), dialogs_(dialogs), events_(events), controls_(controls), fetchFile_(std::move(fetchFile)),
      installPackages_(std::move(installPackages))
{
}

void WebSetupForm::Form_Load()
{
    controls_.Label1.SetCaption(u"-");
    controls_.Label2.SetCaption(WelcomeText);
    ButtonGroup& buttons = controls_.IndKur1;
    for (int i = 1; i < buttons.Count(); ++i) {
        buttons.SetMousePointer(i, buttons.MousePointer(0));
        buttons.SetVisible(i, false);
    }
    run_ = Run::Idle;
    state_.ShowStatus = true;
    // Closed before a run has fetched everything, the window ends the setup with nothing installed.
    state_.Outcome = ExitCode::Cancelled;
}

bool WebSetupForm::Downloading() const
{
    // The hidden window keeps the cancel images while the packages install.
    return run_ == Run::Installing || ((run_ == Run::Fetching || run_ == Run::Asking) && !state_.CancelRequested);
}

void WebSetupForm::IndKur1_Click(int)
{
    if (run_ == Run::Idle) {
        StartRun();
        return;
    }
    // Once a cancel is confirmed, clicks wait for the transfer beneath to stop: no second run
    // starts inside the first.
    if (run_ == Run::Fetching && !state_.CancelRequested) AskToCancel();
}

void WebSetupForm::AskToCancel()
{
    run_ = Run::Asking;
    const bool yes = dialogs_.MsgBox(CancelQuestion, MsgBoxStyle::YesNo | MsgBoxStyle::Question) == MsgBoxResult::Yes;
    // A close while the question was open has cancelled already.
    if (run_ != Run::Asking) return;
    run_ = Run::Fetching;
    if (!yes) return;
    state_.CancelRequested = true;
    events_.Wake();
}

void WebSetupForm::StartRun()
{
    state_.CancelRequested = false;
    run_ = Run::Fetching;
    queued_ = state_.DownloadQueue.size();
    next_ = 0;
    firstFailure_.reset();
    events_.Wake();
}

double WebSetupForm::Step()
{
    if (run_ != Run::Fetching && run_ != Run::Closing) return Forever;
    if (transfer_) {
        const double due = transfer_->Step();
        if (!transfer_->Finished()) return due;
        const DownloadResult result = transfer_->Result();
        transfer_.reset();
        if (result.outcome == DownloadOutcome::Failed && !firstFailure_) firstFailure_ = result.finalLine;
    }
    if (state_.CancelRequested) {
        EndRun(ExitCode::Cancelled);
        return Forever;
    }
    if (next_ < queued_) {
        const QueuedDownload& queued = state_.DownloadQueue[next_++];
        transfer_ = fetchFile_(queued.url, queued.localPath, *this, controls_.Label1);
        return 0;
    }
    // Installing without a package the machine needs only fails later, with a worse message.
    if (firstFailure_) {
        controls_.Label1.SetCaption(*firstFailure_);
        controls_.Label1.Refresh();
        EndRun(ExitCode::DownloadFailed);
        return Forever;
    }
    InstallAndUnload();
    return Forever;
}

void WebSetupForm::EndRun(ExitCode outcome)
{
    // Stands until a later run ends: closing the window now ends the setup with it.
    state_.Outcome = outcome;
    const bool closing = run_ == Run::Closing;
    run_ = Run::Idle;
    if (closing) controls_.form.Unload();
}

void WebSetupForm::InstallAndUnload()
{
    run_ = Run::Installing;
    controls_.form.Hide();
    // A complete run leaves nothing of the earlier ones: the installation alone tells how it ends.
    state_.Outcome = ExitCode::Installed;
    try {
        installPackages_();
    } catch (const RuntimeError& error) {
        // What the platform does with an error no handler caught: report it, then the program ends.
        dialogs_.MsgBox(error.Description(), MsgBoxStyle::Critical);
        state_.Outcome = ExitCode::SetupError;
    }
    controls_.form.Unload();
}

void WebSetupForm::Form_QueryUnload()
{
    if (run_ == Run::Idle) {
        controls_.form.Unload();
        return;
    }
    if (run_ != Run::Fetching && run_ != Run::Asking) return;
    // The transfer beneath must stop before the window goes.
    run_ = Run::Closing;
    state_.CancelRequested = true;
    events_.Wake();
}

void WebSetupForm::Form_KeyDown(FormKey key, bool repeat)
{
    if (repeat) return;
    // Escape only ever cancels; it never starts a run.
    if (key == FormKey::Escape && !Downloading()) return;
    IndKur1_Click(0);
}

bool WebSetupForm::IsMouseOverButton()
{
    ScreenPoint point;
    if (!controls_.cursor.GetCursorPos(point)) return false;
    const NativeHandle under = controls_.cursor.WindowFromPoint(point);
    const ButtonGroup& buttons = controls_.IndKur1;
    for (int j = 0; j < buttons.Count(); ++j)
        if (buttons.Handle(j) == under) return true;
    return false;
}

void WebSetupForm::MouseCheck_Timer()
{
    const bool over = IsMouseOverButton();
    const int wanted = (Downloading() ? 2 : 0) + (over ? 1 : 0);
    ButtonGroup& buttons = controls_.IndKur1;
    // The usual tick changes nothing and must not repaint the button.
    if (buttons.Visible(wanted)) return;
    for (int j = 0; j < buttons.Count(); ++j) buttons.SetVisible(j, j == wanted);
}

void WebSetupForm::BarAyar(float oran)
{
    const float barPos = static_cast<float>(controls_.PicBar.OuterWidth()) * oran;
    if (!std::isfinite(barPos)) throw RuntimeError(ErrorNumber::Overflow, u"Overflow");
    // Both strokes would cover the same pixels and cancel out: most chunks of a download move
    // the bar by less than a pixel.
    if (StripLeft(barPos) == StripLeft(BarPos)) {
        BarPos = barPos;
        return;
    }
    // Undoes the previous uncovered strip, then inverts the new one back to the background.
    XorBarFromBarPos();
    BarPos = barPos;
    XorBarFromBarPos();
}

int WebSetupForm::StripLeft(float barPos) const
{
    // From barPos to the outer width, clipped to the inside.
    const auto insideWidth = static_cast<float>(controls_.PicBar.InsideWidth());
    return static_cast<int>(std::lround(std::clamp(barPos, 0.0f, insideWidth)));
}

void WebSetupForm::XorBarFromBarPos()
{
    BarCanvas& bar = controls_.PicBar;
    const int insideWidth = bar.InsideWidth();
    const int left = StripLeft(BarPos);
    if (left >= insideWidth) return;
    bar.XorFillRect({left, 0, insideWidth, bar.InsideHeight()}, BarColour);
}
