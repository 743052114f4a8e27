// The books check: the invariants the default modules keep, checked from their rows.
#pragma once

#include <string>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::services {

// Every violation, one readable line each; empty when the books hold:
// - each document's ledger lines balance (debits equal credits);
// - each account's balance equals the sum of its ledger lines (debits less credits), and every
//   ledger line names an account of the chart;
// - each item's stock in hand equals the sum of its stock movements;
// - each customer's balance equals the sum of its receivable lines (debits less credits).
std::vector<std::string> CheckBooks(Connection& conn);

}  // namespace qlnsales::services
