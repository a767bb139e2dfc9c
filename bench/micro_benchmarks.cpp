// Micro-benchmarks of the hot paths. Each iteration runs over a whole set of inputs, and the
// "per_item" counter is the time per value converted, field written or line read:
//   cmake -S . -B build -DSCANTELK_BUILD_BENCHMARKS=ON && cmake --build build -j2
//   ./build/bench/scantelk_micro_benchmarks
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "summary/number_field.h"
#include "util/line_reader.h"
#include "util/number_parse.h"

namespace {

constexpr int kSetSize = 4096;

// Time per item, when each iteration handles `items` of them.
void count_items(benchmark::State& state, std::size_t items) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * items));
    state.counters["per_item"] = benchmark::Counter(
        static_cast<double>(items),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Values as a model writes them: a few significant digits, magnitudes from 1e-6 to 1e7.
std::vector<std::string> model_like_tokens(int count = kSetSize) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> log_magnitude(-6.0, 7.0);
    std::vector<std::string> tokens;
    char text[32];
    for (int n = 0; n < count; ++n) {
        const double value = std::pow(10.0, log_magnitude(random));
        std::snprintf(text, sizeof text, n % 2 == 0 ? "%.6g" : "%.4f", value);
        tokens.emplace_back(text);
    }
    return tokens;
}

std::vector<double> model_like_values() {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> log_magnitude(-6.0, 7.0);
    std::vector<double> values;
    for (int n = 0; n < kSetSize; ++n)
        values.push_back(std::pow(10.0, log_magnitude(random)));
    return values;
}

void BM_ParseDecimal(benchmark::State& state) {
    const auto tokens = model_like_tokens();
    for (auto _ : state) {
        for (const std::string& token : tokens)
            benchmark::DoNotOptimize(scantelk::parse_decimal(token));
    }
    count_items(state, tokens.size());
}
BENCHMARK(BM_ParseDecimal);

// Such tokens as the rows of a table, converted the way the readers convert a row. A million of
// them, so that the branch predictor cannot learn the sequence, as it cannot learn a real run's.
void BM_TakeDecimals(benchmark::State& state) {
    const auto tokens = model_like_tokens(1 << 20);
    std::string line;
    for (const std::string& token : tokens)
        line.append(token).append(" ");
    std::vector<double> values(tokens.size());
    for (auto _ : state) {
        std::string_view rest = line;
        benchmark::DoNotOptimize(
            scantelk::take_decimals(rest, static_cast<int>(values.size()), values.data()));
        benchmark::ClobberMemory();
    }
    count_items(state, tokens.size());
}
BENCHMARK(BM_TakeDecimals);

// Fields written one after another into a line, as the summary writer does.
void BM_NumberField(benchmark::State& state) {
    const auto values = model_like_values();
    std::vector<char> line(scantelk::kFieldWidth * values.size());
    for (auto _ : state) {
        scantelk::write_number_fields(line.data(), values.data(), values.size(),
                                      scantelk::FieldAlign::left);
        benchmark::DoNotOptimize(line.data());
        benchmark::ClobberMemory();
    }
    count_items(state, values.size());
}
BENCHMARK(BM_NumberField);

void BM_NumberFieldExactPath(benchmark::State& state) {
    const auto values = model_like_values();
    char field[scantelk::kFieldWidth];
    for (auto _ : state) {
        for (const double value : values)
            benchmark::DoNotOptimize(scantelk::format_scientific_exact(value, field));
    }
    count_items(state, values.size());
}
BENCHMARK(BM_NumberFieldExactPath);

// Reads a file of 80-character lines from start to end; time per line.
void BM_ReadLine(benchmark::State& state) {
    const std::string path = "/tmp/scantelk-bench-lines.txt";
    constexpr int kLines = 200000;
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const std::string line = std::string(79, 'x') + "\n";
        for (int n = 0; n < kLines; ++n)
            std::fputs(line.c_str(), file);
        std::fclose(file);
    }
    for (auto _ : state) {
        scantelk::LineReader reader;
        reader.open(path.c_str());
        std::string_view line;
        while (reader.read_line(line))
            benchmark::DoNotOptimize(line);
    }
    count_items(state, kLines);
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadLine);

}  // namespace
