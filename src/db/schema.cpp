#include "db/schema.h"

#include <sstream>

#include "base/convert.h"
#include "db/driver.h"

namespace qlnsales::db {
namespace {

// Column type codes:
//   T text   F float   I 32-bit integer   D date (a timestamp; ISO text in SQLite)
//   S date kept as "dd/MMM/yyyy" text     B flag, NOT NULL DEFAULT 0   A flag, DEFAULT 1
//   Q quantity or running amount, NOT NULL DEFAULT 0   K serial surrogate key
struct TableDef {
  const char* name;
  const char* columns;  // "Name:Code Name:Code ..."
  const char* key;      // "Col" or "Col1,Col2"; empty when the table has a serial key or none
  std::vector<const char*> indexes;  // each "Col" or "Col1,Col2"
};

const std::vector<TableDef>& Tables() {
  static const std::vector<TableDef> tables = {
      // Reference data.
      {"Currency_Master",
       "Currency_Code:T Currency_Name:T Currency_Symbol:T Last_Update:D",
       "Currency_Code",
       {}},
      {"Exchange_Rate_Master",
       "Currency_Code:T Rate_Date:D Exchange_Rate:F Last_Update:D",
       "Currency_Code,Rate_Date",
       {}},
      {"Branch_Master",
       "Company_Prefix:T Branch_Prefix:T Branch_Name:T Last_Update:D",
       "Company_Prefix,Branch_Prefix",
       {"Branch_Prefix"}},
      {"Document_Prefix",
       "Document_Prefix:T Company_Prefix:T Branch_Prefix:T Document_Name:T Document_Next_No:F "
       "Document_Temp_Next_No:F Manual_Flag:B Last_Update:D",
       "Document_Prefix,Company_Prefix,Branch_Prefix",
       {}},
      // The line serials reserved so far, one row per line table.
      {"Line_Serial", "Table_Name:T Next_No:I", "Table_Name", {}},
      {"Chart_Of_Accounts",
       "Account_No:T Account_Name:T Company_Prefix:T Branch_Prefix:T Account_Type:T "
       "Opening_Balance:F Current_Balance:Q Last_Update:D",
       "Account_No",
       {}},
      {"Default_Sales_Preferences",
       "Company_Prefix:T Branch_Prefix:T Cash_Sales_Account_No:T Credit_Sales_Account_No:T "
       "COG_Account_No:T FOC_Account_No:T Sales_Disc_Account_No:T Sales_Return_Account_No:T "
       "Generate_Credit_Memo:B Cash_SO_Delivery_Flag:B Cash_SO_Cash_Memo_Flag:B "
       "Credit_SO_Delivery_Flag:B Credit_SO_Invoice_Flag:B Last_Update:D",
       "Company_Prefix,Branch_Prefix",
       {"Branch_Prefix"}},
      {"Default_Account_Preferences",
       "Company_Prefix:T Branch_Prefix:T AR_Account_No:T AdvRec_Account_No:T "
       "Cash_Memo_Account_No:T Inventory_Account_No:T Last_Update:D",
       "Company_Prefix,Branch_Prefix",
       {"Branch_Prefix"}},
      {"Item_Master",
       "Item_Code:T Item_Name:T Company_Prefix:T Item_Type:I Unit_Name:T Base_Qty:F TaxType:T "
       "Costing_Type:T Stock_In_Hand:Q Stock_Amount:Q COGS_Account_No:T FOC_Account_No:T "
       "Inventory_Account_No:T Last_Update:D",
       "Item_Code",
       {}},
      {"Location_Master",
       "Location_ID:I Location_Name:T Company_Prefix:T Branch_Prefix:T",
       "Branch_Prefix,Location_ID",
       {}},

      // Customers.
      {"Customer_Master",
       "Customer_Code:T Company_Prefix:T Customer_Name:T Customer_AddressFlag:B "
       "Customer_Address:T Customer_FlatNo:T Customer_Building:T Customer_Block:T "
       "Customer_Road:T Customer_City:T Customer_State:T Customer_Postal:T Customer_Country:T "
       "Country_ID:F Customer_Phone:T Customer_Fax:T Customer_Email:T Customer_Contact_Name:T "
       "Customer_Contact_Phone:T Customer_Payment_Type:T Customer_Payment_Terms:T "
       "Payment_Terms_ID:F Customer_Currency_Code:T Currency_Code:T Currency_Name:T "
       "Currency_Symbol:T Customer_Credit_limit:F Customer_Discount:F Foreign_Currency_Flag:B "
       "Customer_Comments:T Employee_ID:T Sales_Person_Name:T AR_Account_No:T "
       "Customer_InActive_Flag:B Customer_Grade:T Last_Update:D Customer_Contact_Designation:T "
       "Customer_Contact_Site:T Customer_Contact_Remarks:T customer_owner_name:T "
       "Customer_Owner_CPRNo:T Customer_CRNo:T Customer_CPRFlag:B Customer_Balance:F "
       "customer_OB_Amount:F customer_OB_Ledger_No:T customer_OB_Type:T "
       "customer_OB_Document_No:T Allow_Delete_Flag:B",
       "Customer_Code",
       {"Company_Prefix"}},
      {"Customer_Master_Balance",
       "Customer_Code:T Company_Prefix:T Branch_Prefix:T Balance_Amount:Q Balance_FCAmount:Q "
       "Last_Update:D",
       "Customer_Code,Branch_Prefix",
       {}},
      {"Customer_Address",
       "Customer_Code:T Address_Code:T Address_Desc:T Company_Prefix:T Customer_Address:T "
       "Customer_City:T Customer_State:T Customer_Postal:T Country_ID:I Customer_Country:T "
       "Customer_Phone:T Customer_Fax:T Customer_Email:T Customer_Contact_Name:T "
       "Customer_Contact_Phone:T Last_Update:D",
       "Customer_Code,Address_Code",
       {"Address_Code"}},
      {"Customer_OB",
       "OBType:T SL_No:I Customer_Code:T Ref_No:T Ref_Date:T Foreign_Currency_Flag:B "
       "Currency_Code:T Currency_Symbol:T Exchange_Rate:F Balance_FCAmount:F Balance_Amount:F "
       "OB_Comments:T Company_Prefix:T Branch_Prefix:T OB_Inv_No:T Last_Update:D",
       "Customer_Code,OBType,Branch_Prefix,SL_No",
       {}},

      // Documents owned by other modules that this one reads or writes.
      {"AR_Adjustment_Master",
       "AR_Adjustment_No:T Customer_Code:T Customer_Name:T Company_Prefix:T Branch_Prefix:T "
       "Adjustment_Date:D Adjustment_Amount:F Last_Update:D",
       "AR_Adjustment_No",
       {"Customer_Code"}},
      {"AR_Adjustment_Detail",
       "AR_Adjustment_Dtl_ID:K AR_Adjustment_No:T Customer_Code:T Customer_Name:T "
       "Document_No:T Adjusted_Amount:F Last_Update:D",
       "",
       {"AR_Adjustment_No", "Customer_Code"}},
      {"Receipt_Master",
       "Receipt_No:T Company_Prefix:T Branch_Prefix:T Document_Prefix:T Receipt_To:T "
       "Receipt_Type:T Receipt_Status:T Exchange_Rate:F Receipt_Date:D Receipt_Identity:I "
       "Receipt_To_Code:T Receipt_To_Name:T Foreign_Currency_Flag:B Currency_Code:T "
       "Currency_Symbol:T Receipt_Amount:F Receipt_FCAmount:F Balance_Amount:F "
       "Balance_FCAmount:F Advance_Payment_Flag:B Processed_Flag:B Receipt_Comments:T "
       "Last_Update:D",
       "Receipt_No",
       {"Receipt_To_Code"}},
      {"Sales_Quotation_Master",
       "Sales_Quot_No:T Company_Prefix:T Branch_Prefix:T Customer_Code:T Sales_Quot_Date:D "
       "process_Flag:B Allow_Cancel_Flag:A Last_Update:D",
       "Sales_Quot_No",
       {}},
      {"Direct_Sales_Invoice_Detail",
       "Dir_Sales_Inv_No:T SL_No:I Item_Code:T Item_Name:T Unit_Qty:F Sales_Inv_Qty:F "
       "Return_Qty:Q Last_Update:D",
       "Dir_Sales_Inv_No,SL_No",
       {"Item_Code"}},
      {"Purchase_Log",
       "Purchase_Log_ID:K Item_Code:T branch_prefix:T Purchase_Log_Date:D "
       "Total_Purchase_Qty:Q Sold_Qty:Q Purchase_Item_Amount:Q Last_Update:D",
       "",
       {"Item_Code,branch_prefix"}},

      // Sales orders.
      {"Sales_Order_Master",
       "Sales_Ord_No:T Sales_ord_Identity:I Company_Prefix:T Branch_Prefix:T Document_Prefix:T "
       "Customer_Code:T Customer_Name:T Sales_Ord_Date:D Foreign_Currency_Flag:B "
       "Currency_Code:T Currency_Symbol:T Sales_Ord_SubTotal:F Sales_Ord_FC_SubTotal:F "
       "Sales_Ord_Disc_Percent:F Sales_Ord_Disc_Amount:F Sales_Ord_FC_Disc_Amount:F "
       "Sales_Ord_Total_Amount:F Sales_Ord_FC_Total_Amount:F Employee_ID:T Employee_Name:T "
       "Sales_Quot_No:T Exchange_Rate:F Customer_PO_No:T Customer_PO_Date:D Payment_Terms:T "
       "Payment_Type:T Sales_Ord_Comments:T Cancel_Flag:B Allow_Cancel_Flag:A Location_ID:I "
       "Location_Name:T Delivery_Date:D Last_Update:S process_Flag:B Delivered_Flag:B "
       "Invoiced_Flag:B Paid_Flag:B Year_End_Flag:B Ordered_Qty_Posted:B",
       "Sales_Ord_No",
       {"Customer_Code"}},
      {"Sales_Order_Detail",
       "SL_No:I Sales_Ord_No:T Item_Code:T Item_Name:T Unit_Code:F Unit_Name:T Period_Type:T "
       "FOC_Flag:F Unit_Qty:F Sales_Ord_Ordered_Qty:F Sales_Ord_FC_Unit_Price:F "
       "Sales_Ord_Dtl_Disc_Percent:F Sales_Ord_FC_Disc_Amount:F Sales_Ord_FC_Item_Amount:F "
       "Sales_Ord_Unit_Price:F Sales_Ord_Disc_Amount:F Sales_Ord_Item_Amount:T Proj_No:T "
       "Sales_Quot_SL_No:F Sales_Ord_Overall_FC_Disc:F Sales_Ord_Overall_Disc:F Last_Update:S "
       "Sales_Ord_Delivered_Qty:Q Sales_Ord_Balance_Qty:Q",
       "SL_No",
       {"Sales_Ord_No", "Item_Code"}},

      // Deliveries.
      {"Delivery_Master",
       "Delivery_No:T Delivery_Identity:I Company_Prefix:T Branch_Prefix:T Document_Prefix:T "
       "Customer_Code:T Customer_Name:T Payment_Terms:T Payment_Type:T Foreign_Currency_Flag:B "
       "Currency_Code:T Currency_Symbol:T Delivery_Date:D Delivery_End_Date:D Source_No:T "
       "Source_Date:D Source_Prefix:T Delivery_SubTotal:F Delivery_FC_SubTotal:F "
       "Delivery_Disc_Amount:F Delivery_FC_Disc_Amount:F Delivery_Total_Amount:F "
       "Delivery_FC_Total_Amount:F Employee_ID:T Employee_Name:T source_Name:T Paid_Flag:B "
       "Balance_Amount:F Balance_FCAmount:F Delivery_Comments:T Exchange_Rate:F Address_Code:T "
       "Delivery_Ref_No:T Last_Update:S Processed_Flag:B Invoiced_Flag:B Cancel_Flag:B "
       "Allow_Cancel_Flag:A",
       "Delivery_No",
       {"Customer_Code", "Source_No"}},
      {"Delivery_Detail",
       "SL_No:I Delivery_No:T Item_Code:T Item_Name:T Unit_Code:F Unit_Name:T Period_Type:T "
       "FOC_Flag:F Unit_Qty:F Delivery_Qty:F Proj_No:T Sales_Ord_Dtl_SL_No:F "
       "Delivery_Dtl_Unit_Price:F Delivery_Disc_Amount:F Delivery_FC_Disc_Amount:F "
       "Delivery_Item_Amount:F Delivery_FC_Item_Amount:F Delivery_Dtl_FC_Unit_Price:F "
       "Sales_Ord_Balance_Qty:F Sales_Ord_Overall_Disc:F Sales_Ord_Overall_FC_Disc:F "
       "Location_Name:T Location_ID:F Last_Update:S Inventory_Value:Q Invoiced_Qty:Q "
       "Return_Qty:Q",
       "SL_No",
       {"Delivery_No", "Item_Code"}},
      {"Direct_Delivery_Master",
       "Direct_Delivery_No:T Direct_Delivery_Identity:I Company_Prefix:T Branch_Prefix:T "
       "Document_Prefix:T Customer_Code:T Customer_Name:T Payment_Terms:T Payment_Type:T "
       "Foreign_Currency_Flag:B Exchange_Rate:F Currency_Code:T Currency_Symbol:T "
       "Direct_Delivery_Date:D Direct_Delivery_End_Date:D Direct_Delivery_SubTotal:F "
       "Direct_Delivery_FC_SubTotal:F Direct_Delivery_Disc_Percent:F "
       "Direct_Delivery_Disc_Amount:F Direct_Delivery_FC_Disc_Amount:F "
       "Direct_Delivery_Total_Amount:F Direct_Delivery_FC_Total_Amount:F Employee_ID:T "
       "Employee_Name:T Paid_Flag:B Direct_Delivery_Comments:T Balance_Amount:F "
       "Balance_FCAmount:F Address_Code:T Last_Update:D Processed_Flag:B Invoiced_Flag:B "
       "Cancel_Flag:B Allow_Cancel_Flag:A",
       "Direct_Delivery_No",
       {"Customer_Code"}},
      {"Direct_Delivery_Detail",
       "SL_No:I Direct_Delivery_No:T Item_Code:T Item_Name:T Unit_Code:F Unit_Name:T "
       "Period_Type:T FOC_Flag:F Unit_Qty:F Direct_Delivery_Qty:F "
       "Direct_Delivery_Dtl_FC_Unit_Price:F Direct_Delivery_Dtl_Disc_Percent:F "
       "Direct_Delivery_FC_Disc_Amount:F Direct_Delivery_FC_Item_Amount:F "
       "Direct_Delivery_Disc_Amount:F Direct_Delivery_Item_Amount:F "
       "Direct_Delivery_Dtl_Unit_Price:F Direct_Delivery_OverAll_Fc_Disc_Amount:F "
       "Direct_Delivery_OverAll_Disc_Amount:F Proj_No:T Location_Name:T Location_ID:F "
       "Last_Update:D Inventory_Value:Q Invoiced_Qty:Q Return_Qty:Q",
       "SL_No",
       {"Direct_Delivery_No", "Item_Code"}},

      // Cash memos.
      {"Cash_Memo_Master",
       "Cash_Memo_No:T Cash_Memo_Identity:I Company_Prefix:T Branch_Prefix:T Document_Prefix:T "
       "Customer_Code:T Customer_Name:T Cash_Memo_Date:D Cash_Memo_End_Date:D "
       "Foreign_Currency_Flag:B Currency_Code:T Currency_Symbol:T Cash_Memo_SubTotal:F "
       "Cash_Memo_FC_Sub_Total:F cash_memo_Disc_Percent:F Cash_Memo_Disc_Amount:F "
       "Cash_Memo_FC_Disc_Amount:F Cash_Memo_Total_Amount:F Cash_Memo_FC_Total_Amount:F "
       "Balance_Amount:F Balance_FCAmount:F Adjusted_Amount:F Adjusted_FCAmount:F "
       "Employee_ID:T Employee_Name:T Payment_Type:T Payment_Terms:T Cash_Memo_Comments:T "
       "Reference_No:T Reference_Document_Prefix:T Reference_Document_Name:T "
       "CreditCard_Code:T CreditCard_Name:T CreditCard_No:T Cheque_No:T Cheque_Bank:T "
       "Cheque_Date:D Location_ID:I Location_Name:T Exchange_Rate:F process_Flag:B "
       "Delivered_Flag:B Status:T Cancel_Flag:B Allow_Cancel_Flag:A Last_Update:D TaxCode:T "
       "TaxDescription:T Cash_Memo_TaxRate:F Cash_Memo_TaxAmount:F",
       "Cash_Memo_No",
       {"Customer_Code", "Reference_No"}},
      {"Cash_Memo_Detail",
       "SL_No:I Cash_Memo_No:T Item_Code:T Item_Name:T TaxType:T Unit_Code:F Unit_Name:T "
       "Period_Type:T FOC_Flag:F Unit_Qty:F Cash_Memo_Qty:F Cash_Memo_Delivered_Qty:Q "
       "Cash_Memo_Unit_Price:F Cash_Memo_Disc_Amount:F Cash_Memo_Item_Amount:F "
       "Cash_Memo_FC_Item_Amount:F Cash_Memo_FC_Disc_Amount:F Cash_Memo_Dtl_Disc_Percent:F "
       "Cash_Memo_FC_Unit_Price:F Location_ID:F Location_Name:T Reference_SL_No:F "
       "Cash_Memo_OverAll_FC_Disc_Amount:F Cash_Memo_OverAll_Disc_Amount:F Proj_No:T "
       "Last_Update:D Inventory_Value:Q Return_Qty:Q Stock_Out_Qty:F",
       "SL_No",
       {"Cash_Memo_No", "Item_Code"}},

      // Sales invoices.
      {"Sales_Invoice_Master",
       "Sales_Inv_No:T Sales_Inv_Identity:I Company_Prefix:T Branch_Prefix:T "
       "Document_Prefix:T Customer_Code:T Customer_Name:T Payment_Terms:T Payment_Type:T "
       "Foreign_Currency_Flag:B Exchange_Rate:F Currency_Code:T Currency_Symbol:T "
       "Sales_Inv_Date:D Sales_Inv_End_Date:D Sales_Inv_SubTotal:F Sales_Inv_FC_SubTotal:F "
       "Sales_Inv_Disc_Percent:F Sales_Inv_Disc_Amount:F Sales_Inv_FC_Disc_Amount:F "
       "Sales_Inv_Tax_Percent:F Sales_Inv_Tax_Amount:F Sales_Inv_FC_Tax_Amount:F "
       "Sales_Inv_Total_Amount:F Sales_Inv_FC_Total_Amount:F Employee_ID:T Employee_Name:T "
       "Sales_Inv_Comments:T Balance_Amount:F Balance_FCAmount:F Invoice_Ref_no:T TaxCode:T "
       "TaxDescription:T Processed_Flag:B Cancel_Flag:B Allow_Cancel_Flag:A Last_Update:D",
       "Sales_Inv_No",
       {"Customer_Code"}},
      {"Sales_Invoice_Detail",
       "Sales_Inv_No:T SL_No:I Delivery_Identity:T Delivery_Date:T Item_Code:T Item_Name:T "
       "TaxType:T Unit_Code:F Unit_Name:T Period_Type:T FOC_Flag:F Unit_Qty:F Sales_Inv_Qty:F "
       "Delivery_Qty:F Sales_Inv_FC_Unit_Price:F Sales_Inv_Dtl_FC_Disc_Amount:F "
       "Sales_Ord_Overall_FC_Disc:F Sales_Inv_FC_Item_Amount:F Sales_Inv_Unit_Price:F "
       "Sales_Inv_Dtl_Disc_Amount:F Sales_Ord_Overall_Disc:F Sales_Inv_Item_Amount:F "
       "Delivery_Dtl_SL_No:F Delivery_Flag:T Delivery_No:T Address_Code:T Delivery_Ref_No:T "
       "Delivery_Dtl_FC_Unit_Price:F Sales_Inv_Overall_Disc_Amount:F Proj_No:T Last_Update:D "
       "Return_Qty:Q parentsalesInv_allitemsreturned:B",
       "Sales_Inv_No,SL_No",
       {"Delivery_No", "Item_Code"}},

      // Sales returns and credit memos.
      {"Sales_Return_Master",
       "Sales_Rtn_No:T Sales_Rtn_Identity:F Company_Prefix:T Branch_Prefix:T Document_Prefix:T "
       "Sales_Rtn_Date:D Customer_Code:T Customer_Name:T Payment_Terms:T Payment_Type:T "
       "Foreign_Currency_Flag:B Currency_Code:T Currency_Symbol:T Sales_Rtn_SubTotal:F "
       "Sales_Rtn_Disc_Amount:F Sales_Rtn_Total_Amount:F Sales_Rtn_FC_SubTotal:F "
       "Sales_Rtn_FC_Disc_Amount:F Sales_Rtn_FC_Total_Amount:F Cancel_Flag:B "
       "Allow_Cancel_Flag:A Processed_Flag:B Ref_No:T Ref_Date:T Ref_Doc_Type:T "
       "Sales_Rtn_Comments:T Employee_ID:T Employee_Name:T Year_End_Flag:B Exchange_Rate:F "
       "TaxCode:T TaxDescription:T TaxRate:F TaxAmount:F Last_Update:D Voucher_No:T",
       "Sales_Rtn_No",
       {"Customer_Code", "Ref_No"}},
      {"Sales_Return_Detail",
       "SL_No:I Sales_Rtn_No:T Item_Code:T Item_Name:T Unit_Code:F Unit_Name:T Period_Type:T "
       "Unit_Qty:F Sales_Rtn_Qty:F Sales_Rtn_FC_Unit_Price:F Invoice_OverAll_FCDisc:F "
       "Invoice_OverAll_Disc:F Sales_Rtn_FC_Disc_Amount:F Sales_Rtn_FC_Item_Amount:F "
       "Sales_Rtn_Unit_Price:F Sales_Rtn_Disc_Amount:F Sales_Rtn_Item_Amount:F Proj_No:T "
       "Location_Name:T Location_ID:I Inventory_Value:Q Ref_SL_No:F Last_Update:D",
       "SL_No",
       {"Sales_Rtn_No"}},
      {"Voucher_Master",
       "Voucher_No:T Voucher_Identity:T Company_Prefix:T Branch_Prefix:T Document_Prefix:T "
       "Voucher_Date:D Voucher_Comments:T Foreign_Currency_Flag:B Currency_Code:T "
       "Currency_Symbol:T process_Flag:B Voucher_Amount:F Voucher_FCAmount:F Balance_Amount:F "
       "Balance_FCAmount:F Voucher_For:T Exchange_Rate:F Type:T AccountNo:T AccountName:T "
       "amountcr:F amountfccr:F amountdr:F amountfcdr:F Last_Update:D",
       "Voucher_No",
       {"AccountNo"}},
      {"Voucher_Detail",
       "Voucher_No:T SL_No:I Voucher_Type:T Account_No:T Account_Name:T "
       "Voucher_Description:T Debit_Amount:F FC_Debit_Amount:F Credit_Amount:F "
       "FC_Credit_Amount:F Proj_No:T Foreign_Currency_Flag:B Currency_Code:T "
       "Currency_Symbol:T Last_Update:D",
       "Voucher_No,SL_No",
       {}},

      // Tax set-up.
      {"TaxAuthorities",
       "Code:T Company_Prefix:T Branch_Prefix:T Description:T TaxRate:F AccountNo:T "
       "AccountName:T",
       "Code",
       {}},
      {"TaxCodeMaster",
       "Tax_Code:T Company_Prefix:T Branch_Prefix:T Tax_Description:T Tax_Rate:F "
       "DefaultCode:B Tax_Type:T",
       "Tax_Code",
       {"Company_Prefix,Branch_Prefix"}},
      {"TaxCodeDetails",
       "TaxCode:T TaxAuthorityCode:T TaxAuthorityName:T TaxAuthorityRate:F",
       "",
       {"TaxCode"}},

      // The books of the default sibling modules.
      {"General_Ledger",
       "GL_ID:K Document_No:T Document_Prefix:T GL_Date:D Account_No:T GL_Description:T "
       "GL_Comments:T Debit_Amount:Q Credit_Amount:Q FC_Debit_Amount:Q FC_Credit_Amount:Q "
       "Foreign_Currency_Flag:B Currency_Code:T Currency_Symbol:T Last_Update:D",
       "",
       {"Document_No", "Account_No"}},
      {"Accounts_Receivable_Ledger",
       "ARL_ID:K Document_No:T Document_Prefix:T ARL_Date:D Customer_Code:T Account_No:T "
       "Branch_Prefix:T ARL_Description:T ARL_Comments:T Debit_Amount:Q Credit_Amount:Q "
       "FC_Debit_Amount:Q FC_Credit_Amount:Q Foreign_Currency_Flag:B Currency_Code:T "
       "Currency_Symbol:T Last_Update:D",
       "",
       {"Document_No", "Customer_Code"}},
      {"PDC_Master",
       "PDC_ID:K Company_Prefix:T Branch_Prefix:T Document_Prefix:T Transaction_Type:T "
       "Bank_Name:T Cheque_No:T PDC_Date:D PDC_Due_Date:D CreditCard_No:T CreditCard_Name:T "
       "CreditCard_Code:T Cheque_Amount:F Cheque_FCAmount:F Cleared:B CustomerID:T "
       "Customer_Name:T Source_No:T Source_Prefix:T Status:T Foreign_Currency_Flag:B "
       "Currency_Code:T PDC_Comments:T Last_Update:S",
       "",
       {"CustomerID", "Source_No"}},
      {"Item_Branch_Stock",
       "Item_Code:T Branch_Prefix:T Ordered_Qty:Q Last_Update:D",
       "Item_Code,Branch_Prefix",
       {}},
      {"Location_Stock",
       "Company_Prefix:T Branch_Prefix:T Item_Code:T Location_ID:I Location_Name:T Item_Name:T "
       "Unit_Name:T Quantity:Q Last_Update:D",
       "Branch_Prefix,Item_Code,Location_ID",
       {}},
      {"Stock_Movement",
       "Movement_ID:K Company_Prefix:T Branch_Prefix:T Document_Prefix:T Document_No:T "
       "Document_Date:D Document_Type:T Item_Code:T Item_Name:T Unit_Code:F Unit_Name:T "
       "Period_Type:T FOC_Flag:F Unit_Qty:F Base_Qty:Q In_Qty:Q In_Amount:Q In_Price:Q "
       "Out_Qty:Q Out_Amount:Q Out_Price:Q Location_ID:I Location_Name:T Stock_Comments:T "
       "Last_Update:D",
       "",
       {"Document_No", "Item_Code"}},
      {"Sales_Log",
       "Sales_Log_ID:K Sales_Document_No:T Company_Prefix:T Branch_Prefix:T Document_Prefix:T "
       "Ref_Document_Prefix:T Item_Code:T Item_Name:T Unit_Code:F Unit_Name:T FOC_Flag:F "
       "Unit_Qty:F Sales_Qty:F Sales_Item_Amount:F Sales_Unit_Price:F Inventory_Value:F "
       "Sales_Log_Date:D Sales_Document_Prefix:T Proj_No:T Last_Update:D",
       "",
       {"Sales_Document_No", "Item_Code"}},
  };
  return tables;
}

std::string TypeSql(char code, Engine engine) {
  bool pg = engine == Engine::Postgres;
  switch (code) {
    case 'T':
    case 'S':
      return "TEXT";
    case 'F':
      return pg ? "DOUBLE PRECISION" : "REAL";
    case 'Q':
      return pg ? "DOUBLE PRECISION NOT NULL DEFAULT 0" : "REAL NOT NULL DEFAULT 0";
    case 'I':
      return "INTEGER";
    case 'D':
      return pg ? "TIMESTAMP" : "TEXT";
    case 'B':
      return pg ? "SMALLINT NOT NULL DEFAULT 0" : "INTEGER NOT NULL DEFAULT 0";
    case 'A':
      return pg ? "SMALLINT NOT NULL DEFAULT 1" : "INTEGER NOT NULL DEFAULT 1";
    case 'K':
      return pg ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY";
  }
  throw Error(std::string("Unknown column type code '") + code + "'");
}

std::string IndexName(const std::string& table, std::string cols) {
  for (auto& c : cols)
    if (c == ',') c = '_';
  return "ix_" + table + "_" + cols;
}

// The views the documents read, dropped before the tables are touched and made again after, so
// that every database, a migrated one too, has the current definitions.
//
// DeliveriesForInvoicingBasic: the delivery and direct-delivery lines a customer may still be
// invoiced for: of processed documents, not cancelled and not already paid by a cash memo, each
// line while less of it is invoiced than was delivered. Both kinds give the same columns:
//   - Delivery_Flag "SalesOrder" for a delivery (its tables are the ones invoicing updates for that
//     flag), "Direct" for a direct delivery;
//   - Delivery_Identity, Delivery_No and Delivery_Date are the document's counter, number and day
//     (the day as yyyy-mm-dd text on both engines, as an invoice line keeps it);
//   - Dtl_ID and SL_No are the line's serial;
//   - the overall discount of a line is what its document spread onto it: for a delivery, the
//     order's share (Sales_Ord_Overall_Disc and _FC_Disc), for a direct delivery its own header
//     discount's share (Direct_Delivery_OverAll_Disc_Amount and _Fc_Disc_Amount), in the same two
//     columns, so that the invoice line keeps it in the same place whatever its source;
//     Delivery_OverAll_Disc_Amount is the foreign share, which the invoice grid keeps beside it;
//   - Delivery_Ref_No only deliveries have; a direct delivery gives null;
//   - Address_Desc is the customer's address of the document's Address_Code, null when there is
//     none.
// qrySalesInvoiceDeatails: the lines of every invoice with the invoice's customer, the name of the
// branch a line's delivery number names (its characters 3 and 4, within the company of
// characters 1 and 2) and the description of the line's address of that customer; a line
// without either still shows.
std::vector<std::string> DropViews() {
  return {"DROP VIEW IF EXISTS DeliveriesForInvoicingBasic",
          "DROP VIEW IF EXISTS qrySalesInvoiceDeatails"};
}

std::vector<std::string> CreateViews(Engine engine) {
  auto day = [engine](const char* column) {
    return engine == Engine::Postgres ? std::string("TO_CHAR(") + column + ", 'YYYY-MM-DD')"
                                      : std::string("SUBSTR(") + column + ", 1, 10)";
  };
  // What a delivery line still holds for the customer: goods that came back against the
  // delivery (its Return_Qty, in base units) are billed by nobody.
  auto delivered = [](const char* column) {
    return std::string("(") + column +
           " - COALESCE(D.Return_Qty, 0) / (CASE WHEN D.Unit_Qty IS NULL OR D.Unit_Qty = 0 THEN 1 "
           "ELSE D.Unit_Qty END))";
  };
  const std::string deliveries =
      "CREATE VIEW DeliveriesForInvoicingBasic AS "
      "SELECT CAST('SalesOrder' AS TEXT) AS Delivery_Flag, M.Delivery_No AS Delivery_No, "
      "M.Delivery_Identity AS Delivery_Identity, " +
      day("M.Delivery_Date") +
      " AS Delivery_Date, M.Company_Prefix AS Company_Prefix, M.Branch_Prefix AS Branch_Prefix, "
      "M.Customer_Code AS Customer_Code, M.Foreign_Currency_Flag AS Foreign_Currency_Flag, "
      "M.Address_Code AS Address_Code, A.Address_Desc AS Address_Desc, "
      "M.Delivery_Ref_No AS Delivery_Ref_No, D.SL_No AS SL_No, D.SL_No AS Dtl_ID, "
      "D.Item_Code AS Item_Code, D.Item_Name AS Item_Name, D.Unit_Code AS Unit_Code, "
      "D.Unit_Name AS Unit_Name, D.Period_Type AS Period_Type, D.FOC_Flag AS FOC_Flag, "
      "D.Unit_Qty AS Unit_Qty, " +
      delivered("D.Delivery_Qty") +
      " AS Delivery_Qty, D.Invoiced_Qty AS Invoiced_Qty, "
      "D.Delivery_Dtl_Unit_Price AS Delivery_Dtl_Unit_Price, "
      "D.Delivery_Dtl_FC_Unit_Price AS Delivery_Dtl_FC_Unit_Price, "
      "D.Delivery_Disc_Amount AS Delivery_Disc_Amount, "
      "D.Delivery_FC_Disc_Amount AS Delivery_FC_Disc_Amount, "
      "D.Sales_Ord_Overall_FC_Disc AS Delivery_OverAll_Disc_Amount, "
      "D.Sales_Ord_Overall_Disc AS Sales_Ord_Overall_Disc, "
      "D.Sales_Ord_Overall_FC_Disc AS Sales_Ord_Overall_FC_Disc, D.Proj_No AS Proj_No "
      "FROM Delivery_Master M JOIN Delivery_Detail D ON D.Delivery_No = M.Delivery_No "
      "LEFT JOIN Customer_Address A ON A.Customer_Code = M.Customer_Code AND "
      "A.Address_Code = M.Address_Code "
      "WHERE M.Processed_Flag = 1 AND M.Cancel_Flag = 0 AND M.Paid_Flag = 0 AND "
      "NOT EXISTS (SELECT 1 FROM Cash_Memo_Master C WHERE C.Cash_Memo_No = M.Source_No) AND " +
      delivered("D.Delivery_Qty") +
      " > D.Invoiced_Qty "
      "UNION ALL "
      "SELECT CAST('Direct' AS TEXT), M.Direct_Delivery_No, M.Direct_Delivery_Identity, " +
      day("M.Direct_Delivery_Date") +
      ", M.Company_Prefix, M.Branch_Prefix, M.Customer_Code, M.Foreign_Currency_Flag, "
      "M.Address_Code, A.Address_Desc, CAST(NULL AS TEXT), D.SL_No, D.SL_No, D.Item_Code, "
      "D.Item_Name, D.Unit_Code, D.Unit_Name, D.Period_Type, D.FOC_Flag, D.Unit_Qty, " +
      delivered("D.Direct_Delivery_Qty") +
      ", D.Invoiced_Qty, D.Direct_Delivery_Dtl_Unit_Price, "
      "D.Direct_Delivery_Dtl_FC_Unit_Price, D.Direct_Delivery_Disc_Amount, "
      "D.Direct_Delivery_FC_Disc_Amount, D.Direct_Delivery_OverAll_Fc_Disc_Amount, "
      "D.Direct_Delivery_OverAll_Disc_Amount, D.Direct_Delivery_OverAll_Fc_Disc_Amount, "
      "D.Proj_No "
      "FROM Direct_Delivery_Master M JOIN Direct_Delivery_Detail D ON "
      "D.Direct_Delivery_No = M.Direct_Delivery_No "
      "LEFT JOIN Customer_Address A ON A.Customer_Code = M.Customer_Code AND "
      "A.Address_Code = M.Address_Code "
      "WHERE M.Processed_Flag = 1 AND M.Cancel_Flag = 0 AND M.Paid_Flag = 0 AND " +
      delivered("D.Direct_Delivery_Qty") + " > D.Invoiced_Qty";
  const std::string invoice_lines =
      "CREATE VIEW qrySalesInvoiceDeatails AS "
      "SELECT S.*, M.Customer_Code AS Customer_Code, B.Branch_Name AS Branch_Name, "
      "C.Address_Desc AS Address_Desc "
      "FROM Sales_Invoice_Detail S JOIN Sales_Invoice_Master M ON M.Sales_Inv_No = S.Sales_Inv_No "
      "LEFT JOIN Branch_Master B ON B.Company_Prefix = SUBSTR(S.Delivery_No, 1, 2) AND "
      "B.Branch_Prefix = SUBSTR(S.Delivery_No, 3, 2) "
      "LEFT JOIN Customer_Address C ON C.Customer_Code = M.Customer_Code AND "
      "C.Address_Code = S.Address_Code";
  return {deliveries, invoice_lines};
}

std::vector<std::string> Statements(Engine engine) {
  std::vector<std::string> out;
  for (const auto& t : Tables()) {
    std::ostringstream sql;
    sql << "CREATE TABLE IF NOT EXISTS " << t.name << " (";
    std::istringstream cols(t.columns);
    std::string token;
    bool first = true;
    while (cols >> token) {
      auto colon = token.find(':');
      sql << (first ? "" : ", ") << token.substr(0, colon) << ' '
          << TypeSql(token.at(colon + 1), engine);
      first = false;
    }
    if (*t.key) sql << ", PRIMARY KEY (" << t.key << ")";
    sql << ")";
    out.push_back(sql.str());
    for (const char* ix : t.indexes)
      out.push_back("CREATE INDEX IF NOT EXISTS " + IndexName(t.name, ix) + " ON " + t.name + " (" +
                    ix + ")");
  }
  out.push_back("CREATE TABLE IF NOT EXISTS QLNSales_Schema (Version INTEGER NOT NULL)");
  return out;
}

}  // namespace

bool KeepsDateText(std::string_view table, std::string_view column) {
  for (const auto& t : Tables()) {
    if (!convert::EqualsNoCase(t.name, table)) continue;
    std::istringstream cols(t.columns);
    std::string token;
    while (cols >> token) {
      auto colon = token.find(':');
      if (convert::EqualsNoCase(token.substr(0, colon), column)) return token[colon + 1] == 'S';
    }
  }
  return false;
}

std::vector<std::string> SchemaTables() {
  std::vector<std::string> names;
  for (const auto& t : Tables()) names.emplace_back(t.name);
  return names;
}

int SchemaVersion(Connection& conn) {
  try {
    auto rs = conn.Query("SELECT MAX(Version) AS Version FROM QLNSales_Schema");
    return rs.empty() || rs.front().IsNull("Version") ? 0 : rs.front().Int32("Version");
  } catch (const Error&) {
    if (conn.Engine() == Engine::Postgres && conn.InTransaction()) throw;
    return 0;
  }
}

void CreateSchema(Connection& conn) {
  bool own = !conn.InTransaction();
  if (own) conn.BeginTrans();
  try {
    for (const auto& sql : DropViews()) conn.Execute(sql);
    for (const auto& sql : Statements(conn.Engine())) conn.Execute(sql);
    auto rs = conn.Query("SELECT MAX(Version) AS Version FROM QLNSales_Schema");
    int current = rs.front().IsNull("Version") ? 0 : rs.front().Int32("Version");
    if (current > kSchemaVersion)
      throw Error("The database has schema version " + std::to_string(current) +
                  ", newer than this program's " + std::to_string(kSchemaVersion));
    // Each version's migration steps, guarded by `current` (0: the tables were just created).
    if (current > 0 && current < 3)
      // The part of a cash memo line that leaves stock with the memo (the rest went with a
      // delivery); null for lines processed before it was kept: the whole line.
      conn.Execute("ALTER TABLE Cash_Memo_Detail ADD COLUMN Stock_Out_Qty " +
                   TypeSql('F', conn.Engine()));
    // After the migrations, so that a view may name a column they add.
    for (const auto& sql : CreateViews(conn.Engine())) conn.Execute(sql);
    if (current > 0 && current < 4) {
      // Whether an order's items were put on order (on-line, or at its synchronisation), so that
      // they never are twice; orders processed before count as done.
      conn.Execute("ALTER TABLE Sales_Order_Master ADD COLUMN Ordered_Qty_Posted " +
                   TypeSql('B', conn.Engine()));
      conn.Execute("UPDATE Sales_Order_Master SET Ordered_Qty_Posted = process_Flag");
    }
    if (current > 0 && current < 5)
      // The credit memo a return's customer was given, so that none is given twice.
      conn.Execute("ALTER TABLE Sales_Return_Master ADD COLUMN Voucher_No " +
                   TypeSql('T', conn.Engine()));
    if (current < kSchemaVersion) {
      conn.Execute("DELETE FROM QLNSales_Schema");
      conn.Execute("INSERT INTO QLNSales_Schema (Version) VALUES (?)", {Value(kSchemaVersion)});
    }
    if (own) conn.CommitTrans();
  } catch (...) {
    if (own && conn.InTransaction()) conn.RollbackTrans();
    throw;
  }
}

}  // namespace qlnsales::db
