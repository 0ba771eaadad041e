#pragma once
// What the benchmarks share: the test servers' variables and a stopwatch.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

// A variable of scripts/testservers' env file; without it the benchmark ends.
inline std::string bench_env(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) {
        std::fprintf(stderr, "%s is not set (source the env file of scripts/testservers)\n", name);
        std::exit(2);
    }
    return v;
}

inline double bench_seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
