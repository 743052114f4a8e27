// The receivable reports: a customer's statement and the aging of what customers owe, both read
// from the receivable lines the receivables module writes.
#include <algorithm>
#include <map>

#include "base/convert.h"
#include "report.h"
#include "report_rows.h"

namespace qlnsales::cli {
namespace {

using enum ColumnKind;

// Undated lines first on both engines (they disagree on where nulls sort), then by date, then in
// the order they were posted.
constexpr const char* kLineOrder =
    " ORDER BY CASE WHEN L.ARL_Date IS NULL THEN 0 ELSE 1 END, L.ARL_Date, L.ARL_ID";

}  // namespace

Report StatementReport(Connection& conn, const ReportOptions& options) {
  auto customer =
      conn.Query("SELECT Customer_Code, Customer_Name FROM Customer_Master WHERE Customer_Code = ?",
                 {options.customer});
  if (customer.empty()) throw Error("there is no customer " + options.customer);
  const Row c = customer.front();

  // The series a line's document came from names its kind (invoice, receipt, return...) in the
  // words the company gave it; a receivable line knows its branch but not its company, and one
  // name is taken should two companies share a branch prefix, so that no line is shown twice.
  std::vector<Value> params = {Value(options.customer)};
  std::string sql =
      "SELECT L.ARL_Date, L.Document_No, COALESCE((SELECT MIN(P.Document_Name) FROM "
      "Document_Prefix P WHERE P.Document_Prefix = L.Document_Prefix AND P.Branch_Prefix = "
      "L.Branch_Prefix), L.Document_Prefix), L.ARL_Description, L.Debit_Amount, L.Credit_Amount "
      "FROM Accounts_Receivable_Ledger L WHERE L.Customer_Code = ?";
  if (options.as_of) {
    sql += " AND L.ARL_Date < ?";
    params.emplace_back(DayAfter(*options.as_of));
  }
  Section s = SectionFromQuery(
      "statement",
      "Statement of " + c.Text("Customer_Code") + " " + c.Text("Customer_Name") +
          (options.as_of ? " on " + convert::FormatDayMonthName(*options.as_of) : ""),
      {{"date", "Date", Day},
       {"document", "Document", Text},
       {"kind", "Kind", Text},
       {"description", "Description", Text},
       {"debit", "Debit", Number},
       {"credit", "Credit", Number}},
      conn.Query(sql + kLineOrder, params));
  s.columns.push_back({"balance", "Balance", Number});
  double balance = 0;
  for (auto& row : s.rows) {
    balance += row[4].ToDouble() - row[5].ToDouble();
    row.push_back(Rounded(balance, options.decimals));
  }
  s.totals = {"Total", Value(), Value(), Value(), ColumnSum(s, 4), ColumnSum(s, 5), balance};
  return {"statement", {std::move(s)}, options.decimals};
}

Report AgingReport(Connection& conn, const ReportOptions& options) {
  const Date as_of = options.as_of.value_or(Date::Today());
  std::vector<Value> params = {DayAfter(as_of)};
  std::string sql =
      "SELECT C.Customer_Code, C.Customer_Name, L.ARL_Date, L.Debit_Amount, L.Credit_Amount FROM "
      "Accounts_Receivable_Ledger L JOIN Customer_Master C ON C.Customer_Code = L.Customer_Code "
      "WHERE (L.ARL_Date IS NULL OR L.ARL_Date < ?)";
  if (!options.customer.empty()) {
    sql += " AND L.Customer_Code = ?";
    params.emplace_back(options.customer);
  }
  auto rs = conn.Query(sql + kLineOrder, params);

  struct Owed {
    std::string name;
    std::vector<std::pair<std::optional<Date>, double>> debts;  // oldest first
    double paid = 0;  // receipts, returns and credits, not yet set against a debt
  };
  std::map<std::string, Owed> customers;  // ordered by code
  for (std::size_t i = 0; i < rs.size(); ++i) {
    Row r = rs[i];
    Owed& owed = customers[r.Text("Customer_Code")];
    owed.name = r.Text("Customer_Name");
    double net = r.Double("Debit_Amount") - r.Double("Credit_Amount");
    if (net > 0)
      owed.debts.emplace_back(
          r.IsNull("ARL_Date") ? std::nullopt : std::optional<Date>(r.DateValue("ARL_Date")), net);
    else
      owed.paid -= net;
  }

  Section s{"aging",
            "Aging on " + convert::FormatDayMonthName(as_of),
            {{"customer", "Customer", Text},
             {"name", "Name", Text},
             {"days_0_30", "0-30", Number},
             {"days_31_60", "31-60", Number},
             {"days_61_90", "61-90", Number},
             {"over_90", "Over 90", Number},
             {"total", "Total", Number}},
            {},
            {}};
  std::vector<double> totals(5, 0.0);
  for (auto& [code, owed] : customers) {
    // Money received settles the oldest debts first; what is left of each debt is aged by its own
    // line's date. An undated debt counts as the oldest.
    std::vector<double> buckets(4, 0.0);
    for (auto& [day, amount] : owed.debts) {
      double settled = std::min(amount, owed.paid);
      owed.paid -= settled;
      long age = day ? DaysBetween(*day, as_of) : 91;
      buckets[age <= 30 ? 0 : age <= 60 ? 1 : age <= 90 ? 2 : 3] += amount - settled;
    }
    // Money received beyond every debt is an advance: the customer is owed it now.
    buckets[0] -= owed.paid;
    std::vector<Value> row = {code, owed.name};
    double total = 0;
    bool owes = false;
    for (std::size_t b = 0; b < 4; ++b) {
      double v = Rounded(buckets[b], options.decimals);
      owes = owes || v != 0;
      total += v;
      row.push_back(v);
    }
    if (!owes) continue;
    row.push_back(Rounded(total, options.decimals));
    for (std::size_t b = 0; b < 5; ++b) totals[b] += row[b + 2].ToDouble();
    s.rows.push_back(std::move(row));
  }
  s.totals = {"Total", Value()};
  for (double t : totals) s.totals.push_back(t);
  return {"aging", {std::move(s)}, options.decimals};
}

}  // namespace qlnsales::cli
