#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "db/record.h"
#include "qlnsales/sales_return.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

// A return line as the save stores it: `qty` packages of `unit_qty` base units each.
struct ReturnLine {
  const char* item;
  double unit_qty, qty, amount, value;
  std::int32_t ref_sl;
};

// A source line: its serial, item and quantity in packages of `unit_qty`.
struct SourceLine {
  std::int32_t sl;
  const char* item;
  double unit_qty, qty;
};

class SalesReturnProcessTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    // The credit memo is another object's work; each test says when it is asked for.
    conn->Execute("UPDATE Default_Sales_Preferences SET Generate_Credit_Memo = 0");
    // Five packages of 12 sheets, ten cartridges and two hours billed of one delivery, and ten
    // and seven cartridges of the same delivery on another invoice.
    Source("Sales_Invoice", "Sales_Inv_No", "Sales_Inv_Qty", "0101INV7",
           {{3, "01P100", 12, 5}, {4, "01P200", 1, 10}, {5, "01S100", 1, 2}});
    Source("Sales_Invoice", "Sales_Inv_No", "Sales_Inv_Qty", "0101INV8",
           {{1, "01P200", 1, 10}, {2, "01P200", 1, 7}});
    Source("Delivery", "Delivery_No", "Delivery_Qty", "0101DEL4",
           {{11, "01P100", 12, 5}, {12, "01P300", 1, 2}});
    Source("Direct_Delivery", "Direct_Delivery_No", "Direct_Delivery_Qty", "0101DDL2",
           {{21, "01P300", 1, 3}});
    // Paper's layers oldest first: one sold out, one partly sold, one untouched.
    Layer("01P100", 1, 20, 20);
    Layer("01P100", 2, 30, 10);
    Layer("01P100", 3, 50, 0);
    Layer("01P200", 1, 10, 10);
    Layer("01P200", 4, 10, 4);
    conn->Execute("UPDATE Item_Master SET Costing_Type = 'LIFO' WHERE Item_Code = '01P200'");
  }

  // A processed source document, none of it returned yet; an invoice bills delivery 0101DEL4.
  void Source(const std::string& kind, const char* number_column, const char* quantity_column,
              const std::string& number, const std::vector<SourceLine>& lines) {
    Record()
        .Set(number_column, number)
        .Set("Customer_Code", "01C002")
        .Set("Processed_Flag", 1)
        .Insert(*conn, kind + "_Master");
    for (const auto& l : lines) {
      Record r;
      r.Set(number_column, number)
          .Set("SL_No", l.sl)
          .Set("Item_Code", l.item)
          .Set("Unit_Qty", l.unit_qty)
          .Set(quantity_column, l.qty)
          // Sold at 50 a base unit: no return is credited more than that.
          .Set(kind == "Sales_Invoice" ? "Sales_Inv_Item_Amount" : kind + "_Item_Amount",
               50 * l.qty * l.unit_qty);
      if (kind == "Sales_Invoice") r.Set("Delivery_No", "0101DEL4");
      r.Insert(*conn, kind + "_Detail");
    }
  }
  // The sample's preferences and costing types, and no source line returned.
  void Restore() {
    conn->Execute("UPDATE Sales_Invoice_Detail SET Return_Qty = 0");
    conn->Execute("UPDATE Item_Master SET Costing_Type = 'AVEG'");
    conn->Execute("UPDATE Item_Master SET Costing_Type = 'LIFO' WHERE Item_Code = '01P200'");
    if (Count("Default_Account_Preferences", "Branch_Prefix = '01'") == 0)
      refdata::SetAccountPreferences(*conn, "01", "01");
    if (Count("Default_Sales_Preferences", "Branch_Prefix = '01'") == 0)
      refdata::SetSalesPreferences(*conn, "01", "01");
    conn->Execute("UPDATE Default_Sales_Preferences SET Generate_Credit_Memo = 0");
  }
  void Layer(const char* item, int month, double total, double sold) {
    Record()
        .Set("Item_Code", item)
        .Set("branch_prefix", "01")
        .Set("Purchase_Log_Date", Date::FromYmd(2026, month, 5))
        .Set("Total_Purchase_Qty", total)
        .Set("Sold_Qty", sold)
        .Set("Purchase_Item_Amount", 2 * total)
        .Insert(*conn, "Purchase_Log");
  }

  // A return saved under the next temporary number, as the save writes it.
  std::string Draft(const std::vector<ReturnLine>& lines, const char* ref_no = "0101INV7",
                    const char* ref_type = "INV") {
    const int n = ++drafts_;
    const std::string number = "0101SRTTMP" + std::to_string(n);
    double total = 0;
    for (const auto& l : lines) total += l.amount;
    Record()
        .Set("Sales_Rtn_SubTotal", total)
        .Set("Sales_Rtn_Total_Amount", total)
        .Set("Sales_Rtn_FC_SubTotal", total)
        .Set("Sales_Rtn_FC_Total_Amount", total)
        .Set("Sales_Rtn_No", number)
        .Set("Sales_Rtn_Identity", static_cast<double>(n))
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Document_Prefix", "SRT")
        .Set("Sales_Rtn_Date", Date::FromYmd(2027, 1, 12))
        .Set("Customer_Code", "01C002")
        .Set("Currency_Code", "BHD")
        .Set("Currency_Symbol", "BD")
        .Set("Processed_Flag", 0)
        .Set("Allow_Cancel_Flag", 1)
        .Set("Ref_No", ref_no)
        .Set("Ref_Doc_Type", ref_type)
        .Set("Exchange_Rate", 1.0)
        .Set("Last_Update", Date::FromYmd(2027, 1, 12))
        .Insert(*conn, "Sales_Return_Master");
    for (const auto& l : lines)
      Record()
          .Set("SL_No", ++serial_)
          .Set("Sales_Rtn_No", number)
          .Set("Item_Code", l.item)
          .Set("Item_Name", std::string("Name of ") + l.item)
          .Set("Unit_Name", "Pcs")
          .Set("Unit_Qty", l.unit_qty)
          .Set("Sales_Rtn_Qty", l.qty)
          .Set("Sales_Rtn_Item_Amount", l.amount)
          .Set("Sales_Rtn_FC_Item_Amount", l.amount)
          .Set("Location_Name", "Location1")
          .Set("Location_ID", 1)
          .Set("Inventory_Value", l.value)
          .Set("Ref_SL_No", static_cast<double>(l.ref_sl))
          .Insert(*conn, "Sales_Return_Detail");
    return number;
  }

  SalesReturn Return(const std::string& number, bool online = true) {
    SalesReturn r;
    r.ConnectionString = cs;
    r.AdoConnectionObject = conn;
    r.SalesRtnNo = number;
    r.StockMovementPrefix = "SRT";
    r.SalesLogPrefix = "SLG";
    r.AmtDig = 3;
    r.LastUpdate = Date::FromYmd(2027, 1, 12);
    r.OnlineFlag = online;
    return r;
  }

  double Number(const std::string& sql, const std::vector<Value>& params = {}) {
    return Scalar(sql, params).ToDouble();
  }
  double Returned(const char* table, const char* number_column, const char* number, int sl) {
    return Number(std::string("SELECT Return_Qty FROM ") + table + " WHERE " + number_column +
                      " = ? AND SL_No = ?",
                  {Value(number), Value(sl)});
  }
  std::vector<double> Sold(const char* item) {
    auto rs = conn->Query(
        "SELECT Sold_Qty, Total_Purchase_Qty FROM Purchase_Log WHERE Item_Code = ? ORDER BY "
        "Purchase_Log_Date",
        {Value(item)});
    std::vector<double> out;
    for (std::size_t i = 0; i < rs.size(); ++i) out.push_back(rs[i].Double("Sold_Qty"));
    return out;
  }
  double Stock(const char* item) {
    return Number("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = ?", {Value(item)});
  }
  double AtLocation(const char* item) {
    return Number("SELECT Quantity FROM Location_Stock WHERE Item_Code = ? AND Location_ID = 1",
                  {Value(item)});
  }
  std::map<std::string, double> Ledger(const std::string& number) {
    std::map<std::string, double> out;
    auto rs = conn->Query(
        "SELECT Account_No, Debit_Amount, Credit_Amount FROM General_Ledger WHERE Document_No = ?",
        {Value(number)});
    for (std::size_t i = 0; i < rs.size(); ++i)
      out[rs[i].Text("Account_No")] += rs[i].Double("Debit_Amount") - rs[i].Double("Credit_Amount");
    for (auto& [account, amount] : out) amount = std::round(amount * 1000) / 1000;
    return out;
  }
  double NextReturnNo() {
    return Number(
        "SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'SRT' AND "
        "Branch_Prefix = '01'");
  }

  int drafts_ = 0;
  std::int32_t serial_ = 0;
};

