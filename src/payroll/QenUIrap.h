#pragma once

#include "dataset/Currency.h"

#include <QString>
#include <functional>

class TClientDataSet;
class TZurQuery;

// The monthly IRAP calculator of the payroll: for each month of a year it runs
// the repository's taxable-amount statement (QRY_IRAP_IMP) six times and the
// withheld-IRAP statement (QRY_IRAP_RIT) once, and fills the month's amount
// columns. Class operations only; the query object is the caller's and is
// reused for every statement. Amounts are exact (Currency); a NULL amount
// counts as zero.
//
// The financial year of the statements is the id of the program-wide
// financial-year object (QenAnnoFinanziario()) at the moment each statement
// runs: the caller switches it (TImportaIrap::CalcolaAnno does).
class TQenIrap {
public:
  // Receives "Calcolo fondamentali", "Calcolo accessori cococo", ... before
  // each step of a month; may be empty.
  using TProgress = std::function<void(const QString& message)>;

  // Pay classes (ICOTFONDAMENTALE).
  static constexpr int ClasseFondamentali = 1;
  static constexpr int ClasseFondamentaliCococo = 2; // counts wholly for collaborators
  static constexpr int ClasseAccessori = 3;

  // Columns of a monthly row of QRY_IRAP.
  static constexpr const char* IMESID = "IMESID";
  static constexpr const char* DIP_FONDAMENTALI = "DIP_FONDAMENTALI";
  static constexpr const char* COCOCO_ACCESSORI = "COCOCO_ACCESSORI";
  static constexpr const char* AUTONOMI = "AUTONOMI";
  static constexpr const char* DIP_ACCESSORI = "DIP_ACCESSORI";
  static constexpr const char* DIP_TOTALE = "DIP_TOTALE";
  static constexpr const char* COCOCO_FONDAMENTALI = "COCOCO_FONDAMENTALI";
  static constexpr const char* COCOCO_TOTALE = "COCOCO_TOTALE";
  static constexpr const char* IMPONIBILE_TOTALE = "IMPONIBILE_TOTALE";
  static constexpr const char* IRAP = "IRAP";
  // The nine amount columns, in the order above.
  static constexpr const char* AmountColumns[] = {DIP_FONDAMENTALI, COCOCO_ACCESSORI,  AUTONOMI,
                                                  DIP_ACCESSORI,    DIP_TOTALE,        COCOCO_FONDAMENTALI,
                                                  COCOCO_TOTALE,    IMPONIBILE_TOTALE, IRAP};

  // Taxable amount of the payroll movements of one month (mesId <= 0: the
  // whole financial year) and pay class, restricted to the contract types of
  // listaTipi ("11,17"; empty: every type). Loads QRY_IRAP_IMP into the query
  // (which clears its parameters), formats its text with one empty argument,
  // appends " AND REGS.IMESID=n" and " AND REGS.ITNOID IN (list)" as lines of
  // their own, binds IANFID, ICOTFONDAMENTALE and RICE_COD_IRAP = 1, reads the
  // first column and closes. Afterwards the user interface processes its
  // pending messages (Platform().ProcessMessages()).
  // Errors: a missing statement throws EZurError(Kind::Assertion)
  // "Query: QRY_IRAP_IMP"; a text that does not format (see FormatTesto), a
  // failing statement or a missing parameter throws EZurError. The platform is
  // not serviced after a failure.
  // `movimenti`, when given, is set when the statement found payroll rows (a
  // sum that is not null, zero included) and left alone otherwise.
  static Currency Imponibile(TZurQuery& query, int mesId, const QString& listaTipi, int classe,
                             bool* movimenti = nullptr);

  // IRAP withheld in one month (mesId <= 0: the whole year): QRY_IRAP_RIT with
  // the optional month line, IANFID and RICE_COD_IRAP = 1. The text is used as
  // stored (no formatting); the user interface is not serviced. Errors as for
  // Imponibile.
  static Currency Ritenuta(TZurQuery& query, int mesId, bool* movimenti = nullptr);

  // Fills every row of the monthly rows in place (Edit ... Post per row, from
  // the first to the last): six taxable amounts and one withheld amount per
  // month, with the formulas
  //   DIP_FONDAMENTALI    = B - A      A: class 1 of collaborators, B: class 1 of all
  //   COCOCO_ACCESSORI    = class 3 of collaborators
  //   AUTONOMI            = class 3 of self-employed
  //   DIP_ACCESSORI       = C - COCOCO_ACCESSORI - AUTONOMI     C: class 3 of all
  //   DIP_TOTALE          = DIP_FONDAMENTALI + DIP_ACCESSORI
  //   COCOCO_FONDAMENTALI = D + A      D: class 2 of all
  //   COCOCO_TOTALE       = COCOCO_FONDAMENTALI + COCOCO_ACCESSORI
  //   IMPONIBILE_TOTALE   = AUTONOMI + COCOCO_TOTALE + DIP_TOTALE
  //   IRAP                = withheld amount.
  // A dataset with rows but without one of the ten columns throws
  // EZurError(Kind::Field) before any statement runs; without rows nothing
  // happens. A failing statement ends the computation: the
  // row being computed is cancelled (rows before it keep their figures) and
  // the error propagates.
  // Returns whether any statement found payroll rows: a period without a
  // single movement gives rows of zeros that are no figures at all, while
  // movements that sum to zero are real zeros.
  static bool RiempiMesi(TZurQuery& query, TClientDataSet& righe, const TProgress& progress);

  // The stored text of QRY_IRAP_IMP through the family's Format with one
  // string argument: "%%" becomes "%", the first "%s" becomes the argument.
  // Any other "%" sequence, or a second "%s", throws EZurError (a conversion error,
  // as the family's other programs give), naming the text.
  static QString FormatTesto(const QString& text, const QString& argomento);
};
