#include <cmath>
#include <mutex>
#include <unordered_map>

#include "base/convert.h"
#include "db/driver.h"
#include "db/open_connections.h"
#include "db/pending_writes.h"
#include "db/statement_text.h"
#include "db/unit_of_work.h"

namespace qlnsales {

using db::IsRead;
using db::WrittenTable;

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
  ExecuteExpecting(sql, params, 0, "");
}

void Connection::ExecuteExpecting(std::string_view sql, const std::vector<Value>& params,
                                  std::int64_t rows, std::string message) {
  Connection& c = Route(true);
  c.Flush(sql, false);
  c.ForgetWrites(WrittenTable(sql));
  c.Require().ExecuteDeferred(sql, params, {rows, std::move(message)});
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
  // Both engines read the string up to a NUL; what followed it would be silently ignored.
  if (s.find('\0') != std::string_view::npos)
    throw Error("The connection string holds a NUL character");
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
  // Beyond the four-digit years the text form would not read back, and the engines disagree.
  if (d.Year() < 1 || d.Year() > 9999)
    throw Error("A date outside the years 1 to 9999 cannot be stored");
  return convert::FormatIsoDateTime(d);
}

void RequireFinite(double v) {
  if (!std::isfinite(v)) throw Error("A number that is not finite cannot be stored");
}

// SQLite would keep the whole text and PostgreSQL cut it at the NUL: two texts that differ
// after it would be one value on one engine and two on the other.
void RequireNoNul(std::string_view text) {
  if (text.find('\0') != std::string_view::npos)
    throw Error("A text holding a NUL character cannot be stored");
}

}  // namespace db
}  // namespace qlnsales
