#pragma once

#include "dataset/ClientDataSet.h"
#include "db/ZurQuery.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

class TdmQenParams;
class TdmZurDati;
class TImportaIrap;

// Where the import tells the user, line by line, what it does: the log area
// of the import window, zur24-cli's standard output, a list in the tests.
class IZurImportLog {
public:
  virtual ~IZurImportLog() = default;
  // Appends a new line; an empty text appends an empty line. A text may hold
  // a CR LF (the error lines do), which the window shows as a line break.
  virtual void AddLine(const QString& text) = 0;
  // With at least one line: the last line followed directly by the text
  // ("Lettura dati sede..." + "OK"). Without lines: nothing.
  virtual void Append(const QString& text) = 0;
  virtual void Clear() = 0;
  // The line of a step in progress: text + "...".
  void Progress(const QString& text) { AddLine(text + QStringLiteral("...")); }
};

// The log kept as a list of lines.
class TZurImportLogLines : public IZurImportLog {
public:
  void AddLine(const QString& text) override { m_lines << text; }
  void Append(const QString& text) override {
    if (!m_lines.isEmpty()) m_lines.last() += text;
  }
  void Clear() override { m_lines.clear(); }
  const QStringList& Lines() const { return m_lines; }

private:
  QStringList m_lines;
};

// What the import window lets the user choose: the two imports and the
// period (years as shown by the spinners, months 1-12 as chosen in the lists).
struct TZurImportOptions {
  bool sostituto = true; // "Importa dati del sostituto"
  bool irap = true;      // "Importa dati IRAP"
  int annoDal = 2024;
  int meseDal = 1;
  int annoAl = 2024;
  int meseAl = 12;
};

// The logic of the import window's "Importa": it fills the open declaration
// of the declaration data module from the family database. The school's seat,
// region and ATECO code go into the Frontespizio and Quadro IS (the
// withholding-agent import); the IRAP amounts of the chosen period, computed
// month by month from the payroll, go into Quadro IK and the first regional
// row of Quadro IR. Everything is written into the in-memory datasets; storing
// them is the ordinary save of the declaration.
//
// Questions go through the platform layer (VxMessageDlg); the hourglass is the
// platform's; the log goes to the IZurImportLog given.
class TZurImport {
public:
  // What the window does when it is created: binds the work queries to the
  // parameter module's connection and switches the program-wide financial-
  // year object to 2024. A database error while switching throws EZurError.
  // dati, params and log must outlive the object.
  TZurImport(TdmZurDati& dati, TdmQenParams& params, IZurImportLog& log);
  ~TZurImport();
  TZurImport(const TZurImport&) = delete;
  TZurImport& operator=(const TZurImport&) = delete;

  TZurImportOptions& Options() { return m_options; }
  const TZurImportOptions& Options() const { return m_options; }

  // --- what the window shows when it opens ---------------------------------------
  // The years the spinners offer: the base year (2024; 2025 when the calendar
  // year is after 2025) and the year before it.
  static int AnnoMassimo(int annoSolare) { return annoSolare > 2025 ? 2025 : 2024; }
  static int AnnoMinimo(int annoSolare) { return AnnoMassimo(annoSolare) - 1; }
  // The proposed choice: both imports, the base year from month 1 to month 12
  // (to month 8 when the calendar year is after 2025).
  static TZurImportOptions OpzioniIniziali(int annoSolare = QDate::currentDate().year());
  // The twelve month names of the lists, in calendar order (QRY_MES_COMBO,
  // first column). Errors of the statement throw EZurError.
  QStringList NomiMesi();

  // "Importa", in this order: the period check, the hourglass, a fresh
  // accumulator, the log cleared, the school's data read, the withholding-agent
  // import (when chosen), the year loop and the IRAP results (when chosen), the
  // closing lines.
  //
  // Returns false and does nothing when an import is already running in this
  // program (one started from the platform's ProcessMessages, say): the
  // running import owns the financial-year object and the datasets until it
  // ends. Otherwise returns true once the closing lines are written.
  //
  // Errors:
  //  - with the IRAP import chosen, a last month before the first within one
  //    year, or a last year before the first: EZurError "Il periodo scelto non
  //    è valido.", before anything else happens (the log is not cleared);
  //  - no declaration open: EZurError(Kind::Assertion), before anything else;
  //  - errors of the withholding-agent import are caught and logged as
  //    "ERRORE durante <step>" CR LF <message>; its own pending assignments
  //    are cancelled, the rest of the import goes on (see HaErrori);
  //  - errors while reading the school's data, in the year loop (a missing
  //    statement, a failing one) or while writing the IRAP results end the
  //    import with that EZurError. The financial-year object is back on its
  //    id, the hourglass is off, what earlier steps wrote stays, and nothing
  //    of the IRAP results is left half-written (Quadro IK and the regional
  //    row are written together or not at all).
  //  - a question left without an answer (EZurError Kind::Cancelled, or the
  //    command line's own exception) is not a step error: it propagates.
  //
  // `salva`, when given, stores the declaration after the import and before
  // the closing lines: a face that saves at once ("import" of the command
  // line) shows "Import terminato con successo!" only for a stored import. A
  // save that fails throws, or returns false after telling the clerk why
  // (EZurError "Import non completato: la dichiarazione non è stata
  // salvata."); either way no closing line is written.
  bool Importa(const std::function<bool()>& salva = {});

  // True while an import of this program is running.
  static bool InCorso();
  // The last Importa caught an error of the withholding-agent import.
  bool HaErrori() const { return m_errori; }

  // The monthly rows of the last year computed (closed when that year's
  // computation failed).
  const TClientDataSet& cdsIrap() const { return m_cdsIrap; }

  // The overwrite question of the withholding-agent import.
  static QString DomandaSovrascrittura();

private:
  void ControllaPeriodo() const;
  void LeggiSede(TImportaIrap& importa);
  void ImportaSostituto(const TImportaIrap& importa);
  bool CicloAnni(TImportaIrap& importa);
  // True when the year had payroll movements.
  bool ApriIrap(TImportaIrap& importa);
  void ScriviIrap(TImportaIrap& importa);

  TdmZurDati& m_dati;
  TdmQenParams& m_params;
  IZurImportLog& m_log;
  TZurImportOptions m_options;
  TZurQuery m_qquSostituto;
  TZurQuery m_qquAppoggio;
  TZurQuery m_qquIrap;
  TClientDataSet m_cdsIrap;
  bool m_errori = false;
};
