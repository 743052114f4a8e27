// A sales return: goods a customer sends back, against a sales invoice, a delivery, a direct
// delivery or a cash memo, or as free lines. Header in the properties, lines in the caller's grid.
// Processing puts the goods back into stock at their cost and, for an invoice or a cash memo, gives
// the customer a credit memo.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class SalesReturn : public BusinessObject {
 public:
  SalesReturn();

  std::string ConnectionString;
  ConnectionRef AdoConnectionObject;  // a closed connection until the caller sets an open one
  std::string Database;               // held for the caller
  GridRef SalRetGridName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  std::string SalesRtnNo;
  double SalesRtnIdentity = 0;
  Date SalesRtnDate;
  std::string CustomerCode;
  std::string CustomerName;
  std::string PaymentTerms;
  std::string PaymentType;
  bool ForeignCurrencyFlag = false;
  std::string CurrencyCode;
  std::string CurrencySymbol;
  double ExchangeRate = 0;
  double SalesRtnSubTotal = 0;
  double SalesRtnDiscAmount = 0;
  double SalesRtnTotalAmount = 0;
  double SalesRtnFCSubTotal = 0;
  double SalesRtnFCDiscAmount = 0;
  double SalesRtnFCTotalAmount = 0;
  double DiscPercent = 0;  // the source's discount percent, from the invoice and memo readers
  std::string TaxCode;
  std::string TaxDescription;
  double TaxRate = 0;
  double TaxAmount = 0;
  double AmtDig = 0;
  bool CancelFlag = false;
  bool AllowCancelFlag = false;
  bool ProcessedFlag = false;
  bool YearEndFlag = false;
  std::string SalesRtnComments;
  std::string EmployeeID;
  std::string EmployeeName;
  std::string SalesRtnRefNo;  // the caller's reference text, not stored
  // The source document: its number ("" for a return without one), its date (stored as text) and
  // its kind ("INV", "CHM", "DEL", "DDL"); SalesInvoiceType names the kind whose lines take the
  // returned quantities.
  std::string RefNo;
  Date RefDate;
  std::string RefDocType;
  std::string SalesInvoiceType;  // write-only
  std::string VoucherNo;         // the credit memo made for the return
  bool OnlineFlag = false;
  bool SyncFlag = false;
  bool DocFlag = false;          // write-only: the final number is the caller's
  double manualDocIdentity = 0;  // write-only
  std::string StockMovementPrefix;
  std::string SalesLogPrefix;
  std::int32_t LocationID = 0;  // held for the caller: the lines carry their own location
  std::string LocationName;
  Date LastUpdate;

  // A new return under a temporary number, header and lines. The counter's text on failure.
  bool Create_Sales_Rtn();
  // Saves header and lines again under SalesRtnNo.
  bool Update_Sales_Rtn();
  // Loads the header of SalesRtnNo. "Invalid Sales Return Number".
  bool Get_Sales_Rtn();
  // Loads the lines of SalesRtnNo into SalRetGridName; False without a line.
  bool Populate_Details();

  // Fill the header and `Grid` with the returnable lines of the source pInvNo. `Saved` is
  // accepted and not used. Get_CashMemo: " Delivery not created for this Cash Memo.." when the
  // memo has nothing to return; the others answer True with nothing changed.
  bool Get_Sales_Invoice(std::string& pInvNo, GridRef& Grid, std::optional<bool>& Saved);
  bool Get_Delivery(std::string& pInvNo, GridRef& Grid, std::optional<bool>& Saved);
  bool Get_Direct_Delivery(std::string& pInvNo, GridRef& Grid, std::optional<bool>& Saved);
  bool Get_CashMemo(std::string& pInvNo, GridRef& Grid, std::optional<bool>& Saved);

  // Posts the return SalesRtnNo by the working mode: final number, the sources' returned
  // quantities, goods back into stock at cost, location stock, the sales log, the credit memo.
  // "Invalid Sales Return", "Invalid Connection Object", "Already Processed", "Error while
  // Processing, Invalid Temporary Sales Return No.", "Invalid Costing Type", "Set Default Account
  // Preferences", "Set the Sales default settings in the Sales Preferences", or a module's text.
  bool Return_Process();
  // Adds each line's base quantity to the Return_Qty of its source line.
  bool UpdateReturnSource();
  // Adds pQty to the Return_Qty of line pRefSLNO (item pItemCode) of document pDocNo of kind
  // pSource ("INV", "DSI", "CHM", "DDL", "DEL"; another kind changes nothing).
  bool Update_Source(ConnectionRef& Cn, std::string& pDocNo, double& pQty, std::string& pSource,
                     std::string& pItemCode, std::int32_t& pRefSLNO);

  // The credit memo of the return pReturnNo: written as a "CRM" voucher under a temporary number
  // (the number asked for when the series is manual) and posted. "Please Enter Valid Numeric
  // Credit Memo No ", "Credit Memo No Already Exists ", or as the writers and the posting fail.
  bool Generate_Credit_Memo(std::string& pReturnNo);
  // The voucher header and its lines (customer, sales return, discount, tax per authority).
  // "Invalid Sales Return Account", "Invalid Default Discount Account", "Invalid Account Number
  // for Authority -'...'". True with nothing written when the return does not exist.
  bool Create_Voucher_Master(std::string& pReturnNo, std::string& pVoucherNo);
  // One voucher line; pType "Debit" makes a debit line, any other text a credit line.
  bool Create_Voucher_Detail(std::string& pVoucherNo, std::string& pVouType, std::string& pAcNo,
                             std::string& pAcName, std::string& pType, double& pFcAmt, double& pAmt,
                             bool& pFC, std::string& pCurCode, std::string& pCurSymbol,
                             std::string& pPrjNo, std::int16_t& PSlNo);
  // Posts the voucher through QLNAccountsExt.DebitCreditNote; VoucherNo then holds its number.
  bool Process_CreditMemo(std::string& pVoucherNo, double& manualIdentity, bool& ManualDocFlag);

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

  std::string_view ClassName() const override { return "QLNSales.SalesReturn"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"SalesRtnNo", "SalesRtnIdentity", "VoucherNo"};
  }
};

}  // namespace qlnsales
