#include "qlnsales/delivery.h"

#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "frame/numbering.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {
const char* kMaster = "Delivery_Master";
const char* kDetail = "Delivery_Detail";

// The two sources a delivery is made from, column by column.
struct SourceColumns {
  const char* master;
  const char* detail;
  const char* number;
  const char* date;
  const char* ordered;
  const char* delivered;
  const char* unit_price;
  const char* disc;
  const char* fc_disc;
  const char* amount;
  const char* fc_amount;
  const char* fc_unit_price;
  const char* invalid_number;
};

const SourceColumns kOrder{
    "Sales_Order_Master",    "Sales_Order_Detail",       "Sales_Ord_No",
    "Sales_Ord_Date",        "Sales_Ord_Ordered_Qty",    "Sales_Ord_Delivered_Qty",
    "Sales_Ord_Unit_Price",  "Sales_Ord_Disc_Amount",    "Sales_Ord_FC_Disc_Amount",
    "Sales_Ord_Item_Amount", "Sales_Ord_FC_Item_Amount", "Sales_Ord_FC_Unit_Price",
    "Invalid Sales Order No"};
const SourceColumns kCashMemo{"Cash_Memo_Master",
                              "Cash_Memo_Detail",
                              "Cash_Memo_No",
                              "Cash_Memo_Date",
                              "Cash_Memo_Qty",
                              "Cash_Memo_Delivered_Qty",
                              "Cash_Memo_Unit_Price",
                              "Cash_Memo_Disc_Amount",
                              "Cash_Memo_FC_Disc_Amount",
                              "Cash_Memo_Item_Amount",
                              "Cash_Memo_FC_Item_Amount",
                              "Cash_Memo_FC_Unit_Price",
                              "Invalid Cash Memo No"};

}  // namespace

Delivery::Delivery() : AdoDBConnectionObject(std::make_shared<Connection>()) {}

bool Delivery::Get_Order_Details() {
  if (Trim(SourceNo).empty()) return Fail("Invalid Sales Order NO");
  return Trap([&] { return FillFromSource(true); });
}

bool Delivery::Get_CashMemo_Details() {
  if (Trim(SourceNo).empty()) return Fail("Invalid Cash Memo No");
  return Trap([&] { return FillFromSource(false); });
}

bool Delivery::FillFromSource(bool order) {
  const SourceColumns& s = order ? kOrder : kCashMemo;
  auto conn = connection_rule::StringOnly(ADOConnectionString);
  auto masters = conn->Query(
      std::string("SELECT * FROM ") + s.master + " WHERE " + s.number + " = ?", {SourceNo});
  if (masters.empty()) return Fail(s.invalid_number);
  Row m = masters.front();
  SourceDate = m.Required(s.date).ToDate();
  SourcePrefix = m.Text("Document_Prefix");
  auto text_if = [&m](const char* column, std::string& property) {
    if (!m.IsNull(column)) property = m.Text(column);
  };
  text_if("Customer_Code", CustomerCode);
  text_if("Customer_Name", CustomerName);
  text_if("Payment_Terms", PaymentTerms);
  text_if("Payment_Type", PaymentType);
  if (order) {
    text_if("Employee_ID", EmployeeID);
    text_if("Employee_Name", EmployeeName);
  }
  ForeignCurrencyFlag = m.Flag("Foreign_Currency_Flag");
  if (!order && ForeignCurrencyFlag) ExchangeRate = m.Double("Exchange_Rate");
  CurrencyCode = m.Text("Currency_Code");
  CurrencySymbol = Trim(m.Text("Currency_Symbol"));

  auto lines = conn->Query(std::string("SELECT * FROM ") + s.detail + " WHERE " + s.number +
                               " = ? AND " + s.delivered + " < " + s.ordered + " ORDER BY SL_No",
                           {SourceNo});
  if (lines.empty()) return Fail("Invalid Item Details");
  Grid& grid = RequireGrid(DeliveryGridName, "DeliveryGridName");
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(lines.size()); ++i) {
    Row l = lines[static_cast<std::size_t>(i - 1)];
    EnsureRow(grid, i);  // a grid with too few rows grows
    auto number = [&l](const char* column) { return GridNumber(NumberOf(l[column])); };
    const std::string outstanding = GridNumber(l.Double(s.ordered) - l.Double(s.delivered));
    grid.SetTextMatrix(i, 1, "0");
    grid.SetTextMatrix(i, 2, convert::Mid(l.Text("Item_Code"), 3));
    grid.SetTextMatrix(i, 3, l.Text("Item_Name"));
    grid.SetTextMatrix(i, 4, number("Unit_Code"));
    grid.SetTextMatrix(i, 5, l.Text("Unit_Name"));
    grid.SetTextMatrix(i, 6, number("Unit_Qty"));
    grid.SetTextMatrix(i, 7, outstanding);
    if (!l.IsNull("Proj_No")) grid.SetTextMatrix(i, 8, l.Text("Proj_No"));
    grid.SetTextMatrix(i, 9, l.Text("SL_No"));
    grid.SetTextMatrix(i, 10, number(s.unit_price));
    grid.SetTextMatrix(i, 11, number(s.disc));
    grid.SetTextMatrix(i, 12, number(s.fc_disc));
    grid.SetTextMatrix(i, 13, number(s.amount));
    grid.SetTextMatrix(i, 14, number(s.fc_amount));
    grid.SetTextMatrix(i, 15, number(s.fc_unit_price));
    grid.SetTextMatrix(i, 16, outstanding);
    grid.SetTextMatrix(i, 22, l.Double("FOC_Flag") != 0 ? "1" : "0");
  }
  return true;
}

