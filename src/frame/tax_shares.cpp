#include "frame/tax_shares.h"

#include <algorithm>
#include <cmath>

#include "base/convert.h"

namespace qlnsales {

std::optional<std::vector<double>> TaxShares(double amount, double code_rate,
                                             const std::vector<double>& authority_rates,
                                             int digits) {
  const double slack = 1e-9 * std::max(1.0, std::fabs(amount));
  std::vector<double> shares;
  double posted = 0;
  for (std::size_t k = 0; k < authority_rates.size(); ++k) {
    double share;
    if (k + 1 < authority_rates.size()) {
      share = convert::RoundHalfEven(amount / code_rate * authority_rates[k], digits);
    } else {
      // Rounded, unless the tax itself has more decimals than `digits`: then the exact rest, or
      // the shares would not add up to it.
      const double rest = amount - posted;
      share = convert::RoundHalfEven(rest, digits);
      if (std::fabs(share - rest) > slack) share = rest;
    }
    if (!std::isfinite(share) || share < 0 || share > amount + slack) return std::nullopt;
    posted = convert::RoundHalfEven(posted + share, digits);
    shares.push_back(share);
  }
  return shares;
}

}  // namespace qlnsales
