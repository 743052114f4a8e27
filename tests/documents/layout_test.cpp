// Every document against its own layout: what it declares exists in the schema, and a realistic
// document saved and read back into a fresh object and grid comes back field for field and cell
// for cell.
#include <gtest/gtest.h>

#include "base/convert.h"
#include "db/record.h"
#include "documents/layouts.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

using namespace documents;

// The columns a table has on the engine under test, upper-cased (PostgreSQL folds names).
std::set<std::string> ColumnsOf(Connection& conn, const char* table) {
  auto rs = conn.Query(std::string("SELECT * FROM ") + table + " WHERE 1 = 0");
  std::set<std::string> names;
  for (const auto& c : rs.columns) names.insert(convert::UCase(c));
  return names;
}

template <class C>
void ExpectDeclaredColumnsExist(Connection& conn, const Layout<C>& l) {
  const auto master = ColumnsOf(conn, l.master);
  const auto detail = ColumnsOf(conn, l.detail);
  auto in = [](const std::set<std::string>& cols, const char* name) {
    return cols.count(convert::UCase(name)) == 1;
  };
  SCOPED_TRACE(l.class_name);
  for (const char* c : {l.number_column, l.identity_column, "Last_Update"})
    EXPECT_TRUE(in(master, c)) << l.master << "." << c;
  for (const auto& f : l.header) {
    if (f.column) {
      EXPECT_TRUE(in(master, f.column)) << l.master << "." << f.column;
    }
  }
  for (const char* c : {l.number_column, "SL_No", "Last_Update"})
    EXPECT_TRUE(in(detail, c)) << l.detail << "." << c;
  for (const auto& c : l.cells) {
    if (c.column) {
      EXPECT_TRUE(in(detail, c.column)) << l.detail << "." << c.column;
    }
    if (c.kind == CellKind::kUnit) {
      EXPECT_TRUE(in(detail, "Period_Type"));
    }
  }
  if (l.discount.column) {
    EXPECT_TRUE(in(detail, l.discount.column)) << l.discount.column;
    if (l.discount.fc_column) {
      EXPECT_TRUE(in(detail, l.discount.fc_column)) << l.discount.fc_column;
    }
  }
}

// The properties a save writes and a read brings back.
template <class C>
bool RoundTrips(const Field<C>& f) {
  return f.property && f.column && f.write != Write::kNever && f.write != Write::kStamp &&
         f.read != Read::kNever;
}

// Saves `saved` (already filled, lines in `grid`), reads it into a fresh object and grid, and
// expects every declared field and cell of every saved line back.
template <class C>
void ExpectRoundTrip(Connection& conn, const Layout<C>& l, C& saved, Grid& grid, C& fresh,
                     const std::shared_ptr<MemoryGrid>& shown) {
  SCOPED_TRACE(l.class_name);
  fresh.*l.number = saved.*l.number;
  fresh.*l.grid = shown;
  ReadDocument(fresh, l, conn, true);
  std::size_t compared = 0;
  for (const auto& f : l.header) {
    if (!RoundTrips(f)) continue;
    EXPECT_EQ(PropertyValue(fresh, f.member).ToText(), PropertyValue(saved, f.member).ToText())
        << f.property;
    ++compared;
  }
  EXPECT_GE(compared, 20u);
  const auto rows = RowsToSave(grid, l.walk, l.code_col, l.name_col, l.tick_col);
  ASSERT_GE(rows.size(), 2u);
  ASSERT_GE(shown->Rows(), static_cast<std::int32_t>(rows.size()) + 1);
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (const auto& c : l.cells)
      EXPECT_EQ(shown->TextMatrix(static_cast<std::int32_t>(i + 1), c.col),
                grid.TextMatrix(rows[i], c.col))
          << "line " << i + 1 << ", column " << c.col;
}

class LayoutTest : public DbTest {};

