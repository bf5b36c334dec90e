#include "download/StatusLines.h"

namespace {
constexpr std::size_t DisplayLimit = 20;
constexpr std::size_t DisplayHead = 4;
constexpr std::size_t DisplayTail = 15;
}

namespace StatusLine {

Text DisplayName(const Text& localPath)
{
    if (localPath.size() <= DisplayLimit) return localPath;
    return localPath.substr(0, DisplayHead) + u"..." + localPath.substr(localPath.size() - DisplayTail);
}

Text ProgressTail(std::int32_t totalKb, const Text& displayName)
{
    return u" Kb\\" + DecimalText(totalKb) + u" Kb - " + displayName + u")";
}

// "0% (0 " ends with a blank and the tail starts with one: the start line has two.
Text Start(const Text& progressTail) { return u"0% (0 " + progressTail; }

Text Progress(std::int16_t percent, std::int32_t kbDone, const Text& progressTail)
{
    return DecimalText(percent) + u"% (" + DecimalText(kbDone) + progressTail;
}

Text Completed(const Text& displayName) { return displayName + u" dosyası diske indirildi."; }

Text Cancelled(const Text& displayName)
{
    return displayName + u" dosyası diske indirilemeden iptal edildi.";
}

Text Failed(const Text& displayName, const Text& reason)
{
    return displayName + u" dosyası indirilemedi (" + reason + u").";
}

Text Retrying(const Text& displayName, int n, int of)
{
    return displayName + u" yeniden deneniyor (" + DecimalText(n) + u"/" + DecimalText(of) + u")...";
}

} // namespace StatusLine

Text FailureReason::HttpStatus(std::uint32_t statusCode) { return u"HTTP " + DecimalText(statusCode); }
