#include "platform/win32/MachineTrust.h"

namespace {

// The certificates in a store of their own, where the chain engine looks for intermediates.
UniqueCertStore StoreOf(std::span<const PCCERT_CONTEXT> certificates)
{
    UniqueCertStore store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (store)
        for (const PCCERT_CONTEXT certificate : certificates)
            CertAddCertificateContextToStore(store.Get(), certificate, CERT_STORE_ADD_ALWAYS, nullptr);
    return store;
}

} // namespace

UniqueChain MachineChain(std::span<const PCCERT_CONTEXT> certificates, const FILETIME* at, LPCSTR usage, DWORD flags)
{
    if (certificates.empty()) return UniqueChain();
    const UniqueCertStore intermediates = StoreOf(certificates);
    LPSTR usages[] = {const_cast<LPSTR>(usage)};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // HCCE_LOCAL_MACHINE trusts the local machine's root store, not the user's.
    if (!CertGetCertificateChain(HCCE_LOCAL_MACHINE, certificates[0], const_cast<FILETIME*>(at),
                                 intermediates.Get(), &parameters, flags, nullptr, &chain))
        return UniqueChain();
    return UniqueChain(chain);
}

DWORD ChainErrors(const CERT_CHAIN_CONTEXT& chain)
{
    return chain.TrustStatus.dwErrorStatus & ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
}
