// A call is one unit of work: a refused stock-out leaves nothing, a caller's own transaction keeps
// the caller's rows and takes the call's with it, concurrent users draw gapless numbers, and a
// document processed by someone else in the meantime is not processed twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "db/record.h"
#include "db/unit_of_work.h"
#include "qlnsales/customer.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/sales_order.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/faulty_driver.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

using Lines = std::vector<std::vector<std::pair<int, std::string>>>;

class UnitOfWorkTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    FaultyDriver::Install();
    conn = std::make_shared<Connection>(cs);
    Connection::ClearPool();
  }
  void TearDown() override {
    FaultyDriver::Uninstall();
    DbTest::TearDown();
  }

  // A local-currency direct delivery on `c` with the given grid lines.
  static DirectDelivery MakeDirect(const std::string& connection_string, const ConnectionRef& c,
                                   const Lines& lines) {
    auto g = std::make_shared<MemoryGrid>(static_cast<int>(lines.size()) + 2, 19);
    for (std::size_t r = 0; r < lines.size(); ++r)
      for (auto& [col, text] : lines[r]) g->SetTextMatrix(static_cast<int>(r) + 1, col, text);
    DirectDelivery d;
    d.ADOConnectionString = connection_string;
    d.AdoDBConnectionObject = c;
    d.DeliveryGridName = g;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DDL";
    d.StockMovementPrefix = "DDL";
    d.CustomerCode = "01C002";
    d.CustomerName = "Harbour Marine Supplies";
    d.PaymentType = "Credit";
    d.CurrencyCode = "BHD";
    d.DirectDeliveryDate = d.DirectDeliveryEndDate = Date::FromYmd(2026, 12, 5);
    d.DirectDeliverySubtotal = d.DirectDeliveryTotalAmount = 100;
    d.LastUpdate = Date::FromYmd(2026, 12, 5);
    d.OnlineFlag = true;
    return d;
  }
  DirectDelivery MakeDirect(const Lines& lines) { return MakeDirect(cs, conn, lines); }

  static std::vector<std::pair<int, std::string>> Lamps(const std::string& qty) {
    return {{1, "P300"}, {2, "Desk Lamp"}, {4, "Pcs"}, {5, "1"}, {6, qty},
            {11, "45"},  {14, "Showroom"}, {17, "2"},  {18, "0"}};
  }
  static std::vector<std::pair<int, std::string>> Cartridges(const std::string& qty) {
    return {{1, "P200"}, {2, "Ink Cartridge"}, {4, "Pcs"}, {5, "1"}, {6, qty},
            {11, "10"},  {14, "Location1"},    {17, "1"},  {18, "0"}};
  }

  double Stock(const char* item) {
    return Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = ?", {item}).ToDouble();
  }
  double NextNo(const char* prefix, const char* column = "Document_Next_No") {
    return Scalar("SELECT " + std::string(column) +
                      " FROM Document_Prefix WHERE Company_Prefix = '01' AND Branch_Prefix = '01' "
                      "AND Document_Prefix = ?",
                  {prefix})
        .ToDouble();
  }
  std::vector<std::string> Books() { return services::CheckBooks(*conn); }
};

