#include "setup/DataFolder.h"
#include "setup/LocalFolder.h"

#include "platform/RuntimeError.h"
#include "tests/fakes/FakeFileSystem.h"

#include <gtest/gtest.h>

namespace {
const Text Folder = u"C:\\İndirilenler\\mavikfiles\\";
const Text DataFolder = u"C:\\ProgramData\\MavikSetupWebCD\\";
}

// The user's download cache keeps the access list it inherits or has: it works on media without
// access lists, and the user may clear it.
TEST(LocalFolderTest, AMissingFolderIsCreatedPlainAndAnExistingOneIsUsedAsItIsBothHeld)
{
    for (const bool existing : {false, true}) {
        FakeFileSystem files;
        if (existing) files.folders.insert(Folder);
        PrepareLocalFolder(files, Folder);
        EXPECT_EQ(files.calls, existing ? (std::vector<Text>{u"KindOf " + Folder, u"HoldFolder " + Folder})
                                        : (std::vector<Text>{u"KindOf " + Folder, u"MkDir " + Folder,
                                                             u"HoldFolder " + Folder}))
            << existing;
        EXPECT_TRUE(files.held.contains(Folder));
        EXPECT_TRUE(files.createdWith.empty());
        EXPECT_TRUE(files.takenOver.empty());
    }
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

TEST(DataFolderTest, OnlySystemAndAdministratorsMayChangeItAndEveryFileInheritsThat)
{
    // Owner BA, protected (P), each entry inherited by files and folders (OICI): SYSTEM and
    // Administrators full control (FA), interactive users read and execute (0x1200a9).
    EXPECT_EQ(SecurityDescriptorText(AdministratorsOnly),
              u"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;IU)");
}

// A folder that someone made before the first run is taken over, not used as they left it.
TEST(DataFolderTest, TheLogGoesIntoTheDataFolderMadeOrTakenOverWithTheAccessList)
{
    for (const bool existing : {false, true}) {
        FakeFileSystem files;
        if (existing) files.folders.insert(DataFolder);
        EXPECT_EQ(PreparedLogPath(files), DataFolder + u"MavikSetupWebCD.log");
        EXPECT_EQ(files.takenOver.at(DataFolder), AdministratorsOnly) << existing;
        EXPECT_EQ(files.createdWith.contains(DataFolder), !existing);
    }
}

TEST(DataFolderTest, ALinkOrAFolderThatCannotBeTakenOverGetsNoLogAndNamesTheFolder)
{
    FakeFileSystem linked;
    linked.reparsePoints.insert(DataFolder.substr(0, DataFolder.size() - 1));
    EXPECT_EQ(PreparedLogPath(linked), u"");
    EXPECT_FALSE(linked.held.contains(DataFolder));

    // Without administrator rights the folder can be neither made with its owner nor taken over.
    FakeFileSystem refused;
    refused.folders.insert(DataFolder);
    refused.unholdable.insert(DataFolder);
    EXPECT_EQ(PreparedLogPath(refused), u"");
    try {
        PrepareDataFolder(refused, DataFolder);
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Description(), u"\"C:\\ProgramData\\MavikSetupWebCD\\\" klasörü oluşturulamadı.");
    }
}
