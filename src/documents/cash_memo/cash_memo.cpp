#include "qlnsales/cash_memo.h"

#include "base/convert.h"
#include "documents/cash_memo/payment.h"
#include "documents/layouts.h"
#include "frame/modules.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = CashMemo;

bool PointOfSale(const C& c) {
  return IsPointOfSale(c.ReferencePrefix);
}

// The delivered quantity of a line is its quantity, unless the grid says otherwise: at the point
// of sale any quantity but 0 (goods coming back are negative), elsewhere only a positive one.
Value DeliveredQty(const C& c, Grid& grid, std::int32_t row) {
  const double delivered = convert::Val(grid.TextMatrix(row, 15));
  const bool given = PointOfSale(c) ? delivered != 0 : delivered > 0;
  return given ? delivered : convert::Val(grid.TextMatrix(row, 7));
}

Layout<C> MakeLayout() {
  const auto K = CellKind::kNumber;
  Layout<C> l{
      .class_name = "QLNSales.CashMemo",
      .master = "Cash_Memo_Master",
      .detail = "Cash_Memo_Detail",
      .number_column = "Cash_Memo_No",
      .identity_column = "Cash_Memo_Identity",
      .number = &C::CashMemoNo,
      .identity = &C::CashMemoIdentity,
      .connection = &C::AdoDBConnectionObject,
      .grid = &C::CMGridName,
      .grid_property = "CMGridName",
      .currency_code = &C::CurrencyCode,
      .currency_symbol = &C::CurrencySymbol,
      .company_prefix = &C::CompanyPrefix,
      .branch_prefix = &C::BranchPrefix,
      .document_prefix = &C::DocumentPrefix,
      .last_update = &C::LastUpdate,
      .bad_company = "Invalid Comapny Prefix",
      .bad_branch = "Invalid Branch Prefix",
      .bad_document = "Invalid Document Prefix",
      .header = {},
      .cells = {{1, "Item_Code", CellKind::kItemCode, true},
                {2, "Item_Name", CellKind::kTrimmed, true},
                // A ticked box reads 1 or -1 (True); a memo read back shows "True" or "False".
                {3, "TaxType", CellKind::kText, false,
                 [](const C&, Grid& g, std::int32_t r) {
                   const double v = g.ValueMatrix(r, 3);
                   return Value(v == 1 || v == -1 ? "Taxable" : "Exempted");
                 },
                 [](const C&, const Row& line) -> std::optional<std::string> {
                   return line.Text("TaxType") == "Exempted" ? "False" : "True";
                 }},
                {4, "Unit_Code", K, true},
                {5, "Unit_Name", CellKind::kText, true},
                {6, "Unit_Qty", K},
                {7, "Cash_Memo_Qty", K},
                {8, "Cash_Memo_FC_Unit_Price", K},
                {9, "Cash_Memo_Dtl_Disc_Percent", K},
                {10, "Cash_Memo_FC_Disc_Amount", K},
                {11, "Cash_Memo_FC_Item_Amount", K},
                {12, "Cash_Memo_Item_Amount", K},
                {13, "Cash_Memo_Disc_Amount", K},
                {14, "Cash_Memo_Unit_Price", K},
                {15, "Cash_Memo_Delivered_Qty", K, false, DeliveredQty},
                {16, "Reference_SL_No", K, true},
                {18, "Proj_No", CellKind::kText, true},
                {19, "FOC_Flag", CellKind::kFlag},
                {20,
                 "Location_Name",
                 CellKind::kTrimmed,
                 false,
                 {},
                 [](const C&, const Row& line) -> std::optional<std::string> {
                   return Trim(line.Text("Location_Name"));
                 }},
                {21, "Location_ID", K}},
      .walk = Walk::kUntilBlank,
      .discount = {.rule = OverallDiscount<C>::Rule::kPercent,
                   .percent = &C::CashMemoDiscPercent,
                   .amount = &C::CashMemoDiscAmount,
                   .fc_amount = &C::CashMemoFcDiscAmount,
                   .digits = &C::AmtDig,
                   .amount_col = 12,
                   .fc_amount_col = 11,
                   .column = "Cash_Memo_OverAll_Disc_Amount",
                   .fc_column = "Cash_Memo_OverAll_FC_Disc_Amount"},
      .not_found = "Invlaid Cash Memo No",
  };
  const auto W = Write::kAlways, New = Write::kNewOnly, Blank = Write::kNullWhenBlank,
             Never = Write::kNever;
  // A null column leaves its property as it was; flags read as False.
  const auto Keep = Read::kKeepOnNull, P = Read::kPlain, NoRead = Read::kNever;
  auto is = [](Payment p) { return [p](const C& c) { return PaymentOf(c.PaymentType) == p; }; };
  auto cash = is(Payment::kCash), cheque = is(Payment::kCheque);
  // Card and cheque details are stored only when given.
  auto given = [](Payment p, std::string C::*text) {
    return
        [p, text](const C& c) { return PaymentOf(c.PaymentType) == p && !Trim(c.*text).empty(); };
  };
  auto zero = [](const C&) { return Value(0.0); };
  l.header = {
      {"ADOConnectionString", &C::ADOConnectionString},
      {"AdoDBConnectionObject", &C::AdoDBConnectionObject},
      {"Database", &C::Database},
      {"CMGridName", &C::CMGridName},
      {"CashMemoNo", &C::CashMemoNo, "Cash_Memo_No", New, Keep},
      {"CashMemoIdentity", &C::CashMemoIdentity, "Cash_Memo_Identity", New, Keep},
      {"CompanyPrefix", &C::CompanyPrefix, "Company_Prefix", W, Keep},
      {"BranchPrefix", &C::BranchPrefix, "Branch_Prefix", W, Keep},
      {"DocumentPrefix", &C::DocumentPrefix, "Document_Prefix", W, Keep},
      {"CustomerCode", &C::CustomerCode, "Customer_Code", W, Keep},
      {"CustomerName", &C::CustomerName, "Customer_Name", W, Keep},
      {"CashMemoDate", &C::CashMemoDate, "Cash_Memo_Date", W, Keep},
      {"CashMemoEndDate", &C::CashMemoEndDate, "Cash_Memo_End_Date", W, Keep},
      {"ForeignCurrencyFlag", &C::ForeignCurrencyFlag, "Foreign_Currency_Flag", W, P},
      {"CurrencyCode", &C::CurrencyCode, "Currency_Code", W, Keep},
      {"CurrencySymbol", &C::CurrencySymbol, "Currency_Symbol", W, Keep},
      {"CashMemoSubTotal", &C::CashMemoSubTotal, "Cash_Memo_SubTotal", W, Keep},
      {"CashMemoFCSubTotal", &C::CashMemoFCSubTotal, "Cash_Memo_FC_Sub_Total", W, Keep},
      {"CashMemoDiscPercent", &C::CashMemoDiscPercent, "cash_memo_Disc_Percent", W, Keep},
      {"CashMemoDiscAmount", &C::CashMemoDiscAmount, "Cash_Memo_Disc_Amount", W, Keep},
      {"CashMemoFcDiscAmount", &C::CashMemoFcDiscAmount, "Cash_Memo_FC_Disc_Amount", W, Keep},
      {"CashMemoTotalAmount", &C::CashMemoTotalAmount, "Cash_Memo_Total_Amount", W, Keep},
      {"CashMemoFCTotalAmount", &C::CashMemoFCTotalAmount, "Cash_Memo_FC_Total_Amount", W, Keep},
      // A cheque is collected later: its total stays outstanding. Cash is settled at once; a card
      // memo leaves these columns alone.
      {nullptr, &C::CashMemoTotalAmount, "Balance_Amount", W, NoRead, nullptr, cheque},
      {nullptr, &C::CashMemoFCTotalAmount, "Balance_FCAmount", W, NoRead, nullptr, cheque},
      {nullptr, &C::CashMemoTotalAmount, "Adjusted_Amount", W, NoRead, zero, cheque},
      {nullptr, &C::CashMemoFCTotalAmount, "Adjusted_FCAmount", W, NoRead, zero, cheque},
      {nullptr, &C::CashMemoTotalAmount, "Balance_Amount", W, NoRead, zero, cash},
      {nullptr, &C::CashMemoFCTotalAmount, "Balance_FCAmount", W, NoRead, zero, cash},
      {"EmployeeID", &C::EmployeeID, "Employee_ID", W, Keep,
       NullUnless(&C::EmployeeID, &C::EmployeeID, true)},
      {"EmployeeName", &C::EmployeeName, "Employee_Name", W, Keep,
       NullUnless(&C::EmployeeID, &C::EmployeeName, true)},
      {"PaymentType", &C::PaymentType, "Payment_Type", W, Keep},
      {"PaymentTerms", &C::PaymentTerms, "Payment_Terms", Never, Keep},
      {"CashMemoComments", &C::CashMemoComments, "Cash_Memo_Comments", W, Keep},
      {"ReferenceNo", &C::ReferenceNo, "Reference_No", Blank, Keep},
      {"ReferencePrefix", &C::ReferencePrefix, "Reference_Document_Prefix", Blank, Keep},
      {"ReferenceDocumentName", &C::ReferenceDocumentName, "Reference_Document_Name", W, Keep,
       nullptr, [](const C& c) { return !Trim(c.ReferenceDocumentName).empty(); }},
      // The payment details are read back by the payment type, after the rest.
      {"CreditCardCode", &C::CreditCardCode, "CreditCard_Code", W, NoRead, nullptr,
       given(Payment::kCreditCard, &C::CreditCardCode)},
      {"CreditCardName", &C::CreditCardName, "CreditCard_Name", W, NoRead, nullptr,
       given(Payment::kCreditCard, &C::CreditCardName)},
      {"CreditCardNo", &C::CreditCardNo, "CreditCard_No", W, NoRead, nullptr,
       given(Payment::kCreditCard, &C::CreditCardNo)},
      {"ChequeNo", &C::ChequeNo, "Cheque_No", W, NoRead, nullptr,
       given(Payment::kCheque, &C::ChequeNo)},
      {"ChequeBank", &C::ChequeBank, "Cheque_Bank", W, NoRead, nullptr,
       given(Payment::kCheque, &C::ChequeBank)},
      {"ChequeDate", &C::ChequeDate, "Cheque_Date", W, NoRead, nullptr, cheque},
      {"LocationCode", &C::LocationCode, "Location_ID", W, Keep, nullptr,
       [](const C& c) { return c.LocationCode != 0; }},
      {"LocationName", &C::LocationName, "Location_Name", W, Keep, nullptr,
       [](const C& c) { return c.LocationCode != 0; }},
      {"ExchangeRate", &C::ExchangeRate, "Exchange_Rate", W, Keep},
      // An off-line point-of-sale memo is stored as processed already.
      {"ProcessFlag", &C::ProcessFlag, "process_Flag", W, P, [](const C&) { return Value(1); },
       [](const C& c) { return PointOfSale(c) && !c.OnlineFlag; }},
      {"Status", &C::Status, "Status", Never, Keep},
      {"CancelFlag", &C::CancelFlag, "Cancel_Flag", Never, P},
      {"AllowCancelFlag", &C::AllowCancelFlag, "Allow_Cancel_Flag", Never, P},
      {"LastUpdate", &C::LastUpdate, "Last_Update", Write::kStamp, NoRead},
      {"TaxCode", &C::TaxCode, "TaxCode", W, Keep},
      {"TaxDescription", &C::TaxDescription, "TaxDescription", W, Keep},
      {"CashMemoTaxPercent", &C::CashMemoTaxPercent, "Cash_Memo_TaxRate", W, Keep},
      {"CashMemoTaxAmount", &C::CashMemoTaxAmount, "Cash_Memo_TaxAmount", W, Keep},
      {"OnlineFlag", &C::OnlineFlag},
      {"SyncFlag", &C::SyncFlag},
      {"YearEndFlag", &C::YearEndFlag},
      {"DocFlag", &C::DocFlag},
      {"manualDocIdentity", &C::manualDocIdentity},
      {"StockMovementPrefix", &C::StockMovementPrefix},
      {"SalesLogPrefix", &C::SalesLogPrefix},
      {"AmtDig", &C::AmtDig},
  };
  l.after_read = [](C& c, const Row& r) {
    auto text_if = [&r](const char* column, std::string& property) {
      if (!r.IsNull(column)) property = r.Text(column);
    };
    switch (PaymentOf(c.PaymentType)) {
      case Payment::kCreditCard:
        text_if("CreditCard_Code", c.CreditCardCode);
        text_if("CreditCard_Name", c.CreditCardName);
        text_if("CreditCard_No", c.CreditCardNo);
        break;
      case Payment::kCheque:
        text_if("Cheque_No", c.ChequeNo);
        text_if("Cheque_Bank", c.ChequeBank);
        if (!r.IsNull("Cheque_Date")) c.ChequeDate = r["Cheque_Date"].ToDate();
        break;
      default:
        break;
    }
  };
  return l;
}

