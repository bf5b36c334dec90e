#include "platform/LogRecord.h"
#include "platform/LoggedDialogs.h"
#include "tests/unit/DownloadFixture.h"

#include <gtest/gtest.h>

TEST(LogRecord, StampsTheLineKeepsItOnOneLineAndEndsIt)
{
    EXPECT_EQ(LogRecord({2026, 2, 7, 7, 3, 9, 45}, u"İndir ğüş"), "2026-02-07 07:03:09.045 İndir ğüş\r\n");
    EXPECT_EQ(LogRecord({2026, 12, 31, 23, 59, 59, 999}, u"Program başlatılamadı: a.exe\r\nAccess denied\n"),
              "2026-12-31 23:59:59.999 Program başlatılamadı: a.exe Access denied \r\n");
}

TEST(LogRecord, ANewFileStartsOnlyWhenARecordWouldTakeTheFilePastOneMegabyte)
{
    EXPECT_FALSE(LogNeedsNewFile(LogSizeLimit - 10, 10));
    EXPECT_TRUE(LogNeedsNewFile(LogSizeLimit - 10, 11));
    EXPECT_TRUE(LogNeedsNewFile(LogSizeLimit + 500, 1));
    // A record larger than the limit still goes into an empty file rather than renaming it.
    EXPECT_FALSE(LogNeedsNewFile(0, LogSizeLimit * 2));
}

TEST(LoggedDialogs, LogsTheMessageBeforeItShowsAndTheAnswerAfter)
{
    FakeDialogs shown;
    FakeLog log;
    LoggedDialogs dialogs(shown, log);
    shown.answers = {MsgBoxResult::Yes};
    std::size_t linesWhileOpen = 0;
    shown.whileOpen = [&] { linesWhileOpen = log.lines.size(); };

    EXPECT_EQ(dialogs.MsgBox(u"İndirme işlemi iptal edilsin mi?", 36, u"MavikWebSetup"), MsgBoxResult::Yes);

    EXPECT_EQ(linesWhileOpen, 1u);
    EXPECT_EQ(log.lines, (std::vector<Text>{u"Message \"MavikWebSetup\" (style 36): İndirme işlemi iptal edilsin mi?",
                                            u"Answer 6"}));
    ASSERT_EQ(shown.shown.size(), 1u);
    EXPECT_EQ(shown.shown[0].style, 36);
}

TEST(DownloadLog, OneLinePerTransferWithStatusLengthBytesSecondsAndOutcome)
{
    struct Example {
        const char* what;
        std::function<void(Download&)> arrange;
        Text line;
    };
    const Text completed = u": completed (" + Shown + u" dosyası diske indirildi.)";
    const std::vector<Example> examples{
        {"whole file", [](Download&) {},
         u"status 200, Content-Length \"10000\", received 10000 bytes in 3.750 s, attempts 1" + completed},
        {"error page", [](Download& d) { d.Resource().status = 404; },
         u"status 404, Content-Length \"10000\", received 0 bytes in 0.000 s, attempts 1: failed (" + Shown +
             u" dosyası indirilemedi (HTTP 404).)"},
        {"no server", [](Download& d) { d.fake.internet.resources.clear(); },
         u"status none, Content-Length \"\", received 0 bytes in 0.000 s, attempts 1: failed (" + Shown +
             u" dosyası indirilemedi (sunucuya bağlanılamadı).)"},
        {"length query failed", [](Download& d) { d.Resource().contentLengthText = std::string(4096, ' '); },
         u"status 200, Content-Length \"\", received 0 bytes in 0.000 s, attempts 1: failed (" + Shown +
             u" dosyası indirilemedi (dosya boyu bilinmiyor).)"},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.what);
        Download download(10000);
        // Time passes only while the window is served: 1.25 s for each of the three chunks.
        download.fake.clock.step = 0;
        download.fake.events.onDoEvents = [&download] { download.fake.clock.now += 1.25; };
        example.arrange(download);
        download.Run();
        EXPECT_EQ(download.fake.log.lines, std::vector<Text>{u"Download: " + Url + u" " + example.line});
    }
}
