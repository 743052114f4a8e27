#include "qlnsales/sales_return.h"

#include <map>
#include <string>

#include "documents/sales_return/returnable_costs.h"

#include "base/convert.h"
#include "documents/layouts.h"
#include "frame/lookup.h"
#include "frame/modules.h"

namespace qlnsales {

using convert::Mid;
using convert::Trim;
using namespace documents;

namespace {

using C = SalesReturn;
using CellFill = std::function<std::optional<std::string>(const C&, const Row&)>;
using CellSave = std::function<Value(const C&, Grid&, std::int32_t)>;

// The return grid: row 0 is the heading, column 1 the tick box, column 2 the item code, column
// 29 the last one a source reader fills.
constexpr std::int32_t kTickCol = 1, kCodeCol = 2, kLastCol = 29;

// A return keeps its source's overall discount shares only when the source is an invoice: other
// sources carry none of their own.
CellSave InvoiceShare(std::int32_t col) {
  return [col](const C& c, Grid& g, std::int32_t r) {
    return c.RefDocType == "INV" ? Value(convert::Val(g.TextMatrix(r, col))) : Value();
  };
}

CellSave Fixed(Value v) {
  return [v = std::move(v)](const C&, Grid&, std::int32_t) { return v; };
}

// The project of a line, whole or in its display form (from its 8th character), when it has one.
CellFill Project(std::size_t from) {
  return [from](const C&, const Row& line) -> std::optional<std::string> {
    const std::string p = line.Text("Proj_No");
    if (p.empty()) return std::nullopt;
    return Mid(p, from);
  };
}

Layout<C> MakeLayout() {
  const auto K = CellKind::kNumber;
  using Cells = std::vector<Cell<C>>;
  Layout<C> l{
      .class_name = "QLNSales.SalesReturn",
      .master = "Sales_Return_Master",
      .detail = "Sales_Return_Detail",
      .number_column = "Sales_Rtn_No",
      .identity_column = "Sales_Rtn_Identity",
      .number = &C::SalesRtnNo,
      .identity = &C::SalesRtnIdentity,
      .connection = &C::AdoConnectionObject,
      .grid = &C::SalRetGridName,
      .grid_property = "SalRetGridName",
      .currency_code = &C::CurrencyCode,
      .currency_symbol = &C::CurrencySymbol,
      .company_prefix = &C::CompanyPrefix,
      .branch_prefix = &C::BranchPrefix,
      .document_prefix = &C::DocumentPrefix,
      .last_update = &C::LastUpdate,
      .bad_company = "Invalid Company Prefix",
      .bad_branch = "Invalid Branch Prefix",
      .bad_document = "Invalid Document Prefix",
      .header = {},
      .cells =
          Cells{
              // A processed return shows every line ticked; a cancelled one leaves the box alone.
              {kTickCol,
               nullptr,
               K,
               false,
               {},
               [](const C& c, const Row&) -> std::optional<std::string> {
                 if (c.ProcessedFlag) return "-1";
                 if (!c.CancelFlag) return "0";
                 return std::nullopt;
               }},
              {kCodeCol, "Item_Code", CellKind::kItemCode, true},
              {3, "Item_Name", CellKind::kTrimmed, true},
              {4, "Unit_Code", K, true},
              {5, "Unit_Name", CellKind::kUnit, true},
              {6, "Unit_Qty", K},
              {7, "Sales_Rtn_Qty", K},
              {8, "Sales_Rtn_FC_Unit_Price", K},
              {11, "Invoice_OverAll_FCDisc", K, false, InvoiceShare(11)},
              {24, "Invoice_OverAll_Disc", K, false, InvoiceShare(24)},
              {10, "Sales_Rtn_FC_Disc_Amount", K},
              {12, "Sales_Rtn_FC_Item_Amount", K},
              {17, "Sales_Rtn_Unit_Price", K},
              {14, "Sales_Rtn_Disc_Amount", K},
              {13, "Sales_Rtn_Item_Amount", K},
              {18, "Proj_No", CellKind::kText, false,
               [](const C&, Grid& g, std::int32_t r) {
                 std::string p = g.TextMatrix(r, 18);
                 return p.empty() ? Value() : Value(std::move(p));
               },
               Project(1)},
              {26, nullptr, CellKind::kText, false, {}, Project(8)},
              // Returned goods go back to the first location whatever the grid shows.
              {19, "Location_Name", CellKind::kText, false, Fixed(Value("Location1"))},
              {20, "Location_ID", K, false, Fixed(Value(1))},
              {15, "Inventory_Value", K},
              {28, "Ref_SL_No", K},
              {16,
               nullptr,
               K,
               false,
               {},
               [](const C&, const Row& line) -> std::optional<std::string> {
                 return line.Text("SL_No");
               }},
          },
      .walk = Walk::kUntilBlank,
      .code_col = kCodeCol,
      .name_col = kCodeCol,
      .tick_col = kTickCol,
      .serial = Serial::kWholeTable,
      .discount = {},
      .not_found = "Invalid Sales Return Number",
      // The lines and one empty row below them; a return without lines leaves the grid alone.
      .size_grid =
          [](const C&, Grid& grid, std::int32_t count) {
            if (count > 0) grid.SetRows(count + 2);
          },
  };
  // A return against a source keeps only the lines the user ticked, wherever they stand; one
  // without a source keeps every line down to the first without an item code (blanks are none).
  l.walk_by = [](const C& c) {
    return Trim(c.RefNo).empty() ? Walk::kUntilBlankCode : Walk::kTickedToEnd;
  };
  const auto W = Write::kAlways, New = Write::kNewOnly, Null = Write::kNullWhenEmpty,
             Given = Write::kKeepWhenEmpty;
  // Every column read back may be null (a return filled by a reader without payment terms, or
  // written by an older program): a null leaves its property as it was.
  const auto Keep = Read::kKeepOnNull, NoRead = Read::kNever;
  auto has_source = [](const C& c) { return !Trim(c.RefNo).empty(); };
  // The source's date is kept as the date's text.
  auto ref_date = [](const C& c) { return Value(convert::FormatIso(c.RefDate)); };
  l.header = {
      {"ConnectionString", &C::ConnectionString},
      {"Database", &C::Database},
      {"SalRetGridName", &C::SalRetGridName},
      Trimmed<C>({"SalesRtnNo", &C::SalesRtnNo, "Sales_Rtn_No", New, NoRead}),
      Trimmed<C>({"SalesRtnIdentity", &C::SalesRtnIdentity, "Sales_Rtn_Identity", New, Keep}),
      Trimmed<C>({"CompanyPrefix", &C::CompanyPrefix, "Company_Prefix", New, Keep}),
      Trimmed<C>({"BranchPrefix", &C::BranchPrefix, "Branch_Prefix", New, Keep}),
      Trimmed<C>({"DocumentPrefix", &C::DocumentPrefix, "Document_Prefix", W, Keep}),
      Trimmed<C>({"SalesRtnDate", &C::SalesRtnDate, "Sales_Rtn_Date", W, Keep}),
      Trimmed<C>({"CustomerCode", &C::CustomerCode, "Customer_Code", Given, Keep}),
      Trimmed<C>({"CustomerName", &C::CustomerName, "Customer_Name", Given, Keep}),
      Trimmed<C>({"PaymentTerms", &C::PaymentTerms, "Payment_Terms", Null, Keep}),
      Trimmed<C>({"PaymentType", &C::PaymentType, "Payment_Type", Null, Keep}),
      Trimmed<C>(
          {"ForeignCurrencyFlag", &C::ForeignCurrencyFlag, "Foreign_Currency_Flag", W, Keep}),
      Trimmed<C>({"CurrencyCode", &C::CurrencyCode, "Currency_Code", Given, Keep}),
      Trimmed<C>({"CurrencySymbol", &C::CurrencySymbol, "Currency_Symbol", Null, Keep}),
      Trimmed<C>({"SalesRtnSubTotal", &C::SalesRtnSubTotal, "Sales_Rtn_SubTotal", W, Keep}),
      Trimmed<C>({"SalesRtnDiscAmount", &C::SalesRtnDiscAmount, "Sales_Rtn_Disc_Amount", W, Keep}),
      Trimmed<C>(
          {"SalesRtnTotalAmount", &C::SalesRtnTotalAmount, "Sales_Rtn_Total_Amount", W, Keep}),
      Trimmed<C>({"SalesRtnFCSubTotal", &C::SalesRtnFCSubTotal, "Sales_Rtn_FC_SubTotal", W, Keep}),
      Trimmed<C>(
          {"SalesRtnFCDiscAmount", &C::SalesRtnFCDiscAmount, "Sales_Rtn_FC_Disc_Amount", W, Keep}),
      Trimmed<C>({"SalesRtnFCTotalAmount", &C::SalesRtnFCTotalAmount, "Sales_Rtn_FC_Total_Amount",
                  W, Keep}),
      Trimmed<C>({"CancelFlag", &C::CancelFlag, "Cancel_Flag", W, Keep}),
      Trimmed<C>({"AllowCancelFlag", &C::AllowCancelFlag, "Allow_Cancel_Flag", W, Keep}),
      Trimmed<C>({"ProcessedFlag", &C::ProcessedFlag, "Processed_Flag", W, Keep}),
      {"RefNo", &C::RefNo, "Ref_No", W, Keep, {}, has_source},
      {"RefDate", &C::RefDate, "Ref_Date", W, Keep, ref_date, has_source},
      {"RefDocType", &C::RefDocType, "Ref_Doc_Type", W, Keep, {}, has_source},
      Trimmed<C>({"SalesRtnComments", &C::SalesRtnComments, "Sales_Rtn_Comments", Null, Keep}),
      Trimmed<C>({"EmployeeID", &C::EmployeeID, "Employee_ID", Null, Keep}),
      Trimmed<C>({"EmployeeName", &C::EmployeeName, "Employee_Name", Null, Keep}),
      Trimmed<C>({"YearEndFlag", &C::YearEndFlag, "Year_End_Flag", W, Keep}),
      // Read back by after_read: 1 for a return in the local currency.
      {"ExchangeRate", &C::ExchangeRate},
      {nullptr, &C::ExchangeRate, "Exchange_Rate", W, NoRead,
       RateOf(&C::ForeignCurrencyFlag, &C::ExchangeRate)},
      {"TaxCode", &C::TaxCode, "TaxCode", Null, Keep},
      {"TaxDescription", &C::TaxDescription, "TaxDescription", Null, Keep},
      {"TaxRate", &C::TaxRate, "TaxRate", W, Keep},
      {"TaxAmount", &C::TaxAmount, "TaxAmount", W, Keep},
      {"LastUpdate", &C::LastUpdate, "Last_Update", Write::kStamp, NoRead},
      {"DiscPercent", &C::DiscPercent},
      {"AmtDig", &C::AmtDig},
      // The credit memo the return was given, kept by the memo itself.
      {"VoucherNo", &C::VoucherNo, "Voucher_No", Write::kNever, Keep},
      {"OnlineFlag", &C::OnlineFlag},
      {"SyncFlag", &C::SyncFlag},
      {"StockMovementPrefix", &C::StockMovementPrefix},
      {"SalesLogPrefix", &C::SalesLogPrefix},
      {"LocationID", &C::LocationID},
      {"LocationName", &C::LocationName},
      Trimmed<C>({"SalesRtnRefNo", &C::SalesRtnRefNo}),
  };
  l.after_read = [](C& c, const Row& r) {
    if (!c.ForeignCurrencyFlag)
      c.ExchangeRate = 1;
    else if (!r.IsNull("Exchange_Rate"))
      c.ExchangeRate = r.Double("Exchange_Rate");
  };
  return l;
}

// --- The source readers ----------------------------------------------------------------------

// Where one kind of source keeps what a return line shows. Every reader's query names the same
// few columns alike (Source_..., Line_Location_..., Cost_...), so one fill serves all four.
struct Source {
  const char* qty;
  const char* fc_price;
  const char* price;
  const char* percent;          // the line's discount percent; none: worked out from ...
  const char* percent_divisor;  // ... the per-unit foreign discount as a share of this price
  const char* fc_disc;
  const char* disc;
  const char* fc_amount;
  const char* amount;
  const char* fc_overall;  // the order's overall discount share; none: "0"
  const char* overall;
  bool overall_off_whole;  // a line not returned before shows its amounts less the share
  bool period;             // column 5 shows the period type beside the unit
  bool tax_header;         // the source has a discount percent and a tax code
  bool grey;               // items that hold no stock have their location cells greyed
  enum class Tax { kNone, kAsIs, kExemptWhenNull } tax;
  bool skip_repeated;  // an item already listed is not listed again
};

// The part of a source line's quantity not yet returned. Return_Qty counts base units
// (quantity x Unit_Qty), so a box of 12 returned as 3 pieces leaves three quarters of the box.
const char* const kUnitOrOne =
    "(CASE WHEN D.Unit_Qty IS NULL OR D.Unit_Qty = 0 THEN 1 "
    "ELSE D.Unit_Qty END)";
std::string Returnable(const char* qty) {
  // Rounding noise a few units of the billionth is not a quantity to offer.
  return std::string("(D.") + qty + " * " + kUnitOrOne + " - D.Return_Qty) > 0.000000001";
}

std::string InvoiceHalf(const char* table, const char* number, const char* qty) {
  // Each invoice line joins its own delivery line, for its location and its cost.
  return std::string(
             "SELECT M.Sales_Inv_No AS Source_No, M.Sales_Inv_Date AS Source_Date, "
             "M.Customer_Code AS Source_Customer_Code, M.Customer_Name AS Source_Customer_Name, "
             "M.Currency_Code AS Source_Currency_Code, M.Payment_Type AS Source_Payment_Type, "
             "M.Exchange_Rate AS Source_Exchange_Rate, "
             "M.Foreign_Currency_Flag AS Source_Foreign_Currency_Flag, "
             "M.TaxCode AS Source_TaxCode, M.TaxDescription AS Source_TaxDescription, "
             "M.Sales_Inv_Tax_Percent AS Source_Tax_Rate, "
             "M.Sales_Inv_Disc_Percent AS Source_Disc_Percent, D.*, "
             "S.Location_ID AS Line_Location_ID, S.Location_Name AS Line_Location_Name, "
             "S.Inventory_Value AS Cost_Value, S.") +
         qty + " AS Cost_Qty, S.Unit_Qty AS Cost_Unit_Qty " +
         "FROM Sales_Invoice_Master M JOIN Sales_Invoice_Detail D ON D.Sales_Inv_No = "
         "M.Sales_Inv_No JOIN " +
         table + " S ON S." + number +
         " = D.Delivery_No AND S.SL_No = D.Delivery_Dtl_SL_No "
         "WHERE M.Processed_Flag <> 0 AND M.Sales_Inv_No = ? AND " +
         Returnable("Sales_Inv_Qty");
}

// The lines of a delivery, a direct delivery or a cash memo, each its own cost.
std::string OwnLines(const char* master, const char* detail, const char* number, const char* date,
                     const char* qty, const std::string& tax, const std::string& conditions,
                     const std::string& cost = "") {
  return std::string("SELECT M.") + number + " AS Source_No, M." + date +
         " AS Source_Date, M.Customer_Code AS Source_Customer_Code, "
         "M.Customer_Name AS Source_Customer_Name, M.Currency_Code AS Source_Currency_Code, "
         "M.Payment_Type AS Source_Payment_Type, M.Exchange_Rate AS Source_Exchange_Rate, "
         "M.Foreign_Currency_Flag AS Source_Foreign_Currency_Flag, " +
         tax + "D.*, D.Location_ID AS Line_Location_ID, D.Location_Name AS Line_Location_Name, " +
         (cost.empty() ? std::string("D.Inventory_Value AS Cost_Value, D.") + qty +
                             " AS Cost_Qty, D.Unit_Qty AS Cost_Unit_Qty"
                       : cost) +
         " FROM " + master + " M JOIN " + detail + " D ON D." + number + " = M." + number +
         " WHERE M." + number + " = ? AND " + conditions + Returnable(qty) + " ORDER BY D.SL_No";
}

const Source kInvoice{"Sales_Inv_Qty",
                      "Sales_Inv_FC_Unit_Price",
                      "Sales_Inv_Unit_Price",
                      nullptr,
                      "Sales_Inv_FC_Unit_Price",
                      "Sales_Inv_Dtl_FC_Disc_Amount",
                      "Sales_Inv_Dtl_Disc_Amount",
                      "Sales_Inv_FC_Item_Amount",
                      "Sales_Inv_Item_Amount",
                      "Sales_Ord_Overall_FC_Disc",
                      "Sales_Ord_Overall_Disc",
                      false,
                      true,
                      true,
                      true,
                      Source::Tax::kAsIs,
                      false};
const Source kDelivery{"Delivery_Qty",
                       "Delivery_Dtl_FC_Unit_Price",
                       "Delivery_Dtl_Unit_Price",
                       nullptr,
                       "Delivery_Dtl_Unit_Price",
                       "Delivery_FC_Disc_Amount",
                       "Delivery_Disc_Amount",
                       "Delivery_FC_Item_Amount",
                       "Delivery_Item_Amount",
                       "Sales_Ord_Overall_FC_Disc",
                       "Sales_Ord_Overall_Disc",
                       true,
                       true,
                       false,
                       true,
                       Source::Tax::kNone,
                       false};
const Source kDirectDelivery{"Direct_Delivery_Qty",
                             "Direct_Delivery_Dtl_FC_Unit_Price",
                             "Direct_Delivery_Dtl_Unit_Price",
                             "Direct_Delivery_Dtl_Disc_Percent",
                             nullptr,
                             "Direct_Delivery_FC_Disc_Amount",
                             "Direct_Delivery_Disc_Amount",
                             "Direct_Delivery_FC_Item_Amount",
                             "Direct_Delivery_Item_Amount",
                             nullptr,
                             nullptr,
                             false,
                             false,
                             false,
                             false,
                             Source::Tax::kNone,
                             false};
const Source kCashMemo{"Cash_Memo_Qty",
                       "Cash_Memo_FC_Unit_Price",
                       "Cash_Memo_Unit_Price",
                       "Cash_Memo_Dtl_Disc_Percent",
                       nullptr,
                       "Cash_Memo_FC_Disc_Amount",
                       "Cash_Memo_Disc_Amount",
                       "Cash_Memo_FC_Item_Amount",
                       "Cash_Memo_Item_Amount",
                       nullptr,
                       nullptr,
                       false,
                       true,
                       true,
                       false,
                       Source::Tax::kExemptWhenNull,
                       true};

// The header of the source, from its first line. A null reads as empty, 0 or False: the return
// takes this source's values, not an earlier one's.
void TakeSourceHeader(C& c, const Row& first, const Source& s) {
  c.RefNo = first.Text("Source_No");
  c.RefDate = first.DateValue("Source_Date");
  c.CurrencyCode = first.Text("Source_Currency_Code");
  c.ForeignCurrencyFlag = first.Flag("Source_Foreign_Currency_Flag");
  c.CustomerCode = first.Text("Source_Customer_Code");
  c.CustomerName = first.Text("Source_Customer_Name");
  c.ExchangeRate = NumberOf(first["Source_Exchange_Rate"]);
  if (s.tax_header) {
    c.DiscPercent = NumberOf(first["Source_Disc_Percent"]);
    c.TaxRate = NumberOf(first["Source_Tax_Rate"]);
    // The code without its company and branch prefixes.
    c.TaxCode = Mid(first.Text("Source_TaxCode"), 5);
    c.TaxDescription = first.Text("Source_TaxDescription");
  }
  c.PaymentType = first.Text("Source_Payment_Type");
}

bool AlreadyListed(const Grid& grid, const std::string& code) {
  for (std::int32_t r = 1; r < grid.Rows(); ++r)
    if (grid.TextMatrix(r, kCodeCol) == code) return true;
  return false;
}

// Items that hold no stock keep no location: their location cells are greyed, as the item module
// tells. An item it does not know keeps its normal colours.
void GreyIfNotStocked(const C& c, Grid& grid, std::int32_t r) {
  constexpr std::int32_t kGreyText = static_cast<std::int32_t>(0x80000011);
  auto item =
      NewModule("QLNInventory.Inventory",
                {{"ADOConnectionString", Value(c.ConnectionString)},
                 {"AdoConnectionObject", Value(c.AdoConnectionObject)},
                 {"ItemCode", Value(c.CompanyPrefix + Trim(grid.TextMatrix(r, kCodeCol)))}});
  if (Call(item, "Get_Item_Type")) return;
  if (item->Get("ItemType").ToText() == "0") return;
  grid.Cell(Grid::kCellForeColor, r, 20, r, 20, Value(kGreyText));
  grid.Cell(Grid::kCellForeColor, r, 19, r, 19, Value(kGreyText));
}

void FillLine(const C& c, Grid& grid, std::int32_t r, const Row& d, const Source& s) {
  auto n = [&d](const char* column) { return column ? NumberOf(d[column]) : 0.0; };
  auto set = [&](std::int32_t col, std::string text) {
    grid.SetTextMatrix(r, col, std::move(text));
  };
  auto number = [&](std::int32_t col, double v) { set(col, GridNumber(v)); };

  double unit = n("Unit_Qty");
  if (unit == 0) unit = 1;
  const double qty = n(s.qty), returned = n("Return_Qty");
  // What may still come back, in the line's own units and in base units.
  const double left = qty - returned / unit;
  const double left_base = qty * unit - returned;

  set(1, "0");
  set(kCodeCol, Mid(d.Text("Item_Code"), 3));
  set(3, d.Text("Item_Name"));
  number(4, n("Unit_Code"));
  set(5, s.period ? JoinUnit(d.Text("Unit_Name"), d.Text("Period_Type")) : d.Text("Unit_Name"));
  number(6, n("Unit_Qty"));
  number(7, left);
  number(21, left);
  number(8, n(s.fc_price));
  number(17, n(s.price));
  if (s.percent) {
    number(9, n(s.percent));
  } else if (n(s.percent_divisor) != 0) {
    // A free line has no price to take a percentage of: its cell stays empty.
    number(9, n(s.fc_disc) * 100 / n(s.percent_divisor));
  }
  number(10, n(s.fc_disc));
  number(22, n(s.fc_disc));
  number(14, n(s.disc));
  number(23, n(s.disc));
  const double fc_overall = n(s.fc_overall), overall = n(s.overall);
  number(11, fc_overall);
  number(24, overall);
  if (returned > 0) {
    number(12, left * (n(s.fc_price) - n(s.fc_disc)) - fc_overall);
    number(13, left * (n(s.price) - n(s.disc)) - overall);
  } else if (s.overall_off_whole) {
    number(12, n(s.fc_amount) - fc_overall);
    number(13, n(s.amount) - overall);
  } else {
    number(12, n(s.fc_amount));
    number(13, n(s.amount));
  }
  if (!d.IsNull("Proj_No")) {
    set(26, Mid(d.Text("Proj_No"), 8));
    set(18, d.Text("Proj_No"));
  }
  set(25, d.Text("Unit_Name"));
  // The cost of what may come back: the cost line's value over the base quantity it is the cost
  // of (for an invoice line, its own delivery line, so a part billed is valued at its share).
  double cost_unit = n("Cost_Unit_Qty");
  if (cost_unit == 0) cost_unit = 1;
  const double cost_base = n("Cost_Qty") * cost_unit;
  const double value = cost_base == 0 ? 0.0 : n("Cost_Value") * (left_base / cost_base);
  number(15, value);
  number(27, value);
  number(20, n("Line_Location_ID"));
  set(19, d.Text("Line_Location_Name"));
  if (s.grey) GreyIfNotStocked(c, grid, r);
  set(28, d.Text("SL_No"));
  if (s.tax == Source::Tax::kAsIs) set(29, d.Text("TaxType"));
  if (s.tax == Source::Tax::kExemptWhenNull)
    set(29, d.IsNull("TaxType") ? "Exempted" : d.Text("TaxType"));
}

// Fills the header and the grid from the lines a reader found (at least one).
void FillFromSource(C& c, const GridRef& grid_ref, const ResultSet& lines, const Source& s) {
  Grid& grid = RequireGrid(grid_ref, "Grid");
  RequireColumns(grid, kLastCol + 1);
  TakeSourceHeader(c, lines.front(), s);
  grid.SetRows(1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Row d = lines[i];
    if (s.skip_repeated && AlreadyListed(grid, Mid(d.Text("Item_Code"), 3))) continue;
    const std::int32_t r = grid.Rows();
    grid.SetRows(r + 1);
    FillLine(c, grid, r, d, s);
  }
}

}  // namespace

const Layout<SalesReturn>& documents::SalesReturnLayout() {
  static const Layout<SalesReturn> layout = MakeLayout();
  return layout;
}

SalesReturn::SalesReturn() : AdoConnectionObject(std::make_shared<Connection>()) {}

bool SalesReturn::Create_Sales_Rtn() {
  return Trap([&] {
    return CreateDocument(*this, SalesReturnLayout(), {CompanyPrefix, BranchPrefix, DocumentPrefix},
                          true);
  });
}

bool SalesReturn::Update_Sales_Rtn() {
  // Without a number the save would make a return nobody can find.
  if (Trim(SalesRtnNo).empty()) return Fail("Invalid Sales Return Number");
  return Trap([&] {
    // A processed return has put its goods back and raised its sources' returned quantities:
    // rewriting its lines would part it from them.
    auto rs = connection_rule::ObjectOnly(AdoConnectionObject)
                  ->Query("SELECT Processed_Flag FROM Sales_Return_Master WHERE Sales_Rtn_No = ?",
                          {Value(SalesRtnNo)});
    if (!rs.empty() && rs.front().Flag("Processed_Flag")) return Fail("Already Processed");
    // A return is rewritten, never made here: saved under a final number nobody has it would pass
    // for one processed elsewhere, and under a temporary one it would be taken over by the
    // return the counter gives that number next.
    if (rs.empty()) return Fail("Invalid Sales Return Number");
    return UpdateDocument(*this, SalesReturnLayout());
  });
}

bool SalesReturn::Get_Sales_Rtn() {
  if (Trim(SalesRtnNo).empty()) return Fail("Invalid Sales Return Number");
  return Trap([&] {
    ReadMaster(*this, SalesReturnLayout(), *connection_rule::StringOnly(ConnectionString));
    return true;
  });
}

bool SalesReturn::Populate_Details() {
  // No line: False with ErrDesc as it was.
  return Trap([&] {
    return FillGrid(*this, SalesReturnLayout(), *connection_rule::StringOnly(ConnectionString)) > 0;
  });
}

namespace {

// The cost of a cash memo's line. The goods the memo took out of stock itself are valued at what
// they left at. A memo that paid a delivery (or an order its deliveries took out) took nothing:
// its goods are valued at what the same item cost on those deliveries, never at nothing.
const std::string kMemoTook =
    "(CASE WHEN UPPER(TRIM(COALESCE(M.Reference_Document_Name, ''))) IN ('DELIVERY', "
    "'DIRECT DELIVERY') THEN 0 ELSE COALESCE(D.Stock_Out_Qty, D.Cash_Memo_Qty) END)";
std::string MemoSourceSum(const char* what_delivered, const char* what_direct) {
  return std::string("COALESCE((SELECT SUM(") + what_delivered +
         ") FROM Delivery_Detail L JOIN Delivery_Master G ON G.Delivery_No = L.Delivery_No "
         "WHERE L.Item_Code = D.Item_Code AND (G.Delivery_No = M.Reference_No OR G.Source_No = "
         "M.Reference_No)), 0) + COALESCE((SELECT SUM(" +
         what_direct +
         ") FROM Direct_Delivery_Detail L WHERE L.Item_Code = D.Item_Code AND "
         "L.Direct_Delivery_No = M.Reference_No), 0)";
}
const std::string kMemoCost =
    "CASE WHEN " + kMemoTook + " > 0 THEN D.Inventory_Value ELSE " +
    MemoSourceSum("L.Inventory_Value", "L.Inventory_Value") + " END AS Cost_Value, CASE WHEN " +
    kMemoTook + " > 0 THEN " + kMemoTook + " ELSE " +
    MemoSourceSum("L.Delivery_Qty * L.Unit_Qty", "L.Direct_Delivery_Qty * L.Unit_Qty") +
    " END AS Cost_Qty, CASE WHEN " + kMemoTook + " > 0 THEN D.Unit_Qty ELSE 1 END AS Cost_Unit_Qty";

// The returnable lines of source `number` of kind "INV", "DEL", "DDL" or "CHM", with their cost;
// no rows for another kind.
ResultSet ReturnableLines(Connection& conn, const std::string& kind, const std::string& number) {
  const Value n(number);
  if (kind == "INV")
    return conn.Query(
        InvoiceHalf("Delivery_Detail", "Delivery_No", "Delivery_Qty") + " UNION ALL " +
            InvoiceHalf("Direct_Delivery_Detail", "Direct_Delivery_No", "Direct_Delivery_Qty") +
            " ORDER BY SL_No",
        {n, n});
  // Neither an invoiced line (the invoice is returned against) nor a delivery paid by a cash
  // memo (the memo is).
  if (kind == "DEL")
    return conn.Query(OwnLines("Delivery_Master", "Delivery_Detail", "Delivery_No", "Delivery_Date",
                               "Delivery_Qty", "",
                               "M.Processed_Flag <> 0 AND M.Paid_Flag = 0 AND "
                               "D.Invoiced_Qty = 0 AND "),
                      {n});
  if (kind == "DDL")
    return conn.Query(OwnLines("Direct_Delivery_Master", "Direct_Delivery_Detail",
                               "Direct_Delivery_No", "Direct_Delivery_Date", "Direct_Delivery_Qty",
                               "", "M.Processed_Flag <> 0 AND D.Invoiced_Qty = 0 AND "),
                      {n});
  if (kind == "CHM")
    return conn.Query(
        OwnLines("Cash_Memo_Master", "Cash_Memo_Detail", "Cash_Memo_No", "Cash_Memo_Date",
                 "Cash_Memo_Qty",
                 "M.TaxCode AS Source_TaxCode, M.TaxDescription AS Source_TaxDescription, "
                 "M.Cash_Memo_TaxRate AS Source_Tax_Rate, "
                 "M.cash_memo_Disc_Percent AS Source_Disc_Percent, ",
                 "M.process_Flag <> 0 AND ", kMemoCost),
        {n});
  return conn.Query("SELECT 1 WHERE 1 = 0");
}

}  // namespace

std::map<std::int32_t, documents::ReturnableLine> documents::ReturnableCosts(
    Connection& conn, const std::string& kind, const std::string& number) {
  std::map<std::int32_t, ReturnableLine> costs;
  const Source* source = kind == "INV"   ? &kInvoice
                         : kind == "DEL" ? &kDelivery
                         : kind == "DDL" ? &kDirectDelivery
                         : kind == "CHM" ? &kCashMemo
                                         : nullptr;
  if (!source) return costs;
  const ResultSet lines = ReturnableLines(conn, kind, number);
  auto per_base = [](double amount, double qty, double unit) {
    const double base = qty * (unit == 0 ? 1 : unit);
    return base == 0 ? 0.0 : amount / base;
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Row d = lines[i];
    costs[d.Int32("SL_No")] = {
        per_base(NumberOf(d["Cost_Value"]), NumberOf(d["Cost_Qty"]), NumberOf(d["Cost_Unit_Qty"])),
        per_base(NumberOf(d[source->amount]), NumberOf(d[source->qty]), NumberOf(d["Unit_Qty"]))};
  }
  return costs;
}

bool SalesReturn::Get_Sales_Invoice(std::string& pInvNo, GridRef& grid,
                                    std::optional<bool>& /*Saved*/) {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    auto lines = ReturnableLines(*conn, "INV", pInvNo);
    if (!lines.empty()) FillFromSource(*this, grid, lines, kInvoice);
    return true;
  });
}

