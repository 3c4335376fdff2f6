// The cost of the two hexadecimal texts, beside snprintf of the same format
// for comparison: make bench.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>

#include "drives/volume_numbers.h"
#include "identity/node_text.h"

namespace {

void nodeText(benchmark::State& state) {
  unsigned char identifier[vantrel::kIdentifierSize] = {0, 0, 0,    0,    0,    0,    0,    0,
                                                        0, 0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
  char text[vantrel::kNodeTextSize];
  for (auto _ : state) {
    benchmark::DoNotOptimize(identifier);
    vantrel::formatNode(identifier, text, sizeof text);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(nodeText);

void nodeTextBySnprintf(benchmark::State& state) {
  unsigned char node[6] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
  char text[vantrel::kNodeTextSize];
  for (auto _ : state) {
    benchmark::DoNotOptimize(node);
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", node[0], node[1], node[2], node[3],
                  node[4], node[5]);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(nodeTextBySnprintf);

void serialNumber(benchmark::State& state) {
  std::uint32_t serial = 0x1A2B3C4Du;
  char text[10];
  for (auto _ : state) {
    benchmark::DoNotOptimize(serial);
    vantrel::formatSerialNumber(serial, text, sizeof text);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(serialNumber);

void serialNumberBySnprintf(benchmark::State& state) {
  std::uint32_t serial = 0x1A2B3C4Du;
  char text[10];
  for (auto _ : state) {
    benchmark::DoNotOptimize(serial);
    std::snprintf(text, sizeof text, "%04X-%04X", serial >> 16, serial & 0xFFFFu);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(serialNumberBySnprintf);

}  // namespace

BENCHMARK_MAIN();
