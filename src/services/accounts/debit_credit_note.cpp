// QLNAccountsExt.DebitCreditNote: posts a credit-memo voucher written under a temporary number.
// The voucher takes its final number from its series like any document, and each of its lines
// becomes a ledger line under that number; the customer's line goes to the receivable control
// account with a receivable line that takes the amount off the customer's balance.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/convert.h"
#include "db/record.h"
#include "frame/modules.h"
#include "frame/numbering.h"
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

using convert::Trim;

const NumberingTables kTables{"Voucher_Master",
                              "Voucher_No",
                              "Voucher_Identity",
                              "Voucher_Detail",
                              "Voucher_No",
                              "Invalid Voucher No",
                              "Invalid Voucher No: the voucher has no lines."};

struct Line {
  std::string sl_no;
  bool customer = false;
  std::string account;
  std::string description;
  double debit = 0, credit = 0, fc_debit = 0, fc_credit = 0;
  bool foreign = false;
};

std::vector<Line> ReadLines(Connection& conn, const std::string& voucher) {
  const auto rs = conn.Query(
      "SELECT SL_No, Voucher_Type, Account_No, Voucher_Description, Debit_Amount, Credit_Amount, "
      "FC_Debit_Amount, FC_Credit_Amount, Foreign_Currency_Flag FROM Voucher_Detail WHERE "
      "Voucher_No = ? ORDER BY SL_No",
      {Value(voucher)});
  std::vector<Line> lines;
  for (std::size_t i = 0; i < rs.size(); ++i) {
    const Row r = rs[i];
    lines.push_back(
        {r.Text("SL_No"), convert::EqualsNoCase(Trim(r.Text("Voucher_Type")), "Customer"),
         Trim(r.Text("Account_No")), r.Text("Voucher_Description"), r.Double("Debit_Amount"),
         r.Double("Credit_Amount"), r.Double("FC_Debit_Amount"), r.Double("FC_Credit_Amount"),
         r.Flag("Foreign_Currency_Flag")});
  }
  return lines;
}

bool Finite(const Line& l) {
  for (double x : {l.debit, l.credit, l.fc_debit, l.fc_credit})
    if (!std::isfinite(x) || std::fabs(x) >= 1e15) return false;
  return true;
}

