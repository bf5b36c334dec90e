#pragma once
// The download window's controls as plain data, and a pixel model of its bar.
#include "setup/Packages.h"
#include "tests/fakes/FakePlatform.h"
#include "window/WebSetupForm.h"

#include <array>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

class FakeLabel : public StatusLabel {
public:
    Text caption;
    int refreshes = 0;
    void SetCaption(const Text& text) override { caption = text; }
    void Refresh() override { ++refreshes; }
};

class FakeButtonGroup : public ButtonGroup {
public:
    static constexpr NativeHandle FirstHandle = 0x100;
    static constexpr NativeHandle Hand = 0x7F89;

    std::array<bool, 4> visible{true, true, true, true};
    std::array<NativeHandle, 4> pointers{Hand, 0, 0, 0};
    int visibleWrites = 0;

    int Count() const override { return 4; }
    NativeHandle Handle(int index) const override { return FirstHandle + index; }
    bool Visible(int index) const override { return visible.at(index); }
    void SetVisible(int index, bool shown) override
    {
        ++visibleWrites;
        visible.at(index) = shown;
    }
    NativeHandle MousePointer(int index) const override { return pointers.at(index); }
    void SetMousePointer(int index, NativeHandle pointer) override { pointers.at(index) = pointer; }

    // The one visible member, or -1 when not exactly one is.
    int Shown() const
    {
        int shown = -1;
        for (int i = 0; i < 4; ++i) {
            if (!visible[i]) continue;
            if (shown >= 0) return -1;
            shown = i;
        }
        return shown;
    }
};

// The screen as the window sees it: the cursor is over the button's visible
// member, over some other window, or cannot be read at all.
class FakeCursor : public CursorProbe {
public:
    static constexpr NativeHandle OtherWindow = 0x900;

    explicit FakeCursor(const FakeButtonGroup& buttons) : buttons_(buttons) {}
    bool overButton = false;
    bool readable = true;

    bool GetCursorPos(ScreenPoint& point) override
    {
        if (!readable) return false;
        point = overButton ? ScreenPoint{400, 20} : ScreenPoint{900, 700};
        return true;
    }
    NativeHandle WindowFromPoint(ScreenPoint point) override
    {
        // Under an unreadable cursor, (0, 0), lies the button too: only the failed read may say "not over".
        if (point.x == 900) return OtherWindow;
        const int shown = buttons_.Shown();
        return shown >= 0 ? buttons_.Handle(shown) : OtherWindow;
    }

private:
    const FakeButtonGroup& buttons_;
};

// PicBar at 96 DPI: 534 × 13 pixels with a one-pixel frame, its inside kept as pixels.
class PixelBar : public BarCanvas {
public:
    static constexpr int Outer = 534;
    static constexpr int Width = Outer - 2;
    static constexpr int Height = 13 - 2;
    static constexpr std::uint32_t White = 0xFFFFFF;
    static constexpr std::uint32_t Yellow = 0x00FFFF;

    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(Width * Height, White);

    int OuterWidth() const override { return Outer; }
    int InsideWidth() const override { return Width; }
    int InsideHeight() const override { return Height; }
    void XorFillRect(const BarRect& rect, std::uint32_t colour) override
    {
        if (rect.left < 0 || rect.top < 0 || rect.right > Width || rect.bottom > Height)
            throw std::out_of_range("rectangle reaches outside the bar");
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) pixels[y * Width + x] ^= colour;
    }

    std::uint32_t At(int x, int y) const { return pixels[y * Width + x]; }
    // Columns from the left that are yellow in every row, or -1 when the
    // picture is not a yellow strip on the left and white to its right.
    int YellowColumns() const
    {
        int columns = 0;
        while (columns < Width && At(columns, 0) == Yellow) ++columns;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (At(x, y) != (x < columns ? Yellow : White)) return -1;
        return columns;
    }
};

class FakeFormWindow : public FormWindow {
public:
    explicit FakeFormWindow(std::vector<std::string>& log) : log_(log) {}
    bool unloaded = false;
    void Hide() override { log_.push_back("hide"); }
    void Unload() override
    {
        if (unloaded) throw std::logic_error("the window is already unloaded");
        unloaded = true;
        log_.push_back("unload");
    }

private:
    std::vector<std::string>& log_;
};

