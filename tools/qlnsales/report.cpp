// The reports read from the ledger, the documents, the stock tables and the customers, and the
// list of every report by name. The receivable reports (statement, aging) are in
// report_receivables.cpp.
#include "report.h"

#include <fmt/core.h>

#include "base/convert.h"
#include "report_rows.h"
#include "services/books_check.h"

namespace qlnsales::cli {
namespace {

using enum ColumnKind;

}  // namespace

Report TrialBalanceReport(Connection& conn, const ReportOptions& options) {
  // Balances come from the ledger lines rather than the running balance, so that --as-of can cut
  // them; the books check holds the two equal.
  std::vector<Value> params;
  std::string lines_on = "G.Account_No = A.Account_No";
  if (options.as_of) {
    lines_on += " AND G.GL_Date < ?";
    params.emplace_back(DayAfter(*options.as_of));
  }
  auto rs = conn.Query(
      "SELECT A.Account_No, A.Account_Name, COALESCE(A.Opening_Balance, 0) + "
      "COALESCE(SUM(G.Debit_Amount - G.Credit_Amount), 0) AS Balance FROM Chart_Of_Accounts A "
      "LEFT JOIN General_Ledger G ON " +
          lines_on +
          " GROUP BY A.Account_No, A.Account_Name, A.Opening_Balance ORDER BY A.Account_No",
      params);
  Section s{"trial_balance",
            options.as_of ? "Trial balance on " + convert::FormatDayMonthName(*options.as_of)
                          : "Trial balance (opening balances and postings)",
            {{"account", "Account", Text},
             {"name", "Name", Text},
             {"debit", "Debit", Number},
             {"credit", "Credit", Number}},
            {},
            {}};
  double debits = 0, credits = 0;
  for (std::size_t i = 0; i < rs.size(); ++i) {
    Row r = rs[i];
    double balance = Rounded(r.Double("Balance"), options.decimals);
    if (balance == 0) continue;
    double debit = balance > 0 ? balance : 0.0, credit = balance < 0 ? -balance : 0.0;
    debits += debit;
    credits += credit;
    s.rows.push_back({r["Account_No"], r["Account_Name"], debit, credit});
  }
  s.totals = {"Total", Value(), debits, credits};
  return {"trial-balance", {std::move(s)}, options.decimals};
}

Report LedgerReport(Connection& conn, const ReportOptions& options) {
  std::vector<Value> params;
  std::string where;
  if (options.as_of) {
    where = " WHERE GL_Date < ?";
    params.emplace_back(DayAfter(*options.as_of));
  }
  // Undated lines first on both engines (they disagree on where nulls sort), then by date, then
  // in the order they were posted.
  Section s = SectionFromQuery(
      "ledger", "Ledger lines",
      {{"date", "Date", Day},
       {"document", "Document", Text},
       {"account", "Account", Text},
       {"description", "Description", Text},
       {"debit", "Debit", Number},
       {"credit", "Credit", Number}},
      conn.Query("SELECT GL_Date, Document_No, Account_No, GL_Description, Debit_Amount, "
                 "Credit_Amount FROM General_Ledger" +
                     where +
                     " ORDER BY CASE WHEN GL_Date IS NULL THEN 0 ELSE 1 END, GL_Date, GL_ID",
                 params));
  s.totals = {"Total", Value(), Value(), Value(), ColumnSum(s, 4), ColumnSum(s, 5)};
  return {"ledger", {std::move(s)}, options.decimals};
}

Report DocumentsReport(Connection& conn, const ReportOptions& options) {
  // Each document class in its own table; Kind keeps them in the order a sale goes through.
  std::string sql =
      "SELECT 1 AS Kind, 'Sales order' AS Document, Sales_Ord_No AS Number, Sales_Ord_Date AS "
      "Day, Customer_Code, Sales_Ord_Total_Amount AS Total FROM Sales_Order_Master UNION ALL "
      "SELECT 2, 'Delivery', Delivery_No, Delivery_Date, Customer_Code, Delivery_Total_Amount "
      "FROM Delivery_Master UNION ALL SELECT 3, 'Direct delivery', Direct_Delivery_No, "
      "Direct_Delivery_Date, Customer_Code, Direct_Delivery_Total_Amount FROM "
      "Direct_Delivery_Master UNION ALL SELECT 4, 'Cash memo', Cash_Memo_No, Cash_Memo_Date, "
      "Customer_Code, Cash_Memo_Total_Amount FROM Cash_Memo_Master UNION ALL SELECT 5, 'Sales "
      "invoice', Sales_Inv_No, Sales_Inv_Date, Customer_Code, Sales_Inv_Total_Amount FROM "
      "Sales_Invoice_Master UNION ALL SELECT 6, 'Sales return', Sales_Rtn_No, Sales_Rtn_Date, "
      "Customer_Code, Sales_Rtn_Total_Amount FROM Sales_Return_Master";
  std::vector<Value> params;
  std::string where;
  if (!options.customer.empty()) {
    where = " WHERE D.Customer_Code = ?";
    params.emplace_back(options.customer);
  }
  // By date (undated first on both engines), a day's documents in the order a sale goes through
  // them, and a shorter number first, so that 0101SOR9 precedes 0101SOR10.
  return {"documents",
          {SectionFromQuery(
              "documents", "Documents",
              {{"document", "Document", Text},
               {"number", "Number", Text},
               {"date", "Date", Day},
               {"customer", "Customer", Text},
               {"total", "Total", Number}},
              conn.Query("SELECT D.Document, D.Number, D.Day, D.Customer_Code, D.Total FROM (" +
                             sql + ") D" + where +
                             " ORDER BY CASE WHEN D.Day IS NULL THEN 0 ELSE 1 END, D.Day, D.Kind, "
                             "LENGTH(D.Number), D.Number",
                         params))},
          options.decimals};
}

Report StockReport(Connection& conn, const ReportOptions& options) {
  // Item types 0 and 3 are the ones kept in stock; services and the like have none.
  Section by_item = SectionFromQuery(
      "by_item", "Stock by item",
      {{"item", "Item", Text},
       {"name", "Name", Text},
       {"unit", "Unit", Text},
       {"in_hand", "In hand", Number},
       {"cost", "Cost", Number}},
      conn.Query("SELECT Item_Code, Item_Name, Unit_Name, Stock_In_Hand, Stock_Amount FROM "
                 "Item_Master WHERE Item_Type IN (0, 3) ORDER BY Item_Code"));
  by_item.totals = {"Total", Value(), Value(), Value(), ColumnSum(by_item, 4)};
  Section by_location = SectionFromQuery(
      "by_location", "Stock by location",
      {{"branch", "Branch", Text},
       {"item", "Item", Text},
       {"location", "Location", Text},
       {"quantity", "Quantity", Number}},
      conn.Query("SELECT Branch_Prefix, Item_Code, Location_Name, Quantity FROM Location_Stock "
                 "ORDER BY Branch_Prefix, Item_Code, Location_ID"));
  return {"stock", {std::move(by_item), std::move(by_location)}, options.decimals};
}

Report CustomersReport(Connection& conn, const ReportOptions& options) {
  std::vector<Value> params;
  std::string where;
  if (!options.customer.empty()) {
    where = " WHERE Customer_Code = ?";
    params.emplace_back(options.customer);
  }
  Section s = SectionFromQuery(
      "customers", "Customer balances",
      {{"customer", "Customer", Text},
       {"name", "Name", Text},
       {"currency", "Currency", Text},
       {"balance", "Balance", Number}},
      conn.Query("SELECT Customer_Code, Customer_Name, Currency_Code, COALESCE(Customer_Balance, "
                 "0) FROM Customer_Master" +
                     where + " ORDER BY Customer_Code",
                 params));
  s.totals = {"Total", Value(), Value(), ColumnSum(s, 3)};
  return {"customers", {std::move(s)}, options.decimals};
}

const std::vector<ReportDefinition>& ReportDefinitions() {
  using enum CustomerOption;
  static const std::vector<ReportDefinition> reports = {
      {"trial-balance", "every account's balance, debit or credit", true, No, TrialBalanceReport},
      {"ledger", "the ledger lines in date order", true, No, LedgerReport},
      {"documents", "every sales document with its total", false, Optional, DocumentsReport},
      {"stock", "stock by item and by location", false, No, StockReport},
      {"customers", "each customer's balance", false, Optional, CustomersReport},
      {"statement", "one customer's documents, receipts and running balance", true, Required,
       StatementReport},
      {"aging", "what each customer owes, by 0-30, 31-60, 61-90 and over 90 days", true, Optional,
       AgingReport},
  };
  return reports;
}

const ReportDefinition* FindReport(std::string_view name) {
  for (const auto& r : ReportDefinitions())
    if (r.name == name) return &r;
  return nullptr;
}

std::size_t PrintBooksCheck(Connection& conn) {
  auto report = services::InspectBooks(conn);
  fmt::print("\nBooks check\n");
  for (const auto& line : report.checked) fmt::print("  Checked {}\n", line);
  for (const auto& line : report.awaiting_synchronisation) fmt::print("  Pending: {}\n", line);
  if (report.violations.empty())
    fmt::print(
        "  The books hold: every document balances and has its postings, every account, item "
        "and customer agrees with its lines.\n");
  for (const auto& v : report.violations) fmt::print("  {}\n", v);
  return report.violations.size();
}

}  // namespace qlnsales::cli
