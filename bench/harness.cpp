#include "harness.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "db/record.h"
#include "db/schema.h"
#include "db/stats.h"
#include "progress.h"
#include "sample/sample_company.h"

namespace qlnsales::bench {

namespace {

constexpr int kBatches = 5;   // timed batches per measurement; the median is reported
constexpr int kGrowth = 100;  // the larger database holds this many times more documents
constexpr int kWarmUp = 5;    // untimed documents of the module and the floor before the batches

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string one, five, fifteen;
  f >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

}  // namespace

std::string Format(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

const char* PgServer() {
  const char* s = std::getenv("QLNSALES_BENCH_PG");
  return s && *s ? s : nullptr;
}

std::string BenchItem(int line) {
  return "01" + BenchCode(line);
}

std::string BenchCode(int line) {
  return "B" + std::to_string(line);
}

FloorWriter::FloorWriter(const BenchDb& db, std::string series, std::string detail_table)
    : driver_(db::OpenDriver(db.cs)),
      series_(std::move(series)),
      detail_table_(std::move(detail_table)) {}

void FloorWriter::Sync() {
  auto counters = driver_->Query(
      "SELECT COALESCE(Document_Temp_Next_No, 1) AS Temp, COALESCE(Document_Next_No, 1) AS Final "
      "FROM Document_Prefix WHERE Document_Prefix = ? AND Company_Prefix = '01' AND "
      "Branch_Prefix = '01'",
      {Value(series_)});
  if (counters.empty()) throw Error("The bench company has no " + series_ + " series");
  next_temp_ = counters.front().Int64("Temp");
  next_final_ = counters.front().Int64("Final");
  CheckSqlName(detail_table_);
  auto serial = driver_->Query("SELECT MAX(SL_No) AS MaxNo FROM " + detail_table_, {});
  next_serial_ = serial.front().IsNull("MaxNo") ? 1 : serial.front().Int64("MaxNo") + 1;
}

void FloorWriter::Document() {
  driver_->BeginUnit(false);
  try {
    Write();
    driver_->CommitUnit(false);
  } catch (...) {
    driver_->RollbackUnit(false);
    throw;
  }
}

BenchDb::BenchDb(bool postgres) : pg(postgres) {
  static int counter = 0;
  std::string tag = std::to_string(::getpid()) + "_" + std::to_string(++counter);
  if (pg) {
    schema = "bench_" + tag;
    Connection(PgServer()).Execute("CREATE SCHEMA " + schema);
    cs = std::string(PgServer()) + " options='-c search_path=" + schema + "'";
  } else {
    path = (std::filesystem::temp_directory_path() / ("qlnsales-bench-" + tag + ".db")).string();
    cs = "sqlite:" + path;
  }
  conn = std::make_shared<Connection>(cs);
  db::CreateSchema(*conn);
  refdata::AddSampleCompany(*conn);
  conn->BeginTrans();
  for (int i = 1; i <= kLines; ++i) {
    refdata::AddItem(*conn, BenchItem(i), "Bench item " + std::to_string(i), 0, "Pcs");
    refdata::AddOpeningStock(*conn, "01", "01", BenchItem(i), 1, 1e7, kItemCost);
  }
  conn->CommitTrans();
}

BenchDb::~BenchDb() {
  conn.reset();
  Connection::ClearPool();
  try {
    if (!schema.empty()) Connection(PgServer()).Execute("DROP SCHEMA " + schema + " CASCADE");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "could not drop schema %s: %s\n", schema.c_str(), e.what());
  }
  if (!path.empty())
    for (const char* s : {"", "-wal", "-shm"}) std::filesystem::remove(path + s);
}

void BenchDb::Maintain() {
  if (pg) {
    conn->Execute("CHECKPOINT");
    conn->Execute("VACUUM ANALYZE");
  } else {
    conn->Query("PRAGMA wal_checkpoint(TRUNCATE)");
    conn->Execute("ANALYZE");
  }
}

double BenchDb::Number(const std::string& sql) {
  auto rs = conn->Query(sql);
  return rs.empty() || rs.front().IsNull("N") ? 0 : rs.front().Double("N");
}

void Expect(std::vector<std::string>& problems, const char* what, double found, double expected) {
  if (std::abs(found - expected) > 1e-6 * std::max(1.0, std::abs(expected)))
    problems.push_back(std::string(what) + ": " + Format("%.2f", found) + ", expected " +
                       Format("%.2f", expected));
}

namespace {

// ---------------------------------------------------------------------------------------------
// CPU placement.

struct Placement {
  std::string name;
  int program_cpu = -1;  // -1: any CPU
  int server_cpu = -1;
};

cpu_set_t AllCpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  for (long i = 0; i < n && i < CPU_SETSIZE; ++i) CPU_SET(i, &set);
  return set;
}

bool PinProcess(pid_t pid, int cpu) {
  cpu_set_t set;
  if (cpu < 0) {
    set = AllCpus();
  } else {
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
  }
  return sched_setaffinity(pid, sizeof set, &set) == 0;
}

// A process of this machine that is a PostgreSQL backend (its title starts "postgres: "); a pid
// that a remote server answered would name some unrelated local process, or none.
bool IsLocalBackend(std::int64_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/cmdline");
  std::string title;
  std::getline(f, title, '\0');
  return title.rfind("postgres: ", 0) == 0;
}

// The client backends of the server's database (the module's connections and the floor's), or
// nothing when one of them is not a process of this machine.
std::optional<std::vector<pid_t>> Backends(Connection& admin) {
  auto rs = admin.Query(
      "SELECT pid FROM pg_stat_activity WHERE backend_type = 'client backend' AND datname = "
      "current_database() AND pid <> pg_backend_pid()");
  std::vector<pid_t> pids;
  for (std::size_t i = 0; i < rs.size(); ++i) {
    std::int64_t pid = rs[i].Int64("pid");
    if (!IsLocalBackend(pid)) return std::nullopt;
    pids.push_back(static_cast<pid_t>(pid));
  }
  return pids;
}

bool PinBackends(Connection& admin, int cpu) {
  auto pids = Backends(admin);
  if (!pids) return false;
  for (pid_t pid : *pids)
    if (!PinProcess(pid, cpu)) return false;
  return true;
}

// CPU seconds (user and system) a process has used; 0 when it is gone.
double ProcessCpuSeconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  double ticks = 0;
  // After the name: state is field 3, utime 14, stime 15.
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ProgramCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// ---------------------------------------------------------------------------------------------
// Measurements.

struct Tally {
  std::vector<double> rates;  // documents per second, one per timed batch
  std::int64_t docs = 0, statements = 0, waits = 0;
  double program_cpu = 0, server_cpu = 0;  // seconds

