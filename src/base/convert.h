// The value rules of the front end, in one place: numbers from text (strict and lenient), rounding,
// number text, date texts and the position-based text cuts that document numbers rely on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "qlnsales/value.h"

namespace qlnsales::convert {

// Lenient numeric value of a text: the leading number (blanks skipped), or 0 when there is none.
double Val(std::string_view text);
// Strict: the whole text, trimmed, must be a number; otherwise Error("Type mismatch").
double TextToDouble(std::string_view text);
std::optional<double> ParseNumber(std::string_view text);

// Round to `digits` decimals, halves to even. A value whose scaled fraction is within a few ulps
// of one half counts as a half, so 2.5, 0.125 and 1.005-as-typed round the way a person expects.
double RoundHalfEven(double value, int digits = 0);
// A caller's count of decimals (AmtDig, a float) as places to round to: rounded, halves to even;
// 0 for a negative or not-a-number count, at most 15.
int DecimalPlaces(double count);
// Number to text with at most 15 significant digits, no trailing zeros, "1E+20" style exponents.
std::string NumberToText(double value);

// "dd/MMM/yyyy" with English month abbreviations whatever the locale ("03/Dec/2026").
std::string FormatDayMonthName(const Date& date);
// "dd/mm/yyyy" ("03/12/2026").
std::string FormatDayMonthNumber(const Date& date);
// "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss" when the time is not midnight: the text form of a date.
std::string FormatIso(const Date& date);
// "yyyy-mm-dd hh:mm:ss" always: the form dates are stored and bound in.
std::string FormatIsoDateTime(const Date& date);
// Accepts yyyy-mm-dd[( |T)hh:mm[:ss[.fff]]], dd/mm/yyyy and dd/MMM/yyyy (each with an optional
// time after a blank). Nothing depends on the machine's locale.
std::optional<Date> ParseDate(std::string_view text);

// Position-based cuts, 1-based like the document-number rules; out-of-range positions give
// shorter or empty texts, never an error.
std::string Mid(std::string_view text, std::size_t start, std::size_t length = std::string::npos);
std::string Left(std::string_view text, std::size_t length);
std::string Right(std::string_view text, std::size_t length);
std::string Trim(std::string_view text);
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace qlnsales::convert
