#include "platform/win32/Win32FileSystem.h"

#include "platform/RuntimeError.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <sddl.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

namespace {

[[noreturn]] void RaiseLastError()
{
    const DWORD error = GetLastError();
    std::int32_t number = ErrorNumber::PathFileAccess;
    if (error == ERROR_FILE_NOT_FOUND) number = ErrorNumber::FileNotFound;
    if (error == ERROR_PATH_NOT_FOUND) number = ErrorNumber::PathNotFound;
    throw Win32Error(error, number);
}

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
    void Flush() override
    {
        if (!FlushFileBuffers(file_.Get())) RaiseLastError();
    }

private:
    UniqueHandle file_;
};

class Win32InputFile : public InputFile {
public:
    explicit Win32InputFile(UniqueHandle file) : file_(std::move(file)) {}
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

void FreeLocalMemory(void* memory) { LocalFree(memory); }

// A security descriptor made by the system from its text form.
class SecurityDescriptor {
public:
    explicit SecurityDescriptor(const ProtectedAccess& access)
    {
        const Text text = SecurityDescriptorText(access);
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(Wide(text), SDDL_REVISION_1, memory_.Put(), nullptr))
            RaiseLastError();
    }
    PSECURITY_DESCRIPTOR Get() const { return memory_.Get(); }

private:
    using LocalMemory = UniqueResource<void*, FreeLocalMemory, nullptr>;
    LocalMemory memory_;
};

// The Win32 calls name a folder without a separator at its end.
Text WithoutTrailingSeparator(const Text& path)
{
    return EndsWith(path, u"\\") && path.size() > 3 ? path.substr(0, path.size() - 1) : path;
}

EntryKind KindFromAttributes(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::ReparsePoint;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
    return EntryKind::File;
}

// The entry under path itself: a junction or symbolic link there is opened, not followed.
HANDLE OpenEntry(const Text& path, DWORD access, DWORD share, DWORD flags = 0)
{
    return CreateFileW(Wide(WithoutTrailingSeparator(path)), access, share, nullptr, OPEN_EXISTING,
                       flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

UniqueHandle OpenedEntry(const Text& path, DWORD access, DWORD share, DWORD flags = 0)
{
    HANDLE entry = OpenEntry(path, access, share, flags);
    if (entry == INVALID_HANDLE_VALUE) RaiseLastError();
    return UniqueHandle(entry);
}

void DeleteOpened(const UniqueHandle& entry)
{
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof disposition))
        RaiseLastError();
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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
    const UniqueFind find(FindFirstFileW(Wide(pattern), &entry));
    if (!find) return {};
    do {
        if (Matches(entry, attributes)) return FromWide(entry.cFileName);
    } while (FindNextFileW(find.Get(), &entry));
    return {};
}

EntryKind Win32FileSystem::KindOf(const Text& path)
{
    // Unlike a lookup through a handle, this also answers for a folder the program may not open.
    const DWORD attributes = GetFileAttributesW(Wide(WithoutTrailingSeparator(path)));
    if (attributes != INVALID_FILE_ATTRIBUTES) return KindFromAttributes(attributes);
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return EntryKind::Missing;
    RaiseLastError();
}

void Win32FileSystem::MkDir(const Text& path)
{
    if (!CreateDirectoryW(Wide(path), nullptr)) RaiseLastError();
}

void Win32FileSystem::MkDir(const Text& path, const ProtectedAccess& access)
{
    const SecurityDescriptor descriptor(access);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    if (!CreateDirectoryW(Wide(path), &attributes)) RaiseLastError();
}

UniqueHandle& Win32FileSystem::Held(const Text& path, DWORD access)
{
    // Without delete sharing, nobody can rename the folder away and put a junction in its place
    // while this handle is open.
    UniqueHandle folder = OpenedEntry(path, access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(folder.Get(), &information)) RaiseLastError();
    if (KindFromAttributes(information.dwFileAttributes) != EntryKind::Folder)
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Not a plain folder: " + path);
    // A second hold of the same folder keeps the first: one handle per path is enough.
    auto [held, _] = heldFolders_.try_emplace(path, std::move(folder));
    return held->second;
}

void Win32FileSystem::HoldFolder(const Text& path) { Held(path, 0); }

void Win32FileSystem::TakeOverFolder(const Text& path, const ProtectedAccess& access)
{
    const UniqueHandle& folder = Held(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER);
    // Set on the folder alone: the system walks no entry inside it, so none is followed either.
    const SecurityDescriptor descriptor(access);
    if (!SetKernelObjectSecurity(folder.Get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 descriptor.Get()))
        RaiseLastError();
}

