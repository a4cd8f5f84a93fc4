// Micro-benchmarks of short-code allocation under heavy collisions: the cost of allocating
// n codes should grow linearly with n even when every base is already taken.
#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <string_view>

#include "export/short_codes.hpp"

namespace {

using thq::exporter::AllocateShortCode;
using thq::exporter::ShortCodeRegistry;

// n rooms "AULA 1".."AULA n": one base, the two-character fallback (AU1.., A100.., 1000..).
void BM_RoomsSameBase(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        ShortCodeRegistry registry;
        for (std::size_t i = 0; i < n; ++i) {
            benchmark::DoNotOptimize(AllocateShortCode("AULA", registry, 2));
        }
        benchmark::DoNotOptimize(registry.size());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RoomsSameBase)->RangeMultiplier(2)->Range(512, 8192)->Complexity(benchmark::oN);

// n teachers whose surnames share the prefix GAR and, pairwise, their first four letters.
void BM_TeachersCollidingSurnames(benchmark::State& state) {
    constexpr std::array<std::string_view, 6> kBases = {"GARCIA", "GARCES",  "GARRIDO",
                                                        "GARZON", "GARRIGA", "GARCILASO"};
    const auto n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        ShortCodeRegistry registry;
        for (std::size_t i = 0; i < n; ++i) {
            benchmark::DoNotOptimize(AllocateShortCode(kBases[i % kBases.size()], registry, 3));
        }
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TeachersCollidingSurnames)
    ->RangeMultiplier(2)
    ->Range(512, 8192)
    ->Complexity(benchmark::oN);

// n codes spread over many prefixes that all fall back to the shared numeric codes
// (1000..9999): each prefix's search skips the codes the others took.
void BM_ManyPrefixesSharedFallback(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        ShortCodeRegistry registry;
        for (std::size_t i = 0; i < n; ++i) {
            // 26 two-letter prefixes of one first letter: X?.. codes, then shared ones.
            std::string base = "XA";
            base[1] = static_cast<char>('A' + i % 26);
            base += "LA";
            benchmark::DoNotOptimize(AllocateShortCode(base, registry, 2));
        }
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ManyPrefixesSharedFallback)
    ->RangeMultiplier(2)
    ->Range(512, 8192)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
