// The customer master record: one row of Customer_Master, saved, loaded and updated.
#pragma once

#include <string>

#include "qlnsales/business_object.h"
#include "qlnsales/customer_address.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class Customer : public BusinessObject {
 public:
  Customer();

  std::string Grade;
  std::string ConnectionString;
  ConnectionRef AdoConnectionObject;  // a closed connection until the caller sets an open one
  std::string CustomerCode;
  std::string CustomerName;
  std::string CustomerAddress;
  std::string CustomerCity;
  std::string CustomerState;
  std::string CustomerPostal;
  std::string CustomerCountry;
  double CountryID = 0;
  std::string CustomerPhone;
  std::string CustomerFax;
  std::string CustomerEmail;
  std::string CustomerContactName;
  std::string CustomerContactPhone;
  std::string CustomerPaymentType;
  std::string CustomerPaymentTerms;
  double PaymentTermsID = 0;
  double CustomerBalance = 0;
  double CustomerFCBalance = 0;
  std::string CustomerCurrencyCode;
  std::string CurrencyCode;
  std::string CurrencyName;
  std::string CurrencySymbol;
  double CustomerCreditLimit = 0;
  double CustomerDiscount = 0;
  bool ForeignCurrencyFlag = false;
  bool CustomerInActiveFlag = false;
  std::string CustomerComments;
  std::string EmployeeID;
  std::string SalesPersonName;
  std::string ARAccountNo;
  bool AllowDeleteFlag = false;
  std::string ARAccountName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  std::string CustomerOBLedgerNo;
  double CustomerOBAmount = 0;
  std::string CustomerOBType;
  std::string CustomerOBDocumentNo;
  Date LastUpdate;
  std::string Database;
  GridRef GridName;
  CustomerAddressRef Address;      // the current address
  CustomerAddressesRef Addresses;  // the loaded addresses
  std::string CustomerFlatNo;
  std::string CustomerBuilding;
  std::string CustomerBlock;
  std::string CustomerRoad;
  std::string ContactDesignation;
  std::string ContactSite;
  std::string ContactRemarks;
  std::string OwnerName;
  std::string OwnerCPRNo;
  std::string CustomerCRNo;
  bool CustomerAddressFlag = false;
  bool CustomerCPRFlag = false;

  // Adds the customer, or overwrites the row of an existing code; adds the balance rows of the
  // company's other branches; writes the name into the customer's adjustments and invoices.
  bool Create_Customer();
  // Changes an existing customer; empty texts keep what is stored.
  bool Update_Customer();
  bool Get_Customer(std::string Customer_Code);
  bool Get_Customer_Balance(std::string Customer_Code);

  // Maintenance.
  // Deletes the customer when no document refers to it (Allow_Delete_Flag is refreshed first).
  bool DeleteRecord();
  // The name of account ARAccountNo (also kept in ARAccountName); "" when there is none.
  std::string Get_AR_Account_Name();
  // True when the opening-balance document has been settled against, or cannot be found.
  bool Adjusted();
  // Removes an opening-balance document ("Debit": an invoice, else a receipt) and its
  // receivable lines.
  bool Delete_Previous_OB(std::string& strType, std::string& strRefNo);
  // Changes the codes listed in the grid: column 2 the current code, column 3 the new one, both
  // without the company prefix. A run-time error reaches the caller.
  bool Change_Customer_Code();
  // Changes one customer code in every table that carries it. A run-time error reaches the caller.
  // Refused before anything is written while the new code still has rows in a table whose key
  // holds the code: "The code <new> still has rows in <table>; remove them before changing a code
  // to it".
  bool Change_Code(std::string& pOldCode, std::string& pNewCode);
  bool Execute_Change_Code(std::string& pTableName, std::string& pChangeColName,
                           std::string& pNewValue, std::string& pWhere);

  // Addresses.
  bool Create_Address();
  bool Get_Address(std::string PAddressCode);
  // Appends every row of Customer_Address, in address-code order, to Addresses.
  bool Get_Addresses();

  std::string_view ClassName() const override { return "QLNSales.Customer"; }

 protected:
  const DispatchTable& Dispatch() const override;
};

}  // namespace qlnsales
