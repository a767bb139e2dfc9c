#include "store/assessment_data.h"

#include <algorithm>
#include <new>

namespace scantelk {

bool alloc_year_table(YearTable& table, int rows, int columns) {
    rows = count_of(rows);
    columns = count_of(columns);
    const std::size_t row_length = static_cast<std::size_t>(columns);
    const std::size_t cell_count = static_cast<std::size_t>(rows) * row_length;
    // calloc of zero bytes may give a null pointer; keep one cell so a null always means failure.
    double* cells =
        static_cast<double*>(std::calloc(std::max<std::size_t>(cell_count, 1), sizeof(double)));
    if (cells == nullptr) return false;
    table.cells_.reset(cells);
    try {
        table.row_pointers_.resize(static_cast<std::size_t>(rows));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t r = 0; r < table.row_pointers_.size(); ++r) {
        table.row_pointers_[r] = cells + r * row_length;
    }
    table.rows_ = rows;
    table.columns_ = columns;
    table.written_ = false;
    return true;
}

void zero_year_table(YearTable& table, int rows, int columns) {
    // Writing zeros over the allocation's zeros would make every page of a wide table resident
    // although the run fills only a few of its cells, or none.
    if (!table.written_) return;
    rows = std::min(count_of(rows), table.rows());
    columns = std::min(count_of(columns), table.columns());
    for (int r = 0; r < rows; ++r) {
        std::fill_n(table[r], columns, 0.0);
    }
}

bool alloc_tables(AssessmentData& data) {
    const int years = data.n_years;
    const int ages = data.n_ages;
    const int fleets = data.n_fleets;
    const int indices = data.n_indices;
    // Widened before doubling so that a large fleet count cannot wrap.
    const int fleet_pairs = 2 * count_of(fleets);

    const bool tables_ok = alloc_year_table(data.nat_mort, years, ages) &&
                           alloc_year_table(data.maturity, years, ages) &&
                           alloc_year_table(data.catch_waa, years, ages) &&
                           alloc_year_table(data.ssb_waa, years, ages) &&
                           alloc_year_table(data.jan1_waa, years, ages) &&
                           alloc_year_table(data.catch_ess, years, fleet_pairs) &&
                           alloc_year_table(data.discard_ess, years, fleet_pairs) &&
                           alloc_year_table(data.catch_by_fleet, years, fleets) &&
                           alloc_year_table(data.discard_by_fleet, years, fleets) &&
                           alloc_year_table(data.index_obs, years, indices) &&
                           alloc_year_table(data.index_pred, years, indices) &&
                           alloc_year_table(data.index_resid, years, indices) &&
                           alloc_year_table(data.avg_f, years, 3) &&
                           alloc_year_table(data.stock_numbers, years, ages) &&
                           alloc_year_table(data.index_input_ess, years, indices) &&
                           alloc_year_table(data.index_eff_ess, years, indices);
    if (!tables_ok) return false;
    try {
        data.ssb.assign(static_cast<std::size_t>(count_of(years)), 0.0);
        data.obs_recruits.assign(static_cast<std::size_t>(count_of(years)), 0.0);
        data.pred_recruits.assign(static_cast<std::size_t>(count_of(years)), 0.0);
        data.index_specs.assign(static_cast<std::size_t>(count_of(indices)), IndexSpec{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace scantelk
