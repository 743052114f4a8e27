#include "qlnsales/sales_invoice.h"

#include <cmath>

#include "base/convert.h"
#include "documents/layouts.h"
#include "frame/lookup.h"
#include "frame/numbering.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = SalesInvoice;

// The invoice grid: row 0 is the heading, column 1 the tick box, 31 the last column read.
constexpr std::int32_t kTickCol = 1, kBranchCol = 2, kIdentityCol = 3, kLastCol = 31;

// A cell's text, or null when it is blank: an invoice line keeps no empty reference.
std::function<Value(const C&, Grid&, std::int32_t)> TextUnlessBlank(std::int32_t col) {
  return [col](const C&, Grid& g, std::int32_t r) {
    std::string text = g.TextMatrix(r, col);
    return Trim(text).empty() ? Value() : Value(std::move(text));
  };
}

// A cell's text, or null when it is empty.
std::function<Value(const C&, Grid&, std::int32_t)> TextUnlessEmpty(std::int32_t col) {
  return [col](const C&, Grid& g, std::int32_t r) {
    std::string text = g.TextMatrix(r, col);
    return text.empty() ? Value() : Value(std::move(text));
  };
}

// A cell filled from a column the line query may leave null.
std::function<std::optional<std::string>(const C&, const Row&)> TextIfSet(const char* column) {
  return [column](const C&, const Row& line) -> std::optional<std::string> {
    if (!line.Has(column) || line.IsNull(column)) return std::nullopt;
    return line.Text(column);
  };
}

std::function<std::optional<std::string>(const C&, const Row&)> NumberOfColumn(const char* column) {
  return [column](const C&, const Row& line) -> std::optional<std::string> {
    return GridNumber(NumberOf(line[column]));
  };
}

// The invoice's lines as its grid shows them, with the branch of each line's delivery and the
// description of its address. Both dialects give the same rows: every line of the invoice, also
// one whose branch or address is not found, which a save would otherwise lose.
ResultSet InvoiceLines(const C& c, Connection& conn) {
  if (IsDesktopDialect(c.Database))
    return conn.Query(
        "SELECT * FROM qrySalesInvoiceDeatails WHERE Customer_Code = ? AND Sales_Inv_No = ? "
        "ORDER BY SL_No",
        {Value(c.CustomerCode), Value(c.SalesInvNo)});
  // The customer belongs in the outer join's condition: in the WHERE clause it would drop every
  // line without an address.
  return conn.Query(
      "SELECT S.*, B.Branch_Name AS Branch_Name, C.Address_Desc AS Address_Desc "
      "FROM Sales_Invoice_Detail S "
      "LEFT JOIN Branch_Master B ON B.Company_Prefix = SUBSTR(S.Delivery_No, 1, 2) AND "
      "B.Branch_Prefix = SUBSTR(S.Delivery_No, 3, 2) "
      "LEFT JOIN Customer_Address C ON C.Address_Code = S.Address_Code AND C.Customer_Code = ? "
      "WHERE S.Sales_Inv_No = ? ORDER BY S.SL_No",
      {Value(c.CustomerCode), Value(c.SalesInvNo)});
}

