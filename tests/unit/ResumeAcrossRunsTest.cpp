#include "download/ResumeRecord.h"
#include "tests/fakes/FakeHashing.h"
#include "tests/unit/DownloadFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr std::size_t Size = 10000;
const Text ETag = u"\"v1\"";
const Text RecordPath = PartPath + u".resume";
const std::string Whole = FakeInternet::BodyBytes(Size);
const ResumeRecord Kept{Url, ETag, static_cast<std::int32_t>(Size)};

// The rest of the file from byte 4096 on, as a server answers a Range request it honours.
FakeResource RestFrom4096()
{
    FakeResource resource{.status = 206};
    resource.reads = {Whole.substr(4096, 4096), Whole.substr(8192)};
    resource.headers[HttpHeader::ContentRange] = u"bytes 4096-9999/10000";
    return resource;
}

// A run that starts where an earlier one left its first chunk and the record beside it.
struct Restarted : Download {
    explicit Restarted(const ResumeRecord& record = Kept) : Download(Size)
    {
        files.files[PartPath] = Whole.substr(0, 4096);
        WriteResumeRecord(files, RecordPath, record);
    }
    FakeRequest FirstRequest() const { return fake.internet.Requests().at(0); }
    bool LeftNothingBeside() const { return !files.Exists(PartPath) && !files.Exists(RecordPath); }
};

TEST(ResumeRecord, IsWrittenWholeAndReadBackButNotWhenDamaged)
{
    FakeFileSystem files;
    WriteResumeRecord(files, RecordPath, Kept);
    // Never half a record under its name: a file beside it, on the disk, then renamed over it.
    const Text temporary = RecordPath + u".tmp";
    EXPECT_EQ(files.calls, (std::vector<Text>{u"Create " + temporary, u"Flush " + temporary,
                                              u"Rename " + temporary + u" " + RecordPath}));
    EXPECT_FALSE(files.Exists(temporary));
    EXPECT_EQ(ReadResumeRecord(files, RecordPath), Kept);

    const std::string good = files.files[RecordPath];
    const std::vector<std::pair<const char*, std::string>> damaged{
        {"cut short", good.substr(0, good.size() - 3)},
        {"no end of line", good.substr(0, good.size() - 1)},
        {"another format", "x" + good},
        {"a line too many", good + "more\n"},
        {"length no number", good.substr(0, good.find("length=")) + "length=1e4\n"},
        {"length zero", good.substr(0, good.find("length=")) + "length=0\n"},
        {"length beyond 32 bits", good.substr(0, good.find("length=")) + "length=2147483648\n"},
        {"no validator", good.substr(0, good.find("validator=")) + "validator=\nlength=10000\n"},
        {"empty", ""},
        {"too long to be one", good + std::string(9000, 'x')},
    };
    for (const auto& [what, text] : damaged) {
        files.files[RecordPath] = text;
        EXPECT_EQ(ReadResumeRecord(files, RecordPath), std::nullopt) << what;
    }
    files.files.erase(RecordPath);
    files.reparsePoints.insert(RecordPath);
    EXPECT_EQ(ReadResumeRecord(files, RecordPath), std::nullopt) << "a link is not read through";
    // A line break would make the fields after it another record's.
    EXPECT_THROW(WriteResumeRecord(files, RecordPath, {Url, u"\"v1\"\nlength=5", 10000}), RuntimeError);
}

TEST(ResumeAcrossRuns, PartLeftByAnEarlierRunAsksForTheRestAndGoesOnWithItsFigures)
{
    Restarted download;
    download.fake.internet.nextAnswers[Url] = {RestFrom4096()};
    download.Run();

    EXPECT_EQ(download.FirstRequest().range.from, 4096);
    EXPECT_EQ(download.FirstRequest().range.ifRange, ETag);
    EXPECT_EQ(download.captions,
              (std::vector<Text>{u"Dosyaya bağlanılıyor...", u"Dosya bilgileri alınıyor...", Progress(u"50% (4 Kb\\9"),
                                 Progress(u"100% (8 Kb\\9"), Progress(u"150% (12 Kb\\9"),
                                 Shown + u" dosyası diske indirildi."}));
    EXPECT_EQ(download.bars, (std::vector<float>{0.5f, 1, 1.5f}));
    EXPECT_EQ(download.files.files[LocalPath], Whole);
    EXPECT_TRUE(download.LeftNothingBeside());
}

