// A cash memo's payment type and its point-of-sale mark, each read one way by the checks, the save,
// the read-back and processing: trimmed and in any case, so a memo typed "cheque" is a cheque memo
// everywhere.
#pragma once

#include <string>

#include "base/convert.h"

namespace qlnsales::documents {

enum class Payment { kCash, kCheque, kCreditCard, kOther };

inline Payment PaymentOf(const std::string& type) {
  const std::string t = convert::UCase(convert::Trim(type));
  if (t == "CASH") return Payment::kCash;
  if (t == "CHEQUE") return Payment::kCheque;
  if (t == "CREDIT CARD") return Payment::kCreditCard;
  return Payment::kOther;
}

// A memo whose source prefix is "POS" was made at the point of sale.
inline bool IsPointOfSale(const std::string& reference_prefix) {
  return convert::UCase(convert::Trim(reference_prefix)) == "POS";
}

}  // namespace qlnsales::documents
