#pragma once

#include "dataset/ClientDataSet.h"
#include "dataset/Currency.h"
#include "db/VxSQLConnection.h"
#include "db/ZurQuery.h"
#include "payroll/QenMParams.h"
#include "payroll/nymCAnno.h"
#include "payroll/nymCQueryText.h"

#include <QString>
#include <QTemporaryDir>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <utility>

// Helpers shared by the tests of the IRAP calculator, the accumulator and the
// import: the repository with some statements changed, the payroll modules
// wired to a test database, and payroll rows written by hand.
namespace zurtest {

inline const QString kCommittedRepository =
    QStringLiteral(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds");

// QRY_IRAP_RIT failing at run time from March on (ABS of the smallest 64-bit
// integer overflows on both engines), to stop a computation in the middle of
// a year.
inline const QString kRitenutaGuastaDaMarzo =
    QStringLiteral("SELECT NYM_IMPORTO(SUM(REGS.NREGSIRAP)) AS RITENUTA,\n"
                   "       ABS(CASE WHEN COALESCE(MAX(REGS.IMESID), 0) < 3 THEN 0 ELSE (-9223372036854775807 "
                   "- 1) END) AS GUASTO\n"
                   "  FROM TREGS_REGISTRAZIONI REGS\n"
                   " WHERE REGS.IANFID = :IANFID\n"
                   "   AND :RICE_COD_IRAP = 1");

// The program's repository with some statements replaced or removed
// (nullopt) and version records added, loaded as the run's repository for
// the object's lifetime; the committed one is loaded back afterwards.
class TRepositoryOverride {
public:
  using TKey = std::pair<QString, QString>; // Query, Tipo

  explicit TRepositoryOverride(const std::map<TKey, std::optional<QString>>& changes,
                               const QStringList& extraVersions = {}) {
    TClientDataSet table;
    table.LoadFromFile(kCommittedRepository);
    std::map<TKey, std::optional<QString>> pending = changes;
    table.First();
    while (!table.Eof()) {
      const TKey key{table.FieldByName(QStringLiteral("Query")).AsString(),
                     table.FieldByName(QStringLiteral("Tipo")).AsString()};
      const auto it = pending.find(key);
      if (it == pending.end()) {
        table.Next();
        continue;
      }
      if (!it->second) {
        table.Delete();
      } else {
        table.Edit();
        table.FieldByName(QStringLiteral("SQL")).SetAsString(*it->second);
        table.Post();
        table.Next();
      }
      pending.erase(it);
    }
    for (const auto& [key, text] : pending)
      if (text) Add(table, key.first, key.second, *text);
    for (const QString& exe : extraVersions)
      Add(table, QStringLiteral("VER_") + exe.toUpper(), QStringLiteral("1.0.0"), QString());
    m_path = m_dir.filePath(QStringLiteral("qen_QueryText.cds"));
    table.SaveToFile(m_path);
    QueryText().Load(m_path);
  }
  ~TRepositoryOverride() { QueryText().Load(kCommittedRepository); }
  TRepositoryOverride(const TRepositoryOverride&) = delete;
  TRepositoryOverride& operator=(const TRepositoryOverride&) = delete;

  const QString& Path() const { return m_path; }

private:
  static void Add(TClientDataSet& table, const QString& query, const QString& tipo, const QString& sql) {
    table.Append();
    table.FieldByName(QStringLiteral("Query")).SetAsString(query);
    table.FieldByName(QStringLiteral("Tipo")).SetAsString(tipo);
    table.FieldByName(QStringLiteral("Indice")).SetAsInteger(0);
    table.FieldByName(QStringLiteral("SQL")).SetAsString(sql);
    table.Post();
  }

  QTemporaryDir m_dir;
  QString m_path;
};

// The parameter module on a test connection, made the program's one and the
// financial-year object's, as start-up does; undone afterwards.
class TPayrollModules {
public:
  explicit TPayrollModules(TVxSQLConnection& connection)
      : m_previous(dmQenParams()), m_previousYearParams(QenAnnoFinanziario().Params()),
        m_params(std::make_unique<TdmQenParams>(&connection)) {
    SetDmQenParams(m_params.get());
    QenAnnoFinanziario().SetParams(m_params.get());
  }
  ~TPayrollModules() {
    QenAnnoFinanziario().SetParams(m_previousYearParams);
    SetDmQenParams(m_previous);
  }
  TPayrollModules(const TPayrollModules&) = delete;
  TPayrollModules& operator=(const TPayrollModules&) = delete;

  TdmQenParams& Params() { return *m_params; }

private:
  TdmQenParams* m_previous;
  TdmQenParams* m_previousYearParams;
  std::unique_ptr<TdmQenParams> m_params;
};

inline Currency Euro(const char* text) {
  return *Currency::Parse(QString::fromLatin1(text));
}

// Payroll rows written by hand into a schema without the demo data.
class TPayrollWriter {
public:
  explicit TPayrollWriter(TVxSQLConnection& connection) : m_connection(connection) {}

  void ContractType(int id) {
    Exec("INSERT INTO ttno_tipinomina (itnoid, stnodesc) VALUES (%1, 'T%1')", {id});
  }
  void PayItem(int id, int payClass, int irapCode) {
    Exec("INSERT INTO tcot_competenze (icotid, scotcodice, scotdesc, icotfondamentale, icotcodirap) "
         "VALUES (%1, 'C%1', 'VOCE %1', %2, %3)",
         {id, payClass, irapCode});
  }
  void Worker(int id) {
    Exec("INSERT INTO tdip_dipendenti (idipid, sdipcognome) VALUES (%1, 'LAVORATORE %1')", {id});
  }
  void Movement(int year, int month, int worker, int contractType, int payItem, Currency taxable,
                Currency irap = Currency()) {
    TZurQuery q(m_connection);
    q.SetSQL(QStringLiteral(
        "INSERT INTO tregs_registrazioni (iregsid, ianfid, imesid, idipid, itnoid, icotid, "
        "nregsimponibile, nregsirap) VALUES (:ID, :ANF, :MES, :DIP, :TNO, :COT, :IMP, :IRAP)"));
    q.ParamByName(QStringLiteral("ID")).SetInteger(++m_nextId);
    q.ParamByName(QStringLiteral("ANF")).SetInteger(year - 1969);
    q.ParamByName(QStringLiteral("MES")).SetInteger(month);
    q.ParamByName(QStringLiteral("DIP")).SetInteger(worker);
    q.ParamByName(QStringLiteral("TNO")).SetInteger(contractType);
    q.ParamByName(QStringLiteral("COT")).SetInteger(payItem);
    q.ParamByName(QStringLiteral("IMP")).SetAmount(taxable);
    q.ParamByName(QStringLiteral("IRAP")).SetAmount(irap);
    q.ExecSQL();
  }
  void Exec(const char* sql, std::initializer_list<int> args = {}) {
    QString text = QString::fromLatin1(sql);
    for (int a : args)
      text = text.arg(a);
    TZurQuery q(m_connection);
    q.SetSQL(text);
    q.ExecSQL();
  }

private:
  TVxSQLConnection& m_connection;
  int m_nextId = 100000;
};

} // namespace zurtest
