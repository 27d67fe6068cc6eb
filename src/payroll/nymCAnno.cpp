#include "payroll/nymCAnno.h"

#include "db/ZurConnection.h"
#include "db/ZurQuery.h"
#include "payroll/QenMParams.h"
#include "platform/ZurError.h"

namespace {

int IdParameter(const TdmQenParams* params, const char* key) {
  ZurAssert(params != nullptr, QStringLiteral("Assertion failure (nymUUtil)"));
  const QVariant v = params->GetParams(QString::fromLatin1(key));
  if (v.isNull() || !v.isValid()) return 0;
  bool ok = false;
  const int id = v.toString().trimmed().toInt(&ok);
  return ok ? id : 0;
}

QString UsDate(const QDate& d) { return d.isValid() ? d.toString(QStringLiteral("MM/dd/yyyy")) : QString(); }

} // namespace

void TnymAnno::Load(int id) {
  const int wanted = id == 0 ? DefaultId() : id;
  TVxSQLConnection* connection = m_params ? m_params->Connection() : qqoVxGlobConn();
  if (!connection) throw EZurError(QStringLiteral("Nessuna connessione al database."), EZurError::Kind::Database);
  TZurQuery q(*connection);
  q.SetSQL(StatementText());
  q.ParamByName(QStringLiteral("IDANNO")).SetInteger(wanted);
  q.Open();
  const QDate inizio = q.Fields(0).AsDate();
  const QDate fine = q.Fields(1).AsDate();
  q.Close();
  m_id = wanted;
  m_inizio = inizio;
  m_fine = fine;
  m_annoInizio = inizio.isValid() ? inizio.year() : 0;
  m_testoInizio = UsDate(inizio);
  m_testoFine = UsDate(fine);
}

QString TnymAnnoScolastico::StatementText() const {
  return QStringLiteral("SELECT DANSVOREXINIZIO, DANSVOREXFINE FROM TANS_ANNISCOLAST WHERE IANSID=:IDANNO");
}

int TnymAnnoScolastico::DefaultId() const { return IdParameter(Params(), "VXUP_AnsId"); }

int TnymAnnoFinanziario::IdFromYear(int year) { return year >= 1970 ? year - 1969 : year; }

void TnymAnnoFinanziario::SetByYear(const QString& yearText) {
  bool ok = false;
  const int year = yearText.trimmed().toInt(&ok);
  if (!ok) throw EZurError(QStringLiteral("'%1' non è un numero intero valido.").arg(yearText));
  Load(IdFromYear(year));
}

QString TnymAnnoFinanziario::StatementText() const {
  return QStringLiteral("SELECT DANFVOREXINIZIO, DANFVOREXFINE FROM TANF_ANNIFINANZ WHERE IANFID=:IDANNO");
}

int TnymAnnoFinanziario::DefaultId() const { return IdParameter(Params(), "VXUP_AnfId"); }

void TqenAnnoFinanziario::Load(int id) {
  if (!Params()) SetParams(dmQenParams());
  TnymAnnoFinanziario::Load(id);
}

TqenAnnoFinanziario& QenAnnoFinanziario() {
  static TqenAnnoFinanziario anno;
  return anno;
}

TnymAnnoScolastico& NymAnnoScolastico() {
  static TnymAnnoScolastico anno;
  return anno;
}
