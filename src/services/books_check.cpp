#include "services/books_check.h"

#include <cmath>

#include "base/convert.h"

namespace qlnsales::services {
namespace {

// Sums of amounts rounded to a few decimals may differ from a stored running total in the last
// bits only.
bool Differs(double a, double b) {
  return std::fabs(a - b) > 1e-6 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

std::string N(double v) {
  return convert::NumberToText(convert::RoundHalfEven(v, 6));
}

}  // namespace

std::vector<std::string> CheckBooks(Connection& conn) {
  std::vector<std::string> out;

  auto docs = conn.Query(
      "SELECT Document_No, SUM(Debit_Amount) AS Debits, SUM(Credit_Amount) AS Credits FROM "
      "General_Ledger GROUP BY Document_No ORDER BY Document_No");
  for (std::size_t i = 0; i < docs.size(); ++i) {
    Row r = docs[i];
    if (Differs(r.Double("Debits"), r.Double("Credits")))
      out.push_back("Ledger lines of document " + r.Text("Document_No") +
                    " do not balance: debits " + N(r.Double("Debits")) + ", credits " +
                    N(r.Double("Credits")));
  }

  auto accounts = conn.Query(
      "SELECT A.Account_No, A.Current_Balance, COALESCE(SUM(G.Debit_Amount - G.Credit_Amount), 0) "
      "AS Lines FROM Chart_Of_Accounts A LEFT JOIN General_Ledger G ON G.Account_No = A.Account_No "
      "GROUP BY A.Account_No, A.Current_Balance ORDER BY A.Account_No");
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    Row r = accounts[i];
    if (Differs(r.Double("Current_Balance"), r.Double("Lines")))
      out.push_back("Account " + r.Text("Account_No") + " has balance " +
                    N(r.Double("Current_Balance")) + " but its ledger lines sum to " +
                    N(r.Double("Lines")));
  }
  auto strays = conn.Query(
      "SELECT DISTINCT G.Account_No, G.Document_No FROM General_Ledger G LEFT JOIN "
      "Chart_Of_Accounts A ON A.Account_No = G.Account_No WHERE A.Account_No IS NULL ORDER BY "
      "G.Account_No, G.Document_No");
  for (std::size_t i = 0; i < strays.size(); ++i)
    out.push_back("Ledger line of document " + strays[i].Text("Document_No") + " names account " +
                  strays[i].Text("Account_No") + ", which is not in the chart of accounts");

  auto items = conn.Query(
      "SELECT I.Item_Code, I.Stock_In_Hand, COALESCE(SUM(M.Base_Qty), 0) AS Moved FROM "
      "Item_Master I LEFT JOIN Stock_Movement M ON M.Item_Code = I.Item_Code GROUP BY "
      "I.Item_Code, I.Stock_In_Hand ORDER BY I.Item_Code");
  for (std::size_t i = 0; i < items.size(); ++i) {
    Row r = items[i];
    if (Differs(r.Double("Stock_In_Hand"), r.Double("Moved")))
      out.push_back("Item " + r.Text("Item_Code") + " has " + N(r.Double("Stock_In_Hand")) +
                    " in stock but its movements sum to " + N(r.Double("Moved")));
  }

  auto customers = conn.Query(
      "SELECT C.Customer_Code, COALESCE(C.Customer_Balance, 0) AS Balance, "
      "COALESCE(SUM(L.Debit_Amount - L.Credit_Amount), 0) AS Lines FROM Customer_Master C LEFT "
      "JOIN Accounts_Receivable_Ledger L ON L.Customer_Code = C.Customer_Code GROUP BY "
      "C.Customer_Code, C.Customer_Balance ORDER BY C.Customer_Code");
  for (std::size_t i = 0; i < customers.size(); ++i) {
    Row r = customers[i];
    if (Differs(r.Double("Balance"), r.Double("Lines")))
      out.push_back("Customer " + r.Text("Customer_Code") + " has balance " +
                    N(r.Double("Balance")) + " but its receivable lines sum to " +
                    N(r.Double("Lines")));
  }
  return out;
}

}  // namespace qlnsales::services
