#include "qlnsales/direct_delivery.h"

#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "frame/numbering.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {
const char* kMaster = "Direct_Delivery_Master";
const char* kDetail = "Direct_Delivery_Detail";
}  // namespace

bool DirectDelivery::Validation() {
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection not opened");
  if (Trim(CustomerCode).empty() || Trim(CustomerName).empty())
    return Fail("Invalid Customer Details");
  if (Trim(PaymentType).empty()) return Fail("Invalid Payment Type");
  if (Trim(CompanyPrefix).empty()) return Fail("Invalid Company Prefix");
  if (Trim(BranchPrefix).empty()) return Fail("Invalid Branch Prefix");
  if (DirectDeliverySubtotal == 0) return Fail("Invalid Sub Total");
  if (DirectDeliveryTotalAmount == 0) return Fail("Invalid Total Amount");
  return true;
}

bool DirectDelivery::Create_Direct_Delivery() {
  if (!Validation()) return false;
  return Trap([&] {
    RequireGrid(DeliveryGridName, "DeliveryGridName");
    CounterNumbering number(CounterNumbering::kTemporary);
    if (auto err =
            number.Draw(AdoDBConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}))
      return Fail(*err);
    DirectDeliveryIdentity = number.identity();
    DirectDeliveryNo = number.number();
    if (!Create_Direct_Delivery_Master() || !Save_Direct_Delivery_Details()) return false;
    if (auto err = number.Confirm()) return Fail(*err);
    return true;
  });
}

bool DirectDelivery::Update_Direct_Delivery() {
  if (!Validation()) return false;
  // Without a number there is nothing to save under; nothing is written.
  if (Trim(DirectDeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] {
    RequireGrid(DeliveryGridName, "DeliveryGridName");  // before the old lines are deleted
    return Create_Direct_Delivery_Master() && Save_Direct_Delivery_Details();
  });
}

bool DirectDelivery::Create_Direct_Delivery_Master() {
  return Trap([&] {
    Connection& conn = *connection_rule::ObjectOnly(AdoDBConnectionObject);
    if (auto symbol = CurrencySymbolOf(conn, CurrencyCode)) CurrencySymbol = *symbol;
    // A delivery saved again loses its lines first; a new one has none to lose.
    conn.ExecuteDeferred("DELETE FROM Direct_Delivery_Detail WHERE Direct_Delivery_No = ?",
                         {DirectDeliveryNo});
    Record row;
    row.Set("Direct_Delivery_No", DirectDeliveryNo)
        .Set("Direct_Delivery_Identity", DirectDeliveryIdentity);
    const bool employee = !EmployeeID.empty();
    row.Set("Company_Prefix", CompanyPrefix)
        .Set("Branch_Prefix", BranchPrefix)
        .Set("Document_Prefix", DocumentPrefix)
        .SetOptional("Customer_Code", CustomerCode)
        .SetOptional("Customer_Name", CustomerName)
        .SetOptional("Payment_Terms", PaymentTerms)
        .SetOptional("Payment_Type", PaymentType)
        .Set("Foreign_Currency_Flag", ForeignCurrencyFlag)
        .Set("Exchange_Rate", ForeignCurrencyFlag ? ExchangeRate : 1.0)
        .SetOptional("Currency_Code", CurrencyCode)
        .SetOptional("Currency_Symbol", CurrencySymbol)
        .Set("Direct_Delivery_Date", DirectDeliveryDate)
        .Set("Direct_Delivery_End_Date", DirectDeliveryEndDate)
        .Set("Direct_Delivery_SubTotal", DirectDeliverySubtotal)
        .Set("Direct_Delivery_FC_SubTotal", DirectDeliveryFCSubtotal)
        .Set("Direct_Delivery_Disc_Percent", DirectDeliveryDiscPercent)
        .Set("Direct_Delivery_Disc_Amount", DirectDeliveryDiscAmount)
        .Set("Direct_Delivery_FC_Disc_Amount", DirectDeliveryFCDiscAmount)
        .Set("Direct_Delivery_Total_Amount", DirectDeliveryTotalAmount)
        .Set("Direct_Delivery_FC_Total_Amount", DirectDeliveryFCTotalAmount)
        .Set("Employee_ID", employee ? Value(EmployeeID) : Value())
        .Set("Employee_Name", employee ? Value(EmployeeName) : Value())
        .Set("Paid_Flag", PaidFlag)
        .Set("Direct_Delivery_Comments",
             Trim(DirectDeliveryComments).empty() ? std::string(" ") : DirectDeliveryComments);
    if (convert::UCase(PaymentType) == "CREDIT")
      row.Set("Balance_Amount", DirectDeliveryTotalAmount)
          .Set("Balance_FCAmount", DirectDeliveryFCTotalAmount);
    row.Set("Address_Code", CustomerAddressCode.empty() ? Value() : Value(CustomerAddressCode))
        .Set("Last_Update", LastUpdate);
    row.SaveDeferred(conn, kMaster, "Direct_Delivery_No", {"Direct_Delivery_Identity"});
    return true;
  });
}