TEST_F(SalesReturnProcessTest, AReturnOnLinePutsTheGoodsBackAtTheirCostAndCountsThemOnTheInvoice) {
  // Two packages of 12 sheets, all ten cartridges, and an hour of installation.
  SalesReturn r = Return(Draft({{"01P100", 12, 2, 60, 57.6, 3},
                                {"01P200", 1, 10, 200, 120, 4},
                                {"01S100", 1, 1, 30, 25, 5}}));
  ASSERT_TRUE(r.Return_Process()) << r.ErrDesc();
  EXPECT_EQ(r.SalesRtnNo, "0101SRT1");
  EXPECT_EQ(r.SalesRtnIdentity, 1);
  EXPECT_EQ(Count("Sales_Return_Master",
                  "Sales_Rtn_No = '0101SRT1' AND Sales_Rtn_Identity = 1 AND Processed_Flag = 1 AND "
                  "Allow_Cancel_Flag = 0"),
            1);
  EXPECT_EQ(Count("Sales_Return_Detail", "Sales_Rtn_No = '0101SRT1'"), 3);
  EXPECT_EQ(NextReturnNo(), 2);

  // The invoice lines count base units; the cartridges are all back, and so is the delivery's
  // other invoice line billing as many of them, untouched by any return.
  EXPECT_EQ(Returned("Sales_Invoice_Detail", "Sales_Inv_No", "0101INV7", 3), 24);
  EXPECT_EQ(Returned("Sales_Invoice_Detail", "Sales_Inv_No", "0101INV7", 4), 10);
  EXPECT_EQ(Returned("Sales_Invoice_Detail", "Sales_Inv_No", "0101INV7", 5), 1);
  EXPECT_EQ(Count("Sales_Invoice_Detail", "parentsalesInv_allitemsreturned <> 0"), 2);
  EXPECT_EQ(Count("Sales_Invoice_Detail",
                  "parentsalesInv_allitemsreturned <> 0 AND ((Sales_Inv_No = '0101INV7' AND SL_No "
                  "= 4) OR (Sales_Inv_No = '0101INV8' AND SL_No = 1))"),
            2);
  EXPECT_EQ(Scalar("SELECT Last_Update FROM Sales_Invoice_Detail WHERE SL_No = 3").ToDate(),
            Date::FromYmd(2027, 1, 12));

  // 24 sheets back into stock but 2 packages at the location; the service moves no stock.
  EXPECT_EQ(Stock("01P100"), 124);
  EXPECT_DOUBLE_EQ(Number("SELECT Stock_Amount FROM Item_Master WHERE Item_Code = '01P100'"),
                   250 + 57.6);
  EXPECT_EQ(Stock("01P200"), 60);
  EXPECT_EQ(AtLocation("01P100"), 102);
  EXPECT_EQ(AtLocation("01P200"), 50);
  EXPECT_EQ(Count("Location_Stock", "Item_Code = '01S100'"), 0);
  auto moves =
      conn->Query("SELECT * FROM Stock_Movement WHERE Document_No = '0101SRT1' ORDER BY Item_Code");
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].Text("Document_Type"), "IN");
  EXPECT_EQ(moves[0].Text("Document_Prefix"), "SRT");
  EXPECT_DOUBLE_EQ(moves[0].Double("Base_Qty"), 24);
  EXPECT_DOUBLE_EQ(moves[0].Double("In_Amount"), 57.6);
  EXPECT_DOUBLE_EQ(moves[0].Double("In_Price"), 2.4);
  EXPECT_EQ(moves[1].Text("Item_Code"), "01P200");

  // Paper's layers give back oldest first, cartridges' newest first; nothing bought changes.
  EXPECT_EQ(Sold("01P100"), (std::vector<double>{0, 6, 0}));
  EXPECT_EQ(Sold("01P200"), (std::vector<double>{4, 0}));
  EXPECT_EQ(Number("SELECT SUM(Total_Purchase_Qty) FROM Purchase_Log"), 120);

  // Inventory debited and cost of goods credited by each line's value; the service's foreign
  // side is its amount.
  EXPECT_EQ(Ledger("0101SRT1"),
            (std::map<std::string, double>{{"01011300", 202.6}, {"01015000", -202.6}}));
  EXPECT_EQ(
      Count("General_Ledger",
            "GL_Description = 'Inventory Account : Item Code - P100' AND Debit_Amount = 57.6"),
      1);
  EXPECT_EQ(Count("General_Ledger",
                  "GL_Description = 'Cost Of Goods Account : ItemCode - S100' AND Credit_Amount = "
                  "25 AND FC_Credit_Amount = 30"),
            1);

  // The sales log records what came back under the return, at the price of one sheet.
  auto log = conn->Query(
      "SELECT * FROM Sales_Log WHERE Sales_Document_No = '0101SRT1' ORDER BY Sales_Log_ID");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].Text("Document_Prefix"), "SLG");
  EXPECT_EQ(log[0].Text("Sales_Document_Prefix"), "SRT");
  EXPECT_DOUBLE_EQ(log[0].Double("Sales_Qty"), 24);
  EXPECT_DOUBLE_EQ(log[0].Double("Sales_Item_Amount"), 60);
  EXPECT_DOUBLE_EQ(log[0].Double("Sales_Unit_Price"), 2.5);
  EXPECT_DOUBLE_EQ(log[0].Double("Inventory_Value"), 57.6);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // Processed once, also when synchronised after.
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(r.Return_Process());
  EXPECT_EQ(r.ErrDesc(), "Already Processed");
  r.OnlineFlag = false;
  r.SyncFlag = true;
  EXPECT_FALSE(r.Return_Process());
  EXPECT_EQ(r.ErrDesc(), "Already Processed");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
}

