#pragma once

#include "dataset/Currency.h"
#include "payroll/QenUIrap.h"

#include <QString>
#include <utility>

class TClientDataSet;
class TZurQuery;

// The import accumulator: the period of one import, the school's regional
// data, and the totals of every year of the period, from which it derives
// the figures of the declaration (Quadro IK and the first regional row of
// Quadro IR). One instance per press of "Importa".
class TImportaIrap {
public:
  // The period, months 1-12. Nothing is checked here: the import refuses an
  // inverted period before it creates the accumulator.
  TImportaIrap(int annoDal, int meseDal, int annoAl, int meseAl);

  // --- the school's data, filled from the registry before the computation ---
  // The region code is the registry's number with at least two digits ("08").
  void SetRegione(int numero, const QString& descrizione);
  void SetCodiceAteco(const QString& codice) { m_codiceAteco = codice; }
  const QString& CodiceRegione() const { return m_codiceRegione; }
  const QString& DescrizioneRegione() const { return m_descrizioneRegione; }
  const QString& CodiceAteco() const { return m_codiceAteco; }

  // --- period -------------------------------------------------------------------
  int AnnoDal() const { return m_annoDal; }
  int MeseDal() const { return m_meseDal; }
  int AnnoAl() const { return m_annoAl; }
  int MeseAl() const { return m_meseAl; }
  int AnnoCorrente() const { return m_annoCorrente; }
  void SetAnnoCorrente(int anno) { m_annoCorrente = anno; }

  // The months of the current year as QRY_IRAP takes them (MESEDAL, MESEAL):
  // from the first month in the first year (otherwise 1) to the last month in
  // the last year (otherwise 12); a one-year period of months 1 to 12 gives
  // (0, 0), the whole year.
  std::pair<int, int> MesiAnnoCorrente() const;

  // --- computation ----------------------------------------------------------------
  // Fills the monthly rows of the current year: switches the program-wide
  // financial-year object to the current year, runs TQenIrap::RiempiMesi with
  // the query and the progress callback, and switches the object back to the
  // id it had, also when the computation failed (the computation's error is
  // the one that propagates). An object that had never been loaded (id 0)
  // comes back on the default id, as loading id 0 does. Returns whether the
  // year's months had any payroll movement (see TQenIrap::RiempiMesi).
  bool CalcolaAnno(TZurQuery& query, TClientDataSet& righe, const TQenIrap::TProgress& progress);

  // Adds the year's rows to the totals: employees += DIP_TOTALE,
  // collaborators += COCOCO_TOTALE, self-employed += AUTONOMI. Missing columns
  // throw EZurError(Kind::Field) and add nothing.
  void AggiungiRighe(TClientDataSet& righe);

  // Rounds the three totals half away from zero to whole units, sums them into
  // the total base and takes 8.5 % of it, rounded the same way, as the tax.
  void Finalizza();

  Currency TotaleDipendenti() const { return m_totaleDipendenti; }
  Currency TotaleCococo() const { return m_totaleCococo; }
  Currency TotaleAutonomi() const { return m_totaleAutonomi; }
  Currency BaseImponibile() const { return m_baseImponibile; }
  Currency Imposta() const { return m_imposta; }

  static constexpr double Aliquota = 8.5;

  // --- the monthly rows -------------------------------------------------------------
  // Gives a closed dataset the structure of the monthly rows (IMESID integer,
  // the nine amount columns at four decimals) and opens it empty.
  static void DefinisciRighe(TClientDataSet& righe);
  // What the provider between QRY_IRAP and its client dataset does: the
  // dataset takes one field per column of the open query (the nine amount
  // columns as amounts at four decimals whatever type the driver reports,
  // read exactly; other columns by their type) and a copy of its rows, with
  // an empty change log, on the first row. The query is read to its end.
  static void CaricaRighe(TZurQuery& query, TClientDataSet& righe);

private:
  QString m_codiceRegione;
  QString m_descrizioneRegione;
  QString m_codiceAteco;
  Currency m_totaleDipendenti;
  Currency m_totaleCococo;
  Currency m_totaleAutonomi;
  Currency m_baseImponibile;
  Currency m_imposta;
  int m_annoDal;
  int m_meseDal;
  int m_annoAl;
  int m_meseAl;
  int m_annoCorrente = 0;
};
