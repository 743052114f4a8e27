#include "db/open_connections.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qlnsales::db::OpenConnections {
namespace {

// Connections are used on the thread that opened them, but may be closed or destroyed on another
// (a host releasing objects), so the list is shared and guarded.
std::mutex mutex;
std::vector<std::pair<Connection*, std::thread::id>>& List() {
  static std::vector<std::pair<Connection*, std::thread::id>> list;
  return list;
}

}  // namespace

void Add(Connection* c) {
  std::lock_guard lock(mutex);
  List().emplace_back(c, std::this_thread::get_id());
}

void Remove(Connection* c) {
  std::lock_guard lock(mutex);
  std::erase_if(List(), [c](const auto& e) { return e.first == c; });
}

Connection* Find(const std::function<bool(Connection&)>& match) {
  // Matched under the lock, so that no connection is destroyed on another thread meanwhile.
  std::lock_guard lock(mutex);
  for (const auto& [c, thread] : List())
    if (thread == std::this_thread::get_id() && match(*c)) return c;
  return nullptr;
}

}  // namespace qlnsales::db::OpenConnections
