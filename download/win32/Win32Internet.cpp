#include "download/win32/Win32Internet.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <wininet.h>

#include <array>
#include <utility>

// The WinINet functions in use, found by name; the library is never linked.
struct WinInetApi {
    SystemLibrary library{L"wininet.dll"};
    decltype(&InternetOpenW) open = library.Find<decltype(InternetOpenW)>("InternetOpenW");
    decltype(&InternetOpenUrlW) openUrl = library.Find<decltype(InternetOpenUrlW)>("InternetOpenUrlW");
    decltype(&HttpQueryInfoW) queryInfo = library.Find<decltype(HttpQueryInfoW)>("HttpQueryInfoW");
    decltype(&InternetReadFile) readFile = library.Find<decltype(InternetReadFile)>("InternetReadFile");
    decltype(&InternetCloseHandle) closeHandle =
        library.Find<decltype(InternetCloseHandle)>("InternetCloseHandle");

    bool Complete() const { return open && openUrl && queryInfo && readFile && closeHandle; }
};

namespace {

// Room for the Content-Length query: 4096 bytes, all blanks until the query writes its answer.
constexpr std::size_t HeaderBufferBytes = 4096;

// Owns one HINTERNET and keeps the library that closes it loaded.
class InternetHandle {
public:
    InternetHandle(std::shared_ptr<const WinInetApi> api, HINTERNET handle)
        : api_(std::move(api)), handle_(handle) {}
    InternetHandle(InternetHandle&& other) noexcept
        : api_(std::move(other.api_)), handle_(std::exchange(other.handle_, nullptr)) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    InternetHandle& operator=(InternetHandle&&) = delete;
    ~InternetHandle()
    {
        if (handle_) api_->closeHandle(handle_);
    }

    explicit operator bool() const { return handle_ != nullptr; }
    HINTERNET Get() const { return handle_; }
    const std::shared_ptr<const WinInetApi>& Api() const { return api_; }

private:
    std::shared_ptr<const WinInetApi> api_;
    HINTERNET handle_;
};

class Win32HttpResponse : public HttpResponse {
public:
    explicit Win32HttpResponse(InternetHandle url) : url_(std::move(url)) {}

    std::optional<std::uint32_t> StatusCode() override
    {
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!url_.Api()->queryInfo(url_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                  &size, nullptr))
            return std::nullopt;
        return status;
    }

    std::string ContentLengthText() override
    {
        std::array<wchar_t, HeaderBufferBytes / sizeof(wchar_t)> buffer;
        buffer.fill(L' ');
        DWORD size = HeaderBufferBytes;
        DWORD index = 0;
        // A failed query leaves the blanks, which read as no number.
        url_.Api()->queryInfo(url_.Get(), HTTP_QUERY_CONTENT_LENGTH, buffer.data(), &size, &index);
        std::string text;
        for (wchar_t unit : buffer) {
            if (unit == L'\0') break;
            // The value is digits; anything else only has to stay something that is no digit.
            text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
        return text;
    }

    bool Read(std::span<std::byte> buffer, std::size_t& bytesRead) override
    {
        bytesRead = 0;
        // One InternetReadFile may return less than asked before the data has ended.
        while (bytesRead < buffer.size()) {
            DWORD count = 0;
            if (!url_.Api()->readFile(url_.Get(), buffer.data() + bytesRead,
                                     static_cast<DWORD>(buffer.size() - bytesRead), &count))
                return false;
            if (count == 0) break;
            bytesRead += count;
        }
        return true;
    }

private:
    InternetHandle url_;
};

class Win32InternetSession : public InternetSession {
public:
    explicit Win32InternetSession(InternetHandle root) : root_(std::move(root)) {}

    std::unique_ptr<HttpResponse> OpenUrl(const Text& url) override
    {
        // Only EXISTING_CONNECT: the system's cache and redirect handling apply as usual, and no
        // certificate error is ever waived.
        HINTERNET opened =
            root_.Api()->openUrl(root_.Get(), Wide(url), nullptr, 0, INTERNET_FLAG_EXISTING_CONNECT, 0);
        if (!opened) {
            lastFailure_ = InternetFailureOf(GetLastError());
            return nullptr;
        }
        return std::make_unique<Win32HttpResponse>(InternetHandle(root_.Api(), opened));
    }

    InternetFailure LastFailure() const override { return lastFailure_; }

private:
    InternetHandle root_;
    InternetFailure lastFailure_ = InternetFailure::Connection;
};

} // namespace

std::unique_ptr<InternetSession> Win32Internet::Open(const Text& agent)
{
    if (!api_) {
        auto api = std::make_shared<const WinInetApi>();
        if (!api->Complete()) return nullptr;
        api_ = std::move(api);
    }
    InternetHandle root(api_, api_->open(Wide(agent), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) return nullptr;
    return std::make_unique<Win32InternetSession>(std::move(root));
}