  double Median() const {
    std::vector<double> r = rates;
    std::sort(r.begin(), r.end());
    std::size_t n = r.size();
    return n % 2 ? r[n / 2] : (r[n / 2 - 1] + r[n / 2]) / 2;
  }
  double Min() const { return *std::min_element(rates.begin(), rates.end()); }
  double Max() const { return *std::max_element(rates.begin(), rates.end()); }
  double StatementsPer() const { return double(statements) / double(docs); }
  double WaitsPer() const { return double(waits) / double(docs); }
};

// One database under measurement: the module's documents and the floor's, one tally per
// placement each.
struct Target {
  const char* name;
  Workload* work;
  std::vector<Tally> module, bare;
  std::vector<std::string> books;  // the books and rows check after the measurement
  std::int64_t held_before = 0;    // documents of the kind in the database when the batches began
};

// Where the program and the server run during a batch, and what the server's backends have used.
class Machine {
 public:
  explicit Machine(Connection* admin) : admin_(admin) {}
  void Place(const Placement& p) {
    if (!PinProcess(0, p.program_cpu)) throw Error("Could not pin the program");
    if (admin_ && !PinBackends(*admin_, p.server_cpu))
      throw Error("Could not pin the server's backends");
  }
  double ServerCpuSeconds() {
    if (!admin_) return 0;
    double total = 0;
    if (auto pids = Backends(*admin_))
      for (pid_t pid : *pids) total += ProcessCpuSeconds(pid);
    return total;
  }