// The three documents a memo is made from, column by column.
struct Source {
  const char* name;  // as ReferenceDocumentName gives it
  const char* master;
  const char* detail;
  const char* number;
  const char* invalid_number;
  const char* header_percent;  // none: not read
  const char* subtotal;
  const char* fc_subtotal;
  const char* disc;
  const char* fc_disc;
  const char* fc_total;
  const char* total;
  const char* qty;
  const char* fc_unit_price;
  const char* line_percent;  // none: not written
  const char* line_fc_disc;
  const char* line_fc_amount;
  const char* line_amount;
  const char* line_disc;
  const char* unit_price;
};

const Source kOrder{"Sales Order",
                    "Sales_Order_Master",
                    "Sales_Order_Detail",
                    "Sales_Ord_No",
                    "Invalid Sales Order No",
                    "Sales_Ord_Disc_Percent",
                    "Sales_Ord_SubTotal",
                    "Sales_Ord_FC_SubTotal",
                    "Sales_Ord_Disc_Amount",
                    "Sales_Ord_FC_Disc_Amount",
                    "Sales_Ord_FC_Total_Amount",
                    "Sales_Ord_Total_Amount",
                    "Sales_Ord_Ordered_Qty",
                    "Sales_Ord_FC_Unit_Price",
                    "Sales_Ord_Dtl_Disc_Percent",
                    "Sales_Ord_FC_Disc_Amount",
                    "Sales_Ord_FC_Item_Amount",
                    "Sales_Ord_Item_Amount",
                    "Sales_Ord_Disc_Amount",
                    "Sales_Ord_Unit_Price"};
