// Micro-benchmarks of the hot paths, in time per item:
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

std::vector<std::string> model_like_tokens() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> log_magnitude(-6.0, 7.0);
    std::vector<std::string> tokens;
    char text[32];
    for (int n = 0; n < 4096; ++n) {
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
    for (int n = 0; n < 4096; ++n)
        values.push_back(std::pow(10.0, log_magnitude(random)));
    return values;
}

void BM_ParseDecimal(benchmark::State& state) {
    const auto tokens = model_like_tokens();
    std::size_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scantelk::parse_decimal(tokens[n++ % tokens.size()]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseDecimal);

void BM_NumberField(benchmark::State& state) {
    const auto values = model_like_values();
    char field[scantelk::kFieldWidth];
    std::size_t n = 0;
    for (auto _ : state) {
        scantelk::write_number_field(field, values[n++ % values.size()],
                                     scantelk::FieldAlign::left);
        benchmark::DoNotOptimize(field);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NumberField);

void BM_NumberFieldExactPath(benchmark::State& state) {
    const auto values = model_like_values();
    char field[scantelk::kFieldWidth];
    std::size_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            scantelk::format_scientific_exact(values[n++ % values.size()], field));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NumberFieldExactPath);

// Reads a file of 80-character lines again and again; time per line.
void BM_ReadLine(benchmark::State& state) {
    const std::string path = "/tmp/scantelk-bench-lines.txt";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const std::string line = std::string(79, 'x') + "\n";
        for (int n = 0; n < 200000; ++n)
            std::fputs(line.c_str(), file);
        std::fclose(file);
    }
    scantelk::LineReader reader;
    reader.open(path.c_str());
    std::string_view line;
    for (auto _ : state) {
        if (!reader.read_line(line)) {
            reader.open(path.c_str());
            reader.read_line(line);
        }
        benchmark::DoNotOptimize(line);
    }
    state.SetItemsProcessed(state.iterations());
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadLine);

}  // namespace