bool DirectDelivery::Save_Direct_Delivery_Details() {
  Grid& grid = RequireGrid(DeliveryGridName, "DeliveryGridName");
  Connection& conn = *connection_rule::ObjectOnly(AdoDBConnectionObject);
  // The lines run up to the first row whose item code and name are both empty.
  std::int32_t last = 0;
  for (std::int32_t r = 1; r < grid.Rows(); ++r) {
    if (grid.TextMatrix(r, 1).empty() && grid.TextMatrix(r, 2).empty()) break;
    last = r;
  }
  const bool share = DirectDeliveryFCDiscAmount > 0;
  const double d = DirectDeliveryDiscPercent / 100;
  double fc_sum = 0, local_sum = 0;
  std::vector<Record> lines;
  for (std::int32_t r = 1; r <= last; ++r) {
    const std::string code = Trim(grid.TextMatrix(r, 1));
    auto [unit, period] = SplitUnit(grid.TextMatrix(r, 4));
    Record line;
    line.Set("Direct_Delivery_No", DirectDeliveryNo)
        // A line without an item code stores none, rather than the bare company prefix.
        .Set("Item_Code", code.empty() ? Value() : Value(CompanyPrefix + code))
        .Set("Item_Name", Trim(grid.TextMatrix(r, 2)))
        .Set("Unit_Code", grid.ValueMatrix(r, 3))
        .Set("Unit_Name", unit)
        .Set("Period_Type", period ? Value(*period) : Value())
        .Set("FOC_Flag", grid.ValueMatrix(r, 18))
        .Set("Unit_Qty", grid.ValueMatrix(r, 5))
        .Set("Direct_Delivery_Qty", grid.ValueMatrix(r, 6))
        .Set("Direct_Delivery_Dtl_FC_Unit_Price", grid.ValueMatrix(r, 7))
        .Set("Direct_Delivery_Dtl_Disc_Percent", grid.ValueMatrix(r, 8))
        .Set("Direct_Delivery_FC_Disc_Amount", grid.ValueMatrix(r, 9))
        .Set("Direct_Delivery_FC_Item_Amount", grid.ValueMatrix(r, 10))
        .Set("Direct_Delivery_Disc_Amount", grid.ValueMatrix(r, 12))
        .Set("Direct_Delivery_Item_Amount", grid.ValueMatrix(r, 11))
        .Set("Direct_Delivery_Dtl_Unit_Price", grid.ValueMatrix(r, 13));
    if (share) {
      double fc = r != last ? d * grid.ValueMatrix(r, 10) : DirectDeliveryFCDiscAmount - fc_sum;
      double local = r != last ? d * grid.ValueMatrix(r, 11) : DirectDeliveryDiscAmount - local_sum;
      fc_sum += fc;
      local_sum += local;
      line.Set("Direct_Delivery_OverAll_Fc_Disc_Amount", fc)
          .Set("Direct_Delivery_OverAll_Disc_Amount", local);
    }
    line.Set("Proj_No", grid.TextMatrix(r, 15))
        .Set("Location_Name", grid.TextMatrix(r, 14))
        .Set("Location_ID", grid.ValueMatrix(r, 17))
        .Set("Last_Update", LastUpdate);
    lines.push_back(std::move(line));
  }
  InsertLines(conn, kDetail, lines);
  return true;
}