const Source kDelivery{"Delivery",
                       "Delivery_Master",
                       "Delivery_Detail",
                       "Delivery_No",
                       "Invalid Delivery No",
                       nullptr,
                       "Delivery_SubTotal",
                       "Delivery_FC_SubTotal",
                       "Delivery_Disc_Amount",
                       "Delivery_FC_Disc_Amount",
                       "Delivery_FC_Total_Amount",
                       "Delivery_Total_Amount",
                       "Delivery_Qty",
                       "Delivery_Dtl_FC_Unit_Price",
                       nullptr,
                       "Delivery_FC_Disc_Amount",
                       "Delivery_FC_Item_Amount",
                       "Delivery_Item_Amount",
                       "Delivery_Disc_Amount",
                       "Delivery_Dtl_Unit_Price"};
const Source kDirectDelivery{"Direct Delivery",
                             "Direct_Delivery_Master",
                             "Direct_Delivery_Detail",
                             "Direct_Delivery_No",
                             "Invalid Delivery No",
                             "Direct_Delivery_Disc_Percent",
                             "Direct_Delivery_SubTotal",
                             "Direct_Delivery_FC_SubTotal",
                             "Direct_Delivery_Disc_Amount",
                             "Direct_Delivery_FC_Disc_Amount",
                             "Direct_Delivery_FC_Total_Amount",
                             "Direct_Delivery_Total_Amount",
                             "Direct_Delivery_Qty",
                             "Direct_Delivery_Dtl_FC_Unit_Price",
                             "Direct_Delivery_Dtl_Disc_Percent",
                             "Direct_Delivery_FC_Disc_Amount",
                             "Direct_Delivery_FC_Item_Amount",
                             "Direct_Delivery_Item_Amount",
                             "Direct_Delivery_Disc_Amount",
                             "Direct_Delivery_Dtl_Unit_Price"};

