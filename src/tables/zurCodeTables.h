#pragma once

#include "tables/zurXMLTables.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The code tables: the official lists (regions, legal forms, kinds of aid…)
// from which many fields of the declaration take their codes. They live in
// one installed file; every lookup and every check reads it again, so a
// corrected file counts at once and nothing is kept between calls.

// One column of a table as declared: its name and its width in characters.
struct TZurCodeColumn {
  QString name;
  int length = 0;
};

// One row: the code and its description.
struct TZurCodeRow {
  QString value;
  QString desc;
};

// A table as the lookup shows it.
struct TZurCodeTable {
  QString name;
  QString caption;
  QString description;
  std::vector<TZurCodeColumn> columns; // at least two
  std::vector<TZurCodeRow> rows;       // in file order

  // The position of the column of that name (ASCII letters without regard to
  // case), -1 when there is none.
  int ColumnIndex(const QString& columnName) const;
};

namespace zur {

// The file's place below the program root directory, and its full path.
inline constexpr const char* kCodeTablePath = "USR/FR2024/Res/Tabelle/Table.xml";
QString CodeTableFile();
// Whether CodeTableFile() is a file (a folder of that name counts as missing).
bool CodeTableFileExists();

// The column whose value in the chosen row becomes the last chosen description.
inline constexpr const char* kDescriptionColumn = "DESCRIZIONE";
// The widest column the file may declare, in characters.
inline constexpr int kMaxCodeColumnLength = 10000;

// The texts the clerk reads when the file is missing or cannot be used.
QString CodeTableMissingText();
// "Impossibile caricare il file delle tabelle:" + "\n\r" + error.
QString CodeTableLoadText(const QString& error);

// The first table of the installed file whose name equals tableName (ASCII
// letters without regard to case). Throws EZurError(Kind::File) with its own
// text when the file is missing or unreadable, is not well-formed XML (line
// and column given) or has no Tables element, when no table has that name,
// when the table declares fewer than two columns, and when a column's Length
// is missing, not a whole number or outside 1..kMaxCodeColumnLength.
// Values longer than their column are returned whole; the lookup cuts them.
TZurCodeTable LoadCodeTable(const QString& tableName);
// The same over the bytes of a file (fileName only names it in messages).
TZurCodeTable ReadCodeTable(const QByteArray& bytes, const QString& tableName, const QString& fileName);
// The same over a parsed document.
TZurCodeTable CodeTableFrom(const TXMLTablesType& tables, const QString& tableName);

// Whether text is a code of the named table, ASCII letters compared without
// regard to case and every other character exactly (no trimming).
//  - missing file: false, nothing shown;
//  - file unreadable, not well-formed, without Tables: the warning
//    CodeTableLoadText(error) through the platform layer, false;
//  - no table of that name, or only tables with fewer than two columns
//    (which the lookup refuses too): false, nothing shown.
// Every table of that name is searched, not only the first; column widths do
// not matter here (a code is compared whole). The file is read at each call.
bool CodeExists(const QString& tableName, const QString& text);

// The DESCRIZIONE text of the row last chosen in a lookup, for callers that copy
// it next to the code (the region's name beside its code). Program-wide;
// emptied when a lookup starts, set when one closes with OK.
const QString& LastChosenDescription();
void SetLastChosenDescription(const QString& description);
void ClearLastChosenDescription();

} // namespace zur
