#include "tests/unit/DownloadFixture.h"

#include <gtest/gtest.h>

#include <functional>


TEST(StatusLine, DisplayNameShortensPathsLongerThanTwentyCharacters)
{
    EXPECT_EQ(StatusLine::DisplayName(u"C:\\abcdefghij\\12.exe"), u"C:\\abcdefghij\\12.exe");
    EXPECT_EQ(StatusLine::DisplayName(u"C:\\abcdefghij\\123.exe"), u"C:\\a...defghij\\123.exe");
    EXPECT_EQ(StatusLine::DisplayName(u"C:\\Setup\\mavikfiles\\PDFCreator.exe"), u"C:\\S...\\PDFCreator.exe");
}

TEST(DownloadFile, WritesEveryLineAndMovesTheBarChunkByChunk)
{
    struct Example {
        std::size_t size;
        std::vector<Text> progress;
        std::vector<float> bars;
    };
    const std::vector<Example> examples{
        {8192, {Progress(u"0% (0  Kb\\8"), Progress(u"50% (4 Kb\\8"), Progress(u"100% (8 Kb\\8")}, {0.5f, 1}},
        {10000,
         {Progress(u"0% (0  Kb\\9"), Progress(u"50% (4 Kb\\9"), Progress(u"100% (8 Kb\\9"),
          Progress(u"150% (12 Kb\\9")},
         {0.5f, 1, 1.5f}},
        // Under one chunk the only chunk is the whole file.
        {100, {Progress(u"0% (0  Kb\\0"), Progress(u"100% (4 Kb\\0")}, {1}},
        {0, {Progress(u"0% (0  Kb\\0")}, {}},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.size);
        Download download(example.size);
        download.Run();

        std::vector<Text> captions{u"Dosyaya bağlanılıyor...", u"Dosya bilgileri alınıyor..."};
        captions.insert(captions.end(), example.progress.begin(), example.progress.end());
        captions.push_back(Shown + u" dosyası diske indirildi.");
        EXPECT_EQ(download.captions, captions);
        EXPECT_EQ(download.bars, example.bars);
        std::vector<std::string> events{"caption", "refresh", "caption", "refresh", "caption", "refresh"};
        for (std::size_t chunk = 0; chunk < example.bars.size(); ++chunk)
            events.insert(events.end(), {"caption", "refresh", "bar", "pump"});
        events.insert(events.end(), {"caption", "refresh"});
        EXPECT_EQ(download.events, events);

        EXPECT_EQ(download.files.files[LocalPath], download.Body());
        EXPECT_FALSE(download.files.Exists(PartPath));
        EXPECT_EQ(download.fileSize, static_cast<std::int32_t>(example.size));
        EXPECT_EQ(download.fake.internet.Log().front(), u"Open MavikSetupWebCD");
        EXPECT_EQ(download.Reads(), static_cast<int>(example.bars.size()) + 1);
        EXPECT_EQ(download.fake.internet.Log().back(), u"CloseSession");
    }
}

