// Code-table budgets, measured on a release build against the installed
// Table.xml (every table of the index):
//   checking that a typed code exists (the file read and parsed whole)  <= 5 ms
//   loading one table for the lookup                                   <= 5 ms
// Each check reads the file again by design, so this is the price of every
// exit from a coded field. The "Smoke" cases run the same code once for the
// test suite.

#include "platform/zurUGlobal.h"
#include "support/ScriptedPlatform.h"
#include "tables/zurCodeTables.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

constexpr double kBudgetMs = 5.0;

void UseInstalledFile() {
  zur::SetRootDir(QStringLiteral(ZUR_SOURCE_DIR "/resources"));
}

// The mean time of one iteration against the budget, in the label.
void Budget(benchmark::State& state, double seconds) {
  const double ms = seconds * 1000.0 / double(qMax<benchmark::IterationCount>(1, state.iterations()));
  state.counters["budget_ms"] = kBudgetMs;
  state.SetLabel(std::string("budget 5 ms: ") + (ms <= kBudgetMs ? "met" : "MISSED"));
}

// The worst cases, one check per iteration: the last code of the last table
// (every table walked before it) and a code no table holds.
void BM_CodeExists(benchmark::State& state) {
  UseInstalledFile();
  TScriptedPlatform platform;
  const bool found = state.range(0) == 0;
  const QString table = found ? zur::CodeTableIndex().last() : QStringLiteral("CODREG");
  const QString code = found ? QStringLiteral("2") : QStringLiteral("99");
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state)
    if (zur::CodeExists(table, code) != found) state.SkipWithError("risposta sbagliata");
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  Budget(state, elapsed.count());
  if (!platform.calls().empty()) state.SkipWithError("avviso inatteso durante il controllo");
}

void BM_LoadCodeTable(benchmark::State& state) {
  UseInstalledFile();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state)
    benchmark::DoNotOptimize(zur::LoadCodeTable(QStringLiteral("CODATT")).rows.size());
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  Budget(state, elapsed.count());
}

} // namespace

BENCHMARK(BM_CodeExists)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCodeTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodeExists)->Name("BM_CodeExists_Smoke")->Arg(0)->Arg(1)->Iterations(1);
BENCHMARK(BM_LoadCodeTable)->Name("BM_LoadCodeTable_Smoke")->Iterations(1);

int main(int argc, char** argv) {
  std::printf(
      "Budget: CodeExists on the installed Table.xml <= %.0f ms per check; LoadCodeTable <= %.0f ms\n",
      kBudgetMs, kBudgetMs);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
