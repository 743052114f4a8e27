// The deferred paths of a connection within a call: batched inserts, summed row changes, cached
// reads, and sending them when a statement or the end of the call needs them.
#include <algorithm>

#include "base/convert.h"
#include "db/driver.h"
#include "db/pending_writes.h"
#include "db/record.h"
#include "db/statement_text.h"
#include "db/unit_of_work.h"

namespace qlnsales {

using db::ChangeShape;
using db::Names;
using db::SummedChange;

namespace {

// SQLite takes up to 32766 values in one statement, PostgreSQL 65535; a batch stays well below.
constexpr std::size_t kMaxBatchValues = 2000;

}  // namespace

void Connection::InsertDeferred(std::string_view table, const std::vector<std::string>& columns,
                                std::vector<Value> values) {
  if (columns.empty() || columns.size() != values.size())
    throw Error("A row needs one value for each of its columns");
  CheckSqlName(table);
  for (const auto& column : columns) CheckSqlName(column);
  Connection& c = Route(true);
  c.Require();  // a closed connection refuses the row now, rather than never sending it
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
  // Outside a call nothing would send the batch later.
  if (!db::UnitOfWork::Current()) c.Flush(table, false);
}

void Connection::ChangeDeferred(RowChange change) {
  for (const auto& [col, delta] : change.add) db::RequireFinite(delta);
  CheckSqlName(change.table);
  for (const auto* part : {&change.key, &change.set, &change.insert})
    for (const auto& [col, v] : *part) CheckSqlName(col);
  for (const auto& [col, d] : change.add) CheckSqlName(col);
  Connection& c = Route(true);
  c.Require();  // a closed connection refuses the row now, rather than never sending it
  ChangeShape shape{change.table, {}, {}, {}, {}, {}, change.add_missing || !change.insert.empty()};
  SummedChange row;
  std::vector<std::string> key_texts;
  for (auto& [col, v] : change.key) {
    if (v.IsEmpty()) throw Error("A change to a row of " + change.table + " names no " + col);
    shape.key.push_back(col);
    key_texts.push_back(v.ToText());
    row.key.push_back(std::move(v));
  }
  for (auto& [col, d] : change.add) {
    shape.add.push_back(col);
    row.add.push_back(d);
  }
  for (auto& [col, v] : change.set) {
    shape.set.push_back(col);
    shape.set_texts.push_back(std::to_string(static_cast<int>(v.kind())) + ":" + v.ToText());
    row.set.push_back(std::move(v));
  }
  for (auto& [col, v] : change.insert) {
    shape.insert.push_back(col);
    row.insert.push_back(std::move(v));
  }
  const std::string single_key = key_texts.size() == 1 ? key_texts[0] : std::string();
  if (!db::UnitOfWork::Current()) {
    if (!c.pending_) c.pending_ = std::make_unique<Pending>();
    c.pending_->changes[shape].emplace(key_texts, std::move(row));
    c.Flush("", false);
    c.ForgetWrites(shape.table);
    return;
  }
  if (!c.pending_) c.pending_ = std::make_unique<Pending>();
  // A row read in this call and changed without a statement yet: its cached copy takes the
  // change, so that the call goes on seeing the row as it will be.
  auto cached = shape.key.size() == 1
                    ? c.pending_->rows.find(
                          {convert::LCase(shape.table), convert::LCase(shape.key[0]), single_key})
                    : c.pending_->rows.end();
  std::erase_if(c.pending_->cached,
                [&](const Pending::Cached& q) { return Names(q.sql, shape.table); });
  if (cached != c.pending_->rows.end() && cached->second.result.size() == 1) {
    auto& values = cached->second.result.rows[0];
    for (std::size_t i = 0; i < shape.add.size(); ++i) {
      int at = cached->second.result.ColumnIndex(shape.add[i]);
      if (at >= 0) {
        auto& v = values[static_cast<std::size_t>(at)];
        v = Value((v.IsEmpty() ? 0.0 : v.ToDouble()) + row.add[i]);
      }
    }
    for (std::size_t i = 0; i < shape.set.size(); ++i) {
      int at = cached->second.result.ColumnIndex(shape.set[i]);
      if (at >= 0) values[static_cast<std::size_t>(at)] = row.set[i];
    }
  } else {
    c.ForgetWrites(shape.table, shape.key.size() == 1 ? &single_key : nullptr);
  }
  auto& rows = c.pending_->changes[shape];
  auto it = rows.find(key_texts);
  if (it == rows.end()) {
    rows.emplace(std::move(key_texts), std::move(row));
  } else {
    for (std::size_t i = 0; i < row.add.size(); ++i) it->second.add[i] += row.add[i];
    it->second.set = std::move(row.set);
  }
}

ResultSet Connection::CachedQuery(std::string_view sql, const std::vector<Value>& params) {
  Connection& c = Route(false);
  if (!db::UnitOfWork::Current()) return c.Query(sql, params);
  if (c.pending_)
    for (const auto& hit : c.pending_->cached)
      if (hit.sql == sql && hit.params.size() == params.size() &&
          std::equal(hit.params.begin(), hit.params.end(), params.begin(),
                     [](const Value& a, const Value& b) {
                       return a.kind() == b.kind() && a.ToText() == b.ToText();
                     }))
        return hit.result;
  ResultSet rs = c.Query(sql, params);
  if (!c.pending_) c.pending_ = std::make_unique<Pending>();
  c.pending_->cached.push_back({std::string(sql), params, rs});
  return rs;
}

namespace {
std::tuple<std::string, std::string, std::string> RowKey(const std::string& table,
                                                         const std::string& column,
                                                         const Value& key) {
  return {convert::LCase(table), convert::LCase(column), key.ToText()};
}
}  // namespace

ResultSet Connection::CachedRow(const std::string& table, const std::string& key_column,
                                const Value& key, bool lock) {
  Connection& c = Route(lock);
  if (db::UnitOfWork::Current() && c.pending_) {
    auto hit = c.pending_->rows.find(RowKey(table, key_column, key));
    if (hit != c.pending_->rows.end() && (hit->second.locked || !lock)) return hit->second.result;
  }
  if (!db::UnitOfWork::Current()) {
    CheckSqlName(table);
    CheckSqlName(key_column);
    return c.Query("SELECT * FROM " + table + " WHERE " + key_column + " = ?", {key});
  }
  c.PrefetchRows(table, key_column, {key}, lock);
  return c.pending_->rows[RowKey(table, key_column, key)].result;
}

void Connection::PrefetchRows(const std::string& table, const std::string& key_column,
                              const std::vector<Value>& keys, bool lock) {
  if (keys.empty() || !db::UnitOfWork::Current()) return;
  CheckSqlName(table);
  CheckSqlName(key_column);
  // Taken rows belong to the call: the read joins the unit like a write.
  Connection& c = Route(lock);
  std::string sql = "SELECT * FROM " + table + " WHERE " + key_column + " IN (";
  for (std::size_t i = 0; i < keys.size(); ++i) sql += i ? ", ?" : "?";
  sql += ") ORDER BY " + key_column;
  if (lock && c.Engine() == db::Engine::Postgres) sql += " FOR UPDATE";
  c.Flush(sql, true);
  ResultSet all = c.Require().Query(sql, keys);
  if (!c.pending_) c.pending_ = std::make_unique<Pending>();
  int at = all.ColumnIndex(key_column);
  for (const auto& key : keys) {
    ResultSet one;
    one.columns = all.columns;
    for (const auto& r : all.rows)
      if (at >= 0 && r[static_cast<std::size_t>(at)].ToText() == key.ToText())
        one.rows.push_back(r);
    c.pending_->rows[RowKey(table, key_column, key)] = {std::move(one), lock};
  }
}

void Connection::ResetPending() noexcept {
  pending_.reset();
}

void Connection::ForgetWrites(std::string_view table, const std::string* key) {
  if (!pending_) return;
  if (table.empty()) {
    pending_->cached.clear();
    pending_->rows.clear();
    return;
  }
  std::erase_if(pending_->cached, [&](const Pending::Cached& c) { return Names(c.sql, table); });
  const std::string lower = convert::LCase(table);
  std::erase_if(pending_->rows, [&](const auto& e) {
    return std::get<0>(e.first) == lower && (!key || std::get<2>(e.first) == *key);
  });
}

namespace {
// A statement that sends summed changes, with the rows it must find.
struct ChangeStatement {
  std::string sql;
  std::vector<Value> values;
  std::int64_t rows = 0;
};
std::vector<ChangeStatement> ChangeStatements(
    const ChangeShape& s, const std::map<std::vector<std::string>, SummedChange>& rows, bool pg);

}  // namespace

void Connection::Flush(std::string_view sql, bool read) {
  if (!pending_ || pending_->empty()) return;
  db::Driver& d = Require();
  const bool pg = d.engine() == db::Engine::Postgres;
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
  auto& changes = pending_->changes;
  for (auto it = changes.begin(); it != changes.end();) {
    if (!touched(it->first.table)) {
      ++it;
      continue;
    }
    // Rows this call holds taken cannot have gone; any other must still be found.
    bool all_taken = !it->first.upsert && it->first.key.size() == 1;
    for (const auto& [key, change] : it->second) {
      if (!all_taken) break;
      auto hit = pending_->rows.find(
          {convert::LCase(it->first.table), convert::LCase(it->first.key[0]), key[0]});
      all_taken = hit != pending_->rows.end() && hit->second.locked;
    }
    for (const auto& c : ChangeStatements(it->first, it->second, pg))
      d.ExecuteDeferred(c.sql, c.values,
                        {all_taken ? 0 : c.rows,
                         "A row of " + it->first.table + " changed in this call is gone"});
    it = changes.erase(it);
  }
}

namespace {
std::vector<ChangeStatement> ChangeStatements(
    const ChangeShape& s, const std::map<std::vector<std::string>, SummedChange>& rows, bool pg) {
  std::vector<ChangeStatement> out;
  const std::string& t = s.table;
  if (s.upsert) {
    // New rows come in with their values; existing ones add the amounts and take the sets.
    std::vector<std::string> cols = s.key;
    cols.insert(cols.end(), s.insert.begin(), s.insert.end());
    cols.insert(cols.end(), s.add.begin(), s.add.end());
    cols.insert(cols.end(), s.set.begin(), s.set.end());
    std::string head = "INSERT INTO " + t + " (";
    std::string one = "(";
    for (std::size_t i = 0; i < cols.size(); ++i) {
      head += (i ? ", " : "") + cols[i];
      one += i ? ", ?" : "?";
    }
    one += ")";
    std::string tail = " ON CONFLICT (";
    for (std::size_t i = 0; i < s.key.size(); ++i) tail += (i ? ", " : "") + s.key[i];
    tail += ") DO UPDATE SET ";
    bool first = true;
    for (const auto& a : s.add) {
      tail += (first ? "" : ", ") + a + " = " + t + "." + a + " + excluded." + a;
      first = false;
    }
    for (const auto& c : s.set) {
      tail += (first ? "" : ", ") + c + " = excluded." + c;
      first = false;
    }
    if (first) tail = " ON CONFLICT DO NOTHING";
    const std::size_t per = std::max<std::size_t>(1, kMaxBatchValues / cols.size());
    auto it = rows.begin();
    while (it != rows.end()) {
      std::string stmt = head + ") VALUES ";
      std::vector<Value> values;
      for (std::size_t n = 0; n < per && it != rows.end(); ++n, ++it) {
        stmt += (n ? ", " : "") + one;
        const auto& r = it->second;
        values.insert(values.end(), r.key.begin(), r.key.end());
        values.insert(values.end(), r.insert.begin(), r.insert.end());
        for (double a : r.add) values.emplace_back(a);
        values.insert(values.end(), r.set.begin(), r.set.end());
      }
      out.push_back({stmt + tail, std::move(values), 0});
    }
    return out;
  }
  // Rows that exist: one UPDATE joined to a list of keys and amounts. PostgreSQL is told the
  // types of the list's columns; SQLite takes them as they come.
  auto typed = [&](const Value& v) {
    if (!pg) return std::string("?");
    switch (v.kind()) {
      case Value::Kind::Int32:
      case Value::Kind::Int64:
        return std::string("CAST(? AS BIGINT)");
      case Value::Kind::Double:
        return std::string("CAST(? AS DOUBLE PRECISION)");
      default:
        return std::string("CAST(? AS TEXT)");
    }
  };
  const std::size_t width = s.key.size() + s.add.size();
  const std::size_t per = std::max<std::size_t>(1, kMaxBatchValues / width);
  auto it = rows.begin();
  while (it != rows.end()) {
    std::string stmt = "UPDATE " + t + " SET ";
    for (std::size_t i = 0; i < s.add.size(); ++i)
      stmt += (i ? ", " : "") + s.add[i] + " = " + s.add[i] + " + v.column" +
              std::to_string(s.key.size() + i + 1);
    for (std::size_t i = 0; i < s.set.size(); ++i)
      stmt += (i || !s.add.empty() ? ", " : "") + s.set[i] + " = ?";
    std::vector<Value> values;
    for (const auto& v : it->second.set) values.push_back(v);
    stmt += " FROM (VALUES ";
    std::int64_t count = 0;
    for (std::size_t n = 0; n < per && it != rows.end(); ++n, ++it, ++count) {
      stmt += n ? ", (" : "(";
      const auto& r = it->second;
      for (std::size_t i = 0; i < r.key.size(); ++i) {
        stmt += (i ? ", " : "") + typed(r.key[i]);
        values.push_back(r.key[i]);
      }
      for (double a : r.add) {
        stmt += ", " + typed(Value(a));
        values.emplace_back(a);
      }
      stmt += ")";
    }
    stmt += ") AS v WHERE ";
    for (std::size_t i = 0; i < s.key.size(); ++i)
      stmt += (i ? " AND " : "") + t + "." + s.key[i] + " = v.column" + std::to_string(i + 1);
    out.push_back({std::move(stmt), std::move(values), count});
  }
  return out;
}
}  // namespace

}  // namespace qlnsales
