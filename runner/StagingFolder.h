#pragma once
// The folder made for this run in the data folder, from which every package starts and which is
// its current folder: only the administrators and the system can put anything there, so nothing
// that a user left beside a package in the local folder is found beside it when it runs.
#include "platform/Platform.h"
#include "setup/PackagePins.h"

inline const Text StagingFolderPrefix = u"Paketler-";

class StagingFolder {
public:
    explicit StagingFolder(Platform& platform) : platform_(platform) {}
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    // Removes the folder with what is left in it; what cannot go yet goes at a later run's first start.
    ~StagingFolder();

    // Copies the package at path into the folder, read from a handle that lets nobody write it and,
    // with a pin, checked on the way; returns the copy's path. Makes the folder at the first call,
    // after removing those that earlier runs left. Raises RuntimeError: with PinMismatch when the
    // package does not match its pin, with the data folder's message when no folder can be made.
    Text Stage(const Text& path, const PackagePin* pin);
    // Deletes the last copy once its process has ended; one still in use goes with the folder.
    void DiscardCopy() noexcept;
    // With a trailing separator; "" until the first Stage.
    const Text& Folder() const { return folder_; }

private:
    void Make();
    void Copy(const Text& from, const Text& to, const PackagePin* pin);

    Platform& platform_;
    Text folder_;
    Text copy_;
};
