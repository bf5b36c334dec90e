// Makes its Wine prefix trust the end-to-end tests' throwaway certificate authority:
//   mavik_trust_ca [--user] <DER file of the authority's certificate>
// adds it to the machine's root store, where WinINet looks for the anchors of server
// certificates, or with --user to the user's root store alone, as any program of the user could.
// Prints nothing; ends with 0 on success, else 1 with the reason on standard error.
#include "ToolSupport.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool CloseStore(HCERTSTORE store) { return CertCloseStore(store, 0); }
using OwnedStore = Owned<HCERTSTORE, CloseStore>;

std::vector<BYTE> FileBytes(const std::wstring& path)
{
    const OwnedFile file = OpenedFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<BYTE> bytes;
    if (!file) return bytes;
    BYTE buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.insert(bytes.end(), buffer, buffer + read);
    return bytes;
}

int Fail(const char* why)
{
    std::fprintf(stderr, "mavik_trust_ca: %s (error %lu)\n", why, GetLastError());
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool user = argc == 3 && std::wstring(argv[1]) == L"--user";
    if (argc != 2 && !user) return Fail("usage: mavik_trust_ca [--user] <DER certificate>");
    const std::vector<BYTE> certificate = FileBytes(argv[argc - 1]);
    if (certificate.empty()) return Fail("cannot read the certificate");
    const DWORD location = user ? CERT_SYSTEM_STORE_CURRENT_USER : CERT_SYSTEM_STORE_LOCAL_MACHINE;
    const OwnedStore root(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"ROOT"));
    if (!root) return Fail("cannot open the root store");
    if (!CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING, certificate.data(),
                                          static_cast<DWORD>(certificate.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                          nullptr))
        return Fail("cannot add the certificate");
    return 0;
}