TEST(DownloadFile, FailedTransferSaysWhyAndLeavesNoFileUnderEitherName)
{
    using Arrange = std::function<void(Download&)>;
    const auto length = [](std::string text) -> Arrange {
        return [text](Download& d) { d.Resource().contentLengthText = text; };
    };
    // The file is taken away before it can be moved onto its final name.
    const Arrange partRemoved = [](Download& d) {
        d.fake.events.onDoEvents = [&d] { d.files.files.erase(PartPath); };
    };
    const auto pinned = [](std::optional<std::uint64_t> size, bool bodyAltered) -> Arrange {
        return [=](Download& d) {
            std::string pinnedBody = d.Body();
            if (bodyAltered) pinnedBody[5000] ^= 1;
            d.state.Pins = {{u"PDFCreator.exe", Sha256Of(pinnedBody), size}};
        };
    };
    // The bytes on disk, not those received, are what is checked.
    const Arrange partAltered = [&](Download& d) {
        pinned(10000, false)(d);
        d.fake.events.onDoEvents = [&d] { d.files.files[PartPath][0] ^= 1; };
    };
    const Arrange signedByAnother = [](Download& d) {
        d.state.Pins = {{u"PDFCreator.exe", std::nullopt, std::nullopt, {{Sha256Of("CA"), u"QorMavik"}}}};
        d.fake.signatures.signatures[PartPath] = {SignatureVerdict::Trusted, 0, u"Another", {}, true};
    };
    struct Failure {
        const char* what;
        Arrange arrange;
        Text reason;
        bool oldFileKept;
        std::int32_t fileSize;
    };
    const std::vector<Failure> failures{
        {"no url", [](Download& d) { d.url.clear(); }, u"beklenmeyen hata", true, 0},
        {"no session", [](Download& d) { d.fake.internet.sessionFails = true; }, u"sunucuya bağlanılamadı", true,
         0},
        {"url not opened", [](Download& d) { d.fake.internet.resources.clear(); }, u"sunucuya bağlanılamadı", true,
         0},
        {"no secure channel", [](Download& d) { d.Resource().openFails = InternetFailure::SecureChannel; },
         u"güvenli bağlantı kurulamadı", true, 0},
        {"proxy wants credentials", [](Download& d) { d.Resource().openFails = InternetFailure::ProxyCredentials; },
         u"proxy kimlik doğrulaması gerekiyor", true, 0},
        {"error page", [](Download& d) { d.Resource().status = 404; }, u"HTTP 404", true, 0},
        {"no status", [](Download& d) { d.Resource().status.reset(); }, u"beklenmeyen hata", true, 0},
        {"no length", length(std::string(4096, ' ')), u"dosya boyu bilinmiyor", false, 0},
        {"length no number", length(" 10000x "), u"dosya boyu bilinmiyor", false, 0},
        {"length too big", length("2147483648"), u"dosya boyu çok büyük", false, 0},
        {"long body", length("9999"), u"dosya boyu tutmuyor", false, 9999},
        {"create fails", [](Download& d) { d.files.readOnlyFolders.insert(u"D:\\Kurulum"); }, u"diske yazılamadı",
         false, 0},
        {"write fails", [](Download& d) { d.files.failWritesAfter = 5000; }, u"diske yazılamadı", false, 10000},
        {"rename fails", partRemoved, u"diske yazılamadı", false, 10000},
        {"bar fails", [](Download& d) { d.barFails = true; }, u"beklenmeyen hata", false, 10000},
        {"digest differs", pinned(10000, true), u"dosya doğrulanamadı", false, 10000},
        {"digest differs, size unknown", pinned(std::nullopt, true), u"dosya doğrulanamadı", false, 10000},
        {"length differs from the pinned size", pinned(9999, false), u"dosya doğrulanamadı", false, 10000},
        {"part file altered before the check", partAltered, u"dosya doğrulanamadı", false, 10000},
        {"signed by an unpinned publisher", signedByAnother, u"dosya doğrulanamadı", false, 10000},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        Download download(10000);
        failure.arrange(download);
        download.Run();

        EXPECT_EQ(download.captions.back(), Shown + u" dosyası indirilemedi (" + failure.reason + u").");
        EXPECT_EQ(download.files.Exists(LocalPath) ? download.files.files[LocalPath] : "",
                  failure.oldFileKept ? "old" : "");
        EXPECT_FALSE(download.files.Exists(PartPath));
        EXPECT_EQ(download.fileSize, failure.fileSize);
        EXPECT_EQ(download.fake.internet.OpenHandles(), 0);
    }
}

TEST(DownloadFile, PinnedFileIsCheckedOnceAndAWrongSizeIsRefusedBeforeItsBody)
{
    Download matching(10000);
    matching.state.Pins = {{u"PDFCreator.exe", Sha256Of(matching.Body()), 10000}};
    matching.Run();
    EXPECT_EQ(matching.captions.back(), Shown + u" dosyası diske indirildi.");
    EXPECT_EQ(matching.files.files[LocalPath], matching.Body());
    EXPECT_EQ(matching.fake.hashing.hashesMade, 1);
    EXPECT_TRUE(matching.files.locks.empty());

    Download otherPinned(10000);
    otherPinned.state.Pins = {{u"QorMavik64.exe", Sha256Of("other"), 5}};
    otherPinned.Run();
    EXPECT_EQ(otherPinned.files.files[LocalPath], otherPinned.Body());
    EXPECT_EQ(otherPinned.fake.hashing.hashesMade, 0);

    Download wrongSize(10000);
    wrongSize.state.Pins = {{u"PDFCreator.exe", Sha256Of(wrongSize.Body()), 10001}};
    wrongSize.Run();
    EXPECT_EQ(wrongSize.Reads(), 0);
    EXPECT_EQ(wrongSize.fake.hashing.hashesMade, 0);
}

TEST(DownloadFile, ReadsThatBringPartsOfAChunkAreJoinedIntoWholeChunks)
{
    Download download(0);
    const std::string body = FakeInternet::BodyBytes(10000);
    for (std::size_t at = 0; at < body.size(); at += 1000) download.Resource().reads.push_back(body.substr(at, 1000));
    download.Run();

    EXPECT_EQ(std::vector<Text>(download.captions.begin() + 2, download.captions.end() - 1),
              (std::vector<Text>{Progress(u"0% (0  Kb\\9"), Progress(u"50% (4 Kb\\9"), Progress(u"100% (8 Kb\\9"),
                                 Progress(u"150% (12 Kb\\9")}));
    EXPECT_EQ(download.files.files[LocalPath], body);
}

