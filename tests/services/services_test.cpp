#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/customer.h"
#include "qlnsales/registry.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class ServicesTest : public DbTest {
 protected:
  ObjectRef Make(const char* cls) {
    auto o = CreateObject(cls);
    if (o->HasProperty("AdoConnectionObject")) o->Set("AdoConnectionObject", conn);
    return o;
  }
  bool Call(const ObjectRef& o, const char* method, std::vector<Value> args = {}) {
    bool ok = o->Invoke(method, args).ToBool();
    last_error = o->Get("ErrDesc").ToText();
    return ok;
  }
  // One ledger line and its balance posting, as the documents post them.
  bool PostLine(const std::string& doc, const std::string& account, double debit, double credit) {
    auto gl = Make("QLNAccounts.GeneralLedger");
    gl->Set("DocumentNo", doc);
    gl->Set("DocumentPrefix", "CHM");
    gl->Set("GLDate", Date::FromYmd(2026, 12, 6));
    gl->Set("AccountNo", account);
    gl->Set("GLDebitAmount", debit);
    gl->Set("GLCreditAmount", credit);
    gl->Set("FCGLDebitAmount", debit);
    gl->Set("FCGLCreditAmount", credit);
    gl->Set("GLDescription", "Test line");
    gl->Set("LastUpdate", Date::FromYmd(2026, 12, 6));
    if (!Call(gl, "GLInsert")) return false;
    return Call(gl, "COAPosting", {Value(account), Value(debit - credit)});
  }
  double Balance(const std::string& account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  std::vector<std::string> Books() { return services::CheckBooks(*conn); }
  std::string last_error;
};

TEST_F(ServicesTest, ALedgerPairBalancesAndMovesBothAccounts) {
  EXPECT_TRUE(Books().empty());
  ASSERT_TRUE(PostLine("0101CHM1", "01011000", 55.5, 0)) << last_error;
  ASSERT_TRUE(PostLine("0101CHM1", "01014000", 0, 55.5)) << last_error;
  EXPECT_EQ(Balance("01011000"), 55.5);
  EXPECT_EQ(Balance("01014000"), -55.5);
  EXPECT_EQ(Count("General_Ledger", "Document_No = ?", {"0101CHM1"}), 2);
  EXPECT_TRUE(Books().empty());

  EXPECT_FALSE(PostLine("0101CHM2", "01019999", 1, 0));
  EXPECT_EQ(last_error, "Invalid Account No: 01019999 is not in the chart of accounts.");
  EXPECT_FALSE(PostLine("0101CHM2", "", 1, 0));
  EXPECT_EQ(Count("General_Ledger", "Document_No = ?", {"0101CHM2"}), 0);

  auto gl = Make("QLNAccounts.GeneralLedger");
  EXPECT_FALSE(Call(gl, "COAPosting", {Value("01019999"), Value(5.0)}));
  EXPECT_EQ(last_error, "Invalid Account No: 01019999 is not in the chart of accounts.");
}

TEST_F(ServicesTest, TheBooksCheckNamesEveryBrokenInvariant) {
  ASSERT_TRUE(PostLine("0101CHM1", "01011000", 10, 0));
  // A deliberately broken ledger line: credited without its balance posting.
  Record()
      .Set("Document_No", "0101CHM1")
      .Set("Account_No", "01014000")
      .Set("Credit_Amount", 9.0)
      .Insert(*conn, "General_Ledger");
  conn->Execute("UPDATE Item_Master SET Stock_In_Hand = 99 WHERE Item_Code = ?", {"01P100"});
  conn->Execute("INSERT INTO Customer_Master (Customer_Code, Customer_Balance) VALUES (?, ?)",
                {Value("C1"), Value(5.0)});
  auto v = Books();
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v[0], "Ledger lines of document 0101CHM1 do not balance: debits 10, credits 9");
  EXPECT_EQ(v[1], "Account 01014000 has balance 0 but its ledger lines sum to -9");
  EXPECT_EQ(v[2], "Item 01P100 has 99 in stock but its movements sum to 100");
  EXPECT_EQ(v[3], "Customer C1 has balance 5 but its receivable lines sum to 0");
}

