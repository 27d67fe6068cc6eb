#include "print/zurXMLPdfConf.h"

#include "platform/ZurError.h"

#include <cmath>

QString TXMLNodeBase::Text(const char* attr) const {
  const QString name = QLatin1String(attr);
  if (!m_e.hasAttribute(name))
    throw EZurError(QStringLiteral("Nodo \"%1\" non trovato nell'elemento %2.").arg(name, m_e.tagName()),
                    EZurError::Kind::File);
  return m_e.attribute(name);
}

int TXMLNodeBase::Integer(const char* attr) const {
  bool ok = false;
  const int v = m_e.attribute(QLatin1String(attr)).trimmed().toInt(&ok);
  return ok ? v : 0;
}

double TXMLNodeBase::Decimal(const char* attr) const {
  QString text = m_e.attribute(QLatin1String(attr)).trimmed();
  text.replace(u',', u'.');
  bool ok = false;
  const double v = text.toDouble(&ok);
  // NaN and infinities would turn into nonsense coordinates.
  return ok && std::isfinite(v) ? v : 0.0;
}

int TXMLNodeBase::CountOf(const char* child) const {
  int n = 0;
  for (QDomElement c = m_e.firstChildElement(QLatin1String(child)); !c.isNull();
       c = c.nextSiblingElement(QLatin1String(child)))
    ++n;
  return n;
}

QDomElement TXMLNodeBase::ChildAt(const char* child, int index) const {
  int n = 0;
  for (QDomElement c = m_e.firstChildElement(QLatin1String(child)); !c.isNull();
       c = c.nextSiblingElement(QLatin1String(child)))
    if (n++ == index) return c;
  throw EZurError(QStringLiteral("Indice %1 fuori dai limiti per %2.").arg(index).arg(QLatin1String(child)),
                  EZurError::Kind::Assertion);
}

QDomElement TXMLNodeBase::AddChild(const char* child) {
  QDomElement e = m_e.ownerDocument().createElement(QLatin1String(child));
  m_e.appendChild(e);
  return e;
}

QDomElement TXMLNodeBase::InsertChild(const char* child, int index) {
  if (index >= CountOf(child)) return AddChild(child);
  QDomElement e = m_e.ownerDocument().createElement(QLatin1String(child));
  m_e.insertBefore(e, ChildAt(child, index));
  return e;
}

std::optional<TXMLPageType> TXMLPdfConfType::FindPage(const QString& name) const {
  for (int i = 0, n = Count(); i < n; ++i) {
    TXMLPageType page = Item(i);
    if (page.Name() == name) return page;
  }
  return std::nullopt;
}

std::optional<TXMLSectionType> TXMLPdfConfType::FindSection(const QString& page,
                                                            const QString& section) const {
  for (int i = 0, n = Count(); i < n; ++i) {
    TXMLPageType p = Item(i);
    if (p.Name().compare(page, Qt::CaseInsensitive) != 0) continue;
    for (int j = 0, m = p.Count(); j < m; ++j) {
      TXMLSectionType s = p.Item(j);
      if (s.Name().compare(section, Qt::CaseInsensitive) == 0) return s;
    }
  }
  return std::nullopt;
}

TXMLPdfConfType GetPdfConf(const QDomDocument& doc, const QString& fileName) {
  const QDomElement root = doc.documentElement();
  if (root.isNull() || root.tagName() != QLatin1String("PdfConf"))
    throw EZurError(
        QStringLiteral("File di coordinate non valido: %1 (manca l'elemento PdfConf).").arg(fileName),
        EZurError::Kind::File, fileName);
  return TXMLPdfConfType(root);
}

QDomDocument ParseCoordFile(const QByteArray& bytes, const QString& fileName) {
  QDomDocument doc;
  QString message;
  int line = 0;
  if (!doc.setContent(bytes, &message, &line))
    throw EZurError(QStringLiteral("File di coordinate non valido: %1 (riga %2: %3).")
                        .arg(fileName)
                        .arg(line)
                        .arg(message),
                    EZurError::Kind::File, fileName);
  GetPdfConf(doc, fileName);
  return doc;
}

std::optional<TPrintPlacement> PlacePrintRect(const TXMLPrintRectType& rect, int index) {
  const int minIndex = rect.MinIndex();
  const int maxIndex = rect.MaxIndex();
  if (maxIndex != 0 && (index < minIndex || index > maxIndex)) return std::nullopt;
  const long long d = static_cast<long long>(index) - minIndex;
  TPrintPlacement p;
  // Wrap-around instead of overflow for absurd files; the result then lies
  // off the page and prints nothing visible.
  p.x = int(static_cast<long long>(rect.Left()) + d * rect.OOffset());
  // nearbyint in the default rounding mode sends exact halves to even.
  const double step = std::nearbyint(rect.VOffset() * double(d));
  p.y = std::abs(step) < 1e9 ? int(rect.Top() + static_cast<long long>(step)) : rect.Top();
  p.height = rect.Height();
  p.space = rect.Space();
  return p;
}