TEST_F(SalesReturnProcessTest, AReturnNumberedOffLineIsPostedOnceAndNoDeliveryGetsACreditMemo) {
  // Credit memos are on: a return of goods delivered and not billed must never ask for one.
  conn->Execute("UPDATE Default_Sales_Preferences SET Generate_Credit_Memo = 1");
  SalesReturn off = Return(Draft({{"01P100", 12, 3, 90, 86.4, 11}}, "0101DEL4", "DEL"), false);
  off.SalesInvoiceType = "DEL";
  ASSERT_TRUE(off.Return_Process()) << off.ErrDesc();
  EXPECT_EQ(off.SalesRtnNo, "0101SRT1");
  EXPECT_EQ(NextReturnNo(), 2);
  EXPECT_EQ(Returned("Delivery_Detail", "Delivery_No", "0101DEL4", 11), 36);
  EXPECT_EQ(AtLocation("01P100"), 103);
  EXPECT_EQ(Stock("01P100"), 100);
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101SRT1'") +
                Count("Stock_Movement", "Document_No = '0101SRT1'") + Count("Sales_Log"),
            0);
  auto report = services::InspectBooks(*conn);
  EXPECT_TRUE(report.violations.empty());
  EXPECT_EQ(
      std::count(report.awaiting_synchronisation.begin(), report.awaiting_synchronisation.end(),
                 "Sales return 0101SRT1 is processed off-line: no postings until it is "
                 "synchronised"),
      1);

  SalesReturn draft = Return(Draft({{"01P300", 1, 1, 45, 30, 12}}, "0101DEL4", "DEL"), false);
  draft.SyncFlag = true;
  EXPECT_FALSE(draft.Return_Process());
  EXPECT_EQ(draft.ErrDesc(), "A sales return is synchronised once it is processed off-line");

  SalesReturn sync = Return("0101SRT1", false);
  sync.SyncFlag = true;
  sync.LastUpdate = Date::FromYmd(2027, 3, 1);
  ASSERT_TRUE(sync.Return_Process()) << sync.ErrDesc();
  EXPECT_EQ(sync.SalesRtnNo, "0101SRT1");
  EXPECT_EQ(NextReturnNo(), 2);
  // 36 sheets back, more than the layers sold (30): they give back what they sold, no more.
  EXPECT_EQ(Sold("01P100"), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(Stock("01P100"), 136);
  EXPECT_EQ(Ledger("0101SRT1"),
            (std::map<std::string, double>{{"01011300", 86.4}, {"01015000", -86.4}}));
  EXPECT_EQ(Count("Sales_Log", "Sales_Document_No = '0101SRT1' AND Sales_Qty = 36"), 1);
  // The delivery and the location took the goods back when the return was numbered.
  EXPECT_EQ(Returned("Delivery_Detail", "Delivery_No", "0101DEL4", 11), 36);
  EXPECT_EQ(AtLocation("01P100"), 103);
  EXPECT_EQ(
      Scalar("SELECT Last_Update FROM Stock_Movement WHERE Document_No = '0101SRT1'").ToDate(),
      Date::FromYmd(2027, 1, 12));
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(sync.Return_Process());
  EXPECT_EQ(sync.ErrDesc(), "Already Processed");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");

  // A direct delivery's return on-line: no credit memo either.
  SalesReturn direct = Return(Draft({{"01P300", 1, 2, 90, 60, 21}}, "0101DDL2", "DDL"));
  direct.SalesInvoiceType = "DDL";
  ASSERT_TRUE(direct.Return_Process()) << direct.ErrDesc();
  EXPECT_EQ(Returned("Direct_Delivery_Detail", "Direct_Delivery_No", "0101DDL2", 21), 2);
  EXPECT_TRUE(direct.VoucherNo.empty());
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

TEST_F(SalesReturnProcessTest, AManualNumberRaisesTheSeriesAndAnotherCostingTypeKeepsTheLayers) {
  conn->Execute("UPDATE Item_Master SET Costing_Type = 'STD' WHERE Item_Code = '01P100'");
  SalesReturn a = Return(Draft({{"01P100", 12, 1, 30, 28.8, 3}}));
  a.DocFlag = true;
  a.manualDocIdentity = 57;
  ASSERT_TRUE(a.Return_Process()) << a.ErrDesc();
  EXPECT_EQ(a.SalesRtnNo, "0101SRT57");
  EXPECT_EQ(NextReturnNo(), 58);
  EXPECT_EQ(Sold("01P100"), (std::vector<double>{20, 10, 0}));
  EXPECT_EQ(Stock("01P100"), 112);

  conn->Execute("UPDATE Document_Prefix SET Document_Next_No = 90 WHERE Document_Prefix = 'SRT'");
  SalesReturn b = Return(Draft({{"01P200", 1, 1, 20, 12, 4}}));
  b.DocFlag = true;
  b.manualDocIdentity = 60;
  ASSERT_TRUE(b.Return_Process()) << b.ErrDesc();
  EXPECT_EQ(b.SalesRtnNo, "0101SRT60");
  EXPECT_EQ(NextReturnNo(), 90);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

TEST_F(SalesReturnProcessTest, AFailureLeavesNothingWrittenAndTheNumberAsItWas) {
  struct Case {
    const char* what;
    std::function<std::string()> draft;  // the return to process, spoilt as the case says
    const char* message;
  };
  const std::vector<Case> cases = {
      {"more than the invoice line has left",
       [&] {
         conn->Execute("UPDATE Sales_Invoice_Detail SET Return_Qty = 50 WHERE SL_No = 3");
         return Draft({{"01P100", 12, 2, 60, 57.6, 3}});
       },
       "Invalid Item Details: line 3 of 0101INV7 has 10 of item P100 left to return, not 24"},
      {"one line twice beyond it",
       [&] {
         return Draft({{"01P200", 1, 6, 120, 72, 4}, {"01P200", 1, 6, 120, 72, 4}});
       },
       "Invalid Item Details: line 4 of 0101INV7 has 4 of item P200 left to return, not 6"},
      {"a source line that is not there",
       [&] {
         return Draft({{"01P100", 1, 1, 5, 2.4, 99}});
       },
       "Invalid Item Details: 0101INV7 has no line 99 of item P100"},
      {"nothing returned",
       [&] {
         return Draft({{"01P200", 1, 1, 20, 12, 4}, {"01P100", 12, 0, 0, 0, 3}});
       },
       "Invalid Item Details: line 2 (P100) returns a quantity of 0"},
      {"goods going out",
       [&] {
         return Draft({{"01P100", 12, -1, -30, -28.8, 3}});
       },
       "Invalid Item Details: line 1 (P100) returns a quantity of -12"},
      {"no costing type",
       [&] {
         conn->Execute("UPDATE Item_Master SET Costing_Type = ' ' WHERE Item_Code = '01P200'");
         return Draft({{"01P200", 1, 1, 20, 12, 4}});
       },
       "Invalid Costing Type"},
      {"no lines", [&] { return Draft({}); },
       "Error while Processing, Invalid Temporary Sales Return No."},
      {"no account preferences",
       [&] {
         conn->Execute("DELETE FROM Default_Account_Preferences");
         return Draft({{"01P200", 1, 1, 20, 12, 4}});
       },
       "Set Default Account Preferences"},
      {"no sales preferences",
       [&] {
         conn->Execute("DELETE FROM Default_Sales_Preferences WHERE Branch_Prefix = '01'");
         return Draft({{"01P200", 1, 1, 20, 12, 4}});
       },
       "Set the Sales default settings in the Sales Preferences"},
      {"a source of no known kind",
       [&] {
         return Draft({{"01P200", 1, 1, 20, 12, 4}}, "0101INV7", "XYZ");
       },
       "Invalid Source Document Type 'XYZ'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Restore();
    SalesReturn r = Return(c.draft());
    r.SalesInvoiceType = "";  // the kind the return was saved with
    const std::string number = r.SalesRtnNo;
    const TableSnapshot before = TakeSnapshot(*conn);
    EXPECT_FALSE(r.Return_Process());
    EXPECT_EQ(r.ErrDesc(), c.message);
    EXPECT_EQ(r.SalesRtnNo, number);
    EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  }

  SalesReturn r = Return("");
  EXPECT_FALSE(r.Return_Process());
  EXPECT_EQ(r.ErrDesc(), "Invalid Sales Return");
  r.SalesRtnNo = Draft({{"01P200", 1, 1, 20, 12, 4}});
  r.AdoConnectionObject = std::make_shared<Connection>();
  EXPECT_FALSE(r.Return_Process());
  EXPECT_EQ(r.ErrDesc(), "Invalid Connection Object");
}

TEST_F(SalesReturnProcessTest, UpdateSourceCountsBaseUnitsOnEveryKindOfSource) {
  Record()
      .Set("Cash_Memo_No", "0101CHM3")
      .Set("Customer_Code", "01C002")
      .Set("process_Flag", 1)
      .Insert(*conn, "Cash_Memo_Master");
  Record()
      .Set("Cash_Memo_No", "0101CHM3")
      .Set("SL_No", 31)
      .Set("Item_Code", "01P200")
      .Set("Unit_Qty", 6.0)
      .Set("Cash_Memo_Qty", 2.0)
      .Insert(*conn, "Cash_Memo_Detail");
  Record()
      .Set("Dir_Sales_Inv_No", "0101DSI1")
      .Set("SL_No", 41)
      .Set("Item_Code", "01P200")
      .Set("Unit_Qty", 1.0)
      .Set("Sales_Inv_Qty", 5.0)
      .Insert(*conn, "Direct_Sales_Invoice_Detail");
  SalesReturn r = Return("");
  r.CustomerCode = "01C002";
  r.LastUpdate = Date::FromYmd(2027, 2, 2);
  auto update = [&](const char* kind, const char* doc, const char* item, int sl, double qty) {
    std::string k = kind, d = doc, i = item;
    std::int32_t s = sl;
    return r.Update_Source(r.AdoConnectionObject, d, qty, k, i, s);
  };
  EXPECT_TRUE(update("CHM", "0101CHM3", "01P200", 31, 12));
  EXPECT_EQ(Returned("Cash_Memo_Detail", "Cash_Memo_No", "0101CHM3", 31), 12);
  EXPECT_TRUE(update("DSI", "0101DSI1", "01P200", 41, 2.5));
  EXPECT_EQ(Returned("Direct_Sales_Invoice_Detail", "Dir_Sales_Inv_No", "0101DSI1", 41), 2.5);
  EXPECT_TRUE(update("DDL", "0101DDL2", "01P300", 21, 3));
  EXPECT_TRUE(update("DEL", "0101DEL4", "01P100", 11, 59));
  EXPECT_EQ(Scalar("SELECT Last_Update FROM Delivery_Detail WHERE SL_No = 11").ToText(),
            "02/Feb/2027");
  // The last sheet but one and the last: the line is not all returned until its 60th.
  EXPECT_TRUE(update("INV", "0101INV7", "01P100", 3, 59));
  EXPECT_EQ(Count("Sales_Invoice_Detail", "parentsalesInv_allitemsreturned <> 0"), 0);
  EXPECT_TRUE(update("INV", "0101INV7", "01P100", 3, 1));
  EXPECT_EQ(Count("Sales_Invoice_Detail", "parentsalesInv_allitemsreturned <> 0"), 1);
  // A kind no source has changes nothing; more than is left, or the wrong item, is refused.
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_TRUE(update("ABC", "0101INV7", "01P100", 3, 1));
  EXPECT_FALSE(update("DEL", "0101DEL4", "01P100", 11, 2));
  EXPECT_EQ(r.ErrDesc(),
            "Invalid Item Details: line 11 of 0101DEL4 has 1 of item P100 left to return, not 2");
  EXPECT_FALSE(update("CHM", "0101CHM3", "01P100", 31, 1));
  EXPECT_EQ(r.ErrDesc(), "Invalid Item Details: 0101CHM3 has no line 31 of item P100");
  // Another customer's delivery takes nothing back from this one's return.
  r.CustomerCode = "01C001";
  EXPECT_FALSE(update("DEL", "0101DEL4", "01P100", 11, 1));
  EXPECT_EQ(r.ErrDesc(),
            "Invalid Item Details: line 11 of 0101DEL4 takes no goods back (not processed, another "
            "customer's, or billed or paid since: they come back against the invoice or the cash "
            "memo)");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

}  // namespace
}  // namespace qlnsales::testing
