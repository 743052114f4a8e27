#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "db/driver.h"
#include "db/open_connections.h"
#include "db/stats.h"
#include "db/unit_of_work.h"
#include "frame/convert.h"

namespace qlnsales {

int ResultSet::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (convert::EqualsNoCase(columns[i], name)) return static_cast<int>(i);
  return -1;
}

const Value& Row::operator[](std::string_view column) const {
  int i = rs_->ColumnIndex(column);
  if (i < 0) throw Error("Column '" + std::string(column) + "' is not in the result");
  return rs_->rows[index_][static_cast<std::size_t>(i)];
}

const Value& Row::Required(std::string_view column) const {
  const Value& v = (*this)[column];
  if (v.IsEmpty()) throw Error("Invalid use of Null");
  return v;
}

bool Row::Has(std::string_view column) const {
  return rs_->ColumnIndex(column) >= 0;
}

bool Row::Flag(std::string_view column) const {
  const Value& v = (*this)[column];
  if (v.IsEmpty()) return false;
  return v.ToBool();
}

// What a connection holds back during a call: rows batched per table and column list, sums per
// row, and reads answered once.
struct Connection::Pending {
  struct Batch {
    std::string table;
    std::vector<std::string> columns;
    std::vector<Value> values;  // row after row
  };
  std::vector<Batch> batches;
  struct SumKey {
    std::string table, column;
    std::vector<std::string> key_columns;
    std::vector<std::string> key_texts;  // the key values as text: the order rows are taken in
    auto operator<=>(const SumKey&) const = default;
  };
  struct Sum {
    std::vector<Value> key_values;
    double delta = 0;
  };
  std::map<SumKey, Sum> sums;
  struct Cached {
    std::string sql;
    std::vector<Value> params;
    ResultSet result;
  };
  std::list<Cached> cached;

  bool empty() const { return batches.empty() && sums.empty(); }
};

namespace {

bool IsRead(std::string_view sql) {
  std::size_t i = 0;
  while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\n' || sql[i] == '(')) ++i;
  return convert::EqualsNoCase(sql.substr(i, 6), "SELECT") ||
         convert::EqualsNoCase(sql.substr(i, 4), "WITH");
}

// Whether `sql` names `table` as a whole word, without regard to case.
bool Names(std::string_view sql, std::string_view table) {
  auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  for (std::size_t i = 0; i + table.size() <= sql.size(); ++i) {
    if (!convert::EqualsNoCase(sql.substr(i, table.size()), table)) continue;
    bool before = i == 0 || !word(sql[i - 1]);
    bool after = i + table.size() == sql.size() || !word(sql[i + table.size()]);
    if (before && after) return true;
  }
  return false;
}

// The table a write changes: the word after UPDATE, INSERT INTO or DELETE FROM.
std::string WrittenTable(std::string_view sql) {
  std::string upper =
      convert::UCase(std::string(sql.substr(0, std::min<std::size_t>(sql.size(), 200))));
  for (const char* verb : {"UPDATE ", "INSERT INTO ", "DELETE FROM "}) {
    auto at = upper.find(verb);
    if (at == std::string::npos) continue;
    std::size_t b = at + std::string_view(verb).size();
    while (b < sql.size() && sql[b] == ' ') ++b;
    std::size_t e = b;
    while (e < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[e])) || sql[e] == '_'))
      ++e;
    return std::string(sql.substr(b, e - b));
  }
  return "";
}

// SQLite takes up to 32766 values in one statement, PostgreSQL 65535; a batch stays well below.
constexpr std::size_t kMaxBatchValues = 2000;

}  // namespace

Connection::Connection() = default;
Connection::Connection(const std::string& connection_string) {
  Open(connection_string);
}
Connection::~Connection() {
  if (driver_) Drop();
}

std::int32_t Connection::State() const {
  return driver_ ? 1 : 0;
}

void Connection::Open(std::optional<std::string> connection_string) {
  if (connection_string && !connection_string->empty()) ConnectionString = *connection_string;
  if (driver_) throw Error("Operation is not allowed when the object is open.");
  driver_ = db::OpenDriver(ConnectionString);
  key_ = driver_->DatabaseKey();
  db::OpenConnections::Add(this);
}

void Connection::Close() {
  if (!driver_) throw Error("Operation is not allowed when the object is closed.");
  Drop();
}

void Connection::Drop() {
  if (auto* unit = db::UnitOfWork::Current()) unit->Forget(*this);
  db::OpenConnections::Remove(this);
  pending_.reset();
  driver_.reset();
}

db::Driver& Connection::Require() const {
  if (!driver_) throw Error("Operation is not allowed when the object is closed.");
  return *driver_;
}

std::int64_t Connection::Run(std::string sql) {
  return Execute(sql, {});
}
void Connection::BeginTrans() {
  Require().Begin();
}
void Connection::CommitTrans() {
  Require().Commit();
}
void Connection::RollbackTrans() {
  Require().Rollback();
}
bool Connection::InTransaction() const {
  return driver_ && driver_->InTransaction();
}

