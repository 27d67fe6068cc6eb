#include "dataset/DataPacket.h"

#include "platform/ZurError.h"

#include <QBuffer>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <limits>

namespace {

constexpr int kMaxStringWidth = 1000000;
constexpr int kShownValueLength = 60;

__extension__ typedef __int128 Int128;

QString Shown(QStringView value) {
  if (value.size() <= kShownValueLength) return value.toString();
  return value.left(kShownValueLength).toString() + QStringLiteral("...");
}

// An exact decimal ("-12.5", "1.2345E3") as ten-thousandths, rounded half
// away from zero; never through double.
std::optional<Currency> ParseExactDecimal(QStringView text) {
  text = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
    negative = text[i] == QLatin1Char('-');
    ++i;
  }
  QString digits;
  int fractionDigits = 0;
  bool sawDigit = false, sawPoint = false;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c >= '0' && c <= '9') {
      sawDigit = true;
      if (!digits.isEmpty() || c != '0') digits += QChar(c);
      if (sawPoint) ++fractionDigits;
    } else if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
  }
  if (!sawDigit) return std::nullopt;
  long long exponent = 0;
  if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
    ++i;
    bool negExp = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
      negExp = text[i] == QLatin1Char('-');
      ++i;
    }
    bool expDigit = false;
    for (; i < text.size() && text[i].unicode() >= '0' && text[i].unicode() <= '9'; ++i) {
      expDigit = true;
      if (exponent < 100000) exponent = exponent * 10 + (text[i].unicode() - '0');
    }
    if (!expDigit) return std::nullopt;
    if (negExp) exponent = -exponent;
  }
  if (i != text.size()) return std::nullopt;
  if (digits.isEmpty()) return Currency();
  // value = digits * 10^(exponent - fractionDigits); raw = value * 10^4, so
  // the first `keep` digits are whole ten-thousandths and the next one rounds.
  const long long keep = digits.size() + exponent - fractionDigits + 4;
  if (keep > 19) return std::nullopt;
  const Int128 limit = std::numeric_limits<std::int64_t>::max();
  Int128 raw = 0;
  for (long long k = 0; k < keep; ++k)
    raw = raw * 10 + (k < digits.size() ? digits[qsizetype(k)].unicode() - '0' : 0);
  if (keep >= 0 && keep < digits.size() && digits[qsizetype(keep)].unicode() >= '5') ++raw;
  if (raw > limit) return std::nullopt;
  return Currency::FromRaw(static_cast<std::int64_t>(negative ? -raw : raw));
}

std::optional<QDate> ParseCompactDate(QStringView text) {
  text = text.trimmed();
  if (text.size() != 8) return std::nullopt;
  int parts[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  qsizetype at = 0;
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < widths[p]; ++k, ++at) {
      const char16_t c = text[at].unicode();
      if (c < '0' || c > '9') return std::nullopt;
      parts[p] = parts[p] * 10 + (c - '0');
    }
  }
  const QDate d(parts[0], parts[1], parts[2]);
  if (!d.isValid() || d.year() < 1) return std::nullopt;
  return d;
}

class TPacketReader {
public:
  TPacketReader(const QByteArray& data, const QString& fileName)
      : m_xml(data), m_fileName(fileName), m_data(data) {}

  TDataPacket Read() {
    if (m_data.trimmed().isEmpty())
      Fail(m_fileName.isEmpty() ? QStringLiteral("i dati sono vuoti") : QStringLiteral("il file è vuoto"));
    if (!NextElementAtTopLevel()) Fail(QStringLiteral("manca l'elemento DATAPACKET"));
    if (m_xml.name() != QLatin1String("DATAPACKET"))
      Fail(QStringLiteral("l'elemento principale è <%1> invece di <DATAPACKET>").arg(m_xml.name()));
    bool metadata = false, rowdata = false;
    while (NextChild(QStringLiteral("DATAPACKET"))) {
      if (m_xml.name() == QLatin1String("METADATA") && !metadata) {
        ReadMetadata();
        metadata = true;
      } else if (m_xml.name() == QLatin1String("ROWDATA") && metadata && !rowdata) {
        ReadRows();
        rowdata = true;
      } else {
        Unexpected(QStringLiteral("DATAPACKET"));
      }
    }
    if (!metadata) Fail(QStringLiteral("mancano le definizioni dei campi (METADATA)"));
    while (!m_xml.atEnd()) {
      m_xml.readNext();
      CheckXml();
      if (m_xml.isStartElement()) Fail(QStringLiteral("contenuto in eccesso dopo </DATAPACKET>"));
    }
    CheckXml();
    return std::move(m_packet);
  }

private:
  [[noreturn]] void Fail(const QString& detail) const {
    const QString message =
        m_fileName.isEmpty()
            ? QStringLiteral("I dati del dataset non sono validi: %1.").arg(detail)
            : QStringLiteral("Il file '%1' non contiene un dataset valido: %2.").arg(m_fileName, detail);
    throw EZurError(message, EZurError::Kind::File, m_fileName);
  }

