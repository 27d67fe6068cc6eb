#pragma once

#include "dataset/ClientDataSet.h"
#include "platform/Platform.h"
#include "print/zurMPDF.h"

#include <QString>
#include <QStringList>
#include <array>

class TNymDBCds;

// The declaration data module: the six datasets that hold every declaration
// of the year in memory, the state of the declaration being edited, the
// rules that run on the datasets' events, and the lifecycle operations of the
// declaration (new, open, save, delete) as the windows and zur24-cli run them.
//
// The five stored datasets get their structure and records from the fiscal
// store (LoadAll); until then they are closed. cdsCampiAggiuntivi is built at
// creation and is never stored.
//
// Everything a person is asked or told goes through the platform layer
// (input box, messages, the information window, the choice of declaration).
// Store and database errors arrive as EZurError with their message.
class TdmZurDati : public TdmZurPDF {
public:
  TdmZurDati();
  ~TdmZurDati();
  TdmZurDati(const TdmZurDati&) = delete;
  TdmZurDati& operator=(const TdmZurDati&) = delete;

  // --- datasets, named as the components other subsystems look up ------------
  TClientDataSet cdsFrontespizio;
  TClientDataSet cdsQuadroIK;
  TClientDataSet cdsQuadroIR;
  TClientDataSet cdsQuadroIRVar;
  TClientDataSet cdsQuadroIS;
  TClientDataSet cdsCampiAggiuntivi;

  // By component name, without regard to case; nullptr for any other name.
  TClientDataSet* DataSetByName(const QString& component) override;
  // The five stored datasets in the store's order (Frontespizio, IK, IR,
  // IR var, IS) and their table names in the same order.
  std::array<TClientDataSet*, 5> StoredDataSets();
  const QStringList& TableNames() const { return m_tableNames; }

  // --- collaborators ------------------------------------------------------------
  // The store the module loads and saves through (owned by the caller, which
  // keeps it alive while the module uses it). Without a store, loading and
  // saving throw EZurError(Kind::Assertion).
  void SetStore(TNymDBCds* store) { m_store = store; }
  TNymDBCds* Store() const { return m_store; }
  // The school's identity, the defaults of a new declaration.
  void SetSchoolIdentity(const QString& fiscalCode, const QString& name);
  const QString& SchoolFiscalCode() const { return m_schoolFiscalCode; }
  const QString& SchoolName() const { return m_schoolName; }
  // The previous year's cover pages; by default under the program root
  // directory (USR/FRDati/FR2023/TFRNT_FRONTESPIZIO.cds).
  void SetPreviousYearFile(const QString& path) { m_previousYearFile = path; }
  QString PreviousYearFile() const;

  // --- state of the declaration being edited -------------------------------------
  bool Modified() const { return m_modified; }
  void SetModified(bool modified) { m_modified = modified; }
  int CurrentDeclarationId() const { return m_currentId; }
  const QString& CurrentFiscalCode() const { return m_currentFiscalCode; }
  int CurrentTaxpayerId() const { return m_currentAfiId; }

  // --- datasets as a whole ------------------------------------------------------------
  // Loads the five stored datasets through the store, in the store's order,
  // each under its table name; true on success, any failure is an exception.
  bool LoadAll();
  // Gives the five stored datasets the structure of the field catalogue and
  // opens them empty, without a store (tools and tests of the rules).
  void CreateFromCatalogue();
  bool AllActive() const;
  // Not all five open, or no cover page.
  bool NoDeclaration() const;
  // Posts each of Frontespizio, IR, IR var, IS, IK that is being edited.
  void PostAll();

