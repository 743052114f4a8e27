#include <algorithm>

#include "base/convert.h"
#include "qlnsales/object.h"

namespace qlnsales {

void DispatchTable::AddProperty(Property p) {
  auto key = convert::LCase(p.name);
  properties_[key] = std::move(p);
}

void DispatchTable::AddMethod(Method m) {
  auto key = convert::LCase(m.name);
  methods_[key] = std::move(m);
}

const DispatchTable::Property* DispatchTable::FindProperty(std::string_view name) const {
  auto it = properties_.find(convert::LCase(name));
  return it == properties_.end() ? nullptr : &it->second;
}

const DispatchTable::Method* DispatchTable::FindMethod(std::string_view name) const {
  auto it = methods_.find(convert::LCase(name));
  return it == methods_.end() ? nullptr : &it->second;
}

std::vector<std::string> DispatchTable::PropertyNames() const {
  std::vector<std::string> names;
  for (const auto& [k, p] : properties_) names.push_back(p.name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> DispatchTable::MethodNames() const {
  std::vector<std::string> names;
  for (const auto& [k, m] : methods_) names.push_back(m.name);
  std::sort(names.begin(), names.end());
  return names;
}

// As with the front end's late binding, a name read like a property may be a method without
// arguments, and a method called without arguments may be a property.
Value Object::Get(std::string_view property) {
  const auto& table = Dispatch();
  const auto* p = table.FindProperty(property);
  if (!p) {
    if (const auto* m = table.FindMethod(property)) {
      std::vector<Value> none;
      return m->call(*this, none);
    }
    throw Error(std::string(ClassName()) + " has no property '" + std::string(property) + "'");
  }
  if (!p->get)
    throw Error("Property '" + p->name + "' of " + std::string(ClassName()) + " is write-only");
  return p->get(*this);
}

void Object::Set(std::string_view property, const Value& value) {
  const auto& table = Dispatch();
  const auto* p = table.FindProperty(property);
  if (!p)
    throw Error(std::string(ClassName()) + " has no property '" + std::string(property) + "'");
  if (!p->set)
    throw Error("Property '" + p->name + "' of " + std::string(ClassName()) + " is read-only");
  p->set(*this, value);
}

Value Object::Invoke(std::string_view method, std::vector<Value>& args) {
  const auto& table = Dispatch();
  const auto* m = table.FindMethod(method);
  if (!m) {
    const auto* p = table.FindProperty(method);
    if (p && p->get && args.empty()) return p->get(*this);
    throw Error(std::string(ClassName()) + " has no method '" + std::string(method) + "'");
  }
  if (args.size() > m->arity)
    throw Error("Wrong number of arguments for " + std::string(ClassName()) + "." + m->name +
                ": it takes at most " + std::to_string(m->arity));
  return m->call(*this, args);
}

Value Object::Invoke(std::string_view method, std::vector<Value>&& args) {
  std::vector<Value> local = std::move(args);
  return Invoke(method, local);
}

bool Object::HasProperty(std::string_view property) const {
  return Dispatch().FindProperty(property) != nullptr;
}

bool Object::HasMethod(std::string_view method) const {
  return Dispatch().FindMethod(method) != nullptr;
}

}  // namespace qlnsales
