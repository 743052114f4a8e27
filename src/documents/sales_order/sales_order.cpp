#include "qlnsales/sales_order.h"

#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "frame/numbering.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {
const char* kMaster = "Sales_Order_Master";
const char* kDetail = "Sales_Order_Detail";
}  // namespace

bool SalesOrder::Validate_Order() {
  if (CompanyPrefix.empty()) return Fail("Invalid Comapny Prefix");
  if (BranchPrefix.empty()) return Fail("Invalid Branch Prefix");
  if (DocumentPrefix.empty()) return Fail("Invalid Document Prefix");
  if (Trim(CustomerName).empty() || Trim(CustomerCode).empty())
    return Fail("Invalid Customer Details");
  if (Trim(PaymentType).empty()) return Fail("Invalid Payment Type");
  return true;
}

bool SalesOrder::Create_Order() {
  if (!Validate_Order()) return false;
  return Trap([&] {
    RequireGrid(OrderGridName, "OrderGridName");  // before anything is written
    CounterNumbering number(CounterNumbering::kTemporary);
    if (auto err = number.Draw(AdoConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}))
      return Fail(*err);
    SalesOrdIdentity = number.identity();
    SalesOrdNo = number.number();
    if (!Save_Order_Master() || !Save_Order_Details()) return false;
    if (auto err = number.Confirm()) return Fail(*err);
    return true;
  });
}

bool SalesOrder::Update_Order() {
  if (!Validate_Order()) return false;
  // Without a number there is nothing to save under; nothing is written.
  if (Trim(SalesOrdNo).empty()) return Fail("Invalid Order No.");
  return Trap([&] {
    RequireGrid(OrderGridName, "OrderGridName");  // before the old lines are deleted
    return Save_Order_Master() && Save_Order_Details();
  });
}

bool SalesOrder::Mark_Quotation_Processed(const std::string& quotation_no) {
  auto changed = Record()
                     .Set("process_Flag", 1)
                     .Set("Allow_Cancel_Flag", 0)
                     .Set("Last_Update", LastUpdate)
                     .Update(*connection_rule::ObjectOnly(AdoConnectionObject),
                             "Sales_Quotation_Master", Record().Set("Sales_Quot_No", quotation_no));
  if (changed == 0) return Fail("Invalid Quotation No ");
  return true;
}

