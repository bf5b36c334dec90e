#include "setup/PackagePins.h"
#include "setup/PackageSigners.h"
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

namespace {

const std::string Authority = "DER of the vendor's certificate authority";

FileSignature TrustedSignature(Text commonName, const std::string& issuer = Authority)
{
    FileSignature signature{SignatureVerdict::Trusted, 0, std::move(commonName), {}, true};
    for (char byte : issuer) signature.issuerCertificate.push_back(static_cast<std::byte>(byte));
    return signature;
}

} // namespace

class SignerPinsTest : public PackagePinsTest {
protected:
    SignerPinsTest()
    {
        pin.signers = {{Sha256Of("an authority of an earlier year"), u"QorMavik Yazılım A.Ş."},
                       {Sha256Of(Authority), u"QorMavik Yazılım A.Ş."}};
        fake.signatures.signatures[Path] = TrustedSignature(u"QorMavik Yazılım A.Ş.");
    }
};

// The system is asked while the file is held against writers: what it judged is what gets started.
TEST_F(SignerPinsTest, FileSignedByAnyPinnedSignerPassesWhileItIsHeld)
{
    const auto file = OpenVerified(fake.platform, Path, pin);
    ASSERT_EQ(fake.signatures.asked.size(), 1u);
    EXPECT_TRUE(fake.signatures.asked[0].fileHeld);
    EXPECT_TRUE(fake.files.Locked(Path));
    EXPECT_EQ(fake.log.lines.back(), u"Signature: \"" + Path + u"\": signed by \"QorMavik Yazılım A.Ş.\" under the "
                                     u"authority " + HexText(Sha256Of(Authority)) + u", pinned");

    // A signature whose revocation could not be checked (offline) still counts, and says so.
    fake.signatures.signatures[Path].revocationChecked = false;
    pin.digest.reset();
    pin.size.reset();
    EXPECT_TRUE(MatchesPin(fake.platform, Path, pin));
    EXPECT_TRUE(fake.log.lines.back().ends_with(u", pinned; revocation not checked"));
}

TEST_F(SignerPinsTest, EveryPinMustHold)
{
    struct Case {
        const char* what;
        FileSignature signature;
        std::string content;
    };
    const std::string tampered = content.substr(0, content.size() - 1) + "!";
    const std::vector<Case> cases{
        {"the same name under another authority", TrustedSignature(u"QorMavik Yazılım A.Ş.", "a rogue CA"), content},
        {"another name under the pinned authority", TrustedSignature(u"QorMavik Yazilim A.S."), content},
        {"not signed", {SignatureVerdict::Unsigned, 0x800b0100}, content},
        {"a signature that does not verify", {SignatureVerdict::Invalid, 0x80096010}, content},
        {"a root that only the user trusts", {SignatureVerdict::UntrustedRoot, 0x800b0109}, content},
        {"a revoked certificate", {SignatureVerdict::Revoked, 0x800b010c}, content},
        {"the pinned signer, but not the pinned digest", TrustedSignature(u"QorMavik Yazılım A.Ş."), tampered},
    };
    for (const auto& [what, signature, bytes] : cases) {
        SCOPED_TRACE(what);
        FakePlatform each;
        each.files.files[Path] = bytes;
        each.signatures.signatures[Path] = signature;
        EXPECT_FALSE(MatchesPin(each.platform, Path, pin));
        EXPECT_FALSE(each.files.Locked(Path));
    }
    FakePlatform unverified;
    unverified.files.files[Path] = content;
    unverified.signatures.signatures[Path] = {SignatureVerdict::Invalid, 0x80096010};
    EXPECT_FALSE(MatchesPin(unverified.platform, Path, pin));
    EXPECT_EQ(unverified.log.lines.back(),
              u"Signature: \"" + Path + u"\": the signature does not verify (0x80096010)");
    unverified.signatures.unusable = true;
    EXPECT_FALSE(MatchesPin(unverified.platform, Path, pin));
}

// A build that pins only signers leaves the digest alone, and the other way round.
TEST_F(SignerPinsTest, OnlyThePinsGivenAreChecked)
{
    PackagePin signerOnly{u"QorMavik64.exe", std::nullopt, std::nullopt, pin.signers};
    fake.files.files[Path] = "a newer build of the vendor";
    EXPECT_TRUE(MatchesPin(fake.platform, Path, signerOnly));
    EXPECT_EQ(fake.hashing.hashesMade, 1);  // the authority's certificate, not the file

    pin.signers.clear();
    fake.files.files[Path] = content;
    fake.signatures.signatures.clear();
    EXPECT_TRUE(MatchesPin(fake.platform, Path, pin));
    EXPECT_EQ(fake.signatures.asked.size(), 1u);
}
