// Every row of every table of the schema, as text, to compare the database before and after a
// call.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::testing {

// Table name -> its rows, each row its columns' values as text (nulls marked, numbers exact),
// sorted, so that two snapshots of the same data compare equal whatever order the engine answers
// in.
using TableSnapshot = std::map<std::string, std::vector<std::string>>;

TableSnapshot TakeSnapshot(Connection& conn);

// "" when the snapshots are equal; else, for each table that differs, the rows only one of them
// has (a few of each).
std::string SnapshotDiff(const TableSnapshot& before, const TableSnapshot& after);

}  // namespace qlnsales::testing
