// Every saving and processing call is all or nothing: a database error at any one of its
// statements, its commit included, leaves every table as it was and the object's number as it was,
// and the same call on the same object then succeeds with clean books.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "base/convert.h"
#include "db/record.h"
#include "frame/modules.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/customer.h"
#include "qlnsales/customer_ob.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "qlnsales/sales_return.h"
#include "qlnsales/shell.h"
#include "qlnsales/tax_authorities.h"
#include "qlnsales/tax_codes.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/faulty_driver.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

// A call on an object made ready for it, and what the object shows afterwards.
struct Prepared {
  std::function<bool()> call;
  std::function<std::string()> err_desc;
  std::function<std::vector<std::string>()> numbers;  // its number properties, as text
};

// Makes the state a call needs and the object for it; `round` tells rounds apart (codes).
using Prepare = std::function<Prepared(int round)>;

std::string Tag(const char* prefix, int round) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%03d", prefix, round);
  return buf;
}

template <class T>
Prepared Wrap(std::shared_ptr<T> object, std::function<bool(T&)> call,
              std::vector<const char*> number_properties = {}) {
  return Prepared{[object, call] { return call(*object); }, [object] { return object->ErrDesc(); },
                  [object, number_properties] {
                    std::vector<std::string> out;
                    for (const char* p : number_properties) out.push_back(object->Get(p).ToText());
                    return out;
                  }};
}

class FaultInjectionTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    FaultyDriver::Install();
    conn = std::make_shared<Connection>(cs);
    Connection::ClearPool();
    shell = std::make_shared<ScriptedShell>();
    SetShell(shell);
    // Enough stock for every round's delivery.
    refdata::AddOpeningStock(*conn, "01", "01", "01P100", 1, 1000, 2.5);
    refdata::AddOpeningStock(*conn, "01", "01", "01P200", 1, 1000, 12);
    refdata::AddOpeningStock(*conn, "01", "01", "01P300", 2, 1000, 30);
  }
  void TearDown() override {
    FaultyDriver::Uninstall();
    SetShell(nullptr);
    DbTest::TearDown();
  }

  // Runs the call once on state made for it to learn how many statements it makes; then, for each
  // of them, makes the same state again (new rows in the same database), fails that statement,
  // checks that nothing moved, and retries on the same object.
  void SweepFaults(const std::string& name, const Prepare& prepare) {
    FaultyDriver::Disarm();
    Prepared scratch = prepare(0);
    FaultyDriver::Disarm();
    ASSERT_TRUE(scratch.call()) << name << ": " << scratch.err_desc();
    const std::int64_t n = FaultyDriver::Statements();
    ASSERT_GT(n, 1) << name;
    RecordProperty(name, std::to_string(n) + " statements");
    int failing = 0;
    for (std::int64_t k = 1; k <= n && failing < 3; ++k) {
      SCOPED_TRACE(name + ", fault at statement " + std::to_string(k) + " of " + std::to_string(n));
      const int failures_before = Failures();
      Prepared p = prepare(static_cast<int>(k));
      const TableSnapshot before = TakeSnapshot(*conn);
      const auto numbers = p.numbers();

      FaultyDriver::Arm(k);
      const bool ok = p.call();
      FaultyDriver::Disarm();
      EXPECT_FALSE(ok);
      EXPECT_EQ(p.err_desc(), FaultyDriver::Message(k));
      EXPECT_EQ(p.numbers(), numbers);
      EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");

      FaultyDriver::Disarm();
      EXPECT_TRUE(p.call()) << p.err_desc();
      // Nothing of the failed call was left behind to send the retry another way.
      EXPECT_EQ(FaultyDriver::Statements(), n);
      EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});
      if (Failures() > failures_before) ++failing;  // a few failing positions tell enough
    }
  }

  static int Failures() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
  }

  // --- Customers -------------------------------------------------------------------------------

  std::shared_ptr<Customer> NewCustomer(const std::string& code) {
    auto c = std::make_shared<Customer>();
    c->ConnectionString = cs;
    c->AdoConnectionObject = conn;
    c->CompanyPrefix = "01";
    c->BranchPrefix = "01";
    c->CustomerCode = code;
    c->CustomerName = "Customer " + code;
    c->CustomerCurrencyCode = c->CurrencyCode = "BHD";
    c->CustomerPaymentType = "Credit";
    c->CustomerPaymentTerms = "30 days";
    c->ARAccountNo = "01011200";
    return c;
  }
  // Documents that carry the customer's name, so that the name update has rows to change.
  void NamedDocuments(const std::string& code) {
    Record()
        .Set("AR_Adjustment_No", "ADJ-" + code)
        .Set("Customer_Code", code)
        .Set("Customer_Name", "old")
        .Insert(*conn, "AR_Adjustment_Master");
    Record()
        .Set("Sales_Inv_No", "INV-" + code)
        .Set("Customer_Code", code)
        .Set("Customer_Name", "old")
        .Insert(*conn, "Sales_Invoice_Master");
  }

  // --- Opening balances ------------------------------------------------------------------------

  std::shared_ptr<CustomerOB> NewOpeningBalances(const std::string& code, const char* prefix) {
    auto c = NewCustomer(code);
    EXPECT_TRUE(c->Create_Customer()) << c->ErrDesc();
    auto ob = std::make_shared<CustomerOB>();
    ob->ConnectionString = cs;
    ob->AdoConnectionObject = conn;
    ob->CustomerCode = code;
    ob->CustomerName = c->CustomerName;
    ob->CompanyPrefix = "01";
    ob->BranchPrefix = "02";
    ob->DocumentPrefix = prefix;
    ob->CurrencyCode = "BHD";
    ob->LastUpdate = Date::FromYmd(2026, 12, 6);
    auto grid = std::make_shared<MemoryGrid>(4, 9);
    auto line = [&](int r, const char* ref, const char* date, const char* amount) {
      grid->SetTextMatrix(r, 1, ref);
      grid->SetTextMatrix(r, 2, date);
      grid->SetTextMatrix(r, 3, amount);
      grid->SetTextMatrix(r, 5, "1");
    };
    line(1, "REF-1", "31/03/2026", "500");
    line(2, "REF-2", "15/04/2026", "120.5");
    ob->GridName = grid;
    return ob;
  }

  // --- Sales orders and deliveries -------------------------------------------------------------

  std::shared_ptr<SalesOrder> NewOrder() {
    auto grid = std::make_shared<MemoryGrid>(4, 18);
    auto line = [&](int r, const char* code, const char* qty, const char* price) {
      for (auto [c, t] : std::initializer_list<std::pair<int, const char*>>{
               {1, code}, {2, code}, {4, "Box"}, {5, "1"}, {6, qty}, {15, price}, {17, "0"}})
        grid->SetTextMatrix(r, c, t);
    };
    line(1, "P100", "10", "4");
    line(2, "P200", "4", "18");
    line(3, "S100", "3", "20");
    auto o = std::make_shared<SalesOrder>();
    o->AdoConnectionObject = conn;
    o->OrderGridName = grid;
    o->CompanyPrefix = "01";
    o->BranchPrefix = "01";
    o->DocumentPrefix = "SOR";
    o->CustomerCode = "01C001";
    o->CustomerName = "Gulf Traders";
    o->PaymentType = "Credit";
    o->CurrencyCode = "BHD";
    o->SalesOrdSubTotal = o->SalesOrdTotalAmount = 172;
    o->SalesOrdDate = Date::FromYmd(2026, 12, 3);
    o->LastUpdate = Date::FromYmd(2026, 12, 3);
    return o;
  }

  // A delivery of half of each line of a new order, created with its lines.
  std::shared_ptr<Delivery> NewDelivery() {
    auto o = NewOrder();
    EXPECT_TRUE(o->Create_Order()) << o->ErrDesc();
    auto d = std::make_shared<Delivery>();
    d->ADOConnectionString = cs;
    d->AdoDBConnectionObject = conn;
    d->DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
    d->CompanyPrefix = "01";
    d->BranchPrefix = "01";
    d->DocumentPrefix = "DEL";
    d->StockMovementPrefix = "DEL";
    d->SourceNo = o->SalesOrdNo;
    d->DeliveryDate = d->DeliveryEndDate = Date::FromYmd(2026, 12, 4);
    d->LastUpdate = Date::FromYmd(2026, 12, 4);
    d->OnlineFlag = true;
    EXPECT_TRUE(d->Get_Order_Details()) << d->ErrDesc();
    auto& grid = *d->DeliveryGridName;
    for (int r = 1; r < grid.Rows(); ++r) {
      grid.SetTextMatrix(r, 1, "1");
      grid.SetTextMatrix(r, 7, std::to_string(grid.ValueMatrix(r, 7) / 2));
      grid.SetTextMatrix(r, 20, "Location1");
      grid.SetTextMatrix(r, 21, "1");
    }
    return d;
  }

  std::shared_ptr<DirectDelivery> NewDirectDelivery() {
    auto g = std::make_shared<MemoryGrid>(5, 19);
    auto line = [&](int r, std::vector<std::pair<int, std::string>> cells) {
      for (auto& [c, t] : cells) g->SetTextMatrix(r, c, t);
    };
    line(1, {{1, "P300"},
             {2, "Desk Lamp"},
             {4, "Pcs"},
             {5, "1"},
             {6, "2"},
             {10, "90"},
             {11, "90"},
             {13, "45"},
             {14, "Showroom"},
             {17, "2"},
             {18, "0"}});
    line(2, {{1, "P200"},
             {2, "Ink Cartridge"},
             {4, "Pcs"},
             {5, "1"},
             {6, "5"},
             {10, "10"},
             {11, "10"},
             {14, "Location1"},
             {17, "1"},
             {18, "1"}});
    line(3, {{2, "Installation"}, {6, "1"}});
    auto d = std::make_shared<DirectDelivery>();
    d->ADOConnectionString = cs;
    d->AdoDBConnectionObject = conn;
    d->DeliveryGridName = g;
    d->CompanyPrefix = "01";
    d->BranchPrefix = "01";
    d->DocumentPrefix = "DDL";
    d->StockMovementPrefix = "DDL";
    d->CustomerCode = "01C002";
    d->CustomerName = "Harbour Marine Supplies";
    d->PaymentType = "Credit";
    d->CurrencyCode = "BHD";
    d->DirectDeliveryDate = d->DirectDeliveryEndDate = Date::FromYmd(2026, 12, 5);
    d->DirectDeliverySubtotal = d->DirectDeliveryTotalAmount = 100;
    d->LastUpdate = Date::FromYmd(2026, 12, 5);
    d->OnlineFlag = true;
    return d;
  }

  // --- Cash memos --------------------------------------------------------------------------------

  // Paper, a cartridge and an installation: 60, less 10%, plus 10% tax, in cash.
  std::shared_ptr<CashMemo> NewCashMemo() {
    auto g = std::make_shared<MemoryGrid>(5, 22);
    auto line = [&](int r, const char* code, const char* qty, const char* price,
                    const char* amount) {
      for (auto [c, t] : std::initializer_list<std::pair<int, const char*>>{{1, code},
                                                                            {2, code},
                                                                            {3, "1"},
                                                                            {5, "Pcs"},
                                                                            {6, "1"},
                                                                            {7, qty},
                                                                            {11, amount},
                                                                            {12, amount},
                                                                            {14, price},
                                                                            {19, "0"},
                                                                            {20, "Location1"},
                                                                            {21, "1"}})
        g->SetTextMatrix(r, c, t);
    };
    line(1, "P100", "2", "5", "10");
    line(2, "P200", "1", "20", "20");
    line(3, "S100", "1", "30", "30");
    auto m = std::make_shared<CashMemo>();
    m->ADOConnectionString = cs;
    m->AdoDBConnectionObject = conn;
    m->CMGridName = g;
    m->CompanyPrefix = m->BranchPrefix = "01";
    m->DocumentPrefix = m->StockMovementPrefix = "CHM";
    m->CustomerCode = "01C002";
    m->CustomerName = "Harbour Marine Supplies";
    m->PaymentType = "Cash";
    m->CurrencyCode = "BHD";
    m->CashMemoDate = m->CashMemoEndDate = Date::FromYmd(2026, 12, 6);
    m->CashMemoSubTotal = m->CashMemoFCSubTotal = 60;
    m->CashMemoDiscPercent = 10;
    m->CashMemoDiscAmount = m->CashMemoFcDiscAmount = 6;
    m->TaxCode = "0101STD";
    m->CashMemoTaxPercent = 10;
    m->CashMemoTaxAmount = 5.4;
    m->CashMemoTotalAmount = m->CashMemoFCTotalAmount = 59.4;
    m->AmtDig = 2;
    m->LastUpdate = Date::FromYmd(2026, 12, 6);
    m->OnlineFlag = true;
    return m;
  }

  // --- Sales invoices ---------------------------------------------------------------------------

  // An invoice of a processed delivery's two lines, to a customer address; the grid as the
  // delivery list leaves it, both lines ticked.
  std::shared_ptr<SalesInvoice> NewInvoice(int round) {
    const std::string delivery = "0101DEL" + std::to_string(500 + round);
    Record()
        .Set("Delivery_No", delivery)
        .Set("Delivery_Identity", 500 + round)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Customer_Code", "01C001")
        .Set("Delivery_Date", Date::FromYmd(2026, 12, 4))
        .Set("Processed_Flag", 1)
        .Insert(*conn, "Delivery_Master");
    for (int line = 0; line < 2; ++line)
      Record()
          .Set("SL_No", 1000 + 2 * round + line)
          .Set("Delivery_No", delivery)
          .Set("Item_Code", line == 0 ? "01P100" : "01S100")
          .Set("Item_Name", line == 0 ? "Printer Paper A4" : "Installation Service")
          .Set("Unit_Name", "Box")
          .Set("Unit_Qty", 1.0)
          .Set("Delivery_Qty", 3.0)
          .Set("Delivery_Dtl_Unit_Price", 4.0)
          .Set("Delivery_Dtl_FC_Unit_Price", 4.0)
          .Insert(*conn, "Delivery_Detail");
    auto inv = std::make_shared<SalesInvoice>();
    inv->ADOConnectionString = cs;
    inv->AdoDBConnectionObject = conn;
    inv->InvoiceGridName = std::make_shared<MemoryGrid>(1, 32);
    inv->CompanyPrefix = inv->BranchPrefix = "01";
    inv->DocumentPrefix = "INV";
    inv->CustomerCode = "01C001";
    inv->CustomerName = "Gulf Traders";
    inv->CurrencyCode = "BHD";
    inv->SalesInvDate = inv->SalesInvEndDate = Date::FromYmd(2026, 12, 10);
    inv->SalesInvSubtotal = inv->SalesInvTotalAmount = 24;
    inv->SalesInvDiscPercent = 10;
    inv->SalesInvDiscAmount = 2.4;
    inv->AmtDig = 3;
    inv->LastUpdate = Date::FromYmd(2026, 12, 10);
    EXPECT_TRUE(inv->Get_Delivery_Details()) << inv->ErrDesc();
    auto& grid = *inv->InvoiceGridName;
    for (int r = 1; r < grid.Rows(); ++r)
      if (grid.TextMatrix(r, 23) == delivery) grid.SetTextMatrix(r, 1, "1");
    return inv;
  }

  // An invoice of every line of a new delivery processed on-line, less a discount of 5 and with
  // the standard tax of 10%; saved under a temporary number of its own.
  std::shared_ptr<SalesInvoice> InvoiceOfNewDelivery(int round) {
    auto d = NewDelivery();
    EXPECT_TRUE(d->Create_Delivery(true)) << d->ErrDesc();
    std::string source = "SalesOrder";
    EXPECT_TRUE(d->Process_Delivery(source)) << d->ErrDesc();
    const std::string number = Tag("0101INVTMP", round);
    auto lines = conn->Query(
        "SELECT SL_No, Item_Code, Item_Name, Unit_Qty, Delivery_Qty, Delivery_Dtl_Unit_Price FROM "
        "Delivery_Detail WHERE Delivery_No = ? ORDER BY SL_No",
        {Value(d->DeliveryNo)});
    double subtotal = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Row l = lines[i];
      const double amount = l.Double("Delivery_Qty") * l.Double("Delivery_Dtl_Unit_Price");
      subtotal += amount;
      Record()
          .Set("Sales_Inv_No", number)
          .Set("SL_No", static_cast<std::int32_t>(i + 1))
          .Set("Item_Code", l.Text("Item_Code"))
          .Set("Item_Name", l.Text("Item_Name"))
          .Set("Unit_Qty", l.Double("Unit_Qty"))
          .Set("Sales_Inv_Qty", l.Double("Delivery_Qty"))
          .Set("Sales_Inv_Unit_Price", l.Double("Delivery_Dtl_Unit_Price"))
          .Set("Sales_Inv_Item_Amount", amount)
          .Set("Sales_Inv_FC_Item_Amount", amount)
          .Set("Delivery_Dtl_SL_No", l.Double("SL_No"))
          .Set("Delivery_Flag", "SalesOrder")
          .Set("Delivery_No", d->DeliveryNo)
          .Insert(*conn, "Sales_Invoice_Detail");
    }
    const double tax = (subtotal - 5) / 10;
    Record()
        .Set("Sales_Inv_No", number)
        .Set("Sales_Inv_Identity", round)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Document_Prefix", "INV")
        .Set("Customer_Code", "01C001")
        .Set("Customer_Name", "Gulf Traders")
        .Set("Currency_Code", "BHD")
        .Set("Sales_Inv_Date", Date::FromYmd(2026, 12, 8))
        .Set("Sales_Inv_SubTotal", subtotal)
        .Set("Sales_Inv_Disc_Amount", 5.0)
        .Set("Sales_Inv_FC_Disc_Amount", 5.0)
        .Set("Sales_Inv_Tax_Percent", 10.0)
        .Set("Sales_Inv_Tax_Amount", tax)
        .Set("Sales_Inv_Total_Amount", subtotal - 5 + tax)
        .Set("Sales_Inv_FC_Total_Amount", subtotal - 5 + tax)
        .Set("TaxCode", "0101STD")
        .Insert(*conn, "Sales_Invoice_Master");
    auto s = std::make_shared<SalesInvoice>();
    s->ADOConnectionString = cs;
    s->AdoDBConnectionObject = conn;
    s->InvoiceGridName = std::make_shared<MemoryGrid>(1, 32);
    s->SalesInvNo = number;
    s->SalesLogPrefix = "SLG";
    s->AmtDig = 2;
    s->LastUpdate = Date::FromYmd(2026, 12, 8);
    s->OnlineFlag = true;
    return s;
  }

  // --- Sales returns -----------------------------------------------------------------------------

  // A return of two ticked lines of an invoice, in dollars; the grid's middle row is not ticked.
  std::shared_ptr<SalesReturn> NewReturn() {
    auto g = std::make_shared<MemoryGrid>(4, 30);
    auto line = [&](int r, const char* tick, const char* code, const char* qty) {
      for (auto [c, t] : std::initializer_list<std::pair<int, const char*>>{{1, tick},
                                                                            {2, code},
                                                                            {3, code},
                                                                            {5, "Box-M"},
                                                                            {6, "12"},
                                                                            {7, qty},
                                                                            {8, "4"},
                                                                            {11, "0.5"},
                                                                            {12, "8"},
                                                                            {13, "8"},
                                                                            {15, "5"},
                                                                            {24, "0.5"},
                                                                            {28, "3"}})
        g->SetTextMatrix(r, c, t);
    };
    line(1, "1", "P100", "2");
    line(2, "0", "P200", "1");
    line(3, "-1", "P300", "1");
    auto r = std::make_shared<SalesReturn>();
    r->ConnectionString = cs;
    r->AdoConnectionObject = conn;
    r->SalRetGridName = g;
    r->CompanyPrefix = r->BranchPrefix = "01";
    r->DocumentPrefix = "SRT";
    r->CustomerCode = "01C001";
    r->CustomerName = "Gulf Traders";
    r->ForeignCurrencyFlag = true;
    r->CurrencyCode = "USD";
    r->ExchangeRate = 0.377;
    r->RefNo = "0101INV7";
    r->RefDocType = "INV";
    r->RefDate = Date::FromYmd(2026, 12, 10);
    r->SalesRtnDate = Date::FromYmd(2026, 12, 20);
    r->SalesRtnSubTotal = r->SalesRtnTotalAmount = 16;
    r->LastUpdate = Date::FromYmd(2026, 12, 20);
    return r;
  }

  // A return against an invoice of its own, saved under a temporary number of its own: two
  // packages of 12 sheets, three cartridges and an hour of installation. The sheets' layer sold
  // just what comes back, so every round walks one layer.
  std::shared_ptr<SalesReturn> ReturnOfInvoice(int round) {
    const std::string invoice = Tag("0101INV9", round), number = Tag("0101SRTTMP", round);
    Record()
        .Set("Sales_Inv_No", invoice)
        .Set("Customer_Code", "01C001")
        .Set("Processed_Flag", 1)
        .Insert(*conn, "Sales_Invoice_Master");
    Record()
        .Set("Sales_Rtn_No", number)
        .Set("Sales_Rtn_Identity", static_cast<double>(round))
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Document_Prefix", "SRT")
        .Set("Sales_Rtn_Date", Date::FromYmd(2027, 1, 12))
        .Set("Customer_Code", "01C001")
        .Set("Currency_Code", "BHD")
        .Set("Ref_No", invoice)
        .Set("Ref_Doc_Type", "INV")
        .Set("Sales_Rtn_SubTotal", 150.0)
        .Set("Sales_Rtn_Total_Amount", 150.0)
        .Set("Sales_Rtn_FC_SubTotal", 150.0)
        .Set("Sales_Rtn_FC_Total_Amount", 150.0)
        .Insert(*conn, "Sales_Return_Master");
    struct Line {
      const char* item;
      double unit_qty, qty, amount, value;
    };
    const Line lines[] = {
        {"01P100", 12, 2, 60, 57.6}, {"01P200", 1, 3, 60, 36}, {"01S100", 1, 1, 30, 25}};
    for (int i = 0; i < 3; ++i) {
      const Line& l = lines[i];
      Record()
          .Set("Sales_Inv_No", invoice)
          .Set("SL_No", i + 1)
          .Set("Item_Code", l.item)
          .Set("Unit_Qty", l.unit_qty)
          .Set("Sales_Inv_Qty", l.qty)
          .Set("Delivery_No", Tag("0101DEL9", round))
          .Insert(*conn, "Sales_Invoice_Detail");
      Record()
          .Set("SL_No", 10000 + 3 * round + i)
          .Set("Sales_Rtn_No", number)
          .Set("Item_Code", l.item)
          .Set("Item_Name", l.item)
          .Set("Unit_Qty", l.unit_qty)
          .Set("Sales_Rtn_Qty", l.qty)
          .Set("Sales_Rtn_Item_Amount", l.amount)
          .Set("Location_Name", "Location1")
          .Set("Location_ID", 1)
          .Set("Inventory_Value", l.value)
          .Set("Ref_SL_No", static_cast<double>(i + 1))
          .Insert(*conn, "Sales_Return_Detail");
    }
    Record()
        .Set("Item_Code", "01P100")
        .Set("branch_prefix", "01")
        .Set("Purchase_Log_Date", Date::FromYmd(2026, 6, 1))
        .Set("Total_Purchase_Qty", 24.0)
        .Set("Sold_Qty", 24.0)
        .Insert(*conn, "Purchase_Log");
    auto r = std::make_shared<SalesReturn>();
    r->ConnectionString = cs;
    r->AdoConnectionObject = conn;
    r->SalesRtnNo = number;
    r->SalesInvoiceType = "INV";
    r->StockMovementPrefix = "SRT";
    r->SalesLogPrefix = "SLG";
    r->AmtDig = 3;
    r->LastUpdate = Date::FromYmd(2027, 1, 12);
    r->OnlineFlag = true;
    return r;
  }

  // --- Tax ---------------------------------------------------------------------------------------

  std::shared_ptr<TaxCodes> NewTaxCode(const std::string& code,
                                       const std::vector<std::string>& authorities) {
    auto t = std::make_shared<TaxCodes>();
    t->ConnectionString = cs;
    t->CompanyPrefix = "01";
    t->BranchPrefix = "01";
    t->TaxCode = code;
    t->TaxDesc = "Code " + code;
    t->TaxRate = 15;
    t->TaxTypeSP = "Sales";
    auto grid = std::make_shared<MemoryGrid>(static_cast<std::int32_t>(authorities.size()) + 2, 4);
    for (std::size_t i = 0; i < authorities.size(); ++i) {
      const auto r = static_cast<std::int32_t>(i + 1);
      grid->SetTextMatrix(r, 1, authorities[i]);
      grid->SetTextMatrix(r, 2, "Levy " + authorities[i]);
      grid->SetTextMatrix(r, 3, "5");
    }
    t->Flex = grid;
    return t;
  }

  std::shared_ptr<ScriptedShell> shell;
};

