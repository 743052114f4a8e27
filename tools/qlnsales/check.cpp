#include "commands.h"
#include "report.h"

namespace qlnsales::cli {

int Check(const std::string& db) {
  Connection conn(ConnectionStringFor(db));
  return PrintBooksCheck(conn) == 0 ? 0 : 1;
}

}  // namespace qlnsales::cli
