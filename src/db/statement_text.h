// What the text of a statement says of it, as the unit of work needs to know: whether it reads
// only, which table it writes, whether it names a table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qlnsales::db {

// The words of a statement, upper-cased, as far as `limit` characters.
std::vector<std::string> Words(std::string_view sql, std::size_t limit = std::string_view::npos);
// A read changes nothing and locks nothing: a SELECT (or WITH ... SELECT) without UPDATE,
// INSERT or DELETE anywhere in it, which also leaves out SELECT ... FOR UPDATE.
bool IsRead(std::string_view sql);
// Whether `sql` names `table` as a whole word, without regard to case.
bool Names(std::string_view sql, std::string_view table);
// The table a write changes: the word after its leading UPDATE, INSERT INTO or DELETE FROM;
// "" when it cannot be told.
std::string WrittenTable(std::string_view sql);

}  // namespace qlnsales::db
