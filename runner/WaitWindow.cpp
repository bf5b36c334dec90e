#include "runner/WaitWindow.h"

#include "platform/RuntimeError.h"
#include "runner/ShellAndWait.h"
#include "runner/ShellOpen.h"

namespace {

constexpr std::int32_t ShowNormal = 1;      // SW_SHOWNORMAL
constexpr std::int32_t ShowMaximized = 3;   // SW_SHOWMAXIMIZED

bool IsMsiDocument(const Text& path) { return EndsWith(ToLower(path), u".msi"); }

} // namespace

void FOneAl::Form_Load(WaitWindowView& window)
{
    state_.RunnerBusy = true;
    launched_ = false;
    window.SetTopmost();
    window.EnableTimer(true);
}

void FOneAl::Timer1_Timer(WaitWindowView& window)
{
    // The timer keeps ticking while the package is launched, and a message box
    // on the way serves those ticks: each load launches its package once.
    if (launched_) return;
    launched_ = true;

    window.Focus();
    window.Hide();
    const PackagePin* pin = PinFor(state_.Pins, state_.CurrentPackage);
    const ExitCode outcome = IsMsiDocument(state_.CurrentPackage)
                                 ? OpenStagedDocument(window.Handle(), pin)
                                 : ShellAndWait(platform_, staging_, state_.CurrentPackage, ShowNormal, pin);
    state_.Outcome = MoreTelling(state_.Outcome, outcome);
    window.EnableTimer(false);
    window.Unload();
}

// A document that cannot be staged counts as one the shell refuses: nothing is shown, and the
// sequence goes on. What the opened document then does is not waited for.
ExitCode FOneAl::OpenStagedDocument(WindowHandle owner, const PackagePin* pin)
{
    try {
        if (ShellOpen(platform_, staging_.Stage(state_.CurrentPackage, pin), ShowMaximized, owner))
            return ExitCode::Installed;
    } catch (const RuntimeError&) {
    }
    return ExitCode::PackageNotStarted;
}

void FOneAl::Form_Unload() { state_.RunnerBusy = false; }

void RunPackage(SetupState& state, EventPump& events, WaitWindowView& window, const Text& path)
{
    state.RunnerBusy = false;
    state.CurrentPackage = path;
    try {
        window.Load();
    } catch (...) {
        // Form_Load has already put the window on top; nothing else would take it away.
        window.Unload();
        throw;
    }
    window.Show();
    // Sleeps until an event comes: the timer's tick, after 200 ms, launches the package.
    while (state.RunnerBusy) {
        events.WaitForEvents();
        events.DoEvents();
    }
}
