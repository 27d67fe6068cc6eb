// The telematic file of a declaration with every mapped field filled: build,
// rewrite and write. Budgets: one file <= 20 ms; 1,000 files in one process
// <= 10 s.
#include "platform/zurUGlobal.h"
#include "dataset/ClientDataSet.h"
#include "dataset/Field.h"
#include "declaration/zurMDati.h"
#include "telematic/zurMFileTelIRAP.h"

#include <QDate>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

void Append(TdmZurDati& dati, TClientDataSet& ds) {
  ds.Append();
  ds.FieldByName(QStringLiteral("IAFIID")).SetAsInteger(dati.CurrentTaxpayerId());
  if (TField* id = ds.FindField(QStringLiteral("IIRAPID"))) id->SetAsInteger(dati.CurrentDeclarationId());
  ds.Post();
}

void FillAll(TClientDataSet& ds) {
  static const QStringList keys = {QStringLiteral("IAFIID"), QStringLiteral("IIRAPID"),
                                   QStringLiteral("IFISRIGO"), QStringLiteral("SIRAPCODFIS")};
  ds.Edit();
  int n = 1;
  for (TField* f : ds.Fields()) {
    if (f->Calculated() || keys.contains(f->FieldName())) continue;
    ++n;
    switch (f->DataType()) {
    case TFieldType::String:
      f->SetAsString(f->Size() == 1 ? QStringLiteral("1") : QString::number(n));
      break;
    case TFieldType::Date:
      f->SetAsDate(QDate(2024, 1, 1).addDays(n));
      break;
    case TFieldType::Integer:
    case TFieldType::Amount:
      f->SetAsString(QString::number(n * 10));
      break;
    default:
      break;
    }
  }
  ds.Post();
}

// One declaration on the catalogue's datasets, filled or minimal.
struct TDeclaration {
  explicit TDeclaration(bool full) {
    zur::SetRootDir(dir.path());
    dati.CreateFromCatalogue();
    TClientDataSet& f = dati.cdsFrontespizio;
    f.Append();
    f.FieldByName(QStringLiteral("IIRAPID")).SetAsInteger(1000001);
    f.FieldByName(QStringLiteral("IAFIID")).SetAsInteger(7);
    f.FieldByName(QStringLiteral("SIRAPCODFIS")).SetAsString(QStringLiteral("97123450583"));
    f.Post();
    dati.EnterDeclaration(1000001);
    if (full) {
      Append(dati, dati.cdsQuadroIK);
      Append(dati, dati.cdsQuadroIR);
      Append(dati, dati.cdsQuadroIS);
      FillAll(dati.cdsFrontespizio);
      FillAll(dati.cdsQuadroIK);
      FillAll(dati.cdsQuadroIR);
      FillAll(dati.cdsQuadroIS);
      for (int i = 0; i < 9; ++i) {
        Append(dati, dati.cdsQuadroIRVar);
        FillAll(dati.cdsQuadroIRVar);
      }
    }
    f.Edit();
    f.FieldByName(QStringLiteral("SIRAPDENOM")).SetAsString(QStringLiteral("Istituto \"Betulle\" N° 1"));
    for (const char* box : {"LIRAPIK", "LIRAPIR", "LIRAPIS"})
      f.FieldByName(QString::fromLatin1(box)).SetAsString(full ? QStringLiteral("1") : QStringLiteral("0"));
    f.FieldByName(QStringLiteral("LIRAPDICHINTEGRATIVA")).SetAsString(QStringLiteral("0"));
    f.FieldByName(QStringLiteral("LIRAPDICHINTART2DPR322")).SetAsString(QStringLiteral("0"));
    f.Post();
    path = dir.filePath(QStringLiteral("IRAP2025.xml"));
  }
  QTemporaryDir dir;
  TdmZurDati dati;
  TdmZurFileTelIRAP modulo{dati};
  QString path;
};

void Write(benchmark::State& state, TDeclaration& d) {
  if (d.modulo.CreaFileTelematico(d.path) != TdmZurFileTelIRAP::TEsito::Completed)
    state.SkipWithError("run not completed");
}

void BM_Smoke_MinimalFile(benchmark::State& state) {
  TDeclaration d(false);
  for (auto _ : state)
    Write(state, d);
}
BENCHMARK(BM_Smoke_MinimalFile)->Unit(benchmark::kMillisecond);

void BM_FullDeclarationFile(benchmark::State& state) {
  TDeclaration d(true);
  for (auto _ : state)
    Write(state, d);
  state.SetLabel("budget 20 ms per file");
}
BENCHMARK(BM_FullDeclarationFile)->Unit(benchmark::kMillisecond);

void BM_ThousandFullFiles(benchmark::State& state) {
  TDeclaration d(true);
  for (auto _ : state)
    for (int i = 0; i < 1000; ++i)
      Write(state, d);
  state.SetLabel("budget 10 s for 1,000 files");
}
BENCHMARK(BM_ThousandFullFiles)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
