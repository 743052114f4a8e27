// Throughput of deliveries of 10 stock lines, each saved (Create_Delivery from a sales order) and
// processed on-line (Process_Delivery), on SQLite (a file in WAL mode) and, when
// QLNSALES_BENCH_PG names a server, on PostgreSQL. Per engine it measures:
//
//   - deliveries per second through the API, on a fresh database and on one that already holds
//     100 times more documents, each the median of several timed batches;
//   - statements and waits per delivery, from the drivers' per-thread counts (db::ThreadStats)
//     over the timed batches;
//   - the floor, in the same run and the same unit: the rows a processed delivery leaves behind
//     and the rows it changes, written by bare prepared statements straight through a driver, one
//     statement per write the module makes today and no reads, one unit of work (transaction) per
//     document; on PostgreSQL the unit's writes are pipelined.
//
// Both databases are built first: the fresh one holds as many documents as one measurement adds,
// the other 100 times as many. They grow as a live database grows: one transaction per document,
// written by the floor's writer (the rows of a processed delivery), so that their counters, stock
// and balances are in step with what they hold and the books check passes on them. Then each is
// checkpointed and its statistics refreshed (PostgreSQL: CHECKPOINT, VACUUM ANALYZE; SQLite:
// wal_checkpoint(TRUNCATE), ANALYZE). An empty database would not do as the fresh one: PostgreSQL
// plans the prepared statements of its young tables as scans, and keeps those plans while the
// tables grow, until autovacuum first analyzes them.
//
// Round after round, each database gets a timed batch of deliveries and a timed batch of floor
// documents (in each CPU placement), so that a change in the machine's load during the run falls
// on every figure alike. Beside the rates and counts the table shows the CPU time per document of
// the program and, on PostgreSQL, of the server's client backends (read from /proc), which a busy
// machine changes less than it changes the rates. After the run, the books check and a check that
// every delivery left all its rows run on both databases.
//
// On PostgreSQL every batch runs twice: with the program and the server's client backends on one
// CPU, and with the program on CPU 0 and the backends on CPU 1. The server's background processes
// are not pinned.
//
//   QLNSALES_BENCH_DOCS   deliveries per measurement (default 500), and the documents the fresh
//                         database holds before it; the 100x database holds 100 times as many
//   QLNSALES_BENCH_PG     a libpq connection string (a local server: its backends get pinned)
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
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/convert.h"
#include "db/driver.h"
#include "db/schema.h"
#include "db/stats.h"
#include "progress.h"
#include "qlnsales/delivery.h"
#include "qlnsales/sales_order.h"
#include "sample/sample_company.h"
#include "services/books_check.h"

using namespace qlnsales;

