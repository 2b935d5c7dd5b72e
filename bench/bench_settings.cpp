#include "SampleSettings.h"
#include "Scratch.h"
#include "SyncCounter.h"
#include "settings/IniFile.h"
#include "settings/TEnvSettings.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

// A private folder holding one settings file, removed at the end of the benchmark.
class TempIni {
  public:
    std::filesystem::path file() const { return m_dir / "noprg.ini"; }

  private:
    vtest::ScratchFolder m_dir{"vellaro-bench"};
};

using vtest::StoredDefaults;

void BM_LoadSettings(benchmark::State& state) {
    TempIni dir;
    vellaro::IniFile ini(dir.file());
    vellaro::SaveSettings(ini, StoredDefaults());
    for (auto _ : state) {
        vellaro::TEnvSettings s;
        vellaro::LoadSettings(ini, s);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_LoadSettings);

// Each store is one atomic whole-file write; "syncs" counts its flushes to disk per store (the
// file's and its folder's), which is what a store costs on a slow disk.
template <class Store> void MeasureStore(benchmark::State& state, Store store) {
    TempIni dir;
    vellaro::IniFile ini(dir.file());
    const vellaro::TEnvSettings s = StoredDefaults();
    vellaro::SaveSettings(ini, s);
    const long before = vellaro::bench::g_syncCalls;
    for (auto _ : state)
        store(ini, s);
    state.counters["syncs"] = benchmark::Counter(
        static_cast<double>(vellaro::bench::g_syncCalls - before) / state.iterations());
}

void BM_SaveSettings(benchmark::State& state) {
    MeasureStore(state, [](vellaro::IniFile& ini, const vellaro::TEnvSettings& s) {
        vellaro::SaveSettings(ini, s);
    });
}
BENCHMARK(BM_SaveSettings)->Unit(benchmark::kMillisecond);

void BM_SaveCounters(benchmark::State& state) {
    MeasureStore(state, [](vellaro::IniFile& ini, const vellaro::TEnvSettings& s) {
        vellaro::SaveCounters(ini, s);
    });
}
BENCHMARK(BM_SaveCounters)->Unit(benchmark::kMillisecond);

} // namespace