std::vector<Text> Win32FileSystem::FolderEntries(const Text& path)
{
    std::vector<Text> names;
    WIN32_FIND_DATAW entry{};
    const UniqueFind find(FindFirstFileW(Wide(WithoutTrailingSeparator(path) + u"\\*"), &entry));
    if (!find) RaiseLastError();
    do {
        const Text name = FromWide(entry.cFileName);
        if (name != u"." && name != u"..") names.push_back(name);
    } while (FindNextFileW(find.Get(), &entry));
    return names;
}

void Win32FileSystem::RemoveFolder(const Text& path)
{
    heldFolders_.erase(path);
    // Listed before the folder is opened for deleting: under Wine the listing's own open does not
    // share with that. An entry made in between keeps the folder from going: it is then kept.
    const bool plainFolder = KindOf(path) == EntryKind::Folder;
    const std::vector<Text> names = plainFolder ? FolderEntries(path) : std::vector<Text>{};
    // Without delete sharing: this fails while another run holds the folder, and afterwards nobody
    // can rename it and put a junction in its place while its entries are deleted by name.
    const UniqueHandle folder = OpenedEntry(path, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(folder.Get(), &information)) RaiseLastError();
    if (plainFolder != (KindFromAttributes(information.dwFileAttributes) == EntryKind::Folder))
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Replaced while removed: " + path);
    for (const Text& name : names) Kill(WithoutTrailingSeparator(path) + u"\\" + name);
    DeleteOpened(folder);
}

void Win32FileSystem::Kill(const Text& path)
{
    DeleteOpened(OpenedEntry(path, DELETE, ShareAll));
}

std::unique_ptr<OutputFile> Win32FileSystem::Create(const Text& path)
{
    // Truncating would write through a link or into every name of a hard-linked file.
    HANDLE earlier = OpenEntry(path, DELETE, ShareAll);
    if (earlier != INVALID_HANDLE_VALUE)
        DeleteOpened(UniqueHandle(earlier));
    else if (GetLastError() != ERROR_FILE_NOT_FOUND)
        RaiseLastError();
    HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) RaiseLastError();
    return std::make_unique<Win32OutputFile>(file);
}

std::unique_ptr<OutputFile> Win32FileSystem::Continue(const Text& path, std::int64_t keep)
{
    HANDLE opened = OpenEntry(path, GENERIC_WRITE, 0);
    if (opened == INVALID_HANDLE_VALUE) RaiseLastError();
    auto file = std::make_unique<Win32OutputFile>(opened);
    // Only the plain file we left there is written on: not through a link, nor into other names.
    BY_HANDLE_FILE_INFORMATION entry{};
    if (!GetFileInformationByHandle(opened, &entry)) RaiseLastError();
    const std::int64_t size = (std::int64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || entry.nNumberOfLinks != 1 || size < keep) {
        SetLastError(ERROR_ACCESS_DENIED);
        RaiseLastError();
    }
    LARGE_INTEGER at{};
    at.QuadPart = keep;
    if (!SetFilePointerEx(opened, at, nullptr, FILE_BEGIN) || !SetEndOfFile(opened)) RaiseLastError();
    return file;
}

std::unique_ptr<InputFile> Win32FileSystem::OpenLocked(const Text& path)
{
    // Readers only: no one can write, rename or delete the file while it is open. A link there
    // is opened itself, and refused.
    UniqueHandle file = OpenedEntry(path, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.Get(), &information)) RaiseLastError();
    if (KindFromAttributes(information.dwFileAttributes) != EntryKind::File)
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Not a plain file: " + path);
    return std::make_unique<Win32InputFile>(std::move(file));
}

void Win32FileSystem::Rename(const Text& from, const Text& to)
{
    const UniqueHandle file = OpenedEntry(from, DELETE | SYNCHRONIZE, ShareAll);
    const std::size_t nameBytes = to.size() * sizeof(wchar_t);
    // The structure's own one-character name array leaves room for the terminating zero.
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, to.data(), nameBytes);
    if (!SetFileInformationByHandle(file.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())))
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

Text Win32FileSystem::CommonDataFolder()
{
    // Asked of the shell rather than read from %ProgramData%, a variable of the user's environment.
    wchar_t folder[MAX_PATH];
    const HRESULT result = SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (FAILED(result)) throw RuntimeError(ErrorNumber::PathNotFound, SystemErrorText(static_cast<DWORD>(result)));
    return FromWide(folder);
}

Text Win32FileSystem::OwnName()
{
    Text path = ModulePath();
    auto slash = path.find_last_of(u'\\');
    Text name = slash == Text::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of(u'.');
    return dot == Text::npos ? name : name.substr(0, dot);
}