Layout<C> MakeLayout() {
  const auto K = CellKind::kNumber;
  using Cells = std::vector<Cell<C>>;
  Layout<C> l{
      .class_name = "QLNSales.SalesInvoice",
      .master = "Sales_Invoice_Master",
      .detail = "Sales_Invoice_Detail",
      .number_column = "Sales_Inv_No",
      .identity_column = "Sales_Inv_Identity",
      .number = &C::SalesInvNo,
      .identity = &C::SalesInvIdentity,
      .connection = &C::AdoDBConnectionObject,
      .grid = &C::InvoiceGridName,
      .grid_property = "InvoiceGridName",
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
              {kTickCol,
               nullptr,
               K,
               false,
               {},
               [](const C&, const Row&) -> std::optional<std::string> { return "1"; }},
              {kBranchCol, nullptr, K, false, {}, TextIfSet("Branch_Name")},
              {kIdentityCol, "Delivery_Identity", CellKind::kText, true, TextUnlessBlank(3)},
              {4, "Delivery_Date", CellKind::kText, true, TextUnlessBlank(4)},
              {5, "Item_Code", CellKind::kItemCode, true},
              {6, "Item_Name", CellKind::kTrimmedOrNull, true},
              // A ticked box reads 1 or -1 (True).
              {7, "TaxType", CellKind::kText, false,
               [](const C&, Grid& g, std::int32_t r) {
                 const double v = g.ValueMatrix(r, 7);
                 return Value(v == 1 || v == -1 ? "Taxable" : "Exempted");
               },
               [](const C&, const Row& line) -> std::optional<std::string> {
                 return line.Text("TaxType") == "Taxable" ? "1" : "0";
               }},
              {8, "Unit_Code", K},
              {9, "Unit_Name", CellKind::kUnit, true},
              {30, "FOC_Flag", CellKind::kFlag},
              {10, "Unit_Qty", K},
              {11, "Sales_Inv_Qty", K},
              {12, "Delivery_Qty", K},
              {13, "Sales_Inv_FC_Unit_Price", K},
              {14, "Sales_Inv_Dtl_FC_Disc_Amount", K},
              {15, "Sales_Ord_Overall_FC_Disc", K},
              {17, "Sales_Inv_FC_Item_Amount", K},
              {21, "Sales_Inv_Unit_Price", K},
              {18, "Sales_Inv_Dtl_Disc_Amount", K},
              {24, "Sales_Ord_Overall_Disc", K},
              {16, "Sales_Inv_Item_Amount", K},
              {20, "Delivery_Dtl_SL_No", K},
              {22, "Delivery_Flag", CellKind::kText, true},
              // The delivery's number only beside the kind of delivery it is.
              {23, "Delivery_No", CellKind::kText, true,
               [](const C&, Grid& g, std::int32_t r) {
                 return Trim(g.TextMatrix(r, 22)).empty() ? Value() : Value(g.TextMatrix(r, 23));
               }},
              {27, "Address_Code", CellKind::kText, true, TextUnlessEmpty(27)},
              {29, "Delivery_Ref_No", CellKind::kText, true, TextUnlessEmpty(29)},
              {31, "Delivery_Dtl_FC_Unit_Price", K, false,
               [](const C&, Grid& g, std::int32_t r) {
                 const double v = g.ValueMatrix(r, 31);
                 return v != 0 ? Value(v) : Value();
               }},
              // The project the delivery line was for stays with the line it is invoiced on.
              {19, "Proj_No", CellKind::kText, true, TextUnlessBlank(19)},
              {25, nullptr, K, false, {}, NumberOfColumn("Sales_Ord_Overall_FC_Disc")},
              {26, nullptr, K, false, {}, NumberOfColumn("Sales_Ord_Overall_Disc")},
              {28, nullptr, K, false, {}, TextIfSet("Address_Desc")},
          },
      .walk = Walk::kTickedUntilBlank,
      // Columns 2 (branch) and 3 (delivery) both empty end the lines; column 1 ticks.
      .code_col = kBranchCol,
      .name_col = kIdentityCol,
      .tick_col = kTickCol,
      // Lines are numbered 1, 2, 3 ... within the invoice (the key is the number and the line),
      // not by their grid rows: rows left unticked leave no gaps.
      .serial = Serial::kPerDocument,
      // The header's percentage of each line's amount, as the invoice shows it; the shares are
      // not made to add up to the header's discount.
      .discount = {.rule = OverallDiscount<C>::Rule::kPercentEach,
                   .percent = &C::SalesInvDiscPercent,
                   .amount = &C::SalesInvDiscAmount,
                   .digits = &C::AmtDig,
                   .amount_col = 16,
                   .column = "Sales_Inv_Overall_Disc_Amount"},
      .not_found = "Invalid Invoice No",
      .no_lines = "Invalid Invoice No",
      // Too small a grid gets room for the lines and one spare row; a larger one keeps its size.
      .size_grid =
          [](const C&, Grid& grid, std::int32_t count) {
            if (grid.Rows() < count + 1) grid.SetRows(count + 2);
          },
      .lines_to_show = InvoiceLines,
  };
  const auto W = Write::kAlways, New = Write::kNewOnly, Blank = Write::kNullWhenBlank,
             Never = Write::kNever;
  // A null column leaves its property as it was; flags read as False, the tax as 0.
  const auto Keep = Read::kKeepOnNull, P = Read::kPlain, NoRead = Read::kNever;
  // The invoice is kept in local terms: its rate is stored as 1.
  auto one = [](const C&) { return Value(1); };
  l.header = {
      {"ADOConnectionString", &C::ADOConnectionString},
      {"AdoDBConnectionObject", &C::AdoDBConnectionObject},
      {"Database", &C::Database},
      {"InvoiceGridName", &C::InvoiceGridName},
      {"SalesInvNo", &C::SalesInvNo, "Sales_Inv_No", New, Keep},
      {"SalesInvIdentity", &C::SalesInvIdentity, "Sales_Inv_Identity", New, Keep},
      {"CompanyPrefix", &C::CompanyPrefix, "Company_Prefix", W, Keep},
      {"BranchPrefix", &C::BranchPrefix, "Branch_Prefix", W, Keep},
      {"DocumentPrefix", &C::DocumentPrefix, "Document_Prefix", W, Keep},
      {"CustomerCode", &C::CustomerCode, "Customer_Code", W, Keep},
      {"CustomerName", &C::CustomerName, "Customer_Name", W, Keep},
      {"PaymentTerms", &C::PaymentTerms, "Payment_Terms", W, Keep},
      {"PaymentType", &C::PaymentType, "Payment_Type", W, Keep},
      {"ForeignCurrencyFlag", &C::ForeignCurrencyFlag, "Foreign_Currency_Flag", W, P},
      {"ExchangeRate", &C::ExchangeRate},
      {nullptr, &C::ExchangeRate, "Exchange_Rate", W, NoRead, one},
      {"CurrencyCode", &C::CurrencyCode, "Currency_Code", W, Keep},
      {"CurrencySymbol", &C::CurrencySymbol, "Currency_Symbol", W, Keep},
      {"SalesInvDate", &C::SalesInvDate, "Sales_Inv_Date", W, Keep},
      {"SalesInvEndDate", &C::SalesInvEndDate, "Sales_Inv_End_Date", W, NoRead},
      {"SalesInvSubtotal", &C::SalesInvSubtotal, "Sales_Inv_SubTotal", W, Keep},
      {"SalesInvFCsubtotal", &C::SalesInvFCsubtotal, "Sales_Inv_FC_SubTotal", W, Keep},
      {"SalesInvDiscPercent", &C::SalesInvDiscPercent, "Sales_Inv_Disc_Percent", W, Keep},
      {"SalesInvDiscAmount", &C::SalesInvDiscAmount, "Sales_Inv_Disc_Amount", W, Keep},
      {"SalesInvFCDiscAmount", &C::SalesInvFCDiscAmount, "Sales_Inv_FC_Disc_Amount", W, Keep},
      {"SalesInvTaxPercent", &C::SalesInvTaxPercent, "Sales_Inv_Tax_Percent", W, P},
      {"SalesInvTaxAmount", &C::SalesInvTaxAmount, "Sales_Inv_Tax_Amount", W, P},
      {"SalesInvFCTaxAmount", &C::SalesInvFCTaxAmount, "Sales_Inv_FC_Tax_Amount", W, P},
      {"SalesInvTotalAmount", &C::SalesInvTotalAmount, "Sales_Inv_Total_Amount", W, Keep},
      {"SalesInvFCTotalAmount", &C::SalesInvFCTotalAmount, "Sales_Inv_FC_Total_Amount", W, Keep},
      {"EmployeeID", &C::EmployeeID, "Employee_ID", W, Keep},
      {"EmployeeName", &C::EmployeeName, "Employee_Name", W, Keep},
      {"SalesInvComments", &C::SalesInvComments, "Sales_Inv_Comments", Blank, Keep},
      // A new invoice is owed in full.
      {nullptr, &C::SalesInvTotalAmount, "Balance_Amount", W, NoRead},
      {nullptr, &C::SalesInvFCTotalAmount, "Balance_FCAmount", W, NoRead},
      {"InvoiceRefNo", &C::InvoiceRefNo, "Invoice_Ref_no", W, Keep},
      {"TaxCode", &C::TaxCode, "TaxCode", W, Keep},
      {"TaxDescription", &C::TaxDescription, "TaxDescription", W, Keep},
      {"ProcessFlag", &C::ProcessFlag, "Processed_Flag", Never, P},
      {"CancelFlag", &C::CancelFlag, "Cancel_Flag", Never, P},
      {"AllowCancelFlag", &C::AllowCancelFlag, "Allow_Cancel_Flag", Never, P},
      {"LastUpdate", &C::LastUpdate, "Last_Update", Write::kStamp, NoRead},
      {"OnlineFlag", &C::OnlineFlag},
      {"SyncFlag", &C::SyncFlag},
      {"YearEndFlag", &C::YearEndFlag},
      {"ManualDocFlag", &C::ManualDocFlag},
      {"manualDocIdentity", &C::manualDocIdentity},
      {"SalesLogPrefix", &C::SalesLogPrefix},
  };
  return l;
}

