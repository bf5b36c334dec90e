#pragma once
#include "platform/FileSystem.h"
#include "platform/win32/UniqueHandle.h"

#include <map>
#include <vector>

class Win32FileSystem : public FileSystem {
public:
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
    Text OwnFolder() override;
    Text OwnName() override;
    Text CommonDataFolder() override;

private:
    UniqueHandle& Held(const Text& path, DWORD access);

    // By path as given to HoldFolder, so that RemoveFolder can let one go.
    std::map<Text, UniqueHandle> heldFolders_;
};
