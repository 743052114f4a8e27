#include "qlnsales/grid.h"

#include "base/convert.h"

namespace qlnsales {

double Grid::ValueMatrix(std::int32_t row, std::int32_t col) const {
  // A check box cell holds "True" or "False", which the front end's grid reads as -1 and 0.
  const std::string text = TextMatrix(row, col);
  if (convert::EqualsNoCase(convert::Trim(text), "True")) return -1;
  return convert::Val(text);
}

MemoryGrid::MemoryGrid(std::int32_t rows, std::int32_t cols) {
  SetCols(cols);
  SetRows(rows);
}

// A grid holds a document's lines, a few thousand at most; the bound keeps a mistyped size from
// taking the machine's memory, and a late-bound caller from building a grid nobody can read back.
void MemoryGrid::CheckSize(std::int32_t rows, std::int32_t cols) {
  if (rows < 0) throw Error("Invalid row count " + std::to_string(rows));
  if (cols < 0) throw Error("Invalid column count " + std::to_string(cols));
  if (rows > kMaxCells || cols > kMaxCells || static_cast<std::int64_t>(rows) * cols > kMaxCells)
    throw Error("A grid holds at most " + std::to_string(kMaxCells) + " rows, columns and cells: " +
                std::to_string(rows) + " rows of " + std::to_string(cols) + " columns is too many");
}

void MemoryGrid::SetRows(std::int32_t rows) {
  CheckSize(rows, cols_);
  // The cells first: a grid never claims rows it does not hold.
  cells_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols_));
  rows_ = rows;
  // A row removed takes its cell settings with it, as on the caller's grid: a row added again
  // starts with the grid's own colours.
  std::erase_if(properties_, [rows](const auto& p) { return std::get<1>(p.first) >= rows; });
}

void MemoryGrid::SetCols(std::int32_t cols) {
  CheckSize(rows_, cols);
  std::vector<std::string> cells(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols));
  for (std::int32_t r = 0; r < rows_; ++r)
    for (std::int32_t c = 0; c < std::min(cols, cols_); ++c)
      cells[static_cast<std::size_t>(r * cols + c)] =
          std::move(cells_[static_cast<std::size_t>(r * cols_ + c)]);
  cells_ = std::move(cells);
  cols_ = cols;
}

void MemoryGrid::Check(std::int32_t row, std::int32_t col) const {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
    throw Error("Subscript out of range: the grid has no cell (" + std::to_string(row) + ", " +
                std::to_string(col) + ")");
}

std::string MemoryGrid::TextMatrix(std::int32_t row, std::int32_t col) const {
  Check(row, col);
  return cells_[static_cast<std::size_t>(row * cols_ + col)];
}

void MemoryGrid::SetTextMatrix(std::int32_t row, std::int32_t col, std::string text) {
  Check(row, col);
  cells_[static_cast<std::size_t>(row * cols_ + col)] = std::move(text);
}

void MemoryGrid::Cell(std::int32_t setting, std::int32_t row1, std::int32_t col1, std::int32_t row2,
                      std::int32_t col2, Value value) {
  Check(row1, col1);
  Check(row2, col2);
  for (auto r = std::min(row1, row2); r <= std::max(row1, row2); ++r)
    for (auto c = std::min(col1, col2); c <= std::max(col1, col2); ++c)
      properties_[{setting, r, c}] = value;
}

Value MemoryGrid::CellProperty(std::int32_t setting, std::int32_t row, std::int32_t col) const {
  auto it = properties_.find({setting, row, col});
  return it == properties_.end() ? Value() : it->second;
}

const DispatchTable& MemoryGrid::Dispatch() const {
  static const DispatchTable table = DispatchBuilder<MemoryGrid>("QLNSales.MemoryGrid")
                                         .Accessor("Rows", &MemoryGrid::Rows, &MemoryGrid::SetRows)
                                         .Accessor("Cols", &MemoryGrid::Cols, &MemoryGrid::SetCols)
                                         .Method("TextMatrix", &MemoryGrid::TextMatrix)
                                         .Method("SetTextMatrix", &MemoryGrid::SetTextMatrix)
                                         .Method("ValueMatrix", &MemoryGrid::CellValue)
                                         .Method("Cell", &MemoryGrid::Cell)
                                         .Method("CellProperty", &MemoryGrid::CellProperty)
                                         .Build();
  return table;
}

}  // namespace qlnsales
