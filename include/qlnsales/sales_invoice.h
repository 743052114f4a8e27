// A sales invoice: bills a customer for goods already delivered. Header in the properties, lines
// (the delivery lines it invoices) in the caller's grid.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class SalesInvoice : public BusinessObject {
 public:
  SalesInvoice();

  std::string ADOConnectionString;
  ConnectionRef AdoDBConnectionObject;  // a closed connection until the caller sets an open one
  std::string Database;                 // "MSACCESS" or another dialect
  GridRef InvoiceGridName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  std::string SalesInvNo;
  std::int32_t SalesInvIdentity = 0;
  Date SalesInvDate;
  Date SalesInvEndDate;
  std::string CustomerCode;
  std::string CustomerName;
  std::string PaymentTerms;
  std::string PaymentType;
  bool ForeignCurrencyFlag = false;
  std::string CurrencyCode;
  std::string CurrencySymbol;
  double ExchangeRate = 0;  // Get_Invoice sets it to 1; the invoice stores 1
  double SalesInvSubtotal = 0;
  double SalesInvFCsubtotal = 0;
  double SalesInvDiscPercent = 0;
  double SalesInvDiscAmount = 0;
  double SalesInvFCDiscAmount = 0;
  double SalesInvTaxPercent = 0;
  double SalesInvTaxAmount = 0;
  double SalesInvFCTaxAmount = 0;
  double SalesInvTotalAmount = 0;
  double SalesInvFCTotalAmount = 0;
  std::string TaxCode;
  std::string TaxDescription;
  std::string SalesInvComments;
  std::string InvoiceRefNo;
  std::string EmployeeID;
  std::string EmployeeName;
  double ProjNo = 0;  // set and read as text (ProjNo); a text that is not a number is an error
  bool ProcessFlag = false;
  bool CancelFlag = false;
  bool AllowCancelFlag = false;
  bool OnlineFlag = false;
  bool SyncFlag = false;
  bool YearEndFlag = false;
  bool ManualDocFlag = false;
  double manualDocIdentity = 0;  // read back as ManualDocIdentiy too
  std::string SalesLogPrefix;
  double AmtDig = 0;  // write-only
  Date LastUpdate;

  // Lists the customer's delivery and direct-delivery lines still to invoice into the grid, not
  // ticked. "Invalid Customer Code".
  bool Get_Delivery_Details();
  // A new invoice under a temporary number; with Save_Detail_Flag true the ticked grid lines too.
  // "Connection not opened", "Invalid Company Prefix", "Invalid Branch Prefix", "Invalid Document
  // Prefix" (a number could not be read back by position), or the counter's text.
  bool Create_Sales_Invoice(std::optional<bool> Save_Detail_Flag);
  // Saves header and ticked lines again under SalesInvNo. "Connection not opened", "Invalid
  // Invoice No" (no number to save under, or a final number no invoice has), "Already Processed"
  // (a processed invoice).
  bool Update_Sales_Invoice();
  // Loads the header of SalesInvNo and its lines into the grid. "Invalid Invoice No".
  bool Get_Invoice();
  // Gives the invoice its final number and, by the working mode, raises the invoiced quantities of
  // its delivery lines and posts its sales, discount, tax and receivable. "Invalid Invoice No",
  // "Invalid Currency Code", "Already Processed", "Error while Processing, Invalid Temporary Sales
  // Invoice No.", "Invalid Item Details", "Set the Sales default settings in the Sales
  // Preferences", "Invalid Default Sales Account", "Invalid Default Discount Account", or a
  // module's text.
  bool Process_Invoice();

  // The shared single-field look-up and existence test; a run-time error shows in a message box
  // and answers "" / False.
  std::string GetFldValue(std::string TblName, std::string fldName,
                          std::optional<std::string> WhereFldName,
                          std::optional<std::string> WhereFldValue,
                          std::optional<bool> WhereFldNumYN,
                          std::optional<std::string> SecondWhereFldName,
                          std::optional<std::string> SecondWhereFldValue,
                          std::optional<bool> SecdWhereFldNumYN);
  bool ExistDocument(std::string strTblName, std::string strFldName, std::string DocNo,
                     std::optional<bool> WhereFldNumYN,
                     std::optional<std::string> SecondWhereFldName,
                     std::optional<std::string> SecondWhereFldValue,
                     std::optional<bool> SecdWhereFldNumType);

  std::string_view ClassName() const override { return "QLNSales.SalesInvoice"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"SalesInvNo", "SalesInvIdentity"};
  }

 private:
  bool header_only_ = false;  // set while processing: Get_Invoice leaves the grid alone
};

}  // namespace qlnsales
