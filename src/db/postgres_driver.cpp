#include <libpq-fe.h>

#include <cstdio>
#include <unordered_map>

#include "db/driver.h"
#include "frame/convert.h"

namespace qlnsales::db {
namespace {

// Object ids of the built-in types the driver reads back as numbers, flags or dates.
enum : Oid {
  kBool = 16,
  kInt8 = 20,
  kInt2 = 21,
  kInt4 = 23,
  kFloat4 = 700,
  kFloat8 = 701,
  kNumeric = 1700,
  kDate = 1082,
  kTimestamp = 1114,
  kTimestampTz = 1184,
};

std::string TrimError(const char* msg) {
  std::string s = msg ? msg : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  if (s.starts_with("ERROR:  ")) s.erase(0, 8);
  return s;
}

// "?" placeholders become "$1", "$2", ...; quoted texts and identifiers are left alone.
std::string Translate(std::string_view sql, int& count) {
  std::string out;
  out.reserve(sql.size() + 8);
  count = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote) {
      if (c == quote) quote = 0;
      out += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      out += c;
    } else if (c == '?') {
      out += '$' + std::to_string(++count);
    } else {
      out += c;
    }
  }
  return out;
}

class PgResult {
 public:
  explicit PgResult(PGresult* r) : r_(r) {}
  ~PgResult() { PQclear(r_); }
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;
  PGresult* get() const { return r_; }

 private:
  PGresult* r_;
};

class PostgresDriver final : public Driver {
 public:
  explicit PostgresDriver(const std::string& conninfo) : conn_(PQconnectdb(conninfo.c_str())) {
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
      std::string msg = conn_ ? TrimError(PQerrorMessage(conn_)) : "out of memory";
      PQfinish(conn_);
      throw Error(msg);
    }
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    Execute("SET client_min_messages TO warning", {});
  }

  ~PostgresDriver() override { PQfinish(conn_); }

  Engine engine() const override { return Engine::Postgres; }

  ResultSet Query(std::string_view sql, const std::vector<Value>& params) override {
    PgResult r(Run(sql, params));
    ResultSet rs;
    int cols = PQnfields(r.get());
    int rows = PQntuples(r.get());
    for (int c = 0; c < cols; ++c) rs.columns.emplace_back(PQfname(r.get(), c));
    rs.rows.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
      std::vector<Value> row;
      row.reserve(static_cast<std::size_t>(cols));
      for (int c = 0; c < cols; ++c) row.push_back(Field(r.get(), i, c));
      rs.rows.push_back(std::move(row));
    }
    return rs;
  }

  std::int64_t Execute(std::string_view sql, const std::vector<Value>& params) override {
    PgResult r(Run(sql, params));
    const char* n = PQcmdTuples(r.get());
    return n && *n ? std::stoll(n) : 0;
  }

  void Begin() override { Execute("BEGIN", {}); }
  void Commit() override { Execute("COMMIT", {}); }
  void Rollback() override { Execute("ROLLBACK", {}); }
  bool InTransaction() const override {
    return PQtransactionStatus(conn_) == PQTRANS_INTRANS ||
           PQtransactionStatus(conn_) == PQTRANS_INERROR;
  }

 private:
  PGresult* Run(std::string_view sql, const std::vector<Value>& params) {
    const std::string& name = Prepare(sql, params.size());
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const Value& v = params[i];
      switch (v.kind()) {
        case Value::Kind::Empty:
          continue;
        case Value::Kind::Bool:
          texts[i] = v.ToBool() ? "1" : "0";
          break;
        case Value::Kind::Int32:
        case Value::Kind::Int64:
          texts[i] = std::to_string(v.ToInt64());
          break;
        case Value::Kind::Double: {
          double d = v.ToDouble();
          RequireFinite(d);
          char buf[40];
          std::snprintf(buf, sizeof buf, "%.17g", d);
          texts[i] = buf;
          break;
        }
        case Value::Kind::Text:
          texts[i] = std::get<std::string>(v.storage());
          break;
        case Value::Kind::Date:
          texts[i] = DateParameter(v.ToDate());
          break;
        case Value::Kind::Object:
          throw Error("An object cannot be stored in the database");
      }
      values[i] = texts[i].c_str();
    }
    PGresult* r = PQexecPrepared(conn_, name.c_str(), static_cast<int>(params.size()),
                                 values.data(), nullptr, nullptr, 0);
    Check(r);
    return r;
  }

  // Statements are prepared once per connection and then run by name. Parameter types are left
  // to the server, which takes them from where each "?" stands.
  const std::string& Prepare(std::string_view sql, std::size_t nparams) {
    std::string key(sql);
    auto it = prepared_.find(key);
    if (it != prepared_.end()) return it->second;
    int count = 0;
    std::string text = Translate(sql, count);
    if (static_cast<std::size_t>(count) != nparams)
      throw Error("The statement takes " + std::to_string(count) + " values, " +
                  std::to_string(nparams) + " were given");
    std::string name = "q" + std::to_string(prepared_.size() + 1);
    PGresult* r = PQprepare(conn_, name.c_str(), text.c_str(), 0, nullptr);
    Check(r);
    PQclear(r);
    return prepared_.emplace(std::move(key), std::move(name)).first->second;
  }

  void Check(PGresult* r) {
    auto status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
    std::string msg = r ? TrimError(PQresultErrorMessage(r)) : TrimError(PQerrorMessage(conn_));
    PQclear(r);
    if (msg.empty()) msg = TrimError(PQerrorMessage(conn_));
    throw Error(msg);
  }

  static Value Field(PGresult* r, int row, int col) {
    if (PQgetisnull(r, row, col)) return Value();
    std::string text(PQgetvalue(r, row, col), static_cast<std::size_t>(PQgetlength(r, row, col)));
    switch (PQftype(r, col)) {
      case kBool:
        return Value(text == "t");
      case kInt2:
      case kInt4:
      case kInt8:
        return Value(static_cast<std::int64_t>(std::stoll(text)));
      case kFloat4:
      case kFloat8:
      case kNumeric:
        return Value(std::stod(text));
      case kDate:
      case kTimestamp:
      case kTimestampTz:
        if (auto d = convert::ParseDate(text.substr(0, 19))) return Value(*d);
        return Value(text);
      default:
        return Value(std::move(text));
    }
  }

  PGconn* conn_;
  std::unordered_map<std::string, std::string> prepared_;
};

}  // namespace

std::unique_ptr<Driver> OpenPostgres(const std::string& conninfo) {
  return std::make_unique<PostgresDriver>(conninfo);
}

}  // namespace qlnsales::db
