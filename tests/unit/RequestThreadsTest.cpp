#include "tests/unit/DownloadFixture.h"

#include <gtest/gtest.h>

namespace {

// The place of the nth entry in the fake network's log, or the log's size when there is none.
std::size_t Place(const std::vector<Text>& log, const Text& entry, int nth = 1)
{
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i] == entry && --nth == 0) return i;
    return log.size();
}

// The request's thread runs alongside the window's, as in the program: the tsan preset runs this
// under ThreadSanitizer for what the two share.
TEST(RequestThreads, ACancelDuringABlockedReadThenARestartAtOnceClosesTheFirstRequestOnlyAfterItsRead)
{
    constexpr std::size_t size = 3 * 4096;
    Download download(size);
    download.fake.worker.settle = false;
    download.fake.events.alongside = true;
    FakeResource blocks = FakeInternet::Body(size);
    blocks.stallAtRead = 1;
    blocks.lingersAfterAbort = std::chrono::milliseconds(50);
    download.fake.internet.nextAnswers[Url] = {blocks, FakeInternet::Body(size)};
    // Confirmed once the second read is under way: it blocks until it is aborted.
    download.fake.events.onDoEvents = [&] {
        if (download.Reads() < 2 || download.state.CancelRequested) return;
        download.state.CancelRequested = true;
        download.fake.events.Wake();
    };
    download.Run();
    EXPECT_EQ(download.result.outcome, DownloadOutcome::Cancelled);

    download.fake.events.onDoEvents = nullptr;
    download.state.CancelRequested = false;
    download.Run();
    EXPECT_EQ(download.result.outcome, DownloadOutcome::Completed);
    EXPECT_TRUE(download.files.files[LocalPath] == FakeInternet::BodyBytes(size));

    const auto log = download.fake.internet.Log();
    EXPECT_LT(Place(log, u"Unblocked"), Place(log, u"CloseUrl")) << "closed under the read";
    EXPECT_LT(Place(log, u"CloseSession"), Place(log, u"OpenUrl " + Url, 2)) << "a new request beside the old";
    EXPECT_EQ(download.fake.internet.OpenHandles(), 0);
}

} // namespace
