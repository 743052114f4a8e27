// Throughput of saving and processing deliveries of 10 stock lines, on SQLite (a file in WAL
// mode) and, when QLNSALES_BENCH_PG names a server, on PostgreSQL. Two baselines run beside it:
// the same rows written by bare prepared statements (the floor), and the same benchmark on a
// database that already holds 100 times more documents (the cost should stay flat).
//
//   QLNSALES_BENCH_DOCS   deliveries per run (default 200 on SQLite, 50 on PostgreSQL)
//   QLNSALES_BENCH_PG     a libpq connection string
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "db/reference_data.h"
#include "db/schema.h"
#include "frame/record.h"
#include "qlnsales/delivery.h"
#include "qlnsales/sales_order.h"

using namespace qlnsales;

namespace {

constexpr int kLines = 10;

int Docs(bool pg) {
  const char* n = std::getenv("QLNSALES_BENCH_DOCS");
  return n ? std::atoi(n) : (pg ? 50 : 200);
}

const char* PgServer() {
  return std::getenv("QLNSALES_BENCH_PG");
}

struct BenchDb {
  std::string cs, path, schema;
  ConnectionRef conn;
  std::string order_no;

  explicit BenchDb(bool pg) {
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
  }

  ~BenchDb() {
    conn.reset();
    Connection::ClearPool();
    if (!schema.empty()) Connection(PgServer()).Execute("DROP SCHEMA " + schema + " CASCADE");
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

  // The rows a processed delivery leaves behind and the rows it changes, written by bare
  // prepared statements with no look-ups.
  void BareDelivery(int n) {
    const std::string no = "0101DELB" + std::to_string(n);
    const Value today(Date::Today());
    Record()
        .Set("Delivery_No", no)
        .Set("Delivery_Identity", n)
        .Set("Customer_Code", "01C001")
        .Set("Source_No", order_no)
        .Set("Processed_Flag", 1)
        .Insert(*conn, "Delivery_Master");
    for (int i = 1; i <= kLines; ++i) {
      const std::string item = "01B" + std::to_string(i);
      Record()
          .Set("SL_No", n * kLines + i + 1000000)
          .Set("Delivery_No", no)
          .Set("Item_Code", item)
          .Set("Delivery_Qty", 1.0)
          .Set("Inventory_Value", 1.25)
          .Insert(*conn, "Delivery_Detail");
      conn->Execute(
          "UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = "
          "Sales_Ord_Delivered_Qty + 1 WHERE Sales_Ord_No = ? AND SL_No = ?",
          {Value(order_no), Value(i)});
      conn->Execute(
          "UPDATE Item_Master SET Stock_In_Hand = Stock_In_Hand - 1, Stock_Amount = "
          "Stock_Amount - 1.25 WHERE Item_Code = ?",
          {Value(item)});
      Record()
          .Set("Document_No", no)
          .Set("Item_Code", item)
          .Set("Base_Qty", -1.0)
          .Set("Out_Qty", 1.0)
          .Set("Out_Amount", 1.25)
          .Insert(*conn, "Stock_Movement");
      for (const char* account : {"01011300", "01015000"}) {
        Record()
            .Set("Document_No", no)
            .Set("Account_No", account)
            .Set("Debit_Amount", 1.25)
            .Set("GL_Date", today)
            .Insert(*conn, "General_Ledger");
        conn->Execute(
            "UPDATE Chart_Of_Accounts SET Current_Balance = Current_Balance + ? WHERE "
            "Account_No = ?",
            {Value(1.25), Value(account)});
      }
      conn->Execute(
          "UPDATE Location_Stock SET Quantity = Quantity - 1 WHERE Branch_Prefix = '01' "
          "AND Item_Code = ? AND Location_ID = 1",
          {Value(item)});
      conn->Execute(
          "UPDATE Item_Branch_Stock SET Ordered_Qty = Ordered_Qty - 1 WHERE Item_Code = ?",
          {Value(item)});
    }
    conn->Execute(
        "UPDATE Document_Prefix SET Document_Next_No = Document_Next_No + 1 WHERE "
        "Document_Prefix = 'DEL' AND Company_Prefix = '01' AND Branch_Prefix = '01'");
  }

  void Prefill(int docs) {
    conn->BeginTrans();
    for (int i = 0; i < docs; ++i) BareDelivery(i + 1);
    conn->CommitTrans();
    // A live database is vacuumed and has statistics; after a bulk load that updated the same
    // few rows (counters, stock, balances) thousands of times, both are refreshed first.
    conn->Execute(conn->Engine() == db::Engine::Postgres ? "VACUUM ANALYZE" : "ANALYZE");
  }
};

void Report(benchmark::State& state, int docs) {
  state.counters["docs_per_s"] = benchmark::Counter(docs, benchmark::Counter::kIsRate);
}

void Deliveries(benchmark::State& state, bool pg, int prefill_factor) {
  const int docs = Docs(pg);
  BenchDb db(pg);
  if (prefill_factor > 0) db.Prefill(docs * prefill_factor);
  for (auto _ : state)
    for (int i = 0; i < docs; ++i) db.Deliver();
  Report(state, docs);
}

void BareStatements(benchmark::State& state, bool pg) {
  const int docs = Docs(pg);
  BenchDb db(pg);
  int n = 5000000;
  for (auto _ : state)
    for (int i = 0; i < docs; ++i) db.BareDelivery(++n);
  Report(state, docs);
}

void Register() {
  for (bool pg : {false, true}) {
    if (pg && !PgServer()) continue;
    const std::string engine = pg ? "PostgreSQL" : "SQLite";
    benchmark::RegisterBenchmark(("Deliveries/" + engine + "/fresh").c_str(),
                                 [pg](benchmark::State& s) { Deliveries(s, pg, 0); })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("Deliveries/" + engine + "/100x_documents").c_str(),
                                 [pg](benchmark::State& s) { Deliveries(s, pg, 100); })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("BareStatements/" + engine).c_str(),
                                 [pg](benchmark::State& s) { BareStatements(s, pg); })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