const std::vector<const char*> kOrderNumbers = {"SalesOrdNo", "SalesOrdIdentity"};
const std::vector<const char*> kDeliveryNumbers = {"DeliveryNo", "DeliveryIdentity"};
const std::vector<const char*> kDirectNumbers = {"DirectDeliveryNo", "DirectDeliveryIdentity"};
const std::vector<const char*> kMemoNumbers = {"CashMemoNo", "CashMemoIdentity"};
const std::vector<const char*> kInvoiceNumbers = {"SalesInvNo", "SalesInvIdentity"};
const std::vector<const char*> kReturnNumbers = {"SalesRtnNo", "SalesRtnIdentity"};

TEST_F(FaultInjectionTest, CustomerSaves) {
  SweepFaults("Create_Customer", [&](int round) {
    const std::string code = Tag("01N", round);
    NamedDocuments(code);
    return Wrap<Customer>(NewCustomer(code), [](Customer& c) { return c.Create_Customer(); });
  });
  SweepFaults("Create_Customer over an existing code", [&](int round) {
    const std::string code = Tag("01E", round);
    auto c = NewCustomer(code);
    EXPECT_TRUE(c->Create_Customer()) << c->ErrDesc();
    NamedDocuments(code);
    c->CustomerName = "Renamed " + code;
    return Wrap<Customer>(c, [](Customer& o) { return o.Create_Customer(); });
  });
  SweepFaults("Update_Customer", [&](int round) {
    const std::string code = Tag("01U", round);
    auto c = NewCustomer(code);
    EXPECT_TRUE(c->Create_Customer()) << c->ErrDesc();
    c->CustomerName = "Updated " + code;
    c->CustomerEmail = "a@b.example";
    c->CustomerCreditLimit = 900;
    return Wrap<Customer>(c, [](Customer& o) { return o.Update_Customer(); });
  });
}

