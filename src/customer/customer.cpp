#include "qlnsales/customer.h"

#include "base/convert.h"
#include "db/record.h"

namespace qlnsales {

using convert::Trim;

Customer::Customer()
    : AdoConnectionObject(std::make_shared<Connection>()),
      Address(std::make_shared<qlnsales::CustomerAddress>()),
      Addresses(std::make_shared<CustomerAddresses>()) {}

namespace {

// The checks before a customer is saved, in their order; the failure's text, or none.
const char* CustomerFault(const Customer& c) {
  if (c.ConnectionString.empty()) return "Invalid Connection string Property.";
  if (c.CustomerCode.empty()) return "Invalid Customer Code.";
  if (c.CustomerName.empty()) return "Invalid Customer Name.";
  if (c.CustomerCurrencyCode.empty()) return "Invalid Customer Currency.";
  if (c.CurrencyCode.empty()) return "Invalid Currency.";
  return nullptr;
}

}  // namespace

bool Customer::Create_Customer() {
  if (auto fault = CustomerFault(*this)) return Fail(fault);
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);

    auto currency = conn->Query(
        "SELECT Currency_Symbol FROM Currency_Master WHERE Currency_Code = ?", {CurrencyCode});
    if (!currency.empty()) CurrencySymbol = Trim(currency.front().Text("Currency_Symbol"));

    bool exists = !conn->Query("SELECT Customer_Code FROM Customer_Master WHERE Customer_Code = ?",
                               {CustomerCode})
                       .empty();
    Record row;
    if (!exists) row.Set("Customer_Code", CustomerCode).Set("Company_Prefix", CompanyPrefix);
    row.Set("Customer_Name", CustomerName);
    if (CustomerAddressFlag) {
      row.Set("Customer_AddressFlag", true)
          .Set("Customer_Address", Value())
          .SetOptional("Customer_FlatNo", CustomerFlatNo)
          .SetOptional("Customer_Building", CustomerBuilding)
          .SetOptional("Customer_Block", CustomerBlock)
          .SetOptional("Customer_Road", CustomerRoad);
    } else {
      row.Set("Customer_AddressFlag", false)
          .SetOptional("Customer_Address", CustomerAddress)
          .Set("Customer_FlatNo", Value())
          .Set("Customer_Building", Value())
          .Set("Customer_Block", Value())
          .Set("Customer_Road", Value());
    }
    row.SetOptional("Customer_City", CustomerCity)
        .SetOptional("Customer_State", CustomerState)
        .SetOptional("Customer_Postal", CustomerPostal)
        .Set("Customer_Country", CustomerCountry)
        .Set("Country_ID", CountryID)
        .SetOptional("Customer_Phone", CustomerPhone)
        .SetOptional("Customer_Fax", CustomerFax)
        .SetOptional("Customer_Email", CustomerEmail)
        .SetOptional("Customer_Contact_Name", CustomerContactName)
        .SetOptional("Customer_Contact_Phone", CustomerContactPhone)
        .SetOptional("Customer_Payment_Type", CustomerPaymentType)
        .SetOptional("Customer_Payment_Terms", CustomerPaymentTerms)
        .Set("Payment_Terms_ID", PaymentTermsID)
        .SetOptional("Customer_Currency_Code", CustomerCurrencyCode)
        .SetOptional("Currency_Code", CurrencyCode)
        .SetOptional("Currency_Name", CurrencyName)
        .Set("Currency_Symbol", CurrencySymbol)
        .Set("Customer_Credit_limit", CustomerCreditLimit)
        .Set("Customer_Discount", CustomerDiscount)
        .Set("Foreign_Currency_Flag", ForeignCurrencyFlag)
        .SetOptional("Customer_Comments", CustomerComments);
    if (!EmployeeID.empty())
      row.Set("Employee_ID", EmployeeID).Set("Sales_Person_Name", SalesPersonName);
    else
      row.Set("Employee_ID", Value()).Set("Sales_Person_Name", Value());
    row.Set("AR_Account_No", ARAccountNo)
        .Set("Customer_InActive_Flag", CustomerInActiveFlag)
        .SetOptional("Customer_Grade", Grade)
        .Set("Last_Update", LastUpdate)
        .SetOptional("Customer_Contact_Designation", ContactDesignation)
        .SetOptional("Customer_Contact_Site", ContactSite)
        .SetOptional("Customer_Contact_Remarks", ContactRemarks)
        .SetOptional("customer_owner_name", OwnerName)
        .SetOptional("Customer_Owner_CPRNo", OwnerCPRNo)
        .SetOptional("Customer_CRNo", CustomerCRNo)
        .Set("Customer_CPRFlag", CustomerCPRFlag);
    if (exists)
      row.Update(*conn, "Customer_Master", Record().Set("Customer_Code", CustomerCode));
    else
      row.Insert(*conn, "Customer_Master");

