#include <gtest/gtest.h>

#include "base/convert.h"
#include "db/record.h"
#include "db/schema.h"
#include "qlnsales/customer.h"
#include "qlnsales/registry.h"
#include "sample/sample_company.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class CustomerTest : public DbTest {
 protected:
  Customer Filled() {
    Customer c;
    c.ConnectionString = cs;
    c.CompanyPrefix = "01";
    c.BranchPrefix = "01";
    c.CustomerCode = "01C001";
    c.CustomerName = "O'Brien Trading";
    c.CustomerCurrencyCode = "BHD";
    c.CurrencyCode = "BHD";
    c.CurrencySymbol = "??";
    c.CustomerCity = "Manama";
    c.CustomerPhone = "1700 0000";
    c.CustomerCountry = "";
    c.CountryID = 48;
    c.CustomerCreditLimit = 5000;
    c.CustomerDiscount = 2.5;
    c.ARAccountNo = "01011200";
    c.EmployeeID = "E7";
    c.SalesPersonName = "Huda";
    c.Grade = "A";
    c.CustomerCPRFlag = true;
    c.LastUpdate = Date::FromYmd(2026, 12, 6);
    return c;
  }
  Row Stored(ResultSet& rs) {
    rs = conn->Query("SELECT * FROM Customer_Master WHERE Customer_Code = ?", {"01C001"});
    EXPECT_EQ(rs.size(), 1u);
    return rs.front();
  }
};

TEST_F(CustomerTest, ChecksRunInOrderWithTheirExactMessages) {
  Customer c;
  EXPECT_FALSE(c.Create_Customer());
  EXPECT_EQ(c.ErrDesc(), "Invalid Connection string Property.");
  c.ConnectionString = cs;
  EXPECT_FALSE(c.Update_Customer());
  EXPECT_EQ(c.ErrDesc(), "Invalid Customer Code.");
  c.CustomerCode = "01C001";
  EXPECT_FALSE(c.Create_Customer());
  EXPECT_EQ(c.ErrDesc(), "Invalid Customer Name.");
  c.CustomerName = "X";
  EXPECT_FALSE(c.Create_Customer());
  EXPECT_EQ(c.ErrDesc(), "Invalid Customer Currency.");
  c.CustomerCurrencyCode = "BHD";
  EXPECT_FALSE(c.Create_Customer());
  EXPECT_EQ(c.ErrDesc(), "Invalid Currency.");
  EXPECT_EQ(Count("Customer_Master"), 0);
  // Texts are taken as they are: a blank is not empty.
  c.CurrencyCode = " ";
  EXPECT_TRUE(c.Create_Customer());
  // A success leaves the earlier failure's text in place.
  EXPECT_EQ(c.ErrDesc(), "Invalid Currency.");
}

TEST_F(CustomerTest, CreateStoresEveryColumnWithNullsForEmptyTexts) {
  Customer c = Filled();
  c.CustomerAddress = "Road 12";  // ignored: the structured address is in use
  c.CustomerAddressFlag = true;
  c.CustomerFlatNo = "Flat 3";
  c.CustomerRoad = "Road 12";
  ASSERT_TRUE(c.Create_Customer()) << c.ErrDesc();
  EXPECT_EQ(c.CurrencySymbol, "BD");  // replaced from the currency master, trimmed

  ResultSet rs;
  Row r = Stored(rs);
  EXPECT_EQ(r.Text("Customer_Name"), "O'Brien Trading");
  EXPECT_EQ(r.Text("Company_Prefix"), "01");
  EXPECT_TRUE(r.Flag("Customer_AddressFlag"));
  EXPECT_TRUE(r.IsNull("Customer_Address"));
  EXPECT_EQ(r.Text("Customer_FlatNo"), "Flat 3");
  EXPECT_TRUE(r.IsNull("Customer_Building"));
  EXPECT_EQ(r.Text("Customer_Road"), "Road 12");
  EXPECT_TRUE(r.IsNull("Customer_State"));
  EXPECT_FALSE(r.IsNull("Customer_Country"));  // empty text, never null
  EXPECT_EQ(r.Text("Customer_Country"), "");
  EXPECT_EQ(r.Double("Country_ID"), 48);
  EXPECT_TRUE(r.IsNull("Customer_Fax"));
  EXPECT_EQ(r.Text("Currency_Symbol"), "BD");
  EXPECT_EQ(r.Double("Customer_Credit_limit"), 5000);
  EXPECT_EQ(r.Double("Customer_Discount"), 2.5);
  EXPECT_EQ(r.Text("Employee_ID"), "E7");
  EXPECT_EQ(r.Text("Sales_Person_Name"), "Huda");
  EXPECT_EQ(r.Text("AR_Account_No"), "01011200");
  EXPECT_EQ(r.Text("Customer_Grade"), "A");
  EXPECT_TRUE(r.IsNull("Customer_Comments"));
  EXPECT_TRUE(r.Flag("Customer_CPRFlag"));
  EXPECT_EQ(r.DateValue("Last_Update"), Date::FromYmd(2026, 12, 6));

  // Without an employee id neither the id nor the sales person is kept; the free-form address
  // replaces the structured one when the flag is off.
  c.EmployeeID = "";
  c.CustomerAddressFlag = false;
  ASSERT_TRUE(c.Create_Customer());
  r = Stored(rs);
  EXPECT_TRUE(r.IsNull("Employee_ID"));
  EXPECT_TRUE(r.IsNull("Sales_Person_Name"));
  EXPECT_EQ(r.Text("Customer_Address"), "Road 12");
  EXPECT_TRUE(r.IsNull("Customer_FlatNo"));
  EXPECT_TRUE(r.IsNull("Customer_Road"));
}

