#include "report/report_file.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "report/report_scan.h"
#include "summary/summary_layout.h"
#include "util/number_parse.h"

namespace scantelk {
namespace {

// The eleven sections in the order they are read. Two searches look for the same heading.
constexpr ReportSection kCatchSampleSizes{"Input and Estimated effective sample sizes",
                                          "catch sample sizes"};
constexpr ReportSection kDiscardSampleSizes{"Input and Estimated effective Discard sample sizes",
                                            "discard sample sizes"};
constexpr ReportSection kFleetCatch{"Observed and predicted total fleet catch", "fleet catch"};
constexpr ReportSection kFleetDiscards{"Observed and predicted total fleet Discards",
                                       "fleet discards"};
constexpr ReportSection kIndexFits{"Index data", "index fits"};
// The same heading as the first section: its next occurrence, after the index data.
constexpr ReportSection kIndexSampleSizes{"Input and Estimated effective sample sizes",
                                          "index sample sizes"};
constexpr ReportSection kAverageF{"Average F", "average F"};
constexpr ReportSection kStockNumbers{"Population Numbers", "stock numbers"};
constexpr ReportSection kCatchProportions{"Proportions of catch", "catch proportions"};
constexpr ReportSection kDiscardProportions{"Proportions of Discards", "discard proportions"};
constexpr ReportSection kStockRecruitment{
    "Spawning Stock, Obs Recruits(year+1), Pred Recruits(year+1)",
    "spawning stock and recruitment"};
constexpr ReportSection kCatalogue[] = {
    kCatchSampleSizes, kDiscardSampleSizes, kFleetCatch,       kFleetDiscards,
    kIndexFits,        kIndexSampleSizes,   kAverageF,         kStockNumbers,
    kCatchProportions, kDiscardProportions, kStockRecruitment,
};

// Sections 1 and 2: per fleet, a year row of input and effective sample size for every year,
// then two lines that are passed over (after the last fleet too).
void read_sample_size_section(ReportReader& reader, const AssessmentData& data,
                              const ReportSection& section, YearTable& table) {
    reader.find_section(section);
    for (int f = 0; f < data.n_fleets; ++f) {
        const int input_column = 2 * f;  // the effective value follows it
        for (int y = 0; y < data.n_years; ++y)
            reader.read_year_row(table, y, input_column, 2);
        reader.skip_lines(2);
    }
}

// The row just read of a fleet total section: its first value, the observed total, is what the
// table keeps; the value after it, the predicted total, is read without findings of its own.
void write_total_fit(FitsWriter& fits, std::string_view table_name, const ReportReader& reader,
                     const YearTable& table, int fleet, int row, int first_year) {
    const bool has_observed = reader.row_value_count() > 0;
    const double observed = has_observed ? table.at(row, fleet) : 0.0;
    std::string_view rest = reader.row_rest();
    double predicted = 0.0;
    const bool has_predicted = has_observed && take_decimals(rest, 1, &predicted) == 1;
    fits.write_total(table_name, fleet + 1, first_year + row, has_observed ? &observed : nullptr,
                     has_predicted ? &predicted : nullptr);
}

// Sections 3 and 4: per fleet, one line passed over, then a year row per year whose first value
// (the observed total) is kept.
void read_fleet_total_section(ReportReader& reader, const AssessmentData& data,
                              const ReportSection& section, YearTable& table, FitsWriter* fits,
                              std::string_view fits_table) {
    reader.find_section(section);
    for (int f = 0; f < data.n_fleets; ++f) {
        reader.skip_lines(1);
        for (int y = 0; y < data.n_years; ++y) {
            reader.read_year_row(table, y, f, 1);
            if (fits != nullptr)
                write_total_fit(*fits, fits_table, reader, table, f, y, data.first_year);
        }
    }
}

// Sections 5 and 6: the k-th year-led block after the heading belongs to the k-th used index.
// The years that a block leaves out are named after the section, when it was found.
void read_index_section(ReportReader& reader, AssessmentData& data, const ReportSection& section,
                        std::span<YearTable* const> tables, ReportFindings& findings) {
    for (YearTable* table : tables)
        zero_year_table(*table, data.n_years, data.n_indices);
    reader.find_section(section);
    std::vector<std::pair<int, std::string>> missing_years;  // index number, years
    for (int i = 0; i < data.n_indices; ++i) {
        if (!data.index_specs[static_cast<std::size_t>(i)].used()) continue;
        reader.read_digit_block(i, tables);
        if (reader.section_found() && reader.block_lacks_years())
            missing_years.emplace_back(i + 1, year_ranges(reader.block_rows(), data.first_year));
    }
    for (const auto& [index_number, years] : missing_years)
        findings.index_lacks_years(section, index_number, years);
}

void read_average_f_section(ReportReader& reader, AssessmentData& data) {
    reader.find_section(kAverageF);
    reader.skip_lines(2);
    for (int y = 0; y < data.n_years; ++y)
        reader.read_year_row(data.avg_f, y, 0, kAverageFColumns);
}

// The row of each year holds only the numbers at age; the first token is the first age's.
void read_population_section(ReportReader& reader, AssessmentData& data) {
    reader.find_section(kStockNumbers);
    for (int y = 0; y < data.n_years; ++y)
        reader.read_plain_row(data.stock_numbers, y, 0, data.n_ages);
}

// Sections 9 and 10: per fleet, one line, then two label rows per year. Nothing in them is kept,
// so each row is consumed as the one line it is.
void pass_proportions_section(ReportReader& reader, const AssessmentData& data,
                              const ReportSection& section) {
    reader.find_section(section);
    const std::int64_t lines_per_fleet = 1 + std::int64_t{2} * count_of(data.n_years);
    reader.skip_lines(count_of(data.n_fleets) * lines_per_fleet);
}

// Sections 9 and 10 for the fits file: per fleet, one line, then per year the label row of the
// observed proportions at age and that of the predicted ones.
void read_proportions_section(ReportReader& reader, const AssessmentData& data,
                              const ReportSection& section, FitsWriter& fits,
                              std::string_view fits_table) {
    reader.find_section(section);
    std::vector<double> observed(static_cast<std::size_t>(count_of(data.n_ages)));
    std::vector<double> predicted(observed.size());
    for (int f = 0; f < data.n_fleets; ++f) {
        reader.skip_lines(1);
        for (int y = 0; y < data.n_years; ++y) {
            const int observed_count = reader.read_label_row(observed);
            const int predicted_count = reader.read_label_row(predicted);
            fits.write_proportions(fits_table, f + 1, data.first_year + y, observed, observed_count,
                                   predicted, predicted_count);
        }
    }
}

void read_stock_recruit_section(ReportReader& reader, AssessmentData& data) {
    reader.find_section(kStockRecruitment);
    reader.skip_lines(1);
    for (std::size_t y = 0; y < data.ssb.size(); ++y) {
        double values[3] = {};
        reader.read_year_row(static_cast<int>(y), values);
        data.ssb[y] = values[0];
        data.obs_recruits[y] = values[1];
        data.pred_recruits[y] = values[2];
    }
}

// Before the first row is read, the tables that the report can fill whole go on huge pages. Of
// an index table the report fills the columns of the used indices only.
void place_report_tables(AssessmentData& data, std::uint64_t report_bytes) {
    const auto used = static_cast<int>(
        std::count_if(data.index_specs.begin(), data.index_specs.end(),
                      [](const IndexSpec& index_spec) { return index_spec.used(); }));
    const struct {
        YearTable* table;
        int filled_columns;
    } tables[] = {
        {&data.catch_ess, data.catch_ess.columns()},
        {&data.discard_ess, data.discard_ess.columns()},
        {&data.catch_by_fleet, data.catch_by_fleet.columns()},
        {&data.discard_by_fleet, data.discard_by_fleet.columns()},
        {&data.index_obs, used},
        {&data.index_pred, used},
        {&data.index_resid, used},
        {&data.avg_f, data.avg_f.columns()},
        {&data.stock_numbers, data.stock_numbers.columns()},
        {&data.index_input_ess, used},
        {&data.index_eff_ess, used},
    };
    for (const auto& entry : tables) {
        const std::uint64_t cells =
            std::uint64_t(entry.table->rows()) * std::uint64_t(entry.filled_columns);
        if (will_fill(*entry.table, cells, report_bytes)) prefer_huge_pages(*entry.table);
    }
}

}  // namespace

StageResult read_report_file(const std::string& path, AssessmentData& data,
                             ReportFindings& findings, MissingValues missing, FitsWriter* fits) {
    ReportReader reader(data, findings, kCatalogue, missing);
    if (!reader.open(path)) {
        // The model's own wording: the same message as for the input data file.
        return StageError{"Unable to Open Telk Input Data File: " + path};
    }
    std::error_code size_error;
    const std::uintmax_t report_bytes = std::filesystem::file_size(path, size_error);
    place_report_tables(data, size_error ? 0 : report_bytes);
    read_sample_size_section(reader, data, kCatchSampleSizes, data.catch_ess);
    read_sample_size_section(reader, data, kDiscardSampleSizes, data.discard_ess);
    read_fleet_total_section(reader, data, kFleetCatch, data.catch_by_fleet, fits,
                             fits_table::kCatch);
    read_fleet_total_section(reader, data, kFleetDiscards, data.discard_by_fleet, fits,
                             fits_table::kDiscards);
    YearTable* const fit_tables[] = {&data.index_obs, &data.index_pred, &data.index_resid};
    read_index_section(reader, data, kIndexFits, fit_tables, findings);
    YearTable* const sample_size_tables[] = {&data.index_input_ess, &data.index_eff_ess};
    read_index_section(reader, data, kIndexSampleSizes, sample_size_tables, findings);
    read_average_f_section(reader, data);
    read_population_section(reader, data);
    if (fits == nullptr) {
        pass_proportions_section(reader, data, kCatchProportions);
        pass_proportions_section(reader, data, kDiscardProportions);
    } else {
        read_proportions_section(reader, data, kCatchProportions, *fits,
                                 fits_table::kCatchProportions);
        read_proportions_section(reader, data, kDiscardProportions, *fits,
                                 fits_table::kDiscardProportions);
    }
    read_stock_recruit_section(reader, data);
    if (reader.read_failed()) return StageError{"Unable to Read Telk Report File: " + path};
    return std::nullopt;
}

}  // namespace scantelk
