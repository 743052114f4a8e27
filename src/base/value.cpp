#include <cmath>
#include <ctime>
#include <limits>

#include "base/convert.h"
#include "qlnsales/value.h"

namespace qlnsales {
namespace {

using std::chrono::days;
using std::chrono::sys_days;

const sys_days kZeroDay{std::chrono::year{1899} / 12 / 30};

std::chrono::year_month_day Ymd(const Date& d) {
  return std::chrono::year_month_day{std::chrono::floor<days>(d.time)};
}

double DateToSerial(const Date& d) {
  return std::chrono::duration<double, days::period>(d.time - kZeroDay).count();
}

// Dates run from year 1 to year 9999, as their four-digit text form does: a date outside them
// could not be written as text and read back, nor stored on every engine.
Date SerialToDate(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) throw Error("Overflow");
  auto secs = static_cast<std::int64_t>(std::llround(serial * 86400.0));
  Date d{std::chrono::sys_seconds{kZeroDay} + std::chrono::seconds{secs}};
  if (d.Year() < 1 || d.Year() > 9999) throw Error("Overflow");
  return d;
}

[[noreturn]] void Mismatch() {
  throw Error("Type mismatch");
}

}  // namespace

Date Date::FromYmd(int y, unsigned m, unsigned d, int hh, int mm, int ss) {
  sys_days day{std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d}};
  return Date{std::chrono::sys_seconds{day} + std::chrono::hours{hh} + std::chrono::minutes{mm} +
              std::chrono::seconds{ss}};
}

Date Date::Now() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return FromYmd(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                 static_cast<unsigned>(local.tm_mday), local.tm_hour, local.tm_min, local.tm_sec);
}

Date Date::Today() {
  Date now = Now();
  return Date{std::chrono::sys_seconds{std::chrono::floor<days>(now.time)}};
}

int Date::Year() const {
  return static_cast<int>(Ymd(*this).year());
}
unsigned Date::Month() const {
  return static_cast<unsigned>(Ymd(*this).month());
}
unsigned Date::Day() const {
  return static_cast<unsigned>(Ymd(*this).day());
}
bool Date::HasTime() const {
  return time != std::chrono::floor<days>(time);
}

bool Value::IsNumber() const {
  auto k = kind();
  return k == Kind::Int32 || k == Kind::Int64 || k == Kind::Double;
}

std::string Value::ToText() const {
  switch (kind()) {
    case Kind::Empty:
      return {};
    case Kind::Bool:
      return std::get<bool>(v_) ? "True" : "False";
    case Kind::Int32:
      return std::to_string(std::get<std::int32_t>(v_));
    case Kind::Int64:
      return std::to_string(std::get<std::int64_t>(v_));
    case Kind::Double:
      return convert::NumberToText(std::get<double>(v_));
    case Kind::Text:
      return std::get<std::string>(v_);
    case Kind::Date:
      return convert::FormatIso(std::get<Date>(v_));
    case Kind::Object:
      break;
  }
  Mismatch();
}

double Value::ToDouble() const {
  switch (kind()) {
    case Kind::Empty:
      return 0;
    case Kind::Bool:
      return std::get<bool>(v_) ? -1 : 0;
    case Kind::Int32:
      return std::get<std::int32_t>(v_);
    case Kind::Int64:
      return static_cast<double>(std::get<std::int64_t>(v_));
    case Kind::Double:
      return std::get<double>(v_);
    case Kind::Text:
      return convert::TextToDouble(std::get<std::string>(v_));
    case Kind::Date:
      return DateToSerial(std::get<Date>(v_));
    case Kind::Object:
      break;
  }
  Mismatch();
}

std::int64_t Value::ToInt64() const {
  if (kind() == Kind::Int64) return std::get<std::int64_t>(v_);
  double d = convert::RoundHalfEven(ToDouble());
  if (!std::isfinite(d) || d < -9.2e18 || d > 9.2e18) throw Error("Overflow");
  return static_cast<std::int64_t>(d);
}

std::int32_t Value::ToInt32() const {
  std::int64_t v = ToInt64();
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    throw Error("Overflow");
  return static_cast<std::int32_t>(v);
}

bool Value::ToBool() const {
  switch (kind()) {
    case Kind::Empty:
      return false;
    case Kind::Bool:
      return std::get<bool>(v_);
    case Kind::Int32:
    case Kind::Int64:
    case Kind::Double:
      return ToDouble() != 0;
    case Kind::Text: {
      const auto& s = std::get<std::string>(v_);
      auto t = convert::Trim(s);
      if (convert::EqualsNoCase(t, "True")) return true;
      if (convert::EqualsNoCase(t, "False")) return false;
      if (auto n = convert::ParseNumber(t)) return *n != 0;
      break;
    }
    case Kind::Date:
    case Kind::Object:
      break;
  }
  Mismatch();
}

Date Value::ToDate() const {
  switch (kind()) {
    case Kind::Empty:
      return Date{};
    case Kind::Date:
      return std::get<Date>(v_);
    case Kind::Text: {
      if (auto d = convert::ParseDate(std::get<std::string>(v_))) return *d;
      break;
    }
    case Kind::Int32:
    case Kind::Int64:
    case Kind::Double:
      return SerialToDate(ToDouble());
    case Kind::Bool:
    case Kind::Object:
      break;
  }
  Mismatch();
}

ObjectRef Value::ToObject() const {
  if (kind() == Kind::Object) return std::get<ObjectRef>(v_);
  if (kind() == Kind::Empty) return nullptr;
  Mismatch();
}

}  // namespace qlnsales
