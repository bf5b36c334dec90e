#include "runner/ShellAndWait.h"
#include "runner/StagingFolder.h"
#include "setup/DataFolder.h"
#include "tests/fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

const Text Package = u"C:\\Setup\\mavikfiles\\QorMavik64.exe";
const Text DataFolder = u"C:\\ProgramData\\MavikSetupWebCD\\";
const Text Staging = DataFolder + u"Paketler-1\\";
const Text Copy = Staging + u"QorMavik64.exe";

class StagingFolderTest : public ::testing::Test {
protected:
    StagingFolderTest()
    {
        fake.files.files[Package] = "MZ vendor";
        // What a user put beside the package: nothing of it may reach the folder it runs from.
        fake.files.files[u"C:\\Setup\\mavikfiles\\version.dll"] = "MZ planted";
        // No window shows up: the search for one ends after its two seconds.
        fake.clock.step = 0.5;
    }

    FakePlatform fake;
    PackagePin pin{u"QorMavik64.exe", Sha256Of("MZ vendor"), 9};
};

TEST_F(StagingFolderTest, ThePackageRunsAloneFromAFolderOfAdministratorsWhichIsItsCurrentFolderAndGoesAtTheEnd)
{
    fake.processes.startable[Copy] = 5;
    std::map<Text, std::string> filesWhileRunning;
    fake.processes.onWait = [&](std::uint32_t) { filesWhileRunning = fake.files.files; };
    {
        StagingFolder staging(fake.platform);
        ShellAndWait(fake.platform, staging, Package, 1, &pin);

        EXPECT_EQ(fake.processes.startedIn.at(Copy), Staging);
        EXPECT_EQ(fake.files.createdWith.at(Staging), AdministratorsOnly);
        EXPECT_EQ(fake.files.takenOver.at(DataFolder), AdministratorsOnly);
        EXPECT_EQ(filesWhileRunning.at(Copy), "MZ vendor");
        for (const auto& [path, content] : filesWhileRunning) {
            if (path.starts_with(Staging)) {
                EXPECT_EQ(path, Copy);
            }
        }
        EXPECT_FALSE(fake.files.Exists(Copy)) << "a copy goes once its process has ended";
        EXPECT_TRUE(fake.files.folders.contains(Staging));
    }
    EXPECT_FALSE(fake.files.folders.contains(Staging));
    EXPECT_FALSE(fake.files.held.contains(Staging));
    EXPECT_TRUE(fake.files.Exists(Package));
}

TEST_F(StagingFolderTest, APackageThatDoesNotMatchItsPinWhileCopiedLeavesNoCopy)
{
    StagingFolder staging(fake.platform);
    for (const auto& [what, content] : {std::pair{"same size", "MZ evil!!"}, std::pair{"other size", "MZ"}}) {
        fake.files.files[Package] = content;
        try {
            staging.Stage(Package, &pin);
            ADD_FAILURE() << what;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Description(), PinMismatch) << what;
        }
        EXPECT_FALSE(fake.files.Exists(Copy)) << what;
        EXPECT_FALSE(fake.files.Locked(Package)) << what;
    }
}

// Under Wine a Linux symbolic link is followed whatever the flags; the platform layer refuses it.
TEST_F(StagingFolderTest, ALinkStandingForThePackageIsNotCopied)
{
    fake.files.files.erase(Package);
    fake.files.reparsePoints.insert(Package);
    StagingFolder staging(fake.platform);
    EXPECT_THROW(staging.Stage(Package, nullptr), RuntimeError);
    EXPECT_FALSE(fake.files.Exists(Copy));
}

TEST_F(StagingFolderTest, FoldersThatEarlierRunsLeftGoExceptOneThatAnotherRunHolds)
{
    const Text crashed = DataFolder + u"Paketler-1\\";
    const Text running = DataFolder + u"Paketler-3\\";
    fake.files.folders = {DataFolder, crashed, running};
    fake.files.files[crashed + u"PDFCreator.exe"] = "MZ";
    // A link left in it goes itself; what it points to is never looked at.
    fake.files.reparsePoints.insert(crashed + u"link");
    fake.files.files[running + u"QorMavik64.exe"] = "MZ";
    fake.files.unholdable.insert(running);
    fake.files.files[DataFolder + LogFileName] = "log";

    StagingFolder staging(fake.platform);
    EXPECT_EQ(staging.Stage(Package, nullptr), Copy);

    EXPECT_EQ(staging.Folder(), crashed);
    EXPECT_FALSE(fake.files.Exists(crashed + u"PDFCreator.exe"));
    EXPECT_FALSE(fake.files.reparsePoints.contains(crashed + u"link"));
    EXPECT_TRUE(fake.files.Exists(running + u"QorMavik64.exe"));
    EXPECT_TRUE(fake.files.Exists(DataFolder + LogFileName));
}

TEST_F(StagingFolderTest, ALinkStandingForTheDataFolderStopsThePackageWithAMessageNamingIt)
{
    fake.files.reparsePoints.insert(DataFolder.substr(0, DataFolder.size() - 1));
    fake.processes.startable[Copy] = 5;
    StagingFolder staging(fake.platform);

    ShellAndWait(fake.platform, staging, Package, 1, nullptr);

    EXPECT_TRUE(fake.processes.log.empty());
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].text, u"Program başlatılamadı: " + Package +
                                              u"\r\n\"C:\\ProgramData\\MavikSetupWebCD\\\" klasörü oluşturulamadı.");
    EXPECT_TRUE(fake.files.createdWith.empty());
}

} // namespace

// A pin by signer alone has no digest to check while copying: the copy's signature is what decides,
// before it starts.
TEST_F(StagingFolderTest, APackagePinnedBySignerAloneStartsOnlyWhenItsCopyCarriesThatSigner)
{
    const std::string authority = "DER of the vendor's authority";
    const PackagePin signerOnly{u"QorMavik64.exe", std::nullopt, std::nullopt,
                                {{Sha256Of(authority), u"QorMavik Yazılım A.Ş."}}};
    fake.processes.startable[Copy] = 5;
    StagingFolder staging(fake.platform);

    ShellAndWait(fake.platform, staging, Package, 1, &signerOnly);
    EXPECT_FALSE(fake.processes.startedIn.contains(Copy)) << "an unsigned copy must not start";

    FileSignature vendor{SignatureVerdict::Trusted, 0, u"QorMavik Yazılım A.Ş.", {}, true};
    for (char byte : authority) vendor.issuerCertificate.push_back(static_cast<std::byte>(byte));
    fake.signatures.signatures[Copy] = vendor;
    ShellAndWait(fake.platform, staging, Package, 1, &signerOnly);
    EXPECT_EQ(fake.processes.startedIn.at(Copy), Staging);
}
