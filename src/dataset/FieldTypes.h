#pragma once

#include "dataset/Currency.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>
#include <variant>

// The value types a dataset field can hold and the text forms shared by the
// client dataset, its filter and the DATAPACKET files.

enum class TFieldType {
  String,  // text of at most Size() characters
  Integer, // signed 32-bit
  Amount,  // Currency rounded to Size() decimals (0..4)
  Float,   // finite double
  Date,    // QDate, years 1..9999
  Memo,    // text of any length
  Blob     // bytes
};

// One stored value. monostate is null; otherwise the alternative matches the
// field type: String and Memo hold QString, Integer qint32, Amount Currency,
// Float double, Date QDate, Blob QByteArray.
using TFieldValue = std::variant<std::monostate, QString, qint32, Currency, double, QDate, QByteArray>;

inline bool IsNullValue(const TFieldValue& v) {
  return std::holds_alternative<std::monostate>(v);
}

// Italian name of a type for messages ("stringa", "intero", ...).
QString FieldTypeDisplayName(TFieldType type);

// True when the name can be a field name: ASCII letter or '_' first, then
// letters, digits, '_', '.', '-'. Such names are valid XML attribute names,
// which the DATAPACKET format needs.
bool IsValidFieldName(QStringView name);

// Italian text forms (design: decimal comma, no thousands separator,
// dd/mm/yyyy), independent of the machine locale.
QString FormatItalianDate(const QDate& date);
QString FormatItalianFloat(double value);

// Parsers used by the text setters and by filters. Blanks around the text are
// ignored; anything else that does not fit gives nullopt.
// "123", "-7", "+5"; nullopt outside the 32-bit range.
std::optional<qint32> ParseInteger(QStringView text);
// "1234,5" or "1234.5" (also with an exponent); nullopt for NaN/infinity.
std::optional<double> ParseFloat(QStringView text);
// "31/01/2024", "1/2/2024", "2024-01-31" (an ISO time part after 'T' or a
// blank is ignored, so a timestamp at any hour gives its day).
std::optional<QDate> ParseDate(QStringView text);

// Orders two values of the same field type: null first, strings case-
// insensitively with a case-sensitive tie-break so the order is total and
// independent of the machine locale. Returns <0, 0, >0.
int CompareFieldValues(const TFieldValue& a, const TFieldValue& b);

// A value as QVariant of the field's type; null gives a null QVariant of that
// type (isValid() true, isNull() true).
QVariant FieldValueToVariant(const TFieldValue& value, TFieldType type);

// Conversions into a field's stored form, shared by the field setters,
// Locate, filters and the change log. fieldName only names the field in
// messages. Each throws EZurError(Kind::Field) naming the field and the value
// when the value does not fit the type; none of them goes through double for
// amounts given as text.
//  - text: "" is null for every type except String and Memo; String is cut to
//    size characters (never inside a surrogate pair); Amount is rounded half
//    away from zero to size decimals; Blob takes the text's Latin-1 bytes.
//  - variant: an invalid or null QVariant is null; QString goes through the
//    text rule; integers, double, Currency, QDate, QDateTime (its day) and
//    QByteArray convert where it makes sense; bool and other types throw.
TFieldValue FieldValueFromText(QStringView text, TFieldType type, int size, const QString& fieldName);
TFieldValue FieldValueFromVariant(const QVariant& value, TFieldType type, int size, const QString& fieldName);
// The same checks for the typed setters.
TFieldValue FieldValueFromInteger(qint64 value, TFieldType type, int size, const QString& fieldName);
TFieldValue FieldValueFromFloat(double value, TFieldType type, int size, const QString& fieldName);
TFieldValue FieldValueFromCurrency(Currency value, TFieldType type, int size, const QString& fieldName);
TFieldValue FieldValueFromDate(const QDate& value, TFieldType type, int size, const QString& fieldName);
TFieldValue FieldValueFromBytes(const QByteArray& value, TFieldType type, int size, const QString& fieldName);

// The Italian text form of a stored value ("" for null): amounts in their
// shortest exact form ("1234,5"), dates dd/mm/yyyy, blobs as Latin-1.
QString FieldValueToText(const TFieldValue& value);
