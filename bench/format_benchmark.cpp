// Block formatting alone, in image bytes per second: the tool's inner loop
// without the disk.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "emitter/SourceEmitter.h"

namespace {

void BM_FormatBlock(benchmark::State& state) {
  pelkaforge::Block block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(i * 131 + 7);
  }
  std::array<char, pelkaforge::BlockTextCapacity> text;
  std::int32_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pelkaforge::FormatBlock(index++, block, text));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * pelkaforge::BlockSize);
}
BENCHMARK(BM_FormatBlock);

}  // namespace

BENCHMARK_MAIN();