bool DirectDelivery::Get_Direct_Delivery() {
  if (Trim(DirectDeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] {
    auto conn = connection_rule::ObjectFirst(ADOConnectionString, AdoDBConnectionObject);
    auto rs = conn->Query("SELECT * FROM Direct_Delivery_Master WHERE Direct_Delivery_No = ?",
                          {DirectDeliveryNo});
    if (rs.empty()) return Fail("Invalid Delivery No");
    Row r = rs.front();
    DirectDeliveryNo = r.Text("Direct_Delivery_No");
    CompanyPrefix = r.Text("Company_Prefix");
    BranchPrefix = r.Text("Branch_Prefix");
    DocumentPrefix = r.Text("Document_Prefix");
    DirectDeliveryIdentity = r.Required("Direct_Delivery_Identity").ToInt32();
    CustomerCode = r.Text("Customer_Code");
    CustomerName = r.Text("Customer_Name");
    ForeignCurrencyFlag = r.Flag("Foreign_Currency_Flag");
    CurrencyCode = r.Text("Currency_Code");
    CurrencySymbol = r.Text("Currency_Symbol");
    CancelFlag = r.Flag("Cancel_Flag");
    AllowCancelFlag = r.Flag("Allow_Cancel_Flag");
    ProcessFlag = r.Flag("Processed_Flag");
    DirectDeliveryDate = r.Required("Direct_Delivery_Date").ToDate();
    DirectDeliveryEndDate = r.Required("Direct_Delivery_End_Date").ToDate();
    if (!r.IsNull("Payment_Terms")) PaymentTerms = r.Text("Payment_Terms");
    PaymentType = r.Text("Payment_Type");
    DirectDeliverySubtotal = r.Required("Direct_Delivery_SubTotal").ToDouble();
    DirectDeliveryFCSubtotal = r.Required("Direct_Delivery_FC_SubTotal").ToDouble();
    DirectDeliveryDiscPercent = r.Required("Direct_Delivery_Disc_Percent").ToDouble();
    DirectDeliveryDiscAmount = r.Required("Direct_Delivery_Disc_Amount").ToDouble();
    DirectDeliveryFCDiscAmount = r.Required("Direct_Delivery_FC_Disc_Amount").ToDouble();
    DirectDeliveryTotalAmount = r.Required("Direct_Delivery_Total_Amount").ToDouble();
    DirectDeliveryFCTotalAmount = r.Required("Direct_Delivery_FC_Total_Amount").ToDouble();
    PaidFlag = r.Flag("Paid_Flag");
    InvoicedFlag = r.Flag("Invoiced_Flag");
    if (!r.IsNull("Direct_Delivery_Comments"))
      DirectDeliveryComments = r.Text("Direct_Delivery_Comments");
    if (!r.IsNull("Address_Code")) CustomerAddressCode = r.Text("Address_Code");
    if (header_only_) return true;
    return Fill_Direct_Delivery_Grid(*conn);
  });
}

bool DirectDelivery::Fill_Direct_Delivery_Grid(Connection& conn) {
  auto lines =
      conn.Query("SELECT * FROM Direct_Delivery_Detail WHERE Direct_Delivery_No = ? ORDER BY SL_No",
                 {DirectDeliveryNo});
  if (lines.empty()) return Fail("Invalid Delivery No");
  Grid& grid = RequireGrid(DeliveryGridName, "DeliveryGridName");
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(lines.size()); ++i) {
    Row l = lines[static_cast<std::size_t>(i - 1)];
    EnsureRow(grid, i);
    auto number = [&l](const char* column) { return GridNumber(l.Double(column)); };
    grid.SetTextMatrix(i, 1, convert::Mid(l.Text("Item_Code"), 3));
    grid.SetTextMatrix(i, 2, l.Text("Item_Name"));
    grid.SetTextMatrix(i, 3, number("Unit_Code"));
    grid.SetTextMatrix(i, 4, JoinUnit(l.Text("Unit_Name"), l.Text("Period_Type")));
    grid.SetTextMatrix(i, 5, number("Unit_Qty"));
    grid.SetTextMatrix(i, 6, number("Direct_Delivery_Qty"));
    grid.SetTextMatrix(i, 7, number("Direct_Delivery_Dtl_FC_Unit_Price"));
    grid.SetTextMatrix(i, 8, number("Direct_Delivery_Dtl_Disc_Percent"));
    grid.SetTextMatrix(i, 9, number("Direct_Delivery_FC_Disc_Amount"));
    grid.SetTextMatrix(i, 10, number("Direct_Delivery_FC_Item_Amount"));
    grid.SetTextMatrix(i, 11, number("Direct_Delivery_Item_Amount"));
    grid.SetTextMatrix(i, 12, number("Direct_Delivery_Disc_Amount"));
    grid.SetTextMatrix(i, 13, number("Direct_Delivery_Dtl_Unit_Price"));
    if (!l.IsNull("Location_Name")) grid.SetTextMatrix(i, 14, l.Text("Location_Name"));
    if (!l.IsNull("Location_ID")) grid.SetTextMatrix(i, 17, number("Location_ID"));
    grid.SetTextMatrix(i, 18, number("FOC_Flag"));
  }
  return true;
}