TEST_F(UnitOfWorkTest, AShortStockLeavesNothingUntilTheStockArrives) {
  // One line, 100 lamps with 8 in stock.
  DirectDelivery d = MakeDirect({Lamps("100")});
  ASSERT_TRUE(d.Create_Direct_Delivery()) << d.ErrDesc();
  ASSERT_EQ(d.DirectDeliveryNo, "0101DDLTMP1");
  const double next = NextNo("DDL");
  TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(d.Process_Direct_Delivery());
  EXPECT_EQ(d.ErrDesc(), "Not enough stock of 01P300: 8 in hand, 100 wanted.");
  EXPECT_EQ(d.DirectDeliveryNo, "0101DDLTMP1");
  EXPECT_EQ(d.DirectDeliveryIdentity, 1);
  EXPECT_EQ(NextNo("DDL"), next);
  EXPECT_EQ(Count("Direct_Delivery_Master",
                  "Direct_Delivery_No = '0101DDLTMP1' AND "
                  "Processed_Flag = 0"),
            1);
  EXPECT_EQ(Count("Direct_Delivery_Detail", "Direct_Delivery_No = '0101DDLTMP1'"), 1);
  EXPECT_EQ(Count("General_Ledger"), 0);
  EXPECT_EQ(Count("Stock_Movement", "Document_Type = 'OUT'"), 0);
  EXPECT_EQ(Stock("01P300"), 8);
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");

  // Two lines: cartridges in stock, then the lamps short. Nothing of the cartridges is posted.
  DirectDelivery two = MakeDirect({Cartridges("5"), Lamps("100")});
  ASSERT_TRUE(two.Create_Direct_Delivery()) << two.ErrDesc();
  const std::string temporary = two.DirectDeliveryNo;
  before = TakeSnapshot(*conn);
  EXPECT_FALSE(two.Process_Direct_Delivery());
  EXPECT_EQ(two.ErrDesc(), "Not enough stock of 01P300: 8 in hand, 100 wanted.");
  EXPECT_EQ(two.DirectDeliveryNo, temporary);
  EXPECT_EQ(Stock("01P200"), 50);
  EXPECT_EQ(
      Scalar("SELECT Quantity FROM Location_Stock WHERE Item_Code = '01P200' AND Location_ID = 1")
          .ToDouble(),
      40);
  EXPECT_EQ(Count("General_Ledger"), 0);
  EXPECT_EQ(Count("Stock_Movement", "Document_Type = 'OUT'"), 0);
  EXPECT_EQ(Count("Direct_Delivery_Detail", "Inventory_Value <> 0"), 0);
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  EXPECT_EQ(Books(), std::vector<std::string>{});

  // The lamps arrive: the same objects process, numbered 1 and 2 in the order they succeed.
  refdata::AddOpeningStock(*conn, "01", "01", "01P300", 2, 200, 30);
  ASSERT_TRUE(two.Process_Direct_Delivery()) << two.ErrDesc();
  EXPECT_EQ(two.DirectDeliveryNo, "0101DDL1");
  ASSERT_TRUE(d.Process_Direct_Delivery()) << d.ErrDesc();
  EXPECT_EQ(d.DirectDeliveryNo, "0101DDL2");
  EXPECT_EQ(NextNo("DDL"), next + 2);
  EXPECT_EQ(Stock("01P300"), 8);
  EXPECT_EQ(Stock("01P200"), 45);
  EXPECT_EQ(Count("Stock_Movement", "Document_Type = 'OUT'"), 3);
  EXPECT_EQ(Books(), std::vector<std::string>{});
}

