#include "setup/LocalFolder.h"

#include "platform/RuntimeError.h"
#include "tests/fakes/FakeFileSystem.h"

#include <gtest/gtest.h>

namespace {
const Text Folder = u"C:\\İndirilenler\\mavikfiles\\";
}

TEST(LocalFolderTest, OnlySystemAndAdministratorsMayChangeItAndEveryFileInheritsThat)
{
    // Owner BA, protected (P), each entry inherited by files and folders (OICI): SYSTEM and
    // Administrators full control (FA), interactive users read and execute (0x1200a9).
    EXPECT_EQ(SecurityDescriptorText(LocalFolderAccess),
              u"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;IU)");
}

TEST(LocalFolderTest, AMissingFolderIsCreatedWithTheAccessListAndHeld)
{
    FakeFileSystem files;
    PrepareLocalFolder(files, Folder);
    EXPECT_EQ(files.calls,
              (std::vector<Text>{u"KindOf " + Folder, u"MkDir " + Folder, u"HoldFolder " + Folder}));
    EXPECT_EQ(files.createdWith.at(Folder), LocalFolderAccess);
    EXPECT_EQ(files.held.at(Folder), LocalFolderAccess);
}

TEST(LocalFolderTest, AFolderLeftByAnEarlierVersionIsTakenOver)
{
    FakeFileSystem files;
    files.folders.insert(Folder);
    PrepareLocalFolder(files, Folder);
    EXPECT_EQ(files.calls, (std::vector<Text>{u"KindOf " + Folder, u"HoldFolder " + Folder}));
    EXPECT_EQ(files.held.at(Folder), LocalFolderAccess);
}

TEST(LocalFolderTest, NothingIsDoneThroughALinkOrAFileUnderTheName)
{
    const Text name = Folder.substr(0, Folder.size() - 1);
    for (const bool link : {true, false}) {
        FakeFileSystem files;
        if (link)
            files.reparsePoints.insert(name);
        else
            files.files[name] = "not a folder";
        EXPECT_THROW(PrepareLocalFolder(files, Folder), RuntimeError) << link;
        EXPECT_EQ(files.calls, std::vector<Text>{u"KindOf " + Folder}) << link;
    }
}