// Line amounts worked out from what is still to invoice (q, not floored at 0): the local one less
// the order's overall share, the foreign one without it; a negative amount is shown as its size.
struct ListedAmounts {
  double local, foreign;
};

ListedAmounts AmountsToInvoice(const Row& d, double q, int places) {
  auto n = [&d](const char* column) { return NumberOf(d[column]); };
  const double net = (n("Delivery_Dtl_Unit_Price") - n("Delivery_Disc_Amount")) * q;
  double local = convert::RoundHalfEven(net - n("Sales_Ord_Overall_Disc"), places);
  if (local < 0)
    local = convert::RoundHalfEven(
        std::fabs(net - n("Delivery_OverAll_Disc_Amount") - n("Sales_Ord_Overall_Disc")), places);
  double foreign = convert::RoundHalfEven(
      (n("Delivery_Dtl_FC_Unit_Price") - n("Delivery_FC_Disc_Amount")) * q, places);
  if (foreign < 0) foreign = std::fabs(foreign);
  return {local, foreign};
}

void FillFromDelivery(Grid& grid, std::int32_t i, const Row& d, int places) {
  auto text_if = [&](std::int32_t col, const char* column) {
    if (!d.IsNull(column)) grid.SetTextMatrix(i, col, d.Text(column));
  };
  auto number = [&](std::int32_t col, const char* column) {
    grid.SetTextMatrix(i, col, GridNumber(NumberOf(d[column])));
  };
  const double q = NumberOf(d["Delivery_Qty"]) - NumberOf(d["Invoiced_Qty"]);
  const std::string remaining = q < 0 ? "0" : GridNumber(q);
  const auto amounts = AmountsToInvoice(d, q, places);
  grid.SetTextMatrix(i, 1, "0");
  grid.SetTextMatrix(i, 2, d.Text("Branch_Name"));
  grid.SetTextMatrix(i, 3, d.Text("Delivery_Identity"));
  grid.SetTextMatrix(i, 4, d.Text("Delivery_Date"));
  grid.SetTextMatrix(i, 5, convert::Mid(d.Text("Item_Code"), 3));
  grid.SetTextMatrix(i, 6, d.Text("Item_Name"));
  grid.SetTextMatrix(i, 7, Trim(d.Text("Item_TaxType")) == "Taxable" ? "1" : "0");
  number(8, "Unit_Code");
  grid.SetTextMatrix(i, 9, JoinUnit(d.Text("Unit_Name"), d.Text("Period_Type")));
  number(10, "Unit_Qty");
  grid.SetTextMatrix(i, 11, remaining);
  grid.SetTextMatrix(i, 12, remaining);
  number(13, d.Flag("Foreign_Currency_Flag") ? "Delivery_Dtl_FC_Unit_Price"
                                             : "Delivery_Dtl_Unit_Price");
  number(14, "Delivery_FC_Disc_Amount");
  number(15, "Delivery_OverAll_Disc_Amount");
  grid.SetTextMatrix(i, 16, GridNumber(amounts.local));
  grid.SetTextMatrix(i, 17, GridNumber(amounts.foreign));
  number(18, "Delivery_Disc_Amount");
  if (!Trim(d.Text("Proj_No")).empty()) grid.SetTextMatrix(i, 19, d.Text("Proj_No"));
  grid.SetTextMatrix(i, 20, d.Text("SL_No"));
  number(21, "Delivery_Dtl_Unit_Price");
  grid.SetTextMatrix(i, 22, d.Text("Delivery_Flag"));
  grid.SetTextMatrix(i, 23, d.Text("Delivery_No"));
  number(24, "Sales_Ord_Overall_Disc");
  number(25, "Sales_Ord_Overall_FC_Disc");
  number(26, "Sales_Ord_Overall_Disc");
  text_if(27, "Address_Code");
  text_if(28, "Address_Desc");
  text_if(29, "Delivery_Ref_No");
  grid.SetTextMatrix(i, 30, NumberOf(d["FOC_Flag"]) != 0 ? "1" : "0");
  number(31, "Delivery_Dtl_FC_Unit_Price");
}

}  // namespace

