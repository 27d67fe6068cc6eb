#include "store/NymDBCds.h"

#include "dataset/DataPacket.h"
#include "db/GenerateID.h"
#include "db/VxSQLConnection.h"
#include "db/VxTransaction.h"
#include "db/ZurConnection.h"
#include "db/ZurDbError.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "store/NymDBCdsPrivate.h"

#include <QRegularExpression>
#include <QSqlError>
#include <limits>

namespace zurstore {

QString DriverMessage(const QSqlError& error) {
  return ZurDbMessage(error);
}

bool IsPlainIdentifier(const QString& name) {
  static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
  return plain.match(name).hasMatch();
}

// The column part of an entry becomes SQL text (a column and a parameter name
// of the taxpayer update), so only plain identifiers pass, whoever wrote the
// structure row.
std::vector<TMapEntry> ParseFieldMap(const QString& text, const QString& tableName) {
  std::vector<TMapEntry> entries;
  const auto refuse = [&](const QString& entry) {
    return EZurError(
        QStringLiteral("Mappa dei campi di %1 non valida: \"%2\" non è nella forma colonna=campo.")
            .arg(tableName, entry));
  };
  for (const QString& raw : text.split(QLatin1Char(';'))) {
    const QString entry = raw.trimmed();
    if (entry.isEmpty()) continue;
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    if (eq <= 0) throw refuse(entry);
    TMapEntry e;
    e.column = entry.left(eq).trimmed().toLower();
    e.fieldPart = entry.mid(eq + 1).trimmed();
    if (!IsPlainIdentifier(e.column) || e.fieldPart.isEmpty()) throw refuse(entry);
    for (const QString& part : e.fieldPart.split(QLatin1Char('+'))) {
      const QString name = part.trimmed();
      if (name.isEmpty()) throw refuse(entry);
      e.fields << name;
    }
    e.group = e.fields.size() > 1;
    entries.push_back(std::move(e));
  }
  return entries;
}

TCdsParams ChooseStructure(TVxSQLConnection& connection, const QString& program, const QString& tableName,
                           int year, int month) {
  TZurQuery q(connection);
  q.SetSQL(Sql(kChooseStructure));
  q.ParamByName(Q("ICDSANNO")).SetInteger(year);
  q.ParamByName(Q("ICDSMESE")).SetInteger(month);
  q.ParamByName(Q("SCDSPROGRAMMA")).SetString(program.toLower());
  q.ParamByName(Q("SCDSNOME")).SetString(tableName.toLower());
  q.Open();
  if (q.Eof()) throw EZurError(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(tableName));
  TCdsParams p;
  p.id = q.FieldByName(Q("icdsid")).AsInteger();
  p.anagrafica = q.FieldByName(Q("lcdsanagrafica")).AsInteger() == 1;
  p.mapReadOnly = q.FieldByName(Q("lcdsfmapreadonly")).AsInteger() == 1;
  p.counter = q.FieldByName(Q("icdsrigo")).AsInteger();
  p.schema = q.FieldByName(Q("bcdsschema")).AsBytes();
  p.map = ParseFieldMap(q.FieldByName(Q("scdsfieldmap")).AsString(), tableName);
  return p;
}

} // namespace zurstore

using namespace zurstore;

// --- TNymDBCds -------------------------------------------------------------------------

TNymDBCds::TNymDBCds(int year, const QString& program, int month)
    : m_year(year), m_month(month), m_program(program.toLower()) {}

TNymDBCds::~TNymDBCds() = default;

TVxSQLConnection& TNymDBCds::RequireConnection() const {
  if (!m_connection || !m_connection->Connected())
    throw EZurError(QStringLiteral("Connessione al database non aperta."), EZurError::Kind::Database);
  return *m_connection;
}

int TNymDBCds::AllocateDeclarationId() {
  TVxSQLConnection* connection = qqoVxGlobConn();
  if (!connection || !connection->Connected()) connection = &RequireConnection();
  TZurQuery q(*connection);
  q.SetSQL(Sql(kAllocateId));
  q.Open();
  if (q.Eof()) return 1000001;
  const qint64 id = q.FieldByName(Q("NEW_IRAPID")).AsInteger();
  if (id <= 0 || id > std::numeric_limits<qint32>::max())
    throw EZurError(QStringLiteral("Identificativo di dichiarazione non valido: %1.").arg(id));
  return int(id);
}

qint64 TNymDBCds::WriteStructure(TVxSQLConnection& connection, const QString& program, int year, int month,
                                 const QString& tableName, const TClientDataSet& structure, bool anagrafica,
                                 bool mapReadOnly, const QString& fieldMap) {
  ZurAssert(connection.Connected(), QStringLiteral("Connessione al database non aperta."));
  if (tableName.trimmed().isEmpty()) throw EZurError(QStringLiteral("Nome della tabella mancante."));
  if (!structure.FindField(Q("IFISRIGO")))
    throw EZurError(QStringLiteral("La struttura di %1 non ha il campo IFISRIGO.").arg(tableName));
  ParseFieldMap(fieldMap, tableName);

  std::vector<TDataPacketField> fields;
  for (const TField* f : structure.Fields())
    fields.push_back({f->FieldName(), f->DataType(), f->Size(), f->Precision(), f->Calculated()});
  const QByteArray schema = WriteDataPacket(fields, {});

  std::optional<TVxTransaction> transaction;
  if (!connection.InTransaction()) {
    transaction.emplace(connection);
    transaction->StartTransaction();
  }
  TZurQuery q(connection);
  q.SetSQL(Q(kFindStructureRow));
  q.ParamByName(Q("SCDSPROGRAMMA")).SetString(program.toLower());
  q.ParamByName(Q("SCDSNOME")).SetString(tableName.toLower());
  q.ParamByName(Q("ICDSANNO")).SetInteger(year);
  q.ParamByName(Q("ICDSMESE")).SetInteger(month);
  q.Open();
  qint64 id = q.Eof() ? 0 : q.Fields(0).AsInteger();
  q.Close();
  if (id != 0) {
    q.SetSQL(Q(kUpdateStructureRow));
  } else {
    id = GenerateID(connection, Q("tcds_struttura"));
    q.SetSQL(Q(kInsertStructureRow));
    q.ParamByName(Q("ICDSANNO")).SetInteger(year);
    q.ParamByName(Q("ICDSMESE")).SetInteger(month);
    q.ParamByName(Q("SCDSPROGRAMMA")).SetString(program.toLower());
    q.ParamByName(Q("SCDSNOME")).SetString(tableName);
  }
  q.ParamByName(Q("ICDSID")).SetInteger(id);
  q.ParamByName(Q("BCDSSCHEMA")).SetBlob(schema);
  q.ParamByName(Q("LCDSANAGRAFICA")).SetInteger(anagrafica ? 1 : 0);
  q.ParamByName(Q("LCDSFMAPREADONLY")).SetInteger(mapReadOnly ? 1 : 0);
  q.ParamByName(Q("SCDSFIELDMAP")).SetString(fieldMap);
  q.ExecSQL();
  if (transaction) transaction->Commit();
  return id;
}