// A code change is one unit over every table: a fault anywhere leaves every table under the old
// code, touches nothing else, and the same call then completes the change.
TEST_F(FaultInjectionTest, CustomerCodeChanges) {
  const std::vector<std::pair<std::string, std::string>> places = {
      {"Customer_Master", "Customer_Code"},      {"Customer_Master_Balance", "Customer_Code"},
      {"Customer_OB", "Customer_Code"},          {"Accounts_Receivable_Ledger", "Customer_Code"},
      {"AR_Adjustment_Detail", "Customer_Code"}, {"AR_Adjustment_Master", "Customer_Code"},
      {"Receipt_Master", "Receipt_To_Code"},     {"PDC_Master", "CustomerID"},
      {"Delivery_Master", "Customer_Code"},      {"Cash_Memo_Master", "Customer_Code"},
      {"Sales_Invoice_Master", "Customer_Code"}, {"Sales_Order_Master", "Customer_Code"},
      {"Sales_Return_Master", "Customer_Code"},  {"Direct_Delivery_Master", "Customer_Code"},
      {"Customer_Address", "Customer_Code"}};
  // A customer with a row in every place its code is kept; the grid asks to change it.
  auto prepare = [&](int round, std::string& from, std::string& to) {
    const std::string shown_from = Tag("F", round), shown_to = Tag("T", round);
    from = "01" + shown_from;
    to = "01" + shown_to;
    auto c = NewCustomer(from);
    EXPECT_TRUE(c->Create_Customer()) << c->ErrDesc();
    const std::string key = "K" + shown_from;
    Record()
        .Set("OBType", "Debit")
        .Set("SL_No", 1)
        .Set("Branch_Prefix", "01")
        .Set("Customer_Code", from)
        .Insert(*conn, "Customer_OB");
    Record()
        .Set("Document_No", key)
        .Set("Customer_Code", from)
        .Insert(*conn, "Accounts_Receivable_Ledger");
    Record()
        .Set("AR_Adjustment_No", key)
        .Set("Customer_Code", from)
        .Insert(*conn, "AR_Adjustment_Detail");
    Record()
        .Set("AR_Adjustment_No", key)
        .Set("Customer_Code", from)
        .Insert(*conn, "AR_Adjustment_Master");
    Record().Set("Receipt_No", key).Set("Receipt_To_Code", from).Insert(*conn, "Receipt_Master");
    Record().Set("CustomerID", from).Insert(*conn, "PDC_Master");
    Record().Set("Delivery_No", key).Set("Customer_Code", from).Insert(*conn, "Delivery_Master");
    Record().Set("Cash_Memo_No", key).Set("Customer_Code", from).Insert(*conn, "Cash_Memo_Master");
    Record()
        .Set("Sales_Inv_No", key)
        .Set("Customer_Code", from)
        .Insert(*conn, "Sales_Invoice_Master");
    Record()
        .Set("Sales_Ord_No", key)
        .Set("Customer_Code", from)
        .Insert(*conn, "Sales_Order_Master");
    Record()
        .Set("Sales_Rtn_No", key)
        .Set("Customer_Code", from)
        .Insert(*conn, "Sales_Return_Master");
    Record()
        .Set("Direct_Delivery_No", key)
        .Set("Customer_Code", from)
        .Insert(*conn, "Direct_Delivery_Master");
    Record().Set("Address_Code", key).Set("Customer_Code", from).Insert(*conn, "Customer_Address");
    auto grid = std::make_shared<MemoryGrid>(3, 4);
    grid->SetTextMatrix(1, 1, "x");
    grid->SetTextMatrix(1, 2, shown_from);
    grid->SetTextMatrix(1, 3, shown_to);
    c->GridName = grid;
    return c;
  };
  auto count = [&](const std::string& table, const std::string& column, const std::string& code) {
    return Count(table, column + " = ?", {code});
  };
  // The snapshot without the places of the code: what a code change must never touch.
  auto others = [&] {
    TableSnapshot s = TakeSnapshot(*conn);
    for (const auto& [table, column] : places) s.erase(table);
    return s;
  };

  std::string from, to;
  FaultyDriver::Disarm();
  auto scratch = prepare(0, from, to);
  FaultyDriver::Disarm();
  ASSERT_TRUE(scratch->Change_Customer_Code()) << scratch->ErrDesc();
  const std::int64_t n = FaultyDriver::Statements();
  RecordProperty("Change_Customer_Code", std::to_string(n) + " statements");
  for (const auto& [table, column] : places) {
    EXPECT_EQ(count(table, column, from), 0) << table;
    EXPECT_EQ(count(table, column, to), 1) << table;
  }

  for (std::int64_t k = 1; k <= n; ++k) {
    SCOPED_TRACE("Change_Customer_Code, fault at statement " + std::to_string(k) + " of " +
                 std::to_string(n));
    auto c = prepare(static_cast<int>(k), from, to);
    const TableSnapshot before = others();
    FaultyDriver::Arm(k);
    // Outside the table calls there is no error trap: an error there reaches the caller.
    bool ok = true;
    std::string error;
    try {
      ok = c->Change_Customer_Code();
      error = c->ErrDesc();
    } catch (const Error& e) {
      ok = false;
      error = e.what();
    }
    FaultyDriver::Disarm();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, FaultyDriver::Message(k));
    EXPECT_EQ(SnapshotDiff(before, others()), "");
    for (const auto& [table, column] : places) {
      EXPECT_EQ(count(table, column, from), 1) << table;
      EXPECT_EQ(count(table, column, to), 0) << table;
    }

    ASSERT_TRUE(c->Change_Customer_Code()) << c->ErrDesc();
    for (const auto& [table, column] : places) {
      EXPECT_EQ(count(table, column, from), 0) << table;
      EXPECT_EQ(count(table, column, to), 1) << table;
    }
    if (::testing::Test::HasFailure()) return;
  }
}

