#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The ministerial form laid out as data: one XML file per page of the
// declaration, installed under USR/FR2024/Res/Modello/. The frames of the
// window program, the stand-in print model and its coordinate files are all
// built from it, so screen and paper show the same rows in the same order; a
// new year's model is a change of these files.
//
//   <Pagina Nome="QuadroIK" Dataset="cdsQuadroIK" Classe="TfrZurQuadroIK"
//           Istanza="frZurQuadroIK1" Titolo="QUADRO IK - ...">
//     <Sezione Codice="Sez. I" Titolo="Attività istituzionali">
//       <Rigo Codice="IK1" Descrizione="Retribuzioni al personale dipendente">
//         <Campo Nome="FIKVALIRAP1"/>
//       </Rigo>
//       <Rigo Codice="IK4" Descrizione="Deduzioni">
//         <Campo Nome="FIKREDDRICERCATORI4" Colonna="1" Didascalia="Ricercatori"/>
//         ...
//     </Sezione>
//     <FuoriModulo Nome="IIRAPID" Motivo="chiave della dichiarazione"/>
//   </Pagina>
//
// Attributes of Campo (all but Nome optional):
//   Tipo         Testo | Data | Casella | Elenco | Codice | Etichetta | Sesso
//                (default Testo; Sesso is the pair of radio buttons M/F)
//   Colonna      column number of the form row (0: the row has one field)
//   Didascalia   the column's caption
//   Tag          1-based position in the code-table index (Codice needs one;
//                a Testo may carry one that is never looked up)
//   Valori       the fixed list of an Elenco, separated by '|' ("|1|2|3"
//                starts with the empty value)
//   SolaLettura, Disabilitato, SaltaTab, Nascosto   "1" to set
//   Larghezza    width in characters of the box (0: by the field's kind)
//   Suggerimento the control's hint
//   Formato      how the printed copy writes it: Importo | Intero | Anno |
//                Data | Testo | Casella | Decimale (default by the field's
//                type; Decimale is a number written with its decimals as
//                the field holds it, such as a rate of 3,9)
// A page with Ripetuta="4" shows one record per block of its single row,
// four blocks at a time (the regional rows).
namespace zurform {

enum class TControlKind { Edit, Date, Check, Combo, Lookup, Label, Sex };
enum class TPrintFormat { Amount, Integer, Year, Date, Text, Flag, Decimal };

struct TFormField {
  QString name;
  TControlKind kind = TControlKind::Edit;
  int column = 0;
  QString caption;
  int tag = 0;
  QStringList values;
  bool readOnly = false;
  bool disabled = false;
  bool skipTab = false;
  bool hidden = false;
  int width = 0; // characters; never 0 after loading
  QString hint;
  TPrintFormat format = TPrintFormat::Text;
  int line = 0; // line of the page file

  // The code table named by the tag; empty without one.
  QString TableName() const;
};

struct TFormRow {
  QString code;    // "IK1"; empty where the form has no row code
  QString caption; // the form's own wording
  std::vector<TFormField> fields;
  int line = 0;
};

struct TFormSection {
  QString code;  // "Sez. I", "SEZIONE II"; may be empty
  QString title; // may be empty
  std::vector<TFormRow> rows;
  int line = 0;
};

struct TOffFormField {
  QString name;
  QString reason;
};

struct TFormPage {
  QString name;       // Frontespizio, QuadroIK, QuadroIR, QuadroIRVar, QuadroIS
  QString dataSet;    // cdsFrontespizio ...
  QString frameClass; // TfrZurQuadroIK
  QString instance;   // frZurQuadroIK1
  QString title;
  QString file;
  int repeat = 0; // blocks shown at a time; 0 for a page of one record
  std::vector<TFormSection> sections;
  std::vector<TOffFormField> offForm; // fields of the dataset the form does not show

  // Every field in form order.
  std::vector<const TFormField*> Fields() const;
  const TFormField* Field(const QString& name) const;
};

class TZurFormDescription {
public:
  // The page files in the order of the main window's pages.
  static const QStringList& PageFiles();
  // Root directory + "USR/FR2024/Res/Modello/".
  static QString DefaultDir();

  // Reads the five pages. A missing, unreadable or malformed file, an
  // unknown element, attribute or control kind, a tag outside the code-table
  // index, an Elenco without values, a field that its dataset does not have
  // or a field named twice throw EZurError(Kind::File) whose message names
  // the file and the line: "Descrizione del modello non valida (FILE, riga
  // N): ...". Nothing is half loaded.
  static TZurFormDescription Load(const QString& dir = DefaultDir());
  // One page from its text; file names it in the messages.
  static TFormPage ParsePage(const QByteArray& xml, const QString& file);

  const std::vector<TFormPage>& Pages() const { return m_pages; }
  // By page name or dataset component name, without regard to case; nullptr
  // when there is none.
  const TFormPage* Page(const QString& nameOrDataSet) const;

private:
  std::vector<TFormPage> m_pages;
};

} // namespace zurform
