#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <optional>

// The binding of a coordinate file (PdfConf / Page / Section / Edit /
// PrintRect). Each class is a view on a live element of the document: reads
// go to the element's attributes, writes set them; nothing is cached, so an
// edited document prints as edited.
//
// Reading rules: integer and decimal attributes that are missing or do not
// convert read 0 without complaint (decimals take '.' or ','); text
// attributes (Name, Alignment, Type, Repeat) come back untrimmed, and a
// missing one throws EZurError naming the attribute and the element.
class TXMLNodeBase {
public:
  explicit TXMLNodeBase(QDomElement e) : m_e(std::move(e)) {}
  const QDomElement& Element() const { return m_e; }

protected:
  QString Text(const char* attr) const;
  int Integer(const char* attr) const;
  double Decimal(const char* attr) const;
  void Set(const char* attr, const QString& v) { m_e.setAttribute(QLatin1String(attr), v); }
  int CountOf(const char* child) const;
  QDomElement ChildAt(const char* child, int index) const;
  QDomElement AddChild(const char* child);
  QDomElement InsertChild(const char* child, int index);

  QDomElement m_e;
};

class TXMLPrintRectType : public TXMLNodeBase {
public:
  using TXMLNodeBase::TXMLNodeBase;
  int Top() const { return Integer("Top"); }
  int Left() const { return Integer("Left"); }
  int Height() const { return Integer("Height"); }
  double Space() const { return Decimal("Space"); }
  double VOffset() const { return Decimal("vOffset"); }
  int OOffset() const { return Integer("oOffset"); }
  int MinIndex() const { return Integer("MinIndex"); }
  int MaxIndex() const { return Integer("MaxIndex"); }
  void SetTop(int v) { Set("Top", QString::number(v)); }
  void SetLeft(int v) { Set("Left", QString::number(v)); }
  void SetHeight(int v) { Set("Height", QString::number(v)); }
  void SetSpace(double v) { Set("Space", QString::number(v)); }
  void SetVOffset(double v) { Set("vOffset", QString::number(v)); }
  void SetOOffset(int v) { Set("oOffset", QString::number(v)); }
  void SetMinIndex(int v) { Set("MinIndex", QString::number(v)); }
  void SetMaxIndex(int v) { Set("MaxIndex", QString::number(v)); }
};

class TXMLEditType : public TXMLNodeBase {
public:
  using TXMLNodeBase::TXMLNodeBase;
  QString Name() const { return Text("Name"); }
  QString Alignment() const { return Text("Alignment"); }
  QString Type() const { return Text("Type"); }
  void SetName(const QString& v) { Set("Name", v); }
  void SetAlignment(const QString& v) { Set("Alignment", v); }
  void SetType(const QString& v) { Set("Type", v); }
  int Count() const { return CountOf("PrintRect"); }
  TXMLPrintRectType Item(int i) const { return TXMLPrintRectType(ChildAt("PrintRect", i)); }
  TXMLPrintRectType Add() { return TXMLPrintRectType(AddChild("PrintRect")); }
  TXMLPrintRectType Insert(int i) { return TXMLPrintRectType(InsertChild("PrintRect", i)); }
  // The section the edit belongs to (its parent element).
  QDomElement Parent() const { return m_e.parentNode().toElement(); }
};

class TXMLSectionType : public TXMLNodeBase {
public:
  using TXMLNodeBase::TXMLNodeBase;
  QString Name() const { return Text("Name"); }
  QString Repeat() const { return Text("Repeat"); }
  void SetName(const QString& v) { Set("Name", v); }
  void SetRepeat(const QString& v) { Set("Repeat", v); }
  int Count() const { return CountOf("Edit"); }
  TXMLEditType Item(int i) const { return TXMLEditType(ChildAt("Edit", i)); }
  TXMLEditType Add() { return TXMLEditType(AddChild("Edit")); }
  TXMLEditType Insert(int i) { return TXMLEditType(InsertChild("Edit", i)); }
};

class TXMLPageType : public TXMLNodeBase {
public:
  using TXMLNodeBase::TXMLNodeBase;
  QString Name() const { return Text("Name"); }
  int Template() const { return Integer("Template"); }
  void SetName(const QString& v) { Set("Name", v); }
  void SetTemplate(int v) { Set("Template", QString::number(v)); }
  int Count() const { return CountOf("Section"); }
  TXMLSectionType Item(int i) const { return TXMLSectionType(ChildAt("Section", i)); }
  TXMLSectionType Add() { return TXMLSectionType(AddChild("Section")); }
  TXMLSectionType Insert(int i) { return TXMLSectionType(InsertChild("Section", i)); }
};

class TXMLPdfConfType : public TXMLNodeBase {
public:
  using TXMLNodeBase::TXMLNodeBase;
  int Count() const { return CountOf("Page"); }
  TXMLPageType Item(int i) const { return TXMLPageType(ChildAt("Page", i)); }
  TXMLPageType Add() { return TXMLPageType(AddChild("Page")); }
  TXMLPageType Insert(int i) { return TXMLPageType(InsertChild("Page", i)); }

  // The first page named exactly so (case counts).
  std::optional<TXMLPageType> FindPage(const QString& name) const;
  // The first section named so (case ignored) in the pages named so (case
  // ignored), searching page after page.
  std::optional<TXMLSectionType> FindSection(const QString& page, const QString& section) const;
};

// The document element of a loaded coordinate file. Throws EZurError when
// the document is empty or its element is not PdfConf.
TXMLPdfConfType GetPdfConf(const QDomDocument& doc, const QString& fileName = {});

// Parses a coordinate file's bytes. Throws EZurError(Kind::File) with the
// line and the parser's reason for text that is not well-formed XML, and for
// a document element other than PdfConf.
QDomDocument ParseCoordFile(const QByteArray& bytes, const QString& fileName);

// Where a rectangle prints a value of repetition index i.
struct TPrintPlacement {
  int x = 0;
  int y = 0;
  int height = 0;
  double space = 0;
  // Spelled out: the files that include qpdf build as C++17 under clang.
  bool operator==(const TPrintPlacement& o) const {
    return x == o.x && y == o.y && height == o.height && space == o.space;
  }
};
// nullopt when the rectangle does not serve index i (MaxIndex not 0 and i
// outside MinIndex..MaxIndex). The horizontal step is whole; the vertical
// step is rounded to the nearest millimetre with halves to even.
std::optional<TPrintPlacement> PlacePrintRect(const TXMLPrintRectType& rect, int index);