bool Delivery::Validation() {
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection not opened");
  if (Trim(SourceNo).empty()) return Fail("Invalid Sales Order or Cash Memo No");
  if (Trim(SourcePrefix).empty()) return Fail("Invalid Sales Order or Cash Memo Prefix");
  return true;
}

bool Delivery::Create_Delivery(std::optional<bool> Save_Detail_Flag) {
  if (!Validation()) return false;
  const bool with_lines = Save_Detail_Flag.value_or(false);
  return Trap([&] {
    if (with_lines) RequireGrid(DeliveryGridName, "DeliveryGridName");
    CounterNumbering number(CounterNumbering::kTemporary);
    if (auto err =
            number.Draw(AdoDBConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}))
      return Fail(*err);
    DeliveryIdentity = number.identity();
    DeliveryNo = number.number();
    if (!Create_Delivery_Master()) return false;
    if (with_lines && !Save_Delivery_Details()) return false;
    if (auto err = number.Confirm()) return Fail(*err);
    return true;
  });
}

bool Delivery::Create_Delivery_Master() {
  return Trap([&] {
    Connection& conn = *connection_rule::ObjectOnly(AdoDBConnectionObject);
    if (auto symbol = CurrencySymbolOf(conn, CurrencyCode)) CurrencySymbol = *symbol;
    // A delivery saved again loses its lines first; a new one has none to lose.
    conn.ExecuteDeferred("DELETE FROM Delivery_Detail WHERE Delivery_No = ?", {DeliveryNo});
    Record row;
    row.Set("Delivery_No", DeliveryNo).Set("Delivery_Identity", DeliveryIdentity);
    // Texts marked "if set" keep their stored value when the property is empty.
    auto if_set = [&row](const char* column, const std::string& text) {
      if (!text.empty()) row.Set(column, text);
    };
    row.Set("Company_Prefix", CompanyPrefix)
        .Set("Branch_Prefix", BranchPrefix)
        .Set("Document_Prefix", DocumentPrefix);
    if_set("Customer_Code", CustomerCode);
    if_set("Customer_Name", CustomerName);
    if_set("Payment_Terms", PaymentTerms);
    if_set("Payment_Type", PaymentType);
    row.Set("Foreign_Currency_Flag", ForeignCurrencyFlag);
    if_set("Currency_Code", CurrencyCode);
    if_set("Currency_Symbol", CurrencySymbol);
    const bool employee = !EmployeeID.empty();
    row.Set("Delivery_Date", DeliveryDate)
        .Set("Delivery_End_Date", DeliveryEndDate)
        .Set("Source_No", SourceNo)
        .Set("Source_Date", SourceDate)
        .Set("Source_Prefix", SourcePrefix)
        .Set("Delivery_SubTotal", DeliverySubtotal)
        .Set("Delivery_FC_SubTotal", DeliveryFCSubtotal)
        .Set("Delivery_Disc_Amount", DeliveryDiscAmount)
        .Set("Delivery_FC_Disc_Amount", DeliveryFCDiscAmount)
        .Set("Delivery_Total_Amount", DeliveryTotalAmount)
        .Set("Delivery_FC_Total_Amount", DeliveryFCTotalAmount)
        .Set("Employee_ID", employee ? Value(EmployeeID) : Value())
        .Set("Employee_Name", employee ? Value(EmployeeName) : Value());
    if_set("source_Name", SourceName);
    row.Set("Paid_Flag", PaidFlag);
    if (convert::UCase(PaymentType) == "CASH" && !PaidFlag)
      row.Set("Balance_Amount", DeliveryTotalAmount).Set("Balance_FCAmount", DeliveryFCTotalAmount);
    row.Set("Delivery_Comments", Trim(DeliveryComments).empty() ? Value() : Value(DeliveryComments))
        .Set("Exchange_Rate", ForeignCurrencyFlag ? ExchangeRate : 1.0)
        .Set("Address_Code", CustomerAddressCode.empty() ? Value() : Value(CustomerAddressCode))
        .Set("Delivery_Ref_No", Trim(DeliveryRefNo).empty() ? std::string("  ") : DeliveryRefNo)
        .Set("Last_Update", Stamp(kMaster, LastUpdate));
    row.SaveDeferred(conn, kMaster, "Delivery_No", {"Delivery_Identity"});
    return true;
  });
}

