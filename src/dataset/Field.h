#pragma once

#include "dataset/FieldTypes.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>

class TClientDataSet;

// One field of a TClientDataSet: its definition and access to its value in
// the dataset's active record (the record being edited or inserted, the
// record whose calculated fields are being computed, otherwise the current
// record of the view). Owned by the dataset; a field stays valid until the
// dataset is destroyed, its fields are cleared, or a load replaces the
// structure without a field of that name (a field whose name survives a load
// is the same object afterwards).
//
// Reading:
//  - a closed dataset throws EZurError; an empty view reads as null.
//  - null reads as "" / 0 / 0.0 / Currency() / invalid QDate / empty bytes.
//  - a conversion that makes no sense (a date as integer, text that is not a
//    number) throws EZurError(Kind::Field) naming the field and the value.
// Writing:
//  - only in edit or insert state (calculated fields also while the dataset
//    computes them); otherwise EZurError "non è in modifica".
//  - the conversions of FieldTypes.h apply: "" makes a non-string field null,
//    text longer than a string field's width is cut to the width (as bound
//    editors and the family's programs expect), amounts are rounded half away
//    from zero to the field's decimals.
class TField {
public:
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const QString& FieldName() const { return m_name; }
  TFieldType DataType() const { return m_type; }
  // String: width in characters; Amount: decimals (0..4); 0 for the others.
  int Size() const { return m_size; }
  // Amount: total digits as declared (kept for the file, not enforced).
  int Precision() const { return m_precision; }
  bool Calculated() const { return m_calculated; }
  // Position in TClientDataSet::Fields().
  int Index() const { return m_index; }
  TClientDataSet& DataSet() const { return *m_dataSet; }

  bool IsNull() const;
  QString AsString() const;
  qint32 AsInteger() const;
  double AsFloat() const;
  Currency AsCurrency() const;
  QDate AsDate() const;
  QByteArray AsBytes() const;
  // The typed value (QString, int, Currency, double, QDate, QByteArray); null
  // is a null QVariant of that type.
  QVariant AsVariant() const;
  QVariant Value() const { return AsVariant(); }

  void SetAsString(const QString& value);
  void SetAsInteger(qint32 value);
  void SetAsFloat(double value);
  void SetAsCurrency(Currency value);
  // An invalid date makes the field null.
  void SetAsDate(const QDate& value);
  void SetAsBytes(const QByteArray& value);
  void SetAsVariant(const QVariant& value);
  void SetValue(const QVariant& value) { SetAsVariant(value); }
  void Clear();

  // The value before the change log touched the active record: the original
  // of a modified record, the current value of an unmodified one, null for an
  // inserted record. Calculated fields: null.
  QVariant OldValue() const;
  // The value the change log will apply: for an inserted record every field
  // (null fields as a null QVariant of the type); for a modified record the
  // fields whose value differs from the original; otherwise, and for fields
  // that did not change, an invalid QVariant ("unassigned").
  QVariant NewValue() const;

private:
  friend class TClientDataSet;
  friend class TChange;
  TField(TClientDataSet* dataSet, QString name, TFieldType type, int size, int precision, bool calculated);

  const TFieldValue& Read() const;
  void Write(TFieldValue value);

  TClientDataSet* m_dataSet;
  QString m_name;
  TFieldType m_type;
  int m_size;
  int m_precision;
  bool m_calculated;
  int m_index = 0;
  int m_slot = 0; // index among the dataset's data (or calculated) values
};
