#include "dataset/Field.h"

#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <cmath>
#include <limits>

namespace {

[[noreturn]] void ThrowCannotRead(const TField& f, const QString& as) {
  throw EZurError(QStringLiteral("Il campo '%1' (%2) non può essere letto come %3.")
                      .arg(f.FieldName(), FieldTypeDisplayName(f.DataType()), as),
                  EZurError::Kind::Field);
}

[[noreturn]] void ThrowNotConvertible(const TField& f, const QString& value, const QString& as) {
  throw EZurError(QStringLiteral("Il valore '%1' del campo '%2' non è %3.").arg(value, f.FieldName(), as),
                  EZurError::Kind::Field);
}

} // namespace

TField::TField(TClientDataSet* dataSet, QString name, TFieldType type, int size, int precision,
               bool calculated)
    : m_dataSet(dataSet), m_name(std::move(name)), m_type(type), m_size(size), m_precision(precision),
      m_calculated(calculated) {}

const TFieldValue& TField::Read() const {
  return m_dataSet->ReadValue(*this);
}

void TField::Write(TFieldValue value) {
  m_dataSet->WriteValue(*this, std::move(value));
}

bool TField::IsNull() const {
  return IsNullValue(Read());
}

QString TField::AsString() const {
  return FieldValueToText(Read());
}

qint32 TField::AsInteger() const {
  const TFieldValue& v = Read();
  if (IsNullValue(v)) return 0;
  if (auto i = std::get_if<qint32>(&v)) return *i;
  if (auto c = std::get_if<Currency>(&v)) {
    const qint64 units = c->ToInteger();
    if (units < std::numeric_limits<qint32>::min() || units > std::numeric_limits<qint32>::max())
      ThrowNotConvertible(*this, c->ToString(), QStringLiteral("un numero intero a 32 bit"));
    return qint32(units);
  }
  if (auto d = std::get_if<double>(&v)) {
    const double r = std::round(*d);
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
      ThrowNotConvertible(*this, FormatItalianFloat(*d), QStringLiteral("un numero intero a 32 bit"));
    return qint32(r);
  }
  if (auto s = std::get_if<QString>(&v)) {
    if (s->trimmed().isEmpty()) return 0;
    if (auto i = ParseInteger(*s)) return *i;
    ThrowNotConvertible(*this, *s, QStringLiteral("un numero intero"));
  }
  ThrowCannotRead(*this, QStringLiteral("numero intero"));
}

double TField::AsFloat() const {
  const TFieldValue& v = Read();
  if (IsNullValue(v)) return 0;
  if (auto i = std::get_if<qint32>(&v)) return *i;
  if (auto c = std::get_if<Currency>(&v)) return c->toDouble();
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto s = std::get_if<QString>(&v)) {
    if (s->trimmed().isEmpty()) return 0;
    if (auto d = ParseFloat(*s)) return *d;
    ThrowNotConvertible(*this, *s, QStringLiteral("un numero"));
  }
  ThrowCannotRead(*this, QStringLiteral("numero decimale"));
}

Currency TField::AsCurrency() const {
  const TFieldValue& v = Read();
  if (IsNullValue(v)) return Currency();
  if (auto i = std::get_if<qint32>(&v)) return Currency::FromUnits(*i);
  if (auto c = std::get_if<Currency>(&v)) return *c;
  if (auto d = std::get_if<double>(&v)) {
    try {
      return Currency::FromDouble(*d);
    } catch (const EZurError&) {
      ThrowNotConvertible(*this, FormatItalianFloat(*d), QStringLiteral("un importo valido"));
    }
  }
  if (auto s = std::get_if<QString>(&v)) {
    if (s->trimmed().isEmpty()) return Currency();
    if (auto c = Currency::Parse(*s)) return *c;
    ThrowNotConvertible(*this, *s, QStringLiteral("un importo"));
  }
  ThrowCannotRead(*this, QStringLiteral("importo"));
}

QDate TField::AsDate() const {
  const TFieldValue& v = Read();
  if (IsNullValue(v)) return QDate();
  if (auto d = std::get_if<QDate>(&v)) return *d;
  if (auto s = std::get_if<QString>(&v)) {
    if (s->trimmed().isEmpty()) return QDate();
    if (auto d = ParseDate(*s)) return *d;
    ThrowNotConvertible(*this, *s, QStringLiteral("una data"));
  }
  ThrowCannotRead(*this, QStringLiteral("data"));
}

QByteArray TField::AsBytes() const {
  const TFieldValue& v = Read();
  if (auto b = std::get_if<QByteArray>(&v)) return *b;
  return FieldValueToText(v).toLatin1();
}

QVariant TField::AsVariant() const {
  return FieldValueToVariant(Read(), m_type);
}

void TField::SetAsString(const QString& value) {
  Write(FieldValueFromText(value, m_type, m_size, m_name));
}
void TField::SetAsInteger(qint32 value) {
  Write(FieldValueFromInteger(value, m_type, m_size, m_name));
}
void TField::SetAsFloat(double value) {
  Write(FieldValueFromFloat(value, m_type, m_size, m_name));
}
void TField::SetAsCurrency(Currency value) {
  Write(FieldValueFromCurrency(value, m_type, m_size, m_name));
}
void TField::SetAsDate(const QDate& value) {
  Write(value.isValid() ? FieldValueFromDate(value, m_type, m_size, m_name) : TFieldValue{});
}
void TField::SetAsBytes(const QByteArray& value) {
  Write(FieldValueFromBytes(value, m_type, m_size, m_name));
}
void TField::SetAsVariant(const QVariant& value) {
  Write(FieldValueFromVariant(value, m_type, m_size, m_name));
}
void TField::Clear() {
  Write(TFieldValue{});
}

QVariant TField::OldValue() const {
  return m_dataSet->OldValueOf(*this);
}
QVariant TField::NewValue() const {
  return m_dataSet->NewValueOf(*this);
}