class DebitCreditNote : public ServiceObject {
 public:
  // Posts the voucher `voucherNo` and leaves its final number there and in VoucherNo. "Invalid
  // Voucher No...", "Already Processed", a voucher whose lines do not balance or name no
  // customer, or the text of the numbering and posting modules.
  bool Process_Voucher(std::string& voucherNo) {
    return Trap([&] {
      auto object = std::dynamic_pointer_cast<Connection>(P("AdoConnectionObject").ToObject());
      ConnectionRef conn = connection_rule::ObjectFirst(Text("ADOConnectionString"), object);
      FinalNumbering numbering(kTables);
      if (numbering.Open(*conn, voucherNo))
        return Fail(Trim(voucherNo).empty()
                        ? std::string("Invalid Voucher No")
                        : "Invalid Voucher No: there is no voucher " + Trim(voucherNo) + ".");
      const std::string temporary = numbering.temporary_number();
      const Row master = numbering.stored();
      // The series is the voucher's own, and its number one of that series: a number made up
      // some other way would be numbered into a series nobody keeps.
      const Series series{Trim(master.Text("Company_Prefix")), Trim(master.Text("Branch_Prefix")),
                          Trim(master.Text("Document_Prefix"))};
      const std::string prefix = series.company + series.branch + series.document;
      if (series.company.size() != 2 || series.branch.size() != 2 || series.document.size() != 3 ||
          temporary.rfind(prefix, 0) != 0)
        return Fail("Invalid Voucher No: " + temporary + " is not a number of series " + prefix +
                    ".");
      if (IsFinalNumber(temporary) || master.Int32("process_Flag") != 0)
        return Fail("Already Processed");

      // Everything that can refuse the voucher is asked before anything is written.
      const auto lines = ReadLines(*conn, temporary);
      if (lines.empty()) return Fail(kTables.invalid_temporary_message);
      double debits = 0, credits = 0;
      bool has_customer = false;
      for (const auto& l : lines) {
        if (!Finite(l))
          return Fail("Invalid Amount on line " + l.sl_no + " of voucher " + temporary + ".");
        debits += l.debit;
        credits += l.credit;
        has_customer = has_customer || l.customer;
      }
      // Posted as written, so they must agree to the last digit but for the sums' own noise.
      if (std::fabs(debits - credits) >
          1e-9 * std::max({1.0, std::fabs(debits), std::fabs(credits)}))
        return Fail("Voucher " + temporary + " does not balance: debits " +
                    convert::NumberToText(convert::RoundHalfEven(debits, 10)) + ", credits " +
                    convert::NumberToText(convert::RoundHalfEven(credits, 10)) + ".");
      if (!has_customer) return Fail("Voucher " + temporary + " has no customer line.");

      auto prefs = NewModule("QLNAccounts.AccountPreferences",
                             {{"AdoConnectionObject", Value(conn)},
                              {"ConnectionString", Value(conn->ConnectionString)}});
      if (auto err =
              Call(prefs, "Get_Account_Preferences", {Value(series.company), Value(series.branch)}))
        return Fail(*err);
      const std::string receivable = Trim(prefs->Get("ARAccountNo").ToText());
      if (receivable.empty())
        return Fail("Set the Accounts Receivable Account in the Account Preferences");

      const ProcessMode mode{WorkingMode::kOnline, Flag("DocFlag"), Number("manualDocIdentity")};
      if (mode.manual) {
        // A number a person gives is a whole number from 1, and never one already taken.
        if (!(mode.manual_identity >= 1) ||
            mode.manual_identity != std::floor(mode.manual_identity))
          return Fail("Invalid Voucher No: " + convert::NumberToText(mode.manual_identity) +
                      " is not a voucher number.");
        const std::string wanted = FinalNumber(series, WholeIdentity(mode.manual_identity));
        if (!conn->Query("SELECT Voucher_No FROM Voucher_Master WHERE Voucher_No = ?",
                         {Value(wanted)})
                 .empty())
          return Fail("Voucher No " + wanted + " Already Exists");
      }

      const Value stamp = DateOrNull("LastUpdate");
      numbering.Assign(conn, series, mode, Record().Set("process_Flag", 1), stamp, stamp);
      const std::string number = numbering.number();

      LedgerHeader h{conn,
                     number,
                     series.document,
                     master.DateValue("Voucher_Date"),
                     master.Text("Currency_Code"),
                     Trim(master.Text("Currency_Symbol")),
                     false,
                     stamp};
      const std::string comments = master.Text("Voucher_Comments");
      for (const auto& l : lines) {
        h.foreign = l.foreign;
        if (l.customer) {
          PostReceivable(h, series.branch, l, receivable, comments);
          if (auto err = PostLedgerLine(h, receivable, l.description, l.debit, l.credit, l.fc_debit,
                                        l.fc_credit, comments))
            return Fail(*err);
        } else if (auto err = PostLedgerLine(h, l.account, l.description, l.debit, l.credit,
                                             l.fc_debit, l.fc_credit, comments)) {
          return Fail(*err);
        }
      }
      if (auto err = numbering.Settle()) return Fail(*err);
      voucherNo = number;
      SetP("VoucherNo", number);
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNAccountsExt.DebitCreditNote"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<DebitCreditNote> b("QLNAccountsExt.DebitCreditNote");
      WithProperties(b, {"AdoConnectionObject", "ADOConnectionString", "VoucherNo",
                         "manualDocIdentity", "DocFlag", "LastUpdate"});
      b.Method("Process_Voucher", &DebitCreditNote::Process_Voucher);
      return b.Build();
    }();
    return table;
  }

 private:
  // The customer's side of the line in the receivables: a credit lowers what the customer owes.
  void PostReceivable(const LedgerHeader& h, const std::string& branch, const Line& l,
                      const std::string& account, const std::string& comments) {
    auto ar =
        NewModule("QLNAccounts.AccountsReceivable", {{"AdoConnectionObject", Value(h.conn)},
                                                     {"DocumentNo", Value(h.document_no)},
                                                     {"DocumentPrefix", Value(h.document_prefix)},
                                                     {"ARLDate", Value(h.date)},
                                                     {"CurrencyCode", Value(h.currency_code)},
                                                     {"CurrencySymbol", Value(h.currency_symbol)},
                                                     {"ARLDescription", Value(l.description)},
                                                     {"ARLComments", Value(comments)},
                                                     {"AccountNo", Value(account)},
                                                     {"CustomerCode", Value(l.account)},
                                                     {"BranchPrefix", Value(branch)},
                                                     {"ARLCreditAmount", Value(l.credit)},
                                                     {"FCARLCreditAmount", Value(l.fc_credit)},
                                                     {"ARLDebitAmount", Value(l.debit)},
                                                     {"FCARLDebitAmount", Value(l.fc_debit)},
                                                     {"ForeignCurrencyFlag", Value(l.foreign)},
                                                     {"LastUpdate", h.last_update}});
    if (auto err = Call(ar, "AR_Insert_Transaction")) throw Error(*err);
  }
};

}  // namespace

ObjectRef NewDebitCreditNote() {
  return std::make_shared<DebitCreditNote>();
}

}  // namespace qlnsales::services
