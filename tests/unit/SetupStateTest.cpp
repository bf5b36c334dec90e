#include "platform/RuntimeError.h"
#include "setup/SetupState.h"

#include <gtest/gtest.h>

TEST(AddDownload, KeepsOrderAndLeavesOtherIndicesEmpty)
{
    SetupState state;
    AddDownload(state, u"u1", u"p1");
    AddDownload(state, u"u2", u"p2");
    AddDownload(state, u"u3", u"p3");
    EXPECT_EQ(state.DownloadCount, 3);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(state.DownloadUrls[i], u"u" + DecimalText(i));
        EXPECT_EQ(state.DownloadPaths[i], u"p" + DecimalText(i));
    }
    for (int i : {0, 4, 5, 6, 7, 8, 9, 10}) {
        EXPECT_EQ(state.DownloadUrls[i], u"");
        EXPECT_EQ(state.DownloadPaths[i], u"");
    }
}

TEST(AddDownload, EleventhFailsWithError9AndLeavesQueueUnchanged)
{
    SetupState state;
    for (int i = 1; i <= 10; ++i) AddDownload(state, u"u" + DecimalText(i), u"p" + DecimalText(i));
    try {
        AddDownload(state, u"u11", u"p11");
        FAIL() << "the eleventh add must fail";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::SubscriptOutOfRange);
    }
    EXPECT_EQ(state.DownloadCount, 10);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(state.DownloadUrls[i], u"u" + DecimalText(i));
        EXPECT_EQ(state.DownloadPaths[i], u"p" + DecimalText(i));
    }
}

TEST(AddDownload, QueuesCopiesAndAcceptsDuplicates)
{
    SetupState state;
    Text url = u"http://x/a.exe";
    Text path = u"C:\\a.exe";
    AddDownload(state, url, path);
    AddDownload(state, url, path);
    url = u"changed";
    path.clear();
    EXPECT_EQ(state.DownloadCount, 2);
    EXPECT_EQ(state.DownloadUrls[1], u"http://x/a.exe");
    EXPECT_EQ(state.DownloadPaths[2], u"C:\\a.exe");
}
