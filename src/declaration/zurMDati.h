#pragma once

#include "dataset/ClientDataSet.h"
#include "declaration/ZurDeclarationRegistry.h"
#include "platform/Platform.h"
#include "print/zurMPDF.h"
#include "store/NymDBCds.h"

#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <set>

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
  // warning and skipped: the new declaration is created without it. The id,
  // the fiscal code's registration and the cover page are written in one
  // transaction that keeps other workstations' creations waiting: a code
  // another workstation created meanwhile gets the duplicate error, and a
  // store error is raised with nothing of the new declaration left, in the
  // database or in memory; the cover pages' other pending changes are kept
  // and the current declaration is unchanged.
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
  // asked. The data is saved whatever the checks find. The five datasets are
  // saved in one transaction: a store error, or a declaration that another
  // workstation saved or deleted since this one loaded it (an Italian message
  // naming it), is raised with nothing written, every pending change kept and
  // the modified flag still set, so that a second save can store them.
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
  // ApplyCurrentTaxpayer. The modified flag is cleared only when no dataset
  // has changes left to save. False when no cover page has the id.
  bool EnterDeclaration(int id);
  // "Elimina": choice in mode Delete, the confirmation "Confermi la
  // cancellazione del modello?", then DeleteDeclaration. False when the
  // person cancelled either.
  bool Delete();
  // Removes every record of the declaration from the five datasets, saves
  // them with its registration removed, in one transaction, and makes the
  // first remaining declaration current; with none left the module has no
  // current declaration (id 0, quadri filtered on IAFIID 0). A failed save is
  // raised with nothing deleted in the database; the deletion stays pending
  // in memory with the modified flag set.
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

  // Whether any of the five stored datasets has changes not yet saved (or a
  // record being edited).
  bool HasPendingChanges() const;

private:
  // A message shown once the database work it reports on is over.
  struct TPendingMessage {
    QString text;
    TMsgDlgType type = TMsgDlgType::Information;
  };

  TNymDBCds& RequireStore() const;
  TZurDeclarationRegistry Registry() const;
  void AdoptUnregistered(TZurDeclarationRegistry& registry);
  void BuildCampiAggiuntivi();
  void AttachHandlers();
  TPendingMessage ImportPreviousYear();
  void RemoveEmptyRegionalRows();
  // The declarations (IIRAPID) that the pending changes of the five datasets
  // belong to.
  std::set<int> TouchedDeclarations();
  // Raises, inside the batch, the version of each declaration from the one
  // this workstation loaded; refuses, naming the declaration, when another
  // workstation saved or deleted it meanwhile. `raised` gets the new
  // versions, to be kept once the batch commits.
  void RaiseVersions(TNymDBCds::TBatch& batch, const std::set<int>& ids, std::map<int, int>& raised);
  // Saves the five datasets in one transaction, with the versions of the
  // declarations they touch; deletedId > 0 also removes that declaration
  // from the registry.
  void SaveStored(int deletedId = 0);
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
  // The registered declarations with the version this workstation holds.
  std::map<int, TZurDeclarationRegistry::TEntry> m_registry;
};
