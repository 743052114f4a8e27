// Document numbers, for every document class: a temporary number when a document is saved, the
// final number when it is processed. The classes give their own tables, columns and messages.
#pragma once

#include <optional>
#include <string>

#include "db/record.h"
#include "qlnsales/connection.h"

namespace qlnsales {

// Company (2 characters) + branch (2) + document prefix (3) keys a series.
struct Series {
  std::string company;
  std::string branch;
  std::string document;
};

std::string TemporaryNumber(const Series& s, std::int32_t identity);  // 0102SORTMP57
std::string FinalNumber(const Series& s, std::int32_t identity);      // 0102SOR58

// An error a counter reported: its ErrDesc, to become the document's ErrDesc.
using CounterError = std::optional<std::string>;

// A number drawn from a series counter: the temporary counter when a document is saved, the
// series counter for documents that are created already processed (opening balances). Draw
// before the rows are written, Confirm after.
class CounterNumbering {
 public:
  enum Kind { kTemporary, kFinal };
  explicit CounterNumbering(Kind kind) : kind_(kind) {}

  // Get_Last_Counter(connection[, True]) on a new counter; the document's connection property
  // is taken back from the counter afterwards.
  CounterError Draw(ConnectionRef& connection, const Series& series, bool skip_checking = false);
  CounterError Confirm();  // Increase_Counter([True])
  std::int32_t identity() const { return identity_; }
  const std::string& number() const { return number_; }

 private:
  Kind kind_;
  ObjectRef counter_;
  std::int32_t identity_ = 0;
  std::string number_;
};

// Where a document class keeps its number, and the messages it fails with.
struct NumberingTables {
  std::string master_table;          // Sales_Order_Master
  std::string number_column;         // Sales_Ord_No
  std::string identity_column;       // Sales_ord_Identity
  std::string detail_table;          // Sales_Order_Detail
  std::string detail_number_column;  // Sales_Ord_No
  std::string invalid_number_message;
  std::string invalid_temporary_message;
};

// The working mode of processing, from a document's OnlineFlag and SyncFlag:
//
//   on-line          (OnlineFlag)                 the final number (from the series counter, or
//                    the manual identity), the source documents' quantities and flags, and every
//                    posting: stock, ledger, location stock, receivables.
//   off-line         (neither flag)               the final number and the sources only; the
//                    postings wait for a synchronisation. The counter is settled all the same, so
//                    the next document never reuses the number.
//   synchronisation  (SyncFlag without OnlineFlag) a document numbered off-line: it keeps its
//                    stored identity, its sources are not touched again, and the postings are
//                    made now. The counter is not used; a manual identity still raises the
//                    series past it.
//
// Whatever the mode, the call is one unit: a failure leaves the document unprocessed.
enum class WorkingMode { kOnline, kOffline, kSynchronisation };

inline WorkingMode ModeOf(bool online_flag, bool sync_flag) {
  if (online_flag) return WorkingMode::kOnline;
  return sync_flag ? WorkingMode::kSynchronisation : WorkingMode::kOffline;
}

// A working mode with the caller's manual identity (DocManualFlag / DocIdentity and their
// equivalents), when the caller supplies the final identity itself.
struct ProcessMode {
  WorkingMode working = WorkingMode::kOnline;
  bool manual = false;
  double manual_identity = 0;

  bool KeepsStoredIdentity() const { return working == WorkingMode::kSynchronisation; }
  bool UpdatesSources() const { return working != WorkingMode::kSynchronisation; }
  bool Posts() const { return working != WorkingMode::kOffline; }
  // The identity came from the series counter, which is then settled.
  bool DrawsFromCounter() const { return !manual && !KeepsStoredIdentity(); }
};

// Processing, step by step: Open, Choose, Renumber, RenumberLines (or Assign for the three), then
// the document's postings, then Settle.
class FinalNumbering {
 public:
  explicit FinalNumbering(NumberingTables tables) : t_(std::move(tables)) {}

  // Finds the master row of `document_no` (trimmed). Returns the document's invalid-number
  // message when the number is empty or no row has it.
  std::optional<std::string> Open(Connection& conn, const std::string& document_no);
  // The stored master row (valid after Open).
  Row stored() const { return master_.front(); }
  const std::string& temporary_number() const { return temporary_; }

  // Chooses the final identity: the stored one (off-line synchronisation), the manual one
  // (rounded, halves to even), or the series counter's next number.
  CounterError Choose(ConnectionRef& connection, const Series& series, const ProcessMode& mode);

  // Writes the final number, the identity, `extra` (the process flag and such) and Last_Update
  // into the master row. With a manual identity, the series counter is then raised past it at
  // once (one conditional update on `counter_conn`), so no later failure can let the
  // automatic numbers reach it. When the row no longer holds the temporary number (another user
  // has processed it since it was read) the call fails with the invalid-number message.
  void Renumber(Connection& conn, Record extra, const Value& last_update, Connection& counter_conn);
  // Gives the lines the final number. When there are none the call fails with the
  // temporary-number message, if the document has one.
  void RenumberLines(Connection& conn, const Value& last_update);
  // Confirms the counter's reservation when the identity came from it.
  CounterError Settle();

  // The final number by the working mode, after Open, in one step. Outside synchronisation a
  // document that already has its final number is refused ("Already Processed"), since a second
  // run would draw another number and post twice; otherwise the identity is chosen (the
  // connection property may come back from the counter) and the master row, with `extra`, and
  // the lines are renumbered. Synchronisation keeps the stored number and identity; a manual
  // identity still raises the series past it. Failures are thrown as Error with their text.
  void Assign(ConnectionRef& connection, const Series& series, const ProcessMode& mode,
              Record extra, const Value& master_stamp, const Value& lines_stamp);

  std::int32_t identity() const { return identity_; }
  const std::string& number() const { return number_; }
  const Series& series() const { return series_; }

 private:
  NumberingTables t_;
  ResultSet master_;
  std::string temporary_;
  Series series_;
  ProcessMode mode_;
  ObjectRef counter_;
  std::int32_t identity_ = 0;
  std::int32_t manual_identity_ = 0;
  std::string number_;
};

// A manual identity as the whole number it stands for (halves to even); the last 32-bit number
// (the series could not go on past it) and beyond is an Error ("Overflow").
std::int32_t WholeIdentity(double manual_identity);
// A number whose characters 8 to 10 are not "TMP" has been given its final number.
bool IsFinalNumber(const std::string& number);

// Raises Document_Next_No of a series to identity + 1 when it is not above `identity`, stamping
// Last_Update with the clock. A missing row or a higher number changes nothing.
void RaiseSeriesPast(Connection& conn, const Series& series, std::int32_t identity);

}  // namespace qlnsales