TEST_F(FaultInjectionTest, OpeningBalances) {
  SweepFaults("Create_OB", [&](int round) {
    auto ob = NewOpeningBalances(Tag("01B", round), "OBI");
    // Items saved before, which the save replaces.
    auto old = std::make_shared<MemoryGrid>(3, 9);
    old->SetTextMatrix(1, 1, "OLD-1");
    old->SetTextMatrix(1, 2, "01/01/2026");
    old->SetTextMatrix(1, 3, "7");
    auto keep = ob->GridName;
    ob->GridName = old;
    EXPECT_TRUE(ob->Create_OB("Debit")) << ob->ErrDesc();
    ob->GridName = keep;
    return Wrap<CustomerOB>(ob, [](CustomerOB& o) { return o.Create_OB("Debit"); });
  });
  SweepFaults("Process_OB of debits", [&](int round) {
    auto ob = NewOpeningBalances(Tag("01D", round), "OBI");
    EXPECT_TRUE(ob->Create_OB("Debit")) << ob->ErrDesc();
    return Wrap<CustomerOB>(ob, [](CustomerOB& o) { return o.Process_OB("Debit"); });
  });
  SweepFaults("Process_OB of credits", [&](int round) {
    auto ob = NewOpeningBalances(Tag("01R", round), "OBR");
    EXPECT_TRUE(ob->Create_OB("Credit")) << ob->ErrDesc();
    return Wrap<CustomerOB>(ob, [](CustomerOB& o) { return o.Process_OB("Credit"); });
  });
}