TEST_F(ServicesTest, AStockOutMovesStockAndItsCostAtAverageCost) {
  auto out = Make("QLNInventory.ReduceStock");
  out->Set("BranchPrefix", "01");
  out->Set("ItemCode", "01P100");
  out->Set("UnitName", "Box");
  out->Set("LastUpdate", "06/Dec/2026");
  ASSERT_TRUE(Call(out, "ReduceStockInHand", {Value(10.0)})) << last_error;
  EXPECT_EQ(out->Get("ItemType").ToInt32(), 0);
  EXPECT_DOUBLE_EQ(out->Get("SellingValue").ToDouble(), 25);  // 10 at 2.5
  EXPECT_EQ(out->Get("TotalQty").ToDouble(), 90);
  EXPECT_EQ(Scalar("SELECT Stock_Amount FROM Item_Master WHERE Item_Code = '01P100'").ToDouble(),
            225);

  auto move = Make("QLNInventory.StockMovement");
  for (auto [k, v] : std::initializer_list<std::pair<const char*, Value>>{
           {"CompanyPrefix", "01"},
           {"BranchPrefix", "01"},
           {"DocumentPrefix", "DEL"},
           {"ItemCode", "01P100"},
           {"ItemName", "Printer Paper A4"},
           {"UnitName", "Box"},
           {"UnitQty", 1.0},
           {"OutQty", 10.0},
           {"OutAmount", 25.0},
           {"OutPrice", 2.5},
           {"DocumentNo", "0101DEL1"},
           {"DocumentDate", Date::FromYmd(2026, 12, 6)},
           {"DocumentType", "Delivery"},
           {"LocationID", 1},
           {"LocationName", "Location1"}})
    move->Set(k, v);
  ASSERT_TRUE(Call(move, "StockMovement", {Value(10.0)})) << last_error;
  EXPECT_EQ(Scalar("SELECT Base_Qty FROM Stock_Movement WHERE Document_No = '0101DEL1'").ToDouble(),
            -10);
  EXPECT_TRUE(Books().empty());

  // Everything that is left goes out at the whole remaining amount.
  ASSERT_TRUE(Call(out, "ReduceStockInHand", {Value(90.0)}));
  EXPECT_DOUBLE_EQ(out->Get("SellingValue").ToDouble(), 225);
  // More than is in hand is refused and changes nothing.
  EXPECT_FALSE(Call(out, "ReduceStockInHand", {Value(1.0)}));
  EXPECT_EQ(last_error, "Not enough stock of 01P100: 0 in hand, 1 wanted.");
  // A unit of 12 base units takes out twelve times as much.
  out->Set("ItemCode", "01P200");
  out->Set("UnitQty", 12.0);
  ASSERT_TRUE(Call(out, "ReduceStockInHand", {Value(2.0)}));
  EXPECT_DOUBLE_EQ(out->Get("SellingValue").ToDouble(), 288);
  EXPECT_EQ(out->Get("TotalQty").ToDouble(), 26);
  EXPECT_FALSE(Call(out, "ReduceStockInHand", {Value(-1.0)}));
  // A service item is not kept in stock: nothing moves.
  out->Set("ItemCode", "01S100");
  ASSERT_TRUE(Call(out, "ReduceStockInHand", {Value(3.0)}));
  EXPECT_EQ(out->Get("ItemType").ToInt32(), 1);
  EXPECT_EQ(out->Get("SellingValue").ToDouble(), 0);
  out->Set("ItemCode", "01NONE");
  EXPECT_FALSE(Call(out, "ReduceStockInHand", {Value(1.0)}));
  EXPECT_EQ(last_error, "Invalid Item Code: 01NONE is not in the item master.");
}

