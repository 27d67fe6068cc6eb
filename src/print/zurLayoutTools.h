#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// The developer menu's layout tools: an empty dataset definition from a
// frame's field list, the skeleton of one record of a fixed-record telematic
// file from its description, and the useful lines of an old print-layout
// file. None touches the declaration: each reads and writes only files the
// developer chooses in the platform's file dialogs.
//
// Common behaviour of the commands (the functions returning TToolResult):
//  - a cancelled file dialog writes nothing and tells the developer so
//    (kAnnullato, information box);
//  - an input file that cannot be read gives an error box naming it and
//    saying why, and writes nothing;
//  - the output goes through zur::WriteOutputFile: a path that must not be
//    written is refused, a failed write is an error box and leaves any
//    earlier file as it was. Files are UTF-8, one line per entry, LF.
namespace zurlayout {

enum class TToolResult { Written, Cancelled, Nothing, ReadFailed, WriteFailed };

// "Operazione annullata: nessun file è stato scritto."
QString Annullato();

// --- empty dataset definition --------------------------------------------------------

// The lines of a DATAPACKET with one FIELD per non-empty name (trimmed, upper
// case) and no rows. The type comes from the name's first letter: S string
// (WIDTH from a "$<digits>" suffix, else 100), L string of 1, F fixed with 2
// decimals and width 18, I i4, D date. A "$" suffix is cut from the name
// whatever the letter; a name of any other letter is a string like S. A name
// met a second time (ignoring case) is left out: the reader refuses doubles.
QStringList DatasetXmlLines(const QStringList& fieldNames);
// Empty list: nothing (Nothing). Otherwise the lines above, saved where the
// save dialog says ("File XML (*.xml)|*.xml").
TToolResult CreateDatasetXml(const QStringList& fieldNames);

// --- record-layout skeleton --------------------------------------------------------------

// The replacement table of descriptions: "&", "'", "<", ">", '"', "°", "§",
// "£" become a blank; accented letters and "ç" lose their accent.
QString ReplaceCharacters(const QString& text);

// One input line cut at every blank (consecutive blanks give empty pieces).
// A first piece that is a whole number: description from the second piece to
// the fourth-last, width the second-last, format the last (the third-last, a
// position, is not used). Otherwise: description from the second piece to the
// second-last, format the last, width "16". False for a line whose first
// piece is a number but which has fewer than three pieces.
struct TRecordField {
  QString number;
  QString description; // trimmed, characters replaced
  QString width;
  QString format;
};
bool SplitRecordLine(const QString& line, TRecordField& field);
// The field line of the skeleton.
QString RecordFieldLine(const TRecordField& field);

// The skeleton of record `letter` built from the record's layout lines (blank
// lines are skipped). On a line that cannot be split, *badLine gets its first
// piece, the lines after it are skipped and the record's closing lines are
// not written; otherwise *badLine is left empty.
QStringList RecordLayoutLines(QChar letter, const QStringList& input, QString* badLine);
// The open dialog for the layout text file, the skeleton (the error box "Errore
// nella riga <n> si prega di controllare" for a bad line, the lines built so
// far still offered), the save dialog ("Salva XML per file telematico").
TToolResult CreateRecordLayoutXml(QChar letter);

// --- old print layout --------------------------------------------------------------------

// The lines that, trimmed, begin with one of the print-layout tags kept
// (page, section, edit and print-rectangle tags of the old quadri), trimmed,
// in file order.
QStringList OldPrintLayoutLines(const QStringList& input);
// Open dialog, the kept lines, save dialog ("Salva").
TToolResult ExtractOldPrintLayout();

// --- shared pieces ---------------------------------------------------------------------------

// The lines of a text file (UTF-8, or Windows-1252 when it is not valid
// UTF-8; CR LF, LF or CR line ends; a last line end gives no empty line).
// EZurError(Kind::File) naming the file when it cannot be read.
QStringList ReadTextLines(const QString& path);

} // namespace zurlayout
