#pragma once

#include "print/zurXMLPdfConf.h"

#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QStringView>
#include <optional>

// The binding of the code-table file (Tables / Table / Draws / Draw / Value,
// Columns / Column / ColDesc, Rows / Rigo / RowValue). Each class is a view
// on a live element of the document, like the coordinate-file binding: reads
// go to the element, writes change it, nothing is cached.
//
// Reading rules, kept lenient because the file is installed data edited by
// hand: a missing text attribute reads as an empty text; a missing or
// non-numeric integer attribute reads 0, except ColDesc's Length, which every
// column must declare (see TXMLColDescType). An element that the format gives
// exactly one child (Table's Draws, Columns and Rows, Draws' Draw, Draw's
// Value, Column's ColDesc, Rigo's RowValue) creates that child empty on first
// access when the file lacks it, so a reader never meets a null element.
class TXMLTableNode : public TXMLNodeBase {
public:
  using TXMLNodeBase::TXMLNodeBase;

protected:
  QString Attr(const char* attr) const { return m_e.attribute(QLatin1String(attr)); }
  // The first child of that name, appended when there is none.
  QDomElement One(const char* child) const;
};

// A collection of the children named TItem::kTag, in document order. Item
// throws EZurError(Kind::Assertion) for an index out of range; Insert at or
// past the end appends. ForEach visits the items in order until fn returns
// false, walking the siblings once (Item(i) walks from the first each time).
template <class TItem> class TXMLListType : public TXMLTableNode {
public:
  using TXMLTableNode::TXMLTableNode;
  int Count() const { return CountOf(TItem::kTag); }
  TItem Item(int i) const { return TItem(ChildAt(TItem::kTag, i)); }
  TItem Add() { return TItem(AddChild(TItem::kTag)); }
  TItem Insert(int i) { return TItem(InsertChild(TItem::kTag, i)); }
  template <class Fn> void ForEach(Fn fn) const {
    const QString tag = QLatin1String(TItem::kTag);
    for (QDomElement c = m_e.firstChildElement(tag); !c.isNull(); c = c.nextSiblingElement(tag))
      if (!fn(TItem(c))) return;
  }
};

// Draws/Draw/Value: the table's drawing hints (visible rows, columns and the
// width of the first two columns). Part of the format, read and written, used
// by no operation of the program.
class TXMLValueType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "Value";
  using TXMLTableNode::TXMLTableNode;
  int Rows() const { return Integer("Rows"); }
  int Cols() const { return Integer("Cols"); }
  int WCol1() const { return Integer("WCol1"); }
  int WCol2() const { return Integer("WCol2"); }
  void SetRows(int v) { Set("Rows", QString::number(v)); }
  void SetCols(int v) { Set("Cols", QString::number(v)); }
  void SetWCol1(int v) { Set("WCol1", QString::number(v)); }
  void SetWCol2(int v) { Set("WCol2", QString::number(v)); }
};

class TXMLDrawType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "Draw";
  using TXMLTableNode::TXMLTableNode;
  TXMLValueType Value() const { return TXMLValueType(One(TXMLValueType::kTag)); }
};

class TXMLDrawsType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "Draws";
  using TXMLTableNode::TXMLTableNode;
  TXMLDrawType Draw() const { return TXMLDrawType(One(TXMLDrawType::kTag)); }
};

// A column: its name (Desc) and its width in characters (Length).
class TXMLColDescType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "ColDesc";
  using TXMLTableNode::TXMLTableNode;
  QString Desc() const { return Attr("Desc"); }
  void SetDesc(const QString& v) { Set("Desc", v); }
  bool HasLength() const { return m_e.hasAttribute(QStringLiteral("Length")); }
  // The declared width. Throws EZurError(Kind::File) naming the column when
  // Length is missing or is not a whole number (blanks around it allowed).
  int Length() const;
  void SetLength(int v) { Set("Length", QString::number(v)); }
};

class TXMLColumnType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "Column";
  using TXMLTableNode::TXMLTableNode;
  TXMLColDescType ColDesc() const { return TXMLColDescType(One(TXMLColDescType::kTag)); }
};

class TXMLColumnsType : public TXMLListType<TXMLColumnType> {
public:
  static constexpr const char* kTag = "Columns";
  using TXMLListType::TXMLListType;
};

// A row: the code (Value) and its description (Desc).
class TXMLRowValueType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "RowValue";
  using TXMLTableNode::TXMLTableNode;
  QString Value() const { return Attr("Value"); }
  QString Desc() const { return Attr("Desc"); }
  void SetValue(const QString& v) { Set("Value", v); }
  void SetDesc(const QString& v) { Set("Desc", v); }
};

class TXMLRigoType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "Rigo";
  using TXMLTableNode::TXMLTableNode;
  TXMLRowValueType RowValue() const { return TXMLRowValueType(One(TXMLRowValueType::kTag)); }
};

class TXMLRowsType : public TXMLListType<TXMLRigoType> {
public:
  static constexpr const char* kTag = "Rows";
  using TXMLListType::TXMLListType;
};

class TXMLTableType : public TXMLTableNode {
public:
  static constexpr const char* kTag = "Table";
  using TXMLTableNode::TXMLTableNode;
  QString Name() const { return Attr("Name"); }
  QString Caption() const { return Attr("Caption"); }
  QString Description() const { return Attr("Description"); }
  void SetName(const QString& v) { Set("Name", v); }
  void SetCaption(const QString& v) { Set("Caption", v); }
  void SetDescription(const QString& v) { Set("Description", v); }
  TXMLDrawsType Draws() const { return TXMLDrawsType(One(TXMLDrawsType::kTag)); }
  TXMLColumnsType Columns() const { return TXMLColumnsType(One(TXMLColumnsType::kTag)); }
  TXMLRowsType Rows() const { return TXMLRowsType(One(TXMLRowsType::kTag)); }
};

class TXMLTablesType : public TXMLListType<TXMLTableType> {
public:
  static constexpr const char* kTag = "Tables";
  using TXMLListType::TXMLListType;
  // The first table whose Name equals name, ASCII letters compared without
  // regard to case (other characters exactly); nullopt when there is none.
  std::optional<TXMLTableType> FindTable(const QString& name) const;
};

// Equal texts when ASCII letters are folded to one case; every other
// character (accented letters included) must match exactly.
bool SameAsciiText(QStringView a, QStringView b);

// Parses the bytes of a code-table file. Throws EZurError(Kind::File) naming
// the file with the line, the column and the parser's reason for text that is
// not well-formed XML, and for a document element other than Tables.
QDomDocument ParseTableFile(const QByteArray& bytes, const QString& fileName);

// The document element of a parsed file; throws EZurError(Kind::File) when
// it is missing or is not Tables.
TXMLTablesType GetTables(const QDomDocument& doc, const QString& fileName = {});

// A new document holding an empty Tables element, for writing a file.
QDomDocument NewTablesDocument();
