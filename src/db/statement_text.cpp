#include "db/statement_text.h"

#include <cctype>

#include "base/convert.h"

namespace qlnsales::db {

// The words of a statement, upper-cased, as far as `limit` characters.
std::vector<std::string> Words(std::string_view sql, std::size_t limit) {
  std::vector<std::string> words;
  std::string w;
  for (std::size_t i = 0; i < sql.size() && i < limit; ++i) {
    char c = sql[i];
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      w += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (!w.empty()) {
      words.push_back(std::move(w));
      w.clear();
    }
  }
  if (!w.empty()) words.push_back(std::move(w));
  return words;
}

// A read changes nothing and locks nothing: a SELECT (or WITH ... SELECT) without UPDATE,
// INSERT or DELETE anywhere in it, which also leaves out SELECT ... FOR UPDATE.
bool IsRead(std::string_view sql) {
  auto words = Words(sql);
  if (words.empty() || (words[0] != "SELECT" && words[0] != "WITH")) return false;
  for (const auto& w : words)
    if (w == "UPDATE" || w == "INSERT" || w == "DELETE") return false;
  return true;
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

// The table a write changes: the word after its leading UPDATE, INSERT INTO or DELETE FROM;
// "" when it cannot be told (every cached read is then forgotten).
std::string WrittenTable(std::string_view sql) {
  auto words = Words(sql, 300);
  if (words.size() >= 2 && words[0] == "UPDATE") return words[1];
  if (words.size() >= 3 && (words[0] == "INSERT" || words[0] == "DELETE")) return words[2];
  return "";
}

}  // namespace qlnsales::db
