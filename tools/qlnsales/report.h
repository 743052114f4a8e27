// Readable tables of a database's state, for the demo and for people.
#pragma once

#include <string>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::cli {

// Prints `rs` as a table under `title`; numbers right-aligned with `decimals` places.
void PrintTable(const std::string& title, const ResultSet& rs, int decimals = 3);

void PrintDocuments(Connection& conn);
void PrintLedger(Connection& conn);
void PrintTrialBalance(Connection& conn);
void PrintStock(Connection& conn);
void PrintCustomerBalances(Connection& conn);
// Prints the books check; answers the number of violations.
std::size_t PrintBooksCheck(Connection& conn);

}  // namespace qlnsales::cli
