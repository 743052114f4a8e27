#include "report.h"

#include <fmt/core.h>

#include "base/convert.h"
#include "services/books_check.h"

namespace qlnsales::cli {

void PrintTable(const std::string& title, const ResultSet& rs, int decimals) {
  fmt::print("\n{}\n", title);
  if (rs.empty()) {
    fmt::print("  (none)\n");
    return;
  }
  std::vector<std::vector<std::string>> cells;
  std::vector<bool> numeric(rs.columns.size(), true);
  for (const auto& row : rs.rows) {
    std::vector<std::string> line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const Value& v = row[c];
      if (v.IsNumber() && v.kind() == Value::Kind::Double) {
        line.push_back(fmt::format("{:.{}f}", v.ToDouble(), decimals));
      } else {
        if (!v.IsNumber() && !v.IsEmpty()) numeric[c] = false;
        line.push_back(v.kind() == Value::Kind::Date ? convert::FormatDayMonthName(v.ToDate())
                                                     : v.ToText());
      }
    }
    cells.push_back(std::move(line));
  }
  std::vector<std::size_t> width(rs.columns.size());
  for (std::size_t c = 0; c < width.size(); ++c) {
    width[c] = rs.columns[c].size();
    for (const auto& line : cells) width[c] = std::max(width[c], line[c].size());
  }
  auto print_line = [&](const std::vector<std::string>& line) {
    std::string out = " ";
    for (std::size_t c = 0; c < line.size(); ++c)
      out += numeric[c] ? fmt::format(" {:>{}}", line[c], width[c])
                        : fmt::format(" {:<{}}", line[c], width[c]);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    fmt::print("{}\n", out);
  };
  print_line(rs.columns);
  std::vector<std::string> rule;
  for (auto w : width) rule.emplace_back(w, '-');
  print_line(rule);
  for (const auto& line : cells) print_line(line);
}

void PrintDocuments(Connection& conn) {
  PrintTable(
      "Documents",
      conn.Query("SELECT 'Sales order' AS Document, Sales_Ord_No AS Number, Customer_Code AS "
                 "Customer, Sales_Ord_Total_Amount AS Total FROM Sales_Order_Master UNION ALL "
                 "SELECT 'Delivery', Delivery_No, Customer_Code, Delivery_Total_Amount FROM "
                 "Delivery_Master UNION ALL SELECT 'Direct delivery', Direct_Delivery_No, "
                 "Customer_Code, Direct_Delivery_Total_Amount FROM Direct_Delivery_Master UNION "
                 "ALL SELECT 'Cash memo', Cash_Memo_No, Customer_Code, Cash_Memo_Total_Amount "
                 "FROM Cash_Memo_Master UNION ALL SELECT 'Sales invoice', Sales_Inv_No, "
                 "Customer_Code, Sales_Inv_Total_Amount FROM Sales_Invoice_Master UNION ALL "
                 "SELECT 'Sales return', Sales_Rtn_No, Customer_Code, Sales_Rtn_Total_Amount "
                 "FROM Sales_Return_Master ORDER BY 2"));
}

void PrintLedger(Connection& conn) {
  PrintTable("Ledger lines",
             conn.Query("SELECT Document_No AS Document, Account_No AS Account, GL_Description "
                        "AS Description, Debit_Amount AS Debit, Credit_Amount AS Credit FROM "
                        "General_Ledger ORDER BY GL_ID"));
}

void PrintTrialBalance(Connection& conn) {
  PrintTable("Trial balance (opening balances and postings)",
             conn.Query("SELECT Account_No AS Account, Account_Name AS Name, CASE WHEN B > 0 THEN "
                        "B ELSE 0.0 END AS Debit, CASE WHEN B < 0 THEN -B ELSE 0.0 END AS Credit "
                        "FROM (SELECT Account_No, Account_Name, COALESCE(Opening_Balance, 0) + "
                        "Current_Balance AS B FROM Chart_Of_Accounts) T WHERE B <> 0 ORDER BY "
                        "Account_No"));
}

void PrintStock(Connection& conn) {
  PrintTable("Stock by item",
             conn.Query("SELECT Item_Code AS Item, Item_Name AS Name, Stock_In_Hand AS "
                        "In_Hand, Stock_Amount AS Cost FROM Item_Master WHERE Item_Type IN (0, "
                        "3) ORDER BY Item_Code"));
  PrintTable("Stock by location",
             conn.Query("SELECT Branch_Prefix AS Branch, Item_Code AS Item, Location_Name AS "
                        "Location, Quantity FROM Location_Stock ORDER BY Branch_Prefix, "
                        "Item_Code, Location_ID"));
}

void PrintCustomerBalances(Connection& conn) {
  PrintTable("Customer balances",
             conn.Query("SELECT Customer_Code AS Customer, Customer_Name AS Name, "
                        "COALESCE(Customer_Balance, 0.0) AS Balance FROM Customer_Master ORDER "
                        "BY Customer_Code"));
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
