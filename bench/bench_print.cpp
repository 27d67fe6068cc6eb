// Print budgets, measured on a release build against the installed stand-in
// model and coordinate files, on a declaration with every field filled and
// nine regional rows:
//   each print driver <= 1.5 x `qpdf --empty --pages IRAP_mod.pdf <its pages>
//   -- out.pdf` measured in the same run, and <= 300 ms.
// Run: build/bench/bench_print [--benchmark_filter=...]
// ZUR_BENCH_KEEP=DIR keeps the last output of each group in DIR, for a look.
// The "Smoke" case prints each group once for the test suite.
#include "platform/zurUGlobal.h"
#include "declaration/zurMDati.h"
#include "support/ScriptedPlatform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// Codes as long as their boxes on the form; other texts with Italian letters.
QString TextFor(const QString& name) {
  static const std::pair<const char*, const char*> codes[] = {{"CODFIS", "RSSMRA80A01G702X"},
                                                              {"PARTITAIVA", "01234567890"},
                                                              {"CAP", "56100"},
                                                              {"PROVINCIA", "PI"},
                                                              {"CODREG", "09"},
                                                              {"AGEREGIONE", "0123"},
                                                              {"CODCOMUNE", "G702"},
                                                              {"NATURAGIURIDICA", "28"},
                                                              {"CODCARICA", "1"},
                                                              {"ATECO", "851000"},
                                                              {"SITPARTCOD", "01"},
                                                              {"MODULECOUNT", "01"}};
  for (const auto& [key, value] : codes)
    if (name.contains(QLatin1String(key))) return QLatin1String(value);
  return QStringLiteral("Città di Forlì, via Università");
}

void Fill(TClientDataSet& ds, int row) {
  if (ds.IsEmpty() || row > 0)
    ds.Append();
  else
    ds.Edit();
  for (TField* f : ds.Fields()) {
    const QString name = f->FieldName();
    if (f->Calculated() || name == QLatin1String("IIRAPID") || name == QLatin1String("IAFIID") ||
        name == QLatin1String("IFISRIGO") || name == QLatin1String("SIRAPCODFIS"))
      continue;
    switch (f->DataType()) {
    case TFieldType::String:
      if (name.startsWith(u'L'))
        f->SetAsString(QStringLiteral("1"));
      else
        f->SetAsString(TextFor(name).left(std::max(1, f->Size())));
      break;
    case TFieldType::Integer:
      f->SetAsInteger(1000 * (row + 1) + 7);
      break;
    case TFieldType::Amount:
    case TFieldType::Float:
      f->SetAsString(QString::number(row + 1) + QStringLiteral("234567,89"));
      break;
    case TFieldType::Date:
      f->SetAsDate(QDate(2024, 12, 31));
      break;
    default:
      break;
    }
  }
  ds.Post();
}

struct TFixture {
  TScriptedPlatform platform;
  TdmZurDati dati;
  QTemporaryDir out;
  TFixture() {
    dati.CreateFromCatalogue();
    TClientDataSet& f = dati.cdsFrontespizio;
    f.Append();
    f.FieldByName(QStringLiteral("IIRAPID")).SetAsInteger(1000001);
    f.FieldByName(QStringLiteral("IAFIID")).SetAsInteger(7);
    f.FieldByName(QStringLiteral("SIRAPCODFIS")).SetAsString(QStringLiteral("97123450583"));
    f.Post();
    dati.EnterDeclaration(1000001);
    Fill(dati.cdsFrontespizio, 0);
    Fill(dati.cdsQuadroIK, 0);
    Fill(dati.cdsQuadroIR, 0);
    Fill(dati.cdsQuadroIS, 0);
    for (int r = 0; r < 9; ++r)
      Fill(dati.cdsQuadroIRVar, r + 1);
  }
};

// Freed before main returns, while Qt is still up.
std::unique_ptr<TFixture> g_fixture;
TFixture& Fixture() {
  if (!g_fixture) g_fixture = std::make_unique<TFixture>();
  return *g_fixture;
}

using TDriver = void (TdmZurPDF::*)(const QString&);
struct TGroup {
  const char* name;
  TDriver driver;
  const char* pages;
};
const TGroup kGroups[] = {{"Frontespizio", &TdmZurPDF::PrintFrontespizio, "1-2"},
                          {"QuadroIK", &TdmZurPDF::PrintQuadroIK, "3"},
                          {"QuadroIR", &TdmZurPDF::PrintQuadroIR, "4-5"},
                          {"QuadroIS", &TdmZurPDF::PrintQuadroIS, "6-9"}};

double QpdfMs(const char* pages, const QString& out) {
  QElapsedTimer t;
  t.start();
  QProcess::execute(QStringLiteral("qpdf"),
                    {QStringLiteral("--empty"), QStringLiteral("--pages"), TdmZurPDF::ModelPath(),
                     QLatin1String(pages), QStringLiteral("--"), out});
  return double(t.nsecsElapsed()) / 1e6;
}

void BM_Print(benchmark::State& state, const TGroup& g) {
  TFixture& fx = Fixture();
  const QString out = fx.out.filePath(QLatin1String(g.name) + QStringLiteral(".pdf"));
  double driverMs = 0, qpdfMs = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    (fx.dati.*g.driver)(out);
    driverMs += double(t.nsecsElapsed()) / 1e6;
    state.PauseTiming();
    qpdfMs += QpdfMs(g.pages, fx.out.filePath(QStringLiteral("qpdf.pdf")));
    state.ResumeTiming();
  }
  const double n = double(state.iterations());
  state.counters["driver_ms"] = driverMs / n;
  state.counters["qpdf_ms"] = qpdfMs / n;
  state.counters["ratio"] = driverMs / qpdfMs;
  const bool ok = driverMs / qpdfMs <= 1.5 && driverMs / n <= 300;
  state.SetLabel(std::string("budget: ratio <= 1.5 and <= 300 ms: ") + (ok ? "met" : "MISSED"));
  const QByteArray keep = qgetenv("ZUR_BENCH_KEEP");
  if (!keep.isEmpty()) {
    QFile::remove(QString::fromLocal8Bit(keep) + u'/' + QLatin1String(g.name) + QStringLiteral(".pdf"));
    QFile::copy(out, QString::fromLocal8Bit(keep) + u'/' + QLatin1String(g.name) + QStringLiteral(".pdf"));
  }
}

void BM_Print_Smoke(benchmark::State& state) {
  TFixture& fx = Fixture();
  for (auto _ : state)
    for (const TGroup& g : kGroups)
      (fx.dati.*g.driver)(fx.out.filePath(QStringLiteral("smoke.pdf")));
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  zur::SetRootDir(zur::RootDirFromExecutable(QCoreApplication::applicationFilePath()));
  for (const TGroup& g : kGroups)
    benchmark::RegisterBenchmark((std::string("BM_Print/") + g.name).c_str(), BM_Print, g)
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_Print_Smoke", BM_Print_Smoke)->Iterations(1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_fixture.reset();
  return 0;
}
