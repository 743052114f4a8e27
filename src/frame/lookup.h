// The single-field look-up and the existence test that documents and sibling modules share.
// Names are checked, values are bound; a numeric where-value must be a number.
#pragma once

#include <optional>
#include <string>

#include "qlnsales/connection.h"

namespace qlnsales {

struct FieldLookup {
  std::string table{};
  std::string field{};
  std::string where_field{};  // empty: the first row of the whole table
  std::string where_value{};
  bool where_numeric = false;
  std::string second_where_field{};  // empty: one condition only
  std::string second_where_value{};
  bool second_where_numeric = false;
};

// The field of the first row as text, "" when it is null; nullopt when no row matched. A missing
// table or column, a bad name or a non-numeric value for a numeric comparison is an Error, so an
// error is never taken for "not found".
std::optional<std::string> LookupField(Connection& conn, const FieldLookup& q);
// True when at least one row matches (`field` is the column compared with the first value).
bool DocumentExists(Connection& conn, const FieldLookup& q);

// The public forms of the front end: on a run-time error they show the error's description in a
// message box and answer "" / false.
std::string GetFldValueShowingErrors(Connection& conn, const FieldLookup& q);
bool ExistDocumentShowingErrors(Connection& conn, const FieldLookup& q);

// The GetFldValue and ExistDocument methods of the document classes, with their optional
// arguments as callers pass them: the look-up reads through the connection string (one that does
// not open shows in the message box too), the existence test through the caller's connection
// object.
std::string GetFldValueMethod(const std::string& connection_string, std::string table,
                              std::string field, std::optional<std::string> where_field,
                              std::optional<std::string> where_value,
                              std::optional<bool> where_numeric,
                              std::optional<std::string> second_where_field,
                              std::optional<std::string> second_where_value,
                              std::optional<bool> second_where_numeric);
bool ExistDocumentMethod(const ConnectionRef& object, std::string table, std::string field,
                         std::string value, std::optional<bool> numeric,
                         std::optional<std::string> second_where_field,
                         std::optional<std::string> second_where_value,
                         std::optional<bool> second_where_numeric);

// Exactly "MSACCESS" (case-sensitive) selects the desktop-database forms; anything else, the
// empty text included, the server forms.
inline bool IsDesktopDialect(const std::string& database) {
  return database == "MSACCESS";
}

// Sets column `column` of table `table` to `new_value` wherever it holds `old_value`, stamping
// Last_Update with today's date. The date is bound, never spelled into the statement, so the
// desktop and server forms are one statement; a table that keeps Last_Update as "dd/MMM/yyyy"
// text gets that text. Returns the rows changed.
std::int64_t ExecuteChangeCode(Connection& conn, const std::string& table,
                               const std::string& column, const std::string& new_value,
                               const std::string& old_value);

}  // namespace qlnsales
