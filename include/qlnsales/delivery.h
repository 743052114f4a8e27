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
  bool Get_Order_Details();
  bool Get_CashMemo_Details();
  bool Validation();
  // A new delivery under a temporary number; with Save_Detail_Flag true the ticked grid lines too.
  bool Create_Delivery(std::optional<bool> Save_Detail_Flag);
  bool Create_Delivery_Master();
  bool Update_Delivery();
  // Mark the source as processed and no longer cancellable.
  bool Update_Sales_Order();
  bool Update_Cash_Memo();
  bool Get_Delivery();
  // Gives the delivery its final number and makes its postings, by the working mode.
  bool Process_Delivery(std::string& source);

  std::string_view ClassName() const override { return "QLNSales.Delivery"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"DeliveryNo", "DeliveryIdentity"};
  }

 private:
  struct Line;
  bool Update_Order_Delivered_Qty(bool from_cash_memo, const ResultSet& lines);
  bool Post_Stock_Movement(const std::vector<Line>& lines);
  bool Post_Delivery_Cost(const std::vector<Line>& lines);
  bool Post_Location_Stock(const std::vector<Line>& lines);
  bool Save_Delivery_Details();
  bool FillFromSource(bool order);
  bool MarkSource(const char* table, const char* key, const std::string& message);
};

}  // namespace qlnsales