const Layout<SalesInvoice>& documents::SalesInvoiceLayout() {
  static const Layout<SalesInvoice> layout = MakeLayout();
  return layout;
}

SalesInvoice::SalesInvoice() : AdoDBConnectionObject(std::make_shared<Connection>()) {}

bool SalesInvoice::Get_Delivery_Details() {
  if (Trim(CustomerCode).empty()) return Fail("Invalid Customer Code");
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ADOConnectionString);
    // The branch's name and the item's tax type come with each line.
    auto rows = conn->Query(
        "SELECT D.*, B.Branch_Name AS Branch_Name, I.TaxType AS Item_TaxType "
        "FROM DeliveriesForInvoicingBasic D "
        "LEFT JOIN Branch_Master B ON B.Company_Prefix = D.Company_Prefix AND "
        "B.Branch_Prefix = D.Branch_Prefix "
        "LEFT JOIN Item_Master I ON I.Item_Code = D.Item_Code "
        "WHERE D.Customer_Code = ? AND D.Company_Prefix = ? "
        "ORDER BY D.Delivery_Identity, D.Dtl_ID",
        {Value(CustomerCode), Value(CompanyPrefix)});
    if (rows.empty()) return true;
    Grid& grid = RequireGrid(InvoiceGridName, "InvoiceGridName");
    RequireColumns(grid, kLastCol + 1);
    const int places = convert::DecimalPlaces(AmtDig);
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(rows.size()); ++i) {
      EnsureRow(grid, i);
      FillFromDelivery(grid, i, rows[static_cast<std::size_t>(i - 1)], places);
    }
    return true;
  });
}

