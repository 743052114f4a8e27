// Class names to factories. The module's own classes and the default sibling modules register
// themselves; a host program may replace any class name with its own factory.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "qlnsales/object.h"

namespace qlnsales {

using Factory = std::function<ObjectRef()>;

// Creates an object by class name ("QLNSales.Customer"); the name is matched without regard to
// case. An unknown name is an Error that names it.
ObjectRef CreateObject(std::string_view class_name);

// Registers (or replaces) the factory of a class name.
void RegisterClass(std::string_view class_name, Factory factory);
// Puts back the built-in factory of a class name a host had replaced (or removes a host's own).
void RestoreClass(std::string_view class_name);
bool IsRegistered(std::string_view class_name);
std::vector<std::string> RegisteredClasses();

}  // namespace qlnsales
