#pragma once
#include "platform/FileSystem.h"
#include "platform/win32/UniqueHandle.h"

#include <vector>

class Win32FileSystem : public FileSystem {
public:
    Text Dir(const Text& path, int attributes) override;
    EntryKind KindOf(const Text& path) override;
    void MkDir(const Text& path, const ProtectedAccess& access) override;
    void HoldFolder(const Text& path, const ProtectedAccess& access) override;
    void Kill(const Text& path) override;
    std::unique_ptr<OutputFile> Create(const Text& path) override;
    std::unique_ptr<InputFile> OpenLocked(const Text& path) override;
    void Rename(const Text& from, const Text& to) override;
    Text OwnFolder() override;
    Text OwnName() override;

private:
    std::vector<UniqueHandle> heldFolders_;
};