TEST_F(FaultInjectionTest, SalesOrders) {
  SweepFaults("Create_Order", [&](int) {
    return Wrap<SalesOrder>(
        NewOrder(), [](SalesOrder& o) { return o.Create_Order(); }, kOrderNumbers);
  });
  SweepFaults("Update_Order", [&](int round) {
    auto o = NewOrder();
    EXPECT_TRUE(o->Create_Order()) << o->ErrDesc();
    const std::string quotation = Tag("0101SQT", round);
    Record().Set("Sales_Quot_No", quotation).Insert(*conn, "Sales_Quotation_Master");
    o->SalesQuotNo = quotation;
    o->CustomerName = "Gulf Traders W.L.L.";
    o->OrderGridName->SetTextMatrix(1, 6, "12");
    o->OrderGridName->SetTextMatrix(2, 1, "P300");
    return Wrap<SalesOrder>(
        o, [](SalesOrder& x) { return x.Update_Order(); }, kOrderNumbers);
  });
}

// Processing an order on-line makes its documents by the branch's preferences (all of them in
// the sample company) within the same call.
TEST_F(FaultInjectionTest, SalesOrderProcessing) {
  // The credit order's invoice is owed by its customer.
  Record()
      .Set("Customer_Code", "01C001")
      .Set("Company_Prefix", "01")
      .Set("Customer_Name", "Gulf Traders")
      .Set("Customer_Balance", 0.0)
      .Insert(*conn, "Customer_Master");
  // Every round delivers its order again.
  refdata::AddOpeningStock(*conn, "01", "01", "01P100", 1, 5000, 2.5);
  refdata::AddOpeningStock(*conn, "01", "01", "01P200", 1, 5000, 12);
  auto order = [&](const char* payment) {
    auto o = NewOrder();
    o->ADOConnectionString = cs;
    o->PaymentType = payment;
    for (int r = 1; r <= 3; ++r) {
      const std::string amount = convert::NumberToText(o->OrderGridName->ValueMatrix(r, 6) *
                                                       o->OrderGridName->ValueMatrix(r, 15));
      o->OrderGridName->SetTextMatrix(r, 10, amount);
      o->OrderGridName->SetTextMatrix(r, 11, amount);
    }
    o->SalesOrdFCSubTotal = o->SalesOrdFCTotalAmount = 172;
    o->DeliveryPrefix = "DEL";
    o->CashMemoPrefix = "CHM";
    o->InvoicePrefix = "INV";
    o->StockMovementPrefix = "STM";
    o->SalesLogPrefix = "SLG";
    o->LocationID = 1;
    o->OnlineFlag = true;
    EXPECT_TRUE(o->Create_Order()) << o->ErrDesc();
    return Wrap<SalesOrder>(
        o, [](SalesOrder& x) { return x.Process_Order(); }, kOrderNumbers);
  };
  SweepFaults("Process_Order of a cash order", [&](int) { return order("Cash"); });
  SweepFaults("Process_Order of a credit order", [&](int) { return order("Credit"); });
}

