#pragma once

#include "dataset/FieldTypes.h"
#include "forms/ZurFormDescription.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The coordinate files of the stand-in print model, laid out from the form
// description so that the printed copy shows the form's pages, sections and
// rows in the form's order, with the form's row codes and captions:
//
// - each print group (Frontespizio, Quadro IK, Quadro IR, Quadro IS) gets
//   the pages its driver prints, in form order, with the model's pages
//   numbered in the same order (Template 1, 2, ...); a group that runs
//   longer than its fixed pages continues on the pages the drivers add
//   (TdmZurPDF::FormPageName);
// - the quadri's pages carry the declarant's fiscal code and the module
//   number at the top, the cover page's continuation pages the fiscal code;
// - each section of the form is a band with its code and title (repeated
//   with "(segue)" where it continues on the next page); each form row shows
//   its row code in bold and its caption, then the boxes of its fields in
//   the form's order, with the column number and caption above each box of
//   a row of several columns;
// - the regional rows page holds as many blocks of its row as fit, one per
//   repetition index, with the row code counting up from the form's.
//
// A field prints in the format of its kind (PrintBoxOf). Fields outside the
// form and hidden fields do not print; a Sesso field prints as its two
// boxes LIRAPSESSOM and LIRAPSESSOF.
namespace zurform {

// How a field prints: the coordinate file's format code and alignment, and
// the box it is written in.
struct TPrintBox {
  const char* type = "SP";                 // TA, SP, DT, DG, CB
  const char* alignment = "taLeftJustify"; // or taRightJustify, taCenter
  double space = 0;                        // pitch of the character cells, mm; 0 for a free box
  int cells = 0;                           // character cells; 0 for a free box
  const char* groups = "";                 // "2,2,4": day, month and year of a date
  double width = 0;                        // mm
};
// By the field's print format and the type of its dataset field: amounts
// rounded with thousands separators, right-aligned; integers as they are,
// right-aligned in cells; years in four cells; dates as day, month and year
// in cells ("DG" for a date kept in a number field as a day count); flags
// as an X in a square; texts in one cell per character up to 16 characters,
// in a free box beyond, and a Etichetta always in a free box.
TPrintBox PrintBoxOf(const TFormField& field, TFieldType dataType);

// The dataset fields a form field prints: itself, or LIRAPSESSOM and
// LIRAPSESSOF for a Sesso; none for a hidden field.
QStringList PrintedFields(const TFormField& field);

struct TCoordFile {
  QString name; // Frontespizio.xml, QuadroIK.xml, QuadroIR.xml, QuadroIS.xml
  QByteArray xml;
};

// The four coordinate files, in that order; deterministic bytes. Throws
// EZurError(Kind::File) when the form needs more pages than the stand-in
// model offers, when the regional rows page has room for fewer than two
// blocks, or when the form's XML files lack one of the five pages.
std::vector<TCoordFile> BuildCoordFiles(const TZurFormDescription& form);

} // namespace zurform
