#include "telematic/XMLNode.h"

#include <algorithm>

TXMLNode::TXMLNode(QString tag) : m_tag(std::move(tag)) {}

QString TXMLNode::TypeName() const {
  QString name = m_tag;
  if (name.startsWith(QLatin1String("ir:"))) name = name.mid(3);
  return QStringLiteral("TXML%1Type").arg(name);
}

TXMLNode* TXMLNode::FindChild(const QString& name) const {
  for (const auto& c : m_children)
    if (c->m_tag == name) return c.get();
  return nullptr;
}

TXMLNode& TXMLNode::Child(const QString& name) {
  if (TXMLNode* found = FindChild(name)) return *found;
  return Add(name);
}

TXMLNode& TXMLNode::Path(const QString& path) {
  TXMLNode* node = this;
  qsizetype start = 0;
  while (start <= path.size()) {
    qsizetype slash = path.indexOf(QLatin1Char('/'), start);
    if (slash < 0) slash = path.size();
    node = &node->Child(path.mid(start, slash - start));
    start = slash + 1;
  }
  return *node;
}

TXMLNode& TXMLNode::Add(const QString& itemTag) {
  m_children.push_back(std::make_unique<TXMLNode>(itemTag));
  return *m_children.back();
}

TXMLNode& TXMLNode::Insert(int index, const QString& itemTag) {
  const auto pos = std::clamp<qsizetype>(index, 0, qsizetype(m_children.size()));
  auto it = m_children.insert(m_children.begin() + pos, std::make_unique<TXMLNode>(itemTag));
  return **it;
}

TXMLNode* TXMLNode::Item(const QString& itemTag, int index) const {
  for (const auto& c : m_children)
    if (c->m_tag == itemTag && index-- == 0) return c.get();
  return nullptr;
}

void TXMLNode::SetAttribute(const QString& name, const QString& value) {
  for (auto& a : m_attributes)
    if (a.first == name) {
      a.second = value;
      return;
    }
  m_attributes.emplace_back(name, value);
}

QString TXMLNode::Attribute(const QString& name) const {
  for (const auto& a : m_attributes)
    if (a.first == name) return a.second;
  return {};
}

TXMLDocument::TXMLDocument() : m_root(QStringLiteral("Messaggio")) {
  m_root.SetAttribute(QStringLiteral("xmlns:tm"), QString::fromLatin1(zurtel::kNsTm));
  m_root.SetAttribute(QStringLiteral("xmlns:cm"), QString::fromLatin1(zurtel::kNsCm));
  m_root.SetAttribute(QStringLiteral("xmlns:ir"), QString::fromLatin1(zurtel::kNsIr));
  m_root.SetAttribute(QStringLiteral("xmlns:sc"), QString::fromLatin1(zurtel::kNsSc));
}

namespace zurtel {

QString EscapeXml(const QString& text) {
  QString out;
  out.reserve(text.size() + 8);
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text.at(i);
    const char16_t u = c.unicode();
    switch (u) {
    case u'&':
      out += QLatin1String("&amp;");
      continue;
    case u'<':
      out += QLatin1String("&lt;");
      continue;
    case u'>':
      out += QLatin1String("&gt;");
      continue;
    case u'"':
      out += QLatin1String("&quot;");
      continue;
    // Raw line breaks would be normalised away by any reader (and would break
    // the one-tag-per-line layout); as references they survive unchanged.
    case u'\r':
      out += QLatin1String("&#13;");
      continue;
    case u'\n':
      out += QLatin1String("&#10;");
      continue;
    case u'\t':
      out += QLatin1String("&#9;");
      continue;
    default:
      break;
    }
    if (u < 0x20 || u == 0xFFFE || u == 0xFFFF) continue;
    if (c.isHighSurrogate()) {
      if (i + 1 < n && text.at(i + 1).isLowSurrogate()) {
        out += c;
        out += text.at(++i);
      }
      continue;
    }
    if (c.isLowSurrogate()) continue;
    out += c;
  }
  return out;
}

} // namespace zurtel

namespace {

void Write(const TXMLNode& node, QString& out, std::vector<QString>* values) {
  auto value = [&](const QString& v) {
    if (!values) {
      out += zurtel::EscapeXml(v);
      return;
    }
    out += QChar(0x01);
    out += QString::number(values->size());
    out += QChar(0x02);
    values->push_back(zurtel::EscapeXml(v));
  };
  out += QLatin1Char('<');
  out += node.Tag();
  for (const auto& [name, v] : node.Attributes()) {
    out += QLatin1Char(' ');
    out += name;
    out += QLatin1String("=\"");
    value(v);
    out += QLatin1Char('"');
  }
  if (node.Children().empty() && node.Text().isEmpty()) {
    out += QLatin1String("/>");
    return;
  }
  out += QLatin1Char('>');
  if (!node.Text().isEmpty()) value(node.Text());
  for (const auto& c : node.Children())
    Write(*c, out, values);
  out += QLatin1String("</");
  out += node.Tag();
  out += QLatin1Char('>');
}

} // namespace

QString TXMLDocument::Serialise() const {
  QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  Write(m_root, out, nullptr);
  out += QLatin1Char('\n');
  return out;
}

QString TXMLDocument::SerialiseMarked(std::vector<QString>& values) const {
  QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  out.reserve(32768);
  Write(m_root, out, &values);
  out += QLatin1Char('\n');
  return out;
}
