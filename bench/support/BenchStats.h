#pragma once
// Small helpers the benchmark programs share: samples in microseconds, their
// median (robust against the odd slow sample of a shared machine), a steady
// clock, and reading the environment the run script sets.
#include "platform/core/Exception.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace BenchStats {

using Clock = std::chrono::steady_clock;

inline double Micros(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

inline double Median(std::vector<double> samples)
{
    if (samples.empty()) {
        return 0;
    }
    auto mid = samples.begin() + static_cast<long>(samples.size() / 2);
    std::nth_element(samples.begin(), mid, samples.end());
    return *mid;
}

// Times one call of fn and appends it to samples.
template <class Fn>
void Time(std::vector<double>& samples, Fn&& fn)
{
    auto start = Clock::now();
    fn();
    samples.push_back(Micros(start, Clock::now()));
}

// An environment variable the run script sets, or fallback when it is absent.
inline std::string Env(const char* name, const std::string& fallback = "")
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

inline int EnvInt(const char* name, int fallback)
{
    std::string text = Env(name);
    return text.empty() ? fallback : std::atoi(text.c_str());
}

} // namespace BenchStats
