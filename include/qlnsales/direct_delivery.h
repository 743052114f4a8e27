// A delivery made without an order or a cash memo: the caller enters the lines.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

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

  bool Validation();
  bool Create_Direct_Delivery();
  bool Create_Direct_Delivery_Master();
  bool Update_Direct_Delivery();
  // Loads the header and, unless only the header is wanted, the lines into the grid.
  bool Get_Direct_Delivery();
  bool Process_Direct_Delivery();

  std::string_view ClassName() const override { return "QLNSales.DirectDelivery"; }

 protected:
  const DispatchTable& Dispatch() const override;
  std::vector<std::string_view> NumberProperties() const override {
    return {"DirectDeliveryNo", "DirectDeliveryIdentity"};
  }

 private:
  bool Save_Direct_Delivery_Details();
  bool Fill_Direct_Delivery_Grid(Connection& conn);
  bool Post_Direct_Delivery_Cost(const std::string& item, double cost, bool free,
                                 const ObjectRef& currency);

  bool header_only_ = false;
  // The accounts of each item, read once per processing: inventory, cost of goods, free of cost.
  std::map<std::string, std::array<std::string, 3>> item_accounts_;
};

}  // namespace qlnsales
