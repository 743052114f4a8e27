#pragma once

#include <functional>
#include <string_view>

#include "qlnsales/registry.h"

namespace qlnsales {

// Hands every built-in class (the module's business objects, the connection and grid classes,
// the default sibling modules) to `add`. Listed in one place so that a static link keeps them all.
void RegisterBuiltins(const std::function<void(std::string_view, Factory)>& add);

}  // namespace qlnsales