TEST_F(UnitOfWorkTest, AShortLineOfADeliveryLeavesTheOrderAsItWas) {
  auto order_grid = std::make_shared<MemoryGrid>(3, 18);
  auto line = [&](int r, const char* code, const char* qty, const char* price) {
    for (auto [c, t] : std::initializer_list<std::pair<int, const char*>>{
             {1, code}, {2, code}, {4, "Pcs"}, {5, "1"}, {6, qty}, {15, price}, {17, "0"}})
      order_grid->SetTextMatrix(r, c, t);
  };
  line(1, "P100", "10", "4");
  line(2, "P300", "20", "45");
  SalesOrder o;
  o.AdoConnectionObject = conn;
  o.OrderGridName = order_grid;
  o.CompanyPrefix = "01";
  o.BranchPrefix = "01";
  o.DocumentPrefix = "SOR";
  o.CustomerCode = "01C001";
  o.CustomerName = "Gulf Traders";
  o.PaymentType = "Credit";
  o.CurrencyCode = "BHD";
  ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();

  Delivery d;
  d.ADOConnectionString = cs;
  d.AdoDBConnectionObject = conn;
  d.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
  d.CompanyPrefix = "01";
  d.BranchPrefix = "01";
  d.DocumentPrefix = "DEL";
  d.StockMovementPrefix = "DEL";
  d.SourceNo = o.SalesOrdNo;
  d.DeliveryDate = d.DeliveryEndDate = Date::FromYmd(2026, 12, 4);
  d.LastUpdate = Date::FromYmd(2026, 12, 4);
  d.OnlineFlag = true;
  ASSERT_TRUE(d.Get_Order_Details()) << d.ErrDesc();
  auto& grid = *d.DeliveryGridName;
  ASSERT_EQ(grid.Rows(), 3);
  for (int r = 1; r < grid.Rows(); ++r) {
    grid.SetTextMatrix(r, 1, "1");
    grid.SetTextMatrix(r, 20, "Location1");
    grid.SetTextMatrix(r, 21, "1");
  }
  ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
  const std::string temporary = d.DeliveryNo;

  const TableSnapshot before = TakeSnapshot(*conn);
  std::string source = "SalesOrder";
  EXPECT_FALSE(d.Process_Delivery(source));
  EXPECT_EQ(d.ErrDesc(), "Not enough stock of 01P300: 8 in hand, 20 wanted.");
  EXPECT_EQ(d.DeliveryNo, temporary);
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_Delivered_Qty <> 0"), 0);
  EXPECT_EQ(Count("Sales_Order_Master", "Delivered_Flag = 1"), 0);
  EXPECT_EQ(Stock("01P100"), 100);
  EXPECT_EQ(Stock("01P300"), 8);
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");

  // Off-line, a line whose order line has gone fails the call even though nothing is read after
  // the order is updated: the check is made before the commit, not after it.
  conn->Execute("UPDATE Sales_Order_Detail SET SL_No = SL_No + 100");
  d.OnlineFlag = false;
  EXPECT_FALSE(d.Process_Delivery(source));
  EXPECT_EQ(d.ErrDesc(), "Invalid Item Details");
  EXPECT_EQ(d.DeliveryNo, temporary);
  conn->Execute("UPDATE Sales_Order_Detail SET SL_No = SL_No - 100");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  d.OnlineFlag = true;

  refdata::AddOpeningStock(*conn, "01", "01", "01P300", 2, 12, 30);
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_EQ(d.DeliveryNo, "0101DEL1");
  EXPECT_EQ(
      Scalar("SELECT Sales_Ord_Delivered_Qty FROM Sales_Order_Detail WHERE Item_Code = '01P300'")
          .ToDouble(),
      20);
  EXPECT_EQ(
      Scalar("SELECT Sales_Ord_Delivered_Qty FROM Sales_Order_Detail WHERE Item_Code = '01P100'")
          .ToDouble(),
      10);
  EXPECT_EQ(Stock("01P100"), 90);
  EXPECT_EQ(Stock("01P300"), 0);
  EXPECT_EQ(Books(), std::vector<std::string>{});
}

