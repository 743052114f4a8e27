#include <gtest/gtest.h>

#include <cmath>

#include "base/convert.h"
#include "db/record.h"
#include "db/schema.h"
#include "qlnsales/business_object.h"
#include "qlnsales/customer.h"
#include "sample/sample_company.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class ConnectionTest : public DbTest {};

TEST_F(ConnectionTest, EveryKindOfValueRoundTripsAsABoundParameter) {
  const std::string tricky = "O'Brien; DROP TABLE Currency_Master; -- \"quoted\" ?";
  Record()
      .Set("Currency_Code", tricky)
      .Set("Currency_Name", Value())
      .Set("Currency_Symbol", "€")
      .Set("Last_Update", Date::FromYmd(2026, 12, 6, 10, 30, 15))
      .Insert(*conn, "Currency_Master");
  auto rs = conn->Query("SELECT * FROM Currency_Master WHERE Currency_Code = ?", {tricky});
  ASSERT_EQ(rs.size(), 1u);
  Row r = rs.front();
  EXPECT_EQ(r.Text("currency_code"), tricky);
  EXPECT_TRUE(r.IsNull("Currency_Name"));
  EXPECT_EQ(r.Text("Currency_Name"), "");
  EXPECT_EQ(r.Text("Currency_Symbol"), "€");
  EXPECT_EQ(r.DateValue("Last_Update"), Date::FromYmd(2026, 12, 6, 10, 30, 15));
  EXPECT_EQ(Count("Currency_Master"), 3);

  Record()
      .Set("Account_No", "01019999")
      .Set("Opening_Balance", 1234.5678)
      .Set("Current_Balance", std::int64_t{42})
      .Insert(*conn, "Chart_Of_Accounts");
  auto acc = conn->Query(
      "SELECT Opening_Balance, Current_Balance FROM Chart_Of_Accounts WHERE "
      "Account_No = ?",
      {"01019999"});
  EXPECT_DOUBLE_EQ(acc.front().Double("Opening_Balance"), 1234.5678);
  EXPECT_EQ(acc.front().Double("Current_Balance"), 42);

  Record().Set("Item_Code", "01X").Set("Stock_In_Hand", 1.0).Insert(*conn, "Item_Master");
  auto item = conn->Query("SELECT * FROM Item_Master WHERE Item_Code = ?", {"01X"});
  // Columns nobody wrote: quantities start at 0, flags of documents at 0.
  EXPECT_EQ(item.front().Double("Stock_Amount"), 0);
  EXPECT_TRUE(item.front().IsNull("Item_Name"));
}

TEST_F(ConnectionTest, FlagsReadBackAsBooleansOnBothEngines) {
  Record()
      .Set("Customer_Code", "C1")
      .Set("Customer_CPRFlag", true)
      .Insert(*conn, "Customer_Master");
  auto rs = conn->Query("SELECT Customer_CPRFlag, Customer_AddressFlag FROM Customer_Master");
  EXPECT_TRUE(rs.front().Flag("Customer_CPRFlag"));
  EXPECT_FALSE(rs.front().Flag("Customer_AddressFlag"));
  EXPECT_EQ(Count("Customer_Master", "Customer_CPRFlag <> 0"), 1);
}

TEST_F(ConnectionTest, NonFiniteAmountsAreRefusedBeforeTheyAreStored) {
  EXPECT_THROW(Record()
                   .Set("Account_No", "X")
                   .Set("Opening_Balance", INFINITY)
                   .Insert(*conn, "Chart_Of_Accounts"),
               Error);
  EXPECT_THROW(conn->Execute("UPDATE Chart_Of_Accounts SET Opening_Balance = ?", {Value(NAN)}),
               Error);
  EXPECT_EQ(Count("Chart_Of_Accounts", "Account_No = ?", {"X"}), 0);
}