bool SalesOrder::Save_Order_Master() {
  auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
  if (auto symbol = CurrencySymbolOf(*conn, CurrencyCode)) CurrencySymbol = *symbol;

  // The quotation is checked before anything is written, so an unknown one leaves the order and
  // its lines as they were.
  const std::string quotation = Trim(SalesQuotNo);
  if (!quotation.empty() &&
      conn->Query("SELECT Sales_Quot_No FROM Sales_Quotation_Master WHERE Sales_Quot_No = ?",
                  {quotation})
          .empty())
    return Fail("Invalid Quotation No ");

  bool exists = !conn->Query("SELECT Sales_Ord_No FROM Sales_Order_Master WHERE Sales_Ord_No = ?",
                             {SalesOrdNo})
                     .empty();
  Record row;
  if (!exists)
    row.Set("Sales_Ord_No", SalesOrdNo).Set("Sales_ord_Identity", SalesOrdIdentity);
  else
    conn->Execute("DELETE FROM Sales_Order_Detail WHERE Sales_Ord_No = ?", {SalesOrdNo});
  const bool employee = !Trim(EmployeeID).empty();
  row.Set("Company_Prefix", CompanyPrefix)
      .Set("Branch_Prefix", BranchPrefix)
      .Set("Document_Prefix", DocumentPrefix)
      .SetOptional("Customer_Code", CustomerCode)
      .SetOptional("Customer_Name", CustomerName)
      .Set("Sales_Ord_Date", SalesOrdDate)
      .Set("Foreign_Currency_Flag", ForeignCurrencyFlag)
      .SetOptional("Currency_Code", CurrencyCode)
      .SetOptional("Currency_Symbol", CurrencySymbol)
      .Set("Sales_Ord_SubTotal", SalesOrdSubTotal)
      .Set("Sales_Ord_FC_SubTotal", SalesOrdFCSubTotal)
      .Set("Sales_Ord_Disc_Percent", SalesOrdDiscPercent)
      .Set("Sales_Ord_Disc_Amount", SalesOrdDiscAmount)
      .Set("Sales_Ord_FC_Disc_Amount", SalesOrdFCDiscAmount)
      .Set("Sales_Ord_Total_Amount", SalesOrdTotalAmount)
      .Set("Sales_Ord_FC_Total_Amount", SalesOrdFCTotalAmount)
      .Set("Employee_ID", employee ? Value(EmployeeID) : Value())
      .Set("Employee_Name", employee ? Value(EmployeeName) : Value())
      .SetOptional("Sales_Quot_No", SalesQuotNo)
      .Set("Exchange_Rate", ForeignCurrencyFlag ? ExchangeRate : 1.0)
      .SetOptional("Customer_PO_No", CustomerPONo)
      .Set("Customer_PO_Date", CustomerPODate)
      .SetOptional("Payment_Terms", PaymentTerms)
      .SetOptional("Payment_Type", PaymentType)
      .SetOptional("Sales_Ord_Comments", SalesOrdComments)
      .Set("Cancel_Flag", CancelFlag)
      .Set("Allow_Cancel_Flag", AllowCancelFlag)
      .Set("Location_ID", LocationID)
      .SetOptional("Location_Name", LocationName)
      .Set("Delivery_Date", DeliveryDate)
      .Set("Last_Update", Stamp(kMaster, LastUpdate));
  if (exists)
    row.Update(*conn, kMaster, Record().Set("Sales_Ord_No", SalesOrdNo));
  else
    row.Insert(*conn, kMaster);
  if (!quotation.empty() && !Mark_Quotation_Processed(quotation)) return false;
  return true;
}

bool SalesOrder::Save_Order_Details() {
  Grid& grid = RequireGrid(OrderGridName, "OrderGridName");
  auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
  auto blank = [&grid](std::int32_t r) {
    return grid.TextMatrix(r, 1).empty() && grid.TextMatrix(r, 2).empty();
  };
  // The overall-discount remainder goes to the last line actually saved.
  std::int32_t last = 0;
  for (std::int32_t r = 1; r < grid.Rows(); ++r)
    if (!blank(r)) last = r;
  const bool share = SalesOrdFCDiscAmount > 0;
  const double d = SalesOrdDiscPercent / 100;
  const int places = static_cast<int>(convert::RoundHalfEven(AmtDig));
  double local_sum = 0, foreign_sum = 0;
  std::vector<Record> lines;
  const Value stamp = Stamp(kDetail, LastUpdate);

  for (std::int32_t r = 1; r < grid.Rows(); ++r) {
    if (blank(r)) continue;
    const std::string code = Trim(grid.TextMatrix(r, 1));
    const std::string name = Trim(grid.TextMatrix(r, 2));
    auto [unit, period] = SplitUnit(grid.TextMatrix(r, 4));
    Record line;
    line.Set("Sales_Ord_No", SalesOrdNo)
        .Set("Item_Code", code.empty() ? Value() : Value(CompanyPrefix + code))
        .Set("Item_Name", name.empty() ? Value() : Value(name))
        .Set("Unit_Code", convert::Val(grid.TextMatrix(r, 3)))
        .Set("Unit_Name", unit)
        .Set("Period_Type", period ? Value(*period) : Value())
        .Set("FOC_Flag", grid.ValueMatrix(r, 17))
        .Set("Unit_Qty", convert::Val(grid.TextMatrix(r, 5)))
        .Set("Sales_Ord_Ordered_Qty", grid.ValueMatrix(r, 6))
        .Set("Sales_Ord_FC_Unit_Price", grid.ValueMatrix(r, 7))
        .Set("Sales_Ord_Dtl_Disc_Percent", grid.ValueMatrix(r, 8))
        .Set("Sales_Ord_FC_Disc_Amount", grid.ValueMatrix(r, 9))
        .Set("Sales_Ord_FC_Item_Amount", grid.ValueMatrix(r, 10))
        .Set("Sales_Ord_Unit_Price", grid.ValueMatrix(r, 15))
        .Set("Sales_Ord_Disc_Amount", grid.ValueMatrix(r, 12))
        .Set("Sales_Ord_Item_Amount", grid.TextMatrix(r, 11))
        .Set("Proj_No", grid.TextMatrix(r, 13).empty() ? Value() : Value(grid.TextMatrix(r, 16)))
        .Set("Sales_Quot_SL_No", grid.ValueMatrix(r, 14));
    if (share) {
      double fc, local;
      if (r != last) {
        fc = convert::RoundHalfEven(d * grid.ValueMatrix(r, 10), places);
        local = convert::RoundHalfEven(d * grid.ValueMatrix(r, 11), places);
        local_sum += local;
        foreign_sum += fc;
      } else {
        fc = convert::RoundHalfEven(SalesOrdFCDiscAmount - foreign_sum, places);
        local = convert::RoundHalfEven(SalesOrdDiscAmount - local_sum, places);
      }
      line.Set("Sales_Ord_Overall_FC_Disc", fc).Set("Sales_Ord_Overall_Disc", local);
    }
    line.Set("Last_Update", stamp);
    lines.push_back(std::move(line));
  }
  InsertLines(*conn, kDetail, lines);
  return true;
}

