// What a connection holds back during a call: rows batched per table and column list, changes
// summed per row, and reads answered once. Private to the db layer.
#pragma once

#include <list>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales {
namespace db {

// Row changes that share a table, a shape and the values they set go out in one statement.
struct ChangeShape {
  std::string table;
  std::vector<std::string> key, add, set, insert;
  std::vector<std::string> set_texts;
  bool upsert = false;
  bool operator<(const ChangeShape& o) const {
    return std::tie(table, key, add, set, insert, set_texts, upsert) <
           std::tie(o.table, o.key, o.add, o.set, o.insert, o.set_texts, o.upsert);
  }
};
struct SummedChange {
  std::vector<Value> key, set, insert;
  std::vector<double> add;
};

}  // namespace db

// What a connection holds back during a call.
struct Connection::Pending {
  struct Batch {
    std::string table;
    std::vector<std::string> columns;
    std::vector<Value> values;  // row after row
  };
  std::vector<Batch> batches;

  // Per shape, the rows by the text of their key: the order rows are taken in.
  std::map<db::ChangeShape, std::map<std::vector<std::string>, db::SummedChange>> changes;

  struct Cached {
    std::string sql;
    std::vector<Value> params;
    ResultSet result;
  };
  std::list<Cached> cached;
  // Rows by table, key column and key text (all lower-case but the key).
  struct CachedRowEntry {
    ResultSet result;
    bool locked = false;  // read with the row taken for the call
  };
  std::map<std::tuple<std::string, std::string, std::string>, CachedRowEntry> rows;

  bool empty() const { return batches.empty() && changes.empty(); }
};

}  // namespace qlnsales
