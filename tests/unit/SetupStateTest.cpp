#include "platform/RuntimeError.h"
#include "setup/Packages.h"
#include "setup/SetupState.h"

#include <gtest/gtest.h>

namespace {

std::vector<Text> Paths(const SetupState& state)
{
    std::vector<Text> paths;
    for (const auto& queued : state.DownloadQueue) paths.push_back(queued.localPath);
    return paths;
}

} // namespace

TEST(AddDownload, QueuesCopiesInOrderAndAcceptsDuplicates)
{
    SetupState state;
    Text url = u"http://x/a.exe";
    Text path = u"C:\\a.exe";
    AddDownload(state, Packages[1], url, path);
    AddDownload(state, Packages[0], url, path);
    url = u"changed";
    path.clear();
    AddDownload(state, Packages[3], u"http://x/b.exe", u"C:\\b.exe");
    EXPECT_EQ(Paths(state), (std::vector<Text>{u"C:\\a.exe", u"C:\\a.exe", u"C:\\b.exe"}));
    EXPECT_EQ(state.DownloadQueue[0].url, u"http://x/a.exe");
    EXPECT_EQ(state.DownloadQueue[1].package, &Packages[0]);
}

TEST(AddDownload, EleventhFailsWithError9AndLeavesQueueUnchanged)
{
    SetupState state;
    for (int i = 1; i <= 10; ++i) AddDownload(state, Packages[0], u"u" + DecimalText(i), u"p" + DecimalText(i));
    try {
        AddDownload(state, Packages[0], u"u11", u"p11");
        FAIL() << "the eleventh add must fail";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::SubscriptOutOfRange);
    }
    ASSERT_EQ(state.DownloadQueue.size(), 10u);
    EXPECT_EQ(state.DownloadQueue.back().localPath, u"p10");
}
