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
    std::set<Text> unholdable;             // HoldFolder, TakeOverFolder and RemoveFolder fail on these (ending in "\")
    std::set<Text> undeletable;            // Kill fails on these
    std::set<Text> unreadable;             // OpenLocked fails on these
    std::map<Text, int> locks;             // path -> its open files (OpenLocked, Create, Continue); others may not change it
    std::map<Text, ProtectedAccess> createdWith;  // folder (ending in "\") -> access list MkDir gave it
    std::set<Text> held;                          // folders (ending in "\") held and not removed since
    std::map<Text, ProtectedAccess> takenOver;    // folder (ending in "\") -> access list TakeOverFolder gave it
    Text ownFolder = u"C:\\Setup";
    Text ownName = u"MavikSetupWebCD";
    Text commonDataFolder = u"C:\\ProgramData";
    std::vector<Text> calls;               // "Dir <path>", "MkDir <path>", ...

    Text Dir(const Text& path, int attributes) override;
    EntryKind KindOf(const Text& path) override;
    void MkDir(const Text& path) override;
    void MkDir(const Text& path, const ProtectedAccess& access) override;
    void HoldFolder(const Text& path) override;
    void TakeOverFolder(const Text& path, const ProtectedAccess& access) override;
    std::vector<Text> FolderEntries(const Text& path) override;
    void RemoveFolder(const Text& path) override;
    void Kill(const Text& path) override;
    std::unique_ptr<OutputFile> Create(const Text& path) override;
    std::unique_ptr<OutputFile> Continue(const Text& path, std::int64_t keep) override;
    std::unique_ptr<InputFile> OpenLocked(const Text& path) override;
    void Rename(const Text& from, const Text& to) override;
    Text OwnFolder() override { return ownFolder; }
    Text OwnName() override { return ownName; }
    Text CommonDataFolder() override { return commonDataFolder; }

    bool Exists(const Text& path) const { return files.contains(path); }
    bool Locked(const Text& path) const { return locks.contains(path); }
    // Fails the write after this many bytes have gone to any file; -1 = never.
    long long failWritesAfter = -1;

private:
    friend class FakeOutputFile;
    bool UnderReadOnlyFolder(const Text& path) const;
    void MakeFolder(const Text& path);
    void Hold(const Text& path);
    // A file held open is not written, renamed or deleted: a sharing violation.
    void RefuseIfLocked(const Text& path) const;
    EntryKind KindAt(const Text& path) const;
    long long bytesWritten_ = 0;
};
