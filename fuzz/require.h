// What every fuzz target checks its invariants with: a broken one aborts, which libFuzzer keeps
// as a finding, and says where (clang fills in the caller's file and line).
#pragma once

#include <cstdio>
#include <cstdlib>

inline void require(bool condition, const char *file = __builtin_FILE(),
                    int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "%s:%d: invariant broken\n", file, line);
    std::abort();
}