bool SalesInvoice::Create_Sales_Invoice(std::optional<bool> Save_Detail_Flag) {
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection not opened");
  return Trap([&] {
    return CreateDocument(*this, SalesInvoiceLayout(),
                          {CompanyPrefix, BranchPrefix, DocumentPrefix},
                          Save_Detail_Flag.value_or(false));
  });
}

bool SalesInvoice::Update_Sales_Invoice() {
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection not opened");
  // Without a number the save would make an invoice nobody can find; nothing is written.
  if (Trim(SalesInvNo).empty()) return Fail("Invalid Invoice No");
  // A processed invoice has raised its deliveries' invoiced quantities (and may be posted);
  // saving it again would part it from them.
  return Trap([&] {
    if (IsFinalNumber(Trim(SalesInvNo)))
      return Fail(AdoDBConnectionObject
                          ->Query("SELECT Sales_Inv_No FROM Sales_Invoice_Master WHERE "
                                  "Sales_Inv_No = ?",
                                  {Value(Trim(SalesInvNo))})
                          .empty()
                      ? "Invalid Invoice No"
                      : "Already Processed");
    return UpdateDocument(*this, SalesInvoiceLayout());
  });
}

bool SalesInvoice::Get_Invoice() {
  if (Trim(SalesInvNo).empty()) return Fail("Invalid Invoice No");
  return Trap([&] {
    auto conn = connection_rule::ObjectFirst(ADOConnectionString, AdoDBConnectionObject);
    ReadMaster(*this, SalesInvoiceLayout(), *conn);
    ExchangeRate = 1;
    if (header_only_) return true;
    auto lines = connection_rule::StringOnly(ADOConnectionString);
    FillGrid(*this, SalesInvoiceLayout(), *lines);
    return true;
  });
}

