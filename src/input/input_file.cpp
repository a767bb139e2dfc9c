#include "input/input_file.h"

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

#include "input/data_line.h"
#include "util/line_reader.h"
#include "util/number_parse.h"
#include "util/tokens.h"

namespace scantelk {
namespace {

constexpr std::string_view kVersionText = "TELK VERSION 2.0";

// Reads the input data file's lines and phrases its failures, all of which name the file.
class InputCursor {
  public:
    explicit InputCursor(const std::string& path) : path_(path) {}

    bool open() { return reader_.open(path_.c_str()); }

    // Reads a physical line, with no comment rule. False at end of file.
    bool read_physical_line() { return reader_.read_line(line_); }

    // Reads the next data line; the error names what the file ended before.
    StageResult next_data_line(std::string_view ends_before) {
        if (read_data_line(reader_, line_) == DataLineStatus::data_line) return std::nullopt;
        return end_of_file_error(ends_before);
    }

    bool read_failed() const { return reader_.read_failed(); }

    StageError read_error() const {
        return StageError{"Unable to Read Telk Input Data File: " + path_};
    }

    StageResult end_of_file_error(std::string_view ends_before) const {
        if (read_failed()) return read_error();
        return line_error(reader_.line_number() + 1,
                          "file ends before " + std::string(ends_before));
    }

    StageResult count_error(int expected, int found) const {
        return line_error(reader_.line_number(), "expected " + std::to_string(expected) +
                                                     (expected == 1 ? " value" : " values") +
                                                     ", found " + std::to_string(found));
    }

    StageResult current_line_error(const std::string& what) const {
        return line_error(reader_.line_number(), what);
    }

    std::string_view line() const { return line_; }

  private:
    StageResult line_error(std::int64_t line_number, const std::string& what) const {
        return StageError{"Bad Telk Input Data File: " + path_ + " line " +
                          std::to_string(line_number) + ": " + what};
    }

