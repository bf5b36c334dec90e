#pragma once
// In-memory files and folders, with switches for the failures tests need.
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class FakeFileSystem : public FileSystem {
public:
    std::map<Text, std::string> files;     // full path -> content
    std::set<Text> folders;                // full paths, each ending in "\"
    std::set<Text> reparsePoints;          // junctions and symbolic links, full paths without "\" at the end
    std::set<Text> readOnlyFolders;        // MkDir and Create fail below these
    std::set<Text> unholdable;             // HoldFolder fails on these folders (ending in "\")
    std::set<Text> undeletable;            // Kill fails on these
    std::set<Text> unreadable;             // OpenLocked fails on these
    std::map<Text, int> locks;             // path -> open OpenLocked handles; others may not change it
    std::map<Text, ProtectedAccess> createdWith;  // folder (ending in "\") -> access list MkDir gave it
    std::map<Text, ProtectedAccess> held;         // folder (ending in "\") -> access list HoldFolder gave it
    Text ownFolder = u"C:\\Setup";
    Text ownName = u"MavikSetupWebCD";
    std::vector<Text> calls;               // "Dir <path>", "MkDir <path>", ...

    Text Dir(const Text& path, int attributes) override;
    EntryKind KindOf(const Text& path) override;
    void MkDir(const Text& path, const ProtectedAccess& access) override;
    void HoldFolder(const Text& path, const ProtectedAccess& access) override;
    void Kill(const Text& path) override;
    std::unique_ptr<OutputFile> Create(const Text& path) override;
    std::unique_ptr<InputFile> OpenLocked(const Text& path) override;
    void Rename(const Text& from, const Text& to) override;
    Text OwnFolder() override { return ownFolder; }
    Text OwnName() override { return ownName; }

    bool Exists(const Text& path) const { return files.contains(path); }
    bool Locked(const Text& path) const { return locks.contains(path); }
    // Fails the write after this many bytes have gone to any file; -1 = never.
    long long failWritesAfter = -1;

private:
    friend class FakeOutputFile;
    bool UnderReadOnlyFolder(const Text& path) const;
    // A file held by OpenLocked is not written, renamed or deleted: a sharing violation.
    void RefuseIfLocked(const Text& path) const;
    EntryKind KindAt(const Text& path) const;
    long long bytesWritten_ = 0;
};
