#pragma once

#include <QString>
#include <memory>
#include <utility>
#include <vector>

// One element of the telematic document. The agency's element types are not
// written as hundreds of C++ classes: a node carries its type name
// ("TXMLFrontespizioType") and its children by name, and the builder's tables
// say which element goes where.
//
// Children are created on first access and appended in that order, so the
// order of the file is the order in which the builder first touches them;
// an element the builder never touches is never written.
class TXMLNode {
public:
  explicit TXMLNode(QString tag);
  TXMLNode(const TXMLNode&) = delete;
  TXMLNode& operator=(const TXMLNode&) = delete;

  const QString& Tag() const { return m_tag; }
  // "TXML" + the element's type name + "Type" (item tags lose their "ir:").
  QString TypeName() const;

  // The child of this name, created empty and appended when there is none.
  TXMLNode& Child(const QString& name);
  // The path "A/B/C" below this node, each step through Child.
  TXMLNode& Path(const QString& path);
  // The child of this name or nullptr, creating nothing.
  TXMLNode* FindChild(const QString& name) const;
  // Collections: a new item with the collection's item tag, always appended
  // at the end of this element's children.
  TXMLNode& Add(const QString& itemTag);
  // A new item at a position among the children (clamped to the end).
  TXMLNode& Insert(int index, const QString& itemTag);
  // The index-th child with this tag, or nullptr.
  TXMLNode* Item(const QString& itemTag, int index) const;

  const std::vector<std::unique_ptr<TXMLNode>>& Children() const { return m_children; }
  const std::vector<std::pair<QString, QString>>& Attributes() const { return m_attributes; }

  // Simple content: text unchanged, integers as plain decimal digits.
  const QString& Text() const { return m_text; }
  void SetText(const QString& text) { m_text = text; }
  void SetInteger(qint64 value) { m_text = QString::number(value); }
  // Reads a simple child, creating it empty when it does not exist yet.
  QString ChildText(const QString& name) { return Child(name).Text(); }
  void SetAttribute(const QString& name, const QString& value);
  QString Attribute(const QString& name) const;

private:
  QString m_tag;
  QString m_text;
  std::vector<std::pair<QString, QString>> m_attributes;
  std::vector<std::unique_ptr<TXMLNode>> m_children;
};

// The telematic document: version "1.0", encoding "UTF-8", root Messaggio with
// the agency's four namespace declarations in the order tm, cm, ir, sc.
class TXMLDocument {
public:
  TXMLDocument();
  TXMLNode& Root() { return m_root; }
  const TXMLNode& Root() const { return m_root; }

  // The document in the form the agency's files have always had: the
  // declaration on its own line, then every element with no whitespace
  // between tags, an element without text or children self-closed. Markup
  // characters and line breaks in texts are escaped; characters that XML 1.0
  // cannot carry at all (control characters other than tab and line breaks,
  // lone surrogates, U+FFFE/U+FFFF) are left out, so that the file is always
  // well-formed.
  QString Serialise() const;
  // The same, with every text and attribute value replaced by a marker
  // "\x01<index>\x02" and the escaped values returned in values: the prefix
  // rewrite works on the markup only and the values are put back afterwards,
  // so that a clerk's "ir:sc:" or "ir:/" inside a name is not rewritten.
  QString SerialiseMarked(std::vector<QString>& values) const;

private:
  TXMLNode m_root;
};

namespace zurtel {
inline constexpr const char* kNsTm = "www.agenziaentrate.gov.it:specificheTecniche:telent:v1";
inline constexpr const char* kNsCm = "urn:www.agenziaentrate.gov.it:specificheTecniche:common";
inline constexpr const char* kNsIr = "urn:www.agenziaentrate.gov.it:specificheTecniche:sco:ira";
inline constexpr const char* kNsSc = "urn:www.agenziaentrate.gov.it:specificheTecniche:sco:common";
// Escapes a text for element content or an attribute value.
QString EscapeXml(const QString& text);
} // namespace zurtel
