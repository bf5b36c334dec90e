#include "platform/win32/Win32Log.h"

#include "platform/LogRecord.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <cstring>
#include <span>

namespace {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

UniqueHandle OpenForAppend(const Text& path)
{
    const HANDLE file = CreateFileW(Wide(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

LocalTime Now()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

Text FileVersion(const VS_FIXEDFILEINFO& info)
{
    return DecimalText(HIWORD(info.dwFileVersionMS)) + u"." + DecimalText(LOWORD(info.dwFileVersionMS)) + u"." +
           DecimalText(HIWORD(info.dwFileVersionLS)) + u"." + DecimalText(LOWORD(info.dwFileVersionLS));
}

// Read from the program's own version resource, so the version is written down in one place.
Text ProgramVersion()
{
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const std::byte*>(LockResource(loaded)) : nullptr;
    if (!bytes) return u"unknown";
    const std::span resource(bytes, SizeofResource(nullptr, found));
    // The fixed part follows the key on a 4-byte boundary and starts with its signature.
    for (std::size_t at = 0; at + sizeof(VS_FIXEDFILEINFO) <= resource.size(); at += 4) {
        VS_FIXEDFILEINFO info;
        std::memcpy(&info, resource.data() + at, sizeof info);
        if (info.dwSignature == VS_FFI_SIGNATURE) return FileVersion(info);
    }
    return u"unknown";
}

// RtlGetVersion tells the truth whatever the manifest declares; ntdll is in every process.
Text WindowsVersion()
{
    using RtlGetVersionFunction = LONG WINAPI(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction*>(
                                        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                                  : nullptr;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0) return u"unknown";
    return DecimalText(version.dwMajorVersion) + u"." + DecimalText(version.dwMinorVersion) + u"." +
           DecimalText(version.dwBuildNumber);
}

Text MachineBits()
{
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
    case PROCESSOR_ARCHITECTURE_ARM64:
    case PROCESSOR_ARCHITECTURE_IA64: return u"64";
    default: return u"32";
    }
}

} // namespace

void Win32Log::Write(const Text& line) noexcept
{
    try {
        const std::string record = LogRecord(Now(), line);
        const ExclusiveLock held(lock_);
        Append(record);
    } catch (...) {
        // Out of memory for the record: the line is dropped, the run goes on.
    }
}

void Win32Log::Append(const std::string& record)
{
    if (path_.empty()) return;
    UniqueHandle file = OpenForAppend(path_);
    if (!file) return;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.Get(), &size) && LogNeedsNewFile(static_cast<std::uint64_t>(size.QuadPart), record.size())) {
        file.Reset();
        MoveFileExW(Wide(path_), Wide(backupPath_), MOVEFILE_REPLACE_EXISTING);
        file = OpenForAppend(path_);
        if (!file) return;
    }
    DWORD written = 0;
    WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

Text ProgramAndSystemDescription()
{
    return u"MavikSetupWebCD " + ProgramVersion() + u" on Windows " + WindowsVersion() + u", " +
           DecimalText(sizeof(void*) * 8) + u"-bit process, " + MachineBits() + u"-bit machine";
}
