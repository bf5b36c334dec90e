#pragma once
#include "platform/FileSystem.h"

class Win32FileSystem : public FileSystem {
public:
    Text Dir(const Text& path, int attributes) override;
    void MkDir(const Text& path) override;
    void Kill(const Text& path) override;
    std::unique_ptr<OutputFile> Create(const Text& path) override;
    std::unique_ptr<InputFile> OpenLocked(const Text& path) override;
    void Rename(const Text& from, const Text& to) override;
    Text OwnFolder() override;
    Text OwnName() override;
};