bool SalesReturn::Get_Delivery(std::string& pInvNo, GridRef& grid, std::optional<bool>& /*Saved*/) {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    auto lines = ReturnableLines(*conn, "DEL", pInvNo);
    if (!lines.empty()) FillFromSource(*this, grid, lines, kDelivery);
    return true;
  });
}

bool SalesReturn::Get_Direct_Delivery(std::string& pInvNo, GridRef& grid,
                                      std::optional<bool>& /*Saved*/) {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    auto lines = ReturnableLines(*conn, "DDL", pInvNo);
    if (!lines.empty()) FillFromSource(*this, grid, lines, kDirectDelivery);
    return true;
  });
}

bool SalesReturn::Get_CashMemo(std::string& pInvNo, GridRef& grid, std::optional<bool>& /*Saved*/) {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    auto lines = ReturnableLines(*conn, "CHM", pInvNo);
    if (lines.empty()) return Fail(" Delivery not created for this Cash Memo..");
    FillFromSource(*this, grid, lines, kCashMemo);
    return true;
  });
}

std::string SalesReturn::GetFldValue(std::string TblName, std::string fldName,
                                     std::optional<std::string> WhereFldName,
                                     std::optional<std::string> WhereFldValue,
                                     std::optional<bool> WhereFldNumYN,
                                     std::optional<std::string> SecondWhereFldName,
                                     std::optional<std::string> SecondWhereFldValue,
                                     std::optional<bool> SecdWhereFldNumYN) {
  return GetFldValueMethod(ConnectionString, std::move(TblName), std::move(fldName),
                           std::move(WhereFldName), std::move(WhereFldValue), WhereFldNumYN,
                           std::move(SecondWhereFldName), std::move(SecondWhereFldValue),
                           SecdWhereFldNumYN);
}

