#include "window/WebSetupForm.h"

#include "platform/RuntimeError.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
constexpr std::uint32_t BarColour = 0xFF0000;  // blue; XOR on white gives yellow
}

WebSetupForm::WebSetupForm(SetupState& state, Dialogs& dialogs, WebSetupControls controls,
                           FileFetcher fetchFile, std::function<void()> installPackages)
    : state_(state), dialogs_(dialogs), controls_(controls), fetchFile_(std::move(fetchFile)),
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
    Downloading = false;
    state_.ShowStatus = true;
}

void WebSetupForm::IndKur1_Click(int)
{
    if (Downloading) {
        AskToCancel();
        return;
    }
    // A click after a confirmed cancel, while the transfer beneath has not stopped yet.
    if (runInProgress_) return;
    RunDownloads();
}

void WebSetupForm::AskToCancel()
{
    if (dialogs_.MsgBox(CancelQuestion, MsgBoxStyle::YesNo | MsgBoxStyle::Question) == MsgBoxResult::Yes) {
        state_.CancelRequested = true;
        Downloading = false;
    }
}

void WebSetupForm::RunDownloads()
{
    runInProgress_ = true;
    state_.CancelRequested = false;
    Downloading = true;
    const int count = state_.DownloadCount;
    std::optional<Text> firstFailure;
    for (int i = 1; i <= count; ++i) {
        const auto result = fetchFile_(state_.DownloadUrls[i], state_.DownloadPaths[i], *this, controls_.Label1);
        if (state_.CancelRequested) break;
        if (result.outcome == DownloadOutcome::Failed && !firstFailure) firstFailure = result.finalLine;
    }
    if (state_.CancelRequested) {
        EndRun();
        if (closeRequested_) controls_.form.Unload();
        return;
    }
    // Installing without a package the machine needs only fails later, with a worse message.
    if (firstFailure) {
        controls_.Label1.SetCaption(*firstFailure);
        controls_.Label1.Refresh();
        EndRun();
        return;
    }
    InstallAndUnload();
}

void WebSetupForm::EndRun()
{
    Downloading = false;
    runInProgress_ = false;
}

void WebSetupForm::InstallAndUnload()
{
    controls_.form.Hide();
    try {
        installPackages_();
    } catch (const RuntimeError& error) {
        // What the platform does with an error no handler caught: report it, then the program ends.
        dialogs_.MsgBox(error.Description(), MsgBoxStyle::Critical);
    }
    controls_.form.Unload();
}

void WebSetupForm::Form_QueryUnload()
{
    if (!runInProgress_) {
        controls_.form.Unload();
        return;
    }
    // DownloadFile is still running beneath this handler: it must end before the window goes.
    closeRequested_ = true;
    state_.CancelRequested = true;
    Downloading = false;
}

void WebSetupForm::Form_KeyDown(FormKey key, bool repeat)
{
    if (repeat) return;
    // Escape only ever cancels; it never starts a run.
    if (key == FormKey::Escape && !Downloading) return;
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
    const int wanted = (Downloading ? 2 : 0) + (over ? 1 : 0);
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
