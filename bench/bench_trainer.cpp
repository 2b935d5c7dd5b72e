// The speed-reading trainer's costs: decoding the enciphered lesson text at load time, and the
// work of one animation frame (geometry, then painting into the surface's image).
#include <benchmark/benchmark.h>

#include <QImage>
#include <random>
#include <string>
#include <vector>

#include "trainer/DiscGeometry.h"
#include "trainer/LessonText.h"
#include "trainer/qt/DiscSurface.h"

namespace {

// About 5 MB of enciphered text: lines of 10 to 40 CP932 characters (20 to 80 bytes, stored as
// twice as many characters), a few beginning with TAB.
const std::string& EncipheredText() {
    static const std::string text = [] {
        std::mt19937 rng(1);
        vellaro::Cp932Lines lines;
        std::size_t size = 0;
        while (size < 5u * 1000 * 1000) {
            std::string line = rng() % 8 == 0 ? "\t" : "";
            const int chars = 10 + static_cast<int>(rng() % 31);
            for (int c = 0; c < chars; ++c) {
                line += static_cast<char>(0x88 + rng() % 8);  // kanji lead byte
                line += static_cast<char>(0x40 + rng() % 60); // trail byte
            }
            size += line.size() * 2 + 2;
            lines.emplace_back(std::move(line));
        }
        return vellaro::EncodeLessonText(lines);
    }();
    return text;
}

void BM_DecodeLessonText(benchmark::State& state) {
    const std::vector<std::string> encoded = vellaro::SplitLessonLines(EncipheredText());
    vellaro::Cp932Lines lines;
    for (auto _ : state) {
        vellaro::DecodeLessonText(encoded, lines);
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(EncipheredText().size()));
    state.counters["lines"] = static_cast<double>(lines.size());
}
BENCHMARK(BM_DecodeLessonText)->Unit(benchmark::kMillisecond);

// The whole load after the file has been read: splitting the bytes into lines, then decoding.
void BM_SplitAndDecodeLessonText(benchmark::State& state) {
    const std::string& text = EncipheredText();
    vellaro::Cp932Lines lines;
    for (auto _ : state) {
        const std::vector<std::string> encoded = vellaro::SplitLessonLines(text);
        vellaro::DecodeLessonText(encoded, lines);
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SplitAndDecodeLessonText)->Unit(benchmark::kMillisecond);

void BM_DiscGeometry(benchmark::State& state) {
    std::int32_t step = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vellaro::ComputeDiscFrame(1920, 1080, step, 0));
        step = step == 10 ? 0 : step + 1;
    }
}
BENCHMARK(BM_DiscGeometry);

// One tick's drawing: geometry, white fill of the whole surface, four discs.
void BM_FrameWork(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    QImage image(w, h, QImage::Format_RGB32);
    std::int32_t step = 0;
    for (auto _ : state) {
        vellaro::DiscSurface::PaintFrameInto(image, vellaro::ComputeDiscFrame(w, h, step, 0));
        benchmark::DoNotOptimize(image.constBits());
        step = step == 10 ? 0 : step + 1;
    }
}
BENCHMARK(BM_FrameWork)->Args({634, 392})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

} // namespace
