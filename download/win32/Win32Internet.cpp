#include "download/win32/Win32Internet.h"

#include "download/HttpAnswers.h"
#include "platform/win32/MachineTrust.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <wininet.h>

#include <array>
#include <atomic>
#include <utility>
#include <vector>

// The WinINet functions in use, found by name; the library is never linked.
struct WinInetApi {
    SystemLibrary library{L"wininet.dll"};
    decltype(&InternetOpenW) open = library.Find<decltype(InternetOpenW)>("InternetOpenW");
    decltype(&InternetSetOptionW) setOption = library.Find<decltype(InternetSetOptionW)>("InternetSetOptionW");
    decltype(&InternetOpenUrlW) openUrl = library.Find<decltype(InternetOpenUrlW)>("InternetOpenUrlW");
    decltype(&InternetQueryOptionW) queryOption = library.Find<decltype(InternetQueryOptionW)>("InternetQueryOptionW");
    decltype(&HttpQueryInfoW) queryInfo = library.Find<decltype(HttpQueryInfoW)>("HttpQueryInfoW");
    decltype(&InternetQueryDataAvailable) dataAvailable =
        library.Find<decltype(InternetQueryDataAvailable)>("InternetQueryDataAvailable");
    decltype(&InternetReadFile) readFile = library.Find<decltype(InternetReadFile)>("InternetReadFile");
    decltype(&InternetCloseHandle) closeHandle =
        library.Find<decltype(InternetCloseHandle)>("InternetCloseHandle");

    bool Complete() const
    {
        return open && setOption && openUrl && queryOption && queryInfo && dataAvailable && readFile && closeHandle;
    }
};

namespace {

// Room for the Content-Length query: 4096 bytes, all blanks until the query writes its answer.
constexpr std::size_t HeaderBufferBytes = 4096;
constexpr DWORD ConnectTimeoutMs = 30'000;
// Longer than the stall timeout, so that our own wait, not WinINet's default, decides a stall.
constexpr double ReceiveTimeoutMarginSeconds = 10;
// Fresh from the server every time: no cache read or written, no cookies, no dialogs, and
// redirects come back to the caller, which decides whether to follow them. No certificate error
// is ever waived.
constexpr DWORD RequestFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                               INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                               INTERNET_FLAG_NO_AUTO_REDIRECT;

// Owns one HINTERNET and keeps the library that closes it loaded. Closing may come from another
// thread than the one using the handle: that is how WinINet cancels a blocked call.
class InternetHandle {
public:
    InternetHandle(std::shared_ptr<const WinInetApi> api, HINTERNET handle) : api_(std::move(api)), handle_(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { Close(); }

    explicit operator bool() const { return handle_ != nullptr; }
    HINTERNET Get() const { return handle_; }
    const WinInetApi& Api() const { return *api_; }
    const std::shared_ptr<const WinInetApi>& SharedApi() const { return api_; }

    void Close()
    {
        if (HINTERNET handle = handle_.exchange(nullptr)) api_->closeHandle(handle);
    }

private:
    std::shared_ptr<const WinInetApi> api_;
    std::atomic<HINTERNET> handle_;
};

const std::array<std::pair<HttpHeader, DWORD>, 4> HeaderQueries{{
    {HttpHeader::ETag, HTTP_QUERY_ETAG},
    {HttpHeader::LastModified, HTTP_QUERY_LAST_MODIFIED},
    {HttpHeader::ContentRange, HTTP_QUERY_CONTENT_RANGE},
    {HttpHeader::Location, HTTP_QUERY_LOCATION},
}};

class Win32HttpResponse : public HttpResponse {
public:
    // The root handle is kept until this response has closed its own.
    Win32HttpResponse(std::shared_ptr<InternetHandle> root, HINTERNET url)
        : url_(root->SharedApi(), url), root_(std::move(root))
    {
    }

