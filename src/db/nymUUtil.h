#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

class TField;
class TClientDataSet;

// Small data utilities of the payroll family, used by the fiscal store.
class TNymUtil {
public:
  // A new key from the table's generator on the global connection. Without
  // an open global connection it throws EZurError.
  static qint64 NewId(const QString& generatorName);

  // The value to write back for a field of a changed record: the field's
  // new value, else its old value; when that is null, the default when it
  // has a value, else "" for a string field, 0 for a numeric one, and the
  // (valueless) default for any other type. No field: the default.
  static QVariant FieldValue(const TField* field, const QVariant& defaultValue = QVariant());

  // Neither null nor unassigned.
  static bool HasValue(const QVariant& value);

  // Closes the dataset and loads it from the bytes of a blob field; a blob
  // that is not a saved dataset throws EZurError and leaves it closed.
  static void LoadDataSetFromBlob(const QByteArray& blob, TClientDataSet& dataSet);
};