namespace {

constexpr int kLines = 10;
constexpr int kBatches = 5;        // timed batches per measurement; the median is reported
constexpr int kGrowth = 100;       // the larger database holds this many times more documents
constexpr int kWarmUp = 5;         // untimed deliveries and floor documents before the batches
constexpr int kDefaultDocs = 500;  // deliveries per measurement

// What the module is asked to reach.
constexpr double kGoalStatements = 80;  // statements per delivery, at most
constexpr double kGoalWaits = 12;       // waits per delivery, at most
constexpr double kGoalSqliteRate = 1000;
constexpr double kGoalPostgresRate = 300;
constexpr double kGoalGrowth = 0.10;  // the 100x rate within 10% of the fresh rate

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

int Docs() {
  const char* n = std::getenv("QLNSALES_BENCH_DOCS");
  int docs = n ? std::atoi(n) : kDefaultDocs;
  return std::max(docs, kBatches);
}

const char* PgServer() {
  const char* s = std::getenv("QLNSALES_BENCH_PG");
  return s && *s ? s : nullptr;
}

std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string one, five, fifteen;
  f >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::string Format(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

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
// A database with the sample company, 10 stocked items and one sales order of 10 lines to
// deliver from.

struct BenchDb {
  bool pg;
  std::string cs, path, schema;
  ConnectionRef conn;
  std::string order_no;

  explicit BenchDb(bool postgres) : pg(postgres) {
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
      std::string item = "01B" + std::to_string(i);
      refdata::AddItem(*conn, item, "Bench item " + std::to_string(i), 0, "Pcs");
      refdata::AddOpeningStock(*conn, "01", "01", item, 1, 1e7, 1.25);
    }
    conn->CommitTrans();
    auto grid = std::make_shared<MemoryGrid>(kLines + 1, 18);
    for (int i = 1; i <= kLines; ++i) {
      grid->SetTextMatrix(i, 1, "B" + std::to_string(i));
      grid->SetTextMatrix(i, 2, "Bench item");
      grid->SetTextMatrix(i, 5, "1");
      grid->SetTextMatrix(i, 6, "10000000");
      grid->SetTextMatrix(i, 15, "2");
    }
    SalesOrder order;
    order.AdoConnectionObject = conn;
    order.OrderGridName = grid;
    order.CompanyPrefix = "01";
    order.BranchPrefix = "01";
    order.DocumentPrefix = "SOR";
    order.CustomerCode = "01C001";
    order.CustomerName = "Bench";
    order.PaymentType = "Credit";
    if (!order.Create_Order()) throw Error(order.ErrDesc());
    order_no = order.SalesOrdNo;
    location_qty = Number(kLocationQty);
    ordered_qty = Number(kOrderedQty);
  }

  ~BenchDb() {
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

  // One delivery of one piece of each line, saved and processed on-line.
  void Deliver() {
    Delivery d;
    d.AdoDBConnectionObject = conn;
    d.ADOConnectionString = cs;
    auto grid = std::make_shared<MemoryGrid>(kLines + 1, 23);
    for (int i = 1; i <= kLines; ++i) {
      for (auto [c, t] :
           std::initializer_list<std::pair<int, std::string>>{{1, "1"},
                                                              {2, "B" + std::to_string(i)},
                                                              {3, "Bench item"},
                                                              {5, "Pcs"},
                                                              {6, "1"},
                                                              {7, "1"},
                                                              {9, std::to_string(i)},
                                                              {10, "2"},
                                                              {13, "2"},
                                                              {20, "Location1"},
                                                              {21, "1"}})
        grid->SetTextMatrix(i, c, t);
    }
    d.DeliveryGridName = grid;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DEL";
    d.StockMovementPrefix = "DEL";
    d.SourceNo = order_no;
    d.SourcePrefix = "SOR";
    d.OnlineFlag = true;
    std::string source = "SalesOrder";
    if (!d.Create_Delivery(true) || !d.Process_Delivery(source)) throw Error(d.ErrDesc());
  }

  // What a live database gets now and then: its log checkpointed, its statistics refreshed.
  void Maintain() {
    if (pg) {
      conn->Execute("CHECKPOINT");
      conn->Execute("VACUUM ANALYZE");
    } else {
      conn->Query("PRAGMA wal_checkpoint(TRUNCATE)");
      conn->Execute("ANALYZE");
    }
  }

  std::int64_t Deliveries() {
    auto rs = conn->Query("SELECT COUNT(*) AS N FROM Delivery_Master");
    return rs.front().Int64("N");
  }

  // The books check, and whether every delivery (the module's and the floor's) left all its rows:
  // processed under its final number, its lines at cost, the order's delivered quantities, the
  // stock movements and ledger lines, the location stock and the branch's ordered quantity.
  std::vector<std::string> Check() {
    std::vector<std::string> problems = services::CheckBooks(*conn);
    const double n = Number("SELECT COUNT(*) AS N FROM Delivery_Master");
    auto expect = [&](const char* what, double found, double expected) {
      if (std::abs(found - expected) > 1e-6 * std::max(1.0, std::abs(expected)))
        problems.push_back(std::string(what) + ": " + Format("%.2f", found) + ", expected " +
                           Format("%.2f", expected));
    };
    expect("processed deliveries",
           Number("SELECT COUNT(*) AS N FROM Delivery_Master WHERE Processed_Flag = 1 AND "
                  "Delivery_No NOT LIKE '%TMP%'"),
           n);
    expect("lines under their delivery's number, at cost",
           Number("SELECT COUNT(*) AS N FROM Delivery_Detail D JOIN Delivery_Master M ON "
                  "M.Delivery_No = D.Delivery_No WHERE D.Inventory_Value = 1.25"),
           kLines * n);
    expect("quantity delivered on the order",
           Number("SELECT SUM(Sales_Ord_Delivered_Qty) AS N FROM Sales_Order_Detail"), kLines * n);
    expect("stock movements out",
           Number("SELECT COUNT(*) AS N FROM Stock_Movement WHERE Document_Type = 'OUT'"),
           kLines * n);
    expect("ledger lines",
           Number("SELECT COUNT(*) AS N FROM General_Ledger WHERE Document_Prefix = 'DEL'"),
           2 * kLines * n);
    expect("location stock", Number(kLocationQty), location_qty - kLines * n);
    expect("ordered quantity", Number(kOrderedQty), ordered_qty - kLines * n);
    return problems;
  }

 private:
  static constexpr const char* kLocationQty =
      "SELECT SUM(Quantity) AS N FROM Location_Stock WHERE Item_Code LIKE '01B%'";
  static constexpr const char* kOrderedQty =
      "SELECT SUM(Ordered_Qty) AS N FROM Item_Branch_Stock WHERE Item_Code LIKE '01B%'";

  double Number(const std::string& sql) {
    auto rs = conn->Query(sql);
    return rs.empty() ? 0 : rs.front().Double("N");
  }

  double location_qty = 0, ordered_qty = 0;  // before the first delivery
};

// ---------------------------------------------------------------------------------------------
// The floor: the rows of one processed delivery, written by bare prepared statements through a
// driver of its own. One statement per write that Create_Delivery and Process_Delivery make
// (the counters, the master and its lines under a temporary number, the renumbering, the order's
// delivered quantities, the item stock and the lines' cost, the stock movements, two ledger lines
// and two balance updates per line, the location and branch stock), with the same columns and
// values; none of their reads, and none of their inserts that find the row already there.
class FloorWriter {
 public:
  explicit FloorWriter(const BenchDb& db) : driver_(db::OpenDriver(db.cs)), order_no_(db.order_no) {
    auto account = driver_->Query(
        "SELECT Inventory_Account_No FROM Default_Account_Preferences WHERE Branch_Prefix = ?",
        {Value("01")});
    auto sales = driver_->Query(
        "SELECT COG_Account_No FROM Default_Sales_Preferences WHERE Branch_Prefix = ?",
        {Value("01")});
    if (account.empty() || sales.empty()) throw Error("The bench company has no preferences");
    inventory_account_ = account.front().Text("Inventory_Account_No");
    cog_account_ = sales.front().Text("COG_Account_No");
    // The stock rows a first delivery adds when they are missing; the floor's documents then only
    // change them, as every later delivery does.
    for (int i = 1; i <= kLines; ++i) {
      driver_->Execute(
          "INSERT INTO Location_Stock (Company_Prefix, Branch_Prefix, Item_Code, Location_ID, "
          "Location_Name, Item_Name, Unit_Name, Quantity) VALUES (?, ?, ?, ?, ?, ?, ?, 0) ON "
          "CONFLICT DO NOTHING",
          {Value("01"), Value("01"), Value(Item(i)), Value(1), Value("Location1"),
           Value("Bench item"), Value("Pcs")});
      driver_->Execute(
          "INSERT INTO Item_Branch_Stock (Item_Code, Branch_Prefix, Ordered_Qty) VALUES (?, ?, 0) "
          "ON CONFLICT DO NOTHING",
          {Value(Item(i)), Value("01")});
    }
  }

  // Takes the next numbers and line serials from the database, as they stand after whatever
  // wrote to it since; the floor's timed documents then draw them without reading.
  void Sync() {
    auto counters = driver_->Query(
        "SELECT COALESCE(Document_Temp_Next_No, 1) AS Temp, COALESCE(Document_Next_No, 1) AS "
        "Final FROM Document_Prefix WHERE Document_Prefix = 'DEL' AND Company_Prefix = '01' AND "
        "Branch_Prefix = '01'",
        {});
    if (counters.empty()) throw Error("The bench company has no delivery series");
    next_temp_ = counters.front().Int64("Temp");
    next_final_ = counters.front().Int64("Final");
    auto serial = driver_->Query("SELECT MAX(SL_No) AS MaxNo FROM Delivery_Detail", {});
    next_serial_ = serial.front().IsNull("MaxNo") ? 1 : serial.front().Int64("MaxNo") + 1;
  }

  void Document() {
    driver_->BeginUnit(false);
    try {
      Write();
      driver_->CommitUnit(false);
    } catch (...) {
      driver_->RollbackUnit(false);
      throw;
    }
  }

 private:
  void Write() {
    db::Driver& d = *driver_;
    const Date day{};  // the bench's deliveries carry no date: the zero date, as the module writes
    const Value stamp(convert::FormatDayMonthName(day));
    const Value none;
    const std::string temp_no = "0101DELTMP" + std::to_string(next_temp_);
    const std::int32_t temp_identity = static_cast<std::int32_t>(next_temp_++);
    const std::string final_no = "0101DEL" + std::to_string(next_final_);
    const std::int32_t final_identity = static_cast<std::int32_t>(next_final_++);
    const std::int64_t first_serial = next_serial_;
    next_serial_ += kLines;
    const double cost = 1.25, price = 2;

    // Saving: the temporary number, the master, the line serials, the lines.
    d.ExecuteDeferred(
        "UPDATE Document_Prefix SET Document_Temp_Next_No = COALESCE(Document_Temp_Next_No, 1) + "
        "1 WHERE Document_Prefix = ? AND Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("DEL"), Value("01"), Value("01")});
    d.ExecuteDeferred(
        "INSERT INTO Delivery_Master (Delivery_No, Delivery_Identity, Company_Prefix, "
        "Branch_Prefix, Document_Prefix, Foreign_Currency_Flag, Delivery_Date, Delivery_End_Date, "
        "Source_No, Source_Date, Source_Prefix, Delivery_SubTotal, Delivery_FC_SubTotal, "
        "Delivery_Disc_Amount, Delivery_FC_Disc_Amount, Delivery_Total_Amount, "
        "Delivery_FC_Total_Amount, Employee_ID, Employee_Name, Paid_Flag, Delivery_Comments, "
        "Exchange_Rate, Address_Code, Delivery_Ref_No, Last_Update) VALUES (?, ?, ?, ?, ?, ?, ?, "
        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Value(temp_no),
         Value(temp_identity),
         Value("01"),
         Value("01"),
         Value("DEL"),
         Value(false),
         Value(day),
         Value(day),
         Value(order_no_),
         Value(day),
         Value("SOR"),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         none,
         none,
         Value(false),
         none,
         Value(1.0),
         none,
         Value(" "),
         stamp});
    d.ExecuteDeferred(
        "INSERT INTO Line_Serial (Table_Name, Next_No) VALUES (?, ?) ON CONFLICT (Table_Name) DO "
        "UPDATE SET Next_No = Line_Serial.Next_No + excluded.Next_No",
        {Value("Delivery_Detail"), Value(kLines)});
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Delivery_Detail (Delivery_No, Item_Code, Item_Name, Unit_Code, Unit_Name, "
          "Period_Type, FOC_Flag, Unit_Qty, Delivery_Qty, Proj_No, Sales_Ord_Dtl_SL_No, "
          "Delivery_Dtl_Unit_Price, Delivery_Disc_Amount, Delivery_FC_Disc_Amount, "
          "Delivery_Item_Amount, Delivery_FC_Item_Amount, Delivery_Dtl_FC_Unit_Price, "
          "Sales_Ord_Balance_Qty, Location_Name, Location_ID, Last_Update, SL_No) VALUES (?, ?, "
          "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Value(temp_no),
           Value(Item(i)),
           Value("Bench item"),
           Value(0.0),
           Value("Pcs"),
           none,
           Value(0.0),
           Value(1.0),
           Value(1.0),
           Value(""),
           Value(static_cast<double>(i)),
           Value(price),
           Value(0.0),
           Value(0.0),
           Value(price),
           Value(0.0),
           Value(0.0),
           Value(0.0),
           Value("Location1"),
           Value(1.0),
           stamp,
           Value(Serial(first_serial, i))});

    // Processing: the final number, the renumbering, the order's delivered quantities.
    d.ExecuteDeferred(
        "UPDATE Document_Prefix SET Document_Next_No = COALESCE(Document_Next_No, 1) + 1 WHERE "
        "Document_Prefix = ? AND Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("DEL"), Value("01"), Value("01")});
    d.ExecuteDeferred(
        "UPDATE Delivery_Master SET Processed_Flag = ?, Delivery_No = ?, Delivery_Identity = ?, "
        "Last_Update = ? WHERE Delivery_No = ?",
        {Value(1), Value(final_no), Value(final_identity), stamp, Value(temp_no)});
    d.ExecuteDeferred(
        "UPDATE Delivery_Detail SET Delivery_No = ?, Last_Update = ? WHERE Delivery_No = ?",
        {Value(final_no), stamp, Value(temp_no)});
    d.ExecuteDeferred(
        "UPDATE Sales_Order_Master SET Delivered_Flag = ?, Last_Update = ? WHERE Sales_Ord_No = ?",
        {Value(1), stamp, Value(order_no_)});
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = Sales_Ord_Delivered_Qty + ?, "
          "Last_Update = ? WHERE Sales_Ord_No = ? AND Item_Code = ? AND SL_No = ?",
          {Value(1.0), stamp, Value(order_no_), Value(Item(i)), Value(static_cast<double>(i))});

    // The goods out of stock at cost, and the cost of each line.
    for (int i = 1; i <= kLines; ++i) {
      d.ExecuteDeferred(
          "UPDATE Item_Master SET Stock_In_Hand = Stock_In_Hand - ?, Stock_Amount = Stock_Amount "
          "- ? WHERE Item_Code = ?",
          {Value(1.0), Value(cost), Value(Item(i))});
      d.ExecuteDeferred("UPDATE Delivery_Detail SET Inventory_Value = ? WHERE SL_No = ?",
                        {Value(cost), Value(Serial(first_serial, i))});
    }
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Stock_Movement (Company_Prefix, Branch_Prefix, Document_Prefix, "
          "Document_No, Document_Date, Document_Type, Item_Code, Item_Name, Unit_Code, Unit_Name, "
          "Period_Type, FOC_Flag, Unit_Qty, Base_Qty, In_Qty, In_Amount, In_Price, Out_Qty, "
          "Out_Amount, Out_Price, Location_ID, Location_Name, Stock_Comments, Last_Update) VALUES "
          "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Value("01"), Value("01"),        Value("DEL"),   Value(final_no),
           Value(day),  Value("OUT"),       Value(Item(i)), Value("Bench item"),
           Value(0.0),  Value("Pcs"),       none,           Value(0.0),
           Value(1.0),  Value(-1.0),        Value(0.0),     Value(0.0),
           Value(0.0),  Value(1.0),         Value(cost),    Value(cost),
           Value(1),    Value("Location1"), none,           Value(day)});

    // The ledger: inventory credited, cost of goods debited, each with its account's balance.
    for (int i = 1; i <= kLines; ++i) {
      const std::string code = "B" + std::to_string(i);
      Ledger(final_no, day, inventory_account_, "Inventory Account : Item Code - " + code, 0, cost);
      Ledger(final_no, day, cog_account_, "Cost Of Goods Account : Item Code - " + code, cost, 0);
    }

    // The location's stock and the branch's ordered quantity.
    for (int i = 1; i <= kLines; ++i) {
      d.ExecuteDeferred(
          "UPDATE Location_Stock SET Quantity = Quantity + ?, Last_Update = ? WHERE Branch_Prefix "
          "= ? AND Item_Code = ? AND Location_ID = ?",
          {Value(-1.0), Value(day), Value("01"), Value(Item(i)), Value(1)});
      d.ExecuteDeferred(
          "UPDATE Item_Branch_Stock SET Ordered_Qty = Ordered_Qty + ?, Last_Update = ? WHERE "
          "Item_Code = ? AND Branch_Prefix = ?",
          {Value(-1.0), none, Value(Item(i)), Value("01")});
    }
  }

