// Window program budgets, measured on a release build with an SQLite file of
// 1,000 declarations, every stored field filled, on the offscreen platform:
//   start-up to the declaration window shown            <= 2 s, and
//                                                       <= LoadAll + 0.5 s
//                                                          measured in the same run
//   building the declaration window                     <= 300 ms
//   building the five frames from the form description  <= 300 ms
//   opening another declaration, the frames following   <= 100 ms
//   peak resident memory with the 1,000 declarations    <= 250 MB
// The "Smoke" cases run the same code on five declarations for the test suite.

#include "app/ZurApplication.h"
#include "db/FamilySchema.h"
#include "db/VxSQLConnection.h"
#include "db/VxTransaction.h"
#include "db/ZurQuery.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "forms/ZurFormDescription.h"
#include "platform/zurUGlobal.h"
#include "store/NymDBCds.h"
#include "ui/ZurQtPlatform.h"
#include "ui/zurFFrames.h"
#include "ui/zurFMain.h"
#include "ui/zurFMainForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>

namespace {

// The clerk picks the first declaration at once; the dialog is not timed.
class TBenchPlatform : public TZurQtPlatform {
public:
  int ChooseDeclaration(TZurChoiceMode, TClientDataSet&) override { return 0; }
  void OpenDocument(const QString&) override {}
};

bool StoredAsRow(const TDataPacketField& f, const QString& map) {
  if (f.calculated) return false;
  const QString name = f.name.toLower();
  if (name == QLatin1String("iafiid") || name == QLatin1String("ifisrigo")) return false;
  for (const QString& entry : map.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QStringList parts = entry.split(QLatin1Char('='));
    if (parts.value(0).trimmed().toLower() == name || parts.value(1).trimmed().toLower() == name)
      return false;
  }
  return true;
}

// A program root with the query repository and a demo family database
// holding n declarations, written with plain statements as the store writes
// them.
class TBenchRoot {
public:
  explicit TBenchRoot(int declarations) {
    QDir().mkpath(m_dir.filePath(QStringLiteral("etc/qen")));
    QFile::copy(QStringLiteral(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds"),
                m_dir.filePath(QStringLiteral("etc/qen/qen_QueryText.cds")));
    // The frames are laid out from the installed form description.
    const QString form = QStringLiteral("USR/FR2024/Res/Modello/");
    QDir().mkpath(m_dir.filePath(form));
    for (const QString& page : zurform::TZurFormDescription::PageFiles())
      QFile::copy(QStringLiteral(ZUR_SOURCE_DIR "/resources/") + form + page, m_dir.filePath(form + page));
    m_url = m_dir.filePath(QStringLiteral("zur24.sqlite"));
    TVxSQLConnection c;
    c.SetDatabaseUrl(m_url);
    if (!c.Open()) qFatal("%s", qPrintable(c.LastError()));
    TFamilySchema::Create(c, true);
    m_rows = Fill(c, declarations);
  }
  QString Root() const { return m_dir.path(); }
  const QString& Url() const { return m_url; }
  qint64 Rows() const { return m_rows; }

private:
  static qint64 Fill(TVxSQLConnection& c, int n) {
    qint64 rows = 0;
    TVxTransaction t(c);
    t.StartTransaction();
    TZurQuery period(c);
    period.SetSQL(QStringLiteral("SELECT icrfid FROM pnym_getcrofiscale('zur', 2024, NULL)"));
    period.Open();
    const qint64 icrfid = period.Fields(0).AsInteger();
    period.Close();
    QSqlQuery afi(c.Database());
    afi.prepare(
        QStringLiteral("INSERT INTO tafi_anafiscale (iafiid, icrfid, saficodfiscale, safidenominazione) "
                       "VALUES (?, ?, ?, ?)"));
    for (int d = 0; d < n; ++d) {
      afi.bindValue(0, d + 1);
      afi.bindValue(1, icrfid);
      afi.bindValue(2, QStringLiteral("CF%1").arg(d, 14, 10, QLatin1Char('0')));
      afi.bindValue(3, QStringLiteral("Istituto comprensivo numero %1").arg(d));
      if (!afi.exec()) qFatal("tafi: %s", qPrintable(afi.lastError().text()));
    }
    QSqlQuery fis(c.Database());
    fis.prepare(
        QStringLiteral("INSERT INTO tfis_datifiscali (icdsid, icrfid, iafiid, ifisrigo, sfisfieldname, "
                       "sfisvalue, ifisvalue, ffisvalue, dfisvalue) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const TZurDataSetDecl& decl : TZurCatalogue::StoredDataSets()) {
      TClientDataSet structure;
      TZurCatalogue::CreateDataSet(structure, decl);
      const QString map = QString::fromLatin1(decl.fieldMap);
      const qint64 icdsid = TNymDBCds::WriteStructure(c, QStringLiteral("zur"), 2024, 0, decl.TableName(),
                                                      structure, decl.anagrafica, decl.mapReadOnly, map);
      const std::vector<TDataPacketField> fields = TZurCatalogue::Structure(decl);
      for (int d = 0; d < n; ++d) {
        int i = 0;
        for (const TDataPacketField& f : fields) {
          ++i;
          if (!StoredAsRow(f, map)) continue;
          QVariant text(QMetaType::fromType<QString>()), integer(QMetaType::fromType<qlonglong>()),
              real(QMetaType::fromType<double>()), date(QMetaType::fromType<QString>());
          switch (f.type) {
          case TFieldType::Integer:
            integer = f.name == QLatin1String("IIRAPID") ? qlonglong(1000001 + d) : qlonglong(d) * 1000 + i;
            break;
          case TFieldType::Amount:
            real = double(d) + i / 100.0;
            break;
          case TFieldType::Float:
            real = d + 0.5;
            break;
          case TFieldType::Date:
            date = QDate(2024, 1, 1).addDays((d + i) % 365).toString(Qt::ISODate);
            break;
          default:
            text =
                f.name.startsWith(QLatin1Char('L'))
                    ? QStringLiteral("1")
                    : QStringLiteral("Valore %1 del campo %2").arg(d).arg(i).left(f.size > 0 ? f.size : 1000);
            break;
          }
          const QVariant values[] = {icdsid, icrfid, d + 1, d + 1, f.name, text, integer, real, date};
          for (int v = 0; v < 9; ++v)
            fis.bindValue(v, values[v]);
          if (!fis.exec()) qFatal("tfis: %s", qPrintable(fis.lastError().text()));
          ++rows;
        }
      }
      TZurQuery q(c);
      q.SetSQL(QStringLiteral("UPDATE tcds_struttura SET icdsrigo = :N WHERE icdsid = :ID"));
      q.ParamByName(QStringLiteral("N")).SetInteger(n);
      q.ParamByName(QStringLiteral("ID")).SetInteger(icdsid);
      q.ExecSQL();
    }
    TZurQuery q(c);
    q.SetSQL(QStringLiteral("UPDATE tgen_generatori SET igenvalore = :N WHERE sgennome = 'tafi_anafiscale'"));
    q.ParamByName(QStringLiteral("N")).SetInteger(n);
    q.ExecSQL();
    t.Commit();
    return rows;
  }

  QTemporaryDir m_dir;
  QString m_url;
  qint64 m_rows = 0;
};

std::map<int, std::unique_ptr<TBenchRoot>> g_roots;

TBenchRoot& Root(int n) {
  auto& r = g_roots[n];
  if (!r) r = std::make_unique<TBenchRoot>(n);
  return *r;
}

TZurApplication::TOptions Options(const TBenchRoot& root) {
  TZurApplication::TOptions o;
  o.rootDir = root.Root();
  o.databaseUrl = root.Url();
  o.executableName = QStringLiteral("zur24");
  o.version = QStringLiteral(ZUR_VERSION);
  return o;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double PeakResidentMB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
  return -1;
}

// Start-up as the program runs it, to the declaration window on screen,
// against the datasets' load alone in the same run.
void BM_StartUp(benchmark::State& state) {
  TBenchRoot& root = Root(int(state.range(0)));
  TBenchPlatform platform;
  double startup = 0, load = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    {
      TfmZurMainForm host(Options(root), &platform);
      TfmZurMain* w = host.StartUp();
      if (!w) qFatal("start-up failed");
      QApplication::processEvents();
      startup = Seconds(std::chrono::steady_clock::now() - t0);
      state.PauseTiming();
      if (host.Application()->Dati().cdsFrontespizio.RecordCount() != state.range(0)) qFatal("wrong count");
      auto t1 = std::chrono::steady_clock::now();
      host.Application()->Dati().LoadAll();
      load = Seconds(std::chrono::steady_clock::now() - t1);
      host.Application()->Dati().SetModified(false);
      w->hide();
    }
    state.ResumeTiming();
  }
  state.counters["startup_s"] = startup;
  state.counters["loadall_s"] = load;
  state.counters["over_load_s"] = startup - load;
  state.counters["peak_MB"] = PeakResidentMB();
  state.counters["rows"] = double(root.Rows());
  state.SetLabel("budget: start-up <= 2 s and <= LoadAll + 0.5 s; peak memory <= 250 MB");
}

// The declaration window alone, on started modules.
void BM_BuildMainWindow(benchmark::State& state) {
  TBenchRoot& root = Root(int(state.range(0)));
  TBenchPlatform platform;
  SetPlatform(&platform);
  TZurApplication app(Options(root));
  if (!app.Start()) qFatal("start-up failed");
  app.Dati().EnterDeclaration(0);
  for (auto _ : state) {
    auto w = std::make_unique<TfmZurMain>(app);
    w->show();
    QApplication::processEvents();
    state.PauseTiming();
    w->hide();
    w.reset();
    state.ResumeTiming();
  }
  SetPlatform(nullptr);
  state.SetLabel("budget: 300 ms");
}

// The five frames alone, from reading the form's XML files to the pages laid out.
void BM_BuildFrames(benchmark::State& state) {
  TBenchRoot& root = Root(5);
  zur::SetRootDir(root.Root());
  QWidget host;
  host.resize(1280, 750);
  for (auto _ : state) {
    const auto form = zurform::TZurFormDescription::Load();
    auto page = [&](const char* name) { return *form.Page(QLatin1String(name)); };
    auto* a = new TfrZurFrontespizio(page("Frontespizio"), &host);
    auto* b = new TfrZurQuadroIK(page("QuadroIK"), &host);
    auto* c = new TfrZurQuadroIR(page("QuadroIR"), &host);
    auto* d = new TfrZurQuadroIRVar(page("QuadroIRVar"), &host);
    auto* e = new TfrZurQuadroIS(page("QuadroIS"), &host);
    for (QWidget* f : std::initializer_list<QWidget*>{a, b, c, d, e})
      f->resize(1280, 700);
    state.PauseTiming();
    for (QWidget* f : std::initializer_list<QWidget*>{a, b, c, d, e})
      delete f;
    state.ResumeTiming();
  }
  state.SetLabel("budget: 300 ms");
}

// Opening another declaration with the window shown: the datasets move to
// it and every bound control of the five frames follows.
void BM_OpenOtherDeclaration(benchmark::State& state) {
  TBenchRoot& root = Root(int(state.range(0)));
  TBenchPlatform platform;
  SetPlatform(&platform);
  TZurApplication app(Options(root));
  if (!app.Start()) qFatal("start-up failed");
  TClientDataSet& covers = app.Dati().cdsFrontespizio;
  covers.First();
  const int first = covers.FieldByName(QStringLiteral("IIRAPID")).AsInteger();
  covers.Last();
  const int last = covers.FieldByName(QStringLiteral("IIRAPID")).AsInteger();
  app.Dati().EnterDeclaration(first);
  auto w = std::make_unique<TfmZurMain>(app);
  w->show();
  w->Open();
  QApplication::processEvents();
  int n = 0;
  for (auto _ : state) {
    if (!app.Dati().EnterDeclaration(++n % 2 ? last : first)) qFatal("declaration not found");
    QApplication::processEvents();
  }
  w->hide();
  w.reset();
  SetPlatform(nullptr);
  state.SetLabel("budget: 100 ms");
}

} // namespace

BENCHMARK(BM_BuildFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenOtherDeclaration)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildFrames)->Name("BM_BuildFrames_Smoke")->Iterations(1);
BENCHMARK(BM_OpenOtherDeclaration)->Name("BM_OpenOtherDeclaration_Smoke")->Arg(5)->Iterations(1);
BENCHMARK(BM_StartUp)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildMainWindow)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUp)->Name("BM_StartUp_Smoke")->Arg(5)->Iterations(1);
BENCHMARK(BM_BuildMainWindow)->Name("BM_BuildMainWindow_Smoke")->Arg(5)->Iterations(1);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  g_roots.clear();
  return 0;
}
