#include "download/HttpAnswers.h"
#include "tests/unit/DownloadFixture.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

constexpr std::size_t Size = 10000;
const Text ETag = u"\"v1\"";
const std::string Whole = FakeInternet::BodyBytes(Size);

Text Retrying(int n) { return Shown + u" yeniden deneniyor (" + DecimalText(n) + u"/3)..."; }
Text Failed(const Text& reason) { return Shown + u" dosyası indirilemedi (" + reason + u")."; }

// The whole file is announced; its first `kept` bytes come, then the connection drops.
FakeResource DroppedAfter(std::size_t kept)
{
    FakeResource resource{.contentLengthText = std::to_string(Size), .failAfterReads = true};
    for (std::size_t at = 0; at < kept; at += 4096) resource.reads.push_back(Whole.substr(at, std::min<std::size_t>(4096, kept - at)));
    resource.headers[HttpHeader::ETag] = ETag;
    return resource;
}

// A 206 answer with the rest of the file from `from` on.
FakeResource Rest(std::size_t from, Text contentRange = {})
{
    FakeResource resource{.status = 206};
    for (std::size_t at = from; at < Size; at += 4096) resource.reads.push_back(Whole.substr(at, 4096));
    resource.headers[HttpHeader::ContentRange] =
        contentRange.empty() ? u"bytes " + DecimalText(static_cast<std::int64_t>(from)) + u"-9999/10000" : contentRange;
    return resource;
}

struct Resumed : Download {
    Resumed(std::initializer_list<FakeResource> answers) : Download(Size)
    {
        fake.internet.nextAnswers[Url] = answers;
    }
    std::vector<FakeRequest> Requests() const { return fake.internet.Requests(); }
    bool Logged(const char16_t* entry) const { return std::ranges::count(fake.internet.Log(), entry) > 0; }
    // How long the window's loop slept between steps in all: the waits the transfer asked for.
    double Slept() const { return std::accumulate(fake.events.sleeps.begin(), fake.events.sleeps.end(), 0.0); }
};

TEST(DownloadResume, DropIsResumedWithRangeAndIfRangeAndTheFiguresGoOn)
{
    Resumed download{DroppedAfter(8192), Rest(8192)};
    download.Run();

    ASSERT_EQ(download.Requests().size(), 2u);
    EXPECT_EQ(download.Requests()[0].range.from, 0);
    EXPECT_EQ(download.Requests()[1].range.from, 8192);
    EXPECT_EQ(download.Requests()[1].range.ifRange, ETag);
    EXPECT_NEAR(download.Slept(), 2, 0.1);
    EXPECT_EQ(std::vector<Text>(download.captions.begin() + 4, download.captions.end()),
              (std::vector<Text>{Progress(u"100% (8 Kb\\9"), Retrying(1), Progress(u"150% (12 Kb\\9"),
                                 Shown + u" dosyası diske indirildi."}));
    EXPECT_EQ(download.bars, (std::vector<float>{0.5f, 1, 1.5f}));
    EXPECT_EQ(download.files.files[LocalPath], Whole);
    EXPECT_FALSE(download.files.Exists(PartPath));
    EXPECT_TRUE(download.state.PartialFiles.empty());
    EXPECT_EQ(download.result.outcome, DownloadOutcome::Completed);
    // The log tells the last answer and the whole file's bytes, and that it was a resume.
    ASSERT_EQ(download.fake.log.lines.size(), 1u);
    const Text& line = download.fake.log.lines[0];
    EXPECT_NE(line.find(u"status 206, Content-Length \"1808\", received 10000 bytes in "), Text::npos) << ToUtf8(line);
    EXPECT_NE(line.find(u" s, attempts 2, resumed at byte 8192: completed"), Text::npos) << ToUtf8(line);
}

TEST(DownloadResume, RangeAnsweredWithTheWholeFileStartsOver)
{
    Resumed download{DroppedAfter(4096), FakeInternet::Body(Size)};
    download.Run();

    EXPECT_EQ(download.Requests()[1].range.from, 4096);
    EXPECT_EQ(std::vector<Text>(download.captions.begin() + 3, download.captions.begin() + 7),
              (std::vector<Text>{Progress(u"50% (4 Kb\\9"), Retrying(1), u"Dosya bilgileri alınıyor...",
                                 Progress(u"0% (0  Kb\\9")}));
    EXPECT_EQ(download.files.files[LocalPath], Whole);
}