bool SalesOrder::Get_Order() {
  if (SalesOrdNo.empty()) return Fail("Invalid Order No.");
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ADOConnectionString);
    auto rs = conn->Query("SELECT * FROM Sales_Order_Master WHERE Sales_Ord_No = ?", {SalesOrdNo});
    if (rs.empty()) return Fail("Invlaid Order No");
    Row r = rs.front();
    auto text_if = [&r](const char* column, std::string& property) {
      if (!r.IsNull(column)) property = r.Text(column);
    };
    SalesOrdNo = r.Required("Sales_Ord_No").ToText();
    CompanyPrefix = r.Required("Company_Prefix").ToText();
    BranchPrefix = r.Required("Branch_Prefix").ToText();
    DocumentPrefix = r.Required("Document_Prefix").ToText();
    SalesOrdIdentity = r.Required("Sales_ord_Identity").ToInt32();
    text_if("Customer_Code", CustomerCode);
    text_if("Customer_Name", CustomerName);
    SalesOrdDate = r.Required("Sales_Ord_Date").ToDate();
    text_if("Sales_Ord_Comments", SalesOrdComments);
    SalesOrdSubTotal = r.Required("Sales_Ord_SubTotal").ToDouble();
    SalesOrdDiscPercent = r.Required("Sales_Ord_Disc_Percent").ToDouble();
    SalesOrdDiscAmount = r.Required("Sales_Ord_Disc_Amount").ToDouble();
    SalesOrdTotalAmount = r.Required("Sales_Ord_Total_Amount").ToDouble();
    SalesOrdFCSubTotal = r.Required("Sales_Ord_FC_SubTotal").ToDouble();
    SalesOrdFCDiscAmount = r.Required("Sales_Ord_FC_Disc_Amount").ToDouble();
    SalesOrdFCTotalAmount = r.Required("Sales_Ord_FC_Total_Amount").ToDouble();
    ForeignCurrencyFlag = r.Flag("Foreign_Currency_Flag");
    text_if("Currency_Code", CurrencyCode);
    text_if("Currency_Symbol", CurrencySymbol);
    PaymentTerms = r.Text("Payment_Terms");
    PaymentType = r.Text("Payment_Type");
    ProcessFlag = r.Flag("process_Flag");
    CancelFlag = r.Flag("Cancel_Flag");
    AllowCancelFlag = r.Flag("Allow_Cancel_Flag");
    InvoicedFlag = r.Flag("Invoiced_Flag");
    DeliveredFlag = r.Flag("Delivered_Flag");
    YearEndFlag = r.Flag("Year_End_Flag");
    PaidFlag = r.Flag("Paid_Flag");
    text_if("Sales_Quot_No", SalesQuotNo);
    if (!r.IsNull("Customer_PO_No")) {
      CustomerPONo = r.Text("Customer_PO_No");
      if (!r.IsNull("Customer_PO_Date")) CustomerPODate = r.DateValue("Customer_PO_Date");
    }
    text_if("Employee_ID", EmployeeID);
    text_if("Employee_Name", EmployeeName);
    if (!r.IsNull("Delivery_Date")) DeliveryDate = r.DateValue("Delivery_Date");
    ExchangeRate = ForeignCurrencyFlag ? r.Double("Exchange_Rate") : 1;
    // Filling the grid is part of reading the order: when it fails, so does Get_Order.
    if (!header_only_ && !Fill_Order_Grid()) return false;
    return true;
  });
}

