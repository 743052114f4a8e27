#include <sqlite3.h>

#include <filesystem>
#include <limits>
#include <unordered_map>

#include "db/driver.h"
#include "db/stats.h"

namespace qlnsales::db {
namespace {

constexpr const char* kMoreThanOne = "The text holds more than one statement: run them one by one";

class SqliteDriver final : public Driver {
 public:
  explicit SqliteDriver(const std::string& path) : path_(path) {
    int rc = sqlite3_open_v2(path.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw Error(msg);
    }
    sqlite3_busy_timeout(db_, 15000);
    sqlite3_extended_result_codes(db_, 1);
    if (path != ":memory:") Execute("PRAGMA journal_mode=WAL", {});
    Execute("PRAGMA synchronous=NORMAL", {});
  }

  ~SqliteDriver() override {
    for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }

  Engine engine() const override { return Engine::Sqlite; }

  ResultSet Query(std::string_view sql, const std::vector<Value>& params) override {
    Statement st(*this, sql, params);
    ResultSet rs;
    int n = sqlite3_column_count(st.stmt);
    for (int i = 0; i < n; ++i) rs.columns.emplace_back(sqlite3_column_name(st.stmt, i));
    while (st.Step()) {
      std::vector<Value> row;
      row.reserve(static_cast<std::size_t>(n));
      for (int i = 0; i < n; ++i) row.push_back(Column(st.stmt, i));
      rs.rows.push_back(std::move(row));
    }
    if (n == 0) rs.changed = st.Changed();
    return rs;
  }

  std::int64_t Execute(std::string_view sql, const std::vector<Value>& params) override {
    Statement st(*this, sql, params);
    while (st.Step()) {
    }
    return st.Changed();
  }

  // IMMEDIATE takes the write lock at once, so two writers queue on the busy timeout instead of
  // one of them failing when it upgrades a read lock half-way through.
  // SQLite runs in the process: a deferred write costs no more at once than later.
  void ExecuteDeferred(std::string_view sql, const std::vector<Value>& params,
                       const Expect& expect) override {
    if (Execute(sql, params) < expect.rows) throw Error(expect.message);
  }

  void Begin() override { Execute("BEGIN IMMEDIATE", {}); }
  void Commit() override { Execute("COMMIT", {}); }
  void Rollback() override { Execute("ROLLBACK", {}); }
  bool InTransaction() const override { return sqlite3_get_autocommit(db_) == 0; }

  void BeginUnit(bool savepoint) override {
    if (savepoint)
      Execute(std::string("SAVEPOINT ") + kCallSavepoint, {});
    else
      Begin();
  }
  void Verify(bool) override {}  // every write has run already
  void CommitUnit(bool savepoint) override {
    if (savepoint)
      Execute(std::string("RELEASE SAVEPOINT ") + kCallSavepoint, {});
    else
      Commit();
  }
  void RollbackUnit(bool savepoint) noexcept override {
    // Some errors (a full disk, for one) have already rolled the whole transaction back.
    try {
      if (!InTransaction()) return;
      if (savepoint) {
        Execute(std::string("ROLLBACK TO SAVEPOINT ") + kCallSavepoint, {});
        Execute(std::string("RELEASE SAVEPOINT ") + kCallSavepoint, {});
      } else {
        Rollback();
      }
    } catch (const std::exception&) {
    }
  }

  std::string DatabaseKey() const override {
    if (path_ == ":memory:" || path_.empty() || path_.starts_with("file:")) return "";
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(path_, ec);
    return "sqlite:" + (ec ? path_ : canonical.string());
  }

