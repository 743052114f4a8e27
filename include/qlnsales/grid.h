// The caller's line-item grid. Row 0 is the heading row; document lines start at row 1.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "qlnsales/object.h"

namespace qlnsales {

class Grid : public Object {
 public:
  virtual std::int32_t Rows() const = 0;
  virtual void SetRows(std::int32_t rows) = 0;
  virtual std::int32_t Cols() const = 0;
  virtual void SetCols(std::int32_t cols) = 0;
  virtual std::string TextMatrix(std::int32_t row, std::int32_t col) const = 0;
  virtual void SetTextMatrix(std::int32_t row, std::int32_t col, std::string text) = 0;
  // The numeric value of a cell: its leading number, 0 when it has none; a check box's "True" is
  // -1 (and "False" 0).
  virtual double ValueMatrix(std::int32_t row, std::int32_t col) const;
  // Sets a cell property (setting 7 is the text colour) over a range of cells.
  virtual void Cell(std::int32_t setting, std::int32_t row1, std::int32_t col1, std::int32_t row2,
                    std::int32_t col2, Value value) = 0;

  static constexpr std::int32_t kCellForeColor = 7;
};

using GridRef = std::shared_ptr<Grid>;

// The in-memory grid of the command-line program and the tests.
class MemoryGrid : public Grid {
 public:
  MemoryGrid() = default;
  MemoryGrid(std::int32_t rows, std::int32_t cols);

  std::int32_t Rows() const override { return rows_; }
  void SetRows(std::int32_t rows) override;
  std::int32_t Cols() const override { return cols_; }
  void SetCols(std::int32_t cols) override;
  std::string TextMatrix(std::int32_t row, std::int32_t col) const override;
  void SetTextMatrix(std::int32_t row, std::int32_t col, std::string text) override;
  void Cell(std::int32_t setting, std::int32_t row1, std::int32_t col1, std::int32_t row2,
            std::int32_t col2, Value value) override;
  // The value a Cell call left on one cell for one setting (Empty when none).
  Value CellProperty(std::int32_t setting, std::int32_t row, std::int32_t col) const;
  // Late-bound form of ValueMatrix.
  double CellValue(std::int32_t row, std::int32_t col) const { return ValueMatrix(row, col); }

  std::string_view ClassName() const override { return "QLNSales.MemoryGrid"; }

  // Rows, columns and cells of a grid are each at most this many; a larger size is an Error and
  // leaves the grid as it was.
  static constexpr std::int32_t kMaxCells = 1'000'000;
  static void CheckSize(std::int32_t rows, std::int32_t cols);

 protected:
  const DispatchTable& Dispatch() const override;

 private:
  void Check(std::int32_t row, std::int32_t col) const;
  std::int32_t rows_ = 0;
  std::int32_t cols_ = 0;
  std::vector<std::string> cells_;
  std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, Value> properties_;
};

}  // namespace qlnsales