TEST(DownloadFile, ScreenAndPumpFollowTheFiguresAtMostEveryFifteenMillisecondsAndForTheLastChunk)
{
    Download download(10 * 4096);
    download.fake.clock.step = 0.004;
    download.Run();

    std::vector<std::string> events;
    for (int chunk = 1; chunk <= 10; ++chunk) {
        const bool shown = chunk % 4 == 1 || chunk == 10;
        events.push_back("caption");
        if (shown) events.push_back("refresh");
        events.push_back("bar");
        if (shown) events.push_back("pump");
    }
    events.insert(events.end(), {"caption", "refresh"});
    EXPECT_EQ(std::vector<std::string>(download.events.begin() + 6, download.events.end()), events);
    EXPECT_EQ(download.captions[3 + 9], Progress(u"100% (40 Kb\\40"));
    EXPECT_EQ(download.bars.size(), 10u);
}

TEST(DownloadFile, ABodyLongerThanWhatIsReadAheadArrivesWholeInChunks)
{
    // Reads of 3000 bytes, so that neither the chunks nor the reads line up with the end of the
    // memory the body is read ahead into.
    constexpr std::size_t size = 1536 * 1024 + 1000;
    Download download(size);
    FakeResource& resource = download.Resource();
    const std::string body = FakeInternet::BodyBytes(size);
    resource.reads.clear();
    for (std::size_t at = 0; at < size; at += 3000) resource.reads.push_back(body.substr(at, 3000));
    download.Run();

    EXPECT_EQ(download.result.outcome, DownloadOutcome::Completed);
    EXPECT_TRUE(download.files.files[LocalPath] == body);
    EXPECT_EQ(download.bars.size(), (size + 4095) / 4096);
    EXPECT_EQ(download.captions[download.captions.size() - 2], Progress(u"100% (1540 Kb\\1536"));
}

TEST(DownloadFile, CancelInThePumpRemovesTheFileEvenAfterTheLastChunk)
{
    for (int cancelAtPump : {1, 2}) {
        SCOPED_TRACE(cancelAtPump);
        Download download(8192);
        // The old file is locked until the first pump, so only the finish step can remove it.
        download.files.undeletable.insert(LocalPath);
        download.fake.events.onDoEvents = [&] {
            download.files.undeletable.clear();
            download.state.CancelRequested = download.fake.events.calls == cancelAtPump;
        };
        download.Run();

        // The whole small body, with its end, is read ahead before its first chunk is shown.
        EXPECT_EQ(download.Reads(), 3);
        EXPECT_EQ(download.bars.size(), static_cast<std::size_t>(cancelAtPump));
        EXPECT_EQ(download.captions.back(), Shown + u" dosyası diske indirilemeden iptal edildi.");
        EXPECT_FALSE(download.files.Exists(LocalPath));
        EXPECT_FALSE(download.files.Exists(PartPath));
    }
}

TEST(DownloadFile, FinishPassesOverAFileItCannotDelete)
{
    Download download(10000);
    download.files.undeletable.insert(PartPath);
    download.fake.events.onDoEvents = [&] { download.state.CancelRequested = true; };
    download.Run();

    // Left behind only because it would not go; the chunk read after the cancel is not in it.
    EXPECT_EQ(download.files.files[PartPath], download.Body().substr(0, 4096));
    EXPECT_EQ(download.captions.back(), Shown + u" dosyası diske indirilemeden iptal edildi.");
}

TEST(DownloadFile, FlagsLeaveOutTheirLines)
{
    // Without ShowStatus the last progress line stays: no final line, no final repaint.
    Download completed(8192);
    completed.state.ShowStatus = false;
    completed.Run();
    EXPECT_EQ(completed.captions.back(), Progress(u"100% (8 Kb\\8"));
    EXPECT_EQ(completed.events.back(), "pump");
    EXPECT_TRUE(completed.files.Exists(LocalPath));

    Download failed(8192);
    failed.state.ShowStatus = false;
    failed.Resource().status = 500;
    failed.Run();
    EXPECT_EQ(failed.captions, std::vector<Text>{u"Dosyaya bağlanılıyor..."});

    Download quiet(10000);
    quiet.Run(false);
    EXPECT_EQ(quiet.captions, std::vector<Text>{Shown + u" dosyası diske indirildi."});
    EXPECT_TRUE(quiet.bars.empty());
    EXPECT_EQ(quiet.fake.events.calls, 0);
    EXPECT_EQ(quiet.files.files[LocalPath], quiet.Body());
}
