// A cash memo: a sale paid on the spot in cash, by cheque (perhaps post-dated) or by credit card.
// Header in the properties, lines in the caller's grid.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class CashMemo : public BusinessObject {
 public:
  CashMemo();

  std::string ADOConnectionString;
  ConnectionRef AdoDBConnectionObject;  // a closed connection until the caller sets an open one
  std::string Database;
  GridRef CMGridName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  std::string CashMemoNo;
  std::int32_t CashMemoIdentity = 0;
  Date CashMemoDate;
  Date CashMemoEndDate;
  std::string CustomerCode;
  std::string CustomerName;
  std::string PaymentType;  // "Cash", "Cheque" or "Credit Card", in any case, blanks around
  std::string PaymentTerms;
  std::string ChequeNo;
  std::string ChequeBank;
  Date ChequeDate;
  std::string CreditCardCode;
  std::string CreditCardName;
  std::string CreditCardNo;
  bool ForeignCurrencyFlag = false;
  std::string CurrencyCode;
  std::string CurrencySymbol;
  double ExchangeRate = 0;
  double CashMemoSubTotal = 0;
  double CashMemoFCSubTotal = 0;
  double CashMemoDiscPercent = 0;
  double CashMemoDiscAmount = 0;
  double CashMemoFcDiscAmount = 0;
  double CashMemoTotalAmount = 0;
  double CashMemoFCTotalAmount = 0;
  std::string TaxCode;
  std::string TaxDescription;
  double CashMemoTaxPercent = 0;
  double CashMemoTaxAmount = 0;
  std::string ReferenceNo;
  std::string ReferencePrefix;        // "POS" marks a point-of-sale memo
  std::string ReferenceDocumentName;  // "Sales Order", "Delivery" or "Direct Delivery"
  std::string EmployeeID;
  std::string EmployeeName;
  std::string CashMemoComments;
  std::int32_t LocationCode = 0;
  std::string LocationName;
  std::string Status;
  bool ProcessFlag = false;
  bool CancelFlag = false;
  bool AllowCancelFlag = false;
  bool OnlineFlag = false;
  bool SyncFlag = false;
  bool YearEndFlag = false;
  bool DocFlag = false;
  double manualDocIdentity = 0;
  std::string StockMovementPrefix;
  std::string SalesLogPrefix;
  double AmtDig = 0;
  Date LastUpdate;

  // "Invalid Comapny Prefix", "Invalid Branch Prefix", "Invalid Document Prefix", "Invalid
  // Customer Details", "Invalid Payment Type", "Invalid Credit Card Details", "Invalid Cheque
  // Details".
  bool Validation();
  // A new memo under a temporary number; with Save_Detail_Flag true the grid's lines too, up to
  // the first blank row. Fails as Validation does, with the counter's text, or "Invalid Item
  // Details" (lines wanted but the grid has none).
  bool Create_CashMemo(std::optional<bool> Save_Detail_Flag);
  // Saves header and lines again under CashMemoNo. Fails as Validation does, "Invalid Cash Memo
  // No." (no number), "Already Processed" (a final number) or "Invalid Item Details" (no lines).
  bool Update_CashMemo();
  // Loads the header of CashMemoNo and its lines into the grid. "Invalid Cash Memo No." (no
  // number), "Invlaid Cash Memo No" (unknown).
  bool Get_CashMemo();
  // Fill the header and the grid (in the source layout) from the order, delivery or direct
  // delivery ReferenceNo. "Invalid Sales Order No" / "Invalid Delivery No" (no number or an
  // unknown one), "Invalid Item Details" (no lines).
  bool Get_Order_Details();
  bool Get_Delivery_Details();
  bool Get_Direct_Delivery_Details();

  // Posts the memo by the working mode and its payment type. "Invalid Cash Memo No.", "Invlaid
  // Cash Memo No", "Invalid Payment Type" (not cash, cheque or credit card), "Already
  // Processed", "Error while Processing, Invalid Temporary Cash Memo No." (no lines), "Invalid
  // Item Details" (an amount or quantity beyond what a ledger holds), "Invalid Discount Amount" /
  // "Invalid Tax Amount" (below 0), "Invalid Tax Code" (tax without a code), "The cash memo's
  // total ... " (a total that is not its lines less the discount plus the tax, which could not
  // balance), "Set the Sales default settings in the Sales Preferences", "Invalid Default
  // Discount Account", "Invalid Default Cash Memo Account", or a module's text.
  bool Process();
  // Records the cheque or card payment of CashMemoNo with the post-dated cheques, once. Fails as
  // Get_CashMemo does, "Invalid Payment Type" (a cash memo), "Already Processed" (recorded
  // already), or with the module's text.
  bool Cheque_Process();
  // Marks the memo's source order, delivery or direct delivery paid (and, for an order, its
  // lines delivered by what the memo delivers).
  bool Update_Source_Document();

  std::string_view ClassName() const override { return "QLNSales.CashMemo"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"CashMemoNo", "CashMemoIdentity"};
  }

 private:
  bool Process_CashMemo();
  bool header_only_ = false;  // set while processing: Get_CashMemo leaves the grid alone
};

}  // namespace qlnsales