TEST_F(UnitOfWorkTest, TheCallersTransactionKeepsItsRowsAndDecidesForTheCall) {
  refdata::AddOpeningStock(*conn, "01", "01", "01P300", 2, 100, 30);
  DirectDelivery short_one = MakeDirect({Cartridges("5"), Lamps("500")});
  ASSERT_TRUE(short_one.Create_Direct_Delivery()) << short_one.ErrDesc();
  const TableSnapshot start = TakeSnapshot(*conn);
  auto customer = [&](const std::string& code) {
    Customer c;
    c.ConnectionString = cs;  // the call's own pooled connection, not the caller's object
    c.CompanyPrefix = "01";
    c.BranchPrefix = "01";
    c.CustomerCode = code;
    c.CustomerName = "Customer " + code;
    c.CustomerCurrencyCode = c.CurrencyCode = "BHD";
    return c;
  };
  auto caller_row = [&] {
    conn->Execute(
        "INSERT INTO Customer_Master (Customer_Code, Customer_Name) VALUES ('01X900', 'Caller')");
  };
  Connection other(cs);  // sees committed rows only

  // Calls that succeed inside the caller's transaction are undone by its rollback.
  conn->BeginTrans();
  caller_row();
  Customer made = customer("01C500");
  FaultyDriver::Disarm();
  ASSERT_TRUE(made.Create_Customer()) << made.ErrDesc();
  const std::int64_t create_statements = FaultyDriver::Statements();
  DirectDelivery fine = MakeDirect({Cartridges("2")});
  ASSERT_TRUE(fine.Create_Direct_Delivery()) << fine.ErrDesc();
  ASSERT_TRUE(fine.Process_Direct_Delivery()) << fine.ErrDesc();
  EXPECT_EQ(fine.DirectDeliveryNo, "0101DDL1");
  EXPECT_TRUE(conn->InTransaction());
  EXPECT_EQ(Count("Customer_Master", "Customer_Code IN ('01X900', '01C500')"), 2);
  EXPECT_EQ(Count("Direct_Delivery_Master", "Direct_Delivery_No = '0101DDL1'"), 1);
  EXPECT_TRUE(other.Query("SELECT 1 FROM Customer_Master WHERE Customer_Code = '01C500'").empty());
  EXPECT_TRUE(
      other.Query("SELECT 1 FROM Direct_Delivery_Master WHERE Direct_Delivery_No = '0101DDL1'")
          .empty());
  conn->RollbackTrans();
  EXPECT_EQ(SnapshotDiff(start, TakeSnapshot(*conn)), "");

  // Calls that fail inside the caller's transaction leave the caller's own row in it, and only
  // that row reaches the database when the caller commits.
  conn->BeginTrans();
  caller_row();
  Customer failed = customer("01C501");
  FaultyDriver::Arm(create_statements);  // its last statement: the end of its savepoint
  EXPECT_FALSE(failed.Create_Customer());
  FaultyDriver::Disarm();
  EXPECT_EQ(failed.ErrDesc(), FaultyDriver::Message(create_statements));
  EXPECT_FALSE(short_one.Process_Direct_Delivery());
  EXPECT_EQ(short_one.ErrDesc(), "Not enough stock of 01P300: 108 in hand, 500 wanted.");
  EXPECT_EQ(short_one.DirectDeliveryNo, "0101DDLTMP1");
  EXPECT_TRUE(conn->InTransaction());
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = '01X900'"), 1);
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = '01C501'"), 0);
  EXPECT_EQ(Count("Customer_Master_Balance", "Customer_Code = '01C501'"), 0);
  EXPECT_EQ(Count("Direct_Delivery_Master", "Processed_Flag = 1"), 0);
  EXPECT_EQ(Count("General_Ledger"), 0);
  EXPECT_EQ(Stock("01P200"), 50);
  EXPECT_EQ(NextNo("DDL"), 1);
  conn->CommitTrans();
  EXPECT_FALSE(other.Query("SELECT 1 FROM Customer_Master WHERE Customer_Code = '01X900'").empty());
  conn->Execute("DELETE FROM Customer_Master WHERE Customer_Code = '01X900'");
  EXPECT_EQ(SnapshotDiff(start, TakeSnapshot(*conn)), "");

  // Outside a transaction of the caller's the same objects complete.
  ASSERT_TRUE(failed.Create_Customer()) << failed.ErrDesc();
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = '01C501'"), 1);
  EXPECT_EQ(Books(), std::vector<std::string>{});
}

