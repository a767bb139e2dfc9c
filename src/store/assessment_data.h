// The record of one model run that every stage reads and writes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace scantelk {

// A table of doubles with one row per model year (row r is year first_year + r). The cells are
// one contiguous block, rows one after another, reached through an array of row pointers.
class YearTable {
  public:
    // The writable accessors mark the table as possibly written; see zero_year_table.
    double* operator[](int row) {
        written_ = true;
        return row_pointers_[static_cast<std::size_t>(row)];
    }
    const double* operator[](int row) const { return row_pointers_[static_cast<std::size_t>(row)]; }
    double* const* row_pointers() {
        written_ = true;
        return row_pointers_.data();
    }
    const double* const* row_pointers() const { return row_pointers_.data(); }
    int rows() const { return rows_; }
    int columns() const { return columns_; }

  private:
    friend bool alloc_year_table(YearTable& table, int rows, int columns);
    friend void zero_year_table(YearTable& table, int rows, int columns);

    struct CellsFree {
        void operator()(double* cells) const { std::free(cells); }
    };
    std::unique_ptr<double, CellsFree> cells_;
    std::vector<double*> row_pointers_;
    int rows_ = 0;
    int columns_ = 0;
    // False while no row has been handed out for writing since the allocation, so every cell
    // still holds its 0.0.
    bool written_ = false;
};

// Seven values per survey index, in the order of the index-specification lines.
struct IndexSpec {
    static constexpr int kValueCount = 7;
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
    YearTable avg_f;
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

// Creates a table of rows x columns cells, all 0.0. The cells come from zero-filled heap memory
// whose untouched pages cost nothing, so memory follows what is filled, not what is declared.
// False when the memory cannot be had.
bool alloc_year_table(YearTable& table, int rows, int columns);

// Sets rows 0 .. rows-1, columns 0 .. columns-1 of the table to 0.0. A table that no row has
// been handed out of for writing since its allocation is all 0.0 already and is left untouched,
// so that its pages are not made resident.
void zero_year_table(YearTable& table, int rows, int columns);

// Creates every table, per-year vector and the index specifications once the six dimensions are
// known, all zero. False when the memory cannot be had.
bool alloc_tables(AssessmentData& data);

}  // namespace scantelk
