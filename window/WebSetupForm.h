#pragma once
// The download window's behaviour, written against small views of its controls
// so that the real window and the tests' fakes share it.
#include "download/DownloadFile.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "setup/SetupState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// A window or cursor handle; the logic only compares and passes it on.
using NativeHandle = std::uintptr_t;

struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Where the mouse is and which window lies under it.
class CursorProbe {
public:
    virtual ~CursorProbe() = default;
    // False when the position cannot be read.
    virtual bool GetCursorPos(ScreenPoint& point) = 0;
    // Hidden windows are never returned.
    virtual NativeHandle WindowFromPoint(ScreenPoint point) = 0;
};

// The pictures of the image button IndKur1, stacked on the same spot.
class ButtonGroup {
public:
    virtual ~ButtonGroup() = default;
    virtual int Count() const = 0;
    virtual NativeHandle Handle(int index) const = 0;
    // The member's own flag, also while the window itself is hidden.
    virtual bool Visible(int index) const = 0;
    virtual void SetVisible(int index, bool visible) = 0;
    virtual NativeHandle MousePointer(int index) const = 0;
    virtual void SetMousePointer(int index, NativeHandle pointer) = 0;
};

// Pixels of the bar's inside; right and bottom are excluded.
struct BarRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// PicBar: a framed box that keeps what is drawn into it across repaints.
class BarCanvas {
public:
    virtual ~BarCanvas() = default;
    // In device pixels, the frame included.
    virtual int OuterWidth() const = 0;
    virtual int InsideWidth() const = 0;
    virtual int InsideHeight() const = 0;
    // Every pixel of rect, which lies inside, becomes its old value XOR colour (a COLORREF).
    virtual void XorFillRect(const BarRect& rect, std::uint32_t colour) = 0;
};

class FormWindow {
public:
    virtual ~FormWindow() = default;
    virtual void Hide() = 0;
    // Destroys the window; nothing may touch it afterwards.
    virtual void Unload() = 0;
};

struct WebSetupControls {
    StatusLabel& Label1;
    StatusLabel& Label2;
    ButtonGroup& IndKur1;
    BarCanvas& PicBar;
    CursorProbe& cursor;
    FormWindow& form;
};

// One transfer of the run, not begun yet; the program's is DownloadFile with showProgress set.
using FileFetcher = std::function<std::unique_ptr<FileTransfer>(const Text& url, const Text& localPath,
                                                                ProgressBar& bar, StatusLabel& statusLabel)>;

inline const Text WelcomeText =
    u"QorMAVIK indirme yöneticine hoş geldiniz. Bu program kurulum için gerekli olan dosyaları "
    u"indirecek ve kurulumu başlatacaktır.";
inline const Text CancelQuestion = u"İndirme işlemi iptal edilsin mi?";
// The label painted on each image of IndKur1.
inline const std::array<Text, 4> IndKur1Faces{u"İndir&Kur", u"İndir&Kur", u"İptal", u"İptal"};

// The keys the window acts on.
enum class FormKey { Enter, Space, Escape };

// The window's handlers return at once: a run goes on in steps that the window's message loop
// takes between its events (Step), and the cancel question is asked in the handler of the click.
class WebSetupForm : public ProgressBar, public BackgroundWork {
public:
    WebSetupForm(SetupState& state, Dialogs& dialogs, EventPump& events, WebSetupControls controls,
                 FileFetcher fetchFile, std::function<void()> installPackages);

    void Form_Load();
    // Every member of the group runs the same logic.
    void IndKur1_Click(int index);
    void MouseCheck_Timer();
    // A key pressed while the window has the focus: Enter and Space press the button, Escape
    // presses it only during a run, where it shows İptal. The repeats of a held key press nothing.
    void Form_KeyDown(FormKey key, bool repeat);
    // Raises RuntimeError (overflow) when W × oran is not a finite number; the bar is then left as it was.
    void BarAyar(float oran) override;
    // The user closes the window: at once when idle, otherwise as a confirmed cancel after which
    // the window unloads once the transfer has stopped.
    void Form_QueryUnload();
    // The run's next step: the transfer in progress goes on, or the next one begins, or the run ends.
    double Step() override;

    // A run is in progress and not cancelled, or the packages install: the button shows İptal.
    bool Downloading() const;

private:
    // Idle → fetching the queue's entries in turn (a retry pause is the transfer's) → done or
    // failed → installing. Asking: the cancel question is open. Closing: the user closed the window
    // during a run, which unloads it once the transfer beneath has stopped.
    enum class Run { Idle, Fetching, Asking, Closing, Installing };

    bool IsMouseOverButton();
    void AskToCancel();
    void StartRun();
    // The run is over without installing, and the setup would end with outcome.
    void EndRun(ExitCode outcome);
    void InstallAndUnload();
    void XorBarFromBarPos();
    // The first pixel column of the strip that XorBarFromBarPos inverts for barPos.
    int StripLeft(float barPos) const;

    SetupState& state_;
    Dialogs& dialogs_;
    EventPump& events_;
    WebSetupControls controls_;
    FileFetcher fetchFile_;
    std::function<void()> installPackages_;

    Run run_ = Run::Idle;
    // The queue's length when the run began, and the entry to fetch next.
    std::size_t queued_ = 0;
    std::size_t next_ = 0;
    std::unique_ptr<FileTransfer> transfer_;
    std::optional<Text> firstFailure_;
    // In the bar's pixels: where its uncovered part begins.
    float BarPos = 0;
};
