#include "services/system/counter_transaction.h"

#include <cmath>
#include <limits>

#include "base/convert.h"

namespace qlnsales::services {
namespace {

const char* Column(bool temporary) {
  return temporary ? "Document_Temp_Next_No" : "Document_Next_No";
}

// Moves the counter on by one and answers the number it held before.
std::int32_t Advance(Connection& conn, bool temporary, const std::string& document,
                     const std::string& company, const std::string& branch) {
  const std::string col = Column(temporary);
  const std::string update = "UPDATE Document_Prefix SET " + col + " = COALESCE(" + col +
                             ", 1) + 1 WHERE Document_Prefix = ? AND Company_Prefix = ? AND "
                             "Branch_Prefix = ? RETURNING " +
                             col + " - 1 AS Reserved";
  const std::vector<Value> key{Value(document), Value(company), Value(branch)};
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto rs = conn.Query(update, key);
    if (!rs.empty()) {
      double n = convert::RoundHalfEven(rs.front().Double("Reserved"));
      if (n < 1 || n > std::numeric_limits<std::int32_t>::max()) throw Error("Overflow");
      return static_cast<std::int32_t>(n);
    }
    conn.Execute(
        "INSERT INTO Document_Prefix (Document_Prefix, Company_Prefix, Branch_Prefix, "
        "Document_Next_No, Document_Temp_Next_No, Manual_Flag) VALUES (?, ?, ?, 1, 1, 0) "
        "ON CONFLICT DO NOTHING",
        key);
  }
  throw Error("The counter of series " + company + branch + document + " could not be read");
}

}  // namespace

bool CounterTransaction::Get_Last_Counter(ConnectionRef& connection,
                                          std::optional<bool> temporary) {
  if (CompanyPrefix.empty() || BranchPrefix.empty() || DocumentPrefix.empty())
    return Fail("The counter needs its CompanyPrefix, BranchPrefix and DocumentPrefix.");
  return Trap([&] {
    conn_ = connection_rule::ObjectOnly(connection);
    reserved_temporary_ = temporary.value_or(false);
    reserved_ = Advance(*conn_, reserved_temporary_, DocumentPrefix, CompanyPrefix, BranchPrefix);
    return true;
  });
}

bool CounterTransaction::Increase_Counter(std::optional<bool> temporary) {
  bool temp = temporary.value_or(false);
  if (reserved_ && reserved_temporary_ == temp) {
    reserved_.reset();
    return true;
  }
  const ConnectionRef conn =
      conn_ ? conn_
            : (connection_rule::IsOpen(AdoConnectionObject) ? AdoConnectionObject : nullptr);
  if (!conn) return Fail("Get_Last_Counter must be called before Increase_Counter.");
  if (CompanyPrefix.empty() || BranchPrefix.empty() || DocumentPrefix.empty())
    return Fail("The counter needs its CompanyPrefix, BranchPrefix and DocumentPrefix.");
  return Trap([&] {
    Advance(*conn, temp, DocumentPrefix, CompanyPrefix, BranchPrefix);
    return true;
  });
}

const DispatchTable& CounterTransaction::Dispatch() const {
  using C = CounterTransaction;
  static const DispatchTable table = DispatchBuilder<C>("QLNSystem.CounterTransaction")
                                         .Prop("CompanyPrefix", &C::CompanyPrefix)
                                         .Prop("BranchPrefix", &C::BranchPrefix)
                                         .Prop("DocumentPrefix", &C::DocumentPrefix)
                                         .Prop("SkipChecking", &C::SkipChecking)
                                         .Prop("AdoConnectionObject", &C::AdoConnectionObject)
                                         .ReadOnly("ErrDesc", &C::ErrDesc)
                                         .ReadOnly("NextDocumentNo", &C::NextDocumentNo)
                                         .Method("Get_Last_Counter", &C::Get_Last_Counter)
                                         .Method("Increase_Counter", &C::Increase_Counter)
                                         .Build();
  return table;
}

}  // namespace qlnsales::services
