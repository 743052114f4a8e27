// What goods cost when they left stock and what they were sold for, per base unit, for each line
// of a source a return may take goods back from: the return's processing values its lines by the
// one, as the readers do, and credits no line beyond the other.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "qlnsales/connection.h"

namespace qlnsales::documents {

struct ReturnableLine {
  double cost = 0;   // what one base unit cost when it left stock
  double price = 0;  // what one base unit was sold for (the line's amount over its base quantity)
};

// By the source line's SL_No, for the lines of source `number` of kind "INV", "DEL", "DDL" or
// "CHM" that still have goods to take back; empty for another kind. An invoice line's cost is
// its own delivery line's; a cash memo's that paid a delivery, what the item cost on it.
std::map<std::int32_t, ReturnableLine> ReturnableCosts(Connection& conn, const std::string& kind,
                                                       const std::string& number);

}  // namespace qlnsales::documents