bool SalesReturn::ExistDocument(std::string strTblName, std::string strFldName, std::string DocNo,
                                std::optional<bool> WhereFldNumYN,
                                std::optional<std::string> SecondWhereFldName,
                                std::optional<std::string> SecondWhereFldValue,
                                std::optional<bool> SecdWhereFldNumType) {
  return ExistDocumentMethod(AdoConnectionObject, std::move(strTblName), std::move(strFldName),
                             std::move(DocNo), WhereFldNumYN, std::move(SecondWhereFldName),
                             std::move(SecondWhereFldValue), SecdWhereFldNumType);
}

const DispatchTable& SalesReturn::Dispatch() const {
  static const DispatchTable table = BuildDispatch(SalesReturnLayout(), [](DispatchBuilder<C>& b) {
    b.WriteOnly("AdoConnectionObject", &C::AdoConnectionObject)
        .WriteOnly("SalesInvoiceType", &C::SalesInvoiceType)
        .WriteOnly("DocFlag", &C::DocFlag)
        .WriteOnly("manualDocIdentity", &C::manualDocIdentity)
        .Method("Create_Sales_Rtn", &C::Create_Sales_Rtn)
        .Method("Update_Sales_Rtn", &C::Update_Sales_Rtn)
        .Method("Get_Sales_Rtn", &C::Get_Sales_Rtn)
        .Method("Populate_Details", &C::Populate_Details)
        .Method("Get_Sales_Invoice", &C::Get_Sales_Invoice)
        .Method("Get_Delivery", &C::Get_Delivery)
        .Method("Get_Direct_Delivery", &C::Get_Direct_Delivery)
        .Method("Get_CashMemo", &C::Get_CashMemo)
        .Method("Return_Process", &C::Return_Process)
        .Method("UpdateReturnSource", &C::UpdateReturnSource)
        .Method("Update_Source", &C::Update_Source)
        .Method("Generate_Credit_Memo", &C::Generate_Credit_Memo)
        .Method("Create_Voucher_Master", &C::Create_Voucher_Master)
        .Method("Create_Voucher_Detail", &C::Create_Voucher_Detail)
        .Method("Process_CreditMemo", &C::Process_CreditMemo)
        .Method("GetFldValue", &C::GetFldValue)
        .Method("ExistDocument", &C::ExistDocument);
  });
  return table;
}

}  // namespace qlnsales
