#include "platform/win32/Win32CodeSignatures.h"

#include "platform/RuntimeError.h"
#include "platform/win32/MachineTrust.h"
#include "platform/win32/WideText.h"

// After windows.h and wincrypt.h, which they build on.
#include <softpub.h>
#include <wintrust.h>

#include <algorithm>
#include <vector>

// The wintrust functions in use, found by name; the library is never linked.
struct WinTrustApi {
    SystemLibrary library{L"wintrust.dll"};
    decltype(&WinVerifyTrust) verify = library.Find<decltype(WinVerifyTrust)>("WinVerifyTrust");
    decltype(&WTHelperProvDataFromStateData) providerData =
        library.Find<decltype(WTHelperProvDataFromStateData)>("WTHelperProvDataFromStateData");
    decltype(&WTHelperGetProvSignerFromChain) signer =
        library.Find<decltype(WTHelperGetProvSignerFromChain)>("WTHelperGetProvSignerFromChain");

    bool Complete() const { return verify && providerData && signer; }
};

namespace {

// One WinVerifyTrust verification of a file; what it found stays readable until this is destroyed.
class Verification {
public:
    Verification(const WinTrustApi& api, const Text& path) : api_(api)
    {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = Wide(path);
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        // Revocation is checked by the machine's chain below, where an offline answer can be told apart.
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        result_ = api_.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    Verification(const Verification&) = delete;
    Verification& operator=(const Verification&) = delete;
    ~Verification()
    {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        api_.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }

    LONG Result() const { return result_; }
    // The first signer, or null.
    const CRYPT_PROVIDER_SGNR* Signer() const
    {
        CRYPT_PROVIDER_DATA* provider = api_.providerData(data_.hWVTStateData);
        return provider ? api_.signer(provider, 0, FALSE, 0) : nullptr;
    }

private:
    const WinTrustApi& api_;
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    LONG result_ = 0;
};

SignatureVerdict VerdictOf(LONG result)
{
    switch (static_cast<HRESULT>(result)) {
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN: return SignatureVerdict::Unsigned;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING: return SignatureVerdict::UntrustedRoot;
    case CERT_E_REVOKED: return SignatureVerdict::Revoked;
    default: return SignatureVerdict::Invalid;
    }
}

SignatureVerdict VerdictOf(const CERT_CHAIN_CONTEXT& chain)
{
    const DWORD errors = ChainErrors(chain);
    if (errors & CERT_TRUST_IS_REVOKED) return SignatureVerdict::Revoked;
    if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) return SignatureVerdict::UntrustedRoot;
    return errors ? SignatureVerdict::Invalid : SignatureVerdict::Trusted;
}

Text CommonNameOf(PCCERT_CONTEXT certificate)
{
    auto* const oid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD length = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, oid, nullptr, 0);
    std::vector<wchar_t> name(length);
    CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, oid, name.data(), length);
    return FromWide(name.data());
}

std::vector<std::byte> EncodedBytes(PCCERT_CONTEXT certificate)
{
    const auto* bytes = reinterpret_cast<const std::byte*>(certificate->pbCertEncoded);
    return {bytes, bytes + certificate->cbCertEncoded};
}

} // namespace

Win32CodeSignatures::Win32CodeSignatures() = default;
Win32CodeSignatures::~Win32CodeSignatures() = default;

FileSignature Win32CodeSignatures::SignatureOf(const Text& path)
{
    if (!api_) {
        auto api = std::make_unique<const WinTrustApi>();
        if (!api->Complete()) throw RuntimeError(ErrorNumber::FileNotFound, u"wintrust.dll offers no WinVerifyTrust");
        api_ = std::move(api);
    }
    const Verification verification(*api_, path);
    if (verification.Result() != ERROR_SUCCESS)
        return {VerdictOf(verification.Result()), static_cast<std::uint32_t>(verification.Result())};
    const CRYPT_PROVIDER_SGNR* signer = verification.Signer();
    if (!signer || signer->csCertChain == 0) return {SignatureVerdict::Invalid, static_cast<std::uint32_t>(TRUST_E_NO_SIGNER_CERT)};

    // WinVerifyTrust trusts the user's roots as well (and Wine's, any root at all): the signer's
    // chain counts only as the machine's engine builds it.
    std::vector<PCCERT_CONTEXT> certificates;
    for (DWORD at = 0; at < signer->csCertChain; ++at) certificates.push_back(signer->pasCertChain[at].pCert);
    const UniqueChain chain = MachineChain(certificates, &signer->sftVerifyAsOf, szOID_PKIX_KP_CODE_SIGNING,
                                           CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT);
    if (!chain) return {SignatureVerdict::Invalid, static_cast<std::uint32_t>(GetLastError())};
    const SignatureVerdict verdict = VerdictOf(*chain.Get());
    if (verdict != SignatureVerdict::Trusted) return {verdict, chain.Get()->TrustStatus.dwErrorStatus};

    const CERT_SIMPLE_CHAIN& simple = *chain.Get()->rgpChain[0];
    const PCCERT_CONTEXT issuer = simple.rgpElement[std::min<DWORD>(1, simple.cElement - 1)]->pCertContext;
    const bool revocationChecked = !(chain.Get()->TrustStatus.dwErrorStatus & CERT_TRUST_REVOCATION_STATUS_UNKNOWN);
    return {SignatureVerdict::Trusted, 0, CommonNameOf(simple.rgpElement[0]->pCertContext), EncodedBytes(issuer),
            revocationChecked};
}
