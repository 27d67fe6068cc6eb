#include "dataset/FieldTypes.h"

#include "platform/ZurError.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {

[[noreturn]] void ThrowInvalid(const QString& fieldName, TFieldType type, const QString& shown) {
  throw EZurError(QStringLiteral("Il valore '%1' non è valido per il campo '%2' (%3).")
                      .arg(shown, fieldName, FieldTypeDisplayName(type)),
                  EZurError::Kind::Field);
}

[[noreturn]] void ThrowOutOfRange(const QString& fieldName, const QString& shown) {
  throw EZurError(
      QStringLiteral("Il valore %1 è fuori dall'intervallo ammesso per il campo '%2'.").arg(shown, fieldName),
      EZurError::Kind::Field);
}

[[noreturn]] void ThrowUnsupported(const QString& fieldName, TFieldType type, const QString& what) {
  throw EZurError(QStringLiteral("Il campo '%1' (%2) non accetta un valore di tipo %3.")
                      .arg(fieldName, FieldTypeDisplayName(type), what),
                  EZurError::Kind::Field);
}

QString Truncated(QString text, int width) {
  if (width > 0 && text.size() > width) {
    qsizetype cut = width;
    // Never leave half of a surrogate pair at the end.
    if (text.at(cut - 1).isHighSurrogate()) --cut;
    text.truncate(cut);
  }
  return text;
}

bool ValidDate(const QDate& d) {
  return d.isValid() && d.year() >= 1 && d.year() <= 9999;
}

Currency RoundedAmount(Currency value, int decimals, const QString& fieldName) {
  try {
    return value.Round(decimals);
  } catch (const EZurError&) {
    ThrowOutOfRange(fieldName, value.ToString());
  }
}

bool AsciiDigits(QStringView s) {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (c.unicode() < '0' || c.unicode() > '9') return false;
  return true;
}

} // namespace

QString FieldTypeDisplayName(TFieldType type) {
  switch (type) {
  case TFieldType::String:
    return QStringLiteral("stringa");
  case TFieldType::Integer:
    return QStringLiteral("intero");
  case TFieldType::Amount:
    return QStringLiteral("importo");
  case TFieldType::Float:
    return QStringLiteral("numero decimale");
  case TFieldType::Date:
    return QStringLiteral("data");
  case TFieldType::Memo:
    return QStringLiteral("memo");
  case TFieldType::Blob:
    return QStringLiteral("dati binari");
  }
  return QStringLiteral("sconosciuto");
}

bool IsValidFieldName(QStringView name) {
  if (name.isEmpty()) return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool other = (c >= '0' && c <= '9') || c == '.' || c == '-';
    if (!letter && (i == 0 || !other)) return false;
  }
  return true;
}

