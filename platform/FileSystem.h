#pragma once
#include "platform/FolderAccess.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace FileAttribute {
constexpr int Normal = 0;      // ordinary, read-only and archive files
constexpr int Directory = 16;  // directories as well
}

// What stands under a name, looked at without following a junction or symbolic link there.
enum class EntryKind { Missing, Folder, ReparsePoint, File };

// A local file opened for writing raw bytes; closed when destroyed.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Appends the bytes after what was written before; raises RuntimeError on failure.
    virtual void Write(std::span<const std::byte> bytes) = 0;
};

// A local file opened for reading; while it is open nobody may write, rename or delete it.
class InputFile {
public:
    virtual ~InputFile() = default;
    virtual std::uint64_t Size() = 0;                             // raises RuntimeError
    // Reads on from where the last read ended, up to bytes.size(); 0 only at the end. Raises RuntimeError.
    virtual std::size_t Read(std::span<std::byte> bytes) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The name part of the first entry matching path with the given attribute
    // mask, or "" when nothing matches (hidden and system entries never match).
    virtual Text Dir(const Text& path, int attributes) = 0;
    // What stands under path (with or without a trailing separator); raises RuntimeError when
    // it cannot be looked at.
    virtual EntryKind KindOf(const Text& path) = 0;
    // Creates one folder with the given access list; raises RuntimeError.
    virtual void MkDir(const Text& path, const ProtectedAccess& access) = 0;
    // Gives the plain folder at path the given access list and keeps it from being renamed,
    // moved or deleted for as long as this file system lives. Raises RuntimeError when a
    // junction, symbolic link or file stands there (never followed) or the folder cannot be held.
    virtual void HoldFolder(const Text& path, const ProtectedAccess& access) = 0;
    // Deletes the file; a link there is deleted itself, never what it points to. Raises RuntimeError.
    virtual void Kill(const Text& path) = 0;
    // Creates the file afresh, as a new file: whatever stood under its name (a link included) is
    // removed first, never written through. Raises RuntimeError when it cannot be made.
    virtual std::unique_ptr<OutputFile> Create(const Text& path) = 0;
    // Opens an existing file for reading, sharing it with readers only; raises RuntimeError.
    virtual std::unique_ptr<InputFile> OpenLocked(const Text& path) = 0;
    // Moves from onto to, replacing a file that is there; links under either name are moved or
    // replaced themselves, never followed. Raises RuntimeError.
    virtual void Rename(const Text& from, const Text& to) = 0;
    // Folder of the running executable, without a trailing separator unless it is a root.
    virtual Text OwnFolder() = 0;
    // File name of the running executable without folder and extension.
    virtual Text OwnName() = 0;
};