bool Delivery::Save_Delivery_Details() {
  Grid& grid = RequireGrid(DeliveryGridName, "DeliveryGridName");
  Connection& conn = *connection_rule::ObjectOnly(AdoDBConnectionObject);
  std::vector<Record> lines;
  const Value stamp = Stamp(kDetail, LastUpdate);
  // A share of the overall discount over a subtotal of 0 is 0, never inf or NaN.
  auto share = [](double discount, double amount, double subtotal) {
    return subtotal == 0 ? 0.0 : discount * amount / subtotal;
  };
  for (std::int32_t r = 1; r < grid.Rows(); ++r) {
    const std::string code = Trim(grid.TextMatrix(r, 2));
    const std::string name = Trim(grid.TextMatrix(r, 3));
    if (code.empty() && name.empty()) break;
    if (!IsTicked(grid.TextMatrix(r, 1))) continue;
    auto [unit, period] = SplitUnit(grid.TextMatrix(r, 5));
    Record line;
    line.Set("Delivery_No", DeliveryNo)
        // A line without an item code stores none, rather than the bare company prefix.
        .Set("Item_Code", code.empty() ? Value() : Value(CompanyPrefix + code))
        .Set("Item_Name", name)
        .Set("Unit_Code", convert::Val(grid.TextMatrix(r, 4)))
        .Set("Unit_Name", unit)
        .Set("Period_Type", period ? Value(*period) : Value())
        .Set("FOC_Flag", grid.ValueMatrix(r, 22))
        .Set("Unit_Qty", convert::Val(grid.TextMatrix(r, 6)))
        .Set("Delivery_Qty", convert::Val(grid.TextMatrix(r, 7)))
        .Set("Proj_No", grid.TextMatrix(r, 8))
        .Set("Sales_Ord_Dtl_SL_No", convert::Val(grid.TextMatrix(r, 9)))
        .Set("Delivery_Dtl_Unit_Price", grid.ValueMatrix(r, 10))
        .Set("Delivery_Disc_Amount", grid.ValueMatrix(r, 11))
        .Set("Delivery_FC_Disc_Amount", grid.ValueMatrix(r, 12))
        .Set("Delivery_Item_Amount", grid.ValueMatrix(r, 13))
        .Set("Delivery_FC_Item_Amount", grid.ValueMatrix(r, 14))
        .Set("Delivery_Dtl_FC_Unit_Price", grid.ValueMatrix(r, 15))
        .Set("Sales_Ord_Balance_Qty", grid.ValueMatrix(r, 16));
    if (grid.ValueMatrix(r, 18) > 0)
      line.Set("Sales_Ord_Overall_Disc",
               share(DeliveryDiscAmount, grid.ValueMatrix(r, 13), DeliverySubtotal))
          .Set("Sales_Ord_Overall_FC_Disc",
               share(DeliveryFCDiscAmount, grid.ValueMatrix(r, 14), DeliveryFCSubtotal));
    line.Set("Location_Name", grid.TextMatrix(r, 20))
        .Set("Location_ID", grid.ValueMatrix(r, 21))
        .Set("Last_Update", stamp);
    lines.push_back(std::move(line));
  }
  InsertLines(conn, kDetail, lines);
  return true;
}

