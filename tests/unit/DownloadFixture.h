#pragma once
// One DownloadFile call on fakes, with the download window's label and bar recorded.
#include "download/DownloadFile.h"
#include "download/Requests.h"
#include "download/StatusLines.h"
#include "tests/fakes/FakePlatform.h"

#include <algorithm>

inline const Text Url = u"http://server/qormavik/websetup/PDFCreator.exe";
inline const Text LocalPath = u"D:\\Kurulum\\mavikfiles\\PDFCreator.exe";
inline const Text PartPath = LocalPath + u".part";
inline const Text Shown = u"D:\\K...\\PDFCreator.exe";

// The download window's label and bar; events keeps the order of their calls and of the times the
// window's events were served between steps ("pump").
struct Download : StatusLabel, ProgressBar {
    FakePlatform fake;
    FakeFileSystem& files = fake.files;
    Requests requests{fake.platform};
    SetupState state;
    std::vector<Text> captions;
    std::vector<float> bars;
    std::vector<std::string> events;
    bool barFails = false;
    Text url = Url;
    std::int32_t fileSize = 0;
    DownloadResult result;

    explicit Download(std::size_t size)
    {
        state.ShowStatus = true;
        fake.internet.resources[Url] = FakeInternet::Body(size);
        files.files[LocalPath] = "old";
        fake.events.onDoEvents = [this] { events.push_back("pump"); };
        // Slower than the repaint interval: every chunk is shown on the screen.
        fake.clock.step = 0.016;
    }
    void SetCaption(const Text& caption) override
    {
        captions.push_back(caption);
        events.push_back("caption");
    }
    void Refresh() override { events.push_back("refresh"); }
    void BarAyar(float oran) override
    {
        if (barFails) throw RuntimeError(ErrorNumber::Overflow, u"Overflow");
        bars.push_back(oran);
        events.push_back("bar");
    }
    void Run(bool showProgress = true)
    {
        DownloadFile transfer(state, fake.platform, requests, *this, url, LocalPath, showProgress, *this);
        fake.events.Run(transfer, fake.clock, [&] { return transfer.Finished(); });
        result = transfer.Result();
        fileSize = transfer.FileSize();
    }
    FakeResource& Resource() { return fake.internet.resources[Url]; }
    std::string Body()
    {
        std::string body;
        for (const auto& chunk : Resource().reads) body += chunk;
        return body;
    }
    int Reads() const { return static_cast<int>(std::ranges::count(fake.internet.Log(), u"Read")); }
};

inline Text Progress(const char16_t* figures) { return figures + (u" Kb - " + Shown + u")"); }

