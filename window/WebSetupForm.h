#pragma once
// The download window's behaviour, written against small views of its controls
// so that the real window and the tests' fakes share it.
#include "download/DownloadFile.h"
#include "platform/Dialogs.h"
#include "setup/SetupState.h"

#include <array>
#include <cstdint>
#include <functional>

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

// One transfer of the run; the program's is DownloadFile with showProgress set.
using FileFetcher = std::function<DownloadResult(const Text& url, const Text& localPath, ProgressBar& bar,
                                                 StatusLabel& statusLabel)>;

inline const Text WelcomeText =
    u"QorMAVIK indirme yöneticine hoş geldiniz. Bu program kurulum için gerekli olan dosyaları "
    u"indirecek ve kurulumu başlatacaktır.";
inline const Text CancelQuestion = u"İndirme işlemi iptal edilsin mi?";
// The label painted on each image of IndKur1.
inline const std::array<Text, 4> IndKur1Faces{u"İndir&Kur", u"İndir&Kur", u"İptal", u"İptal"};

// The keys the window acts on.
enum class FormKey { Enter, Space, Escape };

class WebSetupForm : public ProgressBar {
public:
    WebSetupForm(SetupState& state, Dialogs& dialogs, WebSetupControls controls, FileFetcher fetchFile,
                 std::function<void()> installPackages);

    void Form_Load();
    // Every member of the group runs the same logic.
    void IndKur1_Click(int index);
    void MouseCheck_Timer();
    // A key pressed while the window has the focus: Enter and Space press the button, Escape
    // presses it only during a run, where it shows İptal. The repeats of a held key press nothing.
    void Form_KeyDown(FormKey key, bool repeat);
    // Raises RuntimeError (overflow) when W × oran is not a finite number; the bar is then left as it was.
    void BarAyar(float oran) override;
    // The user closes the window: at once when idle, otherwise as a confirmed
    // cancel after which the run unloads the window when it has ended.
    void Form_QueryUnload();

    bool IsDownloading() const { return Downloading; }

private:
    bool IsMouseOverButton();
    void AskToCancel();
    void RunDownloads();
    void EndRun();
    void InstallAndUnload();
    void XorBarFromBarPos();
    // The first pixel column of the strip that XorBarFromBarPos inverts for barPos.
    int StripLeft(float barPos) const;

    SetupState& state_;
    Dialogs& dialogs_;
    WebSetupControls controls_;
    FileFetcher fetchFile_;
    std::function<void()> installPackages_;

    bool Downloading = false;
    // In the bar's pixels: where its uncovered part begins.
    float BarPos = 0;
    // Set for a whole run, also after a confirmed cancel until the transfer beneath has stopped.
    bool runInProgress_ = false;
    bool closeRequested_ = false;
};
