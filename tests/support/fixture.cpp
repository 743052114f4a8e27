#include "support/fixture.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "db/record.h"
#include "qlnsales/database.h"
#include "sample/sample_company.h"

namespace qlnsales::testing {
namespace {

std::atomic<int> counter{0};

std::string PgBase() {
  const char* s = std::getenv("QLNSALES_TEST_PG");
  return s ? s : "";
}

std::string WithSearchPath(const std::string& base, const std::string& schema) {
  if (base.starts_with("postgres")) {
    return base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema;
  }
  return base + " options='-c search_path=" + schema + "'";
}

}  // namespace

bool UsingPostgres() {
  return !PgBase().empty();
}

void DbTest::SetUp() {
  int n = ++counter;
  std::string tag = std::to_string(::getpid()) + "_" + std::to_string(n);
  if (UsingPostgres()) {
    pg_schema_ = "t_" + tag;
    Connection admin(PgBase());
    admin.Execute("CREATE SCHEMA " + pg_schema_);
    cs = WithSearchPath(PgBase(), pg_schema_);
  } else {
    sqlite_path_ =
        (std::filesystem::temp_directory_path() / ("qlnsales-test-" + tag + ".db")).string();
    std::filesystem::remove(sqlite_path_);
    cs = "sqlite:" + sqlite_path_;
  }
  conn = std::make_shared<Connection>(cs);
  CreateSchema(*conn);
  if (with_sample) refdata::AddSampleCompany(*conn);
}

void DbTest::TearDown() {
  conn.reset();
  Connection::ClearPool();
  if (!pg_schema_.empty()) {
    Connection admin(PgBase());
    admin.Execute("DROP SCHEMA " + pg_schema_ + " CASCADE");
  }
  if (!sqlite_path_.empty())
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(sqlite_path_ + suffix);
}

Value DbTest::Scalar(std::string_view sql, const std::vector<Value>& params) {
  auto rs = conn->Query(sql, params);
  if (rs.empty()) return Value();
  return rs.rows[0][0];
}

std::int64_t DbTest::Count(std::string_view table, std::string_view where,
                           const std::vector<Value>& params) {
  CheckSqlName(table);
  std::string sql = "SELECT COUNT(*) FROM " + std::string(table);
  if (!where.empty()) sql += " WHERE " + std::string(where);
  return Scalar(sql, params).ToInt64();
}

void Fill(Grid& grid, std::int32_t row, const std::vector<std::pair<int, std::string>>& cells) {
  for (const auto& [col, text] : cells) grid.SetTextMatrix(row, col, text);
}

void SetOrderConversions(Connection& conn, bool cash_delivery, bool cash_memo, bool credit_delivery,
                         bool credit_invoice) {
  conn.Execute(
      "UPDATE Default_Sales_Preferences SET Cash_SO_Delivery_Flag = ?, Cash_SO_Cash_Memo_Flag = ?, "
      "Credit_SO_Delivery_Flag = ?, Credit_SO_Invoice_Flag = ? WHERE Branch_Prefix = '01'",
      {Value(cash_delivery ? 1 : 0), Value(cash_memo ? 1 : 0), Value(credit_delivery ? 1 : 0),
       Value(credit_invoice ? 1 : 0)});
}

}  // namespace qlnsales::testing