// The window's logic on fakes, with a queue whose transfers behave like DownloadFile: each step
// reads a chunk and shows it on the bar, and the window's events are served after it; a step after
// a confirmed cancel ends the transfer.
class WebSetupHarness {
public:
    FakePlatform fake;
    SetupState state;
    // "fetch N", "done N", "cancelled N", "hide", "install", "unload", and what the tests add.
    std::vector<std::string> log;
    FakeLabel label1;
    FakeLabel label2;
    FakeButtonGroup buttons;
    FakeCursor cursor{buttons};
    PixelBar bar;
    FakeFormWindow form{log};
    int chunksPerFile = 3;
    // Queue entries whose transfer fails; its final line is "failed N".
    std::set<int> failing;
    // The window's events served after chunk `chunk` of queue entry `entry` was shown.
    std::function<void(int entry, int chunk)> duringPump;
    std::function<void()> install = [this] { log.push_back("install"); };
    // The label and bar each transfer was handed.
    std::vector<const StatusLabel*> statusLabels;
    std::vector<const ProgressBar*> bars;
    WebSetupForm webSetup{state,
                          fake.dialogs,
                          fake.events,
                          {label1, label2, buttons, bar, cursor, form},
                          [this](const Text& url, const Text& localPath, ProgressBar& progress,
                                 StatusLabel& statusLabel) { return Fetch(url, localPath, progress, statusLabel); },
                          [this] { install(); }};

    explicit WebSetupHarness(int files)
    {
        for (int i = 1; i <= files; ++i)
            AddDownload(state, Packages[0], u"http://paketler.example/" + Name(i), u"C:\\mavikfiles\\" + Name(i));
        webSetup.Form_Load();
        fake.events.onDoEvents = [this] {
            if (duringPump && shown_) duringPump(shown_->first, shown_->second);
        };
    }

    // The window's message loop, until the run waits for nothing more.
    void Serve() { fake.events.Run(webSetup, fake.clock); }
    void Click()
    {
        webSetup.IndKur1_Click(0);
        Serve();
    }

private:
    class Transfer final : public FileTransfer {
    public:
        Transfer(WebSetupHarness& harness, int entry, ProgressBar& progress, StatusLabel& statusLabel)
            : h_(harness), entry_(entry), progress_(progress), statusLabel_(statusLabel)
        {
        }
        double Step() override
        {
            h_.shown_.reset();
            if (h_.state.CancelRequested) return End(DownloadOutcome::Cancelled, "cancelled ");
            if (chunk_ < h_.chunksPerFile) {
                ++chunk_;
                progress_.BarAyar(static_cast<float>(chunk_) / static_cast<float>(h_.chunksPerFile));
                h_.shown_ = {entry_, chunk_};
                return 0;
            }
            if (h_.failing.contains(entry_)) return End(DownloadOutcome::Failed, "failed ");
            return End(DownloadOutcome::Completed, "done ");
        }
        bool Finished() const override { return result_.has_value(); }
        const DownloadResult& Result() const override { return *result_; }

    private:
        double End(DownloadOutcome outcome, const std::string& what)
        {
            const std::string line = what + std::to_string(entry_);
            h_.log.push_back(line);
            if (outcome != DownloadOutcome::Cancelled) statusLabel_.SetCaption(FromUtf8(line));
            result_ = DownloadResult{outcome, FromUtf8(line)};
            return 0;
        }

        WebSetupHarness& h_;
        const int entry_;
        ProgressBar& progress_;
        StatusLabel& statusLabel_;
        int chunk_ = 0;
        std::optional<DownloadResult> result_;
    };

    static Text Name(int entry) { return u"paket" + DecimalText(entry) + u".exe"; }

    std::unique_ptr<FileTransfer> Fetch(const Text& url, const Text& localPath, ProgressBar& progress,
                                        StatusLabel& statusLabel)
    {
        int entry = 1;
        while (state.DownloadQueue.at(entry - 1).localPath != localPath || state.DownloadQueue.at(entry - 1).url != url)
            ++entry;
        log.push_back("fetch " + std::to_string(entry));
        statusLabels.push_back(&statusLabel);
        bars.push_back(&progress);
        return std::make_unique<Transfer>(*this, entry, progress, statusLabel);
    }

    // The chunk the last step showed: (entry, chunk).
    std::optional<std::pair<int, int>> shown_;
};
