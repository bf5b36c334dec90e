#include "setup/PackageSigners.h"

#include "platform/RuntimeError.h"

#include <algorithm>
#include <initializer_list>

namespace {

const char16_t* Why(SignatureVerdict verdict)
{
    switch (verdict) {
    case SignatureVerdict::Trusted: return u"trusted";
    case SignatureVerdict::Unsigned: return u"not signed";
    case SignatureVerdict::Invalid: return u"the signature does not verify";
    case SignatureVerdict::UntrustedRoot: return u"no root of the machine's store vouches for the signer";
    case SignatureVerdict::Revoked: return u"a certificate of the signature is revoked";
    }
    return u"unknown verdict";
}

Text HexOf(std::span<const std::uint8_t> bytes)
{
    static constexpr char16_t Digits[] = u"0123456789abcdef";
    Text text(bytes.size() * 2, u'0');
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        text[2 * at] = Digits[bytes[at] >> 4];
        text[2 * at + 1] = Digits[bytes[at] & 15];
    }
    return text;
}

// As Windows prints its codes: 0x800b0100.
Text CodeText(std::uint32_t code)
{
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
                                  static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
    return u"0x" + HexOf(bytes);
}

// One line of the log about the file's signature, joined in a loop: every concatenation written
// out costs the shipped exe code of its own.
void Say(Log& log, const Text& path, std::initializer_list<TextView> parts)
{
    Text line = u"Signature: \"" + path + u"\": ";
    for (const TextView part : parts) line += part;
    log.Write(line);
}

Sha256Digest DigestOf(Hashing& hashing, std::span<const std::byte> bytes)
{
    const auto sha256 = hashing.NewSha256();
    sha256->Add(bytes);
    return sha256->Finish();
}

} // namespace

Text HexText(const Sha256Digest& digest) { return HexOf(digest); }

bool SignedByPinnedSigner(Platform& platform, const Text& path, const std::vector<SignerPin>& signers)
{
    try {
        const FileSignature signature = platform.signatures.SignatureOf(path);
        if (signature.verdict != SignatureVerdict::Trusted) {
            Say(platform.log, path, {Why(signature.verdict), u" (", CodeText(signature.systemCode), u")"});
            return false;
        }
        const Sha256Digest issuer = DigestOf(platform.hashing, signature.issuerCertificate);
        const bool pinned = std::ranges::any_of(signers, [&](const SignerPin& pin) {
            return pin.issuerThumbprint == issuer && pin.commonName == signature.signerCommonName;
        });
        // Revocation is judged as Windows judges it for programs it starts: a revoked certificate
        // fails, one whose status cannot be learned (offline) does not.
        Say(platform.log, path,
            {u"signed by \"", signature.signerCommonName, u"\" under the authority ", HexText(issuer),
             pinned ? u", pinned" : u", not pinned", signature.revocationChecked ? u"" : u"; revocation not checked"});
        return pinned;
    } catch (const RuntimeError& error) {
        Say(platform.log, path, {error.Description()});
        return false;
    }
}
