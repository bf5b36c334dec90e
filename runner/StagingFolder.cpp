#include "runner/StagingFolder.h"

#include "platform/RuntimeError.h"
#include "setup/DataFolder.h"

#include <utility>
#include <vector>

namespace {

// A read size at which the calls cost little next to the copying itself.
constexpr std::size_t ReadSize = 64 * 1024;

[[noreturn]] void Mismatch() { throw RuntimeError(ErrorNumber::FileNotVerified, PinMismatch); }

Text FileNameOf(const Text& path) { return path.substr(path.find_last_of(u'\\') + 1); }

// A crashed run, or a package still running when its run ended, leaves its folder behind; one that
// another run still holds stays.
void RemoveLeftovers(Platform& platform, const Text& dataFolder)
{
    for (const Text& name : platform.files.FolderEntries(dataFolder)) {
        if (!name.starts_with(StagingFolderPrefix)) continue;
        try {
            platform.files.RemoveFolder(dataFolder + name);
        } catch (const RuntimeError& error) {
            platform.log.Write(u"Staging folder kept: \"" + dataFolder + name + u"\" (" + error.Description() + u")");
        }
    }
}

} // namespace

StagingFolder::~StagingFolder()
{
    if (folder_.empty()) return;
    try {
        platform_.files.RemoveFolder(folder_);
    } catch (const RuntimeError& error) {
        platform_.log.Write(u"Staging folder kept for a later run: \"" + folder_ + u"\" (" + error.Description() +
                            u")");
    }
}

Text StagingFolder::Stage(const Text& path, const PackagePin* pin)
{
    if (folder_.empty()) Make();
    copy_ = folder_ + FileNameOf(path);
    try {
        Copy(path, copy_, pin);
    } catch (...) {
        DiscardCopy();
        throw;
    }
    return copy_;
}

void StagingFolder::DiscardCopy() noexcept
{
    if (copy_.empty()) return;
    try {
        platform_.files.Kill(std::exchange(copy_, {}));
    } catch (...) {
    }
}

void StagingFolder::Make()
{
    FileSystem& files = platform_.files;
    const Text dataFolder = DataFolderPath(files);
    PrepareDataFolder(files, dataFolder);
    RemoveLeftovers(platform_, dataFolder);
    for (int number = 1;; ++number) {
        const Text candidate = dataFolder + StagingFolderPrefix + DecimalText(number) + u"\\";
        if (files.KindOf(candidate) != EntryKind::Missing) continue;
        files.MkDir(candidate, AdministratorsOnly);
        files.HoldFolder(candidate);
        folder_ = candidate;
        return;
    }
}

void StagingFolder::Copy(const Text& from, const Text& to, const PackagePin* pin)
{
    FileSystem& files = platform_.files;
    const auto source = files.OpenLocked(from);
    // The size is cheap to compare and spares copying a file that cannot match.
    if (pin && pin->size && source->Size() != *pin->size) Mismatch();
    // A pin by signer alone is checked on the copy, from a handle held against writers, before it starts.
    const auto sha256 = pin && pin->digest ? platform_.hashing.NewSha256() : nullptr;
    const auto target = files.Create(to);
    std::vector<std::byte> buffer(ReadSize);
    while (const std::size_t count = source->Read(buffer)) {
        const auto piece = std::span(buffer).first(count);
        if (sha256) sha256->Add(piece);
        target->Write(piece);
    }
    if (sha256 && sha256->Finish() != *pin->digest) Mismatch();
}
