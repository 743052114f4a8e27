#include "qlnsales/business_object.h"

#include <limits>

#include "db/unit_of_work.h"

namespace qlnsales {

CallUnit::CallUnit() : scope_(new db::UnitOfWork::Scope) {}

CallUnit::~CallUnit() {
  delete static_cast<db::UnitOfWork::Scope*>(scope_);
}

bool CallUnit::outermost() const {
  return static_cast<db::UnitOfWork::Scope*>(scope_)->outermost();
}

bool CallUnit::Finish(bool ok, std::string& err_desc) {
  auto error = static_cast<db::UnitOfWork::Scope*>(scope_)->Finish(ok);
  if (!error) return ok;
  err_desc = *error;
  return false;
}

std::vector<Value> BusinessObject::KeepNumbers() {
  std::vector<Value> kept;
  for (auto name : NumberProperties()) kept.push_back(Get(name));
  return kept;
}

void BusinessObject::PutBackNumbers(const std::vector<Value>& kept) {
  auto names = NumberProperties();
  for (std::size_t i = 0; i < names.size() && i < kept.size(); ++i) Set(names[i], kept[i]);
}

namespace connection_rule {

bool IsOpen(const ConnectionRef& object) {
  return object && object->State() == 1;
}

ConnectionRef StringOnly(const std::string& connection_string) {
  return Connection::Pooled(connection_string);
}

ConnectionRef ObjectOnly(const ConnectionRef& object) {
  // A closed stand-in, so that the first use fails with the provider's own text.
  return object ? object : std::make_shared<Connection>();
}

bool StringFirstUsable(const std::string& connection_string, const ConnectionRef& object) {
  return !connection_string.empty() || IsOpen(object);
}

ConnectionRef StringFirst(const std::string& connection_string, const ConnectionRef& object) {
  return connection_string.empty() ? ObjectOnly(object) : StringOnly(connection_string);
}

ConnectionRef ObjectFirst(const std::string& connection_string, const ConnectionRef& object) {
  return IsOpen(object) ? object : StringOnly(connection_string);
}

}  // namespace connection_rule

namespace detail {
thread_local std::int32_t debug_id_counter = 0;
void SetDebugIdCounter(std::int32_t value) {
  debug_id_counter = value;
}
}  // namespace detail

std::int32_t GetNextClassDebugID() {
  if (detail::debug_id_counter == std::numeric_limits<std::int32_t>::max()) throw Error("Overflow");
  return ++detail::debug_id_counter;
}

}  // namespace qlnsales
