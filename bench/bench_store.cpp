// Fiscal store budgets, measured on a release build with an SQLite file:
//   loading the five declaration datasets of 1,000 declarations, every field
//   filled (about 550,000 stored rows)      <= 2 x the five ordered load
//                                               statements read column by
//                                               column with forward-only
//                                               queries, measured in the same run
//   saving one modified declaration among them          <= 100 ms
//   the same save as one transaction over the five datasets, with the
//   declaration's version raised          <= 1.2 x five saves of their own,
//                                               measured in the same run
//   peak resident memory with the 1,000 declarations loaded <= 200 MB
// The "Smoke" cases run the same code on five declarations for the test suite.

#include "dataset/ClientDataSet.h"
#include "dataset/DataPacket.h"
#include "db/FamilySchema.h"
#include "db/VxSQLConnection.h"
#include "db/VxTransaction.h"
#include "db/ZurQuery.h"
#include "declaration/ZurDeclarationRegistry.h"
#include "store/NymDBCds.h"

#if __has_include("declaration/ZurCatalogue.h")
#include "declaration/ZurCatalogue.h"
#define ZUR_BENCH_CATALOGUE 1
#endif

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace {

struct TBenchStructure {
  QString table;
  bool anagrafica = false;
  bool mapReadOnly = false;
  QString map;
  std::vector<TDataPacketField> fields;
  qint64 id = 0;
};

// The five declaration structures: the catalogue's when it is there,
// otherwise made-up ones of the same shape.
std::vector<TBenchStructure> Structures() {
  std::vector<TBenchStructure> out;
#ifdef ZUR_BENCH_CATALOGUE
  for (const TZurDataSetDecl& decl : TZurCatalogue::StoredDataSets())
    out.push_back({decl.TableName(), decl.anagrafica, decl.mapReadOnly, QString::fromLatin1(decl.fieldMap),
                   TZurCatalogue::Structure(decl)});
#else
  const auto make = [](const char* table, const char* page, int strings, int integers, int amounts,
                       int dates) {
    TBenchStructure s;
    s.table = QString::fromLatin1(table);
    s.fields = {{QStringLiteral("IFISRIGO"), TFieldType::Integer},
                {QStringLiteral("IAFIID"), TFieldType::Integer},
                {QStringLiteral("IIRAPID"), TFieldType::Integer},
                {QStringLiteral("SIRAPCODFIS"), TFieldType::String, 16}};
    const QString p = QString::fromLatin1(page);
    for (int i = 0; i < strings; ++i)
      s.fields.push_back({QStringLiteral("S%1CAMPO%2").arg(p).arg(i), TFieldType::String, 100});
    for (int i = 0; i < integers; ++i)
      s.fields.push_back({QStringLiteral("I%1CAMPO%2").arg(p).arg(i), TFieldType::Integer});
    for (int i = 0; i < amounts; ++i)
      s.fields.push_back({QStringLiteral("F%1CAMPO%2").arg(p).arg(i), TFieldType::Amount, 2, 18});
    for (int i = 0; i < dates; ++i)
      s.fields.push_back({QStringLiteral("D%1CAMPO%2").arg(p).arg(i), TFieldType::Date});
    s.map = QStringLiteral("saficodfiscale=SIRAPCODFIS");
    s.mapReadOnly = true;
    return s;
  };
  out.push_back(make("TFRNT_FRONTESPIZIO", "IRAP", 80, 5, 2, 6));
  out.back().fields.push_back({QStringLiteral("SIRAPDENOM"), TFieldType::String, 100});
  out.back().anagrafica = true;
  out.back().mapReadOnly = false;
  out.back().map = QStringLiteral("saficodfiscale=SIRAPCODFIS;safidenominazione=SIRAPDENOM");
  out.push_back(make("TQIK_QUADROIK", "IK", 2, 2, 49, 0));
  out.push_back(make("TQIR_QUADROIR", "IR", 2, 5, 102, 0));
  out.push_back(make("TQIRV_QUADROIR_VAR", "IRV", 4, 12, 0, 0));
  out.push_back(make("TQIS_QUADROIS", "IS", 4, 15, 250, 0));
#endif
  return out;
}

// The store's own load statement (TNymDBCds), for the raw comparison.
const char* const kLoadRows =
    "SELECT crf.*, afi.*, fis.sFisFieldName, fis.iFisRigo, fis.iFisValue, fis.fFisValue, fis.sFisValue, "
    "fis.dFisValue FROM tcrf_crofiscale crf LEFT JOIN tfis_datifiscali fis ON fis.icrfid = crf.icrfid "
    "LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO "
    "AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND Lower(crf.scrfprogramma) = "
    ":SCRFPROGRAMMA AND fis.icdsid = :ICDSID AND (fis.iafiid = :IAFIID OR :IAFIID = -1) ORDER BY "
    "fis.ifisrigo";

// Columns the store keeps out of the rows: its keys and what the field map
// puts in the taxpayer entry.
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

// A family database with n declarations, every stored field of every dataset
// filled. Written with plain statements: the same rows the store writes,
// without holding the datasets in memory (the memory budget is the load's).
class TBenchDatabase {
public:
  explicit TBenchDatabase(int declarations) : m_declarations(declarations) {
    m_connection.SetDatabaseUrl(QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("zur24.sqlite")));
    if (!m_connection.Open()) qFatal("%s", qPrintable(m_connection.LastError()));
    TFamilySchema::Create(m_connection, false);
    m_structures = Structures();
    for (TBenchStructure& s : m_structures) {
      TClientDataSet structure;
      for (const TDataPacketField& f : s.fields)
        structure.AddFieldDef(f.name, f.type,
                              f.type == TFieldType::String || f.type == TFieldType::Amount ? f.size : -1,
                              f.calculated);
      s.id = TNymDBCds::WriteStructure(m_connection, QStringLiteral("zur"), 2024, 0, s.table, structure,
                                       s.anagrafica, s.mapReadOnly, s.map);
    }
    Fill();
  }

  TVxSQLConnection& Connection() { return m_connection; }
  const std::vector<TBenchStructure>& StructureList() const { return m_structures; }
  int Declarations() const { return m_declarations; }
  qint64 Rows() const { return m_rows; }

private:
  void Fill() {
    TVxTransaction t(m_connection);
    t.StartTransaction();
    TZurQuery period(m_connection);
    period.SetSQL(QStringLiteral("SELECT icrfid FROM pnym_getcrofiscale('zur', 2024, NULL)"));
    period.Open();
    const qint64 icrfid = period.Fields(0).AsInteger();
    period.Close();

    QSqlQuery afi(m_connection.Database());
    afi.prepare(
        QStringLiteral("INSERT INTO tafi_anafiscale (iafiid, icrfid, saficodfiscale, safidenominazione) "
                       "VALUES (?, ?, ?, ?)"));
    for (int d = 0; d < m_declarations; ++d) {
      afi.bindValue(0, d + 1);
      afi.bindValue(1, icrfid);
      afi.bindValue(2, QStringLiteral("CF%1").arg(d, 14, 10, QLatin1Char('0')));
      afi.bindValue(3, QStringLiteral("Istituto comprensivo numero %1").arg(d));
      if (!afi.exec()) qFatal("tafi: %s", qPrintable(afi.lastError().text()));
    }

    QSqlQuery fis(m_connection.Database());
    fis.prepare(
        QStringLiteral("INSERT INTO tfis_datifiscali (icdsid, icrfid, iafiid, ifisrigo, sfisfieldname, "
                       "sfisvalue, ifisvalue, ffisvalue, dfisvalue) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QVariant nullText(QMetaType::fromType<QString>());
    const QVariant nullInt(QMetaType::fromType<qlonglong>());
    const QVariant nullDouble(QMetaType::fromType<double>());
    for (const TBenchStructure& s : m_structures) {
      for (int d = 0; d < m_declarations; ++d) {
        int i = 0;
        for (const TDataPacketField& f : s.fields) {
          ++i;
          if (!StoredAsRow(f, s.map)) continue;
          QVariant text = nullText, integer = nullInt, real = nullDouble, date = nullText;
          switch (f.type) {
          case TFieldType::Integer:
            integer = QVariant::fromValue<qlonglong>(qlonglong(d) * 1000 + i + 1);
            break;
          case TFieldType::Amount:
            real = Currency::FromCents(qint64(d) * 100003 + i * 7 + 1).toDouble();
            break;
          case TFieldType::Float:
            real = d + 0.5;
            break;
          case TFieldType::Date:
            date = QDate(2024, 1, 1).addDays((d + i) % 365).toString(Qt::ISODate);
            break;
          default:
            text = QStringLiteral("Valore %1 del campo %2").arg(d).arg(i).left(f.size > 0 ? f.size : 1000);
            break;
          }
          fis.bindValue(0, s.id);
          fis.bindValue(1, icrfid);
          fis.bindValue(2, d + 1);
          fis.bindValue(3, d + 1);
          fis.bindValue(4, f.name);
          fis.bindValue(5, text);
          fis.bindValue(6, integer);
          fis.bindValue(7, real);
          fis.bindValue(8, date);
          if (!fis.exec()) qFatal("tfis: %s", qPrintable(fis.lastError().text()));
          ++m_rows;
        }
      }
    }
    TZurQuery q(m_connection);
    q.SetSQL(QStringLiteral("UPDATE tcds_struttura SET icdsrigo = :N"));
    q.ParamByName(QStringLiteral("N")).SetInteger(m_declarations);
    q.ExecSQL();
    q.SetSQL(QStringLiteral("UPDATE tgen_generatori SET igenvalore = :N WHERE sgennome = 'tafi_anafiscale'"));
    q.ParamByName(QStringLiteral("N")).SetInteger(m_declarations);
    q.ExecSQL();
    t.Commit();
  }

  QTemporaryDir m_dir;
  int m_declarations;
  TVxSQLConnection m_connection;
  std::vector<TBenchStructure> m_structures;
  qint64 m_rows = 0;
};

// Emptied before main returns: connections must close while Qt's SQL
// machinery is still there.
std::map<int, std::unique_ptr<TBenchDatabase>> g_databases;

TBenchDatabase& Database(int declarations) {
  auto& db = g_databases[declarations];
  if (!db) db = std::make_unique<TBenchDatabase>(declarations);
  return *db;
}

std::unique_ptr<TNymDBCds> Store(TBenchDatabase& db) {
  auto store = std::make_unique<TNymDBCds>(2024, QStringLiteral("zur"), 0);
  store->SetConnection(&db.Connection());
  store->SetShowWait(false);
  return store;
}

using TDataSets = std::vector<std::unique_ptr<TClientDataSet>>;

TDataSets LoadAll(TBenchDatabase& db, TNymDBCds& store) {
  TDataSets sets;
  for (const TBenchStructure& s : db.StructureList()) {
    sets.push_back(std::make_unique<TClientDataSet>());
    store.Load(*sets.back(), s.table);
  }
  return sets;
}

// The five load statements alone, every column of every row read.
qint64 RawStatements(TBenchDatabase& db) {
  const TParsedSql parsed = ParseNamedParameters(QString::fromLatin1(kLoadRows));
  qint64 values = 0;
  for (const TBenchStructure& s : db.StructureList()) {
    QSqlQuery q(db.Connection().Database());
    q.setForwardOnly(true);
    q.prepare(parsed.driverText);
    for (int i = 0; i < parsed.positions.size(); ++i) {
      const QString name = parsed.positions[i].toUpper();
      if (name == QLatin1String("ICDSID"))
        q.bindValue(i, s.id);
      else if (name == QLatin1String("IAFIID"))
        q.bindValue(i, -1);
      else if (name == QLatin1String("ICRFANNO"))
        q.bindValue(i, 2024);
      else if (name == QLatin1String("ICRFMESE"))
        q.bindValue(i, 0);
      else
        q.bindValue(i, QStringLiteral("zur"));
    }
    if (!q.exec()) qFatal("%s", qPrintable(q.lastError().text()));
    const int columns = q.record().count();
    while (q.next()) {
      for (int c = 0; c < columns; ++c) {
        QVariant v = q.value(c);
        benchmark::DoNotOptimize(v);
      }
      values += columns;
    }
  }
  return values;
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

void BM_LoadAllMemory(benchmark::State& state) {
  TBenchDatabase& db = Database(int(state.range(0)));
  auto store = Store(db);
  for (auto _ : state) {
    TDataSets sets = LoadAll(db, *store);
    benchmark::DoNotOptimize(sets);
    state.counters["peak_MB"] = PeakResidentMB();
  }
  state.counters["rows"] = double(db.Rows());
  state.SetLabel("budget: peak resident memory <= 200 MB");
}

void BM_LoadAll(benchmark::State& state) {
  TBenchDatabase& db = Database(int(state.range(0)));
  auto store = Store(db);
  for (auto _ : state) {
    TDataSets sets = LoadAll(db, *store);
    state.PauseTiming();
    sets.clear();
    state.ResumeTiming();
  }
  state.counters["rows"] = double(db.Rows());
}

void BM_RawStatements(benchmark::State& state) {
  TBenchDatabase& db = Database(int(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(RawStatements(db));
  state.counters["rows"] = double(db.Rows());
}

// Both in each iteration, so that the ratio compares like with like.
void BM_LoadRatio(benchmark::State& state) {
  TBenchDatabase& db = Database(int(state.range(0)));
  auto store = Store(db);
  double raw = 0, load = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(RawStatements(db));
    const auto t1 = std::chrono::steady_clock::now();
    TDataSets sets = LoadAll(db, *store);
    const auto t2 = std::chrono::steady_clock::now();
    raw += Seconds(t1 - t0);
    load += Seconds(t2 - t1);
    state.PauseTiming();
    sets.clear();
    state.ResumeTiming();
  }
  const double n = double(state.iterations());
  state.counters["raw_ms"] = 1000 * raw / n;
  state.counters["load_ms"] = 1000 * load / n;
  state.counters["ratio"] = raw > 0 ? load / raw : 0;
  state.SetLabel("budget: ratio <= 2");
}

// Changes one amount and one stored text of the declaration in every dataset.
void ModifyDeclaration(TBenchDatabase& db, TDataSets& sets, int target, int round) {
  for (size_t k = 0; k < sets.size(); ++k) {
    TClientDataSet* ds = sets[k].get();
    if (!ds->Locate(QStringLiteral("IAFIID"), target)) qFatal("declaration %d not loaded", target);
    TField* amount = nullptr;
    TField* text = nullptr;
    for (TField* f : ds->Fields()) {
      if (!amount && f->DataType() == TFieldType::Amount) amount = f;
      if (!text && f->DataType() == TFieldType::String && f->Size() > 10 &&
          StoredAsRow({f->FieldName(), f->DataType(), f->Size(), 0, false}, db.StructureList()[k].map))
        text = f;
    }
    ds->Edit();
    if (amount) amount->SetAsCurrency(Currency::FromCents(100000 + round));
    if (text) text->SetAsString(QStringLiteral("Modificato %1").arg(round));
    ds->Post();
  }
}

void BM_SaveOneDeclaration(benchmark::State& state) {
  TBenchDatabase& db = Database(int(state.range(0)));
  auto store = Store(db);
  TDataSets sets = LoadAll(db, *store);
  const int target = db.Declarations() / 2 + 1;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ModifyDeclaration(db, sets, target, ++round);
    state.ResumeTiming();
    for (size_t k = 0; k < sets.size(); ++k)
      store->Save(*sets[k], db.StructureList()[k].table);
  }
  state.SetLabel("budget: 100 ms");
}

// The declaration saved as the program saves it (one transaction over the
// five datasets, its version raised) against five saves each with a
// transaction of its own, alternately in the same run.
void BM_SaveOneTransactionRatio(benchmark::State& state) {
  TBenchDatabase& db = Database(int(state.range(0)));
  auto store = Store(db);
  TDataSets sets = LoadAll(db, *store);
  const int target = db.Declarations() / 2 + 1;
  TZurDeclarationRegistry registry(db.Connection(), store->Program(), store->Year());
  registry.Ensure();
  registry.Adopt(target, QStringLiteral("BENCH%1").arg(target));
  int version = registry.Entries()[target].version;
  int round = 0;
  double separate = 0, batch = 0;
  for (auto _ : state) {
    ModifyDeclaration(db, sets, target, ++round);
    const auto t0 = std::chrono::steady_clock::now();
    for (size_t k = 0; k < sets.size(); ++k)
      store->Save(*sets[k], db.StructureList()[k].table);
    const auto t1 = std::chrono::steady_clock::now();
    ModifyDeclaration(db, sets, target, ++round);
    const auto t2 = std::chrono::steady_clock::now();
    {
      TNymDBCds::TBatch one(*store);
      TZurDeclarationRegistry(one.Connection(), store->Program(), store->Year()).Raise(target, version);
      for (size_t k = 0; k < sets.size(); ++k)
        one.Save(*sets[k], db.StructureList()[k].table);
      one.Commit();
      ++version;
    }
    const auto t3 = std::chrono::steady_clock::now();
    separate += Seconds(t1 - t0);
    batch += Seconds(t3 - t2);
  }
  const double n = double(state.iterations());
  state.counters["separate_ms"] = 1000 * separate / n;
  state.counters["one_tx_ms"] = 1000 * batch / n;
  state.counters["ratio"] = separate > 0 ? batch / separate : 0;
  state.SetLabel("budget: ratio <= 1.2");
}

} // namespace

BENCHMARK(BM_LoadAllMemory)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAll)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawStatements)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRatio)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOneDeclaration)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOneTransactionRatio)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_LoadAllMemory)->Name("BM_LoadAllMemory_Smoke")->Arg(5)->Iterations(1);
BENCHMARK(BM_LoadRatio)->Name("BM_LoadRatio_Smoke")->Arg(5);
BENCHMARK(BM_SaveOneDeclaration)->Name("BM_SaveOneDeclaration_Smoke")->Arg(5);
BENCHMARK(BM_SaveOneTransactionRatio)->Name("BM_SaveOneTransactionRatio_Smoke")->Arg(5);

// The Qt SQL drivers want an application object.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_databases.clear();
  return 0;
}