TEST_F(LayoutTest, EveryDeclaredColumnExists) {
  ExpectDeclaredColumnsExist(*conn, SalesOrderLayout());
  ExpectDeclaredColumnsExist(*conn, DeliveryLayout());
  ExpectDeclaredColumnsExist(*conn, DirectDeliveryLayout());
  ExpectDeclaredColumnsExist(*conn, CashMemoLayout());
  ExpectDeclaredColumnsExist(*conn, SalesInvoiceLayout());
  ExpectDeclaredColumnsExist(*conn, SalesReturnLayout());
}

TEST(LayoutRows, ASaveWalksTheRowsItsLayoutNames) {
  // Row 2 holds blanks, which is not empty: only a row whose code and name cells are both empty
  // is blank. Column 3 ticks.
  MemoryGrid g(6, 4);
  Fill(g, 1, {{1, "P100"}, {3, "1"}});
  Fill(g, 2, {{1, "  "}, {2, " "}, {3, "0"}});
  Fill(g, 4, {{2, "Installation"}, {3, "True"}});
  Fill(g, 5, {{1, "P200"}, {3, "-1"}});
  EXPECT_EQ(RowsToSave(g, Walk::kSkipBlank, 1, 2, 3), (std::vector<std::int32_t>{1, 2, 4, 5}));
  EXPECT_EQ(RowsToSave(g, Walk::kUntilBlank, 1, 2, 3), (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(RowsToSave(g, Walk::kTickedUntilBlank, 1, 2, 3), (std::vector<std::int32_t>{1}));
  // Ticked rows anywhere: the empty row 3 neither counts nor stops.
  EXPECT_EQ(RowsToSave(g, Walk::kTickedToEnd, 1, 2, 3), (std::vector<std::int32_t>{1, 4, 5}));
  // A code of blanks ends the lines where only the code counts.
  EXPECT_EQ(RowsToSave(g, Walk::kUntilBlankCode, 1, 2, 3), (std::vector<std::int32_t>{1}));
  g.SetTextMatrix(3, 2, "Cable");
  EXPECT_EQ(RowsToSave(g, Walk::kTickedUntilBlank, 1, 2, 3), (std::vector<std::int32_t>{1, 4, 5}));
}

TEST_F(LayoutTest, ASalesOrderComesBackAsItWasSaved) {
  SalesOrder o;
  auto g = std::make_shared<MemoryGrid>(5, 18);
  o.ADOConnectionString = cs;
  o.AdoConnectionObject = conn;
  o.OrderGridName = g;
  o.CompanyPrefix = "01";
  o.BranchPrefix = "01";
  o.DocumentPrefix = "SOR";
  o.CustomerCode = "01C002";
  o.CustomerName = "Harbour Marine Supplies";
  o.SalesOrdDate = Date::FromYmd(2026, 12, 1);
  o.CustomerPONo = "PO-77";
  o.CustomerPODate = Date::FromYmd(2026, 11, 30);
  o.DeliveryDate = Date::FromYmd(2026, 12, 9);
  o.PaymentTerms = "30 days";
  o.PaymentType = "Credit";
  o.ForeignCurrencyFlag = true;
  o.CurrencyCode = "USD";
  o.ExchangeRate = 0.377;
  o.SalesOrdSubTotal = 100;
  o.SalesOrdFCSubTotal = 265.25;
  o.SalesOrdDiscPercent = 10;
  o.SalesOrdDiscAmount = 10;
  o.SalesOrdFCDiscAmount = 26.53;
  o.SalesOrdTotalAmount = 90;
  o.SalesOrdFCTotalAmount = 238.72;
  o.EmployeeID = "E07";
  o.EmployeeName = "Ana Ruiz";
  o.SalesOrdComments = "Deliver before noon";
  o.AllowCancelFlag = true;
  o.AmtDig = 2;
  o.LastUpdate = Date::FromYmd(2026, 12, 1);
  // A lamp on a project, and free monthly cartridges.
  Fill(*g, 1,
       {{1, "P300"},
        {2, "Desk Lamp"},
        {3, "1"},
        {4, "Pcs"},
        {5, "1"},
        {6, "2"},
        {7, "119.36"},
        {8, "0"},
        {9, "0"},
        {10, "238.73"},
        {11, "90"},
        {12, "0"},
        {13, "P001"},
        {14, "3"},
        {15, "45"},
        {16, "0101PRJP001"},
        {17, "0"}});
  Fill(*g, 3,
       {{1, "P200"},
        {2, "Ink Cartridge"},
        {3, "4"},
        {4, "Pack-Monthly"},
        {5, "5"},
        {6, "1"},
        {7, "26.52"},
        {8, "0"},
        {9, "0"},
        {10, "26.52"},
        {11, "10"},
        {12, "0"},
        {14, "0"},
        {15, "10"},
        {17, "1"}});
  ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();
  // The overall discount: 10% of each line, the last line the remainder, rounded to 2 places.
  auto shares = conn->Query(
      "SELECT Sales_Ord_Overall_Disc, Sales_Ord_Overall_FC_Disc FROM Sales_Order_Detail ORDER BY "
      "SL_No");
  ASSERT_EQ(shares.size(), 2u);
  EXPECT_DOUBLE_EQ(shares[0].Double("Sales_Ord_Overall_FC_Disc"), 23.87);
  EXPECT_DOUBLE_EQ(shares[1].Double("Sales_Ord_Overall_FC_Disc"), 2.66);
  SalesOrder fresh;
  fresh.ADOConnectionString = cs;
  ExpectRoundTrip(*conn, SalesOrderLayout(), o, *g, fresh, std::make_shared<MemoryGrid>(1, 18));
  EXPECT_EQ(fresh.CustomerPODate, o.CustomerPODate);
  EXPECT_EQ(fresh.ExchangeRate, 0.377);
}

TEST_F(LayoutTest, ADeliveryComesBackAsItWasSaved) {
  Delivery d;
  auto g = std::make_shared<MemoryGrid>(4, 23);
  d.ADOConnectionString = cs;
  d.AdoDBConnectionObject = conn;
  d.DeliveryGridName = g;
  d.CompanyPrefix = "01";
  d.BranchPrefix = "01";
  d.DocumentPrefix = "DEL";
  d.SourceNo = "0101SOR7";
  d.SourcePrefix = "SOR";
  d.SourceDate = Date::FromYmd(2026, 11, 28);
  d.SourceName = "Sales Order";
  d.CustomerCode = "01C002";
  d.CustomerName = "Harbour Marine Supplies";
  d.CustomerAddressCode = "A2";
  d.DeliveryRefNo = "Dock 4";
  d.PaymentTerms = "30 days";
  d.PaymentType = "Credit";
  d.ForeignCurrencyFlag = true;
  d.CurrencyCode = "USD";
  d.ExchangeRate = 0.377;
  d.DeliveryDate = d.DeliveryEndDate = Date::FromYmd(2026, 12, 5);
  d.DeliverySubtotal = 100;
  d.DeliveryFCSubtotal = 265.25;
  d.DeliveryDiscAmount = 10;
  d.DeliveryFCDiscAmount = 26.53;
  d.DeliveryTotalAmount = 90;
  d.DeliveryFCTotalAmount = 238.72;
  d.EmployeeID = "E07";
  d.EmployeeName = "Ana Ruiz";
  d.DeliveryComments = "Fragile";
  d.LastUpdate = Date::FromYmd(2026, 12, 5);
  Fill(*g, 1, {{1, "1"},  {2, "P300"}, {3, "Desk Lamp"},   {4, "1"},       {5, "Pcs"},
               {6, "1"},  {7, "2"},    {8, "0101PRJP001"}, {9, "3"},       {10, "45"},
               {11, "0"}, {12, "0"},   {13, "90"},         {14, "238.73"}, {15, "119.36"},
               {16, "2"}, {18, "1"},   {20, "Showroom"},   {21, "2"},      {22, "0"}});
  Fill(*g, 2, {{1, "0"}, {2, "P100"}, {3, "Not delivered now"}});
  Fill(*g, 3, {{1, "1"},  {2, "P200"}, {3, "Ink Cartridge"}, {4, "4"},      {5, "Pack-Monthly"},
               {6, "5"},  {7, "1"},    {8, "0101PRJP002"},   {9, "4"},      {10, "10"},
               {11, "0"}, {12, "0"},   {13, "10"},           {14, "26.52"}, {15, "26.52"},
               {16, "1"}, {18, "0"},   {20, "Location1"},    {21, "1"},     {22, "1"}});
  ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
  // Only the ticked rows, and the overall discount only on the lines that take a share.
  auto lines = conn->Query("SELECT * FROM Delivery_Detail ORDER BY SL_No");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_DOUBLE_EQ(lines[0].Double("Sales_Ord_Overall_Disc"), 9);
  EXPECT_TRUE(lines[1].IsNull("Sales_Ord_Overall_Disc"));
  Delivery fresh;
  fresh.ADOConnectionString = cs;
  ExpectRoundTrip(*conn, DeliveryLayout(), d, *g, fresh, std::make_shared<MemoryGrid>(1, 23));
}

TEST_F(LayoutTest, ADirectDeliveryComesBackAsItWasSavedAndProcesses) {
  DirectDelivery d;
  auto g = std::make_shared<MemoryGrid>(4, 19);
  d.ADOConnectionString = cs;
  d.AdoDBConnectionObject = conn;
  d.DeliveryGridName = g;
  d.CompanyPrefix = "01";
  d.BranchPrefix = "01";
  d.DocumentPrefix = "DDL";
  d.StockMovementPrefix = "DDL";
  d.CustomerCode = "01C002";
  d.CustomerName = "Harbour Marine Supplies";
  d.CustomerAddressCode = "A2";
  d.PaymentTerms = "30 days";
  d.PaymentType = "Credit";
  d.ForeignCurrencyFlag = true;
  d.CurrencyCode = "USD";
  d.ExchangeRate = 0.377;
  d.DirectDeliveryDate = d.DirectDeliveryEndDate = Date::FromYmd(2026, 12, 5);
  d.DirectDeliverySubtotal = 100;
  d.DirectDeliveryFCSubtotal = 265.25;
  d.DirectDeliveryDiscPercent = 10;
  d.DirectDeliveryDiscAmount = 10;
  d.DirectDeliveryFCDiscAmount = 26.53;
  d.DirectDeliveryTotalAmount = 90;
  d.DirectDeliveryFCTotalAmount = 238.72;
  d.DirectDeliveryComments = "Fragile";
  d.LastUpdate = Date::FromYmd(2026, 12, 5);
  d.OnlineFlag = true;
  Fill(*g, 1,
       {{1, "P300"},
        {2, "Desk Lamp"},
        {3, "1"},
        {4, "Pcs"},
        {5, "1"},
        {6, "2"},
        {7, "119.36"},
        {8, "0"},
        {9, "0"},
        {10, "238.73"},
        {11, "90"},
        {12, "0"},
        {13, "45"},
        {14, "Showroom"},
        {15, "0101PRJP001"},
        {17, "2"},
        {18, "0"}});
  Fill(*g, 2,
       {{1, "P200"},
        {2, "Ink Cartridge"},
        {3, "4"},
        {4, "Pack-Monthly"},
        {5, "5"},
        {6, "1"},
        {7, "26.52"},
        {8, "0"},
        {9, "0"},
        {10, "26.52"},
        {11, "10"},
        {12, "0"},
        {13, "10"},
        {14, "Location1"},
        {15, "0101PRJP002"},
        {17, "1"},
        {18, "1"}});
  ASSERT_TRUE(d.Create_Direct_Delivery()) << d.ErrDesc();
  DirectDelivery fresh;
  fresh.ADOConnectionString = cs;
  ExpectRoundTrip(*conn, DirectDeliveryLayout(), d, *g, fresh, std::make_shared<MemoryGrid>(1, 19));

  // Processing writes each line's cost on that line of this delivery only, by number and serial.
  ASSERT_TRUE(d.Process_Direct_Delivery()) << d.ErrDesc();
  EXPECT_EQ(Scalar("SELECT Inventory_Value FROM Direct_Delivery_Detail WHERE Item_Code = "
                   "'01P300' AND Direct_Delivery_No = ?",
                   {d.DirectDeliveryNo})
                .ToDouble(),
            60);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

TEST_F(LayoutTest, ACashMemoComesBackAsItWasSaved) {
  CashMemo m;
  auto g = std::make_shared<MemoryGrid>(4, 22);
  m.ADOConnectionString = cs;
  m.AdoDBConnectionObject = conn;
  m.CMGridName = g;
  m.CompanyPrefix = m.BranchPrefix = "01";
  m.DocumentPrefix = "CHM";
  m.CustomerCode = "01C002";
  m.CustomerName = "Harbour Marine Supplies";
  m.PaymentType = "Cash";
  m.ForeignCurrencyFlag = true;
  m.CurrencyCode = "USD";
  m.ExchangeRate = 0.377;
  m.CashMemoDate = m.CashMemoEndDate = Date::FromYmd(2026, 12, 6);
  m.CashMemoSubTotal = 40;
  m.CashMemoFCSubTotal = 106.1;
  m.CashMemoDiscPercent = 10;
  m.CashMemoDiscAmount = 4;
  m.CashMemoFcDiscAmount = 10.61;
  m.CashMemoTotalAmount = 39.6;
  m.CashMemoFCTotalAmount = 105.04;
  m.TaxCode = "0101STD";
  m.TaxDescription = "Standard rate";
  m.CashMemoTaxPercent = 10;
  m.CashMemoTaxAmount = 3.6;
  m.ReferenceNo = "0101SOR4";
  m.ReferencePrefix = "SOR";
  m.ReferenceDocumentName = "Sales Order";
  m.EmployeeID = "E07";
  m.EmployeeName = "Mariam";
  m.CashMemoComments = "Counter sale";
  m.LocationCode = 2;
  m.LocationName = "Showroom";
  m.AmtDig = 2;
  m.LastUpdate = Date::FromYmd(2026, 12, 6);
  Fill(*g, 1,
       {{1, "P100"},
        {2, "Printer Paper A4"},
        {3, "True"},
        {4, "1"},
        {5, "Box"},
        {6, "1"},
        {7, "2"},
        {8, "13.26"},
        {9, "0"},
        {10, "0"},
        {11, "26.52"},
        {12, "10"},
        {13, "0"},
        {14, "5"},
        {15, "2"},
        {16, "1"},
        {18, "0101PRJP001"},
        {19, "0"},
        {20, "Location1"},
        {21, "1"}});
  Fill(*g, 2,
       {{1, "P200"},
        {2, "Ink Cartridge"},
        {3, "False"},
        {4, "4"},
        {5, "Pcs"},
        {6, "5"},
        {7, "1"},
        {8, "79.58"},
        {9, "0"},
        {10, "0"},
        {11, "79.58"},
        {12, "30"},
        {13, "0"},
        {14, "30"},
        {15, "1"},
        {16, "2"},
        {18, "0101PRJP002"},
        {19, "1"},
        {20, "Showroom"},
        {21, "2"}});
  ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
  CashMemo fresh;
  fresh.ADOConnectionString = cs;
  ExpectRoundTrip(*conn, CashMemoLayout(), m, *g, fresh, std::make_shared<MemoryGrid>(1, 22));
}

TEST_F(LayoutTest, ASalesInvoiceComesBackAsItWasSaved) {
  Record()
      .Set("Customer_Code", "01C001")
      .Set("Address_Code", "A1")
      .Set("Address_Desc", "Warehouse 3")
      .Insert(*conn, "Customer_Address");
  SalesInvoice inv;
  auto g = std::make_shared<MemoryGrid>(5, 32);
  inv.ADOConnectionString = cs;
  inv.AdoDBConnectionObject = conn;
  inv.InvoiceGridName = g;
  inv.CompanyPrefix = inv.BranchPrefix = "01";
  inv.DocumentPrefix = "INV";
  inv.CustomerCode = "01C001";
  inv.CustomerName = "Gulf Traders";
  inv.PaymentTerms = "30 days";
  inv.PaymentType = "Credit";
  inv.ForeignCurrencyFlag = true;
  inv.CurrencyCode = "USD";
  inv.SalesInvDate = Date::FromYmd(2026, 12, 10);
  inv.SalesInvEndDate = Date::FromYmd(2027, 1, 9);
  inv.SalesInvSubtotal = 40;
  inv.SalesInvFCsubtotal = 106.1;
  inv.SalesInvDiscPercent = 10;
  inv.SalesInvDiscAmount = 4;
  inv.SalesInvFCDiscAmount = 10.61;
  inv.SalesInvTaxPercent = 10;
  inv.SalesInvTaxAmount = 3.6;
  inv.SalesInvFCTaxAmount = 9.55;
  inv.SalesInvTotalAmount = 39.6;
  inv.SalesInvFCTotalAmount = 105.04;
  inv.TaxCode = "0101STD";
  inv.TaxDescription = "Standard rate";
  inv.SalesInvComments = "December deliveries";
  inv.InvoiceRefNo = "REF-12";
  inv.EmployeeID = "E07";
  inv.EmployeeName = "Mariam";
  inv.AmtDig = 2;
  inv.LastUpdate = Date::FromYmd(2026, 12, 10);
  Fill(*g, 1, {{1, "1"},           {2, "Head Office"},
               {3, "7"},           {4, "2026-12-04"},
               {5, "P100"},        {6, "Printer Paper A4"},
               {7, "1"},           {8, "1"},
               {9, "Box-Monthly"}, {10, "1"},
               {11, "2"},          {12, "2"},
               {13, "13.26"},      {14, "0.5"},
               {15, "1.2"},        {16, "9"},
               {17, "25.52"},      {18, "0.2"},
               {19, "0101PRJ7"},   {20, "31"},
               {21, "5"},          {22, "SalesOrder"},
               {23, "0101DEL7"},   {24, "0.6"},
               {25, "1.2"},        {26, "0.6"},
               {27, "A1"},         {28, "Warehouse 3"},
               {29, "PO-77"},      {30, "0"},
               {31, "13.26"}});
  Fill(*g, 2, {{1, "0"}, {2, "Head Office"}, {3, "7"}, {5, "P200"}});
  Fill(*g, 3, {{1, "1"},         {2, "Head Office"}, {3, "5"},      {4, "2026-12-05"}, {5, "P300"},
               {6, "Desk Lamp"}, {7, "0"},           {8, "2"},      {9, "Pcs"},        {10, "4"},
               {11, "1"},        {12, "3"},          {13, "79.58"}, {14, "0"},         {15, "0"},
               {16, "30"},       {17, "79.58"},      {18, "0"},     {20, "12"},        {21, "30"},
               {22, "Direct"},   {23, "0101DDL5"},   {24, "0"},     {25, "0"},         {26, "0"},
               {30, "1"},        {31, "79.58"}});
  ASSERT_TRUE(inv.Create_Sales_Invoice(true)) << inv.ErrDesc();
  SalesInvoice fresh;
  fresh.ADOConnectionString = cs;
  ExpectRoundTrip(*conn, SalesInvoiceLayout(), inv, *g, fresh, std::make_shared<MemoryGrid>(1, 32));
}

}  // namespace
}  // namespace qlnsales::testing