TEST_F(FaultInjectionTest, Deliveries) {
  SweepFaults("Create_Delivery", [&](int) {
    return Wrap<Delivery>(
        NewDelivery(), [](Delivery& d) { return d.Create_Delivery(true); }, kDeliveryNumbers);
  });
  SweepFaults("Update_Delivery", [&](int) {
    auto d = NewDelivery();
    EXPECT_TRUE(d->Create_Delivery(true)) << d->ErrDesc();
    d->DeliveryGridName->SetTextMatrix(1, 7, "4");
    d->DeliveryComments = "changed";
    return Wrap<Delivery>(
        d, [](Delivery& x) { return x.Update_Delivery(); }, kDeliveryNumbers);
  });
  SweepFaults("Process_Delivery", [&](int) {
    auto d = NewDelivery();
    EXPECT_TRUE(d->Create_Delivery(true)) << d->ErrDesc();
    return Wrap<Delivery>(
        d,
        [](Delivery& x) {
          std::string source = "SalesOrder";
          return x.Process_Delivery(source);
        },
        kDeliveryNumbers);
  });
}

TEST_F(FaultInjectionTest, DirectDeliveries) {
  SweepFaults("Create_Direct_Delivery", [&](int) {
    return Wrap<DirectDelivery>(
        NewDirectDelivery(), [](DirectDelivery& d) { return d.Create_Direct_Delivery(); },
        kDirectNumbers);
  });
  SweepFaults("Update_Direct_Delivery", [&](int) {
    auto d = NewDirectDelivery();
    EXPECT_TRUE(d->Create_Direct_Delivery()) << d->ErrDesc();
    d->DeliveryGridName->SetTextMatrix(1, 6, "3");
    d->PaymentType = "Cash";
    return Wrap<DirectDelivery>(
        d, [](DirectDelivery& x) { return x.Update_Direct_Delivery(); }, kDirectNumbers);
  });
  SweepFaults("Process_Direct_Delivery", [&](int) {
    auto d = NewDirectDelivery();
    EXPECT_TRUE(d->Create_Direct_Delivery()) << d->ErrDesc();
    return Wrap<DirectDelivery>(
        d, [](DirectDelivery& x) { return x.Process_Direct_Delivery(); }, kDirectNumbers);
  });
}

TEST_F(FaultInjectionTest, CashMemos) {
  SweepFaults("Create_CashMemo", [&](int) {
    return Wrap<CashMemo>(
        NewCashMemo(), [](CashMemo& m) { return m.Create_CashMemo(true); }, kMemoNumbers);
  });
  SweepFaults("Update_CashMemo", [&](int) {
    auto m = NewCashMemo();
    EXPECT_TRUE(m->Create_CashMemo(true)) << m->ErrDesc();
    m->CMGridName->SetTextMatrix(1, 18, "PRJ-0001");
    return Wrap<CashMemo>(
        m, [](CashMemo& x) { return x.Update_CashMemo(); }, kMemoNumbers);
  });
  SweepFaults("Process of a cash memo", [&](int) {
    auto m = NewCashMemo();
    EXPECT_TRUE(m->Create_CashMemo(true)) << m->ErrDesc();
    return Wrap<CashMemo>(
        m, [](CashMemo& x) { return x.Process(); }, kMemoNumbers);
  });
  // A cheque: the receivable, the customer's balance and the post-dated cheque too.
  Record()
      .Set("Customer_Code", "01C002")
      .Set("Company_Prefix", "01")
      .Set("Customer_Name", "Harbour Marine Supplies")
      .Set("Customer_Balance", 0.0)
      .Insert(*conn, "Customer_Master");
  SweepFaults("Process of a cheque memo", [&](int) {
    auto m = NewCashMemo();
    m->PaymentType = "Cheque";
    m->ChequeNo = "004512";
    m->ChequeBank = "Gulf Bank";
    m->ChequeDate = Date::FromYmd(2027, 1, 15);
    EXPECT_TRUE(m->Create_CashMemo(true)) << m->ErrDesc();
    return Wrap<CashMemo>(
        m, [](CashMemo& x) { return x.Process(); }, kMemoNumbers);
  });
}

TEST_F(FaultInjectionTest, SalesInvoices) {
  SweepFaults("Create_Sales_Invoice", [&](int round) {
    return Wrap<SalesInvoice>(
        NewInvoice(round), [](SalesInvoice& x) { return x.Create_Sales_Invoice(true); },
        kInvoiceNumbers);
  });
  SweepFaults("Update_Sales_Invoice", [&](int round) {
    auto inv = NewInvoice(500 + round);  // deliveries of its own
    EXPECT_TRUE(inv->Create_Sales_Invoice(true)) << inv->ErrDesc();
    // One line unticked, the other's quantity changed.
    auto& grid = *inv->InvoiceGridName;
    std::vector<int> ticked;
    for (int r = 1; r < grid.Rows(); ++r)
      if (grid.TextMatrix(r, 1) == "1") ticked.push_back(r);
    EXPECT_EQ(ticked.size(), 2u);
    grid.SetTextMatrix(ticked.at(0), 1, "0");
    grid.SetTextMatrix(ticked.at(1), 11, "2");
    inv->SalesInvComments = "changed";
    return Wrap<SalesInvoice>(
        inv, [](SalesInvoice& x) { return x.Update_Sales_Invoice(); }, kInvoiceNumbers);
  });
}

TEST_F(FaultInjectionTest, SalesInvoiceProcessing) {
  // The customer the deliveries are for, whose receivable the invoice raises.
  Record()
      .Set("Customer_Code", "01C001")
      .Set("Company_Prefix", "01")
      .Set("Customer_Name", "Gulf Traders")
      .Set("Customer_Balance", 0.0)
      .Insert(*conn, "Customer_Master");
  SweepFaults("Process_Invoice", [&](int round) {
    return Wrap<SalesInvoice>(
        InvoiceOfNewDelivery(round), [](SalesInvoice& s) { return s.Process_Invoice(); },
        kInvoiceNumbers);
  });
}

