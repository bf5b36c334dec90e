#include "platform/win32/Win32SingleInstance.h"

namespace {

// Local\: one claim per user session, so other users' sessions do not count.
const wchar_t MutexName[] = L"Local\\MavikSetupWebCD.SoleCopy";

} // namespace

bool Win32SingleInstance::ClaimSoleCopy()
{
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName);
    const DWORD error = GetLastError();
    mutex_ = UniqueHandle(mutex);
    // Access denied: the mutex exists, made by a copy that runs with other rights than ours.
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
        mutex_.Reset();
        return false;
    }
    // Any other failure leaves no mutex, and the copy runs as if it were alone.
    return true;
}
