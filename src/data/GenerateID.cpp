#include "data/GenerateID.h"

#include "data/VxSQLConnection.h"
#include "data/ZurQuery.h"
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