  void CheckXml() const {
    if (!m_xml.hasError()) return;
    const QString where =
        QStringLiteral("riga %1, colonna %2").arg(m_xml.lineNumber()).arg(m_xml.columnNumber());
    if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
      Fail(QStringLiteral("il contenuto è troncato (%1)").arg(where));
    Fail(QStringLiteral("XML non valido alla %1 (%2)").arg(where, m_xml.errorString()));
  }

  void Unexpected(const QString& parent) const {
    Fail(QStringLiteral("elemento inatteso <%1> dentro <%2> alla riga %3")
             .arg(m_xml.name())
             .arg(parent)
             .arg(m_xml.lineNumber()));
  }

  // Moves to the document's first element, refusing a DTD.
  bool NextElementAtTopLevel() {
    while (!m_xml.atEnd()) {
      m_xml.readNext();
      if (m_xml.hasError()) Fail(QStringLiteral("non è un documento XML (%1)").arg(m_xml.errorString()));
      if (m_xml.tokenType() == QXmlStreamReader::DTD)
        Fail(QStringLiteral("una definizione DTD non è ammessa"));
      if (m_xml.isStartElement()) return true;
    }
    CheckXml();
    return false;
  }

  // Moves to the next child element of the current element; false at its end.
  bool NextChild(const QString& parent) {
    while (true) {
      m_xml.readNext();
      CheckXml();
      switch (m_xml.tokenType()) {
      case QXmlStreamReader::StartElement:
        return true;
      case QXmlStreamReader::EndElement:
        return false;
      case QXmlStreamReader::Characters:
        if (!m_xml.isWhitespace())
          Fail(QStringLiteral("testo inatteso dentro <%1> alla riga %2").arg(parent).arg(m_xml.lineNumber()));
        break;
      case QXmlStreamReader::EndDocument:
      case QXmlStreamReader::Invalid:
        Fail(QStringLiteral("il contenuto è troncato"));
      default:
        break;
      }
    }
  }

  void SkipElement(const QString& name) {
    while (NextChild(name))
      SkipElement(m_xml.name().toString());
  }

  void ReadMetadata() {
    bool fields = false;
    while (NextChild(QStringLiteral("METADATA"))) {
      if (m_xml.name() == QLatin1String("FIELDS") && !fields) {
        while (NextChild(QStringLiteral("FIELDS"))) {
          if (m_xml.name() != QLatin1String("FIELD")) Unexpected(QStringLiteral("FIELDS"));
          ReadField();
        }
        fields = true;
      } else if (m_xml.name() == QLatin1String("PARAMS")) {
        SkipElement(QStringLiteral("PARAMS"));
      } else {
        Unexpected(QStringLiteral("METADATA"));
      }
    }
    if (m_packet.fields.empty()) Fail(QStringLiteral("non definisce nessun campo"));
  }

