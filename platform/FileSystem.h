#pragma once
#include "platform/FolderAccess.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

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
    // Puts what was written on the disk itself, past the system's cache; raises RuntimeError.
    virtual void Flush() = 0;
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
    // Creates one folder that inherits its parent's access list; raises RuntimeError.
    virtual void MkDir(const Text& path) = 0;
    // Creates one folder with the given access list from its first moment; raises RuntimeError,
    // also when anything stands under the name already.
    virtual void MkDir(const Text& path, const ProtectedAccess& access) = 0;
    // Keeps the plain folder at path from being renamed, moved or deleted for as long as this file
    // system lives, or until RemoveFolder. Raises RuntimeError when a junction, symbolic link or file
    // stands there (never followed) or the folder cannot be held.
    virtual void HoldFolder(const Text& path) = 0;
    // HoldFolder, after giving the folder the given access list with the administrators as owner,
    // whoever made it.
    virtual void TakeOverFolder(const Text& path, const ProtectedAccess& access) = 0;
    // The names in the folder, files, folders and links alike; raises RuntimeError.
    virtual std::vector<Text> FolderEntries(const Text& path) = 0;
    // Removes the folder and the files in it, none of them through a link: a link in it or under its
    // name goes itself. Raises RuntimeError when it cannot, also while someone else holds it.
    virtual void RemoveFolder(const Text& path) = 0;
    // Deletes the file; a link there is deleted itself, never what it points to. Raises RuntimeError.
    virtual void Kill(const Text& path) = 0;
    // Creates the file afresh, as a new file: whatever stood under its name (a link included) is
    // removed first, never written through. Raises RuntimeError when it cannot be made.
    virtual std::unique_ptr<OutputFile> Create(const Text& path) = 0;
    // Opens an existing file to write on after its first `keep` bytes, dropping what lies
    // beyond them; raises RuntimeError when it cannot be opened or holds fewer bytes.
    virtual std::unique_ptr<OutputFile> Continue(const Text& path, std::int64_t keep) = 0;
    // Opens an existing file for reading, sharing it with readers only; raises RuntimeError, also
    // when a junction or symbolic link stands there (never followed).
    virtual std::unique_ptr<InputFile> OpenLocked(const Text& path) = 0;
    // Moves from onto to, replacing a file that is there; links under either name are moved or
    // replaced themselves, never followed. Raises RuntimeError.
    virtual void Rename(const Text& from, const Text& to) = 0;
    // Folder of the running executable, without a trailing separator unless it is a root.
    virtual Text OwnFolder() = 0;
    // File name of the running executable without folder and extension.
    virtual Text OwnName() = 0;
    // The machine's folder for the programs' common data (ProgramData), without a trailing
    // separator; raises RuntimeError.
    virtual Text CommonDataFolder() = 0;
};