TEST(DownloadResume, AnswerThatIsNotExactlyTheRestFailsAndRemovesThePart)
{
    FakeResource noContent{.status = 204};
    const std::vector<std::tuple<const char*, FakeResource, Text>> answers{
        {"another start", Rest(4096, u"bytes 0-9999/10000"), u"dosya boyu tutmuyor"},
        {"another total", Rest(4096, u"bytes 4096-11999/12000"), u"dosya boyu tutmuyor"},
        {"no range", Rest(4096, u"garbage"), u"dosya boyu tutmuyor"},
        {"not satisfiable", FakeResource{.status = 416}, u"HTTP 416"},
        {"no content", noContent, u"HTTP 204"},
    };
    for (const auto& [what, answer, reason] : answers) {
        SCOPED_TRACE(what);
        Resumed download{DroppedAfter(4096), answer};
        download.Run();

        EXPECT_EQ(download.captions.back(), Failed(reason));
        EXPECT_EQ(download.Requests().size(), 2u);
        EXPECT_FALSE(download.files.Exists(PartPath));
        EXPECT_TRUE(download.state.PartialFiles.empty());
    }
}

TEST(DownloadResume, AfterThreeRetriesThePartStaysAndTheNextCallGoesOnFromIt)
{
    FakeResource dropsAtOnce = Rest(4096);
    dropsAtOnce.reads.clear();
    dropsAtOnce.failAfterReads = true;
    Resumed download{DroppedAfter(4096), dropsAtOnce, dropsAtOnce, dropsAtOnce};
    download.Run();

    EXPECT_NEAR(download.Slept(), 3 * 2, 0.1);
    EXPECT_EQ(std::vector<Text>(download.captions.end() - 4, download.captions.end()),
              (std::vector<Text>{Retrying(1), Retrying(2), Retrying(3), Failed(u"bağlantı kesildi")}));
    EXPECT_EQ(download.result.outcome, DownloadOutcome::Failed);
    EXPECT_EQ(download.result.finalLine, Failed(u"bağlantı kesildi"));
    EXPECT_EQ(download.files.files[PartPath], Whole.substr(0, 4096));
    EXPECT_FALSE(download.files.Exists(LocalPath));
    const PartialFile& kept = download.state.PartialFiles.at(LocalPath);
    EXPECT_EQ(std::tuple(kept.received, kept.chunksRead, kept.length, kept.validator),
              std::tuple(std::int64_t{4096}, 1, 10000, ETag));

    // The next click: no zeros, the figures it had reached, then on.
    download.fake.internet.nextAnswers[Url] = {Rest(4096)};
    download.captions.clear();
    download.Run();
    EXPECT_EQ(download.Requests().back().range.from, 4096);
    EXPECT_EQ(download.Requests().back().range.ifRange, ETag);
    EXPECT_EQ(download.captions,
              (std::vector<Text>{u"Dosyaya bağlanılıyor...", u"Dosya bilgileri alınıyor...", Progress(u"50% (4 Kb\\9"),
                                 Progress(u"100% (8 Kb\\9"), Progress(u"150% (12 Kb\\9"),
                                 Shown + u" dosyası diske indirildi."}));
    EXPECT_EQ(download.files.files[LocalPath], Whole);
    EXPECT_TRUE(download.state.PartialFiles.empty());
}

TEST(DownloadResume, StalledReadIsAbortedAndTriedAgain)
{
    FakeResource stalls = DroppedAfter(8192);
    stalls.failAfterReads = false;
    stalls.stallAtRead = 1;
    Resumed download{stalls, Rest(4096)};
    download.fake.internet.stallTimeout = 5;
    download.Run();

    EXPECT_NEAR(download.Slept(), 5 + 2, 0.1);
    EXPECT_TRUE(download.Logged(u"AbortUrl"));
    EXPECT_TRUE(download.Logged(u"AbortSession"));
    EXPECT_EQ(download.Requests().back().range.from, 4096);
    EXPECT_EQ(download.files.files[LocalPath], Whole);
}

TEST(DownloadResume, FirstRequestWithoutAnAnswerFailsAtOnceAndKeepsTheOldFile)
{
    Resumed download{FakeResource{.stallBeforeHead = true}};
    download.Run();

    EXPECT_EQ(download.captions.back(), Failed(u"sunucu yanıt vermiyor"));
    // Connecting and the response head get 30 s, also when a stall may last longer.
    EXPECT_NEAR(download.Slept(), 30, 0.1);
    EXPECT_TRUE(download.Logged(u"AbortSession"));
    EXPECT_EQ(download.files.files[LocalPath], "old");
    EXPECT_FALSE(download.files.Exists(PartPath));
}

