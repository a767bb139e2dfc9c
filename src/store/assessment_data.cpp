#include "store/assessment_data.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace scantelk {
namespace {

#if defined(__linux__)
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// A private anonymous mapping of `bytes`, rounded up to whole 2 MB pages and aligned to one, so
// that every page of it can be a huge page. Null when the system refuses it.
void* map_huge_page_aligned(std::size_t& bytes) {
    bytes = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const std::size_t slack = kHugePageBytes;
    void* start =
        mmap(nullptr, bytes + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) return nullptr;
    // The first 2 MB boundary inside the mapping; the pieces before and after it go back.
    const std::size_t head = (slack - reinterpret_cast<std::uintptr_t>(start) % slack) % slack;
    char* const aligned = static_cast<char*>(start) + head;
    if (head > 0) munmap(start, head);
    if (slack - head > 0) munmap(aligned + bytes, slack - head);
    return aligned;
}
#endif

}  // namespace

CellBlock::~CellBlock() {
#if defined(__linux__)
    if (mapped_bytes_ > 0) {
        munmap(cells_, mapped_bytes_);
        return;
    }
#endif
    std::free(cells_);
}

void CellBlock::swap(CellBlock& other) noexcept {
    std::swap(cells_, other.cells_);
    std::swap(mapped_bytes_, other.mapped_bytes_);
}

bool CellBlock::allocate(std::size_t count) {
    CellBlock fresh;
    if (count > SIZE_MAX / sizeof(double)) return false;
#if defined(__linux__)
    // A block of at least one huge page gets a mapping of its own, which huge pages can back
    // later if the run fills it; until then its pages cost what a heap block's would.
    if (std::size_t bytes = count * sizeof(double); bytes >= kHugePageBytes) {
        fresh.cells_ = static_cast<double*>(map_huge_page_aligned(bytes));
        fresh.mapped_bytes_ = fresh.cells_ != nullptr ? bytes : 0;
    }
#endif
    if (fresh.cells_ == nullptr) {
        // calloc of zero bytes may give a null pointer; one cell keeps null meaning failure.
        fresh.cells_ =
            static_cast<double*>(std::calloc(std::max<std::size_t>(count, 1), sizeof(double)));
    }
    if (fresh.cells_ == nullptr) return false;
    swap(fresh);
    return true;
}

bool CellBlock::advise_huge_pages() {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    return mapped_bytes_ > 0 && madvise(cells_, mapped_bytes_, MADV_HUGEPAGE) == 0;
#else
    return false;
#endif
}

void YearTable::set_row(int row, int first_column, std::span<const double> values) {
    if (values.empty()) return;
    std::fill_n(written_.begin() + first_column, values.size(), std::uint8_t{1});
    // One cell per column: consecutive cells of the row lie one column's length apart.
    double* const first = cells_.data() + offset_of(first_column) + row;
    const auto stride = static_cast<std::size_t>(rows_);
    for (std::size_t k = 0; k < values.size(); ++k)
        first[k * stride] = values[k];
}

bool alloc_year_table(YearTable& table, int rows, int columns) {
    rows = count_of(rows);
    columns = count_of(columns);
    YearTable fresh;
    if (!fresh.cells_.allocate(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns)))
        return false;
    try {
        fresh.written_.assign(static_cast<std::size_t>(columns), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    fresh.rows_ = rows;
    fresh.columns_ = columns;
    table = std::move(fresh);
    return true;
}

void zero_year_table(YearTable& table, int rows, int columns) {
    rows = std::min(count_of(rows), table.rows());
    columns = std::min(count_of(columns), table.columns());
    for (int c = 0; c < columns; ++c) {
        // Writing zeros over the allocation's zeros would make pages resident for nothing.
        if (table.written_[static_cast<std::size_t>(c)] != 0)
            std::fill_n(table.column(c), rows, 0.0);
    }
}

bool prefer_huge_pages(YearTable& table) {
    const bool untouched =
        std::none_of(table.written_.begin(), table.written_.end(), [](auto w) { return w != 0; });
    return untouched && table.cells_.advise_huge_pages();
}

bool will_fill(const YearTable& table, std::uint64_t filled_cells, std::uint64_t file_bytes) {
    const std::uint64_t cells =
        static_cast<std::uint64_t>(table.rows()) * static_cast<std::uint64_t>(table.columns());
    return filled_cells > 0 && file_bytes / 2 >= filled_cells && 2 * filled_cells >= cells;
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
                           alloc_year_table(data.avg_f, years, kAverageFColumns) &&
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