    const std::string& path_;
    LineReader reader_;
    std::string_view line_;
};

// Converts an integer token and checks that it fits the 16-bit store without wrapping.
StageResult convert_small_integer(const InputCursor& cursor, std::string_view token,
                                  std::int16_t& out) {
    const std::int64_t value = parse_integer(token);
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return cursor.current_line_error("value " + std::string(integer_text(token)) +
                                         " is outside -32768 to 32767");
    }
    out = static_cast<std::int16_t>(value);
    return std::nullopt;
}

StageResult read_title(InputCursor& cursor, AssessmentData& data) {
    if (!cursor.read_physical_line()) return cursor.end_of_file_error("the title line");
    std::string_view title = cursor.line();
    const std::size_t start = title.find_first_not_of("# ");
    title.remove_prefix(start == std::string_view::npos ? title.size() : start);
    data.title.assign(title);
    return std::nullopt;
}

struct DimensionField {
    std::int16_t AssessmentData::*field;
    const char* name;
    bool may_be_negative;
};

constexpr DimensionField kDimensions[] = {
    {&AssessmentData::n_years, "number of years", false},
    {&AssessmentData::first_year, "first year", true},
    {&AssessmentData::n_ages, "number of ages", false},
    {&AssessmentData::n_fleets, "number of fleets", false},
    {&AssessmentData::n_sel_blocks, "number of selectivity blocks", false},
    {&AssessmentData::n_indices, "number of indices", false},
};

StageResult read_dimensions(InputCursor& cursor, AssessmentData& data) {
    for (const DimensionField& dimension : kDimensions) {
        if (auto error = cursor.next_data_line("the dimensions")) return error;
        std::string_view rest = cursor.line();
        const std::string_view token = next_token(rest);
        if (token.empty()) return cursor.count_error(1, 0);
        std::int16_t& value = data.*dimension.field;
        if (auto error = convert_small_integer(cursor, token, value)) return error;
        if (value < 0 && !dimension.may_be_negative) {
            return cursor.current_line_error(std::string(dimension.name) + " " +
                                             std::to_string(value) + " is negative");
        }
    }
    return std::nullopt;
}

// Fills one year-by-age table, one data line per year.
StageResult read_age_table(InputCursor& cursor, const AssessmentData& data, YearTable& table,
                           std::string_view name) {
    std::vector<double> row(static_cast<std::size_t>(count_of(data.n_ages)));
    for (int r = 0; r < data.n_years; ++r) {
        if (auto error = cursor.next_data_line(name)) return error;
        std::string_view rest = cursor.line();
        const int found = take_decimals(rest, data.n_ages, row.data());
        if (found < data.n_ages) return cursor.count_error(data.n_ages, found);
        table.set_row(r, 0, row);
    }
    return std::nullopt;
}

// The five age tables go on huge pages when the file is large enough to fill them all; a small
// file that declares huge tables keeps small pages, which follow what it really fills.
void place_age_tables(AssessmentData& data, std::uint64_t file_bytes) {
    YearTable* const tables[] = {&data.nat_mort, &data.maturity, &data.catch_waa, &data.ssb_waa,
                                 &data.jan1_waa};
    const std::uint64_t cells = std::uint64_t(count_of(data.n_years)) * count_of(data.n_ages);
    for (YearTable* table : tables) {
        if (will_fill(*table, cells, file_bytes / std::size(tables))) prefer_huge_pages(*table);
    }
}

// A group of data lines that is counted off without being read.
struct SkippedGroup {
    std::int64_t lines;
    const char* description;  // names the group in the message of a file that ends inside it
};

// The groups between the January-1 weights and the index specifications are not used.
StageResult skip_unused_groups(InputCursor& cursor, const AssessmentData& data) {
    const std::int64_t fleet_years = std::int64_t{data.n_fleets} * data.n_years;
    const std::int64_t selectivity_lines = std::int64_t{data.n_sel_blocks} * (data.n_ages + 6);
    const SkippedGroup groups[] = {
        {fleet_years, "the first group of fleet-by-year lines"},
        {1, "the line after the first group of fleet-by-year lines"},
        {selectivity_lines, "the selectivity block lines"},
        {6, "the six lines after the selectivity block lines"},
        {fleet_years, "the second group of fleet-by-year lines"},
        {fleet_years, "the third group of fleet-by-year lines"},
        {fleet_years, "the fourth group of fleet-by-year lines"},
    };
    for (const SkippedGroup& group : groups) {
        for (std::int64_t n = 0; n < group.lines; ++n) {
            if (auto error = cursor.next_data_line(group.description)) return error;
        }
    }
    return std::nullopt;
}

StageResult read_index_specs(InputCursor& cursor, AssessmentData& data) {
    for (int k = 0; k < IndexSpec::kValueCount; ++k) {
        if (auto error = cursor.next_data_line("the index specifications")) return error;
        std::string_view rest = cursor.line();
        for (int i = 0; i < data.n_indices; ++i) {
            const std::string_view token = next_token(rest);
            if (token.empty()) return cursor.count_error(data.n_indices, i);
            std::int16_t& value = data.index_specs[static_cast<std::size_t>(i)].value[k];
            if (auto error = convert_small_integer(cursor, token, value)) return error;
        }
    }
    return std::nullopt;
}

StageResult read_input_tables(InputCursor& cursor, AssessmentData& data) {
    if (auto error = read_age_table(cursor, data, data.nat_mort, "the natural mortality table"))
        return error;
    // Two data lines between natural mortality and maturity are not used.
    for (int n = 0; n < 2; ++n) {
        if (auto error = cursor.next_data_line("the maturity table")) return error;
    }
    if (auto error = read_age_table(cursor, data, data.maturity, "the maturity table"))
        return error;
    if (auto error = read_age_table(cursor, data, data.catch_waa, "the catch weight table"))
        return error;
    if (auto error = read_age_table(cursor, data, data.ssb_waa, "the spawning stock weight table"))
        return error;
    return read_age_table(cursor, data, data.jan1_waa, "the January-1 weight table");
}

}  // namespace

StageResult read_input_file(const std::string& path, AssessmentData& data) {
    InputCursor cursor(path);
    if (!cursor.open()) return StageError{"Unable to Open Telk Input Data File: " + path};

    const bool has_first_line = cursor.read_physical_line();
    if (!has_first_line && cursor.read_failed()) return cursor.read_error();
    if (!has_first_line || cursor.line().find(kVersionText) == std::string_view::npos) {
        return StageError{"Input File is Not Current TELK Version: " + path};
    }
    if (auto error = read_title(cursor, data)) return error;
    if (auto error = read_dimensions(cursor, data)) return error;
    if (!alloc_tables(data)) {
        return StageError{"Not Enough Memory for the Tables of Telk Input Data File: " + path};
    }
    std::error_code size_error;
    const std::uintmax_t file_bytes = std::filesystem::file_size(path, size_error);
    place_age_tables(data, size_error ? 0 : file_bytes);
    if (auto error = read_input_tables(cursor, data)) return error;
    if (auto error = skip_unused_groups(cursor, data)) return error;
    return read_index_specs(cursor, data);
}

}  // namespace scantelk