    // A balance row for each other branch of the company; existing rows are left alone.
    auto branches = conn->Query(
        "SELECT Branch_Prefix FROM Branch_Master WHERE Branch_Prefix <> ? AND Company_Prefix = ? "
        "ORDER BY Branch_Prefix",
        {BranchPrefix, CompanyPrefix});
    for (std::size_t i = 0; i < branches.size(); ++i) {
      auto branch = branches[i].Text("Branch_Prefix");
      if (conn->Query("SELECT Customer_Code FROM Customer_Master_Balance WHERE Customer_Code = ? "
                      "AND Branch_Prefix = ?",
                      {CustomerCode, branch})
              .empty())
        Record()
            .Set("Customer_Code", CustomerCode)
            .Set("Company_Prefix", CompanyPrefix)
            .Set("Branch_Prefix", branch)
            .Insert(*conn, "Customer_Master_Balance");
    }

    // The stored name follows the customer into its adjustments and invoices. One update per
    // table, restricted to the code, so the cost does not grow with the tables.
    for (const char* table :
         {"AR_Adjustment_Detail", "Sales_Invoice_Master", "AR_Adjustment_Master"})
      Record()
          .Set("Customer_Name", CustomerName)
          .Update(*conn, table, Record().Set("Customer_Code", CustomerCode));
    return true;
  });
}

bool Customer::Update_Customer() {
  if (auto fault = CustomerFault(*this)) return Fail(fault);
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    if (conn->Query("SELECT Customer_Code FROM Customer_Master WHERE Customer_Code = ?",
                    {CustomerCode})
            .empty())
      return Fail("Customer Code Does Not Exists");

    Record row;
    auto if_set = [&row](const char* column, const std::string& text) {
      if (!text.empty()) row.Set(column, text);
    };
    row.Set("Customer_Name", CustomerName);
    if_set("Customer_Address", CustomerAddress);
    if_set("Customer_City", CustomerCity);
    if_set("Customer_State", CustomerState);
    if_set("Customer_Postal", CustomerPostal);
    row.Set("Customer_Country", CustomerCountry).Set("Country_ID", CountryID);
    if_set("Customer_Phone", CustomerPhone);
    if_set("Customer_Fax", CustomerFax);
    if_set("Customer_Email", CustomerEmail);
    if_set("Customer_Contact_Name", CustomerContactName);
    if_set("Customer_Contact_Phone", CustomerContactPhone);
    if_set("Customer_Payment_Type", CustomerPaymentType);
    if_set("Customer_Payment_Terms", CustomerPaymentTerms);
    row.Set("Payment_Terms_ID", PaymentTermsID)
        .Set("Customer_Currency_Code", CustomerCurrencyCode)
        .Set("Currency_Code", CurrencyCode);
    if_set("Currency_Name", CurrencyName);
    if_set("Currency_Symbol", CurrencySymbol);
    row.Set("Customer_Credit_limit", CustomerCreditLimit)
        .Set("Customer_Discount", CustomerDiscount)
        .Set("Foreign_Currency_Flag", ForeignCurrencyFlag)
        .SetOptional("Customer_Comments", CustomerComments);
    if_set("Employee_ID", EmployeeID);
    if_set("Sales_Person_Name", SalesPersonName);
    if_set("AR_Account_No", ARAccountNo);
    if_set("Customer_Grade", Grade);
    row.Set("Customer_InActive_Flag", CustomerInActiveFlag)
        .Set("Last_Update", LastUpdate)
        .Set("Customer_AddressFlag", CustomerAddressFlag);
    if_set("Customer_FlatNo", CustomerFlatNo);
    if_set("Customer_Building", CustomerBuilding);
    if_set("Customer_Block", CustomerBlock);
    if_set("Customer_Road", CustomerRoad);
    if_set("Customer_Contact_Designation", ContactDesignation);
    if_set("Customer_Contact_Site", ContactSite);
    if_set("Customer_Contact_Remarks", ContactRemarks);
    if_set("customer_owner_name", OwnerName);
    if_set("Customer_Owner_CPRNo", OwnerCPRNo);
    if_set("Customer_CRNo", CustomerCRNo);
    row.Set("Customer_CPRFlag", CustomerCPRFlag);
    row.Update(*conn, "Customer_Master", Record().Set("Customer_Code", CustomerCode));
    return true;
  });
}

