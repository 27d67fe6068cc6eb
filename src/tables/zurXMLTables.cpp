#include "tables/zurXMLTables.h"

#include "platform/ZurError.h"

QDomElement TXMLTableNode::One(const char* child) const {
  const QString tag = QLatin1String(child);
  QDomElement found = m_e.firstChildElement(tag);
  if (!found.isNull()) return found;
  QDomElement parent = m_e; // a handle: appending changes the shared element
  return parent.appendChild(parent.ownerDocument().createElement(tag)).toElement();
}

int TXMLColDescType::Length() const {
  const QString column = Desc();
  if (!HasLength())
    throw EZurError(QStringLiteral("Manca la lunghezza (Length) della colonna \"%1\".").arg(column),
                    EZurError::Kind::File);
  bool ok = false;
  const int v = Attr("Length").trimmed().toInt(&ok);
  if (!ok)
    throw EZurError(
        QStringLiteral("La lunghezza (Length) \"%1\" della colonna \"%2\" non è un numero intero.")
            .arg(Attr("Length"), column),
        EZurError::Kind::File);
  return v;
}

bool SameAsciiText(QStringView a, QStringView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    char16_t x = a[i].unicode();
    char16_t y = b[i].unicode();
    if (x >= 'a' && x <= 'z') x = char16_t(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = char16_t(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::optional<TXMLTableType> TXMLTablesType::FindTable(const QString& name) const {
  std::optional<TXMLTableType> found;
  ForEach([&](const TXMLTableType& t) {
    if (!SameAsciiText(t.Name(), name)) return true;
    found = t;
    return false;
  });
  return found;
}

TXMLTablesType GetTables(const QDomDocument& doc, const QString& fileName) {
  const QDomElement root = doc.documentElement();
  if (root.isNull() || root.tagName() != QLatin1String(TXMLTablesType::kTag))
    throw EZurError(
        QStringLiteral("File delle tabelle non valido: %1 (manca l'elemento Tables).").arg(fileName),
        EZurError::Kind::File, fileName);
  return TXMLTablesType(root);
}

QDomDocument ParseTableFile(const QByteArray& bytes, const QString& fileName) {
  QDomDocument doc;
  QString message;
  int line = 0;
  int column = 0;
  if (!doc.setContent(bytes, &message, &line, &column))
    throw EZurError(QStringLiteral("File delle tabelle non valido: %1 (riga %2, colonna %3: %4).")
                        .arg(fileName)
                        .arg(line)
                        .arg(column)
                        .arg(message),
                    EZurError::Kind::File, fileName);
  GetTables(doc, fileName);
  return doc;
}

QDomDocument NewTablesDocument() {
  QDomDocument doc;
  doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                  QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
  doc.appendChild(doc.createElement(QLatin1String(TXMLTablesType::kTag)));
  return doc;
}