TEST(ResumeAcrossRuns, WholeFileAnsweredToIfRangeStartsOverWithTheNewFile)
{
    Restarted download;
    FakeResource changed = FakeInternet::Body(Size + 1);
    changed.headers[HttpHeader::ETag] = u"\"v2\"";
    download.fake.internet.nextAnswers[Url] = {changed};
    download.Run();

    EXPECT_EQ(download.FirstRequest().range.from, 4096);
    EXPECT_EQ(download.files.files[LocalPath], FakeInternet::BodyBytes(Size + 1));
    EXPECT_TRUE(download.LeftNothingBeside());
}

TEST(ResumeAcrossRuns, PartThatItsRecordDoesNotVouchForIsDeletedAndFetchedWhole)
{
    using Arrange = std::function<void(Restarted&)>;
    const auto record = [](ResumeRecord record) -> Arrange {
        return [record](Restarted& d) { WriteResumeRecord(d.files, RecordPath, record); };
    };
    const std::vector<std::pair<const char*, Arrange>> cases{
        {"another URL", record({u"http://server/qormavik/websetup/QorMavik64.exe", ETag, 10000})},
        {"no record", [](Restarted& d) { d.files.files.erase(RecordPath); }},
        {"damaged record", [](Restarted& d) { d.files.files[RecordPath].pop_back(); }},
        {"as long as the file", [](Restarted& d) { d.files.files[PartPath] = Whole; }},
        {"longer than the file", record({Url, ETag, 4000})},
        {"empty", [](Restarted& d) { d.files.files[PartPath].clear(); }},
        {"a size the pin does not have", [](Restarted& d) { d.state.Pins = {{u"PDFCreator.exe", Sha256Of(Whole), 9999}}; }},
    };
    for (const auto& [what, arrange] : cases) {
        SCOPED_TRACE(what);
        Restarted download;
        arrange(download);
        // The server is not reached: what was there is gone all the same.
        download.fake.internet.nextAnswers[Url] = {FakeResource{.openFails = InternetFailure::Connection}};
        download.Run();
        EXPECT_EQ(download.FirstRequest().range.from, 0);
        EXPECT_EQ(download.FirstRequest().range.ifRange, u"");
        EXPECT_TRUE(download.LeftNothingBeside());
        EXPECT_EQ(download.result.outcome, DownloadOutcome::Failed);
    }
}

TEST(ResumeAcrossRuns, PinnedFileIsCheckedWholeAfterTheRestCame)
{
    Restarted download;
    download.files.files[PartPath][100] ^= 1;
    download.state.Pins = {{u"PDFCreator.exe", Sha256Of(Whole), Size}};
    download.fake.internet.nextAnswers[Url] = {RestFrom4096()};
    download.Run();

    EXPECT_EQ(download.FirstRequest().range.from, 4096);
    EXPECT_EQ(download.captions.back(), Shown + u" dosyası indirilemedi (dosya doğrulanamadı).");
    EXPECT_TRUE(download.LeftNothingBeside());
    EXPECT_FALSE(download.files.Exists(LocalPath));
}

TEST(ResumeAcrossRuns, RecordStandsFromTheFirstByteUntilThePartIsDoneWith)
{
    // Broken off for good after the first chunk: the .part and its record stay for the next run.
    FakeResource drops{.contentLengthText = "10000", .reads = {Whole.substr(0, 4096)}, .failAfterReads = true};
    drops.headers[HttpHeader::ETag] = ETag;
    FakeResource dropsAtOnce = RestFrom4096();
    dropsAtOnce.reads.clear();
    dropsAtOnce.failAfterReads = true;
    Download first(Size);
    first.fake.internet.nextAnswers[Url] = {drops, dropsAtOnce, dropsAtOnce, dropsAtOnce};
    // A program that never gets to its end must leave a .part that can be taken up again.
    std::optional<ResumeRecord> afterFirstChunk;
    first.fake.events.onDoEvents = [&] {
        const bool chunkWritten = first.files.Exists(PartPath) && !first.files.files.at(PartPath).empty();
        if (chunkWritten && !afterFirstChunk) afterFirstChunk = ReadResumeRecord(first.files, RecordPath);
    };
    first.Run();
    EXPECT_EQ(afterFirstChunk, Kept);
    EXPECT_EQ(ReadResumeRecord(first.files, RecordPath), Kept);
    EXPECT_EQ(first.files.files[PartPath], Whole.substr(0, 4096));

    // A cancel takes the record with the .part.
    first.state.PartialFiles.clear();
    first.fake.internet.nextAnswers[Url] = {RestFrom4096()};
    first.fake.events.onDoEvents = [&] { first.state.CancelRequested = true; };
    first.Run();
    EXPECT_EQ(first.result.outcome, DownloadOutcome::Cancelled);
    EXPECT_FALSE(first.files.Exists(PartPath));
    EXPECT_FALSE(first.files.Exists(RecordPath));
}

} // namespace