TEST_F(UnitOfWorkTest, ConcurrentUsersNumberOneSeriesWithoutGapsOrDuplicates) {
  const int threads = UsingPostgres() ? 4 : 2;
  constexpr int kEach = 50;
  refdata::AddOpeningStock(*conn, "01", "01", "01P300", 2, 10000, 30);
  refdata::AddOpeningStock(*conn, "01", "01", "01P200", 1, 10000, 12);
  const double lamps = Stock("01P300"), cartridges = Stock("01P200");

  std::mutex mutex;
  std::vector<std::string> failures, numbers;
  auto user = [&](int id) {
    std::vector<std::string> mine, wrong;
    try {
      // A connection belongs to the thread that opened it.
      auto own = std::make_shared<Connection>(cs);
      for (int i = 0; i < kEach; ++i) {
        DirectDelivery d = MakeDirect(cs, own, {Lamps("1"), Cartridges("2"), {{2, "Setup"}}});
        d.DirectDeliveryComments = "user " + std::to_string(id);
        if (!d.Create_Direct_Delivery()) {
          wrong.push_back("create: " + d.ErrDesc());
          continue;
        }
        if (!d.Process_Direct_Delivery()) {
          wrong.push_back("process " + d.DirectDeliveryNo + ": " + d.ErrDesc());
          continue;
        }
        mine.push_back(d.DirectDeliveryNo);
      }
    } catch (const std::exception& e) {
      wrong.push_back(std::string("thrown: ") + e.what());
    }
    Connection::ClearPool();
    std::lock_guard lock(mutex);
    failures.insert(failures.end(), wrong.begin(), wrong.end());
    numbers.insert(numbers.end(), mine.begin(), mine.end());
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(user, t);
  for (auto& t : pool) t.join();

  EXPECT_EQ(failures, std::vector<std::string>{});
  const int total = threads * kEach;
  std::set<std::string> expected;
  for (int i = 1; i <= total; ++i) expected.insert("0101DDL" + std::to_string(i));
  std::multiset<std::string> got(numbers.begin(), numbers.end());
  EXPECT_EQ(std::set<std::string>(numbers.begin(), numbers.end()), expected);
  EXPECT_EQ(got.size(), expected.size());  // no number handed out twice
  // The rows say the same: every master final and processed, each with its three lines.
  EXPECT_EQ(Count("Direct_Delivery_Master", "Processed_Flag = 1"), total);
  EXPECT_EQ(Count("Direct_Delivery_Master"), total);
  EXPECT_EQ(Count("Direct_Delivery_Master", "Direct_Delivery_No LIKE '%TMP%'"), 0);
  EXPECT_EQ(Count("Direct_Delivery_Master",
                  "Direct_Delivery_Identity > ? OR "
                  "Direct_Delivery_Identity < 1",
                  {Value(total)}),
            0);
  // No master without its lines, no lines without their master.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Direct_Delivery_Master M WHERE NOT EXISTS (SELECT 1 FROM "
                   "Direct_Delivery_Detail D WHERE D.Direct_Delivery_No = M.Direct_Delivery_No)")
                .ToInt64(),
            0);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Direct_Delivery_Detail D WHERE NOT EXISTS (SELECT 1 FROM "
                   "Direct_Delivery_Master M WHERE D.Direct_Delivery_No = M.Direct_Delivery_No)")
                .ToInt64(),
            0);
  EXPECT_EQ(Count("Direct_Delivery_Detail"), 3 * total);
  EXPECT_EQ(Scalar("SELECT COUNT(DISTINCT SL_No) FROM Direct_Delivery_Detail").ToInt64(),
            3 * total);
  EXPECT_EQ(NextNo("DDL"), total + 1);
  EXPECT_EQ(NextNo("DDL", "Document_Temp_Next_No"), total + 1);
  EXPECT_EQ(Stock("01P300"), lamps - total);
  EXPECT_EQ(Stock("01P200"), cartridges - 2 * total);
  EXPECT_EQ(Books(), std::vector<std::string>{});
}