TEST_F(ConnectionTest, TextsHoldingANulAndDatesBeyondYear9999AreRefusedOnBothEngines) {
  // Two codes that differ only after a NUL would be one customer where the text is cut there.
  const std::string first("01C\0A", 5), second("01C\0B", 5);
  for (const auto& code : {first, second}) {
    try {
      conn->Execute("INSERT INTO Customer_Master (Customer_Code, Customer_Name) VALUES (?, ?)",
                    {code, "Nul"});
      FAIL() << "stored";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "A text holding a NUL character cannot be stored");
    }
  }
  EXPECT_EQ(Count("Customer_Master", "Customer_Name = ?", {"Nul"}), 0);
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ?", {"01C"}), 0);
  // Nor can a statement's own text hide a second one behind a NUL.
  EXPECT_THROW(conn->Execute(std::string("DELETE FROM Currency_Master WHERE 1 = 0") + '\0' +
                             "; DELETE FROM Currency_Master"),
               Error);
  EXPECT_EQ(Count("Currency_Master"), 2);

  // The same through a business object: its call fails with the message and writes nothing.
  Customer customer;
  customer.ConnectionString = cs;
  customer.CustomerCode = first;
  customer.CustomerName = "Nul Trading";
  customer.CustomerCurrencyCode = customer.CurrencyCode = "BHD";
  EXPECT_FALSE(customer.Create_Customer());
  EXPECT_EQ(customer.ErrDesc(), "A text holding a NUL character cannot be stored");
  EXPECT_EQ(Count("Customer_Master", "Customer_Name = ?", {"Nul Trading"}), 0);

  // A date whose text would not read back is refused the same way on both engines.
  const char* stamp = "UPDATE Currency_Master SET Last_Update = ?";
  auto stamps = [&] { return conn->Query("SELECT Last_Update FROM Currency_Master").rows; };
  auto before = stamps();
  EXPECT_THROW(conn->Execute(stamp, {Date::FromYmd(10000, 1, 1)}), Error);
  EXPECT_THROW(conn->Execute(stamp, {Date::FromYmd(0, 12, 31)}), Error);
  EXPECT_EQ(stamps(), before);
  conn->Execute(stamp, {Date::FromYmd(9999, 12, 31, 23, 59, 59)});
  auto last = conn->Query("SELECT Last_Update FROM Currency_Master");
  EXPECT_EQ(last.front().DateValue("Last_Update"), Date::FromYmd(9999, 12, 31, 23, 59, 59));
}

TEST_F(ConnectionTest, ProviderErrorsCarryTheEnginesOwnText) {
  try {
    conn->Query("SELECT * FROM No_Such_Table");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(convert::LCase(e.what()).find("no_such_table"), std::string::npos) << e.what();
  }
  EXPECT_THROW(conn->Query("SELECT * FROM Currency_Master WHERE Currency_Code = ?", {}), Error);
  EXPECT_THROW(Record().Set("Bad Name", 1), Error);
  EXPECT_THROW(CheckSqlName("Customer_Master;--"), Error);
  EXPECT_NO_THROW(CheckSqlName("_Table9"));
}

TEST_F(ConnectionTest, TransactionsCommitAndRollBack) {
  conn->BeginTrans();
  EXPECT_TRUE(conn->InTransaction());
  refdata::AddCurrency(*conn, "EUR", "Euro", "E");
  conn->RollbackTrans();
  EXPECT_EQ(Count("Currency_Master", "Currency_Code = ?", {"EUR"}), 0);
  conn->BeginTrans();
  refdata::AddCurrency(*conn, "EUR", "Euro", "E");
  conn->CommitTrans();
  EXPECT_FALSE(conn->InTransaction());
  EXPECT_EQ(Count("Currency_Master", "Currency_Code = ?", {"EUR"}), 1);
}

TEST_F(ConnectionTest, PreparedStatementsAreReusedAcrossManyCalls) {
  for (int i = 0; i < 200; ++i)
    conn->Execute(
        "INSERT INTO Customer_Master_Balance (Customer_Code, Company_Prefix, "
        "Branch_Prefix) VALUES (?, ?, ?)",
        {Value("C" + std::to_string(i)), Value("01"), Value("01")});
  EXPECT_EQ(Count("Customer_Master_Balance"), 200);
  EXPECT_EQ(conn->Execute("DELETE FROM Customer_Master_Balance WHERE Customer_Code LIKE ?",
                          {Value("C1%")}),
            111);

  // Long-lived connections have their statements planned again now and then (between calls):
  // the calls after that go on as before.
  auto pooled = Connection::Pooled(cs);  // the connection the customer's calls use
  for (int i = 0; i < 5200; ++i) pooled->Query("SELECT COUNT(*) AS N FROM Customer_Master_Balance");
  for (int call = 0; call < 2; ++call) {
    Customer c;
    c.AdoConnectionObject = conn;
    c.ConnectionString = cs;
    c.CustomerCode = "01R00" + std::to_string(call);
    c.CustomerName = "Replanned";
    c.CustomerCurrencyCode = "BHD";
    c.CurrencyCode = "BHD";
    ASSERT_TRUE(c.Create_Customer()) << c.ErrDesc();
  }
  EXPECT_EQ(Count("Customer_Master", "Customer_Name = 'Replanned'"), 2);
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS N FROM Customer_Master_Balance WHERE Customer_Code LIKE "
                   "'C%'")
                .ToInt64(),
            89);
}

TEST_F(ConnectionTest, ClosedAndMissingConnectionsFailWithTheProvidersText) {
  auto closed = std::make_shared<Connection>();
  EXPECT_EQ(closed->State(), 0);
  EXPECT_FALSE(connection_rule::IsOpen(nullptr));
  EXPECT_FALSE(connection_rule::StringFirstUsable("", nullptr));
  EXPECT_FALSE(connection_rule::StringFirstUsable("", closed));
  EXPECT_TRUE(connection_rule::StringFirstUsable("", conn));
  try {
    connection_rule::ObjectOnly(nullptr)->Query("SELECT 1");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Operation is not allowed when the object is closed.");
  }
  // Object-first falls back to the string; the private connection is pooled per thread.
  auto a = connection_rule::ObjectFirst(cs, closed);
  auto b = connection_rule::StringOnly(cs);
  EXPECT_EQ(a, b);
  EXPECT_EQ(connection_rule::ObjectFirst(cs, conn), conn);
  EXPECT_THROW(Connection("mysql://nowhere"), Error);
  EXPECT_THROW(Connection("sqlite:"), Error);
}