TEST_F(FaultInjectionTest, SalesReturns) {
  SweepFaults("Create_Sales_Rtn", [&](int) {
    return Wrap<SalesReturn>(
        NewReturn(), [](SalesReturn& r) { return r.Create_Sales_Rtn(); }, kReturnNumbers);
  });
  SweepFaults("Update_Sales_Rtn", [&](int) {
    auto r = NewReturn();
    EXPECT_TRUE(r->Create_Sales_Rtn()) << r->ErrDesc();
    r->SalRetGridName->SetTextMatrix(1, 1, "0");
    r->SalRetGridName->SetTextMatrix(2, 1, "1");
    r->SalesRtnComments = "changed";
    return Wrap<SalesReturn>(
        r, [](SalesReturn& x) { return x.Update_Sales_Rtn(); }, kReturnNumbers);
  });
}

// The credit memo of a stored return: the voucher written, numbered and posted in one call.
TEST_F(FaultInjectionTest, CreditMemos) {
  Record()
      .Set("Customer_Code", "01C009")
      .Set("Company_Prefix", "01")
      .Set("Customer_Name", "Coral Stores")
      .Set("Customer_Balance", 0.0)
      .Insert(*conn, "Customer_Master");
  // A return of 100 less 10 plus the standard tax, and the object that credits it.
  auto memo = [&](const std::string& return_no) {
    Record()
        .Set("Sales_Rtn_No", return_no)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Sales_Rtn_Date", Date::FromYmd(2026, 12, 14))
        .Set("Customer_Code", "01C009")
        .Set("Customer_Name", "Coral Stores")
        .Set("Currency_Code", "BHD")
        .Set("Sales_Rtn_SubTotal", 100.0)
        .Set("Sales_Rtn_Disc_Amount", 10.0)
        .Set("Sales_Rtn_Total_Amount", 99.0)
        .Set("Sales_Rtn_FC_SubTotal", 100.0)
        .Set("Sales_Rtn_FC_Disc_Amount", 10.0)
        .Set("Sales_Rtn_FC_Total_Amount", 99.0)
        .Set("Processed_Flag", 1)
        .Set("TaxCode", "STD")
        .Set("TaxRate", 10.0)
        .Set("TaxAmount", 9.0)
        .Insert(*conn, "Sales_Return_Master");
    auto r = std::make_shared<SalesReturn>();
    r->ConnectionString = cs;
    r->AdoConnectionObject = conn;
    r->CompanyPrefix = r->BranchPrefix = "01";
    r->TaxRate = 10;
    r->AmtDig = 2;
    r->LastUpdate = Date::FromYmd(2026, 12, 15);
    return r;
  };
  SweepFaults("Generate_Credit_Memo", [&](int round) {
    const std::string no = Tag("0101SRT", round);
    return Wrap<SalesReturn>(memo(no),
                             [no](SalesReturn& x) {
                               std::string n = no;
                               return x.Generate_Credit_Memo(n);
                             },
                             {"VoucherNo"});
  });
  SweepFaults("Process_CreditMemo", [&](int round) {
    const std::string no = Tag("0101SRT", 500 + round);
    std::string voucher = Tag("0101CRMTMP", 500 + round);
    auto r = memo(no);
    std::string rtn = no;
    EXPECT_TRUE(r->Create_Voucher_Master(rtn, voucher)) << r->ErrDesc();
    return Wrap<SalesReturn>(r,
                             [voucher](SalesReturn& x) {
                               std::string v = voucher;
                               double identity = 0;
                               bool manual = false;
                               return x.Process_CreditMemo(v, identity, manual);
                             },
                             {"VoucherNo"});
  });
}

// With the credit memo off, the return's own postings are swept.
TEST_F(FaultInjectionTest, SalesReturnProcessing) {
  conn->Execute("UPDATE Default_Sales_Preferences SET Generate_Credit_Memo = 0");
  SweepFaults("Return_Process", [&](int round) {
    return Wrap<SalesReturn>(
        ReturnOfInvoice(round), [](SalesReturn& r) { return r.Return_Process(); }, kReturnNumbers);
  });
}

TEST_F(FaultInjectionTest, Tax) {
  SweepFaults("SaveTaxCodes over saved lines", [&](int round) {
    const std::string code = Tag("T", round);
    auto t = NewTaxCode(code, {"OLD1", "OLD2"});
    EXPECT_TRUE(t->SaveTaxCodes()) << t->ErrDesc();
    auto renewed = NewTaxCode(code, {"NEW1", "NEW2", "NEW3"});
    renewed->TaxDesc = "Renewed " + code;
    renewed->Default = true;
    return Wrap<TaxCodes>(renewed, [](TaxCodes& x) { return x.SaveTaxCodes(); });
  });

  // Three authorities on accounts of their own, so a share and the remainder both post.
  for (const char* a : {"A1", "A2", "A3"}) {
    const std::string account = std::string("010121") + a[1] + "0";
    refdata::AddAccount(*conn, account, std::string("Tax ") + a, "Liability");
    TaxAuthorities authority;
    authority.ConnectionString = cs;
    authority.CompanyPrefix = authority.BranchPrefix = "01";
    authority.AuthorityCode = a;
    authority.AuthorityDesc = std::string("Levy ") + a;
    authority.AccountNo = account;
    ASSERT_TRUE(authority.SaveAuthorities()) << authority.ErrDesc();
  }
  auto code = NewTaxCode("TRI", {"A1", "A2", "A3"});
  ASSERT_TRUE(code->SaveTaxCodes()) << code->ErrDesc();
  SweepFaults("ProcessTax", [&](int round) {
    const std::string document = Tag("0101CHM", round);
    // The cash the memo took, so that the document's lines balance once its tax is posted.
    LedgerHeader h{conn, document, "CHM", Date::FromYmd(2026, 12, 6), "BHD", "BD", false, Value()};
    EXPECT_FALSE(PostLedgerLine(h, "01011000", "Cash", 10, 0, 10, 0));
    auto t = std::make_shared<TaxCodes>();
    t->ConnectionString = cs;
    t->AdoDBConnectionObject = conn;
    t->TaxCode = "0101TRI";
    t->TaxRate = 15;
    t->TaxAmount = 10;
    t->DocumentNo = document;
    t->DocumentDate = "2026-12-06";
    t->AmtDig = 2;
    return Wrap<TaxCodes>(t, [](TaxCodes& x) { return x.ProcessTax(); });
  });
}

}  // namespace
}  // namespace qlnsales::testing
