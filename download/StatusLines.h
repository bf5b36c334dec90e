#pragma once
// The texts a download writes into its status label.
#include "platform/Text.h"

#include <cstdint>

namespace StatusLine {
inline const Text Connecting = u"Dosyaya bağlanılıyor...";
inline const Text Information = u"Dosya bilgileri alınıyor...";

// localPath itself up to 20 characters; longer paths keep their first 4 and last 15.
Text DisplayName(const Text& localPath);
// The fixed end of every progress line: " Kb\" totalKb " Kb - " displayName ")".
Text ProgressTail(std::int32_t totalKb, const Text& displayName);
Text Start(const Text& progressTail);
Text Progress(std::int16_t percent, std::int32_t kbDone, const Text& progressTail);
Text Completed(const Text& displayName);
Text Cancelled(const Text& displayName);
Text Failed(const Text& displayName, const Text& reason);
// While the program waits to try again: try n of `of`.
Text Retrying(const Text& displayName, int n, int of);
}

// Why a transfer failed, in the words of its status line.
namespace FailureReason {
inline const Text NoConnection = u"sunucuya bağlanılamadı";
inline const Text NoSecureChannel = u"güvenli bağlantı kurulamadı";
inline const Text ProxyCredentials = u"proxy kimlik doğrulaması gerekiyor";
inline const Text UnknownSize = u"dosya boyu bilinmiyor";
inline const Text TooBig = u"dosya boyu çok büyük";
inline const Text ConnectionLost = u"bağlantı kesildi";
inline const Text Stalled = u"sunucu yanıt vermiyor";
inline const Text InsecureRedirect = u"güvensiz yönlendirme";
inline const Text SizeMismatch = u"dosya boyu tutmuyor";
inline const Text DiskWrite = u"diske yazılamadı";
inline const Text Unexpected = u"beklenmeyen hata";
Text HttpStatus(std::uint32_t statusCode);
}
