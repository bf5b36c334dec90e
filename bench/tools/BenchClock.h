#pragma once
// The clocks of the benchmark's tools: wall time and a process's CPU time, in seconds.
#include <windows.h>

#include <cstdint>

inline double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Seconds(const FILETIME& time)
{
    return static_cast<double>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) / 1e7;
}

// User and kernel time of the process so far; -1 when it cannot be read.
inline double CpuSeconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    return Seconds(kernel) + Seconds(user);
}
