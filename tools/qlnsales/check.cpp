#include "commands.h"
#include "report.h"

namespace qlnsales::cli {

int Check(const std::string& db) {
  auto conn = OpenExisting(db);
  return PrintBooksCheck(*conn) == 0 ? 0 : 1;
}

}  // namespace qlnsales::cli
