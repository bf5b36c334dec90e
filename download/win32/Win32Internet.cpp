#include "download/win32/Win32Internet.h"

#include "platform/win32/MachineTrust.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <wininet.h>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The WinINet functions in use, found by name; the library is never linked.
struct WinInetApi {
    SystemLibrary library{L"wininet.dll"};
    decltype(&InternetOpenW) open = library.Find<decltype(InternetOpenW)>("InternetOpenW");
    decltype(&InternetSetOptionW) setOption = library.Find<decltype(InternetSetOptionW)>("InternetSetOptionW");
    decltype(&InternetCrackUrlW) crackUrl = library.Find<decltype(InternetCrackUrlW)>("InternetCrackUrlW");
    decltype(&InternetConnectW) connect = library.Find<decltype(InternetConnectW)>("InternetConnectW");
    decltype(&HttpOpenRequestW) openRequest = library.Find<decltype(HttpOpenRequestW)>("HttpOpenRequestW");
    decltype(&HttpSendRequestW) sendRequest = library.Find<decltype(HttpSendRequestW)>("HttpSendRequestW");
    decltype(&InternetQueryOptionW) queryOption = library.Find<decltype(InternetQueryOptionW)>("InternetQueryOptionW");
    decltype(&HttpQueryInfoW) queryInfo = library.Find<decltype(HttpQueryInfoW)>("HttpQueryInfoW");
    decltype(&InternetQueryDataAvailable) dataAvailable =
        library.Find<decltype(InternetQueryDataAvailable)>("InternetQueryDataAvailable");
    decltype(&InternetReadFile) readFile = library.Find<decltype(InternetReadFile)>("InternetReadFile");
    decltype(&InternetCloseHandle) closeHandle =
        library.Find<decltype(InternetCloseHandle)>("InternetCloseHandle");

    bool Complete() const
    {
        return open && setOption && crackUrl && connect && openRequest && sendRequest && queryOption && queryInfo && dataAvailable &&
               readFile && closeHandle;
    }
};

namespace {

// Room for the Content-Length query: 4096 bytes, all blanks until the query writes its answer.
constexpr std::size_t HeaderBufferBytes = 4096;
constexpr DWORD ConnectTimeoutMs = 30'000;
// Longer than the stall timeout, so that our own wait, not WinINet's, decides a stall; WinINet's
// only bounds how long a call the window's thread gave up on keeps its thread.
constexpr double ReceiveTimeoutMarginSeconds = 10;
// Fresh from the server every time: no cache read or written, no cookies, no dialogs, and
// redirects come back to the caller, which decides whether to follow them. No certificate error
// is ever waived.
constexpr DWORD RequestFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                               INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                               INTERNET_FLAG_NO_AUTO_REDIRECT;

// wininet.dll is loaded at the first Open and stays for the program's life, so that every handle
// can be closed through it.
const WinInetApi* LoadedWinInet()
{
    static const WinInetApi api;
    return api.Complete() ? &api : nullptr;
}

// Only once LoadedWinInet has answered.
const WinInetApi& WinInet() { return *LoadedWinInet(); }

void CloseInternetHandle(HINTERNET handle) { WinInet().closeHandle(handle); }

// Closing may come from another thread than the one using the handle: that is how WinINet cancels
// a blocked call.
using InternetHandle = UniqueResource<HINTERNET, CloseInternetHandle, nullptr, std::atomic<HINTERNET>>;

const std::array<std::pair<HttpHeader, DWORD>, 4> HeaderQueries{{
    {HttpHeader::ETag, HTTP_QUERY_ETAG},
    {HttpHeader::LastModified, HTTP_QUERY_LAST_MODIFIED},
    {HttpHeader::ContentRange, HTTP_QUERY_CONTENT_RANGE},
    {HttpHeader::Location, HTTP_QUERY_LOCATION},
}};

std::optional<std::uint32_t> StatusOf(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinInet().queryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return std::nullopt;
    return status;
}

class Win32HttpResponse : public HttpResponse {
public:
    // The connection's and the root handle are kept until this response has closed its own.
    Win32HttpResponse(std::shared_ptr<InternetHandle> root, std::unique_ptr<InternetHandle> connection,
                      std::unique_ptr<InternetHandle> url)
        : url_(std::move(url)), connection_(std::move(connection)), root_(std::move(root))
    {
    }

    std::optional<std::uint32_t> StatusCode() override { return StatusOf(url_->Get()); }

    std::string ContentLengthText() override
    {
        std::array<wchar_t, HeaderBufferBytes / sizeof(wchar_t)> buffer;
        buffer.fill(L' ');
        DWORD size = HeaderBufferBytes;
        DWORD index = 0;
        // A failed query leaves the blanks, which read as no number.
        WinInet().queryInfo(url_->Get(), HTTP_QUERY_CONTENT_LENGTH, buffer.data(), &size, &index);
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
            if (WinInet().queryInfo(url_->Get(), query, buffer.data(), &size, &index))
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
        if (!WinInet().dataAvailable(url_->Get(), &available, 0, 0)) return false;
        if (available == 0) return true;
        DWORD count = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(available, buffer.size()));
        if (!WinInet().readFile(url_->Get(), buffer.data(), wanted, &count)) return false;
        bytesRead = count;
        return true;
    }

