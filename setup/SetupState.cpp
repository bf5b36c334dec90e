#include "setup/SetupState.h"

#include "platform/RuntimeError.h"

void AddDownload(SetupState& state, const Package& package, const Text& url, const Text& path)
{
    if (state.DownloadQueue.size() == SetupState::QueueCapacity)
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange, u"Subscript out of range");
    state.DownloadQueue.push_back({&package, url, path});
}
