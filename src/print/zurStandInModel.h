#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

// The stand-in for the ministerial model IRAP_mod.pdf, drawn from the
// coordinate files themselves, so that the model and the coordinates can
// never disagree. The drawing reads attributes the print drivers ignore:
//
//   Page       Title                       the page's heading
//   Section    Code, Title, Top            a band across the page at Top
//                                          (mm), the section's code in bold
//   Edit       Rigo, RigoX, RigoY          the row code, bold, baseline RigoY
//              RigoStep                    repeated rows: the row code's
//                                          number grows by RigoStep per index
//              Caption, CaptionX,          the row's caption, wrapped to
//              CaptionY, CaptionW          CaptionW mm, first baseline CaptionY
//              RuleY                       a thin rule across the page (the
//                                          line between two form rows)
//              Column, Header, HeaderX,    the column number (bold) and the
//              HeaderW                     column caption, wrapped to HeaderW
//                                          mm, just above the box
//   PrintRect  BoxDx, BoxWidth             the box, from Left + BoxDx
//              Cells                       the box's character cells (0 or 1:
//                                          a free box)
//              Groups                      cells in groups with a blank cell
//                                          between them ("2,2,4": a date)
//
// Positions are those of index MinIndex of each PrintRect; the drawing of
// another index moves by the same step as the value. A box spans from
// kBoxAbove mm above the value's baseline to kBoxBelow mm below it.
//
// The model has kStandInPages A4 pages (pages no coordinate file uses carry
// only a title), so that page numbers used for the real model stay valid. The
// bytes are deterministic for the same coordinate files. Throws EZurError
// for a coordinate file that cannot be read or a Template outside the model.
inline constexpr int kStandInPages = 24;
QByteArray BuildStandInModel(const QStringList& coordFiles);

// One thing the model draws on a page, in millimetres from the top-left
// corner: a text (x, y its baseline's start; w, h its extent from the top
// of the capitals to the bottom of the descenders, y - h + descent being the
// top), a box (with its cells), a section band or a rule.
struct TStandInItem {
  enum class Kind { Text, Box, Band, Rule };
  Kind kind = Kind::Text;
  double x = 0, y = 0, w = 0, h = 0; // x, y: top-left corner of the extent
  QString text;
  double size = 0;
  bool bold = false;
  int cells = 0;
};
// What the model draws on each page (1-based page number), as
// BuildStandInModel draws it.
std::map<int, std::vector<TStandInItem>> StandInDrawing(const QStringList& coordFiles);

namespace standin {
// Text sizes in points.
inline constexpr double kTitlePt = 10.5;
inline constexpr double kBandPt = 7.5;
inline constexpr double kRigoPt = 7;
inline constexpr double kCaptionPt = 6.5;
inline constexpr double kHeaderPt = 5;
// Line spacing of wrapped texts, mm.
inline constexpr double kCaptionLeading = 2.7;
inline constexpr double kHeaderLeading = 2;
// The box around a value, mm from its baseline.
inline constexpr double kBoxAbove = 3.4;
inline constexpr double kBoxBelow = 1.0;
// Height of a section band, mm; its text sits kBandBaseline below its top.
inline constexpr double kBandHeight = 5;
inline constexpr double kBandBaseline = 3.6;
// The printable width of the page.
inline constexpr double kPageLeft = 12;
inline constexpr double kPageRight = 198;

// Width in mm of a text in the model's regular (or bold) font.
double TextWidthMm(const QString& text, double points, bool bold = false);
// The text broken between words into lines no wider than widthMm; a word
// wider than the line stands on a line of its own. Empty for an empty text.
QStringList WrapText(const QString& text, double points, double widthMm);
// The row code of repetition index i: the code's trailing number grown by
// i * step ("IR32", 2, 1 gives "IR34"); a code without a number stays.
QString RepeatedRowCode(const QString& code, int i, int step);
} // namespace standin