  // --- lifecycle --------------------------------------------------------------------
  // Asks for the fiscal code (input box "Codice fiscale sostituto"), refuses a
  // code that another cover page has (without regard to case) with the error
  // "Impossibile procedere: dichiarazione con C.F. X già creata!", creates the
  // cover page with its defaults, copies the previous year's cover page when
  // its file exists, and saves the cover pages. Returns the new IIRAPID, or
  // -1 when nothing was created (cancelled, empty code, duplicate). A
  // previous-year file that cannot be read or does not fit is reported with a
  // warning and skipped: the new declaration is created without it. A store
  // error is raised after the store has discarded the cover pages' pending
  // changes; the current declaration is then unchanged.
  int NewDeclaration();
  // Makes the cover page with this IIRAPID current (0 or less: the first).
  // False when the datasets are not all open or no cover page has the id, in
  // which case nothing changes.
  bool OpenDeclaration(int id);
  // After New, Open and Delete: the current taxpayer becomes that of the
  // current cover page, and the quadri are filtered on its IAFIID. A cover
  // page not yet saved (IAFIID 0) leaves everything as it is.
  void ApplyCurrentTaxpayer();
  // Posts, removes empty regional rows, saves the five datasets, and with
  // check runs the data checks and the e-mail check, showing their findings
  // in the information window. True when every check passed or none was
  // asked. The data is saved whatever the checks find. A store error is
  // raised; datasets saved before it stay saved and the modified flag stays
  // set.
  bool SaveAll(bool check);

  // --- the commands of the main window, without windows ----------------------------
  // Unfilters the cover pages, moves to the first and lets the platform choose.
  int ChooseDeclaration(TZurChoiceMode mode);
  // "Nuovo": PostAll, NewDeclaration, ApplyCurrentTaxpayer. Returns what
  // NewDeclaration returned.
  int New();
  // "Apri": with exactly one cover page no choice is offered; otherwise the
  // platform chooses, and "Nuovo" there runs New. Returns the IIRAPID of the
  // declaration now current (0 when none).
  int Open();
  // What "Apri" does once the declaration is chosen: OpenDeclaration, PostAll,
  // clear the modified flag, ApplyCurrentTaxpayer. False when no cover page
  // has the id.
  bool EnterDeclaration(int id);
  // "Elimina": choice in mode Delete, the confirmation "Confermi la
  // cancellazione del modello?", then DeleteDeclaration. False when the
  // person cancelled either.
  bool Delete();
  // Removes every record of the declaration from the five datasets, saves
  // them, and makes the first remaining declaration current; with none left
  // the module has no current declaration (id 0, quadri filtered on IAFIID 0).
  void DeleteDeclaration(int id);

  // --- event handlers (public so that the windows can reuse them) --------------------
  void cdsFrontespizioBeforeEdit(TClientDataSet& ds);
  void cdsFrontespizioNewRecord(TClientDataSet& ds);
  void cdsFrontespizioBeforePost(TClientDataSet& ds);
  void cdsQuadroIKNewRecord(TClientDataSet& ds);
  void cdsQuadroIKBeforePost(TClientDataSet& ds);
  void cdsQuadroIRVarNewRecord(TClientDataSet& ds);
  void cdsQuadroIRVarCalcFields(TClientDataSet& ds);
  void cdsQuadroISNewRecord(TClientDataSet& ds);
  void cdsQuadroISBeforePost(TClientDataSet& ds);

  // The regional-row test of the save: true when, apart from the keys
  // (IIRAPID, IAFIID, IFISRIGO, SIRAPCODFIS) and calculated fields, every
  // string field is empty and every number is 0.
  static bool IsEmptyRegionalRow(const TClientDataSet& ds);

private:
  TNymDBCds& RequireStore() const;
  void BuildCampiAggiuntivi();
  void AttachHandlers();
  void ImportPreviousYear();
  void RemoveEmptyRegionalRows();
  void SaveStored();
  void ClearCurrentDeclaration();
  static void SetFlagDefaults(TClientDataSet& ds);

  TNymDBCds* m_store = nullptr;
  QString m_schoolFiscalCode;
  QString m_schoolName;
  QString m_previousYearFile;
  QStringList m_tableNames;
  bool m_modified = false;
  int m_currentId = 0;
  QString m_currentFiscalCode;
  int m_currentAfiId = 0;
};