    std::optional<std::uint32_t> StatusCode() override
    {
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!url_.Api().queryInfo(url_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
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
        url_.Api().queryInfo(url_.Get(), HTTP_QUERY_CONTENT_LENGTH, buffer.data(), &size, &index);
        std::string text;
        for (wchar_t unit : buffer) {
            if (unit == L'\0') break;
            // The value is digits; anything else only has to stay something that is no digit.
            text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
        return text;
    }

    Text Header(HttpHeader header) override
    {
        DWORD query = 0;
        for (const auto& [which, level] : HeaderQueries)
            if (which == header) query = level;
        std::vector<wchar_t> buffer(256);
        while (true) {
            DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
            DWORD index = 0;
            if (url_.Api().queryInfo(url_.Get(), query, buffer.data(), &size, &index))
                return FromWide(buffer.data(), size / sizeof(wchar_t));
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
            buffer.resize(size / sizeof(wchar_t) + 1);
        }
    }

    bool Read(std::span<std::byte> buffer, std::size_t& bytesRead) override
    {
        bytesRead = 0;
        // Waits for the first bytes only: a slow server still shows progress, and a wait that
        // lasts means that no byte at all has come.
        DWORD available = 0;
        if (!url_.Api().dataAvailable(url_.Get(), &available, 0, 0)) return false;
        if (available == 0) return true;
        DWORD count = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(available, buffer.size()));
        if (!url_.Api().readFile(url_.Get(), buffer.data(), wanted, &count)) return false;
        bytesRead = count;
        return true;
    }

    void Abort() override { url_.Close(); }

private:
    InternetHandle url_;
    std::shared_ptr<InternetHandle> root_;
};

std::wstring RangeHeaders(const ByteRange& range)
{
    if (range.from == 0) return {};
    Text headers = u"Range: bytes=" + DecimalText(range.from) + u"-\r\n";
    if (!range.ifRange.empty()) headers += u"If-Range: " + range.ifRange + u"\r\n";
    return std::wstring(Wide(headers));
}

// WinINet trusts the roots of the user's store as well, which any program of the user may add: the
// server's chain counts only as the machine's chain engine builds it again.
bool ServerTrustedByMachine(const WinInetApi& api, HINTERNET request)
{
    PCCERT_CHAIN_CONTEXT served = nullptr;
    DWORD size = sizeof served;
    if (!api.queryOption(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &served, &size) || !served) return false;
    const UniqueChain servedChain(served);
    std::vector<PCCERT_CONTEXT> certificates;
    for (DWORD chain = 0; chain < served->cChain; ++chain)
        for (DWORD element = 0; element < served->rgpChain[chain]->cElement; ++element)
            certificates.push_back(served->rgpChain[chain]->rgpElement[element]->pCertContext);
    const UniqueChain machineChain = MachineChain(certificates, nullptr, szOID_PKIX_KP_SERVER_AUTH);
    return machineChain && ChainErrors(*machineChain.Get()) == 0;
}

class Win32InternetSession : public InternetSession {
public:
    explicit Win32InternetSession(std::shared_ptr<InternetHandle> root) : root_(std::move(root)) {}

    std::unique_ptr<HttpResponse> OpenUrl(const Text& url, const ByteRange& range) override
    {
        const std::wstring headers = RangeHeaders(range);
        HINTERNET handle = root_->Api().openUrl(root_->Get(), Wide(url), headers.empty() ? nullptr : headers.c_str(),
                                                static_cast<DWORD>(headers.size()), RequestFlags, 0);
        if (!handle) {
            lastFailure_ = InternetFailureOf(GetLastError());
            return nullptr;
        }
        auto response = std::make_unique<Win32HttpResponse>(root_, handle);
        // Before the caller reads a byte of the body.
        if (IsHttps(url) && !ServerTrustedByMachine(root_->Api(), handle)) {
            lastFailure_ = InternetFailure::SecureChannel;
            return nullptr;
        }
        return response;
    }

    InternetFailure LastFailure() const override { return lastFailure_; }

    // Closing the root closes the handles below it, and with them a request still being sent.
    void Abort() override { root_->Close(); }

private:
    std::shared_ptr<InternetHandle> root_;
    InternetFailure lastFailure_ = InternetFailure::Connection;
};

void SetTimeout(const InternetHandle& root, DWORD option, DWORD milliseconds)
{
    root.Api().setOption(root.Get(), option, &milliseconds, sizeof milliseconds);
}

} // namespace

std::unique_ptr<InternetSession> Win32Internet::Open(const Text& agent)
{
    if (!api_) {
        auto api = std::make_shared<const WinInetApi>();
        if (!api->Complete()) return nullptr;
        api_ = std::move(api);
    }
    auto root = std::make_shared<InternetHandle>(
        api_, api_->open(Wide(agent), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!*root) return nullptr;
    SetTimeout(*root, INTERNET_OPTION_CONNECT_TIMEOUT, ConnectTimeoutMs);
    const auto receive = static_cast<DWORD>((stallTimeoutSeconds_ + ReceiveTimeoutMarginSeconds) * 1000);
    SetTimeout(*root, INTERNET_OPTION_RECEIVE_TIMEOUT, receive);
    SetTimeout(*root, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, receive);
    return std::make_unique<Win32InternetSession>(std::move(root));
}