  void Ledger(const std::string& no, const Date& day, const std::string& account,
              const std::string& text, double debit, double credit) {
    driver_->ExecuteDeferred(
        "INSERT INTO General_Ledger (Document_No, Document_Prefix, GL_Date, Account_No, "
        "GL_Description, GL_Comments, Debit_Amount, Credit_Amount, FC_Debit_Amount, "
        "FC_Credit_Amount, Foreign_Currency_Flag, Currency_Code, Currency_Symbol, Last_Update) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Value(no), Value("DEL"), Value(day), Value(account), Value(text), Value(), Value(debit),
         Value(credit), Value(debit), Value(credit), Value(false), Value(), Value(), Value(day)});
    driver_->ExecuteDeferred(
        "UPDATE Chart_Of_Accounts SET Current_Balance = Current_Balance + ? WHERE Account_No = ?",
        {Value(debit - credit), Value(account)});
  }

  static std::string Item(int i) { return "01B" + std::to_string(i); }
  static std::int32_t Serial(std::int64_t first, int i) {
    return static_cast<std::int32_t>(first + i - 1);
  }

  std::unique_ptr<db::Driver> driver_;
  std::string order_no_, inventory_account_, cog_account_;
  std::int64_t next_temp_ = 1, next_final_ = 1, next_serial_ = 1;
};

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

