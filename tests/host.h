// What differs between the systems the tests run on.
#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <ctime>
#endif

// The processor time this process has used, in seconds: the measure of a wait that must not spin.
// std::clock() is that on Unix, but the wall time on Windows.
inline double processorSeconds()
{
#ifdef Q_OS_WIN
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME &t) {
        return double(quint64(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; // 100 ns units
    };
    return seconds(kernel) + seconds(user);
#else
    return double(std::clock()) / CLOCKS_PER_SEC;
#endif
}

// Wine accepts a file's access list and forgets it: what a file's owner alone may read cannot be
// checked there.
inline bool underWine()
{
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}
