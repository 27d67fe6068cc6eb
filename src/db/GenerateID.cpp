#include "db/GenerateID.h"

#include "db/VxSQLConnection.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"

qint64 GenerateID(TVxSQLConnection& connection, const QString& tableName) {
  const TSqlDialect& dialect = connection.Dialect();
  TZurQuery q(connection);
  q.SetSQL(dialect.NextIdSql());
  q.ParamByName(QStringLiteral("SGENNOME")).SetString(dialect.GeneratorName(tableName));
  q.Open();
  if (q.Eof() || q.Fields(0).IsNull())
    throw EZurError(QStringLiteral("Generatore di chiavi non definito per la tabella %1.").arg(tableName));
  const qint64 id = q.Fields(0).AsInteger();
  q.Close();
  return id;
}

QList<qint64> GenerateIDs(TVxSQLConnection& connection, const QString& tableName, int count) {
  QList<qint64> ids;
  if (count < 1) return ids;
  const TSqlDialect& dialect = connection.Dialect();
  TZurQuery q(connection);
  q.SetSQL(dialect.NextIdsSql());
  q.ParamByName(QStringLiteral("SGENNOME")).SetString(dialect.GeneratorName(tableName));
  q.ParamByName(QStringLiteral("QUANTI")).SetInteger(count);
  q.Open();
  if (q.Eof() || q.Fields(0).IsNull())
    throw EZurError(QStringLiteral("Generatore di chiavi non definito per la tabella %1.").arg(tableName));
  ids.reserve(count);
  if (dialect.IsSQLite()) {
    const qint64 last = q.Fields(0).AsInteger();
    for (qint64 id = last - count + 1; id <= last; ++id)
      ids << id;
  } else {
    for (; !q.Eof(); q.Next())
      ids << q.Fields(0).AsInteger();
  }
  return ids;
}
