#include "summary/summary_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "summary/number_field.h"
#include "summary/summary_layout.h"
#include "util/file_io.h"
#include "util/replacement_file.h"

namespace scantelk {
namespace {

// A binary file with a large buffer of its own, so every line ends in exactly CR-LF on every
// platform. It replaces the older summary only once complete, so a full disk costs nothing.
class SummaryOutput {
  public:
    bool open(const std::string& path) {
        buffer_ = BlockBuffer(kBlockSize);
        return file_.open(path);
    }

    // Room for `length` more characters; write them, then `advance` by as many.
    char* reserve(std::size_t length) {
        if (used_ + length > buffer_.size()) flush();
        if (length > buffer_.size()) buffer_.resize(length, 0);
        return buffer_.data() + used_;
    }
    void advance(std::size_t length) { used_ += length; }

    void put(std::string_view text) {
        if (text.empty()) return;
        std::memcpy(reserve(text.size()), text.data(), text.size());
        advance(text.size());
    }

    void put_integer(long value) {
        char* start = reserve(24);
        advance(static_cast<std::size_t>(std::to_chars(start, start + 24, value).ptr - start));
    }

    void end_line() { put(kLineEnd); }

    // Writes what is buffered and puts the file in place; false if anything failed on the way.
    bool close() {
        flush();
        return file_.commit();
    }

  private:
    void flush() {
        file_.write(buffer_.data(), used_);
        used_ = 0;
    }

    ReplacementFile file_;
    BlockBuffer buffer_;
    std::size_t used_ = 0;
};

void write_heading(SummaryOutput& out, std::string_view heading) {
    out.put(heading);
    out.end_line();
}

// Characters in one line of a transposed table: a field per model year, then the line end.
std::size_t column_line_length(const YearTable& table) {
    return kFieldWidth * static_cast<std::size_t>(table.rows()) + kLineEnd.size();
}

// Line k of a transposed table is column k, whose cells lie one after another in year order.
void write_column_line(SummaryOutput& out, const YearTable& table, int column, FieldAlign align) {
    const auto years = static_cast<std::size_t>(table.rows());
    const std::size_t line_length = column_line_length(table);
    char* const line = out.reserve(line_length);
    write_number_fields(line, table.column(column), years, align);
    std::memcpy(line + line_length - kLineEnd.size(), kLineEnd.data(), kLineEnd.size());
    out.advance(line_length);
}

void write_vector_line(SummaryOutput& out, const std::vector<double>& values, FieldAlign align) {
    write_number_fields(out.reserve(kFieldWidth * values.size()), values.data(), values.size(),
                        align);
    out.advance(kFieldWidth * values.size());
    out.end_line();
}

// A block whose line k holds column k of the table, for every column.
void write_table_block(SummaryOutput& out, std::string_view heading, const YearTable& table,
                       FieldAlign align) {
    write_heading(out, heading);
    for (int c = 0; c < table.columns(); ++c)
        write_column_line(out, table, c, align);
}

void write_introduction(SummaryOutput& out, const AssessmentData& data) {
    out.put(data.title);
    out.end_line();
    const int dimensions[] = {data.n_years, data.first_year, data.n_ages, data.n_fleets,
                              data.n_indices};
    for (std::size_t d = 0; d < std::size(dimensions); ++d) {
        if (d > 0) out.put("  ");
        out.put_integer(dimensions[d]);
    }
    out.end_line();
}

// Writes `value` right-justified in `width` characters (more where it needs more),
// zero-filled to `min_digits` digits as "%*.*d" does.
void put_padded_integer(SummaryOutput& out, int value, int width, int min_digits) {
    char digits[16];
    const unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
    const int count = static_cast<int>(std::to_chars(digits, digits + 16, magnitude).ptr - digits);
    const int zeros = min_digits > count ? min_digits - count : 0;
    const int length = (value < 0 ? 1 : 0) + zeros + count;
    for (int n = length; n < width; ++n)
        out.put(" ");
    if (value < 0) out.put("-");
    for (int n = 0; n < zeros; ++n)
        out.put("0");
    out.put(std::string_view(digits, static_cast<std::size_t>(count)));
}

void write_index_specification(SummaryOutput& out, const AssessmentData& data) {
    write_heading(out, heading::kIndexSpecification);
    for (int i = 0; i < static_cast<int>(data.index_specs.size()); ++i) {
        out.put("INDEX-");
        put_padded_integer(out, i + 1, 2, 2);
        out.put("  ");
    }
    out.end_line();
    for (int k = 0; k < kIndexSpecValues; ++k) {
        for (const IndexSpec& index_spec : data.index_specs) {
            put_padded_integer(out, index_spec.value[k], 2, 1);
            out.put("        ");
        }
        out.end_line();
    }
}

// Lines for used indices only, in index order: for each, one line per table.
void write_used_index_block(SummaryOutput& out, std::string_view heading,
                            const AssessmentData& data,
                            std::initializer_list<const YearTable*> tables) {
    write_heading(out, heading);
    for (int i = 0; i < static_cast<int>(data.index_specs.size()); ++i) {
        if (!data.index_specs[static_cast<std::size_t>(i)].used()) continue;
        for (const YearTable* table : tables) {
            write_column_line(out, *table, i, FieldAlign::right);
        }
    }
}

void write_blocks(SummaryOutput& out, const AssessmentData& data) {
    constexpr FieldAlign left = FieldAlign::left;
    constexpr FieldAlign right = FieldAlign::right;
    write_table_block(out, heading::kNaturalMortality, data.nat_mort, left);
    write_table_block(out, heading::kMaturity, data.maturity, left);
    write_table_block(out, heading::kCatchWeightAtAge, data.catch_waa, left);
    write_table_block(out, heading::kSpawningStockWeightAtAge, data.ssb_waa, left);
    write_table_block(out, heading::kJan1WeightAtAge, data.jan1_waa, left);
    write_table_block(out, heading::kCatchWeightByFleet, data.catch_by_fleet, left);
    write_table_block(out, heading::kDiscardWeightByFleet, data.discard_by_fleet, left);
    // Column 2f + k is line 2f + k: fleet f's input, then its effective sample size.
    write_table_block(out, heading::kCatchSampleSizes, data.catch_ess, left);
    write_table_block(out, heading::kDiscardSampleSizes, data.discard_ess, left);
    write_index_specification(out, data);
    write_used_index_block(out, heading::kIndexFits, data,
                           {&data.index_obs, &data.index_pred, &data.index_resid});
    write_used_index_block(out, heading::kIndexSampleSizes, data,
                           {&data.index_input_ess, &data.index_eff_ess});
    write_table_block(out, heading::kAverageF, data.avg_f, right);
    write_table_block(out, heading::kStockNumbers, data.stock_numbers, left);
    write_heading(out, heading::kSpawningStockBiomass);
    write_vector_line(out, data.ssb, right);
    write_heading(out, heading::kRecruitment);
    write_vector_line(out, data.obs_recruits, right);
    write_vector_line(out, data.pred_recruits, right);
}

}  // namespace

StageResult write_summary_file(const std::string& path, const AssessmentData& data) {
    SummaryOutput out;
    if (!out.open(path)) return StageError{"Unable to Open Output File: " + path};
    write_introduction(out, data);
    write_blocks(out, data);
    if (!out.close()) return StageError{"Unable to Write Output File: " + path, -1};
    return std::nullopt;
}

}  // namespace scantelk