// The header and every line of the source, the lines in the source layout (no taxable column).
bool FillFromSource(C& c, const Source& s) {
  auto conn = connection_rule::StringOnly(c.ADOConnectionString);
  auto masters = conn->Query(
      std::string("SELECT * FROM ") + s.master + " WHERE " + s.number + " = ?", {c.ReferenceNo});
  if (masters.empty()) throw Error(s.invalid_number);
  Row m = masters.front();
  auto text_if = [&m](const char* column, std::string& property) {
    if (!m.IsNull(column)) property = m.Text(column);
  };
  auto amount = [&m](const char* column, double& property) {
    if (!m.IsNull(column)) property = NumberOf(m[column]);
  };
  text_if("Document_Prefix", c.ReferencePrefix);
  c.ReferenceDocumentName = s.name;  // so that processing knows what the memo settles
  text_if("Customer_Code", c.CustomerCode);
  text_if("Customer_Name", c.CustomerName);
  text_if("Payment_Terms", c.PaymentTerms);
  text_if("Payment_Type", c.PaymentType);
  text_if("Employee_ID", c.EmployeeID);
  text_if("Employee_Name", c.EmployeeName);
  c.ForeignCurrencyFlag = m.Flag("Foreign_Currency_Flag");
  text_if("Currency_Code", c.CurrencyCode);
  if (!m.IsNull("Currency_Symbol")) c.CurrencySymbol = Trim(m.Text("Currency_Symbol"));
  amount(s.subtotal, c.CashMemoSubTotal);
  amount(s.fc_subtotal, c.CashMemoFCSubTotal);
  if (s.header_percent) amount(s.header_percent, c.CashMemoDiscPercent);
  amount(s.disc, c.CashMemoDiscAmount);
  amount(s.fc_disc, c.CashMemoFcDiscAmount);
  amount(s.fc_total, c.CashMemoFCTotalAmount);
  amount(s.total, c.CashMemoTotalAmount);
  amount("Exchange_Rate", c.ExchangeRate);

  auto lines = conn->Query(
      std::string("SELECT * FROM ") + s.detail + " WHERE " + s.number + " = ? ORDER BY SL_No",
      {c.ReferenceNo});
  if (lines.empty()) throw Error("Invalid Item Details");
  Grid& grid = RequireGrid(c.CMGridName, "CMGridName");
  RequireColumns(grid, 19);
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(lines.size()); ++i) {
    Row l = lines[static_cast<std::size_t>(i - 1)];
    EnsureRow(grid, i);
    auto number = [&l](const char* column) { return GridNumber(NumberOf(l[column])); };
    grid.SetTextMatrix(i, 1, convert::Mid(l.Text("Item_Code"), 3));
    grid.SetTextMatrix(i, 2, l.Text("Item_Name"));
    grid.SetTextMatrix(i, 3, number("Unit_Code"));
    grid.SetTextMatrix(i, 4, JoinUnit(l.Text("Unit_Name"), l.Text("Period_Type")));
    grid.SetTextMatrix(i, 5, number("Unit_Qty"));
    grid.SetTextMatrix(i, 6, number(s.qty));
    grid.SetTextMatrix(i, 7, number(s.fc_unit_price));
    if (s.line_percent) grid.SetTextMatrix(i, 8, number(s.line_percent));
    grid.SetTextMatrix(i, 9, number(s.line_fc_disc));
    grid.SetTextMatrix(i, 10, number(s.line_fc_amount));
    grid.SetTextMatrix(i, 11, number(s.line_amount));
    grid.SetTextMatrix(i, 12, number(s.line_disc));
    grid.SetTextMatrix(i, 13, number(s.unit_price));
    grid.SetTextMatrix(i, 14, number(s.qty));
    grid.SetTextMatrix(i, 15, l.Text("SL_No"));
    if (!l.IsNull("Proj_No")) {
      grid.SetTextMatrix(i, 16, convert::Mid(l.Text("Proj_No"), 8));
      grid.SetTextMatrix(i, 17, l.Text("Proj_No"));
    }
    grid.SetTextMatrix(i, 18, NumberOf(l["FOC_Flag"]) != 0 ? "1" : "0");
  }
  return true;
}

