#include "db/VxParamManager.h"

#include "db/VxSQLConnection.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"

TVxSQLConnection& TVxParamManager::RequireConnection() const {
  ZurAssert(m_connection && m_connection->Connected(), QStringLiteral("Connessione al database non aperta."));
  return *m_connection;
}

QVariant TVxParamManager::GetParams(const QString& key) const {
  TZurQuery q(RequireConnection());
  q.SetSQL(QStringLiteral("SELECT svxuvalore FROM tvxu_parametri WHERE svxuchiave = :CHIAVE"));
  q.ParamByName(QStringLiteral("CHIAVE")).SetString(key);
  q.Open();
  if (q.Eof() || q.Fields(0).IsNull()) return {};
  return q.Fields(0).AsString();
}

void TVxParamManager::SetParams(const QString& key, const QVariant& value) {
  TZurQuery q(RequireConnection());
  if (value.isNull()) {
    q.SetSQL(QStringLiteral("DELETE FROM tvxu_parametri WHERE svxuchiave = :CHIAVE"));
  } else {
    q.SetSQL(QStringLiteral("INSERT INTO tvxu_parametri (svxuchiave, svxuvalore) VALUES (:CHIAVE, :VALORE) "
                            "ON CONFLICT (svxuchiave) DO UPDATE SET svxuvalore = excluded.svxuvalore"));
    q.ParamByName(QStringLiteral("VALORE")).SetString(value.toString());
  }
  q.ParamByName(QStringLiteral("CHIAVE")).SetString(key);
  q.ExecSQL();
}
