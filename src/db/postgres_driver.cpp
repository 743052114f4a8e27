#include <libpq-fe.h>

#include <charconv>
#include <cstdio>
#include <unordered_map>

#include "base/convert.h"
#include "db/driver.h"
#include "db/stats.h"

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
    if (cols == 0) rs.changed = Changed(r.get());
    return rs;
  }

  std::int64_t Execute(std::string_view sql, const std::vector<Value>& params) override {
    PgResult r(Run(sql, params));
    return Changed(r.get());
  }

  static std::int64_t Changed(PGresult* r) {
    const char* n = PQcmdTuples(r);
    return n && *n ? std::stoll(n) : 0;
  }

  void ExecuteDeferred(std::string_view sql, const std::vector<Value>& params,
                       const Expect& expect) override {
    if (!pipeline_) {
      PgResult r(Run(sql, params));
      if (Changed(r.get()) < expect.rows) throw Error(expect.message);
      return;
    }
    Send(sql, params, expect);
    // A bounded queue: the server's answers must not pile up unread without end.
    if (sent_.size() >= kMaxQueued) PQclear(Sync());
  }

  void Begin() override { Execute("BEGIN", {}); }
  void Commit() override { Execute("COMMIT", {}); }
  void Rollback() override { Execute("ROLLBACK", {}); }
  bool InTransaction() const override {
    return pipeline_ || PQtransactionStatus(conn_) == PQTRANS_INTRANS ||
           PQtransactionStatus(conn_) == PQTRANS_INERROR;
  }

  // A call's statements travel in pipeline mode: those whose result is not read go out without
  // waiting, and the server's answers are read at the next statement whose result is needed.
  void BeginUnit(bool savepoint) override {
    if (PQenterPipelineMode(conn_) != 1) throw Error(TrimError(PQerrorMessage(conn_)));
    pipeline_ = true;
    try {
      Replan();
      Send(savepoint ? std::string("SAVEPOINT ") + kCallSavepoint : "BEGIN", {});
    } catch (...) {
      LeavePipeline();
      throw;
    }
  }

  void Verify(bool all) override {
    if (!pipeline_ || sent_.empty()) return;
    bool checked = all;
    for (const auto& s : sent_) checked = checked || s.expect.rows > 0;
    if (checked) PQclear(Sync());
  }

  void CommitUnit(bool savepoint) override {
    Verify(false);
    Send(savepoint ? std::string("RELEASE SAVEPOINT ") + kCallSavepoint : "COMMIT", {});
    PQclear(Sync());
    LeavePipeline();
  }

  void RollbackUnit(bool savepoint) noexcept override {
    if (!pipeline_) return;
    try {
      if (!sent_.empty()) PQclear(Sync());
    } catch (const std::exception&) {
    }
    try {
      if (savepoint) {
        Send(std::string("ROLLBACK TO SAVEPOINT ") + kCallSavepoint, {});
        Send(std::string("RELEASE SAVEPOINT ") + kCallSavepoint, {});
      } else {
        Send("ROLLBACK", {});
      }
      PQclear(Sync());
    } catch (const std::exception&) {
    }
    LeavePipeline();
  }

  std::string DatabaseKey() const override {
    auto text = [](const char* p) { return std::string(p ? p : ""); };
    return "postgresql:" + text(PQhost(conn_)) + ":" + text(PQport(conn_)) + "/" +
           text(PQdb(conn_)) + "?user=" + text(PQuser(conn_)) +
           "&options=" + text(PQoptions(conn_));
  }

 private:
  static constexpr std::size_t kMaxQueued = 512;
  static constexpr std::size_t kReplanAfter = 5000;

  // Statements are prepared once per connection, and the server keeps a plan it found good while
  // a table was small (a new company's, before any ANALYZE) as the table grows: a table scan that
  // costs more with every row. So every few thousand statements, at the start of a call, the
  // connection forgets its prepared statements (in the call's pipeline: no wait of its own) and
  // they are planned again for the tables as they are.
  void Replan() {
    if (run_since_prepare_ < kReplanAfter) return;
    if (PQsendQueryParams(conn_, "DEALLOCATE ALL", 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
      throw Error(TrimError(PQerrorMessage(conn_)));
    sent_.push_back({"", {}});
    ++ThreadStats().statements;
    prepared_.clear();
    run_since_prepare_ = 0;
  }

  // Parameters as the texts libpq sends; a null stays a null pointer.
  struct Params {
    std::vector<std::string> texts;
    std::vector<const char*> values;
  };

  static Params Texts(const std::vector<Value>& params) {
    Params p;
    p.texts.resize(params.size());
    p.values.assign(params.size(), nullptr);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const Value& v = params[i];
      switch (v.kind()) {
        case Value::Kind::Empty:
          continue;
        case Value::Kind::Bool:
          p.texts[i] = v.ToBool() ? "1" : "0";
          break;
        case Value::Kind::Int32:
        case Value::Kind::Int64:
          p.texts[i] = std::to_string(v.ToInt64());
          break;
        case Value::Kind::Double: {
          double d = v.ToDouble();
          RequireFinite(d);
          // The shortest text that reads back as the same double.
          char buf[40];
          auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
          p.texts[i].assign(buf, end);
          break;
        }
        case Value::Kind::Text:
          // libpq sends a text up to its first NUL: the rest would be cut off without a word.
          RequireNoNul(std::get<std::string>(v.storage()));
          p.texts[i] = std::get<std::string>(v.storage());
          break;
        case Value::Kind::Date:
          p.texts[i] = DateParameter(v.ToDate());
          break;
        case Value::Kind::Object:
          throw Error("An object cannot be stored in the database");
      }
      p.values[i] = p.texts[i].c_str();
    }
    return p;
  }

  // Queues a statement in the pipeline (preparing it first, also queued, when it is new).
  void Send(std::string_view sql, const std::vector<Value>& params, const Expect& expect = {}) {
    Params p = Texts(params);
    std::string key(sql);
    auto it = prepared_.find(key);
    if (it == prepared_.end()) {
      RequireNoNul(sql);
      int count = 0;
      std::string text = Translate(sql, count);
      if (static_cast<std::size_t>(count) != params.size())
        throw Error("The statement takes " + std::to_string(count) + " values, " +
                    std::to_string(params.size()) + " were given");
      std::string name = "q" + std::to_string(++prepared_count_);
      if (PQsendPrepare(conn_, name.c_str(), text.c_str(), 0, nullptr) != 1)
        throw Error(TrimError(PQerrorMessage(conn_)));
      sent_.push_back({key, {}});
      it = prepared_.emplace(std::move(key), std::move(name)).first;
    }
    if (PQsendQueryPrepared(conn_, it->second.c_str(), static_cast<int>(params.size()),
                            p.values.data(), nullptr, nullptr, 0) != 1)
      throw Error(TrimError(PQerrorMessage(conn_)));
    sent_.push_back({"", expect});
    ++ThreadStats().statements;
    ++run_since_prepare_;
  }

  // Waits for the answers to everything queued and answers the last statement's result. The
  // first error among them is thrown with the statement's own text; statements after it in the
  // pipeline were not run.
  PGresult* Sync() {
    if (PQpipelineSync(conn_) != 1) throw Error(TrimError(PQerrorMessage(conn_)));
    ++ThreadStats().waits;
    std::string error;
    PGresult* last = nullptr;
    for (std::size_t i = 0; i < sent_.size(); ++i) {
      PGresult* r = PQgetResult(conn_);
      if (!r) {
        // The connection broke: nothing more will come.
        if (error.empty()) error = TrimError(PQerrorMessage(conn_));
        for (std::size_t j = i; j < sent_.size(); ++j)
          if (!sent_[j].prepared.empty()) prepared_.erase(sent_[j].prepared);
        break;
      }
      auto status = PQresultStatus(r);
      bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
      if (!ok && error.empty() && status != PGRES_PIPELINE_ABORTED)
        error = TrimError(PQresultErrorMessage(r));
      if (ok && error.empty() && Changed(r) < sent_[i].expect.rows) error = sent_[i].expect.message;
      if (!ok && !sent_[i].prepared.empty()) prepared_.erase(sent_[i].prepared);
      if (i + 1 == sent_.size() && sent_[i].prepared.empty()) {
        last = r;
      } else {
        PQclear(r);
      }
      while (PGresult* end = PQgetResult(conn_)) PQclear(end);  // the end of this statement
    }
    sent_.clear();
    PGresult* sync = PQgetResult(conn_);
    bool synced = sync && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
    PQclear(sync);
    if (!synced && error.empty()) error = TrimError(PQerrorMessage(conn_));
    if (!error.empty()) {
      PQclear(last);
      throw Error(error.empty() ? "The statement failed" : error);
    }
    if (!last) last = PQmakeEmptyPGresult(conn_, PGRES_COMMAND_OK);
    return last;
  }

  void LeavePipeline() {
    pipeline_ = false;
    sent_.clear();
    // Answers still unread are read, so that the connection is usable again; each statement's
    // answers end with a null, so the reading goes on until libpq lets the pipeline go.
    for (int tries = 0; tries < 10000 && PQexitPipelineMode(conn_) != 1; ++tries)
      while (PGresult* r = PQgetResult(conn_)) PQclear(r);
  }

  PGresult* Run(std::string_view sql, const std::vector<Value>& params) {
    if (pipeline_) {
      Send(sql, params);
      return Sync();
    }
    if (prepared_.find(std::string(sql)) == prepared_.end()) {
      // A new statement: its preparation and its first run travel together, one wait for both.
      if (PQenterPipelineMode(conn_) != 1) throw Error(TrimError(PQerrorMessage(conn_)));
      pipeline_ = true;
      PGresult* r = nullptr;
      try {
        Send(sql, params);
        r = Sync();
      } catch (...) {
        LeavePipeline();
        throw;
      }
      LeavePipeline();
      return r;
    }
    const std::string& name = Prepare(sql, params.size());
    Params p = Texts(params);
    PGresult* r = PQexecPrepared(conn_, name.c_str(), static_cast<int>(params.size()),
                                 p.values.data(), nullptr, nullptr, 0);
    ++ThreadStats().statements;
    ++ThreadStats().waits;
    ++run_since_prepare_;
    Check(r);
    return r;
  }

  // Statements are prepared once per connection and then run by name. Parameter types are left
  // to the server, which takes them from where each "?" stands.
  const std::string& Prepare(std::string_view sql, std::size_t nparams) {
    std::string key(sql);
    auto it = prepared_.find(key);
    if (it != prepared_.end()) return it->second;
    RequireNoNul(sql);
    int count = 0;
    std::string text = Translate(sql, count);
    if (static_cast<std::size_t>(count) != nparams)
      throw Error("The statement takes " + std::to_string(count) + " values, " +
                  std::to_string(nparams) + " were given");
    std::string name = "q" + std::to_string(++prepared_count_);
    PGresult* r = PQprepare(conn_, name.c_str(), text.c_str(), 0, nullptr);
    ++ThreadStats().waits;
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
  std::size_t prepared_count_ = 0;
  std::size_t run_since_prepare_ = 0;
  bool pipeline_ = false;
  // What is queued in the pipeline, in order: a preparation (its statement's text, so that a
  // failed one is forgotten) or a statement (with the rows it must change).
  struct Sent {
    std::string prepared;
    Expect expect;
  };
  std::vector<Sent> sent_;
};

}  // namespace

std::unique_ptr<Driver> OpenPostgres(const std::string& conninfo) {
  return std::make_unique<PostgresDriver>(conninfo);
}

}  // namespace qlnsales::db