const DispatchTable& DirectDelivery::Dispatch() const {
  using C = DirectDelivery;
  static const DispatchTable table =
      DispatchBuilder<C>("QLNSales.DirectDelivery")
          .Prop("ADOConnectionString", &C::ADOConnectionString)
          .Prop("AdoDBConnectionObject", &C::AdoDBConnectionObject)
          .Prop("Database", &C::Database)
          .Prop("DeliveryGridName", &C::DeliveryGridName)
          .ReadOnly("ErrDesc", &C::ErrDesc)
          .Prop("CompanyPrefix", &C::CompanyPrefix)
          .Prop("BranchPrefix", &C::BranchPrefix)
          .Prop("DocumentPrefix", &C::DocumentPrefix)
          .Prop("DirectDeliveryNo", &C::DirectDeliveryNo)
          .Prop("DirectDeliveryIdentity", &C::DirectDeliveryIdentity)
          .Prop("DirectDeliveryDate", &C::DirectDeliveryDate)
          .Prop("DirectDeliveryEndDate", &C::DirectDeliveryEndDate)
          .Prop("CustomerCode", &C::CustomerCode)
          .Prop("CustomerName", &C::CustomerName)
          .Prop("CustomerAddressCode", &C::CustomerAddressCode)
          .Prop("PaymentTerms", &C::PaymentTerms)
          .Prop("PaymentType", &C::PaymentType)
          .Prop("ForeignCurrencyFlag", &C::ForeignCurrencyFlag)
          .Prop("CurrencyCode", &C::CurrencyCode)
          .Prop("CurrencySymbol", &C::CurrencySymbol)
          .Prop("ExchangeRate", &C::ExchangeRate)
          .Prop("DirectDeliverySubtotal", &C::DirectDeliverySubtotal)
          .Prop("DirectDeliveryFCSubtotal", &C::DirectDeliveryFCSubtotal)
          .Prop("DirectDeliveryDiscPercent", &C::DirectDeliveryDiscPercent)
          .Prop("DirectDeliveryDiscAmount", &C::DirectDeliveryDiscAmount)
          .Prop("DirectDeliveryFCDiscAmount", &C::DirectDeliveryFCDiscAmount)
          .Prop("DirectDeliveryTotalAmount", &C::DirectDeliveryTotalAmount)
          .Prop("DirectDeliveryFCTotalAmount", &C::DirectDeliveryFCTotalAmount)
          .Prop("EmployeeID", &C::EmployeeID)
          .Prop("EmployeeName", &C::EmployeeName)
          .Prop("DirectDeliveryComments", &C::DirectDeliveryComments)
          .Prop("PaidFlag", &C::PaidFlag)
          .Prop("InvoicedFlag", &C::InvoicedFlag)
          .Prop("ProcessFlag", &C::ProcessFlag)
          .Prop("CancelFlag", &C::CancelFlag)
          .Prop("AllowCancelFlag", &C::AllowCancelFlag)
          .Prop("LastUpdate", &C::LastUpdate)
          .Prop("DocFlag", &C::DocFlag)
          .Prop("manualDocIdentity", &C::manualDocIdentity)
          .Prop("OnlineFlag", &C::OnlineFlag)
          .Prop("SyncFlag", &C::SyncFlag)
          .Prop("LocationID", &C::LocationID)
          .Prop("LocationName", &C::LocationName)
          .Prop("StockMovementPrefix", &C::StockMovementPrefix)
          .Prop("SalesLogPrefix", &C::SalesLogPrefix)
          .Prop("SellingQty", &C::SellingQty)
          .Prop("YearEndFlag", &C::YearEndFlag)
          .Method("Validation", &C::Validation)
          .Method("Create_Direct_Delivery", &C::Create_Direct_Delivery)
          .Method("Create_Direct_Delivery_Master", &C::Create_Direct_Delivery_Master)
          .Method("Update_Direct_Delivery", &C::Update_Direct_Delivery)
          .Method("Get_Direct_Delivery", &C::Get_Direct_Delivery)
          .Method("Process_Direct_Delivery", &C::Process_Direct_Delivery)
          .Build();
  return table;
}

}  // namespace qlnsales
