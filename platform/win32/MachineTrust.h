#pragma once
// Certificate chains judged by the machine's trust alone: the program runs as administrator and
// starts what it fetches, so a root that only the user's store holds (which any program of the
// user may add) must not count.
#include "platform/win32/UniqueHandle.h"

// After windows.h, which it builds on.
#include <wincrypt.h>

#include <span>

inline void CloseCertStore(HCERTSTORE store) { CertCloseStore(store, 0); }
inline void FreeChain(PCCERT_CHAIN_CONTEXT chain) { CertFreeCertificateChain(chain); }
using UniqueCertStore = UniqueResource<HCERTSTORE, CloseCertStore, static_cast<HCERTSTORE>(nullptr)>;
using UniqueChain = UniqueResource<PCCERT_CHAIN_CONTEXT, FreeChain, static_cast<PCCERT_CHAIN_CONTEXT>(nullptr)>;

// The chain of certificates[0] as the local machine's chain engine builds it, at the time given
// (now when null) and for the usage given (an OID such as szOID_PKIX_KP_SERVER_AUTH), taking
// intermediates from the other certificates. Revocation is checked when flags ask for it. Null
// when no chain could be built at all.
UniqueChain MachineChain(std::span<const PCCERT_CONTEXT> certificates, const FILETIME* at, LPCSTR usage,
                         DWORD flags = 0);

// The chain's errors that count: all but a revocation status that could not be learned.
DWORD ChainErrors(const CERT_CHAIN_CONTEXT& chain);
