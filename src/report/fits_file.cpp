#include "report/fits_file.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace scantelk {
namespace {

constexpr std::string_view kHeader = "table,fleet,year,age,observed,predicted\n";
// The longest line: the longest table name, three integers and two doubles with their commas.
constexpr std::size_t kMaxLine = 128;

char* put_text(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* put_integer(char* out, int value) {
    return std::to_chars(out, out + 12, value).ptr;
}

// The shortest text that reads back to the same double; R and pandas read NaN, Inf and -Inf.
char* put_number(char* out, const double* value) {
    if (value == nullptr) return out;
    if (std::isnan(*value)) return put_text(out, "NaN");
    if (std::isinf(*value)) return put_text(out, *value < 0 ? "-Inf" : "Inf");
    return std::to_chars(out, out + 32, *value).ptr;
}

}  // namespace

bool FitsWriter::open(const std::string& path) {
    if (!file_.open(path)) return false;
    buffer_ = BlockBuffer(kBlockSize);
    used_ = 0;
    put_text(reserve(kHeader.size()), kHeader);
    used_ += kHeader.size();
    return true;
}

char* FitsWriter::reserve(std::size_t length) {
    if (buffer_.size() - used_ < length) flush();
    return buffer_.data() + used_;
}

void FitsWriter::flush() {
    file_.write(buffer_.data(), used_);
    used_ = 0;
}

char* FitsWriter::put_key(char* out, std::string_view table, int fleet, int year) {
    out = put_text(out, table);
    *out++ = ',';
    out = put_integer(out, fleet);
    *out++ = ',';
    out = put_integer(out, year);
    *out++ = ',';
    return out;
}

void FitsWriter::write_total(std::string_view table, int fleet, int year, const double* observed,
                             const double* predicted) {
    char* const start = reserve(kMaxLine);
    char* out = put_key(start, table, fleet, year);
    *out++ = ',';  // no age
    out = put_number(out, observed);
    *out++ = ',';
    out = put_number(out, predicted);
    *out++ = '\n';
    used_ += static_cast<std::size_t>(out - start);
}

void FitsWriter::write_proportions(std::string_view table, int fleet, int year,
                                   std::span<const double> observed, int observed_count,
                                   std::span<const double> predicted, int predicted_count) {
    char key[kMaxLine];
    const auto key_length = static_cast<std::size_t>(put_key(key, table, fleet, year) - key);
    const int ages = static_cast<int>(observed.size());
    for (int a = 0; a < ages; ++a) {
        char* const start = reserve(kMaxLine);
        char* out = put_text(start, std::string_view(key, key_length));
        out = put_integer(out, a + 1);
        *out++ = ',';
        out =
            put_number(out, a < observed_count ? &observed[static_cast<std::size_t>(a)] : nullptr);
        *out++ = ',';
        out = put_number(out,
                         a < predicted_count ? &predicted[static_cast<std::size_t>(a)] : nullptr);
        *out++ = '\n';
        used_ += static_cast<std::size_t>(out - start);
    }
}

bool FitsWriter::commit() {
    flush();
    return file_.commit();
}

void FitsWriter::abandon() {
    file_.abandon();
}

}  // namespace scantelk
