// The books check: the invariants the default modules keep, checked from their rows.
#pragma once

#include <string>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::services {

struct BooksReport {
  // Every violation, one short line each naming its row; empty when the books hold.
  std::vector<std::string> violations;
  // What was looked at, a few lines for people ("12 accounts, 40 ledger lines").
  std::vector<std::string> checked;
  // Documents processed off-line whose postings wait for their synchronisation: no violation.
  std::vector<std::string> awaiting_synchronisation;
};

// The whole check:
// - amounts are numbers and finite: balances and opening balances, ledger and receivable amounts,
//   stock in hand and stock amounts, movement quantities and amounts, location stock;
// - each document's ledger lines balance (debits equal credits);
// - each account's balance equals the sum of its ledger lines (debits less credits), and every
//   ledger line names an account of the chart;
// - each item's stock in hand equals the sum of its movements' quantities, and its stock amount
//   the sum of their amounts (in less out); every movement names an item of the item master;
// - each customer's balance equals the sum of its receivable lines (debits less credits), and
//   every receivable line names a customer of the customer master;
// - every document line has its header; a processed document of a kind whose processing needs
//   lines has lines;
// - a processed document (its number is final) has the postings its kind makes. A delivery (not
//   made from a cash memo, whose goods left stock with the memo) and a direct delivery post, for
//   each stock line (an item of type 0 or 3), a stock movement of the line's item under the
//   document's number, and ledger lines under that number when a line's item is of type 0.
//   Processing off-line gives the final number but makes the postings only at synchronisation,
//   and nothing in the rows marks a document as processed off-line. So a processed document with
//   none of its postings counts as awaiting synchronisation, unless a line carries the value it
//   left stock at (Inventory_Value, written only when the goods are posted): then its postings
//   were lost. Some postings without the others are always a violation.
// - a processed sales invoice with lines (an opening-balance invoice has none and posts its
//   receivable alone) has a receivable line and ledger lines under its number; with neither it
//   counts as awaiting synchronisation, and one without the other is a violation;
// - a processed sales return has ledger lines under its number (each line reverses its cost) and,
//   for its stock lines (items of type 0 or 3), movements of each item whose base quantities sum
//   to the base quantity returned; with neither it counts as awaiting synchronisation;
// - no delivery or direct-delivery line is invoiced beyond the quantity it delivered, and no
//   source line of a return (invoice, direct sales invoice, cash memo, delivery or direct
//   delivery) has more returned (in base units) than its quantity in base units;
// - a processed credit-memo voucher (process_Flag set) has ledger lines under its number and
//   receivable lines that credit its customer what its customer lines credit; an unprocessed
//   voucher owes nothing. Every voucher line has its header.
BooksReport InspectBooks(Connection& conn);

// The violations of InspectBooks.
std::vector<std::string> CheckBooks(Connection& conn);

}  // namespace qlnsales::services
