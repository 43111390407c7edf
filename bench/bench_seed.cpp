// Seeds the benchmarks' data into a SQLite file or a PostgreSQL database.
//
//   bench_seed DB
#include "bench/support/BenchData.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_seed DB (a SQLite file or a postgresql:// URL)\n");
        return 2;
    }
    try {
        auto db = Database::Open(argv[1], {});
        BenchData::Seed(*db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_seed: %s\n", e.what());
        return 1;
    }
    return 0;
}