bool Customer::Get_Customer(std::string Customer_Code) {
  CustomerCode = std::move(Customer_Code);
  if (!connection_rule::StringFirstUsable(ConnectionString, AdoConnectionObject))
    return Fail("Invalid Connection string Property.");
  if (CustomerCode.empty()) return Fail("Invalid Customer Code.");
  return Trap([&] {
    auto conn = connection_rule::StringFirst(ConnectionString, AdoConnectionObject);
    auto rs = conn->Query("SELECT * FROM Customer_Master WHERE Customer_Code = ?", {CustomerCode});
    if (rs.empty()) return Fail("Invalid Customer Code");
    Row row = rs.front();

    // A null column, or an empty text, leaves the property as it was.
    auto text = [&row](const char* column, std::string& property) {
      const Value& v = row[column];
      if (v.IsEmpty()) return;
      auto s = v.ToText();
      if (!s.empty()) property = std::move(s);
    };
    auto number = [&row](const char* column, double& property) {
      const Value& v = row[column];
      if (!v.IsEmpty()) property = v.ToDouble();
    };
    auto flag = [&row](const char* column, bool& property) {
      const Value& v = row[column];
      if (!v.IsEmpty()) property = row.Flag(column);
    };
    auto any_text = [&row](const char* column, std::string& property) {
      const Value& v = row[column];
      if (!v.IsEmpty()) property = v.ToText();
    };

    text("Customer_Code", CustomerCode);
    text("Customer_Name", CustomerName);
    text("Customer_Address", CustomerAddress);
    text("Customer_City", CustomerCity);
    text("Customer_State", CustomerState);
    text("Customer_Postal", CustomerPostal);
    text("Customer_Country", CustomerCountry);
    number("Country_ID", CountryID);
    text("Customer_Phone", CustomerPhone);
    text("Customer_Fax", CustomerFax);
    text("Customer_Email", CustomerEmail);
    text("Customer_Contact_Name", CustomerContactName);
    text("Customer_Contact_Phone", CustomerContactPhone);
    text("Customer_Payment_Type", CustomerPaymentType);
    text("Customer_Payment_Terms", CustomerPaymentTerms);
    number("Payment_Terms_ID", PaymentTermsID);
    any_text("Customer_Currency_Code", CustomerCurrencyCode);
    any_text("Currency_Code", CurrencyCode);
    text("Currency_Name", CurrencyName);
    text("Currency_Symbol", CurrencySymbol);
    number("Customer_Credit_limit", CustomerCreditLimit);
    number("Customer_Discount", CustomerDiscount);
    flag("Foreign_Currency_Flag", ForeignCurrencyFlag);
    flag("Customer_InActive_Flag", CustomerInActiveFlag);
    text("Customer_Comments", CustomerComments);
    text("Employee_ID", EmployeeID);
    text("Sales_Person_Name", SalesPersonName);
    if (!row.IsNull("AR_Account_No")) {
      auto account = row.Text("AR_Account_No");
      // Characters 3-4 of an account number are its branch: show the caller's own branch.
      ARAccountNo = BranchPrefix.empty()
                        ? account
                        : convert::Left(account, 2) + BranchPrefix + convert::Mid(account, 5);
    }
    const Value& ob_amount = row["customer_OB_Amount"];
    CustomerOBAmount = convert::Val(ob_amount.ToText());
    text("customer_OB_Ledger_No", CustomerOBLedgerNo);
    text("customer_OB_Type", CustomerOBType);
    text("customer_OB_Document_No", CustomerOBDocumentNo);
    any_text("Customer_Grade", Grade);
    CustomerAddressFlag = row.Flag("Customer_AddressFlag");
    text("Customer_FlatNo", CustomerFlatNo);
    text("Customer_Building", CustomerBuilding);
    text("Customer_Block", CustomerBlock);
    text("Customer_Road", CustomerRoad);
    text("Customer_Contact_Designation", ContactDesignation);
    text("Customer_Contact_Site", ContactSite);
    text("Customer_Contact_Remarks", ContactRemarks);
    text("customer_owner_name", OwnerName);
    text("Customer_Owner_CPRNo", OwnerCPRNo);
    text("Customer_CRNo", CustomerCRNo);
    CustomerCPRFlag = row.Flag("Customer_CPRFlag");
    return true;
  });
}