bool Delivery::Update_Delivery() {
  if (!Validation()) return false;
  // Without a number there is nothing to save under; nothing is written.
  if (Trim(DeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] {
    RequireGrid(DeliveryGridName, "DeliveryGridName");  // before the old lines are deleted
    return Create_Delivery_Master() && Save_Delivery_Details();
  });
}

bool Delivery::MarkSource(const char* table, const char* key, const std::string& message) {
  return Trap([&] {
    auto changed = Record()
                       .Set("Allow_Cancel_Flag", 0)
                       .Set("process_Flag", 1)
                       .Set("Last_Update", Stamp(table, LastUpdate))
                       .Update(*AdoDBConnectionObject, table, Record().Set(key, SourceNo));
    if (changed == 0) return Fail(message);
    return true;
  });
}

bool Delivery::Update_Sales_Order() {
  if (Trim(SourceNo).empty()) return Fail("Invalid Sales Order No");
  if (Trim(SourcePrefix).empty()) return Fail("Invalid Document Prefix");
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection is not open");
  return MarkSource("Sales_Order_Master", "Sales_Ord_No", "Invalid Sales Order No");
}

bool Delivery::Update_Cash_Memo() {
  if (Trim(SourceNo).empty()) return Fail("Invalid Cash Memo No");
  if (Trim(SourcePrefix).empty()) return Fail("Invalid Document Prefix");
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection is not open");
  return MarkSource("Cash_Memo_Master", "Cash_Memo_No", "Invalid Cash Memo No");
}

bool Delivery::Get_Delivery() {
  if (Trim(DeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] {
    auto conn = connection_rule::ObjectFirst(ADOConnectionString, AdoDBConnectionObject);
    auto rs = conn->Query("SELECT * FROM Delivery_Master WHERE Delivery_No = ?", {DeliveryNo});
    if (rs.empty()) return Fail("Invalid Delivery No");
    Row r = rs.front();
    auto text_if = [&r](const char* column, std::string& property) {
      if (!r.IsNull(column)) property = r.Text(column);
    };
    DeliveryNo = r.Text("Delivery_No");
    CompanyPrefix = r.Text("Company_Prefix");
    BranchPrefix = r.Text("Branch_Prefix");
    DocumentPrefix = r.Text("Document_Prefix");
    DeliveryIdentity = r.Required("Delivery_Identity").ToInt32();
    CustomerCode = r.Text("Customer_Code");
    CustomerName = r.Text("Customer_Name");
    ForeignCurrencyFlag = r.Flag("Foreign_Currency_Flag");
    CurrencyCode = r.Text("Currency_Code");
    CurrencySymbol = r.Text("Currency_Symbol");
    CancelFlag = r.Flag("Cancel_Flag");
    AllowCancelFlag = r.Flag("Allow_Cancel_Flag");
    text_if("Employee_ID", EmployeeID);
    text_if("Employee_Name", EmployeeName);
    ProcessFlag = r.Flag("Processed_Flag");
    DeliveryDate = r.Required("Delivery_Date").ToDate();
    DeliveryEndDate = r.Required("Delivery_End_Date").ToDate();
    text_if("Payment_Terms", PaymentTerms);
    PaymentType = r.Text("Payment_Type");
    SourceNo = r.Text("Source_No");
    SourcePrefix = r.Text("Source_Prefix");
    SourceDate = r.Required("Source_Date").ToDate();
    DeliverySubtotal = r.Required("Delivery_SubTotal").ToDouble();
    DeliveryFCSubtotal = r.Required("Delivery_FC_SubTotal").ToDouble();
    DeliveryDiscAmount = r.Required("Delivery_Disc_Amount").ToDouble();
    DeliveryFCDiscAmount = r.Required("Delivery_FC_Disc_Amount").ToDouble();
    DeliveryTotalAmount = r.Required("Delivery_Total_Amount").ToDouble();
    DeliveryFCTotalAmount = r.Required("Delivery_FC_Total_Amount").ToDouble();
    PaidFlag = r.Flag("Paid_Flag");
    InvoicedFlag = r.Flag("Invoiced_Flag");
    text_if("Delivery_Comments", DeliveryComments);
    text_if("source_Name", SourceName);
    text_if("Address_Code", CustomerAddressCode);
    text_if("Delivery_Ref_No", DeliveryRefNo);
    return true;
  });
}

