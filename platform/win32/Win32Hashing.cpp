#include "platform/win32/Win32Hashing.h"

#include "platform/RuntimeError.h"
#include "platform/win32/UniqueHandle.h"

#include <bcrypt.h>

#include <utility>

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

[[noreturn]] void Raise(NTSTATUS status, const char16_t* call)
{
    throw RuntimeError(static_cast<std::int32_t>(status), Text(call) + u" failed");
}

} // namespace

// The CNG functions in use, found by name; the library is never linked.
struct BCryptApi {
    SystemLibrary library{L"bcrypt.dll"};
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithm =
        library.Find<decltype(BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithm =
        library.Find<decltype(BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider");
    decltype(&BCryptCreateHash) createHash = library.Find<decltype(BCryptCreateHash)>("BCryptCreateHash");
    decltype(&BCryptHashData) hashData = library.Find<decltype(BCryptHashData)>("BCryptHashData");
    decltype(&BCryptFinishHash) finishHash = library.Find<decltype(BCryptFinishHash)>("BCryptFinishHash");
    decltype(&BCryptDestroyHash) destroyHash = library.Find<decltype(BCryptDestroyHash)>("BCryptDestroyHash");

    bool Complete() const
    {
        return openAlgorithm && closeAlgorithm && createHash && hashData && finishHash && destroyHash;
    }
};

// The SHA-256 algorithm provider, open for as long as this lives.
class Sha256Provider {
public:
    Sha256Provider()
    {
        if (!api.Complete()) throw RuntimeError(ErrorNumber::FileNotFound, u"bcrypt.dll offers no SHA-256");
        const NTSTATUS status = api.openAlgorithm(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        if (!Succeeded(status)) Raise(status, u"BCryptOpenAlgorithmProvider");
    }
    Sha256Provider(const Sha256Provider&) = delete;
    Sha256Provider& operator=(const Sha256Provider&) = delete;
    ~Sha256Provider() { api.closeAlgorithm(algorithm_, 0); }

    BCRYPT_ALG_HANDLE Algorithm() const { return algorithm_; }

    const BCryptApi api;

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
};

namespace {

// One hash object; it keeps the provider that made it, and so the library, alive.
class CngSha256 : public Sha256 {
public:
    explicit CngSha256(std::shared_ptr<const Sha256Provider> provider) : provider_(std::move(provider))
    {
        // Without a buffer of its own, CNG keeps the hash object's memory (Windows 7 and later).
        const NTSTATUS status = provider_->api.createHash(provider_->Algorithm(), &hash_, nullptr, 0, nullptr, 0, 0);
        if (!Succeeded(status)) Raise(status, u"BCryptCreateHash");
    }
    CngSha256(const CngSha256&) = delete;
    CngSha256& operator=(const CngSha256&) = delete;
    ~CngSha256() override { provider_->api.destroyHash(hash_); }

    void Add(std::span<const std::byte> bytes) override
    {
        // CNG takes a non-const pointer but only reads the input.
        auto* data = reinterpret_cast<PUCHAR>(const_cast<std::byte*>(bytes.data()));
        const NTSTATUS status = provider_->api.hashData(hash_, data, static_cast<ULONG>(bytes.size()), 0);
        if (!Succeeded(status)) Raise(status, u"BCryptHashData");
    }

    Sha256Digest Finish() override
    {
        Sha256Digest digest{};
        const NTSTATUS status = provider_->api.finishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0);
        if (!Succeeded(status)) Raise(status, u"BCryptFinishHash");
        return digest;
    }

private:
    std::shared_ptr<const Sha256Provider> provider_;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

} // namespace

std::unique_ptr<Sha256> Win32Hashing::NewSha256()
{
    if (!provider_) provider_ = std::make_shared<const Sha256Provider>();
    return std::make_unique<CngSha256>(provider_);
}
