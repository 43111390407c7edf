#pragma once
// Small helpers the benchmark programs share: samples in microseconds, their
// median (robust against the odd slow sample of a shared machine), a steady
// clock, reading the environment the run script sets, and rounds: a
// measurement's cycles split into consecutive rounds, each round's figure
// kept as a counter of its own, so that the report gives the median of the
// rounds and their spread.
#include "platform/core/Exception.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
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

// Takes --rounds N (or --rounds=N) out of argv, before Google Benchmark reads
// the rest; N, or fallback when it is absent. Fewer than one round is an
// error.
inline int TakeRounds(int& argc, char** argv, int fallback)
{
    int rounds = fallback;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
            rounds = std::atoi(argv[i] + 9);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    if (rounds < 1) {
        throw Exception("--rounds needs a count of at least 1");
    }
    return rounds;
}

// The round (from 0) that cycle (from 0) of cycles falls in, when the cycles
// are split into rounds of equal length.
inline size_t RoundOf(long long cycle, long long cycles, int rounds)
{
    return static_cast<size_t>(cycle * rounds / std::max(cycles, 1LL));
}

// Each round's value as the counter name.1, name.2, ...
template <class State>
void SetRounds(State& state, const std::string& name, const std::vector<double>& values)
{
    for (size_t i = 0; i < values.size(); ++i) {
        state.counters[name + "." + std::to_string(i + 1)] = values[i];
    }
}

} // namespace BenchStats
