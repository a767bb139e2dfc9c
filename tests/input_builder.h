// Builds well-formed input data files line by line, so tests can change one line at a time.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace scantelk::testing {

struct Dimensions {
    int years = 2;
    int first_year = 2000;
    int ages = 2;
    int fleets = 1;
    int sel_blocks = 1;
    int indices = 1;
};

// Cell (r, c) of input table t (0 nat_mort .. 4 jan1_waa) holds t + r / 10 + c / 100, written
// with two decimals; dividing by 100 gives the same double as reading that text.
inline double input_cell(int t, int r, int c) {
    return (100 * t + 10 * r + c) / 100.0;
}

// Value k of index i is 10 * (i + 1) + k, except the use flag (k = 6), which is 1.
inline int spec_value(int i, int k) {
    return k == 6 ? 1 : 10 * (i + 1) + k;
}

struct InputLines {
    std::vector<std::string> lines;
    std::size_t first_spec_line = 0;  // position of the first index-specification line
};

inline std::string row_text(int t, int r, int ages) {
    std::string row;
    for (int c = 0; c < ages; ++c) {
        if (c > 0) row += ' ';
        char value[32];
        std::snprintf(value, sizeof value, "%.2f", input_cell(t, r, c));
        row += value;
    }
    return row;
}

inline InputLines input_lines(const Dimensions& d) {
    InputLines in;
    auto& l = in.lines;
    l.push_back("TELK VERSION 2.0");
    l.push_back("# Test run");
    for (int v : {d.years, d.first_year, d.ages, d.fleets, d.sel_blocks, d.indices}) {
        l.push_back(std::to_string(v));
    }
    auto add_table = [&](int t) {
        for (int r = 0; r < d.years; ++r)
            l.push_back(row_text(t, r, d.ages));
    };
    add_table(0);
    l.push_back("1");
    l.push_back("0");
    for (int t = 1; t < 5; ++t)
        add_table(t);
    const int skipped =
        d.fleets * d.years + 1 + d.sel_blocks * (d.ages + 6) + 6 + 3 * d.fleets * d.years;
    for (int n = 0; n < skipped; ++n)
        l.push_back("0 0");
    in.first_spec_line = l.size();
    for (int k = 0; k < 7; ++k) {
        std::string line;
        for (int i = 0; i < d.indices; ++i)
            line += std::to_string(spec_value(i, k)) + " ";
        l.push_back(line);
    }
    return in;
}

}  // namespace scantelk::testing