TEST_F(ConnectionTest, SchemaCreationIsVersionedAndRepeatable) {
  EXPECT_EQ(db::SchemaVersion(*conn), db::kSchemaVersion);
  auto before = Count("Currency_Master");
  db::CreateSchema(*conn);
  db::CreateSchema(*conn);
  EXPECT_EQ(Count("QLNSales_Schema"), 1);
  EXPECT_EQ(Count("Currency_Master"), before);
  EXPECT_FALSE(refdata::AddSampleCompany(*conn));
  for (const auto& table : db::SchemaTables()) EXPECT_NO_THROW(Count(table)) << table;

  // A database of version 2 gains the column its cash memo lines now keep, and no row is lost.
  Record().Set("SL_No", 1).Set("Cash_Memo_No", "0101CHM9").Insert(*conn, "Cash_Memo_Detail");
  conn->Execute("ALTER TABLE Cash_Memo_Detail DROP COLUMN Stock_Out_Qty");
  conn->Execute("ALTER TABLE Sales_Order_Master DROP COLUMN Ordered_Qty_Posted");
  conn->Execute("ALTER TABLE Sales_Return_Master DROP COLUMN Voucher_No");
  conn->Execute("UPDATE QLNSales_Schema SET Version = 2");
  db::CreateSchema(*conn);
  EXPECT_EQ(db::SchemaVersion(*conn), db::kSchemaVersion);
  EXPECT_TRUE(Scalar("SELECT Stock_Out_Qty FROM Cash_Memo_Detail WHERE SL_No = 1").IsEmpty());
  EXPECT_EQ(Count("Cash_Memo_Detail"), 1);
}

TEST_F(ConnectionTest, ADatabaseOfVersion3GainsTheInvoicingViews) {
  // Orders processed before count as on order already; a temporary one does not.
  for (const auto& [number, processed] : {std::pair{"0101SOR1", 1}, std::pair{"0101SORTMP2", 0}})
    Record()
        .Set("Sales_Ord_No", number)
        .Set("process_Flag", processed)
        .Insert(*conn, "Sales_Order_Master");
  conn->Execute("ALTER TABLE Sales_Order_Master DROP COLUMN Ordered_Qty_Posted");
  Record()
      .Set("Delivery_No", "0101DEL1")
      .Set("Delivery_Identity", 1)
      .Set("Company_Prefix", "01")
      .Set("Customer_Code", "01C001")
      .Set("Delivery_Date", Date::FromYmd(2026, 12, 4))
      .Set("Processed_Flag", 1)
      .Insert(*conn, "Delivery_Master");
  Record()
      .Set("SL_No", 1)
      .Set("Delivery_No", "0101DEL1")
      .Set("Delivery_Qty", 3.0)
      .Insert(*conn, "Delivery_Detail");
  conn->Execute("DROP VIEW DeliveriesForInvoicingBasic");
  conn->Execute("DROP VIEW qrySalesInvoiceDeatails");
  conn->Execute("ALTER TABLE Sales_Return_Master DROP COLUMN Voucher_No");
  conn->Execute("UPDATE QLNSales_Schema SET Version = 3");
  db::CreateSchema(*conn);
  EXPECT_EQ(db::SchemaVersion(*conn), db::kSchemaVersion);
  // A return keeps its credit memo's number from version 5 on.
  EXPECT_NO_THROW(conn->Query("SELECT Voucher_No FROM Sales_Return_Master"));
  auto rs = conn->Query(
      "SELECT Delivery_Flag, Delivery_Date, Dtl_ID FROM DeliveriesForInvoicingBasic WHERE "
      "Customer_Code = '01C001'");
  ASSERT_EQ(rs.size(), 1u);
  EXPECT_EQ(rs.front().Text("Delivery_Flag"), "SalesOrder");
  EXPECT_EQ(rs.front().Text("Delivery_Date"), "2026-12-04");
  EXPECT_EQ(rs.front().Int32("Dtl_ID"), 1);
  EXPECT_EQ(Count("qrySalesInvoiceDeatails"), 0);
  EXPECT_EQ(Count("Sales_Order_Master", "Ordered_Qty_Posted = 1"), 1);
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = '0101SOR1' AND Ordered_Qty_Posted = 1"), 1);
  // Made again on every run, so a second one finds them in place.
  db::CreateSchema(*conn);
  EXPECT_EQ(Count("DeliveriesForInvoicingBasic"), 1);
}

}  // namespace
}  // namespace qlnsales::testing