// The location cells of items that hold no stock are greyed, as the item module says.
void ShadeLocations(const C& c, Grid& grid, std::int32_t rows) {
  constexpr std::int32_t kGreyText = static_cast<std::int32_t>(0x80000011);
  for (std::int32_t i = 1; i <= rows; ++i) {
    auto item = NewModule("QLNInventory.Inventory",
                          {{"ADOConnectionString", Value(c.ADOConnectionString)},
                           {"AdoConnectionObject", Value(c.AdoDBConnectionObject)},
                           {"ItemCode", Value(c.CompanyPrefix + Trim(grid.TextMatrix(i, 1)))}});
    if (Call(item, "Get_Item_Type")) continue;
    const bool stock = Trim(item->Get("ItemType").ToText()) == "0";
    grid.Cell(Grid::kCellForeColor, i, 20, i, 20, Value(stock ? 0 : kGreyText));
  }
}

const char* ValidationFault(const C& c) {
  if (c.CompanyPrefix.empty()) return "Invalid Comapny Prefix";
  if (c.BranchPrefix.empty()) return "Invalid Branch Prefix";
  if (c.DocumentPrefix.empty()) return "Invalid Document Prefix";
  if (Trim(c.CustomerName).empty() || Trim(c.CustomerCode).empty())
    return "Invalid Customer Details";
  if (Trim(c.PaymentType).empty()) return "Invalid Payment Type";
  const Payment p = PaymentOf(c.PaymentType);
  if (p == Payment::kCreditCard && (Trim(c.CreditCardCode).empty() ||
                                    Trim(c.CreditCardName).empty() || Trim(c.CreditCardNo).empty()))
    return "Invalid Credit Card Details";
  if (p == Payment::kCheque && (Trim(c.ChequeNo).empty() || Trim(c.ChequeBank).empty()))
    return "Invalid Cheque Details";
  return nullptr;
}

