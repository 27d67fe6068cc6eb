#include "db/nymUUtil.h"

#include "dataset/ClientDataSet.h"
#include "db/GenerateID.h"
#include "db/ZurConnection.h"
#include "platform/ZurError.h"

qint64 TNymUtil::NewId(const QString& generatorName) {
  TVxSQLConnection* connection = qqoVxGlobConn();
  if (!connection) throw EZurError(QStringLiteral("Nessuna connessione al database."), EZurError::Kind::Database);
  return GenerateID(*connection, generatorName);
}

bool TNymUtil::HasValue(const QVariant& value) { return value.isValid() && !value.isNull(); }

QVariant TNymUtil::FieldValue(const TField* field, const QVariant& defaultValue) {
  if (!field) return defaultValue;
  QVariant value = field->NewValue();
  if (!value.isValid()) value = field->OldValue();
  if (HasValue(value)) return value;
  if (HasValue(defaultValue)) return defaultValue;
  switch (field->DataType()) {
  case TFieldType::String:
  case TFieldType::Memo:
    return QString();
  case TFieldType::Integer:
    return QVariant::fromValue<qint32>(0);
  case TFieldType::Amount:
    return QVariant::fromValue(Currency());
  case TFieldType::Float:
    return 0.0;
  default:
    return defaultValue;
  }
}

void TNymUtil::LoadDataSetFromBlob(const QByteArray& blob, TClientDataSet& dataSet) {
  dataSet.Close();
  dataSet.LoadFromBytes(blob);
}
