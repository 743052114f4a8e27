// What the document classes share when they save and read lines: line serials, unit texts,
// currency symbols, time stamps and the grid's tick marks.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/record.h"
#include "qlnsales/connection.h"
#include "qlnsales/grid.h"

namespace qlnsales::documents {

// Reserves `count` line serials of a table (its largest SL_No + 1 and on) and answers the first.
// The table's row in Line_Serial is written first, inside the call, so two users saving at once
// queue on it and never draw the same serial.
std::int32_t ReserveLineSerials(Connection& conn, const std::string& table, std::int32_t count);

// Saves the lines of one document: each gets the next of a block of reserved serials as SL_No,
// and they go out together.
void InsertLines(Connection& conn, const std::string& table, std::vector<Record>& lines);

// "Box-Monthly" is unit "Box" with period "Monthly"; "Box" has no period.
std::pair<std::string, std::optional<std::string>> SplitUnit(const std::string& text);
// The unit as a grid shows it: "Box-Monthly", or "Box".
std::string JoinUnit(const std::string& unit, const std::string& period);

// The trimmed symbol of a currency, or nullopt when the currency master does not know it.
std::optional<std::string> CurrencySymbolOf(Connection& conn, const std::string& code);

// Last_Update as `table` keeps it: "dd/MMM/yyyy" text where the table keeps text, else the date.
Value Stamp(const std::string& table, const Date& when);

// A tick-column cell: true for a text that reads as true ("1", "-1", "True"); anything that is
// not a recognisable true/false value counts as not ticked.
bool IsTicked(const std::string& text);

// A stored amount read as a number; an amount kept as text (a line amount of an order) is read
// leniently, as the front end does, so an empty text is 0.
double NumberOf(const Value& v);

// A number as the grid shows it (the 64-bit value's text, no formatting).
std::string GridNumber(double value);

// Makes sure the grid has row `row` (rows grow; nothing is removed).
void EnsureRow(Grid& grid, std::int32_t row);

Grid& RequireGrid(const GridRef& grid, const char* property);
// Fails, as the grid itself would on the first missing cell, when it has fewer than `count`
// columns.
void RequireColumns(Grid& grid, std::int32_t count);

// The day of a time stamp, its time of day dropped.
Date DayOf(const Date& when);

}  // namespace qlnsales::documents
