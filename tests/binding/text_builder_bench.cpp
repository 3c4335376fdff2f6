// The cost of the two hexadecimal texts, beside snprintf of the same format
// for comparison: make bench.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>

#include "drives/volume_numbers.h"
#include "identity/node_text.h"

namespace {

unsigned char identifier[vantrel::kIdentifierSize] = {0, 0, 0,    0,    0,    0,    0,    0,
                                                      0, 0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
const unsigned char* node = identifier + 10;
std::uint32_t serial = 0x1A2B3C4Du;

// Runs `format` on a text buffer, its inputs read anew each time.
template <typename Format>
void measure(benchmark::State& state, Format format) {
  char text[vantrel::kNodeTextSize];
  for (auto _ : state) {
    benchmark::DoNotOptimize(identifier);
    benchmark::DoNotOptimize(serial);
    format(text, sizeof text);
    benchmark::DoNotOptimize(text);
  }
}

void nodeText(benchmark::State& state) {
  measure(state, [](char* text, std::size_t size) { vantrel::formatNode(identifier, text, size); });
}
void nodeTextBySnprintf(benchmark::State& state) {
  measure(state, [](char* text, std::size_t size) {
    std::snprintf(text, size, "%02X:%02X:%02X:%02X:%02X:%02X", node[0], node[1], node[2], node[3], node[4],
                  node[5]);
  });
}
void serialNumber(benchmark::State& state) {
  measure(state, [](char* text, std::size_t size) { vantrel::formatSerialNumber(serial, text, size); });
}
void serialNumberBySnprintf(benchmark::State& state) {
  measure(state, [](char* text, std::size_t size) {
    std::snprintf(text, size, "%04X-%04X", serial >> 16, serial & 0xFFFFu);
  });
}
BENCHMARK(nodeText);
BENCHMARK(nodeTextBySnprintf);
BENCHMARK(serialNumber);
BENCHMARK(serialNumberBySnprintf);

}  // namespace

BENCHMARK_MAIN();