TEST_F(ServicesTest, AReceivableLineMovesTheCustomersBalanceAndCanBeTakenBack) {
  Customer c;
  c.ConnectionString = cs;
  c.CustomerCode = "01C001";
  c.CustomerName = "Gulf Traders";
  c.CustomerCurrencyCode = c.CurrencyCode = "BHD";
  ASSERT_TRUE(c.Create_Customer());

  auto ar = Make("QLNAccounts.AccountsReceivable");
  ar->Set("DocumentNo", "0101INV7");
  ar->Set("DocumentPrefix", "INV");
  ar->Set("ARLDate", Date::FromYmd(2026, 12, 6));
  ar->Set("CustomerCode", "01C001");
  ar->Set("AccountNo", "01011200");
  ar->Set("ARLDebitAmount", 120.0);
  ar->Set("FCARLDebitAmount", 120.0);
  ar->Set("ARLDescription", "Accounts Receivable : Customer Code - C001");
  ASSERT_TRUE(Call(ar, "AR_Insert_Transaction")) << last_error;
  ar->Set("ARLDebitAmount", 0.0);
  ar->Set("ARLCreditAmount", 20.0);
  ASSERT_TRUE(Call(ar, "AR_Insert_Transaction"));
  c.AdoConnectionObject = conn;
  ASSERT_TRUE(c.Get_Customer_Balance("01C001"));
  EXPECT_EQ(c.CustomerBalance, 100);
  EXPECT_TRUE(Books().empty());

  auto del = Make("QLNAccounts.AccountsReceivable");
  del->Set("DocumentNo", "0101INV7");
  ASSERT_TRUE(Call(del, "ARL_Delete"));
  EXPECT_EQ(Count("Accounts_Receivable_Ledger"), 0);
  ASSERT_TRUE(c.Get_Customer_Balance("01C001"));
  EXPECT_EQ(c.CustomerBalance, 0);
  EXPECT_TRUE(Books().empty());

  ar->Set("CustomerCode", "01C404");
  EXPECT_FALSE(Call(ar, "AR_Insert_Transaction"));
  EXPECT_EQ(last_error, "Invalid Customer Code: 01C404 is not a customer.");
  EXPECT_EQ(Count("Accounts_Receivable_Ledger"), 0);
}

TEST_F(ServicesTest, InventoryLocationsOrderedQuantitiesAndAccounts) {
  auto loc = Make("QLNInventory.LocationStock");
  loc->Set("BranchPrefix", "01");
  loc->Set("CompanyPrefix", "01");
  loc->Set("ItemCode", "01P200");
  loc->Set("LocationCode", 2);
  loc->Set("LocationName", "Showroom");
  loc->Set("LocationQty", 4.0);
  ASSERT_TRUE(Call(loc, "UpdateLocationStock", {Value(1)})) << last_error;
  EXPECT_EQ(Scalar("SELECT Quantity FROM Location_Stock WHERE Item_Code = '01P200' AND "
                   "Location_ID = 2")
                .ToDouble(),
            6);
  ASSERT_TRUE(Call(loc, "UpdateLocationStock", {Value(0)}));
  EXPECT_EQ(Scalar("SELECT Quantity FROM Location_Stock WHERE Item_Code = '01P200' AND "
                   "Location_ID = 2")
                .ToDouble(),
            10);
  EXPECT_FALSE(Call(loc, "UpdateLocationStock", {Value(2)}));

  auto inv = Make("QLNInventory.Inventory");
  inv->Set("ItemCode", "01P300");
  inv->Set("BranchPrefix", "02");
  inv->Set("ItemQuantity", 5.0);
  ASSERT_TRUE(Call(inv, "Update_Item_OrderedQty", {Value("Increase")})) << last_error;
  inv->Set("ItemQuantity", 2.0);
  ASSERT_TRUE(Call(inv, "Update_Item_OrderedQty", {Value("Decrease")}));
  EXPECT_EQ(Scalar("SELECT Ordered_Qty FROM Item_Branch_Stock WHERE Item_Code = '01P300' AND "
                   "Branch_Prefix = '02'")
                .ToDouble(),
            3);
  EXPECT_FALSE(Call(inv, "Update_Item_OrderedQty", {Value("Sideways")}));
  EXPECT_EQ(last_error, "Invalid direction 'Sideways': use Increase or Decrease.");

  auto type = CreateObject("QLNInventory.Inventory");
  type->Set("ADOConnectionString", cs);
  type->Set("ItemCode", "01S100");
  ASSERT_TRUE(Call(type, "Get_Item_Type"));
  EXPECT_EQ(type->Get("ItemType").ToText(), "1");

  inv->Set("CompanyPrefix", "01");
  inv->Set("BranchPrefix", "01");
  conn->Execute("UPDATE Item_Master SET COGS_Account_No = '01015100' WHERE Item_Code = '01P300'");
  ASSERT_TRUE(Call(inv, "Get_Item_Account")) << last_error;
  EXPECT_EQ(inv->Get("COGSAccountNo").ToText(), "01015100");  // the item's own
  EXPECT_EQ(inv->Get("FOCAccountNo").ToText(), "01015100");   // the branch default
  EXPECT_EQ(inv->Get("InventoryAccountNo").ToText(), "01011300");
  inv->Set("BranchPrefix", "07");
  inv->Set("ItemCode", "01P100");
  EXPECT_FALSE(Call(inv, "Get_Item_Account"));

  auto prefs = CreateObject("QLNAccount.AccountPreferences");
  prefs->Set("ConnectionString", cs);
  ASSERT_TRUE(Call(prefs, "Get_Account_Preferences", {Value("01"), Value("02")}));
  EXPECT_EQ(prefs->Get("ARAccountNo").ToText(), "01021200");
  EXPECT_EQ(prefs->Get("InventoryAccountNo").ToText(), "01021300");
  EXPECT_FALSE(Call(prefs, "Get_Account_Preferences", {Value("01"), Value("09")}));
  EXPECT_EQ(last_error, "Account preferences are not set for company 01, branch 09.");
}

