#include "report/report_file.h"

#include "report/report_scan.h"

namespace scantelk {
namespace {

// Sections 1 and 2: per fleet, a year row of input and effective sample size for every year,
// then two lines that are passed over (after the last fleet too).
void read_sample_size_section(ReportReader& reader, const AssessmentData& data,
                              std::string_view heading, YearTable& table) {
    find_section(reader, heading);
    for (int f = 0; f < data.n_fleets; ++f) {
        const int input_column = 2 * f;  // the effective value follows it
        for (int y = 0; y < data.n_years; ++y)
            read_year_row(reader, 2, table[y] + input_column);
        skip_lines(reader, 2);
    }
}

// Sections 3 and 4: per fleet, one line passed over, then a year row per year whose first value
// (the observed total) is kept.
void read_fleet_total_section(ReportReader& reader, const AssessmentData& data,
                              std::string_view heading, YearTable& table) {
    find_section(reader, heading);
    for (int f = 0; f < data.n_fleets; ++f) {
        skip_lines(reader, 1);
        for (int y = 0; y < data.n_years; ++y)
            read_year_row(reader, 1, table[y] + f);
    }
}

// Sections 5 and 6: the k-th year-led block after the heading belongs to the k-th used index.
void read_index_section(ReportReader& reader, AssessmentData& data, std::string_view heading,
                        std::initializer_list<YearTable*> tables) {
    for (YearTable* table : tables)
        zero_year_table(*table, data.n_years, data.n_indices);
    find_section(reader, heading);
    for (int i = 0; i < data.n_indices; ++i) {
        if (data.index_specs[static_cast<std::size_t>(i)].used()) {
            read_digit_block(reader, data, i, tables);
        }
    }
}

void read_average_f_section(ReportReader& reader, AssessmentData& data) {
    find_section(reader, "Average F");
    skip_lines(reader, 2);
    for (int y = 0; y < data.n_years; ++y)
        read_year_row(reader, 3, data.avg_f[y]);
}

// The row of each year holds only the numbers at age; the first token is the first age's.
void read_population_section(ReportReader& reader, AssessmentData& data) {
    find_section(reader, "Population Numbers");
    for (int y = 0; y < data.n_years; ++y) {
        read_plain_row(reader, data.n_ages, data.stock_numbers[y]);
    }
}

// Sections 9 and 10: per fleet, one line, then two label rows per year. Nothing in them is kept,
// so each row is consumed as the one line it is.
void pass_proportions_section(ReportReader& reader, const AssessmentData& data,
                              std::string_view heading) {
    find_section(reader, heading);
    const long lines_per_fleet = 1 + 2L * count_of(data.n_years);
    skip_lines(reader, count_of(data.n_fleets) * lines_per_fleet);
}

void read_stock_recruit_section(ReportReader& reader, AssessmentData& data) {
    find_section(reader, "Spawning Stock, Obs Recruits(year+1), Pred Recruits(year+1)");
    skip_lines(reader, 1);
    for (std::size_t y = 0; y < data.ssb.size(); ++y) {
        double values[3];
        read_year_row(reader, 3, values);
        data.ssb[y] = values[0];
        data.obs_recruits[y] = values[1];
        data.pred_recruits[y] = values[2];
    }
}

}  // namespace

StageResult read_report_file(const std::string& path, AssessmentData& data) {
    ReportReader reader;
    if (!reader.lines.open(path.c_str())) {
        // The model's own wording: the same message as for the input data file.
        return StageError{"Unable to Open Telk Input Data File: " + path};
    }
    read_sample_size_section(reader, data, "Input and Estimated effective sample sizes",
                             data.catch_ess);
    read_sample_size_section(reader, data, "Input and Estimated effective Discard sample sizes",
                             data.discard_ess);
    read_fleet_total_section(reader, data, "Observed and predicted total fleet catch",
                             data.catch_by_fleet);
    read_fleet_total_section(reader, data, "Observed and predicted total fleet Discards",
                             data.discard_by_fleet);
    read_index_section(reader, data, "Index data",
                       {&data.index_obs, &data.index_pred, &data.index_resid});
    // The same heading as the first section: its next occurrence, after the index data.
    read_index_section(reader, data, "Input and Estimated effective sample sizes",
                       {&data.index_input_ess, &data.index_eff_ess});
    read_average_f_section(reader, data);
    read_population_section(reader, data);
    pass_proportions_section(reader, data, "Proportions of catch");
    pass_proportions_section(reader, data, "Proportions of Discards");
    read_stock_recruit_section(reader, data);
    if (reader.lines.read_failed()) return StageError{"Unable to Read Telk Report File: " + path};
    return std::nullopt;
}

}  // namespace scantelk