  void ReadField() {
    const QXmlStreamAttributes a = m_xml.attributes();
    const QString name = a.value(QLatin1String("attrname")).toString();
    if (name.isEmpty())
      Fail(QStringLiteral("un campo alla riga %1 non ha il nome (attrname)").arg(m_xml.lineNumber()));
    if (!IsValidFieldName(name)) Fail(QStringLiteral("il nome di campo '%1' non è valido").arg(Shown(name)));
    const QString key = name.toUpper();
    if (m_index.contains(key)) Fail(QStringLiteral("il campo '%1' è definito due volte").arg(name));
    const QString type = a.value(QLatin1String("fieldtype")).toString().toLower();
    const QString subtype = a.value(QLatin1String("SUBTYPE")).toString();
    const auto number = [&](const char* attribute, int fallback, int min, int max) {
      if (!a.hasAttribute(QLatin1String(attribute))) return fallback;
      const QStringView text = a.value(QLatin1String(attribute));
      const auto v = ParseInteger(text);
      if (!v || *v < min || *v > max)
        Fail(QStringLiteral("il campo '%1' ha un valore %2 non valido: '%3'")
                 .arg(name, QLatin1String(attribute), Shown(text)));
      return int(*v);
    };
    TDataPacketField f;
    f.name = name;
    if (type == QLatin1String("string")) {
      if (!a.hasAttribute(QLatin1String("WIDTH")))
        Fail(QStringLiteral("il campo '%1' non ha la larghezza (WIDTH)").arg(name));
      f.type = TFieldType::String;
      f.size = number("WIDTH", 0, 1, kMaxStringWidth);
    } else if (type == QLatin1String("fixed") || type == QLatin1String("fixedfmt")) {
      f.type = TFieldType::Amount;
      f.size = number("DECIMALS", 4, 0, 4);
      f.precision = number("WIDTH", 18, 1, 64);
    } else if (type == QLatin1String("i1") || type == QLatin1String("i2") || type == QLatin1String("i4") ||
               type == QLatin1String("i8") || type == QLatin1String("ui1") || type == QLatin1String("ui2") ||
               type == QLatin1String("ui4")) {
      f.type = TFieldType::Integer;
    } else if (type == QLatin1String("r8") || type == QLatin1String("r4")) {
      if (subtype.compare(QLatin1String("Money"), Qt::CaseInsensitive) == 0) {
        f.type = TFieldType::Amount;
        f.size = 4;
        f.precision = 18;
      } else {
        f.type = TFieldType::Float;
      }
    } else if (type == QLatin1String("date")) {
      f.type = TFieldType::Date;
    } else if (type == QLatin1String("bin.hex")) {
      const bool text = subtype.compare(QLatin1String("Text"), Qt::CaseInsensitive) == 0 ||
                        subtype.compare(QLatin1String("WideText"), Qt::CaseInsensitive) == 0;
      f.type = text ? TFieldType::Memo : TFieldType::Blob;
    } else {
      Fail(QStringLiteral("il campo '%1' ha un tipo sconosciuto '%2'")
               .arg(name, Shown(a.value(QLatin1String("fieldtype")))));
    }
    const QStringView calculated = a.value(QLatin1String("calculated"));
    f.calculated = calculated == QLatin1String("true") || calculated == QLatin1String("1");
    m_index.insert(key, int(m_packet.fields.size()));
    if (!f.calculated) {
      m_slotOf.push_back(int(m_stored.size()));
      m_stored.push_back(int(m_packet.fields.size()));
    } else {
      m_slotOf.push_back(-1);
    }
    m_packet.fields.push_back(std::move(f));
    // A FIELD may carry PARAM children in files of the family's Windows tools.
    while (NextChild(QStringLiteral("FIELD"))) {
      if (m_xml.name() != QLatin1String("PARAM")) Unexpected(QStringLiteral("FIELD"));
      SkipElement(QStringLiteral("PARAM"));
    }
  }

  int FindStored(QStringView name, size_t expected) const {
    // Attributes come in field order, so a short look ahead finds nearly all.
    for (size_t k = expected; k < m_stored.size() && k < expected + 4; ++k)
      if (m_packet.fields[size_t(m_stored[k])].name == name) return int(k);
    const auto it = m_index.constFind(name.toString().toUpper());
    if (it == m_index.constEnd()) return -1;
    return m_slotOf[size_t(*it)];
  }