const DispatchTable& Delivery::Dispatch() const {
  using C = Delivery;
  static const DispatchTable table =
      DispatchBuilder<C>("QLNSales.Delivery")
          .Prop("ADOConnectionString", &C::ADOConnectionString)
          .Prop("AdoDBConnectionObject", &C::AdoDBConnectionObject)
          .Prop("Database", &C::Database)
          .Prop("DeliveryGridName", &C::DeliveryGridName)
          .ReadOnly("ErrDesc", &C::ErrDesc)
          .Prop("CompanyPrefix", &C::CompanyPrefix)
          .Prop("BranchPrefix", &C::BranchPrefix)
          .Prop("DocumentPrefix", &C::DocumentPrefix)
          .Prop("DeliveryNo", &C::DeliveryNo)
          .Prop("DeliveryIdentity", &C::DeliveryIdentity)
          .Prop("DeliveryDate", &C::DeliveryDate)
          .Prop("DeliveryEndDate", &C::DeliveryEndDate)
          .Prop("CustomerCode", &C::CustomerCode)
          .Prop("CustomerName", &C::CustomerName)
          .Prop("CustomerAddressCode", &C::CustomerAddressCode)
          .Prop("DeliveryRefNo", &C::DeliveryRefNo)
          .Prop("PaymentTerms", &C::PaymentTerms)
          .Prop("PaymentType", &C::PaymentType)
          .Prop("ForeignCurrencyFlag", &C::ForeignCurrencyFlag)
          .Prop("CurrencyCode", &C::CurrencyCode)
          .Prop("CurrencySymbol", &C::CurrencySymbol)
          .Prop("ExchangeRate", &C::ExchangeRate)
          .Prop("DeliverySubtotal", &C::DeliverySubtotal)
          .Prop("DeliveryFCSubtotal", &C::DeliveryFCSubtotal)
          .Prop("DeliveryDiscAmount", &C::DeliveryDiscAmount)
          .Prop("DeliveryFCDiscAmount", &C::DeliveryFCDiscAmount)
          .Prop("DeliveryTotalAmount", &C::DeliveryTotalAmount)
          .Prop("DeliveryFCTotalAmount", &C::DeliveryFCTotalAmount)
          .Prop("SourceNo", &C::SourceNo)
          .Prop("SourceDate", &C::SourceDate)
          .Prop("SourcePrefix", &C::SourcePrefix)
          .Prop("SourceName", &C::SourceName)
          .Prop("EmployeeID", &C::EmployeeID)
          .Prop("EmployeeName", &C::EmployeeName)
          .Prop("DeliveryComments", &C::DeliveryComments)
          .Prop("PaidFlag", &C::PaidFlag)
          .Prop("InvoicedFlag", &C::InvoicedFlag)
          .Prop("ProcessFlag", &C::ProcessFlag)
          .Prop("CancelFlag", &C::CancelFlag)
          .Prop("AllowCancelFlag", &C::AllowCancelFlag)
          .Prop("YearEndFlag", &C::YearEndFlag)
          .Prop("LocationID", &C::LocationID)
          .Prop("LocationName", &C::LocationName)
          .Prop("StockMovementPrefix", &C::StockMovementPrefix)
          .Prop("SalesLogPrefix", &C::SalesLogPrefix)
          .Prop("DocManualFlag", &C::DocManualFlag)
          .Prop("ManualDeliveryIdentity", &C::ManualDeliveryIdentity)
          .Prop("OnlineFlag", &C::OnlineFlag)
          .Prop("SyncFlag", &C::SyncFlag)
          .Prop("AmtDig", &C::AmtDig)
          .Prop("LastUpdate", &C::LastUpdate)
          .Method("Get_Order_Details", &C::Get_Order_Details)
          .Method("Get_CashMemo_Details", &C::Get_CashMemo_Details)
          .Method("Validation", &C::Validation)
          .Method("Create_Delivery", &C::Create_Delivery)
          .Method("Create_Delivery_Master", &C::Create_Delivery_Master)
          .Method("Update_Delivery", &C::Update_Delivery)
          .Method("Update_Sales_Order", &C::Update_Sales_Order)
          .Method("Update_Cash_Memo", &C::Update_Cash_Memo)
          .Method("Get_Delivery", &C::Get_Delivery)
          .Method("Process_Delivery", &C::Process_Delivery)
          .Build();
  return table;
}

}  // namespace qlnsales
