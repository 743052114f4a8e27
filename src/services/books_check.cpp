#include "services/books_check.h"

#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "base/convert.h"
#include "frame/numbering.h"

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

std::string Count(std::size_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A stored amount as a finite number; null counts as 0. A text (SQLite keeps what it cannot
// convert), an infinity or a NaN is none: such a row is reported once, by CheckAmounts, and left
// out of the sums compared with it.
std::optional<double> Amount(const Value& v) {
  if (v.IsEmpty()) return 0.0;
  if (!v.IsNumber()) return std::nullopt;
  double d = v.ToDouble();
  if (!std::isfinite(d)) return std::nullopt;
  return d;
}

// A bad value as it reads in a one-line message: short, and without control characters.
std::string Shown(const Value& v) {
  if (v.IsNumber()) {
    double d = v.ToDouble();
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  }
  std::string t = v.ToText();
  if (t.size() > 40) t = t.substr(0, 40) + "...";
  for (auto& c : t)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return "'" + t + "'";
}

struct AmountTable {
  const char* table;
  const char* keys;  // read with the amounts, to name the row
  std::vector<const char*> amounts;
  std::string (*name)(const Row&);
  // The account, item or customer whose running total the row's bad amount makes meaningless.
  const char* owner_kind;  // "account", "item", "customer" or nullptr
  const char* owner_column;
};

const std::vector<AmountTable>& AmountTables() {
  static const std::vector<AmountTable> tables = {
      {"Chart_Of_Accounts",
       "Account_No",
       {"Opening_Balance", "Current_Balance"},
       [](const Row& r) { return "Account " + r.Text("Account_No"); },
       "account",
       "Account_No"},
      {"General_Ledger",
       "GL_ID, Document_No, Account_No",
       {"Debit_Amount", "Credit_Amount", "FC_Debit_Amount", "FC_Credit_Amount"},
       [](const Row& r) {
         return "Ledger line " + r.Text("GL_ID") + " of document " + r.Text("Document_No");
       },
       "account",
       "Account_No"},
      {"Accounts_Receivable_Ledger",
       "ARL_ID, Document_No, Customer_Code",
       {"Debit_Amount", "Credit_Amount", "FC_Debit_Amount", "FC_Credit_Amount"},
       [](const Row& r) {
         return "Receivable line " + r.Text("ARL_ID") + " of document " + r.Text("Document_No");
       },
       "customer",
       "Customer_Code"},
      {"Customer_Master",
       "Customer_Code",
       {"Customer_Balance"},
       [](const Row& r) { return "Customer " + r.Text("Customer_Code"); },
       "customer",
       "Customer_Code"},
      {"Customer_Master_Balance",
       "Customer_Code, Branch_Prefix",
       {"Balance_Amount", "Balance_FCAmount"},
       [](const Row& r) {
         return "Balance of customer " + r.Text("Customer_Code") + " in branch " +
                r.Text("Branch_Prefix");
       },
       nullptr,
       nullptr},
      {"Item_Master",
       "Item_Code",
       {"Stock_In_Hand", "Stock_Amount"},
       [](const Row& r) { return "Item " + r.Text("Item_Code"); },
       "item",
       "Item_Code"},
      {"Stock_Movement",
       "Movement_ID, Document_No, Item_Code",
       {"Base_Qty", "In_Qty", "In_Amount", "In_Price", "Out_Qty", "Out_Amount", "Out_Price"},
       [](const Row& r) {
         return "Stock movement " + r.Text("Movement_ID") + " of document " + r.Text("Document_No");
       },
       "item",
       "Item_Code"},
      {"Location_Stock",
       "Branch_Prefix, Item_Code, Location_ID",
       {"Quantity"},
       [](const Row& r) {
         return "Location stock of item " + r.Text("Item_Code") + " at location " +
                r.Text("Location_ID") + " of branch " + r.Text("Branch_Prefix");
       },
       nullptr,
       nullptr},
  };
  return tables;
}

// The documents of the module, with what their processing leaves behind.
struct DocumentKind {
  const char* name;    // "Delivery"
  const char* plural;  // "deliveries"
  const char* master;
  const char* detail;
  const char* number;  // the number column of both tables
  // Processing refuses a document without lines, so a processed one has them.
  bool lines_when_processed;
  // Processing takes the stock lines out of stock: a movement each, and the cost pair.
  bool posts_goods;
  // A delivery made from a cash memo posts nothing: the memo took the goods out of stock.
  bool exempt_from_cash_memo;
  // Processing bills the customer: a receivable line and the ledger lines under its number.
  bool posts_receivable;
};

// A processed sales return is held to its own postings (CheckReturnPostings). A cash memo's goods
// leave stock with it only in part (a memo made from a delivery takes nothing out, one made from an
// order only what the order had not delivered), so its postings are held by its ledger lines
// balancing; its lines and header are checked as every document's.
const DocumentKind kDocumentKinds[] = {
    {"Sales order", "sales orders", "Sales_Order_Master", "Sales_Order_Detail", "Sales_Ord_No",
     true, false, false, false},
    {"Delivery", "deliveries", "Delivery_Master", "Delivery_Detail", "Delivery_No", true, true,
     true, false},
    {"Direct delivery", "direct deliveries", "Direct_Delivery_Master", "Direct_Delivery_Detail",
     "Direct_Delivery_No", false, true, false, false},
    {"Cash memo", "cash memos", "Cash_Memo_Master", "Cash_Memo_Detail", "Cash_Memo_No", false,
     false, false, false},
    // An opening-balance invoice has no lines and posts its receivable alone; only an invoice
    // billing delivery lines is held to the postings of processing.
    {"Sales invoice", "sales invoices", "Sales_Invoice_Master", "Sales_Invoice_Detail",
     "Sales_Inv_No", false, false, false, true},
    {"Sales return", "sales returns", "Sales_Return_Master", "Sales_Return_Detail", "Sales_Rtn_No",
     false, false, false, false},
};

std::string Lower(const char* text) {
  return convert::LCase(text);
}

class Inspection {
 public:
  explicit Inspection(Connection& conn) : conn_(conn) {}

  BooksReport Run() {
    CheckAmounts();
    CheckLedger();
    CheckStock();
    CheckReceivables();
    CheckDocuments();
    CheckVouchers();
    return std::move(report_);
  }

 private:
  void Violation(std::string text) { report_.violations.push_back(std::move(text)); }

  void CheckAmounts() {
    std::size_t values = 0;
    for (const auto& t : AmountTables()) {
      std::string sql = std::string("SELECT ") + t.keys;
      for (const char* c : t.amounts) sql += std::string(", ") + c;
      sql += std::string(" FROM ") + t.table + " ORDER BY " + t.keys;
      auto rs = conn_.Query(sql);
      values += rs.size() * t.amounts.size();
      for (std::size_t i = 0; i < rs.size(); ++i) {
        Row r = rs[i];
        for (const char* c : t.amounts) {
          if (Amount(r[c])) continue;
          Violation(t.name(r) + ": " + c + " is " + Shown(r[c]) + ", not a finite number");
          if (t.owner_kind) tainted_[t.owner_kind].insert(r.Text(t.owner_column));
        }
      }
    }
    report_.checked.push_back("amounts: " + Count(values, "value", "values") + " in " +
                              std::to_string(AmountTables().size()) + " tables");
  }

  bool Tainted(const char* kind, const std::string& key) const {
    auto it = tainted_.find(kind);
    return it != tainted_.end() && it->second.contains(key);
  }

  void CheckLedger() {
    auto docs = conn_.Query(
        "SELECT Document_No, COUNT(*) AS Lines, SUM(Debit_Amount) AS Debits, SUM(Credit_Amount) "
        "AS Credits FROM General_Ledger GROUP BY Document_No ORDER BY Document_No");
    std::size_t lines = 0;
    for (std::size_t i = 0; i < docs.size(); ++i) {
      Row r = docs[i];
      ledger_documents_.insert(r.Text("Document_No"));
      lines += static_cast<std::size_t>(r.Int64("Lines"));
      auto debits = Amount(r["Debits"]), credits = Amount(r["Credits"]);
      if (debits && credits && Differs(*debits, *credits))
        Violation("Ledger lines of document " + r.Text("Document_No") + " do not balance: debits " +
                  N(*debits) + ", credits " + N(*credits));
    }

    auto accounts = conn_.Query(
        "SELECT A.Account_No, A.Current_Balance, COALESCE(SUM(G.Debit_Amount - G.Credit_Amount), "
        "0) AS Lines FROM Chart_Of_Accounts A LEFT JOIN General_Ledger G ON G.Account_No = "
        "A.Account_No GROUP BY A.Account_No, A.Current_Balance ORDER BY A.Account_No");
    for (std::size_t i = 0; i < accounts.size(); ++i) {
      Row r = accounts[i];
      auto balance = Amount(r["Current_Balance"]), sum = Amount(r["Lines"]);
      if (!balance || !sum || Tainted("account", r.Text("Account_No"))) continue;
      if (Differs(*balance, *sum))
        Violation("Account " + r.Text("Account_No") + " has balance " + N(*balance) +
                  " but its ledger lines sum to " + N(*sum));
    }
    auto strays = conn_.Query(
        "SELECT DISTINCT G.Account_No, G.Document_No FROM General_Ledger G LEFT JOIN "
        "Chart_Of_Accounts A ON A.Account_No = G.Account_No WHERE A.Account_No IS NULL ORDER BY "
        "G.Account_No, G.Document_No");
    for (std::size_t i = 0; i < strays.size(); ++i)
      Violation("Ledger line of document " + strays[i].Text("Document_No") + " names account " +
                strays[i].Text("Account_No") + ", which is not in the chart of accounts");
    report_.checked.push_back("ledger: " + Count(accounts.size(), "account", "accounts") + ", " +
                              Count(lines, "ledger line", "ledger lines") + " of " +
                              Count(docs.size(), "document", "documents"));
  }

  void CheckStock() {
    auto items = conn_.Query(
        "SELECT I.Item_Code, I.Stock_In_Hand, I.Stock_Amount, COALESCE(SUM(M.Base_Qty), 0) AS "
        "Moved, COALESCE(SUM(M.In_Amount - M.Out_Amount), 0) AS Moved_Amount FROM Item_Master I "
        "LEFT JOIN Stock_Movement M ON M.Item_Code = I.Item_Code GROUP BY I.Item_Code, "
        "I.Stock_In_Hand, I.Stock_Amount ORDER BY I.Item_Code");
    for (std::size_t i = 0; i < items.size(); ++i) {
      Row r = items[i];
      if (Tainted("item", r.Text("Item_Code"))) continue;
      auto in_hand = Amount(r["Stock_In_Hand"]), moved = Amount(r["Moved"]);
      if (in_hand && moved && Differs(*in_hand, *moved))
        Violation("Item " + r.Text("Item_Code") + " has " + N(*in_hand) +
                  " in stock but its movements sum to " + N(*moved));
      auto amount = Amount(r["Stock_Amount"]), moved_amount = Amount(r["Moved_Amount"]);
      if (amount && moved_amount && Differs(*amount, *moved_amount))
        Violation("Item " + r.Text("Item_Code") + " has stock amount " + N(*amount) +
                  " but its movements' amounts sum to " + N(*moved_amount));
    }
    auto orphans = conn_.Query(
        "SELECT M.Movement_ID, M.Document_No, M.Item_Code FROM Stock_Movement M LEFT JOIN "
        "Item_Master I ON I.Item_Code = M.Item_Code WHERE I.Item_Code IS NULL ORDER BY "
        "M.Movement_ID");
    for (std::size_t i = 0; i < orphans.size(); ++i)
      Violation("Stock movement " + orphans[i].Text("Movement_ID") + " of document " +
                orphans[i].Text("Document_No") + " names item " + orphans[i].Text("Item_Code") +
                ", which is not in the item master");

    auto moves = conn_.Query(
        "SELECT Document_No, Item_Code, COUNT(*) AS Moves, SUM(Base_Qty) AS Moved FROM "
        "Stock_Movement GROUP BY Document_No, Item_Code");
    std::size_t total = 0;
    for (std::size_t i = 0; i < moves.size(); ++i) {
      Row r = moves[i];
      const auto n = static_cast<std::size_t>(r.Int64("Moves"));
      movements_[{r.Text("Document_No"), r.Text("Item_Code")}] = n;
      if (auto moved = Amount(r["Moved"]))
        moved_qty_[{r.Text("Document_No"), r.Text("Item_Code")}] = *moved;
      moved_documents_.insert(r.Text("Document_No"));
      total += n;
    }
    report_.checked.push_back("stock: " + Count(items.size(), "item", "items") + ", " +
                              Count(total, "stock movement", "stock movements"));
  }

  void CheckReceivables() {
    auto customers = conn_.Query(
        "SELECT C.Customer_Code, C.Customer_Balance, COALESCE(SUM(L.Debit_Amount - "
        "L.Credit_Amount), 0) AS Lines FROM Customer_Master C LEFT JOIN "
        "Accounts_Receivable_Ledger L ON L.Customer_Code = C.Customer_Code GROUP BY "
        "C.Customer_Code, C.Customer_Balance ORDER BY C.Customer_Code");
    for (std::size_t i = 0; i < customers.size(); ++i) {
      Row r = customers[i];
      auto balance = Amount(r["Customer_Balance"]), sum = Amount(r["Lines"]);
      if (!balance || !sum || Tainted("customer", r.Text("Customer_Code"))) continue;
      if (Differs(*balance, *sum))
        Violation("Customer " + r.Text("Customer_Code") + " has balance " + N(*balance) +
                  " but its receivable lines sum to " + N(*sum));
    }
    auto orphans = conn_.Query(
        "SELECT L.ARL_ID, L.Document_No, L.Customer_Code FROM Accounts_Receivable_Ledger L LEFT "
        "JOIN Customer_Master C ON C.Customer_Code = L.Customer_Code WHERE C.Customer_Code IS "
        "NULL ORDER BY L.ARL_ID");
    for (std::size_t i = 0; i < orphans.size(); ++i)
      Violation("Receivable line " + orphans[i].Text("ARL_ID") + " of document " +
                orphans[i].Text("Document_No") + " names customer " +
                orphans[i].Text("Customer_Code") + ", which is not in the customer master");
    auto documents = conn_.Query("SELECT DISTINCT Document_No FROM Accounts_Receivable_Ledger");
    for (std::size_t i = 0; i < documents.size(); ++i)
      receivable_documents_.insert(documents[i].Text("Document_No"));
    auto lines = conn_.Query("SELECT COUNT(*) AS N FROM Accounts_Receivable_Ledger");
    report_.checked.push_back("receivables: " + Count(customers.size(), "customer", "customers") +
                              ", " +
                              Count(static_cast<std::size_t>(lines.front().Int64("N")),
                                    "receivable line", "receivable lines"));
  }

  void CheckDocuments() {
    std::string summary;
    for (const auto& k : kDocumentKinds) {
      const std::string master = k.master, detail = k.detail, number = k.number;
      auto orphans =
          conn_.Query("SELECT D.SL_No, D." + number + " AS Number FROM " + detail +
                      " D LEFT JOIN " + master + " M ON M." + number + " = D." + number +
                      " WHERE M." + number + " IS NULL ORDER BY D." + number + ", D.SL_No");
      for (std::size_t i = 0; i < orphans.size(); ++i)
        Violation("Line " + orphans[i].Text("SL_No") + " of " + detail + " belongs to " +
                  Lower(k.name) + " " + orphans[i].Text("Number") + ", which has no header");

      auto headers = conn_.Query("SELECT M." + number + " AS Number, (SELECT COUNT(*) FROM " +
                                 detail + " D WHERE D." + number + " = M." + number +
                                 ") AS Lines FROM " + master + " M ORDER BY M." + number);
      std::size_t processed = 0;
      for (std::size_t i = 0; i < headers.size(); ++i) {
        Row r = headers[i];
        if (!IsFinalNumber(r.Text("Number"))) continue;
        ++processed;
        if (k.lines_when_processed && r.Int64("Lines") == 0)
          Violation(std::string(k.name) + " " + r.Text("Number") +
                    " is processed but has no lines");
        if (k.posts_receivable && r.Int64("Lines") > 0)
          CheckReceivablePostings(k, r.Text("Number"));
      }
      if (k.posts_goods) CheckGoodsPostings(k);
      summary += (summary.empty() ? "" : ", ") + std::to_string(headers.size()) + " " +
                 (headers.size() == 1 ? Lower(k.name) : std::string(k.plural)) + " (" +
                 std::to_string(processed) + " processed)";
    }
    report_.checked.push_back("documents: " + summary);
    CheckInvoicedQuantities();
    CheckReturnedQuantities();
    CheckReturnPostings();
  }

  // A source line never takes back more than it holds: returned quantities count base units.
  // (A point-of-sale memo's line of goods coming back holds less than nothing, and returns none.)
  void CheckReturnedQuantities() {
    for (const auto& [detail, number, quantity] :
         {std::tuple{"Sales_Invoice_Detail", "Sales_Inv_No", "Sales_Inv_Qty"},
          std::tuple{"Direct_Sales_Invoice_Detail", "Dir_Sales_Inv_No", "Sales_Inv_Qty"},
          std::tuple{"Cash_Memo_Detail", "Cash_Memo_No", "Cash_Memo_Qty"},
          std::tuple{"Delivery_Detail", "Delivery_No", "Delivery_Qty"},
          std::tuple{"Direct_Delivery_Detail", "Direct_Delivery_No", "Direct_Delivery_Qty"}}) {
      auto lines = conn_.Query(std::string("SELECT ") + number + " AS Number, SL_No, Return_Qty, " +
                               quantity + " * Unit_Qty AS Base FROM " + detail +
                               " WHERE Return_Qty > 0 AND Return_Qty > " + quantity +
                               " * Unit_Qty ORDER BY " + number + ", SL_No");
      for (std::size_t i = 0; i < lines.size(); ++i) {
        Row r = lines[i];
        const double base = r.Double("Base");
        if (r.Double("Return_Qty") <= base + 1e-9 * std::max(1.0, std::fabs(base))) continue;
        Violation("Line " + r.Text("SL_No") + " of " + detail + " " + r.Text("Number") + " has " +
                  N(r.Double("Return_Qty")) + " returned, more than the " + N(base) + " it holds");
      }
    }
  }

  // A processed return posted its goods back: each line a cost pair under its number, each stock
  // line (an item of type 0 or 3) its base quantity moved in. With none of them it awaits its
  // synchronisation; ledger lines or movements without the rest are a violation.
  void CheckReturnPostings() {
    auto lines = conn_.Query(
        "SELECT D.Sales_Rtn_No AS Number, D.Item_Code, D.Sales_Rtn_Qty * D.Unit_Qty AS Base, "
        "I.Item_Code AS Known_Item, I.Item_Type FROM Sales_Return_Detail D LEFT JOIN Item_Master "
        "I ON I.Item_Code = D.Item_Code ORDER BY D.Sales_Rtn_No, D.SL_No");
    std::map<std::string, std::map<std::string, double>> returns;  // by number, base by item
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Row r = lines[i];
      const std::string no = r.Text("Number");
      if (!IsFinalNumber(no)) continue;
      auto& items = returns[no];
      if (r.IsNull("Known_Item")) continue;
      const auto type_number = Amount(r["Item_Type"]);
      const double type = type_number ? *type_number : 0;
      if (type != 0 && type != 3) continue;
      auto base = Amount(r["Base"]);
      items[r.Text("Item_Code")] += base ? *base : 0;
    }
    for (const auto& [no, items] : returns) {
      const bool moved = moved_documents_.contains(no), ledger = ledger_documents_.contains(no);
      const std::string doc = "Sales return " + no;
      if (!moved && !ledger) {
        report_.awaiting_synchronisation.push_back(
            doc + " is processed off-line: no postings until it is synchronised");
        continue;
      }
      if (!ledger) Violation(doc + " is processed but has no ledger lines");
      for (const auto& [item, wanted] : items) {
        auto it = moved_qty_.find({no, item});
        const double found = it == moved_qty_.end() ? 0 : it->second;
        if (Differs(found, wanted))
          Violation(doc + " is processed but moved " + N(found) + " of item " + item +
                    " into stock for " + N(wanted) + " returned");
      }
    }
  }

  // A processed credit-memo voucher (process_Flag set by its posting) has ledger lines under its
  // number, which balance as every document's, and the receivable lines that credit its customer
  // what its customer lines say. One not processed yet is still being written and owes nothing.
  void CheckVouchers() {
    auto orphans = conn_.Query(
        "SELECT D.SL_No, D.Voucher_No FROM Voucher_Detail D LEFT JOIN Voucher_Master M ON "
        "M.Voucher_No = D.Voucher_No WHERE M.Voucher_No IS NULL ORDER BY D.Voucher_No, D.SL_No");
    for (std::size_t i = 0; i < orphans.size(); ++i)
      Violation("Line " + orphans[i].Text("SL_No") + " of Voucher_Detail belongs to voucher " +
                orphans[i].Text("Voucher_No") + ", which has no header");

    std::map<std::string, std::optional<double>> credited;  // by document: credits less debits
    auto receivables = conn_.Query(
        "SELECT Document_No, SUM(Credit_Amount - Debit_Amount) AS Net FROM "
        "Accounts_Receivable_Ledger GROUP BY Document_No");
    for (std::size_t i = 0; i < receivables.size(); ++i)
      credited[receivables[i].Text("Document_No")] = Amount(receivables[i]["Net"]);

    auto vouchers = conn_.Query(
        "SELECT M.Voucher_No, M.process_Flag, (SELECT COALESCE(SUM(D.Credit_Amount - "
        "D.Debit_Amount), 0) FROM Voucher_Detail D WHERE D.Voucher_No = M.Voucher_No AND "
        "D.Voucher_Type = 'Customer') AS Owed FROM Voucher_Master M ORDER BY M.Voucher_No");
    std::size_t processed = 0;
    for (std::size_t i = 0; i < vouchers.size(); ++i) {
      Row r = vouchers[i];
      if (r.Int32("process_Flag") == 0) continue;
      ++processed;
      const std::string no = r.Text("Voucher_No");
      const std::string doc = "Credit memo " + no;
      if (!ledger_documents_.contains(no)) Violation(doc + " is processed but has no ledger lines");
      auto it = credited.find(no);
      if (it == credited.end()) {
        Violation(doc + " is processed but has no receivable line");
        continue;
      }
      auto owed = Amount(r["Owed"]);
      if (it->second && owed && Differs(*it->second, *owed))
        Violation(doc + " credits its customer " + N(*it->second) +
                  " in the receivables but its customer lines credit " + N(*owed));
    }
    report_.checked.push_back("credit memos: " + Count(vouchers.size(), "voucher", "vouchers") +
                              " (" + std::to_string(processed) + " processed)");
  }

  // A delivery line is never billed beyond what it delivered.
  void CheckInvoicedQuantities() {
    for (const auto& [detail, number, quantity] :
         {std::tuple{"Delivery_Detail", "Delivery_No", "Delivery_Qty"},
          std::tuple{"Direct_Delivery_Detail", "Direct_Delivery_No", "Direct_Delivery_Qty"}}) {
      auto lines =
          conn_.Query(std::string("SELECT ") + number + " AS Number, SL_No, " + "Invoiced_Qty, " +
                      quantity + " AS Delivered FROM " + detail + " WHERE Invoiced_Qty > " +
                      quantity + " ORDER BY " + number + ", SL_No");
      for (std::size_t i = 0; i < lines.size(); ++i) {
        Row r = lines[i];
        if (r.Double("Invoiced_Qty") <= r.Double("Delivered") + 1e-9) continue;
        Violation("Line " + r.Text("SL_No") + " of " + detail + " " + r.Text("Number") +
                  " is invoiced " + N(r.Double("Invoiced_Qty")) + ", more than the " +
                  N(r.Double("Delivered")) + " delivered");
      }
    }
  }

  // A processed document that bills its customer has a receivable line and ledger lines (which
  // balance, as every document's) under its number, or neither while it awaits synchronisation.
  void CheckReceivablePostings(const DocumentKind& k, const std::string& no) {
    const bool receivable = receivable_documents_.contains(no),
               ledger = ledger_documents_.contains(no);
    const std::string doc = std::string(k.name) + " " + no;
    if (!receivable && !ledger)
      report_.awaiting_synchronisation.push_back(
          doc + " is processed off-line: no postings until it is synchronised");
    else if (!receivable)
      Violation(doc + " is processed but has no receivable line");
    else if (!ledger)
      Violation(doc + " is processed but has no ledger lines");
  }

  // The processed documents' stock lines against the movements and ledger lines under their
  // numbers (see InspectBooks).
  void CheckGoodsPostings(const DocumentKind& k) {
    const std::string master = k.master, detail = k.detail, number = k.number;
    const std::string source =
        k.exempt_from_cash_memo
            ? "CASE WHEN EXISTS (SELECT 1 FROM Sales_Order_Master S WHERE S.Sales_Ord_No = "
              "M.Source_No) THEN 0 WHEN EXISTS (SELECT 1 FROM Cash_Memo_Master C WHERE "
              "C.Cash_Memo_No = M.Source_No) THEN 1 ELSE 0 END"
            : "0";
    auto lines = conn_.Query("SELECT M." + number + " AS Number, " + source +
                             " AS From_Cash_Memo, D.SL_No, D.Item_Code, D.Inventory_Value, "
                             "I.Item_Code AS Known_Item, I.Item_Type FROM " +
                             master + " M JOIN " + detail + " D ON D." + number + " = M." + number +
                             " LEFT JOIN Item_Master I ON I.Item_Code = D.Item_Code "
                             "ORDER BY M." +
                             number + ", D.SL_No");
    struct Expected {
      std::map<std::string, std::size_t> stock_lines;  // by item
      bool costed = false;  // a line of type 0: the cost pair goes to the ledger
      bool valued = false;  // a line carries the value it left stock at
      bool exempt = false;
    };
    std::map<std::string, Expected> documents;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Row r = lines[i];
      const std::string no = r.Text("Number");
      if (!IsFinalNumber(no)) continue;
      Expected& e = documents[no];
      e.exempt = r.Int32("From_Cash_Memo") != 0;
      auto value = Amount(r["Inventory_Value"]);
      if (!value || *value != 0) e.valued = true;
      if (r.IsNull("Known_Item")) continue;  // processing refuses an unknown item on-line
      // A type that is no number (SQLite keeps any text) counts as 0, like a type not set.
      const auto type_number = Amount(r["Item_Type"]);
      const double type = type_number ? *type_number : 0;
      if (type != 0 && type != 3) continue;
      ++e.stock_lines[r.Text("Item_Code")];
      if (type == 0) e.costed = true;
    }
    for (const auto& [no, e] : documents) {
      if (e.exempt || e.stock_lines.empty()) continue;
      const bool moved = moved_documents_.contains(no), ledger = ledger_documents_.contains(no);
      const std::string doc = std::string(k.name) + " " + no;
      if (!moved && !ledger) {
        if (e.valued)
          Violation(doc + " is processed and its lines carry their cost, but it has no postings");
        else
          report_.awaiting_synchronisation.push_back(
              doc + " is processed off-line: no postings until it is synchronised");
        continue;
      }
      for (const auto& [item, wanted] : e.stock_lines) {
        auto it = movements_.find({no, item});
        const std::size_t found = it == movements_.end() ? 0 : it->second;
        if (found < wanted)
          Violation(doc + " is processed but has " +
                    Count(found, "stock movement", "stock movements") + " of item " + item +
                    " for " + Count(wanted, "stock line", "stock lines"));
      }
      if (e.costed && !ledger) Violation(doc + " is processed but has no ledger lines");
    }
  }

  Connection& conn_;
  BooksReport report_;
  std::map<std::string, std::set<std::string>> tainted_;  // by owner kind
  std::set<std::string> ledger_documents_, moved_documents_, receivable_documents_;
  std::map<std::pair<std::string, std::string>, std::size_t> movements_;  // by document, item
  std::map<std::pair<std::string, std::string>, double> moved_qty_;       // by document, item
};

}  // namespace

BooksReport InspectBooks(Connection& conn) {
  return Inspection(conn).Run();
}

std::vector<std::string> CheckBooks(Connection& conn) {
  return InspectBooks(conn).violations;
}

}  // namespace qlnsales::services
