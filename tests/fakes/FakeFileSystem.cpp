#include "tests/fakes/FakeFileSystem.h"

#include <algorithm>
#include <cstring>

namespace {
Text NameOf(const Text& path)
{
    auto trimmed = path;
    while (!trimmed.empty() && trimmed.back() == u'\\') trimmed.pop_back();
    auto slash = trimmed.find_last_of(u'\\');
    return slash == Text::npos ? trimmed : trimmed.substr(slash + 1);
}

Text WithSlash(const Text& path) { return EndsWith(path, u"\\") ? path : path + u"\\"; }
Text WithoutSlash(const Text& path) { return EndsWith(path, u"\\") ? path.substr(0, path.size() - 1) : path; }
} // namespace

class FakeOutputFile : public OutputFile {
public:
    // Written without sharing: while it is open, nothing else may open, move or delete it.
    FakeOutputFile(FakeFileSystem& owner, Text path) : owner_(owner), path_(std::move(path)) { ++owner_.locks[path_]; }
    ~FakeOutputFile() override
    {
        if (--owner_.locks[path_] == 0) owner_.locks.erase(path_);
    }
    void Write(std::span<const std::byte> bytes) override
    {
        auto& total = owner_.bytesWritten_;
        if (owner_.failWritesAfter >= 0 &&
            total + static_cast<long long>(bytes.size()) > owner_.failWritesAfter)
            throw RuntimeError(61, u"Disk full");
        total += static_cast<long long>(bytes.size());
        owner_.files[path_].append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    void Flush() override { owner_.calls.push_back(u"Flush " + path_); }

private:
    FakeFileSystem& owner_;
    Text path_;
};

// Reads what the file held when it was opened: while it is open, nothing can change it.
class FakeInputFile : public InputFile {
public:
    FakeInputFile(FakeFileSystem& owner, Text path)
        : owner_(owner), path_(std::move(path)), content_(owner.files.at(path_))
    {
        ++owner_.locks[path_];
    }
    ~FakeInputFile() override
    {
        if (--owner_.locks[path_] == 0) owner_.locks.erase(path_);
    }
    std::uint64_t Size() override { return content_.size(); }
    std::size_t Read(std::span<std::byte> bytes) override
    {
        const std::size_t count = std::min(bytes.size(), content_.size() - offset_);
        std::memcpy(bytes.data(), content_.data() + offset_, count);
        offset_ += count;
        return count;
    }

private:
    FakeFileSystem& owner_;
    Text path_;
    std::string content_;
    std::size_t offset_ = 0;
};

void FakeFileSystem::RefuseIfLocked(const Text& path) const
{
    if (Locked(path)) throw RuntimeError(ErrorNumber::PathFileAccess, u"Sharing violation");
}

bool FakeFileSystem::UnderReadOnlyFolder(const Text& path) const
{
    for (const auto& folder : readOnlyFolders)
        if (path.starts_with(WithSlash(folder))) return true;
    return false;
}

Text FakeFileSystem::Dir(const Text& path, int attributes)
{
    calls.push_back(u"Dir " + path);
    if (files.contains(path)) return NameOf(path);
    if ((attributes & FileAttribute::Directory) && folders.contains(WithSlash(path)))
        return EndsWith(path, u"\\") ? Text(u".") : NameOf(path);
    return {};
}

EntryKind FakeFileSystem::KindAt(const Text& path) const
{
    const Text name = WithoutSlash(path);
    if (reparsePoints.contains(name)) return EntryKind::ReparsePoint;
    if (folders.contains(WithSlash(path))) return EntryKind::Folder;
    if (files.contains(name)) return EntryKind::File;
    return EntryKind::Missing;
}

EntryKind FakeFileSystem::KindOf(const Text& path)
{
    calls.push_back(u"KindOf " + path);
    return KindAt(path);
}

void FakeFileSystem::MakeFolder(const Text& path)
{
    if (UnderReadOnlyFolder(path) || KindAt(path) != EntryKind::Missing)
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    folders.insert(WithSlash(path));
}

void FakeFileSystem::MkDir(const Text& path)
{
    calls.push_back(u"MkDir " + path);
    MakeFolder(path);
}

void FakeFileSystem::MkDir(const Text& path, const ProtectedAccess& access)
{
    calls.push_back(u"MkDir " + path + u" protected");
    MakeFolder(path);
    createdWith[WithSlash(path)] = access;
}

void FakeFileSystem::Hold(const Text& path)
{
    if (KindAt(path) != EntryKind::Folder || unholdable.contains(WithSlash(path)))
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    held.insert(WithSlash(path));
}

void FakeFileSystem::HoldFolder(const Text& path)
{
    calls.push_back(u"HoldFolder " + path);
    Hold(path);
}

void FakeFileSystem::TakeOverFolder(const Text& path, const ProtectedAccess& access)
{
    calls.push_back(u"TakeOverFolder " + path);
    Hold(path);
    takenOver[WithSlash(path)] = access;
}

std::vector<Text> FakeFileSystem::FolderEntries(const Text& path)
{
    calls.push_back(u"FolderEntries " + path);
    const Text folder = WithSlash(path);
    std::set<Text> names;
    const auto add = [&](const Text& entry) {
        const Text name = WithoutSlash(entry);
        if (name.size() > folder.size() && name.starts_with(folder) &&
            name.find(u'\\', folder.size()) == Text::npos)
            names.insert(name.substr(folder.size()));
    };
    for (const auto& [file, content] : files) add(file);
    for (const auto& other : folders) add(other);
    for (const auto& link : reparsePoints) add(link);
    return {names.begin(), names.end()};
}

void FakeFileSystem::RemoveFolder(const Text& path)
{
    calls.push_back(u"RemoveFolder " + path);
    const Text folder = WithSlash(path);
    if (unholdable.contains(folder)) throw RuntimeError(ErrorNumber::PathFileAccess, u"Sharing violation");
    held.erase(folder);
    if (reparsePoints.erase(WithoutSlash(path))) return;
    for (const Text& name : FolderEntries(path)) {
        if (reparsePoints.erase(folder + name)) continue;
        if (folders.contains(folder + name + u"\\"))
            throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
        Kill(folder + name);
    }
    folders.erase(folder);
}

void FakeFileSystem::Kill(const Text& path)
{
    calls.push_back(u"Kill " + path);
    if (!files.contains(path)) throw RuntimeError(ErrorNumber::FileNotFound, u"File not found");
    if (undeletable.contains(path))
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    RefuseIfLocked(path);
    files.erase(path);
}

std::unique_ptr<OutputFile> FakeFileSystem::Create(const Text& path)
{
    calls.push_back(u"Create " + path);
    if (UnderReadOnlyFolder(path))
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    RefuseIfLocked(path);
    files[path].clear();
    return std::make_unique<FakeOutputFile>(*this, path);
}

std::unique_ptr<OutputFile> FakeFileSystem::Continue(const Text& path, std::int64_t keep)
{
    calls.push_back(u"Continue " + path + u" " + DecimalText(keep));
    RefuseIfLocked(path);
    const auto found = files.find(path);
    if (found == files.end()) throw RuntimeError(ErrorNumber::FileNotFound, u"File not found");
    if (static_cast<std::int64_t>(found->second.size()) < keep)
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    found->second.resize(static_cast<std::size_t>(keep));
    return std::make_unique<FakeOutputFile>(*this, path);
}

std::unique_ptr<InputFile> FakeFileSystem::OpenLocked(const Text& path)
{
    calls.push_back(u"OpenLocked " + path);
    if (reparsePoints.contains(path))
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Not a plain file: " + path);
    if (!files.contains(path)) throw RuntimeError(ErrorNumber::FileNotFound, u"File not found");
    if (unreadable.contains(path))
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    return std::make_unique<FakeInputFile>(*this, path);
}

void FakeFileSystem::Rename(const Text& from, const Text& to)
{
    calls.push_back(u"Rename " + from + u" " + to);
    if (!files.contains(from)) throw RuntimeError(ErrorNumber::FileNotFound, u"File not found");
    if (UnderReadOnlyFolder(to))
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    RefuseIfLocked(from);
    RefuseIfLocked(to);
    files[to] = std::move(files[from]);
    files.erase(from);
}
