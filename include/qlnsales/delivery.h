// A delivery note against a sales order or a cash memo: header in the properties, lines in the
// caller's grid.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class Delivery : public BusinessObject {
 public:
  Delivery();

  std::string ADOConnectionString;
  ConnectionRef AdoDBConnectionObject;  // a closed connection until the caller sets an open one
  std::string Database;
  GridRef DeliveryGridName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  std::string DeliveryNo;
  std::int32_t DeliveryIdentity = 0;
  Date DeliveryDate;
  Date DeliveryEndDate;
  std::string CustomerCode;
  std::string CustomerName;
  std::string CustomerAddressCode;
  std::string DeliveryRefNo;
  std::string PaymentTerms;
  std::string PaymentType;
  bool ForeignCurrencyFlag = false;
  std::string CurrencyCode;
  std::string CurrencySymbol;
  double ExchangeRate = 0;
  double DeliverySubtotal = 0;
  double DeliveryFCSubtotal = 0;
  double DeliveryDiscAmount = 0;
  double DeliveryFCDiscAmount = 0;
  double DeliveryTotalAmount = 0;
  double DeliveryFCTotalAmount = 0;
  std::string SourceNo;
  Date SourceDate;
  std::string SourcePrefix;
  std::string SourceName;
  std::string EmployeeID;
  std::string EmployeeName;
  std::string DeliveryComments;
  bool PaidFlag = false;
  bool InvoicedFlag = false;
  bool ProcessFlag = false;
  bool CancelFlag = false;
  bool AllowCancelFlag = false;
  bool YearEndFlag = false;
  std::int32_t LocationID = 0;
  std::string LocationName;
  std::string StockMovementPrefix;
  std::string SalesLogPrefix;
  bool DocManualFlag = false;
  double ManualDeliveryIdentity = 0;
  bool OnlineFlag = false;
  bool SyncFlag = false;
  double AmtDig = 0;
  Date LastUpdate;

  // Fill the header and the grid from the source order / cash memo (outstanding lines only).
  // Fail with "Invalid Sales Order NO" / "Invalid Cash Memo No" (no number), "Invalid Sales Order
  // No" / "Invalid Cash Memo No" (unknown), "Invalid Item Details" (nothing outstanding).
  bool Get_Order_Details();
  bool Get_CashMemo_Details();
  // "Connection not opened", "Invalid Sales Order or Cash Memo No", "Invalid Sales Order or Cash
  // Memo Prefix".
  bool Validation();
  // A new delivery under a temporary number; with Save_Detail_Flag true the ticked grid lines
  // too. Fails as Validation does, or with the counter's text.
  bool Create_Delivery(std::optional<bool> Save_Detail_Flag);
  // Saves the header under DeliveryNo (a delivery saved again loses its lines).
  bool Create_Delivery_Master();
  // Saves header and lines again. Fails as Validation does, or "Invalid Delivery No".
  bool Update_Delivery();
  // Mark the source as processed and no longer cancellable. "Invalid Sales Order No" / "Invalid
  // Cash Memo No", "Invalid Document Prefix", "Connection is not open".
  bool Update_Sales_Order();
  bool Update_Cash_Memo();
  // Loads the header of DeliveryNo. "Invalid Delivery No".
  bool Get_Delivery();
  // Gives the delivery its final number and makes its postings, by the working mode. "Invalid
  // Delivery No", "Already Processed", "Error while Processing, Invalid Temporary Delivery No.",
  // "Invalid Item Details" (a line whose source line is gone), "Set the Default settings in the
  // Account Preferences", "Set the Sales default settings in the Sales Preferences", or a
  // module's text.
  bool Process_Delivery(std::string& source);

  std::string_view ClassName() const override { return "QLNSales.Delivery"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"DeliveryNo", "DeliveryIdentity"};
  }
};

}  // namespace qlnsales