bool SalesOrder::Fill_Order_Grid() {
  Grid& grid = RequireGrid(OrderGridName, "OrderGridName");
  auto conn = connection_rule::StringOnly(ADOConnectionString);
  auto lines = conn->Query("SELECT * FROM Sales_Order_Detail WHERE Sales_Ord_No = ? ORDER BY SL_No",
                           {SalesOrdNo});
  auto master = conn->Query(
      "SELECT Foreign_Currency_Flag FROM Sales_Order_Master WHERE "
      "Sales_Ord_No = ?",
      {SalesOrdNo});
  const bool foreign = !master.empty() && master.front().Flag("Foreign_Currency_Flag");
  const auto count = static_cast<std::int32_t>(lines.size());
  if (ProcessFlag || CancelFlag)
    grid.SetRows(count + 2);
  else if (grid.Rows() - 1 < count)
    grid.SetRows(count + 2);
  for (std::int32_t i = 1; i <= count; ++i) {
    Row l = lines[static_cast<std::size_t>(i - 1)];
    auto number = [&l](const char* column) { return GridNumber(l.Double(column)); };
    if (!l.IsNull("Item_Code")) grid.SetTextMatrix(i, 1, convert::Mid(l.Text("Item_Code"), 3));
    if (!l.IsNull("Item_Name")) grid.SetTextMatrix(i, 2, l.Text("Item_Name"));
    if (!l.IsNull("Unit_Code")) grid.SetTextMatrix(i, 3, number("Unit_Code"));
    grid.SetTextMatrix(i, 4, JoinUnit(l.Text("Unit_Name"), l.Text("Period_Type")));
    grid.SetTextMatrix(i, 5, number("Unit_Qty"));
    grid.SetTextMatrix(i, 6, number("Sales_Ord_Ordered_Qty"));
    grid.SetTextMatrix(i, 7, number(foreign ? "Sales_Ord_FC_Unit_Price" : "Sales_Ord_Unit_Price"));
    grid.SetTextMatrix(i, 8, number("Sales_Ord_Dtl_Disc_Percent"));
    grid.SetTextMatrix(i, 9, number("Sales_Ord_FC_Disc_Amount"));
    grid.SetTextMatrix(i, 10, number("Sales_Ord_FC_Item_Amount"));
    grid.SetTextMatrix(i, 11, l.Text("Sales_Ord_Item_Amount"));
    grid.SetTextMatrix(i, 12, number("Sales_Ord_Disc_Amount"));
    const std::string project = l.Text("Proj_No");
    if (!project.empty()) {
      grid.SetTextMatrix(i, 13, convert::Mid(project, 8));
      grid.SetTextMatrix(i, 16, project);
    }
    grid.SetTextMatrix(i, 15, number("Sales_Ord_Unit_Price"));
    if (!l.IsNull("FOC_Flag")) grid.SetTextMatrix(i, 17, l.Double("FOC_Flag") != 0 ? "1" : "0");
  }
  return true;
}

