#include "sample/sample_company.h"

#include "db/record.h"

namespace qlnsales::refdata {

void AddBranch(Connection& c, const std::string& company, const std::string& branch,
               const std::string& name) {
  Record()
      .Set("Company_Prefix", company)
      .Set("Branch_Prefix", branch)
      .Set("Branch_Name", name)
      .Insert(c, "Branch_Master");
}

void AddCurrency(Connection& c, const std::string& code, const std::string& name,
                 const std::string& symbol) {
  Record()
      .Set("Currency_Code", code)
      .Set("Currency_Name", name)
      .Set("Currency_Symbol", symbol)
      .Insert(c, "Currency_Master");
}

void AddExchangeRate(Connection& c, const std::string& currency, const Date& date, double rate) {
  Record()
      .Set("Currency_Code", currency)
      .Set("Rate_Date", date)
      .Set("Exchange_Rate", rate)
      .Insert(c, "Exchange_Rate_Master");
}

void AddAccount(Connection& c, const std::string& account_no, const std::string& name,
                const std::string& type) {
  Record()
      .Set("Account_No", account_no)
      .Set("Account_Name", name)
      .Set("Company_Prefix", account_no.substr(0, 2))
      .Set("Branch_Prefix", account_no.size() >= 4 ? account_no.substr(2, 2) : "")
      .Set("Account_Type", type)
      .Set("Opening_Balance", 0.0)
      .Insert(c, "Chart_Of_Accounts");
}

void AddItem(Connection& c, const std::string& item_code, const std::string& name, int item_type,
             const std::string& unit, const std::string& tax_type) {
  Record()
      .Set("Item_Code", item_code)
      .Set("Item_Name", name)
      .Set("Company_Prefix", item_code.substr(0, 2))
      .Set("Item_Type", item_type)
      .Set("Unit_Name", unit)
      .Set("Base_Qty", 1.0)
      .Set("TaxType", tax_type)
      .Set("Costing_Type", "AVEG")
      .Insert(c, "Item_Master");
}

void AddLocation(Connection& c, const std::string& company, const std::string& branch, int id,
                 const std::string& name) {
  Record()
      .Set("Location_ID", id)
      .Set("Location_Name", name)
      .Set("Company_Prefix", company)
      .Set("Branch_Prefix", branch)
      .Insert(c, "Location_Master");
}

void AddSeries(Connection& c, const std::string& company, const std::string& branch,
               const std::string& prefix, const std::string& name, double next_no, bool manual) {
  Record()
      .Set("Document_Prefix", prefix)
      .Set("Company_Prefix", company)
      .Set("Branch_Prefix", branch)
      .Set("Document_Name", name)
      .Set("Document_Next_No", next_no)
      .Set("Document_Temp_Next_No", 1.0)
      .Set("Manual_Flag", manual)
      .Insert(c, "Document_Prefix");
}

void AddOpeningStock(Connection& c, const std::string& company, const std::string& branch,
                     const std::string& item_code, int location, double quantity,
                     double unit_cost) {
  c.Execute(
      "UPDATE Item_Master SET Stock_In_Hand = Stock_In_Hand + ?, Stock_Amount = "
      "Stock_Amount + ? WHERE Item_Code = ?",
      {Value(quantity), Value(quantity * unit_cost), Value(item_code)});
  auto item =
      c.Query("SELECT Item_Name, Unit_Name FROM Item_Master WHERE Item_Code = ?", {item_code});
  auto loc = c.Query(
      "SELECT Location_Name FROM Location_Master WHERE Branch_Prefix = ? AND "
      "Location_ID = ?",
      {Value(branch), Value(location)});
  const std::string item_name = item.empty() ? "" : item.front().Text("Item_Name");
  const std::string unit = item.empty() ? "" : item.front().Text("Unit_Name");
  const std::string loc_name = loc.empty() ? "" : loc.front().Text("Location_Name");
  c.Execute(
      "INSERT INTO Location_Stock (Company_Prefix, Branch_Prefix, Item_Code, Location_ID, "
      "Location_Name, Item_Name, Unit_Name, Quantity) VALUES (?, ?, ?, ?, ?, ?, ?, 0) ON "
      "CONFLICT DO NOTHING",
      {Value(company), Value(branch), Value(item_code), Value(location), Value(loc_name),
       Value(item_name), Value(unit)});
  c.Execute(
      "UPDATE Location_Stock SET Quantity = Quantity + ? WHERE Branch_Prefix = ? AND "
      "Item_Code = ? AND Location_ID = ?",
      {Value(quantity), Value(branch), Value(item_code), Value(location)});
  Record()
      .Set("Company_Prefix", company)
      .Set("Branch_Prefix", branch)
      .Set("Document_Prefix", "OPN")
      .Set("Document_No", company + branch + "OPN")
      .Set("Document_Type", "Opening")
      .Set("Item_Code", item_code)
      .Set("Item_Name", item_name)
      .Set("Unit_Name", unit)
      .Set("Unit_Qty", 1.0)
      .Set("Base_Qty", quantity)
      .Set("In_Qty", quantity)
      .Set("In_Amount", quantity * unit_cost)
      .Set("In_Price", unit_cost)
      .Set("Location_ID", location)
      .Set("Location_Name", loc_name)
      .Insert(c, "Stock_Movement");
}

// Account numbers: company, branch, then the ledger code ("0101" + "1200").
void SetSalesPreferences(Connection& c, const std::string& company, const std::string& branch) {
  const std::string p = company + branch;
  Record()
      .Set("Company_Prefix", company)
      .Set("Branch_Prefix", branch)
      .Set("Cash_Sales_Account_No", p + "4000")
      .Set("Credit_Sales_Account_No", p + "4100")
      .Set("COG_Account_No", p + "5000")
      .Set("FOC_Account_No", p + "5100")
      .Set("Sales_Disc_Account_No", p + "4200")
      .Set("Sales_Return_Account_No", p + "4300")
      .Set("Generate_Credit_Memo", true)
      .Set("Cash_SO_Delivery_Flag", true)
      .Set("Cash_SO_Cash_Memo_Flag", true)
      .Set("Credit_SO_Delivery_Flag", true)
      .Set("Credit_SO_Invoice_Flag", true)
      .Insert(c, "Default_Sales_Preferences");
}

void SetAccountPreferences(Connection& c, const std::string& company, const std::string& branch) {
  const std::string p = company + branch;
  Record()
      .Set("Company_Prefix", company)
      .Set("Branch_Prefix", branch)
      .Set("AR_Account_No", p + "1200")
      .Set("AdvRec_Account_No", p + "2200")
      .Set("Cash_Memo_Account_No", p + "1000")
      .Set("Inventory_Account_No", p + "1300")
      .Insert(c, "Default_Account_Preferences");
}

bool AddSampleCompany(Connection& c,
                      const std::function<void(int part, int parts, const char* name)>& step) {
  auto part = [&step](int n, const char* name) {
    if (step) step(n, 5, name);
  };
  if (!c.Query("SELECT Branch_Prefix FROM Branch_Master WHERE Company_Prefix = ? AND "
               "Branch_Prefix = ?",
               {"01", "01"})
           .empty())
    return false;
  bool own = !c.InTransaction();
  if (own) c.BeginTrans();
  try {
    part(1, "branches and currencies");
    AddBranch(c, "01", "01", "Head Office");
    AddBranch(c, "01", "02", "Harbour Branch");
    AddCurrency(c, "BHD", "Local Dinar", "BD");
    AddCurrency(c, "USD", "US Dollar", "$");
    AddExchangeRate(c, "USD", Date::FromYmd(2026, 1, 1), 0.376);
    AddExchangeRate(c, "USD", Date::FromYmd(2026, 11, 1), 0.377);
    part(2, "accounts, preferences, locations and series");
    for (const std::string branch : {"01", "02"}) {
      const std::string p = "01" + branch;
      AddAccount(c, p + "1000", "Cash in Hand", "Asset");
      AddAccount(c, p + "1100", "Bank", "Asset");
      AddAccount(c, p + "1200", "Accounts Receivable", "Asset");
      AddAccount(c, p + "1300", "Inventory", "Asset");
      AddAccount(c, p + "2100", "Tax Payable", "Liability");
      AddAccount(c, p + "2200", "Advance Receipts", "Liability");
      AddAccount(c, p + "3000", "Opening Balance Equity", "Equity");
      AddAccount(c, p + "4000", "Cash Sales", "Income");
      AddAccount(c, p + "4100", "Credit Sales", "Income");
      AddAccount(c, p + "4200", "Sales Discount", "Expense");
      AddAccount(c, p + "4300", "Sales Returns", "Expense");
      AddAccount(c, p + "5000", "Cost of Goods Sold", "Expense");
      AddAccount(c, p + "5100", "Free of Cost Issues", "Expense");
      SetSalesPreferences(c, "01", branch);
      SetAccountPreferences(c, "01", branch);
      AddLocation(c, "01", branch, 1, "Location1");
      AddLocation(c, "01", branch, 2, "Showroom");
      for (const auto& [prefix, name] : std::initializer_list<std::pair<const char*, const char*>>{
               {"SOR", "Sales Order"},
               {"DEL", "Delivery"},
               {"DDL", "Direct Delivery"},
               {"CHM", "Cash Memo"},
               {"INV", "Sales Invoice"},
               {"SRT", "Sales Return"},
               {"CRM", "Credit Memo"},
               {"OBI", "Opening Balance Invoice"},
               {"OBR", "Opening Balance Receipt"}})
        AddSeries(c, "01", branch, prefix, name);
    }
    part(3, "tax authorities and codes");
    // Tax: one authority and a standard code per branch; codes carry company and branch.
    for (const std::string branch : {"01", "02"}) {
      const std::string p = "01" + branch;
      Record()
          .Set("Code", p + "VAT")
          .Set("Company_Prefix", "01")
          .Set("Branch_Prefix", branch)
          .Set("Description", "Value Added Tax")
          .Set("TaxRate", 10.0)
          .Set("AccountNo", p + "2100")
          .Set("AccountName", "Tax Payable")
          .Insert(c, "TaxAuthorities");
      Record()
          .Set("Tax_Code", p + "STD")
          .Set("Company_Prefix", "01")
          .Set("Branch_Prefix", branch)
          .Set("Tax_Description", "Standard rate")
          .Set("Tax_Rate", 10.0)
          .Set("DefaultCode", true)
          .Set("Tax_Type", "Sales")
          .Insert(c, "TaxCodeMaster");
      Record()
          .Set("TaxCode", p + "STD")
          .Set("TaxAuthorityCode", p + "VAT")
          .Set("TaxAuthorityName", "Value Added Tax")
          .Set("TaxAuthorityRate", 10.0)
          .Insert(c, "TaxCodeDetails");
    }
    part(4, "items and opening stock");
    AddItem(c, "01P100", "Printer Paper A4", 0, "Box");
    AddItem(c, "01P200", "Ink Cartridge", 0, "Pcs");
    AddItem(c, "01P300", "Desk Lamp", 0, "Pcs");
    AddItem(c, "01S100", "Installation Service", 1, "Hour", "Exempted");
    AddOpeningStock(c, "01", "01", "01P100", 1, 100, 2.5);
    AddOpeningStock(c, "01", "01", "01P200", 1, 40, 12);
    AddOpeningStock(c, "01", "01", "01P200", 2, 10, 12);
    AddOpeningStock(c, "01", "01", "01P300", 2, 8, 30);
    // The opening stock's value stands in the books as the inventory's opening balance.
    c.Execute(
        "UPDATE Chart_Of_Accounts SET Opening_Balance = (SELECT SUM(Stock_Amount) FROM "
        "Item_Master) WHERE Account_No = '01011300'");
    c.Execute(
        "UPDATE Chart_Of_Accounts SET Opening_Balance = -(SELECT SUM(Stock_Amount) FROM "
        "Item_Master) WHERE Account_No = '01013000'");
    part(5, "committing");
    if (own) c.CommitTrans();
  } catch (...) {
    if (own && c.InTransaction()) c.RollbackTrans();
    throw;
  }
  return true;
}

}  // namespace qlnsales::refdata
