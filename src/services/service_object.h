// The default sibling modules are called by name only, so their input properties are kept as
// named values: set as given, converted when a method reads them (a bad value then fails that
// method with "Type mismatch"). Unset properties read as "", 0, False or the zero date.
#pragma once

#include <initializer_list>
#include <string>
#include <unordered_map>

#include "base/convert.h"
#include "qlnsales/business_object.h"
#include "qlnsales/registry.h"

namespace qlnsales::services {

class ServiceObject : public BusinessObject {
 public:
  const Value& P(std::string_view name) const;
  void SetP(std::string_view name, Value v) { values_[convert::LCase(name)] = std::move(v); }

 protected:
  std::string Text(std::string_view name) const { return P(name).ToText(); }
  double Number(std::string_view name) const { return P(name).ToDouble(); }
  bool Flag(std::string_view name) const { return P(name).ToBool(); }
  // The caller's connection object (closed when none was given).
  ConnectionRef ConnectionObject() const;
  // A date property that callers set as a date or as date text; Empty stays Empty (null).
  Value DateOrNull(std::string_view name) const;

  template <class D>
  static DispatchBuilder<D>& WithProperties(DispatchBuilder<D>& b,
                                            std::initializer_list<const char*> names) {
    for (const char* n : names) {
      std::string key = convert::LCase(n);
      b.Property(
          n, [key](Object& o) { return static_cast<ServiceObject&>(o).P(key); },
          [key](Object& o, const Value& v) { static_cast<ServiceObject&>(o).SetP(key, v); });
    }
    b.ReadOnly("ErrDesc", &D::ErrDesc);
    return b;
  }

 private:
  std::unordered_map<std::string, Value> values_;
};

// The sibling modules, for the registry.
void RegisterServices(const std::function<void(std::string_view, Factory)>& add);

}  // namespace qlnsales::services