Connection& Connection::Route(bool write) {
  auto* unit = db::UnitOfWork::Current();
  if (!unit || !driver_) return *this;
  return write ? unit->Writer(*this) : unit->Reader(*this);
}

ResultSet Connection::Query(std::string_view sql, const std::vector<Value>& params) {
  const bool read = IsRead(sql);
  Connection& c = Route(!read);
  c.Flush(sql, read);
  if (!read) c.ForgetWrites(WrittenTable(sql));
  return c.Require().Query(sql, params);
}

std::int64_t Connection::Execute(std::string_view sql, const std::vector<Value>& params) {
  const bool read = IsRead(sql);
  Connection& c = Route(!read);
  c.Flush(sql, read);
  if (!read) c.ForgetWrites(WrittenTable(sql));
  return c.Require().Execute(sql, params);
}

void Connection::ExecuteDeferred(std::string_view sql, const std::vector<Value>& params) {
  Connection& c = Route(true);
  c.Flush(sql, false);
  c.ForgetWrites(WrittenTable(sql));
  c.Require().ExecuteDeferred(sql, params);
}

void Connection::InsertDeferred(std::string_view table, const std::vector<std::string>& columns,
                                std::vector<Value> values) {
  if (columns.empty() || columns.size() != values.size())
    throw Error("A row needs one value for each of its columns");
  Connection& c = Route(true);
  if (!db::UnitOfWork::Current()) {
    // Outside a call nothing would send a batch later.
    std::string sql = "INSERT INTO " + std::string(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + columns[i];
    sql += ") VALUES (";
    for (std::size_t i = 0; i < columns.size(); ++i) sql += i ? ", ?" : "?";
    c.Require().Execute(sql + ")", values);
    return;
  }
  c.ForgetWrites(table);
  if (!c.pending_) c.pending_ = std::make_unique<Pending>();
  auto& batches = c.pending_->batches;
  auto it = std::find_if(batches.begin(), batches.end(), [&](const Pending::Batch& b) {
    return b.table == table && b.columns == columns;
  });
  if (it == batches.end()) {
    batches.push_back({std::string(table), columns, {}});
    it = std::prev(batches.end());
  }
  for (auto& v : values) it->values.push_back(std::move(v));
}

void Connection::AddDeferred(std::string_view table, std::string_view column,
                             std::vector<std::pair<std::string, Value>> key, double delta) {
  db::RequireFinite(delta);
  Connection& c = Route(true);
  Pending::SumKey k{std::string(table), std::string(column), {}, {}};
  std::vector<Value> key_values;
  for (auto& [col, v] : key) {
    k.key_columns.push_back(col);
    k.key_texts.push_back(v.ToText());
    key_values.push_back(std::move(v));
  }
  if (!db::UnitOfWork::Current()) {
    std::string sql = "UPDATE " + k.table + " SET " + k.column + " = " + k.column + " + ?";
    for (std::size_t i = 0; i < k.key_columns.size(); ++i)
      sql += (i ? " AND " : " WHERE ") + k.key_columns[i] + " = ?";
    std::vector<Value> params;
    params.reserve(key_values.size() + 1);
    params.emplace_back(delta);
    for (auto& v : key_values) params.push_back(std::move(v));
    c.Require().Execute(sql, params);
    return;
  }
  c.ForgetWrites(table);
  if (!c.pending_) c.pending_ = std::make_unique<Pending>();
  auto& sum = c.pending_->sums[k];
  if (sum.key_values.empty()) sum.key_values = std::move(key_values);
  sum.delta += delta;
}

ResultSet Connection::CachedQuery(std::string_view sql, const std::vector<Value>& params) {
  Connection& c = Route(false);
  if (!db::UnitOfWork::Current()) {
    // Nothing would ever forget it: a read outside a call is simply run.
    if (!c.pending_) c.pending_ = std::make_unique<Pending>();
    c.pending_->cached.clear();
  } else if (c.pending_) {
    for (const auto& hit : c.pending_->cached)
      if (hit.sql == sql && hit.params.size() == params.size() &&
          std::equal(hit.params.begin(), hit.params.end(), params.begin(),
                     [](const Value& a, const Value& b) {
                       return a.kind() == b.kind() && a.ToText() == b.ToText();
                     }))
        return hit.result;
  }
  ResultSet rs = c.Query(sql, params);
  if (!c.pending_) c.pending_ = std::make_unique<Pending>();
  c.pending_->cached.push_back({std::string(sql), params, std::move(rs)});
  return c.pending_->cached.back().result;
}

void Connection::ResetPending() noexcept {
  pending_.reset();
}

void Connection::ForgetWrites(std::string_view table) {
  if (!pending_ || pending_->cached.empty()) return;
  auto& cached = pending_->cached;
  if (table.empty()) {
    cached.clear();
    return;
  }
  std::erase_if(cached, [&](const Pending::Cached& c) { return Names(c.sql, table); });
}

void Connection::Flush(std::string_view sql, bool read) {
  if (!pending_ || pending_->empty()) return;
  db::Driver& d = Require();
  auto touched = [&](const std::string& table) { return read || sql.empty() || Names(sql, table); };
  auto& batches = pending_->batches;
  for (auto it = batches.begin(); it != batches.end();) {
    if (!touched(it->table)) {
      ++it;
      continue;
    }
    const std::size_t width = it->columns.size();
    const std::size_t rows = it->values.size() / width;
    const std::size_t per = std::max<std::size_t>(1, kMaxBatchValues / width);
    std::string head = "INSERT INTO " + it->table + " (";
    std::string one = "(";
    for (std::size_t i = 0; i < width; ++i) {
      head += (i ? ", " : "") + it->columns[i];
      one += i ? ", ?" : "?";
    }
    head += ") VALUES ";
    one += ")";
    for (std::size_t first = 0; first < rows; first += per) {
      std::size_t n = std::min(per, rows - first);
      std::string stmt = head;
      for (std::size_t r = 0; r < n; ++r) stmt += (r ? ", " : "") + one;
      std::vector<Value> values(
          it->values.begin() + static_cast<std::ptrdiff_t>(first * width),
          it->values.begin() + static_cast<std::ptrdiff_t>((first + n) * width));
      d.ExecuteDeferred(stmt, values);
    }
    it = batches.erase(it);
  }
  auto& sums = pending_->sums;
  for (auto it = sums.begin(); it != sums.end();) {
    if (!touched(it->first.table)) {
      ++it;
      continue;
    }
    const auto& k = it->first;
    std::string stmt = "UPDATE " + k.table + " SET " + k.column + " = " + k.column + " + ?";
    for (std::size_t i = 0; i < k.key_columns.size(); ++i)
      stmt += (i ? " AND " : " WHERE ") + k.key_columns[i] + " = ?";
    std::vector<Value> values{Value(it->second.delta)};
    values.insert(values.end(), it->second.key_values.begin(), it->second.key_values.end());
    d.ExecuteDeferred(stmt, values);
    it = sums.erase(it);
  }
}

db::Engine Connection::Engine() const {
  return Require().engine();
}

namespace {
thread_local std::unordered_map<std::string, std::shared_ptr<Connection>> pool;
}

std::shared_ptr<Connection> Connection::Pooled(const std::string& connection_string) {
  auto it = pool.find(connection_string);
  if (it != pool.end() && it->second->State() == 1) return it->second;
  auto conn = std::make_shared<Connection>(connection_string);
  pool[connection_string] = conn;
  return conn;
}

void Connection::ClearPool() {
  pool.clear();
}

const DispatchTable& Connection::Dispatch() const {
  static const DispatchTable table = DispatchBuilder<Connection>("QLNSales.Connection")
                                         .Prop("ConnectionString", &Connection::ConnectionString)
                                         .ReadOnly("State", &Connection::State)
                                         .Method("Open", &Connection::Open)
                                         .Method("Close", &Connection::Close)
                                         .Method("Execute", &Connection::Run)
                                         .Method("BeginTrans", &Connection::BeginTrans)
                                         .Method("CommitTrans", &Connection::CommitTrans)
                                         .Method("RollbackTrans", &Connection::RollbackTrans)
                                         .Build();
  return table;
}

namespace db {

namespace {
std::mutex wrapper_mutex;
DriverWrapper& Wrapper() {
  static DriverWrapper wrapper;
  return wrapper;
}

std::unique_ptr<Driver> OpenEngine(const std::string& cs) {
  std::string_view s = cs;
  if (s.starts_with("sqlite:")) {
    auto path = std::string(s.substr(7));
    if (path.empty()) throw Error("The connection string names no SQLite database: '" + cs + "'");
    return OpenSqlite(path);
  }
  if (s.starts_with("postgresql://") || s.starts_with("postgres://") ||
      s.find('=') != std::string_view::npos)
    return OpenPostgres(cs);
  if (cs.empty()) throw Error("The connection string is empty");
  throw Error("Unknown connection string '" + cs +
              "': use sqlite:PATH, postgresql://... or key=value pairs");
}
}  // namespace

void SetDriverWrapper(DriverWrapper wrapper) {
  std::lock_guard lock(wrapper_mutex);
  Wrapper() = std::move(wrapper);
}

std::unique_ptr<Driver> OpenDriver(const std::string& cs) {
  auto driver = OpenEngine(cs);
  DriverWrapper wrapper;
  {
    std::lock_guard lock(wrapper_mutex);
    wrapper = Wrapper();
  }
  return wrapper ? wrapper(std::move(driver)) : std::move(driver);
}

std::string DateParameter(const Date& d) {
  return convert::FormatIsoDateTime(d);
}

void RequireFinite(double v) {
  if (!std::isfinite(v)) throw Error("A number that is not finite cannot be stored");
}

}  // namespace db
}  // namespace qlnsales
