// A sales order: its header in the properties, its lines in the caller's grid.
#pragma once

#include <optional>
#include <string>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class SalesOrder : public BusinessObject {
 public:
  std::string ADOConnectionString;
  ConnectionRef AdoConnectionObject;
  GridRef OrderGridName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  std::string SalesOrdNo;
  std::int32_t SalesOrdIdentity = 0;
  Date SalesOrdDate;
  std::string CustomerCode;
  std::string CustomerName;
  std::string CustomerPONo;
  Date CustomerPODate;
  std::string SalesQuotNo;
  std::string PaymentTerms;
  std::string PaymentType;
  bool ForeignCurrencyFlag = false;
  std::string CurrencyCode;
  std::string CurrencySymbol;
  double ExchangeRate = 0;
  double SalesOrdSubTotal = 0;
  double SalesOrdFCSubTotal = 0;
  double SalesOrdDiscPercent = 0;
  double SalesOrdDiscAmount = 0;
  double SalesOrdFCDiscAmount = 0;
  double SalesOrdTotalAmount = 0;
  double SalesOrdFCTotalAmount = 0;
  std::string EmployeeID;
  std::string EmployeeName;
  std::string SalesOrdComments;
  Date DeliveryDate;
  std::int32_t LocationID = 0;
  std::string LocationName;
  Date LastUpdate;
  bool CancelFlag = false;
  bool AllowCancelFlag = false;
  bool ProcessFlag = false;
  bool DeliveredFlag = false;
  bool InvoicedFlag = false;
  bool PaidFlag = false;
  bool YearEndFlag = false;
  bool FulFilledFlag = false;
  bool DocManualFlag = false;
  double DocIdentity = 0;
  bool OnlineFlag = false;
  bool SyncFlag = false;
  double AmtDig = 0;
  std::string DeliveryPrefix;
  std::string CashMemoPrefix;
  std::string InvoicePrefix;
  std::string StockMovementPrefix;
  std::string SalesLogPrefix;

  // Checks the header, takes a temporary number, saves header and lines. "Invalid Comapny
  // Prefix", "Invalid Branch Prefix", "Invalid Document Prefix", "Invalid Customer Details",
  // "Invalid Payment Type", "Invalid Quotation No " (SalesQuotNo unknown), or the counter's text.
  bool Create_Order();
  // Saves header and lines again under SalesOrdNo. Fails as Create_Order does, or "Invalid Order
  // No.".
  bool Update_Order();
  // Loads the header of SalesOrdNo and its lines into the grid. "Invalid Order No." (no number),
  // "Invlaid Order No" (unknown).
  bool Get_Order();

  // Gives the order its final number (by the working mode and the manual identity), makes on-line
  // the documents the branch's sales preferences ask for (GenerateDefaults), and raises the items'
  // ordered quantities. "Invalid Sales Order No", "Already Processed", "Error while Processing,
  // Invalid Temporary Sales Order No.", or the text of Get_Order, the counter, a document made
  // or the inventory.
  bool Process_Order();
  // Moves the ordered quantity of each stock line's item, in base units, by `strType`
  // ("Increase" or "Decrease"). The inventory's text.
  bool Update_Item_SORDQty(std::string& strType);
  // By the payment type and the branch's sales preferences: a delivery and/or a cash memo of a
  // cash order, a delivery and/or an invoice of a credit order. "Set the default sales
  // preferences.", or the text of the document that failed.
  bool GenerateDefaults();
  // A delivery of the whole order, saved and processed. The delivery's text.
  bool Process_Delivery(std::string& strType, std::optional<bool> pCashMemoSelected);
  bool Create_Delivery_Detail(std::string& strDelNo);
  // A cash memo of the whole order, saved and processed; with pDelivered its lines count as
  // delivered. The memo's text.
  bool Process_CashMemo(std::string& strType, bool& pDelivered);
  bool Create_CashMemo_Detail(std::string& strCMNo, bool& pDelivered);
  // An invoice of the delivery this order's processing has just made, saved and processed; True
  // and no invoice when there is none. The invoice's text.
  bool Process_Invoice(std::string& strType);
  bool Create_Invoice_Detail(std::string& strInvNo);

  std::string_view ClassName() const override { return "QLNSales.SalesOrder"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"SalesOrdNo", "SalesOrdIdentity"};
  }

 private:
  bool header_only_ = false;  // set while processing: Get_Order leaves the grid alone
  // The delivery Process_Delivery made last, for the order it was made for; an invoice is made
  // only from it, once.
  std::string last_delivery_order_;
  std::string last_delivery_no_;
  std::string last_delivery_date_;
};

}  // namespace qlnsales