// The grid's lines; a memo without any is refused, and nothing is written.
void RequireLines(const C& c) {
  const auto& l = CashMemoLayout();
  Grid& grid = RequireLinesGrid(c, l);
  if (RowsToSave(grid, l.walk, l.code_col, l.name_col, l.tick_col).empty())
    throw Error("Invalid Item Details");
}

}  // namespace

const Layout<CashMemo>& documents::CashMemoLayout() {
  static const Layout<CashMemo> layout = MakeLayout();
  return layout;
}

CashMemo::CashMemo() : AdoDBConnectionObject(std::make_shared<Connection>()) {}

bool CashMemo::Validation() {
  if (auto fault = ValidationFault(*this)) return Fail(fault);
  return true;
}

bool CashMemo::Create_CashMemo(std::optional<bool> Save_Detail_Flag) {
  if (!Validation()) return false;
  const bool with_lines = Save_Detail_Flag.value_or(false);
  return Trap([&] {
    CheckSeries(*this, CashMemoLayout());  // the prefixes' texts before the grid's
    if (with_lines) RequireLines(*this);
    return CreateDocument(*this, CashMemoLayout(), {CompanyPrefix, BranchPrefix, DocumentPrefix},
                          with_lines);
  });
}

bool CashMemo::Update_CashMemo() {
  if (!Validation()) return false;
  // Without a number there is nothing to save under; nothing is written.
  if (Trim(CashMemoNo).empty()) return Fail("Invalid Cash Memo No.");
  // A processed memo stands in the books as posted; saving it again would part it from them.
  if (IsFinalNumber(Trim(CashMemoNo))) return Fail("Already Processed");
  return Trap([&] {
    RequireLines(*this);
    return UpdateDocument(*this, CashMemoLayout());
  });
}

bool CashMemo::Get_CashMemo() {
  if (CashMemoNo.empty()) return Fail("Invalid Cash Memo No.");
  return Trap([&] {
    auto conn = connection_rule::ObjectFirst(ADOConnectionString, AdoDBConnectionObject);
    ReadMaster(*this, CashMemoLayout(), *conn);
    if (!header_only_) ShadeLocations(*this, *CMGridName, FillGrid(*this, CashMemoLayout(), *conn));
    return true;
  });
}

bool CashMemo::Get_Order_Details() {
  if (Trim(ReferenceNo).empty()) return Fail(kOrder.invalid_number);
  return Trap([&] { return FillFromSource(*this, kOrder); });
}

bool CashMemo::Get_Delivery_Details() {
  if (Trim(ReferenceNo).empty()) return Fail(kDelivery.invalid_number);
  return Trap([&] { return FillFromSource(*this, kDelivery); });
}

bool CashMemo::Get_Direct_Delivery_Details() {
  if (Trim(ReferenceNo).empty()) return Fail(kDirectDelivery.invalid_number);
  return Trap([&] { return FillFromSource(*this, kDirectDelivery); });
}

const DispatchTable& CashMemo::Dispatch() const {
  static const DispatchTable table = BuildDispatch(CashMemoLayout(), [](DispatchBuilder<C>& b) {
    b.Method("Validation", &C::Validation)
        .Method("Create_CashMemo", &C::Create_CashMemo)
        .Method("Update_CashMemo", &C::Update_CashMemo)
        .Method("Get_CashMemo", &C::Get_CashMemo)
        .Method("Get_Order_Details", &C::Get_Order_Details)
        .Method("Get_Delivery_Details", &C::Get_Delivery_Details)
        .Method("Get_Direct_Delivery_Details", &C::Get_Direct_Delivery_Details)
        .Method("Process", &C::Process)
        .Method("Cheque_Process", &C::Cheque_Process)
        .Method("Update_Source_Document", &C::Update_Source_Document);
  });
  return table;
}

}  // namespace qlnsales
