// SHA-1, MD5, SHA-256 and SHA-512 throughput on a short, a page-sized and a large input.
#include <benchmark/benchmark.h>

#include "kry/zepmd5.h"
#include "kry/zepsha1.h"
#include "kry/zepsha256.h"
#include "kry/zepsha512.h"

namespace {

template <typename Digest>
void digestThroughput(benchmark::State& state) {
    const ZEPBuffer input(static_cast<size_t>(state.range(0)), nullptr);  // zero bytes
    for (auto _ : state) benchmark::DoNotOptimize(Digest::digest(input));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK_TEMPLATE(digestThroughput, ZEPSHA1)->Arg(64)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK_TEMPLATE(digestThroughput, ZEPMD5)->Arg(64)->Arg(4 << 10)->Arg(1 << 20);
// SHA-224 and SHA-384 run as fast as SHA-256 and SHA-512, whose compression they use.
BENCHMARK_TEMPLATE(digestThroughput, ZEPSHA256)->Arg(64)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK_TEMPLATE(digestThroughput, ZEPSHA512)->Arg(64)->Arg(4 << 10)->Arg(1 << 20);

}  // namespace
