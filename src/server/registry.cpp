#include "qlnsales/registry.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "base/convert.h"
#include "server/builtins.h"

namespace qlnsales {
namespace {

struct Entry {
  std::string name;
  Factory factory;
};

struct Registry {
  std::mutex mutex;
  std::map<std::string, Entry> builtins;
  std::map<std::string, Entry> classes;

  // Built on first use, from the catalogue's list of built-in classes (server/builtins.h).
  Registry() {
    RegisterBuiltins([this](std::string_view name, Factory f) {
      Entry e{std::string(name), std::move(f)};
      builtins[convert::LCase(name)] = e;
      classes[convert::LCase(name)] = std::move(e);
    });
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

ObjectRef CreateObject(std::string_view class_name) {
  auto& r = TheRegistry();
  Factory factory;
  {
    std::lock_guard lock(r.mutex);
    auto it = r.classes.find(convert::LCase(class_name));
    if (it == r.classes.end())
      throw Error("Cannot create object: no class is registered as '" + std::string(class_name) +
                  "'");
    factory = it->second.factory;
  }
  return factory();
}

void RegisterClass(std::string_view class_name, Factory factory) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.classes[convert::LCase(class_name)] = Entry{std::string(class_name), std::move(factory)};
}

void RestoreClass(std::string_view class_name) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto key = convert::LCase(class_name);
  auto b = r.builtins.find(key);
  if (b == r.builtins.end())
    r.classes.erase(key);
  else
    r.classes[key] = b->second;
}

bool IsRegistered(std::string_view class_name) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return r.classes.count(convert::LCase(class_name)) > 0;
}

std::vector<std::string> RegisteredClasses() {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::vector<std::string> names;
  for (const auto& [k, e] : r.classes) names.push_back(e.name);
  return names;
}

}  // namespace qlnsales