bool Customer::Get_Customer_Balance(std::string Customer_Code) {
  CustomerCode = std::move(Customer_Code);
  if (CustomerCode.empty()) return Fail("Invalid Customer Code.");
  return Trap([&] {
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    auto rs = conn->Query("SELECT Customer_Balance FROM Customer_Master WHERE Customer_Code = ?",
                          {CustomerCode});
    if (rs.empty()) return Fail("Invalid Customer Code.");
    if (!rs.front().IsNull("Customer_Balance"))
      CustomerBalance = rs.front().Double("Customer_Balance");
    return true;
  });
}

const DispatchTable& Customer::Dispatch() const {
  using C = Customer;
  static const DispatchTable table = DispatchBuilder<C>("QLNSales.Customer")
                                         .Prop("Grade", &C::Grade)
                                         .Prop("ConnectionString", &C::ConnectionString)
                                         .WriteOnly("AdoConnectionObject", &C::AdoConnectionObject)
                                         .ReadOnly("ErrDesc", &C::ErrDesc)
                                         .Prop("CustomerCode", &C::CustomerCode)
                                         .Prop("CustomerName", &C::CustomerName)
                                         .Prop("CustomerAddress", &C::CustomerAddress)
                                         .Prop("CustomerCity", &C::CustomerCity)
                                         .Prop("CustomerState", &C::CustomerState)
                                         .Prop("CustomerPostal", &C::CustomerPostal)
                                         .Prop("CustomerCountry", &C::CustomerCountry)
                                         .Prop("CountryID", &C::CountryID)
                                         .Prop("CustomerPhone", &C::CustomerPhone)
                                         .Prop("CustomerFax", &C::CustomerFax)
                                         .Prop("CustomerEmail", &C::CustomerEmail)
                                         .Prop("CustomerContactName", &C::CustomerContactName)
                                         .Prop("CustomerContactPhone", &C::CustomerContactPhone)
                                         .Prop("CustomerPaymentType", &C::CustomerPaymentType)
                                         .Prop("CustomerPaymentTerms", &C::CustomerPaymentTerms)
                                         .Prop("PaymentTermsID", &C::PaymentTermsID)
                                         .Prop("CustomerBalance", &C::CustomerBalance)
                                         .Prop("CustomerFCBalance", &C::CustomerFCBalance)
                                         .Prop("CustomerCurrencyCode", &C::CustomerCurrencyCode)
                                         .Prop("CurrencyCode", &C::CurrencyCode)
                                         .Prop("CurrencyName", &C::CurrencyName)
                                         .Prop("CurrencySymbol", &C::CurrencySymbol)
                                         .Prop("CustomerCreditLimit", &C::CustomerCreditLimit)
                                         .Prop("CustomerDiscount", &C::CustomerDiscount)
                                         .Prop("ForeignCurrencyFlag", &C::ForeignCurrencyFlag)
                                         .Prop("CustomerInActiveFlag", &C::CustomerInActiveFlag)
                                         .Prop("CustomerComments", &C::CustomerComments)
                                         .Prop("EmployeeID", &C::EmployeeID)
                                         .Prop("SalesPersonName", &C::SalesPersonName)
                                         .Prop("ARAccountNo", &C::ARAccountNo)
                                         .Prop("AllowDeleteFlag", &C::AllowDeleteFlag)
                                         .Prop("ARAccountName", &C::ARAccountName)
                                         .Prop("CompanyPrefix", &C::CompanyPrefix)
                                         .Prop("BranchPrefix", &C::BranchPrefix)
                                         .Prop("DocumentPrefix", &C::DocumentPrefix)
                                         .Prop("CustomerOBLedgerNo", &C::CustomerOBLedgerNo)
                                         .Prop("CustomerOBAmount", &C::CustomerOBAmount)
                                         .Prop("CustomerOBType", &C::CustomerOBType)
                                         .Prop("CustomerOBDocumentNo", &C::CustomerOBDocumentNo)
                                         .Prop("LastUpdate", &C::LastUpdate)
                                         .Prop("Database", &C::Database)
                                         .Prop("GridName", &C::GridName)
                                         .Prop("Address", &C::Address)
                                         .Prop("Addresses", &C::Addresses)
                                         .Prop("CustomerFlatNo", &C::CustomerFlatNo)
                                         .Prop("CustomerBuilding", &C::CustomerBuilding)
                                         .Prop("CustomerBlock", &C::CustomerBlock)
                                         .Prop("CustomerRoad", &C::CustomerRoad)
                                         .Prop("ContactDesignation", &C::ContactDesignation)
                                         .Prop("ContactSite", &C::ContactSite)
                                         .Prop("ContactRemarks", &C::ContactRemarks)
                                         .Prop("OwnerName", &C::OwnerName)
                                         .Prop("OwnerCPRNo", &C::OwnerCPRNo)
                                         .Prop("CustomerCRNo", &C::CustomerCRNo)
                                         .Prop("CustomerAddressFlag", &C::CustomerAddressFlag)
                                         .Prop("CustomerCPRFlag", &C::CustomerCPRFlag)
                                         .Method("Create_Customer", &C::Create_Customer)
                                         .Method("Update_Customer", &C::Update_Customer)
                                         .Method("Get_Customer", &C::Get_Customer)
                                         .Method("Get_Customer_Balance", &C::Get_Customer_Balance)
                                         .Method("DeleteRecord", &C::DeleteRecord)
                                         .Method("Get_AR_Account_Name", &C::Get_AR_Account_Name)
                                         .Method("Adjusted", &C::Adjusted)
                                         .Method("Delete_Previous_OB", &C::Delete_Previous_OB)
                                         .Method("Change_Customer_Code", &C::Change_Customer_Code)
                                         .Method("Change_Code", &C::Change_Code)
                                         .Method("Execute_Change_Code", &C::Execute_Change_Code)
                                         .Method("Create_Address", &C::Create_Address)
                                         .Method("Get_Address", &C::Get_Address)
                                         .Method("Get_Addresses", &C::Get_Addresses)
                                         .Build();
  return table;
}

}  // namespace qlnsales
