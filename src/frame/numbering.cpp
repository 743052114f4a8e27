#include "frame/numbering.h"

#include <limits>

#include "base/convert.h"
#include "qlnsales/business_object.h"
#include "qlnsales/registry.h"

namespace qlnsales {
namespace {

ObjectRef NewCounter(const Series& s) {
  auto counter = CreateObject("QLNSystem.CounterTransaction");
  counter->Set("CompanyPrefix", s.company);
  counter->Set("BranchPrefix", s.branch);
  counter->Set("DocumentPrefix", s.document);
  return counter;
}

// Calls Get_Last_Counter with the connection by reference and takes the connection back.
CounterError DrawFrom(const ObjectRef& counter, ConnectionRef& connection, bool temporary,
                      std::int32_t& identity) {
  std::vector<Value> args{Value(connection)};
  if (temporary) args.emplace_back(true);
  if (!counter->Invoke("Get_Last_Counter", args).ToBool()) return counter->Get("ErrDesc").ToText();
  connection = std::dynamic_pointer_cast<Connection>(args[0].ToObject());
  identity = counter->Get("NextDocumentNo").ToInt32();
  return std::nullopt;
}

CounterError Increase(const ObjectRef& counter, bool temporary) {
  std::vector<Value> args;
  if (temporary) args.emplace_back(true);
  if (!counter->Invoke("Increase_Counter", args).ToBool()) return counter->Get("ErrDesc").ToText();
  return std::nullopt;
}

}  // namespace

std::string TemporaryNumber(const Series& s, std::int32_t identity) {
  return s.company + s.branch + s.document + "TMP" + std::to_string(identity);
}

std::string FinalNumber(const Series& s, std::int32_t identity) {
  return s.company + s.branch + s.document + std::to_string(identity);
}

CounterError CounterNumbering::Draw(ConnectionRef& connection, const Series& series,
                                    bool skip_checking) {
  counter_ = NewCounter(series);
  if (skip_checking) counter_->Set("SkipChecking", true);
  const bool temporary = kind_ == kTemporary;
  if (auto err = DrawFrom(counter_, connection, temporary, identity_)) return err;
  number_ = temporary ? TemporaryNumber(series, identity_) : FinalNumber(series, identity_);
  return std::nullopt;
}

CounterError CounterNumbering::Confirm() {
  return Increase(counter_, kind_ == kTemporary);
}

std::optional<std::string> FinalNumbering::Open(Connection& conn, const std::string& document_no) {
  temporary_ = convert::Trim(document_no);
  if (temporary_.empty()) return t_.invalid_number_message;
  CheckSqlName(t_.master_table);
  CheckSqlName(t_.number_column);
  master_ = conn.CachedQuery(
      "SELECT * FROM " + t_.master_table + " WHERE " + t_.number_column + " = ?", {temporary_});
  if (master_.empty()) return t_.invalid_number_message;
  return std::nullopt;
}

CounterError FinalNumbering::Choose(ConnectionRef& connection, const Series& series,
                                    const ProcessMode& mode) {
  series_ = series;
  mode_ = mode;
  // Converted once; the same whole number goes into the document number and the raise.
  if (mode.manual) manual_identity_ = WholeIdentity(mode.manual_identity);
  if (mode.KeepsStoredIdentity()) {
    identity_ = stored().Int32(t_.identity_column);
  } else if (mode.manual) {
    identity_ = manual_identity_;
  } else {
    counter_ = NewCounter(series);
    if (auto err = DrawFrom(counter_, connection, false, identity_)) return err;
  }
  number_ = FinalNumber(series, identity_);
  return std::nullopt;
}

void FinalNumbering::Renumber(Connection& conn, Record extra, const Value& last_update,
                              Connection& counter_conn) {
  extra.Set(t_.number_column, number_)
      .Set(t_.identity_column, identity_)
      .Set("Last_Update", last_update);
  extra.UpdateExpecting(conn, t_.master_table, Record().Set(t_.number_column, temporary_), 1,
                        t_.invalid_number_message);
  if (mode_.manual) RaiseSeriesPast(counter_conn, series_, manual_identity_);
}

void FinalNumbering::RenumberLines(Connection& conn, const Value& last_update) {
  const bool required = !t_.invalid_temporary_message.empty();
  Record()
      .Set(t_.detail_number_column, number_)
      .Set("Last_Update", last_update)
      .UpdateExpecting(conn, t_.detail_table, Record().Set(t_.detail_number_column, temporary_),
                       required ? 1 : 0, t_.invalid_temporary_message);
}

CounterError FinalNumbering::Settle() {
  if (!counter_) return std::nullopt;
  return Increase(counter_, false);
}

void FinalNumbering::Assign(ConnectionRef& connection, const Series& series,
                            const ProcessMode& mode, Record extra, const Value& master_stamp,
                            const Value& lines_stamp) {
  if (mode.KeepsStoredIdentity()) {
    series_ = series;
    mode_ = mode;
    identity_ = stored().Int32(t_.identity_column);
    number_ = temporary_;
    if (mode.manual)
      RaiseSeriesPast(*connection_rule::ObjectOnly(connection), series,
                      WholeIdentity(mode.manual_identity));
    return;
  }
  if (IsFinalNumber(temporary_)) throw Error("Already Processed");
  if (auto err = Choose(connection, series, mode)) throw Error(*err);
  Connection& conn = *connection_rule::ObjectOnly(connection);
  Renumber(conn, std::move(extra), master_stamp, conn);
  RenumberLines(conn, lines_stamp);
}

std::int32_t WholeIdentity(double manual_identity) {
  double n = convert::RoundHalfEven(manual_identity);
  // The series goes on past a manual identity, so the last 32-bit number is left for it: taking
  // it by hand would stop the series for good.
  if (!(n >= std::numeric_limits<std::int32_t>::min() &&
        n < std::numeric_limits<std::int32_t>::max()))
    throw Error("Overflow");
  return static_cast<std::int32_t>(n);
}

bool IsFinalNumber(const std::string& number) {
  return convert::Mid(number, 8, 3) != "TMP";
}

void RaiseSeriesPast(Connection& conn, const Series& s, std::int32_t identity) {
  conn.ExecuteDeferred(
      "UPDATE Document_Prefix SET Document_Next_No = ?, Last_Update = ? WHERE Document_Prefix = ? "
      "AND Company_Prefix = ? AND Branch_Prefix = ? AND (Document_Next_No IS NULL OR "
      "Document_Next_No <= ?)",
      {Value(static_cast<double>(identity) + 1), Value(Date::Now()), Value(s.document),
       Value(s.company), Value(s.branch), Value(static_cast<double>(identity))});
}

}  // namespace qlnsales
