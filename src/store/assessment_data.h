// The record of one model run that every stage reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "summary/summary_layout.h"

namespace scantelk {

// The cells of one table: zero-filled heap memory, or on Linux a mapping of whole 2 MB pages of
// its own that huge pages can back.
class CellBlock {
  public:
    CellBlock() = default;
    CellBlock(const CellBlock&) = delete;
    CellBlock& operator=(const CellBlock&) = delete;
    CellBlock(CellBlock&& other) noexcept { swap(other); }
    // The other block takes these cells and frees them with itself.
    CellBlock& operator=(CellBlock&& other) noexcept {
        swap(other);
        return *this;
    }
    ~CellBlock();

    // `count` cells of 0.0; false when the memory cannot be had.
    bool allocate(std::size_t count);

    // Asks the system to back the block with 2 MB pages; false where it cannot.
    bool advise_huge_pages();

    double* data() const { return cells_; }

  private:
    void swap(CellBlock& other) noexcept;

    double* cells_ = nullptr;
    std::size_t mapped_bytes_ = 0;  // 0 for heap memory
};

// A table of doubles with one row per model year (row r is year first_year + r), stored column
// after column: the rows() cells of one age, fleet, index or column are contiguous in year order.
// A summary line is then one sequential read, and a column that the run never fills is never
// touched, not even by reading it.
class YearTable {
  public:
    double& at(int row, int column) { return this->column(column)[row]; }
    double at(int row, int column) const { return this->column(column)[row]; }

    // The cells of one column, in year order. The writable form marks the column as possibly
    // written; see zero_year_table.
    double* column(int column) {
        written_[static_cast<std::size_t>(column)] = 1;
        return cells_.data() + offset_of(column);
    }
    const double* column(int column) const { return cells_.data() + offset_of(column); }

    // Stores `values` in one row, from column `first_column` on.
    void set_row(int row, int first_column, std::span<const double> values);

    int rows() const { return rows_; }
    int columns() const { return columns_; }

  private:
    friend bool alloc_year_table(YearTable& table, int rows, int columns);
    friend void zero_year_table(YearTable& table, int rows, int columns);
    friend bool prefer_huge_pages(YearTable& table);

    std::size_t offset_of(int column) const {
        return static_cast<std::size_t>(column) * static_cast<std::size_t>(rows_);
    }

    CellBlock cells_;
    int rows_ = 0;
    int columns_ = 0;
    // Per column: 0 while nothing has been handed out for writing since the allocation, so that
    // every cell of it still holds its 0.0.
    std::vector<std::uint8_t> written_;
};

// Seven values per survey index, in the order of the index-specification lines.
struct IndexSpec {
    static constexpr int kValueCount = kIndexSpecValues;
    std::int16_t value[kValueCount] = {};

    // The seventh value: any non-zero value, negative included, means the index is used.
    bool used() const { return value[kValueCount - 1] != 0; }
};

struct AssessmentData {
    std::string title;

    std::int16_t n_years = 0;
    std::int16_t first_year = 0;
    std::int16_t n_ages = 0;
    std::int16_t n_fleets = 0;
    std::int16_t n_sel_blocks = 0;
    std::int16_t n_indices = 0;

    YearTable nat_mort;
    YearTable maturity;
    YearTable catch_waa;
    YearTable ssb_waa;
    YearTable jan1_waa;
    YearTable catch_ess;    // column 2f: fleet f's input value, 2f+1: its effective value
    YearTable discard_ess;  // same column rule
    YearTable catch_by_fleet;
    YearTable discard_by_fleet;
    YearTable index_obs;
    YearTable index_pred;
    YearTable index_resid;
    YearTable avg_f;  // kAverageFColumns columns
    YearTable stock_numbers;
    YearTable index_input_ess;
    YearTable index_eff_ess;

    std::vector<double> ssb;
    std::vector<double> obs_recruits;   // recruits of year + 1
    std::vector<double> pred_recruits;  // recruits of year + 1

    std::vector<IndexSpec> index_specs;
};

// Dimensions of 0 or less give empty tables and loops that run no times.
inline int count_of(int dimension) {
    return dimension > 0 ? dimension : 0;
}

// Creates a table of rows x columns cells, all 0.0. The cells are zero-filled memory whose
// untouched pages cost nothing, so memory follows what is filled, not what is declared.
// False when the memory cannot be had.
bool alloc_year_table(YearTable& table, int rows, int columns);

// Sets rows 0 .. rows-1, columns 0 .. columns-1 of the table to 0.0. A column that nothing has
// been handed out of for writing since the allocation is all 0.0 already and is left untouched,
// so that its pages are not made resident.
void zero_year_table(YearTable& table, int rows, int columns);

// Places a table that the run is about to fill on 2 MB pages: a few hundred page faults instead
// of one per 4 KB. Only for a table of at least 2 MB that nothing has written yet; false when
// the table stays on small pages.
bool prefer_huge_pages(YearTable& table);

// True when a file of `file_bytes` can fill `filled_cells` of the table (each value takes at
// least a character and a delimiter) and those are at least half its cells, so that 2 MB pages
// cost at most twice what small ones would.
bool will_fill(const YearTable& table, std::uint64_t filled_cells, std::uint64_t file_bytes);

// Creates every table, per-year vector and the index specifications once the six dimensions are
// known, all zero. False when the memory cannot be had.
bool alloc_tables(AssessmentData& data);

}  // namespace scantelk
