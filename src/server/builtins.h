// The built-in classes, as the registry sees them: a list it asks for once, on its first use, and
// does not know itself. The list is defined above the classes, in src/catalogue/catalogue.cpp, the
// one file that knows every class; the server layer names none. Because the registry calls this
// function, linking the registry from the static library links the catalogue (and with it every
// class) too, with no static initialisers to be dropped.
#pragma once

#include <functional>
#include <string_view>

#include "qlnsales/registry.h"

namespace qlnsales {

// Hands every built-in class (the module's business objects, the connection and grid classes,
// the default sibling modules) to `add`.
void RegisterBuiltins(const std::function<void(std::string_view, Factory)>& add);

}  // namespace qlnsales
