// A sales order: its header in the properties, its lines in the caller's grid.
#pragma once

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

  std::string_view ClassName() const override { return "QLNSales.SalesOrder"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"SalesOrdNo", "SalesOrdIdentity"};
  }
};

}  // namespace qlnsales