 private:
  struct Statement {
    Statement(SqliteDriver& d, std::string_view sql, const std::vector<Value>& params)
        : driver(d), stmt(d.Prepare(sql)) {
      int expected = sqlite3_bind_parameter_count(stmt);
      if (expected != static_cast<int>(params.size()))
        throw Error("The statement takes " + std::to_string(expected) + " values, " +
                    std::to_string(params.size()) + " were given");
      for (std::size_t i = 0; i < params.size(); ++i)
        d.Bind(stmt, static_cast<int>(i + 1), params[i]);
    }
    ~Statement() {
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
    }
    bool Step() {
      if (!stepped) {
        ++ThreadStats().statements;
        total_before = sqlite3_total_changes64(driver.db_);
      }
      stepped = true;
      int rc = sqlite3_step(stmt);
      if (rc == SQLITE_ROW) return true;
      if (rc == SQLITE_DONE) return false;
      throw Error(sqlite3_errmsg(driver.db_));
    }
    // The rows this statement changed. sqlite3_changes64 keeps the count of the last INSERT,
    // UPDATE or DELETE, so after any other statement it would still answer that one's; a
    // statement that moved the connection's running total is the one it counts.
    std::int64_t Changed() const {
      if (!stepped || sqlite3_total_changes64(driver.db_) == total_before) return 0;
      return sqlite3_changes64(driver.db_);
    }
    SqliteDriver& driver;
    sqlite3_stmt* stmt;
    bool stepped = false;
    sqlite3_int64 total_before = 0;
  };

  sqlite3_stmt* Prepare(std::string_view sql) {
    std::string key(sql);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    // SQLite stops reading at a NUL, so the text after it would never run nor be refused.
    RequireNoNul(sql);
    if (key.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
      throw Error("The statement is too long");
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(db_, key.c_str(), static_cast<int>(key.size()),
                                SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
    if (rc != SQLITE_OK) throw Error(sqlite3_errmsg(db_));
    if (!stmt) throw Error("The statement is empty");
    if (!OnlyComments(tail, key.data() + key.size())) {
      sqlite3_finalize(stmt);
      throw Error(kMoreThanOne);
    }
    cache_.emplace(std::move(key), stmt);
    return stmt;
  }

  // A statement runs alone: SQLite prepares the first of several and leaves the rest unrun,
  // as PostgreSQL refuses to prepare them at all. What follows the first statement may only be
  // blanks and comments, which SQLite itself tells by preparing nothing from them.
  bool OnlyComments(const char* from, const char* end) {
    while (from && from < end) {
      sqlite3_stmt* next = nullptr;
      const char* rest = nullptr;
      int rc = sqlite3_prepare_v2(db_, from, static_cast<int>(end - from), &next, &rest);
      if (rc != SQLITE_OK || next) {
        sqlite3_finalize(next);
        return false;
      }
      if (rest == from) return false;
      from = rest;
    }
    return true;
  }

  void Bind(sqlite3_stmt* stmt, int i, const Value& v) {
    int rc = SQLITE_OK;
    switch (v.kind()) {
      case Value::Kind::Empty:
        rc = sqlite3_bind_null(stmt, i);
        break;
      case Value::Kind::Bool:
        rc = sqlite3_bind_int(stmt, i, v.ToBool() ? 1 : 0);
        break;
      case Value::Kind::Int32:
      case Value::Kind::Int64:
        rc = sqlite3_bind_int64(stmt, i, v.ToInt64());
        break;
      case Value::Kind::Double: {
        double d = v.ToDouble();
        RequireFinite(d);
        rc = sqlite3_bind_double(stmt, i, d);
        break;
      }
      case Value::Kind::Text: {
        const auto& s = std::get<std::string>(v.storage());
        RequireNoNul(s);
        rc = sqlite3_bind_text(stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
      }
      case Value::Kind::Date: {
        auto s = DateParameter(v.ToDate());
        rc = sqlite3_bind_text(stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
      }
      case Value::Kind::Object:
        throw Error("An object cannot be stored in the database");
    }
    if (rc != SQLITE_OK) throw Error(sqlite3_errmsg(db_));
  }

  static Value Column(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
      case SQLITE_NULL:
        return Value();
      case SQLITE_INTEGER:
        return Value(static_cast<std::int64_t>(sqlite3_column_int64(stmt, i)));
      case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt, i));
      default: {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return Value(
            std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, i))));
      }
    }
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
};

}  // namespace

std::unique_ptr<Driver> OpenSqlite(const std::string& path) {
  return std::make_unique<SqliteDriver>(path);
}

}  // namespace qlnsales::db