// Users saving in series of their own do not queue on one counter: their lines still never
// share a serial.
TEST_F(UnitOfWorkTest, ConcurrentSavesInSeveralSeriesDrawDistinctLineSerials) {
  const int threads = UsingPostgres() ? 4 : 2;
  constexpr int kEach = 50;
  std::mutex mutex;
  std::vector<std::string> failures;
  auto user = [&](int id) {
    std::vector<std::string> wrong;
    try {
      auto own = std::make_shared<Connection>(cs);
      for (int i = 0; i < kEach; ++i) {
        DirectDelivery d = MakeDirect(cs, own, {Lamps("1"), Cartridges("2"), {{2, "Setup"}}});
        d.DocumentPrefix = std::string("DD") + static_cast<char>('A' + id);
        if (!d.Create_Direct_Delivery()) wrong.push_back("create: " + d.ErrDesc());
      }
    } catch (const std::exception& e) {
      wrong.push_back(std::string("thrown: ") + e.what());
    }
    Connection::ClearPool();
    std::lock_guard lock(mutex);
    failures.insert(failures.end(), wrong.begin(), wrong.end());
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(user, t);
  for (auto& t : pool) t.join();

  EXPECT_EQ(failures, std::vector<std::string>{});
  const int total = threads * kEach;
  EXPECT_EQ(Count("Direct_Delivery_Detail"), 3 * total);
  EXPECT_EQ(Scalar("SELECT COUNT(DISTINCT SL_No) FROM Direct_Delivery_Detail").ToInt64(),
            3 * total);
  for (int t = 0; t < threads; ++t) {
    const std::string series = std::string("0101DD") + static_cast<char>('A' + t) + "TMP";
    EXPECT_EQ(Count("Direct_Delivery_Master", "Direct_Delivery_No LIKE ?", {series + "%"}), kEach)
        << series;
    EXPECT_EQ(
        Count("Direct_Delivery_Master", "Direct_Delivery_No = ?", {series + std::to_string(kEach)}),
        1)
        << series;
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Direct_Delivery_Master M WHERE NOT EXISTS (SELECT 1 FROM "
                   "Direct_Delivery_Detail D WHERE D.Direct_Delivery_No = M.Direct_Delivery_No)")
                .ToInt64(),
            0);
}

TEST_F(UnitOfWorkTest, ADocumentIsProcessedOnceWhenTwoUsersProcessIt) {
  refdata::AddOpeningStock(*conn, "01", "01", "01P300", 2, 100, 30);
  auto second_user = [&](const std::string& number) {
    DirectDelivery b = MakeDirect({});
    b.DirectDeliveryNo = number;
    b.DeliveryGridName = std::make_shared<MemoryGrid>(1, 19);
    return b;
  };
  auto expect_processed_once = [&](const std::string& temporary, const std::string& final_no) {
    EXPECT_EQ(Count("Direct_Delivery_Master", "Direct_Delivery_No = ?", {temporary}), 0);
    EXPECT_EQ(Count("Direct_Delivery_Detail", "Direct_Delivery_No = ?", {temporary}), 0);
    EXPECT_EQ(Count("Direct_Delivery_Master", "Direct_Delivery_No = ? AND Processed_Flag = 1",
                    {final_no}),
              1);
    EXPECT_EQ(Count("Direct_Delivery_Detail", "Direct_Delivery_No = ?", {final_no}), 2);
    EXPECT_EQ(Count("Stock_Movement", "Document_No = ?", {final_no}), 2);
  };

  // One after the other: the second user finds the temporary number gone.
  DirectDelivery a = MakeDirect({Lamps("2"), Cartridges("1")});
  ASSERT_TRUE(a.Create_Direct_Delivery()) << a.ErrDesc();
  const std::string first_temporary = a.DirectDeliveryNo;
  DirectDelivery b = second_user(first_temporary);
  ASSERT_TRUE(a.Process_Direct_Delivery()) << a.ErrDesc();
  EXPECT_EQ(a.DirectDeliveryNo, "0101DDL1");
  TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(b.Process_Direct_Delivery());
  EXPECT_EQ(b.ErrDesc(), "Invalid Delivery No");
  EXPECT_EQ(b.DirectDeliveryNo, first_temporary);
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  expect_processed_once(first_temporary, "0101DDL1");

  // Interleaved: the second user has read the document as temporary when the first processes it;
  // its renumbering then finds no row to change and it fails, having drawn and used nothing.
  DirectDelivery c = MakeDirect({Lamps("2"), Cartridges("1")});
  ASSERT_TRUE(c.Create_Direct_Delivery()) << c.ErrDesc();
  const std::string temporary = c.DirectDeliveryNo;
  DirectDelivery d = second_user(temporary);
  std::string first_result;
  FaultyDriver::BeforeNextUnit([&] {
    std::thread first([&] {
      auto own = std::make_shared<Connection>(cs);
      DirectDelivery x = MakeDirect(cs, own, {});
      x.DirectDeliveryNo = temporary;
      x.DeliveryGridName = std::make_shared<MemoryGrid>(1, 19);
      first_result = x.Process_Direct_Delivery() ? x.DirectDeliveryNo : "failed: " + x.ErrDesc();
      Connection::ClearPool();
    });
    first.join();
  });
  EXPECT_FALSE(d.Process_Direct_Delivery());
  EXPECT_EQ(first_result, "0101DDL2");
  EXPECT_EQ(d.ErrDesc(), "Invalid Delivery No");
  EXPECT_EQ(d.DirectDeliveryNo, temporary);
  expect_processed_once(temporary, "0101DDL2");
  EXPECT_EQ(Count("Direct_Delivery_Master", "Direct_Delivery_No = '0101DDL3'"), 0);
  EXPECT_EQ(NextNo("DDL"), 3);
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101DDL3'"), 0);
  EXPECT_EQ(Stock("01P300"), 108 - 4);
  EXPECT_EQ(Books(), std::vector<std::string>{});
}

// Within a call a cached row follows the call's own writes, whatever their form, and every
// write (a WITH ... UPDATE too) is the call's, undone with it.
TEST_F(UnitOfWorkTest, CachedRowsFollowTheCallsOwnWritesAndEveryWriteIsUndone) {
  {
    db::UnitOfWork::Scope unit;
    auto symbol = [&] {
      auto rs = conn->CachedRow("Currency_Master", "Currency_Code", Value("USD"));
      return rs.empty() ? std::string("(none)") : rs.front().Text("Currency_Symbol");
    };
    EXPECT_EQ(symbol(), "$");
    conn->ExecuteDeferred(
        "INSERT INTO Currency_Master (Currency_Code, Currency_Symbol) VALUES (?, ?) ON CONFLICT "
        "(Currency_Code) DO UPDATE SET Currency_Symbol = excluded.Currency_Symbol",
        {Value("USD"), Value("US$")});
    EXPECT_EQ(symbol(), "US$");
    conn->Execute(
        "WITH x AS (SELECT 1 AS One) UPDATE Currency_Master SET Currency_Symbol = ? WHERE "
        "Currency_Code = ?",
        {Value("U$"), Value("USD")});
    EXPECT_EQ(symbol(), "U$");
    conn->ExecuteDeferred(
        "DELETE FROM Currency_Master WHERE (Last_Update IS NULL OR Last_Update IS NOT NULL) AND "
        "Currency_Code = ?",
        {Value("USD")});
    EXPECT_EQ(symbol(), "(none)");
    EXPECT_FALSE(unit.Finish(false));
  }
  EXPECT_EQ(
      Scalar("SELECT Currency_Symbol FROM Currency_Master WHERE Currency_Code = 'USD'").ToText(),
      "$");
}

}  // namespace
}  // namespace qlnsales::testing
