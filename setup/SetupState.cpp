#include "setup/SetupState.h"

#include "platform/RuntimeError.h"

void AddDownload(SetupState& state, const Text& url, const Text& path)
{
    const int next = state.DownloadCount + 1;
    if (next > SetupState::QueueCapacity)
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange, u"Subscript out of range");
    state.DownloadCount = static_cast<std::int16_t>(next);
    state.DownloadUrls[next] = url;
    state.DownloadPaths[next] = path;
}