  void ReadRows() {
    std::vector<char> seen(m_stored.size());
    while (NextChild(QStringLiteral("ROWDATA"))) {
      if (m_xml.name() != QLatin1String("ROW")) Unexpected(QStringLiteral("ROWDATA"));
      const qint64 rowNumber = qint64(m_packet.rows.size()) + 1;
      std::vector<TFieldValue> row(m_stored.size());
      std::fill(seen.begin(), seen.end(), 0);
      size_t expected = 0;
      for (const QXmlStreamAttribute& attribute : m_xml.attributes()) {
        const QStringView attrName = attribute.qualifiedName();
        const int slot = FindStored(attrName, expected);
        if (slot < 0)
          Fail(QStringLiteral("la riga %1 ha un valore per '%2', che non è un campo memorizzato del dataset")
                   .arg(rowNumber)
                   .arg(Shown(attrName)));
        if (seen[size_t(slot)])
          Fail(QStringLiteral("la riga %1 ha due valori per il campo '%2'").arg(rowNumber).arg(attrName));
        seen[size_t(slot)] = 1;
        expected = size_t(slot) + 1;
        row[size_t(slot)] =
            ParseValue(m_packet.fields[size_t(m_stored[size_t(slot)])], attribute.value(), rowNumber);
      }
      if (NextChild(QStringLiteral("ROW"))) Unexpected(QStringLiteral("ROW"));
      m_packet.rows.push_back(std::move(row));
    }
  }

  TFieldValue ParseValue(const TDataPacketField& f, QStringView text, qint64 rowNumber) const {
    switch (f.type) {
    case TFieldType::String:
      if (text.size() > f.size)
        Fail(QStringLiteral(
                 "la riga %1 ha per il campo '%2' un testo di %3 caratteri, più lungo della larghezza %4")
                 .arg(rowNumber)
                 .arg(f.name)
                 .arg(text.size())
                 .arg(f.size));
      return text.toString();
    case TFieldType::Memo:
      return text.toString();
    case TFieldType::Integer:
      if (auto v = ParseInteger(text)) return *v;
      break;
    case TFieldType::Amount:
      if (auto v = ParseExactDecimal(text)) {
        try {
          return v->Round(f.size);
        } catch (const EZurError&) {
        }
      }
      break;
    case TFieldType::Float:
      if (auto v = ParseFloat(text)) return *v;
      break;
    case TFieldType::Date:
      if (auto v = ParseCompactDate(text)) return *v;
      break;
    case TFieldType::Blob: {
      bool ascii = true;
      for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
      if (ascii) {
        auto decoded =
            QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded) return *decoded;
      }
      break;
    }
    }
    Fail(QStringLiteral("la riga %1 ha un valore non valido per il campo '%2' (%3): '%4'")
             .arg(rowNumber)
             .arg(f.name, FieldTypeDisplayName(f.type), Shown(text)));
  }

  QXmlStreamReader m_xml;
  QString m_fileName;
  const QByteArray& m_data;
  TDataPacket m_packet;
  QHash<QString, int> m_index; // upper-case name -> field position
  std::vector<int> m_slotOf;   // field position -> stored slot (-1 calculated)
  std::vector<int> m_stored;   // stored slot -> field position
};

// The character XML 1.0 cannot carry at position i of text, or -1.
qsizetype FirstUnwritable(const QString& text) {
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i].unicode();
    if (c >= 0x20 && c < 0xD800) continue;
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) return i;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < n && text[i + 1].isLowSurrogate()) {
        ++i;
        continue;
      }
      return i;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) return i;
  }
  return -1;
}

const char* TypeName(const TDataPacketField& f) {
  switch (f.type) {
  case TFieldType::String:
    return "string";
  case TFieldType::Integer:
    return "i4";
  case TFieldType::Amount:
    return "fixed";
  case TFieldType::Float:
    return "r8";
  case TFieldType::Date:
    return "date";
  case TFieldType::Memo:
  case TFieldType::Blob:
    return "bin.hex";
  }
  return "string";
}

QString XmlText(const TFieldValue& value, const TDataPacketField& f, size_t rowIndex) {
  return std::visit(
      [&](const auto& x) -> QString {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, QString>) {
          const qsizetype bad = FirstUnwritable(x);
          if (bad >= 0)
            throw EZurError(
                QStringLiteral("Il campo '%1' della riga %2 contiene il carattere U+%3, che il file "
                               "non può conservare.")
                    .arg(f.name)
                    .arg(rowIndex + 1)
                    .arg(uint(x[bad].unicode()), 4, 16, QLatin1Char('0')),
                EZurError::Kind::Field);
          return x;
        } else if constexpr (std::is_same_v<T, qint32>) {
          return QString::number(x);
        } else if constexpr (std::is_same_v<T, Currency>) {
          return x.ToString().replace(QLatin1Char(','), QLatin1Char('.'));
        } else if constexpr (std::is_same_v<T, double>) {
          return QString::number(x, 'g', QLocale::FloatingPointShortest);
        } else if constexpr (std::is_same_v<T, QDate>) {
          return QStringLiteral("%1%2%3")
              .arg(x.year(), 4, 10, QLatin1Char('0'))
              .arg(x.month(), 2, 10, QLatin1Char('0'))
              .arg(x.day(), 2, 10, QLatin1Char('0'));
        } else if constexpr (std::is_same_v<T, QByteArray>) {
          return QString::fromLatin1(x.toBase64());
        } else {
          return QString();
        }
      },
      value);
}

} // namespace

