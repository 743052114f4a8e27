// A delivery made without an order or a cash memo: the caller enters the lines.
#pragma once

#include <string>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class DirectDelivery : public BusinessObject {
 public:
  std::string ADOConnectionString;
  ConnectionRef AdoDBConnectionObject;
  std::string Database;
  GridRef DeliveryGridName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  std::string DirectDeliveryNo;
  std::int32_t DirectDeliveryIdentity = 0;
  Date DirectDeliveryDate;
  Date DirectDeliveryEndDate;
  std::string CustomerCode;
  std::string CustomerName;
  std::string CustomerAddressCode;
  std::string PaymentTerms;
  std::string PaymentType;
  bool ForeignCurrencyFlag = false;
  std::string CurrencyCode;
  std::string CurrencySymbol;
  double ExchangeRate = 0;
  double DirectDeliverySubtotal = 0;
  double DirectDeliveryFCSubtotal = 0;
  double DirectDeliveryDiscPercent = 0;
  double DirectDeliveryDiscAmount = 0;
  double DirectDeliveryFCDiscAmount = 0;
  double DirectDeliveryTotalAmount = 0;
  double DirectDeliveryFCTotalAmount = 0;
  std::string EmployeeID;
  std::string EmployeeName;
  std::string DirectDeliveryComments;
  bool PaidFlag = false;
  bool InvoicedFlag = false;
  bool ProcessFlag = false;
  bool CancelFlag = false;
  bool AllowCancelFlag = false;
  Date LastUpdate;
  bool DocFlag = false;
  double manualDocIdentity = 0;
  bool OnlineFlag = false;
  bool SyncFlag = false;
  std::int32_t LocationID = 0;
  std::string LocationName;
  std::string StockMovementPrefix;
  std::string SalesLogPrefix;
  double SellingQty = 0;
  bool YearEndFlag = false;

  // "Connection not opened", "Invalid Customer Details", "Invalid Payment Type", "Invalid Company
  // Prefix", "Invalid Branch Prefix", "Invalid Sub Total", "Invalid Total Amount".
  bool Validation();
  // A new delivery under a temporary number with the grid's lines, up to the first blank row.
  // Fails as Validation does, or with the counter's text.
  bool Create_Direct_Delivery();
  // Saves the header under DirectDeliveryNo (a delivery saved again loses its lines).
  bool Create_Direct_Delivery_Master();
  // Saves header and lines again. Fails as Validation does, or "Invalid Delivery No".
  bool Update_Direct_Delivery();
  // Loads the header and the lines into the grid. "Invalid Delivery No" (no number, an unknown
  // one, or a delivery without lines).
  bool Get_Direct_Delivery();
  // Gives the delivery its final number and, by the working mode, takes its goods out of stock
  // with their cost postings. "Invalid Delivery No", "Invalid Currency Code", "Already
  // Processed", or a module's text.
  bool Process_Direct_Delivery();

  std::string_view ClassName() const override { return "QLNSales.DirectDelivery"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"DirectDeliveryNo", "DirectDeliveryIdentity"};
  }
};

}  // namespace qlnsales
