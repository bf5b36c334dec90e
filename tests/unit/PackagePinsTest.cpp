#include "setup/PackagePins.h"
#include "tests/fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const Text Path = u"C:\\Setup\\mavikfiles\\QorMavik64.exe";

std::string Hex(const Sha256Digest& digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (auto byte : digest) text += {digits[byte >> 4], digits[byte & 15]};
    return text;
}

std::string HexOfPieces(std::string_view bytes, std::size_t piece)
{
    PortableSha256 sha256;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        sha256.Add(std::as_bytes(std::span(bytes.substr(at, piece))));
    return Hex(sha256.Finish());
}

} // namespace

// The vectors of FIPS 180-2, fed whole and in pieces that straddle the 64-byte blocks.
TEST(PortableSha256, GivesTheStandardsDigests)
{
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string million(1000000, 'a');
    for (std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{4096}}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(HexOfPieces("", piece), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        EXPECT_EQ(HexOfPieces("abc", piece), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(HexOfPieces(twoBlocks, piece),
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        EXPECT_EQ(HexOfPieces(million, piece),
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    }
    // 55 and 56 bytes: the length still fits after the padding bit, or needs a block of its own.
    EXPECT_EQ(HexOfPieces(std::string(55, 'a'), 64),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(HexOfPieces(std::string(56, 'a'), 64),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
}

TEST(InternetFailureOf, TellsAFailedSecureChannelFromAFailedConnection)
{
    for (std::uint32_t error : {12037u, 12038u, 12044u, 12045u, 12055u, 12056u, 12057u, 12062u, 12157u, 12169u,
                                12170u, 12188u})
        EXPECT_EQ(InternetFailureOf(error), InternetFailure::SecureChannel) << error;
    // No connection, no name, a timeout, an https-to-http redirect, a content decoding failure.
    for (std::uint32_t error : {12029u, 12007u, 12002u, 12040u, 12175u, 0u})
        EXPECT_EQ(InternetFailureOf(error), InternetFailure::Connection) << error;
}

class PackagePinsTest : public ::testing::Test {
protected:
    PackagePinsTest() { fake.files.files[Path] = content; }

    FakePlatform fake;
    std::string content = std::string(70000, 'x') + "end";
    PackagePin pin{u"QorMavik64.exe", Sha256Of(content), content.size()};
};

TEST_F(PackagePinsTest, PinIsFoundByTheFileNameOfThePath)
{
    const PackagePins pins{{u"PDFCreator.exe", {}, std::nullopt}, pin};
    EXPECT_EQ(PinFor(pins, Path), &pins[1]);
    EXPECT_EQ(PinFor(pins, u"QorMavik64.exe"), &pins[1]);
    EXPECT_EQ(PinFor(pins, u"C:\\QorMavik64.exe\\QorMavik32.exe"), nullptr);
    EXPECT_EQ(PinFor(pins, u"C:\\Setup\\mavikfiles\\QorMavik64.exe.part"), nullptr);
    EXPECT_EQ(PinFor({}, Path), nullptr);
}

// The size is compared first: a file of another size is refused without being hashed.
TEST_F(PackagePinsTest, FileOfAnotherSizeIsRefusedBeforeItIsHashed)
{
    fake.files.files[Path] = content + "!";
    EXPECT_FALSE(MatchesPin(fake.platform, Path, pin));
    EXPECT_EQ(fake.hashing.hashesMade, 0);
    EXPECT_FALSE(fake.files.Locked(Path));

    pin.size.reset();
    fake.files.files[Path] = content;
    EXPECT_TRUE(MatchesPin(fake.platform, Path, pin));
    EXPECT_EQ(fake.hashing.hashesMade, 1);
}