TDataPacket ReadDataPacket(const QByteArray& data, const QString& fileName) {
  TPacketReader reader(data, fileName);
  return reader.Read();
}

QByteArray WriteDataPacket(const std::vector<TDataPacketField>& fields,
                           const std::vector<const std::vector<TFieldValue>*>& rows) {
  std::vector<const TDataPacketField*> stored;
  for (const TDataPacketField& f : fields)
    if (!f.calculated) stored.push_back(&f);

  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  // Written by hand: QXmlStreamWriter always adds an encoding, the format
  // of the family's DATAPACKET files has none.
  buffer.write("<?xml version=\"1.0\" standalone=\"yes\"?>");
  QXmlStreamWriter xml(&buffer);
  xml.setAutoFormatting(true);
  xml.setAutoFormattingIndent(2);
  xml.writeStartElement(QStringLiteral("DATAPACKET"));
  xml.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
  xml.writeStartElement(QStringLiteral("METADATA"));
  xml.writeStartElement(QStringLiteral("FIELDS"));
  for (const TDataPacketField& f : fields) {
    xml.writeEmptyElement(QStringLiteral("FIELD"));
    xml.writeAttribute(QStringLiteral("attrname"), f.name);
    xml.writeAttribute(QStringLiteral("fieldtype"), QString::fromLatin1(TypeName(f)));
    if (f.type == TFieldType::Memo) xml.writeAttribute(QStringLiteral("SUBTYPE"), QStringLiteral("Text"));
    if (f.type == TFieldType::Blob) xml.writeAttribute(QStringLiteral("SUBTYPE"), QStringLiteral("Binary"));
    if (f.type == TFieldType::Amount) {
      xml.writeAttribute(QStringLiteral("DECIMALS"), QString::number(f.size));
      xml.writeAttribute(QStringLiteral("WIDTH"), QString::number(f.precision > 0 ? f.precision : 18));
    }
    if (f.type == TFieldType::String) xml.writeAttribute(QStringLiteral("WIDTH"), QString::number(f.size));
    if (f.calculated) xml.writeAttribute(QStringLiteral("calculated"), QStringLiteral("true"));
  }
  xml.writeEndElement(); // FIELDS
  xml.writeEmptyElement(QStringLiteral("PARAMS"));
  xml.writeEndElement(); // METADATA
  xml.writeStartElement(QStringLiteral("ROWDATA"));
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<TFieldValue>& row = *rows[r];
    xml.writeEmptyElement(QStringLiteral("ROW"));
    for (size_t s = 0; s < stored.size() && s < row.size(); ++s) {
      if (IsNullValue(row[s])) continue;
      xml.writeAttribute(stored[s]->name, XmlText(row[s], *stored[s], r));
    }
  }
  xml.writeEndElement(); // ROWDATA
  xml.writeEndElement(); // DATAPACKET
  xml.writeEndDocument();
  return out;
}

void WriteDataPacket(QIODevice& out, const std::vector<TDataPacketField>& fields,
                     const std::vector<const std::vector<TFieldValue>*>& rows, const QString& fileName) {
  const QByteArray data = WriteDataPacket(fields, rows);
  if (out.write(data) != data.size()) {
    const QString message =
        fileName.isEmpty()
            ? QStringLiteral("Impossibile scrivere il dataset: %1.").arg(out.errorString())
            : QStringLiteral("Impossibile scrivere il file '%1': %2.").arg(fileName, out.errorString());
    throw EZurError(message, EZurError::Kind::File, fileName);
  }
}
