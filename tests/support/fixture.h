// A fresh database per test: SQLite in a temporary file, or, when QLNSALES_TEST_PG names a
// server, a schema of its own on that server. The schema and the sample company are in place.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "qlnsales/connection.h"
#include "qlnsales/grid.h"

namespace qlnsales::testing {

bool UsingPostgres();

// Sets the cells of one grid row: {column, text} pairs.
void Fill(Grid& grid, std::int32_t row, const std::vector<std::pair<int, std::string>>& cells);

// What branch 01's sales preferences make of an order processed on-line.
void SetOrderConversions(Connection& conn, bool cash_delivery, bool cash_memo, bool credit_delivery,
                         bool credit_invoice);

class DbTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs a query on the test database and returns its single value (Empty when no row).
  Value Scalar(std::string_view sql, const std::vector<Value>& params = {});
  std::int64_t Count(std::string_view table, std::string_view where = "",
                     const std::vector<Value>& params = {});

  std::string cs;      // the connection string of the test database
  ConnectionRef conn;  // an open connection object on it
  bool with_sample = true;

 private:
  std::string sqlite_path_;
  std::string pg_schema_;
};

}  // namespace qlnsales::testing
