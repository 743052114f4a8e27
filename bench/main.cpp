// Throughput of the documents that take goods out of stock, each of 10 stock lines saved and
// processed on-line through the module: deliveries (Create_Delivery from a sales order, then
// Process_Delivery) and cash memos (Create_CashMemo, then Process as a cash sale with a header
// discount and a tax code shared by two authorities). Each kind runs on SQLite (a file in WAL
// mode) and, when QLNSALES_BENCH_PG names a server, on PostgreSQL, from one connection. Per kind
// and engine it measures:
//
//   - documents per second through the API, on a fresh database and on one that already holds
//     100 times more documents, each the median of several timed batches;
//   - statements and waits per document, from the drivers' per-thread counts (db::ThreadStats)
//     over the timed batches;
//   - the floor, in the same run and the same unit: the rows a processed document leaves behind
//     and the rows it changes, written by bare prepared statements straight through a driver and
//     no reads, one unit of work (transaction) per document; on PostgreSQL the unit's writes are
//     pipelined. Each kind's file says which statements its floor sends.
//
// Both databases of a kind are built first: the fresh one holds as many documents as one
// measurement adds, the other 100 times as many. They grow as a live database grows: one
// transaction per document, written by the floor's writer (the rows of a processed document), so
// that their counters, stock and balances are in step with what they hold and the books check
// passes on them. Then each is checkpointed and its statistics refreshed (PostgreSQL: CHECKPOINT,
// VACUUM ANALYZE; SQLite: wal_checkpoint(TRUNCATE), ANALYZE). An empty database would not do as
// the fresh one: PostgreSQL plans the prepared statements of its young tables as scans, and keeps
// those plans while the tables grow, until autovacuum first analyzes them.
//
// Round after round, each database gets a timed batch of the module's documents and a timed batch
// of floor documents (in each CPU placement), so that a change in the machine's load during the
// run falls on every figure alike. Beside the rates and counts the table shows the CPU time per
// document of the program and, on PostgreSQL, of the server's client backends (read from /proc),
// which a busy machine changes less than it changes the rates. After the run, the books check and
// a check that every document left all its rows run on both databases.
//
// On PostgreSQL every batch runs twice: with the program and the server's client backends on one
// CPU, and with the program on CPU 0 and the backends on CPU 1. The server's background processes
// are not pinned.
//
//   QLNSALES_BENCH_KIND   delivery, memo or all (default): the kinds measured, one after the other
//   QLNSALES_BENCH_DOCS   documents per measurement (default 500), and the documents the fresh
//                         database holds before it; the 100x database holds 100 times as many
//   QLNSALES_BENCH_PG     a libpq connection string (a local server: its backends get pinned)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"

using namespace qlnsales;

namespace {

constexpr int kDefaultDocs = 500;

int Docs() {
  const char* n = std::getenv("QLNSALES_BENCH_DOCS");
  int docs = n ? std::atoi(n) : kDefaultDocs;
  return std::max(docs, 5);
}

// The kinds QLNSALES_BENCH_KIND asks for; empty when it names none of them.
std::vector<const bench::Kind*> Kinds() {
  const char* k = std::getenv("QLNSALES_BENCH_KIND");
  const std::string asked = k && *k ? k : "all";
  std::vector<const bench::Kind*> kinds;
  for (const bench::Kind* kind : {&bench::DeliveryKind(), &bench::CashMemoKind()})
    if (asked == "all" || asked == kind->name) kinds.push_back(kind);
  return kinds;
}

}  // namespace

int main(int argc, char** argv) {
  const auto kinds = Kinds();
  if (argc > 1 || kinds.empty()) {
    std::fprintf(stderr,
                 "usage: %s (no arguments; QLNSALES_BENCH_KIND=delivery|memo|all, "
                 "QLNSALES_BENCH_DOCS and QLNSALES_BENCH_PG set the run)\n",
                 argv[0]);
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    bench::Results results;
    for (const bench::Kind* kind : kinds) results.Run(*kind, Docs());
    results.PrintGoals();
    std::printf("\nWhole run: %.0f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "bench failed: %s\n", e.what());
    return 1;
  }
}