TEST_F(CustomerTest, CreateOverAnExistingCodeOverwritesAndKeepsTheCompany) {
  Customer c = Filled();
  ASSERT_TRUE(c.Create_Customer());
  c.CompanyPrefix = "09";
  c.CustomerName = "Renamed";
  c.CurrencyCode = "XXX";  // unknown: the symbol stays as the caller set it
  c.CurrencySymbol = "X$";
  ASSERT_TRUE(c.Create_Customer()) << c.ErrDesc();
  EXPECT_EQ(c.CurrencySymbol, "X$");
  ResultSet rs;
  Row r = Stored(rs);
  EXPECT_EQ(r.Text("Company_Prefix"), "01");
  EXPECT_EQ(r.Text("Customer_Name"), "Renamed");
  EXPECT_EQ(r.Text("Currency_Symbol"), "X$");
  EXPECT_EQ(Count("Customer_Master"), 1);
}

TEST_F(CustomerTest, BalanceRowsForTheOtherBranchesOnlyOnce) {
  refdata::AddBranch(*conn, "01", "03", "Third");
  refdata::AddBranch(*conn, "02", "01", "Other company");
  Customer c = Filled();
  c.BranchPrefix = "02";
  ASSERT_TRUE(c.Create_Customer());
  auto rows = conn->Query(
      "SELECT Company_Prefix, Branch_Prefix FROM Customer_Master_Balance WHERE Customer_Code = ? "
      "ORDER BY Branch_Prefix",
      {"01C001"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Text("Branch_Prefix"), "01");
  EXPECT_EQ(rows[1].Text("Branch_Prefix"), "03");
  EXPECT_EQ(rows[0].Text("Company_Prefix"), "01");
  ASSERT_TRUE(c.Create_Customer());
  EXPECT_EQ(Count("Customer_Master_Balance"), 2);
}

TEST_F(CustomerTest, CreateCarriesTheNameIntoAdjustmentsAndInvoicesOfThatCustomerOnly) {
  for (const char* code : {"01C001", "01C002"}) {
    Record()
        .Set("AR_Adjustment_No", std::string("ADJ-") + code)
        .Set("Customer_Code", code)
        .Set("Customer_Name", "old")
        .Insert(*conn, "AR_Adjustment_Master");
    Record()
        .Set("AR_Adjustment_No", std::string("ADJ-") + code)
        .Set("Customer_Code", code)
        .Set("Customer_Name", "old")
        .Insert(*conn, "AR_Adjustment_Detail");
    Record()
        .Set("Sales_Inv_No", std::string("INV-") + code)
        .Set("Customer_Code", code)
        .Set("Customer_Name", "old")
        .Insert(*conn, "Sales_Invoice_Master");
  }
  Customer c = Filled();
  ASSERT_TRUE(c.Create_Customer());
  for (const char* table :
       {"AR_Adjustment_Master", "AR_Adjustment_Detail", "Sales_Invoice_Master"}) {
    EXPECT_EQ(
        Count(table, "Customer_Code = ? AND Customer_Name = ?", {"01C001", "O'Brien Trading"}), 1)
        << table;
    EXPECT_EQ(Count(table, "Customer_Code = ? AND Customer_Name = ?", {"01C002", "old"}), 1)
        << table;
  }
}

TEST_F(CustomerTest, UpdateKeepsStoredValuesForEmptyTexts) {
  Customer c = Filled();
  c.CustomerComments = "Pays late";
  ASSERT_TRUE(c.Create_Customer());

  Customer u;
  u.ConnectionString = cs;
  u.CustomerCode = "01C002";
  u.CustomerName = "Nobody";
  u.CustomerCurrencyCode = "BHD";
  u.CurrencyCode = "BHD";
  EXPECT_FALSE(u.Update_Customer());
  EXPECT_EQ(u.ErrDesc(), "Customer Code Does Not Exists");

  u.CustomerCode = "01C001";
  u.CustomerName = "O'Brien Trading W.L.L.";
  u.CustomerEmail = "a@b.example";
  u.CustomerAddress = "Block 338";  // written whatever the flag says
  u.CustomerAddressFlag = true;
  u.CompanyPrefix = "77";
  ASSERT_TRUE(u.Update_Customer()) << u.ErrDesc();
  ResultSet rs;
  Row r = Stored(rs);
  EXPECT_EQ(r.Text("Customer_Name"), "O'Brien Trading W.L.L.");
  EXPECT_EQ(r.Text("Customer_Phone"), "1700 0000");  // kept
  EXPECT_EQ(r.Text("Customer_City"), "Manama");      // kept
  EXPECT_EQ(r.Text("Customer_Email"), "a@b.example");
  EXPECT_EQ(r.Text("Customer_Address"), "Block 338");
  EXPECT_TRUE(r.Flag("Customer_AddressFlag"));
  EXPECT_EQ(r.Text("Employee_ID"), "E7");           // kept
  EXPECT_EQ(r.Text("AR_Account_No"), "01011200");   // kept
  EXPECT_EQ(r.Text("Currency_Symbol"), "BD");       // kept (empty property)
  EXPECT_TRUE(r.IsNull("Customer_Comments"));       // comments: null when empty
  EXPECT_EQ(r.Double("Customer_Credit_limit"), 0);  // numbers always written
  EXPECT_FALSE(r.Flag("Customer_CPRFlag"));         // flags always written
  EXPECT_EQ(r.Text("Company_Prefix"), "01");
}

TEST_F(CustomerTest, GetLoadsTheRowAndShowsTheAccountInTheCallersBranch) {
  Customer c = Filled();
  ASSERT_TRUE(c.Create_Customer());
  conn->Execute(
      "UPDATE Customer_Master SET customer_OB_Amount = ?, customer_OB_Type = ?, "
      "Customer_Balance = ?",
      {Value(1250.75), Value("Debit"), Value(99.5)});

  Customer g;
  g.ConnectionString = cs;
  g.BranchPrefix = "02";
  ASSERT_TRUE(g.Get_Customer("01C001")) << g.ErrDesc();
  EXPECT_EQ(g.CustomerCode, "01C001");
  EXPECT_EQ(g.CustomerName, "O'Brien Trading");
  EXPECT_EQ(g.CustomerCity, "Manama");
  EXPECT_EQ(g.CountryID, 48);
  EXPECT_EQ(g.CustomerCurrencyCode, "BHD");
  EXPECT_EQ(g.CurrencySymbol, "BD");
  EXPECT_EQ(g.ARAccountNo, "01021200");
  EXPECT_EQ(g.CustomerOBAmount, 1250.75);
  EXPECT_EQ(g.CustomerOBType, "Debit");
  EXPECT_EQ(g.Grade, "A");
  EXPECT_TRUE(g.CustomerCPRFlag);
  EXPECT_FALSE(g.CustomerAddressFlag);
  EXPECT_EQ(g.CustomerBalance, 0);  // only Get_Customer_Balance fills it

  // A reused object keeps what this customer leaves empty.
  Customer other = Filled();
  other.CustomerCode = "01C002";
  other.CustomerPhone = "";
  other.ARAccountNo = "";
  ASSERT_TRUE(other.Create_Customer());
  g.BranchPrefix = "";
  ASSERT_TRUE(g.Get_Customer("01C002"));
  EXPECT_EQ(g.CustomerPhone, "1700 0000");
  EXPECT_EQ(g.ARAccountNo, "");  // stored as empty text: copied as it is without a branch
  EXPECT_EQ(g.CustomerOBAmount, 0);

  EXPECT_FALSE(g.Get_Customer("01C999"));
  EXPECT_EQ(g.ErrDesc(), "Invalid Customer Code");
  EXPECT_FALSE(g.Get_Customer(""));
  EXPECT_EQ(g.ErrDesc(), "Invalid Customer Code.");

  Customer b;
  b.AdoConnectionObject = conn;
  ASSERT_TRUE(b.Get_Customer_Balance("01C001"));
  EXPECT_EQ(b.CustomerBalance, 99.5);
  EXPECT_FALSE(b.Get_Customer_Balance("01C999"));
  EXPECT_EQ(b.ErrDesc(), "Invalid Customer Code.");
  EXPECT_FALSE(b.Get_Customer_Balance(""));
  EXPECT_EQ(b.ErrDesc(), "Invalid Customer Code.");
}

TEST_F(CustomerTest, ConnectionRulesOfTheReadingMethods) {
  Customer c = Filled();
  ASSERT_TRUE(c.Create_Customer());

  Customer g;  // no string, a closed connection object from construction
  EXPECT_FALSE(g.Get_Customer("01C001"));
  EXPECT_EQ(g.ErrDesc(), "Invalid Connection string Property.");
  g.AdoConnectionObject = nullptr;  // set to nothing: counts as closed
  EXPECT_FALSE(g.Get_Customer("01C001"));
  EXPECT_EQ(g.ErrDesc(), "Invalid Connection string Property.");
  g.AdoConnectionObject = conn;  // string-first falls back to the open object
  EXPECT_TRUE(g.Get_Customer("01C001"));
  EXPECT_EQ(g.CustomerName, "O'Brien Trading");

  Customer b;  // object only: the provider's text
  EXPECT_FALSE(b.Get_Customer_Balance("01C001"));
  EXPECT_EQ(b.ErrDesc(), "Operation is not allowed when the object is closed.");
  b.AdoConnectionObject = nullptr;
  EXPECT_FALSE(b.Get_Customer_Balance("01C001"));
  EXPECT_EQ(b.ErrDesc(), "Operation is not allowed when the object is closed.");
  b.ConnectionString = cs;  // the string does not help an object-only method
  EXPECT_FALSE(b.Get_Customer_Balance("01C001"));
}

TEST_F(CustomerTest, AProviderErrorMidWayLeavesNothingAndARetryCompletes) {
  conn->Execute("DROP TABLE AR_Adjustment_Master");
  Customer c = Filled();
  EXPECT_FALSE(c.Create_Customer());
  EXPECT_NE(convert::LCase(c.ErrDesc()).find("ar_adjustment_master"), std::string::npos)
      << c.ErrDesc();
  EXPECT_EQ(Count("Customer_Master"), 0);
  EXPECT_EQ(Count("Customer_Master_Balance"), 0);

  // Once the table is back, the same call on the same object does the whole work.
  db::CreateSchema(*conn);
  Record()
      .Set("AR_Adjustment_No", "ADJ1")
      .Set("Customer_Code", "01C001")
      .Insert(*conn, "AR_Adjustment_Master");
  EXPECT_TRUE(c.Create_Customer()) << c.ErrDesc();
  EXPECT_EQ(Count("AR_Adjustment_Master", "Customer_Name = ?", {"O'Brien Trading"}), 1);
  EXPECT_EQ(Count("Customer_Master"), 1);
  EXPECT_EQ(Count("Customer_Master_Balance"), 1);
}

TEST_F(CustomerTest, LateBoundCallsReachTheSameMembers) {
  auto o = CreateObject("QLNSales.Customer");
  o->Set("ConnectionString", cs);
  o->Set("CustomerCode", "01C010");
  o->Set("CustomerName", "Late Bound Co");
  o->Set("CustomerCurrencyCode", "USD");
  o->Set("CurrencyCode", "USD");
  o->Set("ForeignCurrencyFlag", true);
  o->Set("CustomerCreditLimit", "1500.5");
  o->Set("LastUpdate", Value("2026-12-06"));
  ASSERT_TRUE(o->Invoke("Create_Customer").ToBool()) << o->Get("ErrDesc").ToText();
  EXPECT_EQ(o->Get("CurrencySymbol").ToText(), "$");

  auto g = CreateObject("QLNSales.Customer");
  g->Set("AdoConnectionObject", conn);
  ASSERT_TRUE(g->Invoke("Get_Customer", {Value("01C010")}).ToBool()) << g->Get("ErrDesc").ToText();
  EXPECT_EQ(g->Get("CustomerName").ToText(), "Late Bound Co");
  EXPECT_TRUE(g->Get("ForeignCurrencyFlag").ToBool());
  EXPECT_EQ(g->Get("CustomerCreditLimit").ToDouble(), 1500.5);
  EXPECT_FALSE(g->Invoke("Get_Customer", {Value("nobody")}).ToBool());
  EXPECT_EQ(g->Get("ErrDesc").ToText(), "Invalid Customer Code");
}

}  // namespace
}  // namespace qlnsales::testing
