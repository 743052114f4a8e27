// Per-thread counts of what the drivers send, for the benchmarks and for tests that hold a call to
// a number of statements. A statement is anything sent to the engine; a wait is a point where the
// program stops until a server has answered (PostgreSQL only: SQLite runs in the process).
#pragma once

#include <cstdint>

namespace qlnsales::db {

struct Stats {
  std::int64_t statements = 0;
  std::int64_t waits = 0;
};

// The calling thread's counts since it started; take a copy before and subtract.
Stats& ThreadStats();

}  // namespace qlnsales::db
