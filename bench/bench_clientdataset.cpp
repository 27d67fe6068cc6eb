// Client dataset budgets, measured on a release build:
//   append and post 100,000 records of 20 fields      <= 0.5 s
//   switch a filter on over those records              <= 50 ms
//   save / load a 10,000 x 50 DATAPACKET file          <= 1 s each way
// The "Smoke" cases run the same code on tiny data for the test suite.

#include "dataset/ClientDataSet.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// 20 fields: 6 strings, 6 integers, 5 amounts, 3 dates.
void DefineNarrow(TClientDataSet& cds) {
  for (int i = 0; i < 6; ++i)
    cds.AddFieldDef(QStringLiteral("SCAMPO%1").arg(i), TFieldType::String, 40);
  for (int i = 0; i < 6; ++i)
    cds.AddFieldDef(QStringLiteral("ICAMPO%1").arg(i), TFieldType::Integer);
  for (int i = 0; i < 5; ++i)
    cds.AddFieldDef(QStringLiteral("FCAMPO%1").arg(i), TFieldType::Amount, 2);
  for (int i = 0; i < 3; ++i)
    cds.AddFieldDef(QStringLiteral("DCAMPO%1").arg(i), TFieldType::Date);
}

// Appends n records the way the program's code does: field by name.
void AppendNarrow(TClientDataSet& cds, int n) {
  QStringList names;
  for (const TField* f : cds.Fields())
    names << f->FieldName();
  const QString texts[] = {QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("Istituto comprensivo"),
                           QStringLiteral("Via Roma 1"), QStringLiteral("")};
  const QDate day(2024, 1, 31);
  for (int r = 0; r < n; ++r) {
    cds.Append();
    for (int i = 0; i < 6; ++i)
      cds.FieldByName(names[i]).SetAsString(texts[(r + i) % 4]);
    for (int i = 6; i < 12; ++i)
      cds.FieldByName(names[i]).SetAsInteger(r % 1000 + i);
    for (int i = 12; i < 17; ++i)
      cds.FieldByName(names[i]).SetAsCurrency(Currency::FromCents(r * 37 + i));
    for (int i = 17; i < 20; ++i)
      cds.FieldByName(names[i]).SetAsDate(day.addDays(r % 365));
    cds.Post();
  }
}

// 50 fields: 20 strings, 15 integers, 10 amounts, 5 dates.
void FillWide(TClientDataSet& cds, int rows) {
  for (int i = 0; i < 20; ++i)
    cds.AddFieldDef(QStringLiteral("SCAMPO%1").arg(i), TFieldType::String, 40);
  for (int i = 0; i < 15; ++i)
    cds.AddFieldDef(QStringLiteral("ICAMPO%1").arg(i), TFieldType::Integer);
  for (int i = 0; i < 10; ++i)
    cds.AddFieldDef(QStringLiteral("FCAMPO%1").arg(i), TFieldType::Amount, 2);
  for (int i = 0; i < 5; ++i)
    cds.AddFieldDef(QStringLiteral("DCAMPO%1").arg(i), TFieldType::Date);
  cds.CreateDataSet();
  const auto& f = cds.Fields();
  for (int r = 0; r < rows; ++r) {
    cds.Append();
    for (int i = 0; i < 20; ++i)
      f[size_t(i)]->SetAsString(QStringLiteral("Valore %1/%2").arg(r).arg(i));
    for (int i = 20; i < 35; ++i)
      f[size_t(i)]->SetAsInteger(r * 50 + i);
    for (int i = 35; i < 45; ++i)
      f[size_t(i)]->SetAsCurrency(Currency::FromCents(qint64(r) * 1234567 + i));
    for (int i = 45; i < 50; ++i)
      f[size_t(i)]->SetAsDate(QDate(2024, 1, 1).addDays(r % 366));
    cds.Post();
  }
  cds.MergeChangeLog();
}

void Budget(benchmark::State& state, int milliseconds) {
  state.counters["budget_ms"] = milliseconds;
  state.SetLabel("budget " + std::to_string(milliseconds) + " ms");
}

void BM_AppendPost(benchmark::State& state) {
  const int n = int(state.range(0));
  for (auto _ : state) {
    TClientDataSet cds;
    DefineNarrow(cds);
    cds.CreateDataSet();
    AppendNarrow(cds, n);
    benchmark::DoNotOptimize(cds.RecordCount());
  }
  Budget(state, 500);
}

void BM_FilterOn(benchmark::State& state) {
  TClientDataSet cds;
  DefineNarrow(cds);
  cds.CreateDataSet();
  AppendNarrow(cds, int(state.range(0)));
  cds.MergeChangeLog();
  cds.SetFilter(QStringLiteral("ICAMPO0 = 123"));
  for (auto _ : state) {
    cds.SetFiltered(true);
    benchmark::DoNotOptimize(cds.RecordCount());
    state.PauseTiming();
    cds.SetFiltered(false);
    state.ResumeTiming();
  }
  Budget(state, 50);
}

void BM_SaveFile(benchmark::State& state) {
  TClientDataSet cds;
  FillWide(cds, int(state.range(0)));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("wide.cds"));
  for (auto _ : state)
    cds.SaveToFile(path);
  Budget(state, 1000);
}

void BM_LoadFile(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("wide.cds"));
  {
    TClientDataSet source;
    FillWide(source, int(state.range(0)));
    source.SaveToFile(path);
  }
  for (auto _ : state) {
    TClientDataSet cds;
    cds.LoadFromFile(path);
    benchmark::DoNotOptimize(cds.RecordCount());
  }
  Budget(state, 1000);
}

} // namespace

BENCHMARK(BM_AppendPost)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterOn)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFile)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFile)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_AppendPost)->Name("BM_AppendPost_Smoke")->Arg(100);
BENCHMARK(BM_FilterOn)->Name("BM_FilterOn_Smoke")->Arg(100);
BENCHMARK(BM_SaveFile)->Name("BM_SaveFile_Smoke")->Arg(20);
BENCHMARK(BM_LoadFile)->Name("BM_LoadFile_Smoke")->Arg(20);

BENCHMARK_MAIN();