const DispatchTable& SalesOrder::Dispatch() const {
  using C = SalesOrder;
  static const DispatchTable table = DispatchBuilder<C>("QLNSales.SalesOrder")
                                         .Prop("ADOConnectionString", &C::ADOConnectionString)
                                         .Prop("AdoConnectionObject", &C::AdoConnectionObject)
                                         .Prop("OrderGridName", &C::OrderGridName)
                                         .ReadOnly("ErrDesc", &C::ErrDesc)
                                         .Prop("CompanyPrefix", &C::CompanyPrefix)
                                         .Prop("BranchPrefix", &C::BranchPrefix)
                                         .Prop("DocumentPrefix", &C::DocumentPrefix)
                                         .Prop("SalesOrdNo", &C::SalesOrdNo)
                                         .Prop("SalesOrdIdentity", &C::SalesOrdIdentity)
                                         .Prop("SalesOrdDate", &C::SalesOrdDate)
                                         .Prop("CustomerCode", &C::CustomerCode)
                                         .Prop("CustomerName", &C::CustomerName)
                                         .Prop("CustomerPONo", &C::CustomerPONo)
                                         .Prop("CustomerPODate", &C::CustomerPODate)
                                         .Prop("SalesQuotNo", &C::SalesQuotNo)
                                         .Prop("PaymentTerms", &C::PaymentTerms)
                                         .Prop("PaymentType", &C::PaymentType)
                                         .Prop("ForeignCurrencyFlag", &C::ForeignCurrencyFlag)
                                         .Prop("CurrencyCode", &C::CurrencyCode)
                                         .Prop("CurrencySymbol", &C::CurrencySymbol)
                                         .Prop("ExchangeRate", &C::ExchangeRate)
                                         .Prop("SalesOrdSubTotal", &C::SalesOrdSubTotal)
                                         .Prop("SalesOrdFCSubTotal", &C::SalesOrdFCSubTotal)
                                         .Prop("SalesOrdDiscPercent", &C::SalesOrdDiscPercent)
                                         .Prop("SalesOrdDiscAmount", &C::SalesOrdDiscAmount)
                                         .Prop("SalesOrdFCDiscAmount", &C::SalesOrdFCDiscAmount)
                                         .Prop("SalesOrdTotalAmount", &C::SalesOrdTotalAmount)
                                         .Prop("SalesOrdFCTotalAmount", &C::SalesOrdFCTotalAmount)
                                         .Prop("EmployeeID", &C::EmployeeID)
                                         .Prop("EmployeeName", &C::EmployeeName)
                                         .Prop("SalesOrdComments", &C::SalesOrdComments)
                                         .Prop("DeliveryDate", &C::DeliveryDate)
                                         .Prop("LocationID", &C::LocationID)
                                         .Prop("LocationName", &C::LocationName)
                                         .Prop("LastUpdate", &C::LastUpdate)
                                         .Prop("CancelFlag", &C::CancelFlag)
                                         .Prop("AllowCancelFlag", &C::AllowCancelFlag)
                                         .Prop("ProcessFlag", &C::ProcessFlag)
                                         .Prop("DeliveredFlag", &C::DeliveredFlag)
                                         .Prop("InvoicedFlag", &C::InvoicedFlag)
                                         .Prop("PaidFlag", &C::PaidFlag)
                                         .Prop("YearEndFlag", &C::YearEndFlag)
                                         .Prop("FulFilledFlag", &C::FulFilledFlag)
                                         .Prop("DocManualFlag", &C::DocManualFlag)
                                         .Prop("DocIdentity", &C::DocIdentity)
                                         .Prop("OnlineFlag", &C::OnlineFlag)
                                         .Prop("SyncFlag", &C::SyncFlag)
                                         .Prop("AmtDig", &C::AmtDig)
                                         .Prop("DeliveryPrefix", &C::DeliveryPrefix)
                                         .Prop("CashMemoPrefix", &C::CashMemoPrefix)
                                         .Prop("InvoicePrefix", &C::InvoicePrefix)
                                         .Prop("StockMovementPrefix", &C::StockMovementPrefix)
                                         .Prop("SalesLogPrefix", &C::SalesLogPrefix)
                                         .Method("Create_Order", &C::Create_Order)
                                         .Method("Update_Order", &C::Update_Order)
                                         .Method("Get_Order", &C::Get_Order)
                                         .Build();
  return table;
}

}  // namespace qlnsales
