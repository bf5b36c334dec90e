#include "setup/PackagePins.h"

#include "platform/RuntimeError.h"
#include "setup/PackageSigners.h"

#include <algorithm>
#include <vector>

namespace {

// A read size at which the calls cost little next to the hashing itself.
constexpr std::size_t ReadSize = 64 * 1024;

[[noreturn]] void Mismatch() { throw RuntimeError(ErrorNumber::FileNotVerified, PinMismatch); }

Sha256Digest DigestOf(InputFile& file, Hashing& hashing)
{
    const auto sha256 = hashing.NewSha256();
    std::vector<std::byte> buffer(ReadSize);
    while (const std::size_t count = file.Read(buffer)) sha256->Add(std::span(buffer).first(count));
    return sha256->Finish();
}

} // namespace

const PackagePin* PinFor(const PackagePins& pins, const Text& path)
{
    const auto slash = path.find_last_of(u'\\');
    const TextView name = slash == Text::npos ? TextView(path) : TextView(path).substr(slash + 1);
    const auto found = std::ranges::find(pins, name, &PackagePin::fileName);
    return found == pins.end() ? nullptr : &*found;
}

std::unique_ptr<InputFile> OpenVerified(Platform& platform, const Text& path, const PackagePin& pin)
{
    auto file = platform.files.OpenLocked(path);
    // The size is cheap to compare and spares hashing a file that cannot match.
    if (pin.size && file->Size() != *pin.size) Mismatch();
    if (pin.digest && DigestOf(*file, platform.hashing) != *pin.digest) Mismatch();
    if (!pin.signers.empty() && !SignedByPinnedSigner(platform, path, pin.signers)) Mismatch();
    return file;
}

bool MatchesPin(Platform& platform, const Text& path, const PackagePin& pin)
{
    try {
        OpenVerified(platform, path, pin);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