TEST(DownloadResume, CancelWhileWaitingStopsAtOnceAndRemovesThePart)
{
    FakeResource stalls = DroppedAfter(8192);
    stalls.stallAtRead = 1;
    for (const auto& [what, first] : {std::pair{"stalled read", stalls}, std::pair{"retry pause", DroppedAfter(4096)}}) {
        SCOPED_TRACE(what);
        Resumed download{first, Rest(4096)};
        download.fake.events.onDoEvents = [&] { download.state.CancelRequested = true; };
        download.Run();

        EXPECT_EQ(download.captions.back(), Shown + u" dosyası diske indirilemeden iptal edildi.");
        EXPECT_EQ(download.result.outcome, DownloadOutcome::Cancelled);
        EXPECT_EQ(download.Requests().size(), 1u);
        EXPECT_FALSE(download.files.Exists(PartPath));
        EXPECT_TRUE(download.state.PartialFiles.empty());
    }
}

TEST(DownloadResume, TheBodyReadAheadIsBoundedAndAbortedOnlyWhenNobodyWillTakeIt)
{
    // The body is read ahead while chunks are shown: a cancel confirmed there leaves a read
    // running that must be ended, not waited for until the stall timeout.
    const auto aborts = [](const Download& download) { return std::ranges::count(download.fake.internet.Log(), u"AbortUrl"); };
    Download cancelled(Size);
    // Two chunks come in before the read that lasts: the cancel is seen after the second.
    cancelled.Resource().stallAtRead = 2;
    cancelled.fake.events.onDoEvents = [&] { cancelled.state.CancelRequested = true; };
    cancelled.Run();
    EXPECT_EQ(cancelled.result.outcome, DownloadOutcome::Cancelled);
    EXPECT_EQ(cancelled.bars.size(), 1u);
    EXPECT_EQ(aborts(cancelled), 1);

    Download completed(Size);
    completed.Run();
    EXPECT_EQ(completed.result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(aborts(completed), 0) << "the data's end was read before the request closed";

    // However slow the display, no more than half a megabyte waits in memory.
    Download large(4 * 1024 * 1024);
    large.fake.events.onDoEvents = [&] { large.state.CancelRequested = true; };
    large.Run();
    EXPECT_EQ(large.result.outcome, DownloadOutcome::Cancelled);
    EXPECT_LE(large.Reads(), 512 * 1024 / 4096);
}

TEST(DownloadRedirect, IsFollowedButNeverFromHttpsToHttp)
{
    const Text secure = u"https://server/qormavik/websetup/PDFCreator.exe";
    FakeResource moved{.status = 302};
    moved.headers[HttpHeader::Location] = u"/mirror/PDFCreator.exe";
    Download followed(Size);
    followed.fake.internet.resources[secure] = moved;
    followed.fake.internet.resources[u"https://server/mirror/PDFCreator.exe"] = FakeInternet::Body(Size);
    followed.url = secure;
    followed.Run();
    EXPECT_EQ(followed.files.files[LocalPath], Whole);

    moved.headers[HttpHeader::Location] = u"http://server/mirror/PDFCreator.exe";
    Download refused(Size);
    refused.fake.internet.resources[secure] = moved;
    refused.url = secure;
    refused.Run();
    EXPECT_EQ(refused.captions.back(), Failed(u"güvensiz yönlendirme"));
    EXPECT_EQ(refused.fake.internet.Requests().size(), 1u);
    EXPECT_EQ(refused.files.files[LocalPath], "old");
}

TEST(HttpAnswers, RedirectTargetsAndValidators)
{
    const Text from = u"http://host:8080/a/b/file.exe?x=1";
    EXPECT_EQ(RedirectTarget(from, u"HTTPS://other/f"), u"HTTPS://other/f");
    EXPECT_EQ(RedirectTarget(from, u"//other/f"), u"http://other/f");
    EXPECT_EQ(RedirectTarget(from, u"/c/f"), u"http://host:8080/c/f");
    EXPECT_EQ(RedirectTarget(from, u"f2.exe"), u"http://host:8080/a/b/f2.exe");
    EXPECT_EQ(RedirectTarget(u"http://host", u"f"), u"http://host/f");
    EXPECT_TRUE(IsDowngrade(u"HTTPS://a/", u"http://a/"));
    EXPECT_FALSE(IsDowngrade(u"http://a/", u"https://a/"));

    // A weak ETag cannot pick a range; the date can.
    EXPECT_EQ(RangeValidator(u"\"v1\"", u"Tue, 01 Dec 2026 10:00:00 GMT"), u"\"v1\"");
    EXPECT_EQ(RangeValidator(u"W/\"v1\"", u"Tue, 01 Dec 2026 10:00:00 GMT"), u"Tue, 01 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(RangeValidator(u"", u""), u"");
    EXPECT_TRUE(IsRestOfFile(u"Bytes 4096-9999/10000", 4096, 10000));
    EXPECT_FALSE(IsRestOfFile(u"bytes 4096-9998/10000", 4096, 10000));
    EXPECT_FALSE(IsRestOfFile(u"bytes 4096-9999/*", 4096, 10000));
}

} // namespace