 private:
  Connection* admin_;
};

// Times `n` runs of `step` into `t`: wall clock, the drivers' counts, the program's CPU and the
// server's backends' CPU. Only the loop itself is inside the counts and the clock.
void TimeBatch(Tally& t, int n, const std::function<void()>& step, Machine& machine) {
  const double server_before = machine.ServerCpuSeconds();
  const db::Stats before = db::ThreadStats();
  const double cpu_before = ProgramCpuSeconds();
  const auto start = Clock::now();
  for (int i = 0; i < n; ++i) step();
  const double seconds = Seconds(start);
  const double cpu = ProgramCpuSeconds() - cpu_before;
  const db::Stats after = db::ThreadStats();
  t.server_cpu += machine.ServerCpuSeconds() - server_before;
  t.program_cpu += cpu;
  t.rates.push_back(n / seconds);
  t.docs += n;
  t.statements += after.statements - before.statements;
  t.waits += after.waits - before.waits;
}

// Round after round, every database in every placement gets a batch of the module's documents and
// a batch of floor documents, so that a change in the machine's load over the run falls on all of
// them alike.
void Measure(std::vector<Target>& targets, int docs, const std::vector<Placement>& placements,
             Machine& machine) {
  const int batch = (docs + kBatches - 1) / kBatches;
  machine.Place(placements.front());
  for (Target& t : targets) {
    t.module.assign(placements.size(), Tally{});
    t.bare.assign(placements.size(), Tally{});
    for (int i = 0; i < kWarmUp; ++i) t.work->Document();
    t.work->SyncFloor();
    for (int i = 0; i < kWarmUp; ++i) t.work->FloorDocument();
    t.held_before = t.work->Documents();
  }
  cli::Progress progress("  measuring, round", kBatches);
  for (int round = 0; round < kBatches; ++round)
    for (std::size_t p = 0; p < placements.size(); ++p)
      for (Target& t : targets) {
        progress.Step(round + 1);
        machine.Place(placements[p]);
        TimeBatch(
            t.module[p], batch, [&] { t.work->Document(); }, machine);
        t.work->SyncFloor();
        TimeBatch(
            t.bare[p], batch, [&] { t.work->FloorDocument(); }, machine);
      }
  for (Target& t : targets) t.books = t.work->Check();
}

void PrintRow(const std::string& what, const std::string& placement, const Tally& t, bool pg) {
  std::printf("  %-22s %-28s %6.0f  (%5.0f - %5.0f)  %7.1f  %6.1f  %7.2f", what.c_str(),
              placement.c_str(), t.Median(), t.Min(), t.Max(), t.StatementsPer(), t.WaitsPer(),
              1000 * t.program_cpu / double(t.docs));
  if (pg)
    std::printf("  %7.2f\n", 1000 * t.server_cpu / double(t.docs));
  else
    std::printf("  %7s\n", "-");
}

void PrintBooks(const Kind& kind, const Target& t) {
  if (t.books.empty()) {
    std::printf("  books and rows check, %s database: the books hold, every %s has its rows\n",
                t.name, kind.singular);
    return;
  }
  std::printf("  books and rows check, %s database: %zu problem(s), first: %s\n", t.name,
              t.books.size(), t.books.front().c_str());
}

// Grows a database as a live one grows, one transaction per document, then checkpoints it and
// refreshes its statistics.
void Load(BenchDb& db, Workload& work, int documents, const char* name) {
  auto start = Clock::now();
  work.SyncFloor();
  {
    cli::Progress progress(std::string("  loading the ") + name + " database", documents);
    for (int i = 0; i < documents; ++i) {
      work.FloorDocument();
      progress.Step(i + 1);
    }
  }
  const double load_s = Seconds(start);
  start = Clock::now();
  db.Maintain();
  std::printf(
      "  %s database: %d documents loaded in %.1f s (%.0f/s), one transaction each;\n    then "
      "%s in %.1f s\n",
      name, documents, load_s, documents / load_s,
      db.pg ? "CHECKPOINT and VACUUM ANALYZE" : "wal_checkpoint(TRUNCATE) and ANALYZE",
      Seconds(start));
}

}  // namespace

