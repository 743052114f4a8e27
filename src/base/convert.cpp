#include "base/convert.h"

#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>

#include <date/date.h>

namespace qlnsales::convert {
namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Length of the longest prefix of `s` that is a decimal number (sign, digits, point, exponent).
std::size_t NumberPrefix(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    std::size_t exp_digits = 0;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j, ++exp_digits;
    if (exp_digits > 0) i = j;
  }
  return i;
}

double ParsePrefix(std::string_view s, std::size_t len) {
  std::string buf(s.substr(0, len));
  if (!buf.empty() && buf[0] == '+') buf.erase(0, 1);
  double out = 0;
  auto [p, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), out);
  if (ec == std::errc::result_out_of_range) throw Error("Overflow");
  (void)p;
  return out;
}

}  // namespace

std::string Trim(std::string_view t) {
  std::size_t b = 0, e = t.size();
  while (b < e && IsBlank(t[b])) ++b;
  while (e > b && IsBlank(t[e - 1])) --e;
  return std::string(t.substr(b, e - b));
}

double Val(std::string_view text) {
  std::size_t b = 0;
  while (b < text.size() && IsBlank(text[b])) ++b;
  auto rest = text.substr(b);
  auto len = NumberPrefix(rest);
  return len == 0 ? 0.0 : ParsePrefix(rest, len);
}

std::optional<double> ParseNumber(std::string_view text) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  auto len = NumberPrefix(t);
  if (len != t.size()) return std::nullopt;
  return ParsePrefix(t, len);
}

double TextToDouble(std::string_view text) {
  auto v = ParseNumber(text);
  if (!v) throw Error("Type mismatch");
  return *v;
}

int DecimalPlaces(double count) {
  if (!(count > 0)) return 0;
  const double places = RoundHalfEven(count);
  return places > 15 ? 15 : static_cast<int>(places);
}

double RoundHalfEven(double value, int digits) {
  if (!std::isfinite(value)) return value;
  const double scale = std::pow(10.0, digits);
  const double scaled = value * scale;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9007199254740992.0) return value;
  const double floor = std::floor(scaled);
  const double frac = scaled - floor;
  const double tolerance = 8 * DBL_EPSILON * std::max(1.0, std::fabs(scaled));
  double rounded;
  if (std::fabs(frac - 0.5) <= tolerance) {
    rounded = std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
  } else {
    rounded = std::round(scaled);
  }
  return rounded / scale;
}

std::string NumberToText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string s(buf);
  auto e = s.find('E');
  std::string mantissa = e == std::string::npos ? s : s.substr(0, e);
  std::string exponent = e == std::string::npos ? "" : s.substr(e);
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  }
  if (mantissa.size() > 1 && mantissa[0] == '0' && mantissa[1] == '.') {
    // keep "0.5" as it is
  }
  return mantissa + exponent;
}

std::string FormatDayMonthName(const Date& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u/%s/%04d", d.Day(), kMonths[d.Month() - 1], d.Year());
  return buf;
}

std::string FormatDayMonthNumber(const Date& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u/%02u/%04d", d.Day(), d.Month(), d.Year());
  return buf;
}

std::string FormatIsoDateTime(const Date& d) {
  auto day = std::chrono::floor<std::chrono::days>(d.time);
  std::chrono::hh_mm_ss hms{d.time - day};
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d", d.Year(), d.Month(), d.Day(),
                static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                static_cast<int>(hms.seconds().count()));
  return buf;
}

std::string FormatIso(const Date& d) {
  return d.HasTime() ? FormatIsoDateTime(d) : FormatIsoDateTime(d).substr(0, 10);
}

namespace {

bool ReadInt(std::string_view s, std::size_t& i, std::size_t min_digits, std::size_t max_digits,
             int& out) {
  std::size_t start = i;
  out = 0;
  while (i < s.size() && i - start < max_digits && std::isdigit(static_cast<unsigned char>(s[i])))
    out = out * 10 + (s[i++] - '0');
  return i - start >= min_digits;
}

bool ReadTime(std::string_view s, std::size_t& i, int& hh, int& mm, int& ss) {
  hh = mm = ss = 0;
  if (i == s.size()) return true;
  if (s[i] != ' ' && s[i] != 'T') return false;
  ++i;
  if (!ReadInt(s, i, 1, 2, hh) || i >= s.size() || s[i] != ':') return false;
  ++i;
  if (!ReadInt(s, i, 2, 2, mm)) return false;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (!ReadInt(s, i, 2, 2, ss)) return false;
    if (i < s.size() && s[i] == '.') {
      ++i;
      int frac;
      if (!ReadInt(s, i, 1, 9, frac)) return false;
    }
  }
  if (i < s.size() && s[i] == 'Z') ++i;
  return i == s.size() && hh < 24 && mm < 60 && ss < 60;
}

}  // namespace

std::optional<Date> ParseDate(std::string_view text) {
  std::string t = Trim(text);
  std::string_view s = t;
  std::size_t i = 0;
  int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  if (s.size() >= 10 && s[4] == '-') {
    if (!ReadInt(s, i, 4, 4, y) || s[i++] != '-' || !ReadInt(s, i, 1, 2, m) || i >= s.size() ||
        s[i++] != '-' || !ReadInt(s, i, 1, 2, d))
      return std::nullopt;
  } else {
    if (!ReadInt(s, i, 1, 2, d) || i >= s.size() || s[i++] != '/') return std::nullopt;
    if (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) {
      std::string name = LCase(s.substr(i, 3));
      i += 3;
      for (std::size_t k = 0; k < kMonths.size(); ++k)
        if (name == LCase(kMonths[k])) m = static_cast<int>(k + 1);
      if (m == 0) return std::nullopt;
    } else if (!ReadInt(s, i, 1, 2, m)) {
      return std::nullopt;
    }
    if (i >= s.size() || s[i++] != '/' || !ReadInt(s, i, 4, 4, y)) return std::nullopt;
  }
  if (!ReadTime(s, i, hh, mm, ss)) return std::nullopt;
  date::year_month_day ymd{date::year{y}, date::month{static_cast<unsigned>(m)},
                           date::day{static_cast<unsigned>(d)}};
  if (!ymd.ok() || y < 1) return std::nullopt;
  return Date::FromYmd(y, static_cast<unsigned>(m), static_cast<unsigned>(d), hh, mm, ss);
}

std::string Mid(std::string_view text, std::size_t start, std::size_t length) {
  if (start == 0) throw Error("Invalid procedure call or argument");
  if (start > text.size()) return {};
  return std::string(text.substr(start - 1, length));
}

std::string Left(std::string_view text, std::size_t length) {
  return std::string(text.substr(0, length));
}

std::string Right(std::string_view text, std::size_t length) {
  return length >= text.size() ? std::string(text) : std::string(text.substr(text.size() - length));
}

// Case is folded for the ASCII letters only, as the "C" locale the program runs in does; done by
// hand, since names are folded on every late-bound call and the library's per-character calls
// showed in profiles.
namespace {
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

std::string UCase(std::string_view text) {
  std::string s(text);
  for (auto& c : s) c = Upper(c);
  return s;
}

std::string LCase(std::string_view text) {
  std::string s(text);
  for (auto& c : s) c = Lower(c);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

}  // namespace qlnsales::convert
