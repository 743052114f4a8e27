// A document declared once: its tables, its number and identity, each header property with its
// column and its write and read rules, each grid column with its detail column and cell rule, how
// lines are numbered and which grid rows a save walks, and how the overall discount is shared.
//
// From the declaration come, once for every document, the dispatch entries of the declared
// properties, the master save, the read-back, the line save, the grid fill and the create, update
// and read flows. What is a document's own (its checks, filling from and marking a source, its
// postings) stays with the document, beside its layout; a rule only one document has is a small
// function in its layout. Nothing here asks which document it serves.
//
// The flows throw Error with the document's own text; the document runs them in its error trap.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "frame/numbering.h"
#include "qlnsales/business_object.h"
#include "qlnsales/connection.h"
#include "qlnsales/grid.h"
#include "qlnsales/object.h"

namespace qlnsales::documents {

// A property's member, of any type a document property has.
template <class C>
using Member = std::variant<std::string C::*, double C::*, bool C::*, std::int32_t C::*, Date C::*,
                            GridRef C::*, ConnectionRef C::*>;

// How a header property reaches its column when the document is saved.
enum class Write {
  kAlways,         // the property as it stands
  kNewOnly,        // only when the row is added (the number and the identity)
  kNullWhenEmpty,  // an empty text is stored as null
  kNullWhenBlank,  // a text that is blank after trimming is stored as null
  kKeepWhenEmpty,  // an empty text leaves the stored value as it is
  kStamp,          // a time stamp, in the form the table keeps (see Stamp)
  kNever,          // read back only
};

// How a column comes back into its property when the document is read.
enum class Read {
  kPlain,       // a null reads as the type's empty value ("", 0, False)
  kKeepOnNull,  // a null leaves the property as it was
  kRequired,    // a null is an error ("Invalid use of Null")
  kNever,       // not read back
};

template <class C>
struct Field {
  const char* property;  // none: a column no property stands for (a balance kept from a total)
  Member<C> member;
  const char* column = nullptr;  // none: a working property the document does not store
  Write write = Write::kAlways;
  Read read = Read::kPlain;
  // The value stored, when it is not the property's own (a transform of it, or of others).
  std::function<Value(const C&)> stored{};
  // Stored only when this holds; otherwise the column keeps its value.
  std::function<bool(const C&)> when{};
  // The set accessor drops leading and trailing blanks from a text it is given, whatever the
  // property's type (a number or date set as " 12 " is read without them).
  bool trim = false;
};

// The field with a trimming set accessor.
template <class C>
Field<C> Trimmed(Field<C> f) {
  f.trim = true;
  return f;
}

// How a grid cell is saved into its detail column and filled from it.
enum class CellKind {
  kText,           // the text as it stands
  kTrimmed,        // the trimmed text
  kTrimmedOrNull,  // the trimmed text, null when blank
  kNumber,         // the cell's numeric value; filled as the number's text
  kFlag,           // the cell's numeric value; filled "1" or "0"
  kItemCode,       // the company prefix and the trimmed code, null when blank; filled without
                   // the prefix
  kUnit,           // "Box-Monthly" is Unit_Name "Box" with Period_Type "Monthly"; filled joined
};

template <class C>
struct Cell {
  std::int32_t col;
  const char* column;  // none: a cell that is only filled, by `fill`
  CellKind kind = CellKind::kNumber;
  bool if_set = false;  // filling: a null column leaves the cell as it is
  // The document's own rules, in place of the kind's.
  std::function<Value(const C&, Grid&, std::int32_t row)> save{};
  std::function<std::optional<std::string>(const C&, const Row&)> fill{};
};

// Which grid rows a save walks. A row is blank when its item code and name cells are both empty.
enum class Walk {
  kSkipBlank,         // every row that is not blank
  kUntilBlank,        // the rows before the first blank one
  kTickedUntilBlank,  // the ticked rows before the first blank one
  kTickedToEnd,       // every ticked row to the last one; blank rows neither count nor stop
  kUntilBlankCode,    // the rows before the first whose code cell is empty or only blanks
};

// How lines get their SL_No.
enum class Serial {
  kWholeTable,   // unique over the table: its largest serial and on
  kPerDocument,  // 1, 2, 3 ... within each document
};

// How the header's overall discount is shared over the saved lines.
template <class C>
struct OverallDiscount {
  enum class Rule {
    kNone,
    // When the foreign discount is above 0: each line gets the percentage of its amounts, the last
    // line the remainder, so the shares add up to the header's discount.
    kPercent,
    // Lines whose `when_col` cell is above 0 get discount x line amount / subtotal (0 over a
    // subtotal of 0).
    kProportional,
    // When the local discount is above 0: each line gets the percentage of its local amount (and,
    // with an `fc_column`, of its foreign one), with no remainder taken on the last line.
    kPercentEach,
  } rule = Rule::kNone;
  double C::*percent = nullptr;
  double C::*amount = nullptr;
  double C::*fc_amount = nullptr;
  double C::*subtotal = nullptr;
  double C::*fc_subtotal = nullptr;
  double C::*digits = nullptr;  // shares rounded to this many places; none: not rounded
  std::int32_t amount_col = 0, fc_amount_col = 0, when_col = 0;
  const char* column = nullptr;
  const char* fc_column = nullptr;  // none: the foreign share is not kept
};

template <class C>
struct Layout {
  const char* class_name;
  const char* master;
  const char* detail;
  const char* number_column;  // the same name in both tables
  const char* identity_column;
  std::string C::*number;
  // The identity property: a 32-bit whole number, or a 64-bit float where the class keeps it so.
  std::variant<std::int32_t C::*, double C::*> identity;
  ConnectionRef C::*connection;  // the connection object saves write through
  GridRef C::*grid;
  const char* grid_property;
  std::string C::*currency_code;
  std::string C::*currency_symbol;
  std::string C::*company_prefix;
  std::string C::*branch_prefix;
  std::string C::*document_prefix;
  Date C::*last_update;
  // The class's texts for a company, branch or document prefix that is not two, two and three
  // characters long: a number is read by position, so such a document could never be processed.
  const char* bad_company;
  const char* bad_branch;
  const char* bad_document;
  std::vector<Field<C>> header;
  std::vector<Cell<C>> cells;
  Walk walk = Walk::kUntilBlank;
  // The walk by the document's state, when it is not always the same (a document with a source
  // saves its ticked lines, one without every line); none: `walk`.
  std::function<Walk(const C&)> walk_by{};
  std::int32_t code_col = 1, name_col = 2, tick_col = 0;
  Serial serial = Serial::kWholeTable;
  OverallDiscount<C> discount;
  const char* not_found;           // reading an unknown number
  const char* no_lines = nullptr;  // when set, filling the grid of a document without lines fails
  // The document's own: before the master is written (checks that leave nothing written), after
  // it is written, after the header is read, and how the grid is sized for `count` lines (by
  // default it grows to hold them).
  std::function<void(C&, Connection&)> before_save{};
  std::function<void(C&, Connection&)> after_save{};
  std::function<void(C&, const Row&)> after_read{};
  std::function<void(const C&, Grid&, std::int32_t count)> size_grid{};
  // The document's own query of the lines its grid shows, when they need more than the detail
  // rows (names joined from other tables); by default the detail rows in serial order.
  std::function<ResultSet(const C&, Connection&)> lines_to_show{};
};

// The non-template steps, shared by every layout.
Value MemberValue(const Value& v, Write write);
bool IsBlankRow(Grid& grid, std::int32_t row, std::int32_t code_col, std::int32_t name_col);
std::vector<std::int32_t> RowsToSave(Grid& grid, Walk walk, std::int32_t code_col,
                                     std::int32_t name_col, std::int32_t tick_col);
void SaveCell(Record& line, const char* column, CellKind kind, Grid& grid, std::int32_t row,
              std::int32_t col, const std::string& company_prefix);
std::optional<std::string> FillCell(const Row& line, const char* column, CellKind kind,
                                    bool if_set);
void InsertDocumentLines(Connection& conn, const std::string& table, Serial serial,
                         std::vector<Record>& lines);

template <class C, class T>
Value GetMember(const C& self, T C::*member) {
  return dispatch::ArgTraits<T>::To(self.*member);
}

template <class C>
Value PropertyValue(const C& self, const Member<C>& member) {
  return std::visit([&self](auto m) { return GetMember(self, m); }, member);
}

// A text stored only beside a `key` that is not empty (or, with `after_trimming`, not blank): the
// employee's name beside the employee's id. Null otherwise.
template <class C>
std::function<Value(const C&)> NullUnless(std::string C::*key, std::string C::*text,
                                          bool after_trimming) {
  return [key, text, after_trimming](const C& self) {
    const bool none = after_trimming ? convert::Trim(self.*key).empty() : (self.*key).empty();
    return none ? Value() : Value(self.*text);
  };
}

// The exchange rate a document stores: its own in a foreign currency, else 1.
template <class C>
std::function<Value(const C&)> RateOf(bool C::*foreign, double C::*rate) {
  return [foreign, rate](const C& self) { return Value(self.*foreign ? self.*rate : 1.0); };
}

// A value as a trimming set accessor takes it: a text without its outer blanks, anything else
// as it is.
Value TrimmedValue(const Value& v);

// The dispatch entries of the declared properties.
template <class C>
DispatchBuilder<C>& AddProperties(DispatchBuilder<C>& builder, const Layout<C>& layout) {
  for (const auto& f : layout.header) {
    if (!f.property) continue;
    std::visit(
        [&](auto m) {
          if (!f.trim) {
            builder.Prop(f.property, m);
            return;
          }
          using T = std::decay_t<decltype(std::declval<C&>().*m)>;
          builder.Property(
              f.property,
              [m](Object& o) { return dispatch::ArgTraits<T>::To(static_cast<C&>(o).*m); },
              [m](Object& o, const Value& v) {
                static_cast<C&>(o).*m = dispatch::ArgTraits<T>::From(TrimmedValue(v));
              });
        },
        f.member);
  }
  return builder;
}

// The class's dispatch table: the declared properties, ErrDesc, and the methods `methods` adds.
template <class C, class M>
DispatchTable BuildDispatch(const Layout<C>& layout, M methods) {
  DispatchBuilder<C> builder(layout.class_name);
  AddProperties(builder, layout).ReadOnly("ErrDesc", &C::ErrDesc);
  methods(builder);
  return builder.Build();
}

// The prefixes of the document's series, checked before anything is written.
template <class C>
void CheckSeries(const C& self, const Layout<C>& l) {
  if ((self.*l.company_prefix).size() != 2) throw Error(l.bad_company);
  if ((self.*l.branch_prefix).size() != 2) throw Error(l.bad_branch);
  if ((self.*l.document_prefix).size() != 3) throw Error(l.bad_document);
}

// The grid holds every column a save reads, checked before the stored lines are deleted.
template <class C>
Grid& RequireLinesGrid(const C& self, const Layout<C>& l) {
  Grid& grid = RequireGrid(self.*l.grid, l.grid_property);
  std::int32_t widest = std::max({l.code_col, l.name_col, l.tick_col, l.discount.amount_col,
                                  l.discount.fc_amount_col, l.discount.when_col});
  for (const auto& c : l.cells)
    if (c.column) widest = std::max(widest, c.col);
  RequireColumns(grid, widest + 1);
  return grid;
}

// The master row, added or written over; a document saved again loses its lines first.
template <class C>
void SaveMaster(C& self, const Layout<C>& l, Connection& conn) {
  CheckSeries(self, l);
  if (auto symbol = CurrencySymbolOf(conn, self.*l.currency_code))
    self.*l.currency_symbol = *symbol;
  if (l.before_save) l.before_save(self, conn);
  CheckSqlName(l.detail);
  CheckSqlName(l.number_column);
  conn.ExecuteDeferred(
      std::string("DELETE FROM ") + l.detail + " WHERE " + l.number_column + " = ?",
      {Value(self.*l.number)});
  Record row;
  std::vector<std::string> new_only;
  for (const auto& f : l.header) {
    if (!f.column || f.write == Write::kNever) continue;
    if (f.when && !f.when(self)) continue;
    Value v = f.stored ? f.stored(self) : PropertyValue(self, f.member);
    if (f.write == Write::kStamp) v = Stamp(l.master, v.ToDate());
    if (f.write == Write::kKeepWhenEmpty && v.kind() == Value::Kind::Text && v.ToText().empty())
      continue;
    if (f.write == Write::kNewOnly) new_only.emplace_back(f.column);
    row.Set(f.column, MemberValue(v, f.write));
  }
  row.SaveDeferred(conn, l.master, l.number_column, new_only);
  if (l.after_save) l.after_save(self, conn);
}

// The rows the layout walks, each a detail line with its cells, the overall discount's share and
// the stamp, inserted together under their serials.
template <class C>
void SaveLines(C& self, const Layout<C>& l, Connection& conn) {
  Grid& grid = RequireGrid(self.*l.grid, l.grid_property);
  const auto rows =
      RowsToSave(grid, l.walk_by ? l.walk_by(self) : l.walk, l.code_col, l.name_col, l.tick_col);
  const auto& d = l.discount;
  using Rule = typename OverallDiscount<C>::Rule;
  const bool percent = d.rule == Rule::kPercent && self.*d.fc_amount > 0;
  const int places = d.digits ? convert::DecimalPlaces(self.*d.digits) : -1;
  auto round = [places](double x) { return places < 0 ? x : convert::RoundHalfEven(x, places); };
  double local_sum = 0, fc_sum = 0;
  const Value stamp = Stamp(l.detail, self.*l.last_update);
  std::vector<Record> lines;
  for (std::int32_t r : rows) {
    Record line;
    line.Set(l.number_column, self.*l.number);
    for (const auto& c : l.cells) {
      if (!c.column) continue;
      if (c.save)
        line.Set(c.column, c.save(self, grid, r));
      else
        SaveCell(line, c.column, c.kind, grid, r, c.col, self.*l.company_prefix);
    }
    if (percent) {
      double local, fc;
      if (r != rows.back()) {
        local = round(self.*d.percent / 100 * grid.ValueMatrix(r, d.amount_col));
        fc = round(self.*d.percent / 100 * grid.ValueMatrix(r, d.fc_amount_col));
        local_sum += local;
        fc_sum += fc;
      } else {
        local = round(self.*d.amount - local_sum);
        fc = round(self.*d.fc_amount - fc_sum);
      }
      line.Set(d.column, local).Set(d.fc_column, fc);
    } else if (d.rule == Rule::kProportional && grid.ValueMatrix(r, d.when_col) > 0) {
      // A share over a subtotal of 0 is 0, never inf or NaN.
      auto share = [&](double discount, std::int32_t col, double subtotal) {
        return subtotal == 0 ? 0.0 : discount * grid.ValueMatrix(r, col) / subtotal;
      };
      line.Set(d.column, share(self.*d.amount, d.amount_col, self.*d.subtotal))
          .Set(d.fc_column, share(self.*d.fc_amount, d.fc_amount_col, self.*d.fc_subtotal));
    } else if (d.rule == Rule::kPercentEach && self.*d.amount > 0) {
      line.Set(d.column, round(self.*d.percent / 100 * grid.ValueMatrix(r, d.amount_col)));
      if (d.fc_column)
        line.Set(d.fc_column, round(self.*d.percent / 100 * grid.ValueMatrix(r, d.fc_amount_col)));
    }
    line.Set("Last_Update", stamp);
    lines.push_back(std::move(line));
  }
  InsertDocumentLines(conn, l.detail, l.serial, lines);
}

// A new document under a temporary number: the master and, with `with_lines`, its lines. True,
// for the caller's trap, as the flows below.
template <class C>
bool CreateDocument(C& self, const Layout<C>& l, const Series& series, bool with_lines) {
  CheckSeries(self, l);  // before anything is written
  if (with_lines) RequireLinesGrid(self, l);
  CounterNumbering number(CounterNumbering::kTemporary);
  if (auto err = number.Draw(self.*l.connection, series)) throw Error(*err);
  std::visit([&](auto m) { self.*m = number.identity(); }, l.identity);
  self.*l.number = number.number();
  Connection& conn = *connection_rule::ObjectOnly(self.*l.connection);
  SaveMaster(self, l, conn);
  if (with_lines) SaveLines(self, l, conn);
  if (auto err = number.Confirm()) throw Error(*err);
  return true;
}

// The document saved again under its number, lines and all.
template <class C>
bool UpdateDocument(C& self, const Layout<C>& l) {
  RequireLinesGrid(self, l);  // before the old lines are deleted
  Connection& conn = *connection_rule::ObjectOnly(self.*l.connection);
  SaveMaster(self, l, conn);
  SaveLines(self, l, conn);
  return true;
}

// Reads the master row of the document's number into the properties.
template <class C>
void ReadMaster(C& self, const Layout<C>& l, Connection& conn) {
  CheckSqlName(l.master);
  CheckSqlName(l.number_column);
  // Answered once per call: processing reads the same row again to number it.
  auto rs = conn.CachedQuery(
      std::string("SELECT * FROM ") + l.master + " WHERE " + l.number_column + " = ?",
      {Value(self.*l.number)});
  if (rs.empty()) throw Error(l.not_found);
  Row r = rs.front();
  for (const auto& f : l.header) {
    if (!f.column || f.read == Read::kNever) continue;
    const Value& v = f.read == Read::kRequired ? r.Required(f.column) : r[f.column];
    if (f.read == Read::kKeepOnNull && v.IsEmpty()) continue;
    std::visit(
        [&](auto m) {
          using T = std::decay_t<decltype(self.*m)>;
          if constexpr (std::is_same_v<T, bool>)
            self.*m = r.Flag(f.column);
          else
            self.*m = dispatch::ArgTraits<T>::From(v);
        },
        f.member);
  }
  if (l.after_read) l.after_read(self, r);
}

// The document's lines into its grid, in serial order; answers how many.
template <class C>
std::int32_t FillGrid(C& self, const Layout<C>& l, Connection& conn) {
  CheckSqlName(l.detail);
  CheckSqlName(l.number_column);
  auto lines = l.lines_to_show ? l.lines_to_show(self, conn)
                               : conn.Query(std::string("SELECT * FROM ") + l.detail + " WHERE " +
                                                l.number_column + " = ? ORDER BY SL_No",
                                            {Value(self.*l.number)});
  if (lines.empty() && l.no_lines) throw Error(l.no_lines);
  Grid& grid = RequireGrid(self.*l.grid, l.grid_property);
  const auto count = static_cast<std::int32_t>(lines.size());
  if (l.size_grid)
    l.size_grid(self, grid, count);
  else
    EnsureRow(grid, count);
  for (std::int32_t i = 1; i <= count; ++i) {
    Row line = lines[static_cast<std::size_t>(i - 1)];
    for (const auto& c : l.cells) {
      auto text = c.fill ? c.fill(self, line) : FillCell(line, c.column, c.kind, c.if_set);
      if (text) grid.SetTextMatrix(i, c.col, *text);
    }
  }
  return count;
}

}  // namespace qlnsales::documents

namespace qlnsales::documents {

// Reads the document: its header and, with `with_grid`, its lines into the grid. True, for the
// caller's trap.
template <class C>
bool ReadDocument(C& self, const Layout<C>& l, Connection& conn, bool with_grid) {
  ReadMaster(self, l, conn);
  if (with_grid) FillGrid(self, l, conn);
  return true;
}

}  // namespace qlnsales::documents