QString FormatItalianDate(const QDate& date) {
  if (!date.isValid()) return {};
  return QStringLiteral("%1/%2/%3")
      .arg(date.day(), 2, 10, QLatin1Char('0'))
      .arg(date.month(), 2, 10, QLatin1Char('0'))
      .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString FormatItalianFloat(double value) {
  if (value == 0) value = 0; // no "-0"
  QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
  text.replace(QLatin1Char('.'), QLatin1Char(','));
  return text;
}

std::optional<qint32> ParseInteger(QStringView text) {
  text = text.trimmed();
  QStringView digits = text;
  bool negative = false;
  if (!digits.isEmpty() && (digits[0] == QLatin1Char('-') || digits[0] == QLatin1Char('+'))) {
    negative = digits[0] == QLatin1Char('-');
    digits = digits.mid(1);
  }
  if (!AsciiDigits(digits)) return std::nullopt;
  qint64 v = 0;
  for (QChar c : digits) {
    v = v * 10 + (c.unicode() - '0');
    if (v > qint64(std::numeric_limits<qint32>::max()) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max()) return std::nullopt;
  return static_cast<qint32>(v);
}

std::optional<double> ParseFloat(QStringView text) {
  text = text.trimmed();
  if (text.isEmpty()) return std::nullopt;
  const bool comma = text.contains(QLatin1Char(','));
  if (comma && text.contains(QLatin1Char('.'))) return std::nullopt; // thousands separators
  for (QChar c : text) {
    // Only the plain decimal forms; the C locale would take "inf" and "nan".
    const char16_t u = c.unicode();
    if (!((u >= '0' && u <= '9') || u == '+' || u == '-' || u == '.' || u == ',' || u == 'e' || u == 'E'))
      return std::nullopt;
  }
  QString s = text.toString();
  if (comma) s.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double v = QLocale::c().toDouble(s, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v == 0 ? 0.0 : v;
}

std::optional<QDate> ParseDate(QStringView text) {
  text = text.trimmed();
  const auto number = [](QStringView s, qsizetype minLen, qsizetype maxLen) -> int {
    if (s.size() < minLen || s.size() > maxLen || !AsciiDigits(s)) return -1;
    int v = 0;
    for (QChar c : s)
      v = v * 10 + (c.unicode() - '0');
    return v;
  };
  QDate date;
  if (text.contains(QLatin1Char('/'))) {
    const auto parts = text.split(QLatin1Char('/'));
    if (parts.size() != 3) return std::nullopt;
    const int d = number(parts[0], 1, 2), m = number(parts[1], 1, 2), y = number(parts[2], 4, 4);
    if (d < 0 || m < 0 || y < 0) return std::nullopt;
    date = QDate(y, m, d);
  } else {
    if (text.size() < 10 || text[4] != QLatin1Char('-') || text[7] != QLatin1Char('-')) return std::nullopt;
    const int y = number(text.mid(0, 4), 4, 4), m = number(text.mid(5, 2), 2, 2),
              d = number(text.mid(8, 2), 2, 2);
    if (d < 0 || m < 0 || y < 0) return std::nullopt;
    if (text.size() > 10) {
      if (text[10] != QLatin1Char('T') && text[10] != QLatin1Char(' ')) return std::nullopt;
      static const QRegularExpression time(
          QStringLiteral("^\\d{2}:\\d{2}(:\\d{2}(\\.\\d{1,9})?)?(Z|[+-]\\d{2}:?\\d{2})?$"));
      if (!time.match(text.mid(11).toString()).hasMatch()) return std::nullopt;
    }
    date = QDate(y, m, d);
  }
  if (!ValidDate(date)) return std::nullopt;
  return date;
}

int CompareFieldValues(const TFieldValue& a, const TFieldValue& b) {
  if (a.index() != b.index()) return a.index() < b.index() ? -1 : 1; // null (index 0) first
  return std::visit(
      [&](const auto& x) -> int {
        using T = std::decay_t<decltype(x)>;
        const T& y = std::get<T>(b);
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0;
        } else if constexpr (std::is_same_v<T, QString>) {
          const int ci = x.compare(y, Qt::CaseInsensitive);
          if (ci != 0) return ci < 0 ? -1 : 1;
          const int cs = x.compare(y, Qt::CaseSensitive);
          return cs < 0 ? -1 : (cs > 0 ? 1 : 0);
        } else if constexpr (std::is_same_v<T, QByteArray>) {
          const int c = x.compare(y);
          return c < 0 ? -1 : (c > 0 ? 1 : 0);
        } else {
          return x < y ? -1 : (y < x ? 1 : 0);
        }
      },
      a);
}

QVariant FieldValueToVariant(const TFieldValue& value, TFieldType type) {
  if (IsNullValue(value)) {
    switch (type) {
    case TFieldType::String:
    case TFieldType::Memo:
      return QVariant(QMetaType::fromType<QString>());
    case TFieldType::Integer:
      return QVariant(QMetaType::fromType<int>());
    case TFieldType::Amount:
      return QVariant(QMetaType::fromType<Currency>());
    case TFieldType::Float:
      return QVariant(QMetaType::fromType<double>());
    case TFieldType::Date:
      return QVariant(QMetaType::fromType<QDate>());
    case TFieldType::Blob:
      return QVariant(QMetaType::fromType<QByteArray>());
    }
  }
  return std::visit(
      [](const auto& x) -> QVariant {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>)
          return QVariant();
        else if constexpr (std::is_same_v<T, qint32>)
          return QVariant(int(x));
        else
          return QVariant::fromValue(x);
      },
      value);
}

TFieldValue FieldValueFromText(QStringView text, TFieldType type, int size, const QString& fieldName) {
  switch (type) {
  case TFieldType::String:
    return Truncated(text.toString(), size);
  case TFieldType::Memo:
    return text.toString();
  case TFieldType::Blob:
    return text.toString().toLatin1();
  default:
    break;
  }
  if (text.trimmed().isEmpty()) return std::monostate{};
  switch (type) {
  case TFieldType::Integer:
    if (auto v = ParseInteger(text)) return *v;
    break;
  case TFieldType::Amount:
    if (auto v = Currency::Parse(text)) return RoundedAmount(*v, size, fieldName);
    break;
  case TFieldType::Float:
    if (auto v = ParseFloat(text)) return *v;
    break;
  case TFieldType::Date:
    if (auto v = ParseDate(text)) return *v;
    break;
  default:
    break;
  }
  ThrowInvalid(fieldName, type, text.toString());
}

TFieldValue FieldValueFromInteger(qint64 value, TFieldType type, int size, const QString& fieldName) {
  switch (type) {
  case TFieldType::String:
    return Truncated(QString::number(value), size);
  case TFieldType::Memo:
    return QString::number(value);
  case TFieldType::Integer:
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
      ThrowOutOfRange(fieldName, QString::number(value));
    return static_cast<qint32>(value);
  case TFieldType::Amount:
    if (value < -922337203685477 || value > 922337203685477)
      ThrowOutOfRange(fieldName, QString::number(value));
    return Currency::FromUnits(value);
  case TFieldType::Float:
    return static_cast<double>(value);
  case TFieldType::Date:
  case TFieldType::Blob:
    break;
  }
  ThrowUnsupported(fieldName, type, QStringLiteral("numero intero"));
}

TFieldValue FieldValueFromFloat(double value, TFieldType type, int size, const QString& fieldName) {
  if (!std::isfinite(value)) ThrowInvalid(fieldName, type, QString::number(value));
  if (value == 0) value = 0;
  switch (type) {
  case TFieldType::String:
    return Truncated(FormatItalianFloat(value), size);
  case TFieldType::Memo:
    return FormatItalianFloat(value);
  case TFieldType::Integer: {
    const double r = std::round(value); // half away from zero
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
      ThrowOutOfRange(fieldName, FormatItalianFloat(value));
    return static_cast<qint32>(r);
  }
  case TFieldType::Amount:
    try {
      return RoundedAmount(Currency::FromDouble(value), size, fieldName);
    } catch (const EZurError& e) {
      if (e.kind() == EZurError::Kind::Field) throw;
      ThrowOutOfRange(fieldName, FormatItalianFloat(value));
    }
  case TFieldType::Float:
    return value;
  case TFieldType::Date:
  case TFieldType::Blob:
    break;
  }
  ThrowUnsupported(fieldName, type, QStringLiteral("numero decimale"));
}

TFieldValue FieldValueFromCurrency(Currency value, TFieldType type, int size, const QString& fieldName) {
  switch (type) {
  case TFieldType::String:
    return Truncated(value.ToString(), size);
  case TFieldType::Memo:
    return value.ToString();
  case TFieldType::Integer:
    return FieldValueFromInteger(value.Round(0).raw() / Currency::Scale, type, size, fieldName);
  case TFieldType::Amount:
    return RoundedAmount(value, size, fieldName);
  case TFieldType::Float:
    return value.toDouble();
  case TFieldType::Date:
  case TFieldType::Blob:
    break;
  }
  ThrowUnsupported(fieldName, type, QStringLiteral("importo"));
}

TFieldValue FieldValueFromDate(const QDate& value, TFieldType type, int size, const QString& fieldName) {
  if (!value.isValid()) {
    if (type == TFieldType::Date || type == TFieldType::String || type == TFieldType::Memo)
      return type == TFieldType::Date ? TFieldValue{} : TFieldValue{QString()};
    ThrowUnsupported(fieldName, type, QStringLiteral("data"));
  }
  switch (type) {
  case TFieldType::String:
    return Truncated(FormatItalianDate(value), size);
  case TFieldType::Memo:
    return FormatItalianDate(value);
  case TFieldType::Date:
    if (!ValidDate(value)) ThrowOutOfRange(fieldName, value.toString(Qt::ISODate));
    return value;
  default:
    break;
  }
  ThrowUnsupported(fieldName, type, QStringLiteral("data"));
}

TFieldValue FieldValueFromBytes(const QByteArray& value, TFieldType type, int size,
                                const QString& fieldName) {
  switch (type) {
  case TFieldType::Blob:
    return value;
  case TFieldType::String:
    return Truncated(QString::fromLatin1(value), size);
  case TFieldType::Memo:
    return QString::fromLatin1(value);
  default:
    break;
  }
  ThrowUnsupported(fieldName, type, QStringLiteral("dati binari"));
}

TFieldValue FieldValueFromVariant(const QVariant& value, TFieldType type, int size,
                                  const QString& fieldName) {
  if (!value.isValid() || value.isNull()) return std::monostate{};
  const QMetaType mt = value.metaType();
  if (mt == QMetaType::fromType<Currency>())
    return FieldValueFromCurrency(value.value<Currency>(), type, size, fieldName);
  switch (mt.id()) {
  case QMetaType::QString:
    return FieldValueFromText(value.toString(), type, size, fieldName);
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::Short:
  case QMetaType::UShort:
  case QMetaType::Long:
  case QMetaType::LongLong:
    return FieldValueFromInteger(value.toLongLong(), type, size, fieldName);
  case QMetaType::ULong:
  case QMetaType::ULongLong: {
    const qulonglong u = value.toULongLong();
    if (u > qulonglong(std::numeric_limits<qint64>::max())) ThrowOutOfRange(fieldName, QString::number(u));
    return FieldValueFromInteger(qint64(u), type, size, fieldName);
  }
  case QMetaType::Double:
  case QMetaType::Float:
    return FieldValueFromFloat(value.toDouble(), type, size, fieldName);
  case QMetaType::QDate:
    return FieldValueFromDate(value.toDate(), type, size, fieldName);
  case QMetaType::QDateTime:
    return FieldValueFromDate(value.toDateTime().date(), type, size, fieldName);
  case QMetaType::QByteArray:
    return FieldValueFromBytes(value.toByteArray(), type, size, fieldName);
  default:
    break;
  }
  ThrowUnsupported(fieldName, type, QString::fromLatin1(mt.name()));
}

QString FieldValueToText(const TFieldValue& value) {
  return std::visit(
      [](const auto& x) -> QString {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>)
          return QString();
        else if constexpr (std::is_same_v<T, QString>)
          return x;
        else if constexpr (std::is_same_v<T, qint32>)
          return QString::number(x);
        else if constexpr (std::is_same_v<T, Currency>)
          return x.ToString();
        else if constexpr (std::is_same_v<T, double>)
          return FormatItalianFloat(x);
        else if constexpr (std::is_same_v<T, QDate>)
          return FormatItalianDate(x);
        else
          return QString::fromLatin1(x);
      },
      value);
}