std::string SalesInvoice::GetFldValue(std::string TblName, std::string fldName,
                                      std::optional<std::string> WhereFldName,
                                      std::optional<std::string> WhereFldValue,
                                      std::optional<bool> WhereFldNumYN,
                                      std::optional<std::string> SecondWhereFldName,
                                      std::optional<std::string> SecondWhereFldValue,
                                      std::optional<bool> SecdWhereFldNumYN) {
  return GetFldValueMethod(ADOConnectionString, std::move(TblName), std::move(fldName),
                           std::move(WhereFldName), std::move(WhereFldValue), WhereFldNumYN,
                           std::move(SecondWhereFldName), std::move(SecondWhereFldValue),
                           SecdWhereFldNumYN);
}

bool SalesInvoice::ExistDocument(std::string strTblName, std::string strFldName, std::string DocNo,
                                 std::optional<bool> WhereFldNumYN,
                                 std::optional<std::string> SecondWhereFldName,
                                 std::optional<std::string> SecondWhereFldValue,
                                 std::optional<bool> SecdWhereFldNumType) {
  return ExistDocumentMethod(AdoDBConnectionObject, std::move(strTblName), std::move(strFldName),
                             std::move(DocNo), WhereFldNumYN, std::move(SecondWhereFldName),
                             std::move(SecondWhereFldValue), SecdWhereFldNumType);
}

const DispatchTable& SalesInvoice::Dispatch() const {
  static const DispatchTable table = BuildDispatch(SalesInvoiceLayout(), [](DispatchBuilder<C>& b) {
    // The project number is a number held behind a text: a text that is not one is refused.
    b.Property(
         "ProjNo",
         [](Object& o) { return Value(convert::NumberToText(static_cast<C&>(o).ProjNo)); },
         [](Object& o, const Value& v) {
           static_cast<C&>(o).ProjNo = convert::TextToDouble(v.ToText());
         })
        // The read accessor's own name, kept for the callers that use it.
        .Property(
            "ManualDocIdentiy",
            [](Object& o) { return Value(static_cast<C&>(o).manualDocIdentity); }, nullptr)
        .WriteOnly("AmtDig", &C::AmtDig)
        .Method("Get_Delivery_Details", &C::Get_Delivery_Details)
        .Method("Create_Sales_Invoice", &C::Create_Sales_Invoice)
        .Method("Update_Sales_Invoice", &C::Update_Sales_Invoice)
        .Method("Get_Invoice", &C::Get_Invoice)
        .Method("Process_Invoice", &C::Process_Invoice)
        .Method("GetFldValue", &C::GetFldValue)
        .Method("ExistDocument", &C::ExistDocument);
  });
  return table;
}

}  // namespace qlnsales
