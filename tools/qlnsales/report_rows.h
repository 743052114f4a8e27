// What the report definitions share: typed cells from query rows, day arithmetic for --as-of and
// rounding to the report's decimals.
#pragma once

#include <string>
#include <vector>

#include "report.h"

namespace qlnsales::cli {

// The start of the day after `day`: "on or before `day`" is "before this", whatever the time of
// day a row was stamped with.
Date DayAfter(const Date& day);
// Whole days from `from` to `to`, counted by calendar day.
long DaysBetween(const Date& from, const Date& to);
// Rounded halves to even, with no negative zero.
double Rounded(double value, int decimals);
// One cell as its column's kind: engines hand back dates as text (SQLite) or dates (PostgreSQL),
// and amounts as integers or doubles.
Value TypedCell(const Value& v, ColumnKind kind);
// A section of the query's rows, the i-th column of each row typed as columns[i].
Section SectionFromQuery(std::string name, std::string title, std::vector<Column> columns,
                         const ResultSet& rs);
double ColumnSum(const Section& s, std::size_t column);

}  // namespace qlnsales::cli
