// The connections open on each thread, so that a call can find the one a caller holds a
// transaction on when it reaches the same database through another.
#pragma once

#include <functional>

namespace qlnsales {
class Connection;
}

namespace qlnsales::db::OpenConnections {

void Add(Connection* c);
void Remove(Connection* c);
// The first open connection of the calling thread for which `match` is true, or null.
Connection* Find(const std::function<bool(Connection&)>& match);

}  // namespace qlnsales::db::OpenConnections