// One database under measurement: the module's deliveries and the floor's documents, one tally
// per placement each.
struct Target {
  const char* name;
  BenchDb* db;
  FloorWriter* floor;
  std::vector<Tally> module, bare;
  std::vector<std::string> books;  // the books and rows check after the measurement
  std::int64_t held_before = 0;    // deliveries in the database when the batches began
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

// Round after round, every database in every placement gets a batch of deliveries and a batch of
// floor documents, so that a change in the machine's load over the run falls on all of them alike.
void Measure(std::vector<Target>& targets, int docs, const std::vector<Placement>& placements,
             Machine& machine) {
  const int batch = (docs + kBatches - 1) / kBatches;
  machine.Place(placements.front());
  for (Target& t : targets) {
    t.module.assign(placements.size(), Tally{});
    t.bare.assign(placements.size(), Tally{});
    for (int i = 0; i < kWarmUp; ++i) t.db->Deliver();
    t.floor->Sync();
    for (int i = 0; i < kWarmUp; ++i) t.floor->Document();
    t.held_before = t.db->Deliveries();
  }
  cli::Progress progress("  measuring, round", kBatches);
  for (int round = 0; round < kBatches; ++round)
    for (std::size_t p = 0; p < placements.size(); ++p)
      for (Target& t : targets) {
        progress.Step(round + 1);
        machine.Place(placements[p]);
        TimeBatch(
            t.module[p], batch, [&] { t.db->Deliver(); }, machine);
        t.floor->Sync();
        TimeBatch(
            t.bare[p], batch, [&] { t.floor->Document(); }, machine);
      }
  for (Target& t : targets) t.books = t.db->Check();
}

struct EngineResult {
  std::string engine;
  std::vector<Placement> placements;
  std::vector<Target> targets;  // fresh, then 100x; their databases are gone once printed
};

void PrintRow(const std::string& what, const std::string& placement, const Tally& t, bool pg) {
  std::printf("  %-18s %-28s %6.0f  (%5.0f - %5.0f)  %7.1f  %6.1f  %7.2f", what.c_str(),
              placement.c_str(), t.Median(), t.Min(), t.Max(), t.StatementsPer(), t.WaitsPer(),
              1000 * t.program_cpu / double(t.docs));
  if (pg)
    std::printf("  %7.2f\n", 1000 * t.server_cpu / double(t.docs));
  else
    std::printf("  %7s\n", "-");
}

void PrintBooks(const Target& t) {
  if (t.books.empty()) {
    std::printf(
        "  books and rows check, %s database: the books hold, every delivery has its rows\n",
        t.name);
    return;
  }
  std::printf("  books and rows check, %s database: %zu problem(s), first: %s\n", t.name,
              t.books.size(), t.books.front().c_str());
}

// Grows a database as a live one grows, one transaction per document, then checkpoints it and
// refreshes its statistics.
void Load(BenchDb& db, FloorWriter& floor, int documents, const char* name) {
  auto start = Clock::now();
  floor.Sync();
  {
    cli::Progress progress(std::string("  loading the ") + name + " database", documents);
    for (int i = 0; i < documents; ++i) {
      floor.Document();
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

EngineResult RunEngine(bool pg, int docs) {
  EngineResult r;
  r.engine = pg ? "PostgreSQL" : "SQLite";
  const auto engine_start = Clock::now();
  std::unique_ptr<Connection> admin;

  if (pg) {
    admin = std::make_unique<Connection>(PgServer());
    auto rs = admin->Query(
        "SELECT current_setting('server_version') AS V, current_setting('fsync') AS F, "
        "current_setting('synchronous_commit') AS S, current_setting('autovacuum') AS A");
    Row s = rs.front();
    std::printf("\n== PostgreSQL %s (fsync=%s, synchronous_commit=%s, autovacuum=%s) ==\n",
                s.Text("V").c_str(), s.Text("F").c_str(), s.Text("S").c_str(), s.Text("A").c_str());
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
    std::printf("\n== SQLite %s (files in %s, journal_mode=%s, synchronous=%s) ==\n",
                v.front().Text("V").c_str(),
                std::filesystem::path(fresh.path).parent_path().c_str(),
                j.front().Text("journal_mode").c_str(), s.front().Text("synchronous").c_str());
  }
  FloorWriter fresh_floor(fresh);
  Load(fresh, fresh_floor, docs, "fresh");
  BenchDb grown(pg);
  FloorWriter grown_floor(grown);
  Load(grown, grown_floor, docs * kGrowth, "100x");

  r.targets = {{"fresh", &fresh, &fresh_floor, {}, {}, {}, 0},
               {"100x", &grown, &grown_floor, {}, {}, {}, 0}};
  Measure(r.targets, docs, r.placements, machine);
  PinProcess(0, -1);

  const int batch = (docs + kBatches - 1) / kBatches;
  std::printf(
      "  %d rounds of timed batches of %d, fresh and 100x database, deliveries and floor, taking "
      "turns;\n  the databases held %lld and %lld deliveries when the batches began\n\n",
      kBatches, batch, static_cast<long long>(r.targets[0].held_before),
      static_cast<long long>(r.targets[1].held_before));
  std::printf("  %-18s %-28s %6s  %-15s  %7s  %6s  %7s  %7s\n", "", "CPUs", "docs/s",
              "(batches min-max)", "stmts", "waits", "CPU ms", "server");
  std::printf("  %-18s %-28s %6s  %-15s  %7s  %6s  %7s  %7s\n", "", "", "median", "", "/doc",
              "/doc", "/doc", "CPU ms");
  for (std::size_t p = 0; p < r.placements.size(); ++p) {
    for (const Target& t : r.targets)
      PrintRow(std::string("deliveries, ") + t.name, r.placements[p].name, t.module[p], pg);
    for (const Target& t : r.targets)
      PrintRow(std::string("floor, ") + t.name, r.placements[p].name, t.bare[p], pg);
  }
  std::printf("\n");
  for (std::size_t p = 0; p < r.placements.size(); ++p)
    std::printf("  %s: deliveries at %.0f%% (fresh) and %.0f%% (100x) of the floor's rate\n",
                r.placements[p].name.c_str(),
                100 * r.targets[0].module[p].Median() / r.targets[0].bare[p].Median(),
                100 * r.targets[1].module[p].Median() / r.targets[1].bare[p].Median());
  for (const Target& t : r.targets) PrintBooks(t);
  std::printf("  %s took %.0f s; load average now %s\n", r.engine.c_str(), Seconds(engine_start),
              LoadAverage().c_str());
  for (Target& t : r.targets) t.db = nullptr, t.floor = nullptr;
  return r;
}

void PrintGoal(const std::string& what, const std::string& measured, const std::string& goal,
               bool met) {
  std::printf("  %-64s %8s  %-9s %s\n", what.c_str(), measured.c_str(), goal.c_str(),
              met ? "met" : "MISSED");
}

void PrintGoals(const std::vector<EngineResult>& results) {
  std::printf("\n== Goals (measured vs goal) ==\n");
  for (const EngineResult& r : results) {
    // Counts over every timed delivery of the engine, fresh and 100x, every placement.
    Tally all;
    for (const Target& target : r.targets)
      for (const Tally& t : target.module) {
        all.docs += t.docs;
        all.statements += t.statements;
        all.waits += t.waits;
      }
    PrintGoal(r.engine + ": statements per delivery", Format("%.1f", all.StatementsPer()),
              Format("<= %.0f", kGoalStatements), all.StatementsPer() <= kGoalStatements);
    if (r.engine == "PostgreSQL")
      PrintGoal(r.engine + ": waits per delivery", Format("%.1f", all.WaitsPer()),
                Format("<= %.0f", kGoalWaits), all.WaitsPer() <= kGoalWaits);
  }
  for (const EngineResult& r : results) {
    const double goal = r.engine == "PostgreSQL" ? kGoalPostgresRate : kGoalSqliteRate;
    for (std::size_t p = 0; p < r.placements.size(); ++p) {
      const std::string where = r.engine + ", " + r.placements[p].name;
      const double fresh = r.targets[0].module[p].Median();
      const double grown = r.targets[1].module[p].Median();
      PrintGoal(where + ": deliveries/s, fresh", Format("%.1f", fresh), Format(">= %.0f", goal),
                fresh >= goal);
      PrintGoal(where + ": deliveries/s, 100x", Format("%.1f", grown), Format(">= %.0f", goal),
                grown >= goal);
      const double change = grown / fresh - 1;
      // Faster on the larger database by more than the margin is no gain: it is noise.
      PrintGoal(where + ": 100x vs fresh", Format("%+.1f%%", 100 * change),
                Format("+-%.0f%%", 100 * kGoalGrowth), std::abs(change) <= kGoalGrowth);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fprintf(stderr,
                 "usage: %s (no arguments; QLNSALES_BENCH_DOCS and QLNSALES_BENCH_PG set the "
                 "run)\n",
                 argv[0]);
    return 2;
  }
  try {
    const int docs = Docs();
    const auto start = Clock::now();
    std::printf(
        "Deliveries of %d stock lines saved and processed on-line; %d deliveries per "
        "measurement;\nthe fresh database holds %d documents first, the 100x database %d. %ld CPUs "
        "online; load average %s\n",
        kLines, (docs + kBatches - 1) / kBatches * kBatches, docs, docs * kGrowth,
        sysconf(_SC_NPROCESSORS_ONLN), LoadAverage().c_str());
    std::printf(
        "The floor: the same rows written by bare prepared statements through the driver, one "
        "per\nrow write and no reads, one transaction per document (pipelined on PostgreSQL).\n");
    std::vector<EngineResult> results;
    results.push_back(RunEngine(false, docs));
    if (PgServer())
      results.push_back(RunEngine(true, docs));
    else
      std::printf("\nPostgreSQL skipped: QLNSALES_BENCH_PG is not set\n");
    PrintGoals(results);
    std::printf("\nWhole run: %.0f s\n", Seconds(start));
    return 0;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "bench failed: %s\n", e.what());
    return 1;
  }
}
