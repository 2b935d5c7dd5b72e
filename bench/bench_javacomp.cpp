// Generating the Java source and its numbered listing from a long exercise, as entering the
// compile page does: split the editor's text, wrap the statements, number the lines.
#include <benchmark/benchmark.h>

#include <string>

#include "exercise/JavaComp.h"

namespace {

std::string ExerciseText(std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) {
        text +=
            (i % 3 == 0) ? "?(\"line \" + i);" : "\tint value" + std::to_string(i) + " = i * 2;";
        text += '\n';
    }
    return text;
}

void BM_SourceAndListing(benchmark::State& state) {
    const std::string text = ExerciseText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const vellaro::TextLines source =
            vellaro::MakeJavaSource("Bench", vellaro::SplitStatementLines(text));
        const vellaro::TextLines listing = vellaro::MakeSourceListing(source);
        // The window shows both as one text each.
        std::string shownSource = vellaro::JoinLines(source);
        std::string shownListing = vellaro::JoinLines(listing);
        benchmark::DoNotOptimize(shownSource);
        benchmark::DoNotOptimize(shownListing);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_SourceAndListing)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