struct EngineResult {
  const Kind* kind;
  std::string engine;
  std::vector<Placement> placements;
  std::vector<Target> targets;  // fresh, then 100x; their databases are gone once printed
};

namespace {

std::unique_ptr<EngineResult> RunEngine(const Kind& kind, bool pg, int docs) {
  auto result = std::make_unique<EngineResult>();
  EngineResult& r = *result;
  r.kind = &kind;
  r.engine = pg ? "PostgreSQL" : "SQLite";
  const auto engine_start = Clock::now();
  std::unique_ptr<Connection> admin;

  if (pg) {
    admin = std::make_unique<Connection>(PgServer());
    auto rs = admin->Query(
        "SELECT current_setting('server_version') AS V, current_setting('fsync') AS F, "
        "current_setting('synchronous_commit') AS S, current_setting('autovacuum') AS A");
    Row s = rs.front();
    std::printf("\n== %s on PostgreSQL %s (fsync=%s, synchronous_commit=%s, autovacuum=%s) ==\n",
                kind.plural, s.Text("V").c_str(), s.Text("F").c_str(), s.Text("S").c_str(),
                s.Text("A").c_str());
    const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    const bool can_pin = cpus >= 2 && PinProcess(0, -1) && PinBackends(*admin, -1);
    if (can_pin) {
      r.placements = {{"one CPU (both on 0)", 0, 0}, {"two CPUs (prog 0, server 1)", 0, 1}};
      std::printf(
          "  CPUs: the program and the server's client backends share CPU 0, or the program runs "
          "on\n  CPU 0 and the backends on CPU 1; the server's background processes are not "
          "pinned\n");
    } else {
      r.placements = {{"not pinned", -1, -1}};
      std::printf("  CPUs: not pinned (%s); the program and the server may share a CPU\n",
                  cpus < 2 ? "one CPU online" : "the server's backends cannot be pinned from here");
    }
  } else {
    r.placements = {{"in-process", -1, -1}};
  }
  Machine machine(admin.get());

  BenchDb fresh(pg);
  if (!pg) {
    auto v = fresh.conn->Query("SELECT sqlite_version() AS V");
    auto j = fresh.conn->Query("PRAGMA journal_mode");
    auto s = fresh.conn->Query("PRAGMA synchronous");
    std::printf("\n== %s on SQLite %s (files in %s, journal_mode=%s, synchronous=%s) ==\n",
                kind.plural, v.front().Text("V").c_str(),
                std::filesystem::path(fresh.path).parent_path().c_str(),
                j.front().Text("journal_mode").c_str(), s.front().Text("synchronous").c_str());
  }
  auto fresh_work = kind.open(fresh);
  Load(fresh, *fresh_work, docs, "fresh");
  BenchDb grown(pg);
  auto grown_work = kind.open(grown);
  Load(grown, *grown_work, docs * kGrowth, "100x");

  r.targets = {{"fresh", fresh_work.get(), {}, {}, {}, 0},
               {"100x", grown_work.get(), {}, {}, {}, 0}};
  Measure(r.targets, docs, r.placements, machine);
  PinProcess(0, -1);

  const int batch = (docs + kBatches - 1) / kBatches;
  std::printf(
      "  %d rounds of timed batches of %d, fresh and 100x database, %s and floor, taking "
      "turns;\n  the databases held %lld and %lld %s when the batches began\n\n",
      kBatches, batch, kind.plural, static_cast<long long>(r.targets[0].held_before),
      static_cast<long long>(r.targets[1].held_before), kind.plural);
  std::printf("  %-22s %-28s %6s  %-15s  %7s  %6s  %7s  %7s\n", "", "CPUs", "docs/s",
              "(batches min-max)", "stmts", "waits", "CPU ms", "server");
  std::printf("  %-22s %-28s %6s  %-15s  %7s  %6s  %7s  %7s\n", "", "", "median", "", "/doc",
              "/doc", "/doc", "CPU ms");
  for (std::size_t p = 0; p < r.placements.size(); ++p) {
    for (const Target& t : r.targets)
      PrintRow(std::string(kind.plural) + ", " + t.name, r.placements[p].name, t.module[p], pg);
    for (const Target& t : r.targets)
      PrintRow(std::string("floor, ") + t.name, r.placements[p].name, t.bare[p], pg);
  }
  std::printf("\n");
  for (std::size_t p = 0; p < r.placements.size(); ++p)
    std::printf("  %s: %s at %.0f%% (fresh) and %.0f%% (100x) of the floor's rate\n",
                r.placements[p].name.c_str(), kind.plural,
                100 * r.targets[0].module[p].Median() / r.targets[0].bare[p].Median(),
                100 * r.targets[1].module[p].Median() / r.targets[1].bare[p].Median());
  for (const Target& t : r.targets) PrintBooks(kind, t);
  std::printf("  %s took %.0f s; load average now %s\n", r.engine.c_str(), Seconds(engine_start),
              LoadAverage().c_str());
  for (Target& t : r.targets) t.work = nullptr;
  return result;
}

void PrintGoal(const std::string& what, const std::string& measured, const std::string& goal,
               bool met) {
  std::printf("  %-72s %8s  %-9s %s\n", what.c_str(), measured.c_str(), goal.c_str(),
              met ? "met" : "MISSED");
}

}  // namespace

