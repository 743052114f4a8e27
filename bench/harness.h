// The throughput harness shared by every kind of document: the bench databases, the timed rounds,
// the CPU placements, the table and the goals. A kind (delivery_bench.cpp, cash_memo_bench.cpp)
// brings what differs: how one document is made through the module, how the floor writes the
// same rows by bare statements, and the check that every document left its rows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/driver.h"
#include "qlnsales/connection.h"

namespace qlnsales::bench {

constexpr int kLines = 10;  // stock lines per document
constexpr double kItemCost = 1.25;
constexpr double kItemPrice = 2;

std::string Format(const char* format, double v);
const char* PgServer();

// The bench's stocked items ("01B1" ... "01B10"), as stored and as a grid names them.
std::string BenchItem(int line);
std::string BenchCode(int line);

// A database with the sample company and the bench's 10 items, each with stock for any run at
// kItemCost: an SQLite file (WAL) or a schema of its own on the PostgreSQL server.
struct BenchDb {
  bool pg;
  std::string cs, path, schema;
  ConnectionRef conn;

  explicit BenchDb(bool postgres);
  ~BenchDb();
  BenchDb(const BenchDb&) = delete;
  BenchDb& operator=(const BenchDb&) = delete;

  // What a live database gets now and then: its log checkpointed, its statistics refreshed.
  void Maintain();
  // The column N of the first row, 0 when there is none.
  double Number(const std::string& sql);
};

// Adds "what: found, expected expected" to `problems` when the two differ.
void Expect(std::vector<std::string>& problems, const char* what, double found, double expected);

// One kind of document on one database: made through the module, and written by the floor.
class Workload {
 public:
  virtual ~Workload() = default;
  // One document of kLines stock lines, saved and processed on-line through the module.
  virtual void Document() = 0;
  // The floor takes its next numbers and line serials from the database as they stand after
  // whatever wrote to it since, so that its timed documents draw them without reading.
  virtual void SyncFloor() = 0;
  // The rows of one processed document, written by bare prepared statements in one transaction.
  virtual void FloorDocument() = 0;
  // Documents of the kind the database holds.
  virtual std::int64_t Documents() = 0;
  // The books check, and whether every document (the module's and the floor's) left its rows.
  virtual std::vector<std::string> Check() = 0;
};

// What every floor shares: a driver of its own, the next numbers of its series and the next line
// serials of its detail table (taken by Sync, so that its timed documents draw them without
// reading), and one transaction per document around the kind's own Write.
class FloorWriter {
 public:
  FloorWriter(const BenchDb& db, std::string series, std::string detail_table);
  virtual ~FloorWriter() = default;
  void Sync();
  void Document();

 protected:
  virtual void Write() = 0;
  // The serial of line i (from 1) of a document whose lines start at `first`.
  static std::int32_t Serial(std::int64_t first, int i) {
    return static_cast<std::int32_t>(first + i - 1);
  }

  std::unique_ptr<db::Driver> driver_;
  std::int64_t next_temp_ = 1, next_final_ = 1, next_serial_ = 1;

 private:
  std::string series_, detail_table_;
};

// What the module is asked to reach for a kind.
struct Goals {
  std::optional<double> statements;  // per document, at most
  std::optional<double> waits;       // per document on PostgreSQL, at most
  double sqlite_rate = 0;            // documents per second, at least
  double postgres_rate = 0;
  double growth = 0.10;  // the 100x rate within this fraction of the fresh rate
};

struct Kind {
  const char* name;      // as QLNSALES_BENCH_KIND names it
  const char* singular;  // "delivery"
  const char* plural;    // "deliveries"
  const char* title;     // what one document is, for the run's heading
  // How the floor writes a document, for the run's heading.
  const char* floor;
  Goals goals;
  std::function<std::unique_ptr<Workload>(BenchDb&)> open;
};

const Kind& DeliveryKind();
const Kind& CashMemoKind();

// Measures `kind` on SQLite and, when QLNSALES_BENCH_PG names a server, on PostgreSQL, printing
// each engine's table; the goals are printed by PrintGoals once every kind has run.
struct EngineResult;
class Results {
 public:
  Results();
  ~Results();
  void Run(const Kind& kind, int docs);
  void PrintGoals() const;

 private:
  std::vector<std::unique_ptr<EngineResult>> results_;
};

}  // namespace qlnsales::bench