TEST_F(ServicesTest, CurrencyLookUpsSalesLogChequesAndTheVoucherContract) {
  auto fx = CreateObject("QLNCurrency.Currency");
  fx->Set("ConnectionString", cs);
  fx->Set("RateDate", Date::FromYmd(2026, 10, 31));
  std::vector<Value> args{Value(37.6), Value("USD"), Value(0.0), Value(), Value(2)};
  EXPECT_DOUBLE_EQ(fx->Invoke("Convert_Into_FC", args).ToDouble(), 100);
  EXPECT_EQ(args[2].ToDouble(), 0.376);
  EXPECT_EQ(args[3].ToDate(), Date::FromYmd(2026, 1, 1));
  fx->Set("RateDate", Date::FromYmd(2026, 12, 6));
  std::vector<Value> later{Value(37.7), Value("USD"), Value(0.0), Value()};
  EXPECT_DOUBLE_EQ(fx->Invoke("Convert_Into_FC", later).ToDouble(), 100);
  std::vector<Value> none{Value(1.0), Value("EUR"), Value(0.0), Value()};
  EXPECT_THROW(fx->Invoke("Convert_Into_FC", none), Error);

  auto general = CreateObject("QLNSystem.General");
  general->Set("ADOConnectionString", cs);
  EXPECT_EQ(general
                ->Invoke("GetFldValue", {Value("Chart_Of_Accounts"), Value("Account_Name"),
                                         Value("Account_No"), Value("01011300")})
                .ToText(),
            "Inventory");
  EXPECT_EQ(general
                ->Invoke("GetFldValue", {Value("Item_Master"), Value("Item_Type"),
                                         Value("Item_Code"), Value("01S100")})
                .ToText(),
            "1");
  EXPECT_THROW(general->Invoke("GetFldValue", {Value("Nothing"), Value("X")}), Error);

  auto log = Make("QLNInventory.SalesLog");
  log->Set("SalesDocumentNo", "0101CHM1");
  log->Set("ItemCode", "01P100");
  log->Set("SalesQty", 3.0);
  log->Set("SalesItemAmount", 12.0);
  log->Set("SalesLogDate", Date::FromYmd(2026, 12, 6));
  ASSERT_TRUE(Call(log, "Create_SalesLog")) << last_error;
  EXPECT_EQ(Count("Sales_Log", "Sales_Document_No = ? AND Sales_Qty = 3", {"0101CHM1"}), 1);

  auto pdc = Make("QLNBank.PDC");
  pdc->Set("CustomerID", "01C001");
  pdc->Set("ChequeNo", "000123");
  pdc->Set("ChequeAmount", 80.0);
  pdc->Set("LastUpdate", "06/Dec/2026");
  ASSERT_TRUE(Call(pdc, "Create_PDC")) << last_error;
  EXPECT_EQ(Count("PDC_Master", "Cheque_No = ? AND Last_Update = ?", {"000123", "06/Dec/2026"}), 1);

  auto note = Make("QLNAccountsExt.DebitCreditNote");
  EXPECT_FALSE(Call(note, "Process_Voucher", {Value("0101CRMTMP1")}));
  EXPECT_EQ(last_error, "Invalid Voucher No: there is no voucher 0101CRMTMP1.");

  // A module without an open connection fails with the provider's text, it does not crash.
  auto closed = CreateObject("QLNInventory.SalesLog");
  EXPECT_FALSE(Call(closed, "Create_SalesLog"));
  EXPECT_EQ(last_error, "Operation is not allowed when the object is closed.");
}

}  // namespace
}  // namespace qlnsales::testing
