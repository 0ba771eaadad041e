// A typical row: an int, a decimal, a double, a datetime and a 40-character text,
// read from cell text and written back as one COPY line.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "variant/ole_var.h"

namespace {

struct cell {
    std::string_view text;
    VARTYPE vt;
};

const cell row_cells[] = {
    {"1234567", VT_I4},
    {"-98765.4321", VT_DECIMAL},
    {"3.141592653589793", VT_R8},
    {"2020-06-15 12:34:56", VT_DATE},
    {"The quick brown fox jumps over a lazy do", VT_BSTR},
};

void from_string_row(benchmark::State& state) {
    for (auto _ : state) {
        for (const cell& c : row_cells) {
            ole_variant v = ole_variant::from_string(c.text, c.vt);
            benchmark::DoNotOptimize(v);
        }
    }
    state.SetItemsProcessed(state.iterations() * std::size(row_cells));
}
BENCHMARK(from_string_row);

void from_wstring_text_cell(benchmark::State& state) {
    const std::wstring text = L"The quick brown fox jumps over a lazy do";
    for (auto _ : state) {
        ole_variant v = ole_variant::from_wstring(text, VT_BSTR);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(from_wstring_text_cell);

std::vector<ole_variant> make_row() {
    std::vector<ole_variant> row;
    for (const cell& c : row_cells) row.push_back(ole_variant::from_string(c.text, c.vt));
    return row;
}

void append_utf8_row(benchmark::State& state) {
    const std::vector<ole_variant> row = make_row();
    std::string line;
    for (auto _ : state) {
        line.clear();
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i) line += '\t';
            row[i].append_utf8(line);
        }
        benchmark::DoNotOptimize(line.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(line.size()));
}
BENCHMARK(append_utf8_row);

// The way round the append replaces: wide text, then UTF-8.
void to_wstring_row(benchmark::State& state) {
    const std::vector<ole_variant> row = make_row();
    for (auto _ : state) {
        for (const ole_variant& v : row) {
            std::wstring w = v.to_wstring();
            benchmark::DoNotOptimize(w.data());
        }
    }
}
BENCHMARK(to_wstring_row);

void blob_hex_64k(benchmark::State& state) {
    const ole_variant v(std::vector<unsigned char>(65536, 0xA5));
    std::string line;
    for (auto _ : state) {
        line.clear();
        v.append_utf8(line);
        benchmark::DoNotOptimize(line.data());
    }
    state.SetBytesProcessed(state.iterations() * 65536);
}
BENCHMARK(blob_hex_64k);

}  // namespace

BENCHMARK_MAIN();