    void Abort() override { url_->Reset(); }

private:
    std::unique_ptr<InternetHandle> url_;
    std::unique_ptr<InternetHandle> connection_;
    std::shared_ptr<InternetHandle> root_;
};

std::wstring RangeHeaders(const ByteRange& range)
{
    if (range.from == 0) return {};
    Text headers = u"Range: bytes=" + DecimalText(range.from) + u"-\r\n";
    if (!range.ifRange.empty()) headers += u"If-Range: " + range.ifRange + u"\r\n";
    return std::wstring(Wide(headers));
}

void SetTimeout(const InternetHandle& handle, DWORD option, DWORD milliseconds)
{
    WinInet().setOption(handle.Get(), option, &milliseconds, sizeof milliseconds);
}

// A URL's parts as WinINet needs them to connect and to ask.
struct UrlParts {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object;
    bool secure = false;
};

std::optional<UrlParts> Crack(const WinInetApi& api, const Text& url)
{
    URL_COMPONENTSW components{};
    components.dwStructSize = sizeof components;
    components.dwHostNameLength = 1;
    components.dwUrlPathLength = 1;
    components.dwExtraInfoLength = 1;
    if (!api.crackUrl(Wide(url), 0, 0, &components)) return std::nullopt;
    return UrlParts{std::wstring(components.lpszHostName, components.dwHostNameLength), components.nPort,
                    std::wstring(components.lpszUrlPath, components.dwUrlPathLength) +
                        std::wstring(components.lpszExtraInfo, components.dwExtraInfoLength),
                    components.nScheme == INTERNET_SCHEME_HTTPS};
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
    Win32InternetSession(std::shared_ptr<InternetHandle> root, DWORD receiveTimeoutMs)
        : root_(std::move(root)), receiveTimeoutMs_(receiveTimeoutMs)
    {
    }

    // The request handle exists before the request is sent, so that it carries the timeouts: Wine
    // takes them from it alone.
    std::unique_ptr<HttpResponse> OpenUrl(const Text& url, const ByteRange& range) override
    {
        const WinInetApi& api = WinInet();
        const auto parts = Crack(api, url);
        if (!parts) return Failed(InternetFailure::Connection);
        auto connection = std::make_unique<InternetHandle>(api.connect(root_->Get(), parts->host.c_str(), parts->port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0));
        if (!*connection) return Failed(InternetFailureOf(GetLastError()));
        auto request = std::make_unique<InternetHandle>(api.openRequest(connection->Get(), L"GET", parts->object.c_str(), nullptr, nullptr,
                                                nullptr, RequestFlags | (parts->secure ? INTERNET_FLAG_SECURE : 0), 0));
        if (!*request) return Failed(InternetFailureOf(GetLastError()));
        for (const DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
            SetTimeout(*request, option, receiveTimeoutMs_);
        const std::wstring headers = RangeHeaders(range);
        const BOOL sent = api.sendRequest(request->Get(), headers.empty() ? nullptr : headers.c_str(),
                                          static_cast<DWORD>(headers.size()), nullptr, 0);
        if (!sent) return Failed(InternetFailureOf(GetLastError()));
        // WinINet answers a proxy's 407 itself where it can without asking the user: with the
        // user's own logon for NTLM or Negotiate, or with credentials it keeps for that proxy. One
        // that still comes is the proxy's own answer, before any tunnel: no certificate to check.
        if (StatusOf(request->Get()) == HTTP_STATUS_PROXY_AUTH_REQ) return Failed(InternetFailure::ProxyCredentials);
        // Before the caller reads a byte of the body.
        if (parts->secure && !ServerTrustedByMachine(api, request->Get())) return Failed(InternetFailure::SecureChannel);
        return std::make_unique<Win32HttpResponse>(root_, std::move(connection), std::move(request));
    }

    InternetFailure LastFailure() const override { return lastFailure_; }

    // Closing the root closes the handles below it, with them a request still being sent.
    void Abort() override { root_->Reset(); }

private:
    std::unique_ptr<HttpResponse> Failed(InternetFailure failure)
    {
        lastFailure_ = failure;
        return nullptr;
    }

    std::shared_ptr<InternetHandle> root_;
    const DWORD receiveTimeoutMs_;
    InternetFailure lastFailure_ = InternetFailure::Connection;
};

} // namespace

std::unique_ptr<InternetSession> Win32Internet::Open(const Text& agent)
{
    const WinInetApi* api = LoadedWinInet();
    if (!api) return nullptr;
    auto root = std::make_shared<InternetHandle>(api->open(Wide(agent), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!*root) return nullptr;
    SetTimeout(*root, INTERNET_OPTION_CONNECT_TIMEOUT, ConnectTimeoutMs);
    const auto receive = static_cast<DWORD>((stallTimeoutSeconds_ + ReceiveTimeoutMarginSeconds) * 1000);
    return std::make_unique<Win32InternetSession>(std::move(root), receive);
}