Results::Results() = default;
Results::~Results() = default;

void Results::Run(const Kind& kind, int docs) {
  const int measured = (docs + kBatches - 1) / kBatches * kBatches;
  std::printf(
      "\n%s; %d per measurement;\nthe fresh database holds %d documents first, the 100x "
      "database %d. %ld CPUs online; load average %s\n",
      kind.title, measured, docs, docs * kGrowth, sysconf(_SC_NPROCESSORS_ONLN),
      LoadAverage().c_str());
  std::printf("The floor: %s\n", kind.floor);
  results_.push_back(RunEngine(kind, false, docs));
  if (PgServer())
    results_.push_back(RunEngine(kind, true, docs));
  else
    std::printf("\nPostgreSQL skipped: QLNSALES_BENCH_PG is not set\n");
}

void Results::PrintGoals() const {
  std::printf("\n== Goals (measured vs goal) ==\n");
  for (const auto& result : results_) {
    const EngineResult& r = *result;
    const Goals& goals = r.kind->goals;
    const std::string what = r.engine + ": " + r.kind->plural;
    // Counts over every timed document of the engine, fresh and 100x, every placement.
    Tally all;
    for (const Target& target : r.targets)
      for (const Tally& t : target.module) {
        all.docs += t.docs;
        all.statements += t.statements;
        all.waits += t.waits;
      }
    if (goals.statements)
      PrintGoal(what + ", statements per " + r.kind->singular, Format("%.1f", all.StatementsPer()),
                Format("<= %.0f", *goals.statements), all.StatementsPer() <= *goals.statements);
    if (goals.waits && r.engine == "PostgreSQL")
      PrintGoal(what + ", waits per " + r.kind->singular, Format("%.1f", all.WaitsPer()),
                Format("<= %.0f", *goals.waits), all.WaitsPer() <= *goals.waits);
    const double goal = r.engine == "PostgreSQL" ? goals.postgres_rate : goals.sqlite_rate;
    for (std::size_t p = 0; p < r.placements.size(); ++p) {
      const std::string where = what + ", " + r.placements[p].name;
      const double fresh = r.targets[0].module[p].Median();
      const double grown = r.targets[1].module[p].Median();
      PrintGoal(where + ": per s, fresh", Format("%.1f", fresh), Format(">= %.0f", goal),
                fresh >= goal);
      PrintGoal(where + ": per s, 100x", Format("%.1f", grown), Format(">= %.0f", goal),
                grown >= goal);
      const double change = grown / fresh - 1;
      // Faster on the larger database by more than the margin is no gain: it is noise.
      PrintGoal(where + ": 100x vs fresh", Format("%+.1f%%", 100 * change),
                Format("+-%.0f%%", 100 * goals.growth), std::abs(change) <= goals.growth);
    }
  }
}

}  // namespace qlnsales::bench
