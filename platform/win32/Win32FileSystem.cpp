#include "platform/win32/Win32FileSystem.h"

#include "platform/RuntimeError.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <vector>

namespace {

[[noreturn]] void RaiseLastError()
{
    DWORD error = GetLastError();
    std::int32_t number = ErrorNumber::PathFileAccess;
    if (error == ERROR_FILE_NOT_FOUND) number = ErrorNumber::FileNotFound;
    if (error == ERROR_PATH_NOT_FOUND) number = ErrorNumber::PathNotFound;
    throw RuntimeError(number, SystemErrorText(error));
}

class FindHandle {
public:
    FindHandle(const Text& pattern, WIN32_FIND_DATAW& data)
        : handle_(FindFirstFileW(Wide(pattern), &data)) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (Found()) FindClose(handle_);
    }
    bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAW& data) { return FindNextFileW(handle_, &data) != FALSE; }

private:
    HANDLE handle_;
};

bool Matches(const WIN32_FIND_DATAW& entry, int attributes)
{
    const DWORD attr = entry.dwFileAttributes;
    if (attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return false;
    if (attr & FILE_ATTRIBUTE_DIRECTORY) return (attributes & FileAttribute::Directory) != 0;
    return true;
}

class Win32OutputFile : public OutputFile {
public:
    explicit Win32OutputFile(HANDLE file) : file_(file) {}
    void Write(std::span<const std::byte> bytes) override
    {
        DWORD written = 0;
        if (!WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            RaiseLastError();
    }

private:
    UniqueHandle file_;
};

class Win32InputFile : public InputFile {
public:
    explicit Win32InputFile(HANDLE file) : file_(file) {}
    std::uint64_t Size() override
    {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file_.Get(), &size)) RaiseLastError();
        return static_cast<std::uint64_t>(size.QuadPart);
    }
    std::size_t Read(std::span<std::byte> bytes) override
    {
        DWORD read = 0;
        if (!ReadFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
            RaiseLastError();
        return read;
    }

private:
    UniqueHandle file_;
};

Text ModulePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    while (true) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) RaiseLastError();
        if (length < buffer.size()) return FromWide(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

Text Win32FileSystem::Dir(const Text& path, int attributes)
{
    // A path ending in a separator lists the folder's own entries, so an
    // existing folder is found through its "." entry.
    const Text pattern = EndsWith(path, u"\\") ? path + u"*" : path;
    WIN32_FIND_DATAW entry{};
    FindHandle find(pattern, entry);
    if (!find.Found()) return {};
    do {
        if (Matches(entry, attributes)) return FromWide(entry.cFileName);
    } while (find.Next(entry));
    return {};
}

void Win32FileSystem::MkDir(const Text& path)
{
    if (!CreateDirectoryW(Wide(path), nullptr)) RaiseLastError();
}

void Win32FileSystem::Kill(const Text& path)
{
    if (!DeleteFileW(Wide(path))) RaiseLastError();
}

std::unique_ptr<OutputFile> Win32FileSystem::Create(const Text& path)
{
    HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) RaiseLastError();
    return std::make_unique<Win32OutputFile>(file);
}

std::unique_ptr<InputFile> Win32FileSystem::OpenLocked(const Text& path)
{
    // Readers only: no one can write, rename or delete the file while it is open.
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) RaiseLastError();
    return std::make_unique<Win32InputFile>(file);
}

void Win32FileSystem::Rename(const Text& from, const Text& to)
{
    if (!MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RaiseLastError();
}

Text Win32FileSystem::OwnFolder()
{
    Text path = ModulePath();
    auto slash = path.find_last_of(u'\\');
    if (slash == Text::npos) return path;
    // A drive root keeps its separator, as the runtime reports it ("C:\").
    return slash == 2 && path[1] == u':' ? path.substr(0, 3) : path.substr(0, slash);
}

Text Win32FileSystem::OwnName()
{
    Text path = ModulePath();
    auto slash = path.find_last_of(u'\\');
    Text name = slash == Text::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of(u'.');
    return dot == Text::npos ? name : name.substr(0, dot);
}
