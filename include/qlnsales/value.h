// The variant that crosses late-bound calls, and the one error type of the library.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace qlnsales {

class Object;
using ObjectRef = std::shared_ptr<Object>;

// A run-time error: a provider error, a conversion error, an unknown name. Inside a method's
// error trap it becomes the method's ErrDesc; outside one it reaches the caller.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A date and time to the second. The zero date (a fresh property) is 30 Dec 1899, the day the
// front end's date numbering starts from.
struct Date {
  std::chrono::sys_seconds time{std::chrono::sys_days{std::chrono::year{1899} / 12 / 30}};

  static Date FromYmd(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0);
  static Date Now();    // local wall-clock time
  static Date Today();  // local date, time 00:00:00
  int Year() const;
  unsigned Month() const;
  unsigned Day() const;
  bool HasTime() const;
  friend auto operator<=>(const Date&, const Date&) = default;
};

class Value {
 public:
  enum class Kind { Empty, Bool, Int32, Int64, Double, Text, Date, Object };
  using Storage = std::variant<std::monostate, bool, std::int32_t, std::int64_t, double,
                               std::string, Date, ObjectRef>;

  Value() = default;
  Value(bool v) : v_(v) {}
  Value(std::int32_t v) : v_(v) {}
  Value(std::int64_t v) : v_(v) {}
  Value(double v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(std::string_view v) : v_(std::string(v)) {}
  Value(const char* v) : v_(std::string(v)) {}
  Value(Date v) : v_(v) {}
  Value(ObjectRef v) : v_(std::move(v)) {}
  template <class T>
  requires std::is_base_of_v<Object, T> Value(std::shared_ptr<T> v) : v_(ObjectRef(std::move(v))) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  // Empty stands for "no value": a database null, a missing argument, an unset variant.
  bool IsEmpty() const { return kind() == Kind::Empty; }
  bool IsNumber() const;
  const Storage& storage() const { return v_; }

  // Strict conversions: a value that cannot be converted is an Error ("Type mismatch").
  // Empty converts to "", 0, False and the zero date, as an unset variant does.
  std::string ToText() const;
  double ToDouble() const;
  std::int32_t ToInt32() const;  // rounds halves to even; out of range is "Overflow"
  std::int64_t ToInt64() const;
  bool ToBool() const;
  Date ToDate() const;
  ObjectRef ToObject() const;

  friend bool operator==(const Value& a, const Value& b) { return a.v_ == b.v_; }

 private:
  Storage v_;
};

}  // namespace qlnsales
