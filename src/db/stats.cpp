#include "db/stats.h"

namespace qlnsales::db {

Stats& ThreadStats() {
  thread_local Stats stats;
  return stats;
}

}  // namespace qlnsales::db
