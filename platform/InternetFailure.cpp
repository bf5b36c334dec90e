#include "platform/Internet.h"

#include <algorithm>
#include <array>

namespace {
// WinINet's codes for a TLS channel that could not be set up or a server certificate it refused.
constexpr std::array<std::uint32_t, 12> SecureChannelErrors{
    12037,  // ERROR_INTERNET_SEC_CERT_DATE_INVALID
    12038,  // ERROR_INTERNET_SEC_CERT_CN_INVALID
    12044,  // ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED
    12045,  // ERROR_INTERNET_INVALID_CA
    12055,  // ERROR_INTERNET_SEC_CERT_ERRORS
    12056,  // ERROR_INTERNET_SEC_CERT_NO_REV
    12057,  // ERROR_INTERNET_SEC_CERT_REV_FAILED (Wine's answer to an unknown authority)
    12062,  // ERROR_INTERNET_SEC_CERT_WEAK_SIGNATURE
    12157,  // ERROR_INTERNET_SECURITY_CHANNEL_ERROR
    12169,  // ERROR_INTERNET_SEC_INVALID_CERT
    12170,  // ERROR_INTERNET_SEC_CERT_REVOKED
    12188,  // ERROR_INTERNET_SECURE_FAILURE_PROXY
};
} // namespace

InternetFailure InternetFailureOf(std::uint32_t winInetError)
{
    return std::ranges::find(SecureChannelErrors, winInetError) != SecureChannelErrors.end()
               ? InternetFailure::SecureChannel
               : InternetFailure::Connection;
}
