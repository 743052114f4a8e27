// A document's tax shared among the authorities of its tax code, for the sale's tax posting and
// the credit memo that gives it back alike, so both split one tax the same way.
#pragma once

#include <optional>
#include <vector>

namespace qlnsales {

// Each authority's share of `amount` is amount / code_rate * its rate, rounded to `digits`
// decimals, halves to even. The last authority takes what the others left, so the shares add
// up to the tax exactly and the document's postings balance. nullopt when a share would be
// below 0, above the whole tax or not a number: a code rate that does not match its authorities'
// rates, or no rate at all.
std::optional<std::vector<double>> TaxShares(double amount, double code_rate,
                                             const std::vector<double>& authority_rates,
                                             int digits);

}  // namespace qlnsales
