#include "declaration/zurMDati.h"

#include "declaration/ZurCatalogue.h"
#include "declaration/ZurDeclarationRegistry.h"
#include "declaration/zurUChecks.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"
#include "store/NymDBCds.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

QString F(const char* name) {
  return QString::fromLatin1(name);
}

TField& Fld(const TClientDataSet& ds, const char* name) {
  return ds.FieldByName(QString::fromLatin1(name));
}

bool Editing(const TClientDataSet& ds) {
  return ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert;
}

// Fields of the previous year's cover page that a new declaration never
// takes over. The store keys are skipped too: copied, they would tie the new
// cover page to last year's taxpayer entry and row number.
constexpr const char* kPreviousYearExcluded[] = {"IIRAPID",
                                                 "DIRAPDATAAPPROVAZIONE",
                                                 "DIRAPTERMINELEGALE",
                                                 "DIRAPPERIODOIMPOSTADAL",
                                                 "DIRAPPERIODOIMPOSTAAL",
                                                 "SIRAPCODFIS",
                                                 "SIRAPDENOM",
                                                 TZurCatalogue::KeyTaxpayer,
                                                 TZurCatalogue::KeyRow};

bool ExcludedFromPreviousYear(const QString& name) {
  for (const char* excluded : kPreviousYearExcluded)
    if (name.compare(QLatin1String(excluded), Qt::CaseInsensitive) == 0) return true;
  return false;
}

// Fields the empty-row test of the regional rows does not look at: they are
// filled by the rules as soon as a row exists, whether the clerk typed
// anything or not.
constexpr const char* kRegionalRowKeys[] = {TZurCatalogue::KeyDeclaration, TZurCatalogue::KeyTaxpayer,
                                            TZurCatalogue::KeyRow, TZurCatalogue::FiscalCode};

// The first day of a month, or an invalid date when year and month make none.
QDate FirstOfMonth(const TClientDataSet& ds, const char* yearField, const char* monthField) {
  const int year = Fld(ds, yearField).AsInteger();
  const int month = Fld(ds, monthField).AsInteger();
  if (year < 1 || year > 9999 || month < 1 || month > 12) return {};
  return QDate(year, month, 1);
}

// Puts a dataset's filter and position back unless dismissed: a New that
// creates nothing must leave the cover pages as it found them.
class TViewRestore {
public:
  explicit TViewRestore(TClientDataSet& ds) : m_ds(ds), m_filtered(ds.Filtered()), m_mark(ds.GetBookmark()) {}
  ~TViewRestore() {
    if (m_dismissed) return;
    try {
      m_ds.SetFiltered(m_filtered);
      if (!m_mark.IsNull() && m_ds.BookmarkValid(m_mark)) m_ds.GotoBookmark(m_mark);
    } catch (...) { // a destructor must not throw; the view then stays unfiltered
    }
  }
  TViewRestore(const TViewRestore&) = delete;
  TViewRestore& operator=(const TViewRestore&) = delete;
  void Dismiss() { m_dismissed = true; }

private:
  TClientDataSet& m_ds;
  bool m_filtered;
  TBookmark m_mark;
  bool m_dismissed = false;
};

// A code is stored as typed, in upper case, or refused: cut to the field or
// changed by the upper case it would become a code nobody can reach again.
QString FiscalCodeProblem(const QString& code, int width) {
  if (width > 0 && code.size() > width)
    return QStringLiteral("il codice fiscale supera i %1 caratteri.").arg(width);
  for (const QChar c : code)
    if (c.isSpace() || !c.isPrint())
      return QStringLiteral(
          "il codice fiscale contiene spazi, tabulazioni, a capo o caratteri di controllo.");
  if (code.toUpper().size() != code.size())
    return QStringLiteral("il codice fiscale contiene caratteri che cambiano in maiuscolo.");
  return {};
}

// Whether any record of the view has this fiscal code (without regard to
// case). The cursor is left where it was.
bool HasFiscalCode(TClientDataSet& ds, const QString& code) {
  const TBookmark mark = ds.GetBookmark();
  ds.DisableControls();
  bool found = false;
  try {
    const TField& field = Fld(ds, TZurCatalogue::FiscalCode);
    for (ds.First(); !ds.Eof() && !found; ds.Next())
      found = field.AsString().compare(code, Qt::CaseInsensitive) == 0;
    if (!mark.IsNull()) ds.GotoBookmark(mark);
  } catch (...) {
    ds.EnableControls();
    throw;
  }
  ds.EnableControls();
  return found;
}

const QString kNewCaption = QStringLiteral("Codice fiscale sostituto");

// Another workstation registered the fiscal code while this one asked for it.
struct TDuplicateCode {};

} // namespace

TdmZurDati::TdmZurDati() {
  m_modified = false;
  for (const TZurDataSetDecl& d : TZurCatalogue::StoredDataSets())
    m_tableNames << d.TableName();
  BuildCampiAggiuntivi();
  AttachHandlers();
}

TdmZurDati::~TdmZurDati() = default;

void TdmZurDati::BuildCampiAggiuntivi() {
  TZurCatalogue::CreateDataSet(cdsCampiAggiuntivi,
                               *TZurCatalogue::Find(QStringLiteral("cdsCampiAggiuntivi")));
  cdsCampiAggiuntivi.Append();
  Fld(cdsCampiAggiuntivi, "SCAIDPRODUTTORE").SetAsString(QStringLiteral("09876543210"));
  cdsCampiAggiuntivi.Post();
}

void TdmZurDati::AttachHandlers() {
  const auto beforeEdit = [this](TClientDataSet& ds) { cdsFrontespizioBeforeEdit(ds); };
  for (TClientDataSet* ds : StoredDataSets()) {
    ds->Events().BeforeEdit = beforeEdit;
    ds->Events().BeforeInsert = beforeEdit;
  }
  cdsFrontespizio.Events().OnNewRecord = [this](TClientDataSet& ds) { cdsFrontespizioNewRecord(ds); };
  cdsFrontespizio.Events().BeforePost = [this](TClientDataSet& ds) { cdsFrontespizioBeforePost(ds); };
  for (TClientDataSet* ds : {&cdsQuadroIK, &cdsQuadroIR}) {
    ds->Events().OnNewRecord = [this](TClientDataSet& d) { cdsQuadroIKNewRecord(d); };
    ds->Events().BeforePost = [this](TClientDataSet& d) { cdsQuadroIKBeforePost(d); };
  }
  cdsQuadroIRVar.Events().OnNewRecord = [this](TClientDataSet& ds) { cdsQuadroIRVarNewRecord(ds); };
  cdsQuadroIRVar.Events().BeforePost = [this](TClientDataSet& ds) { cdsQuadroIKBeforePost(ds); };
  cdsQuadroIRVar.Events().OnCalcFields = [this](TClientDataSet& ds) { cdsQuadroIRVarCalcFields(ds); };
  cdsQuadroIS.Events().OnNewRecord = [this](TClientDataSet& ds) { cdsQuadroISNewRecord(ds); };
  cdsQuadroIS.Events().BeforePost = [this](TClientDataSet& ds) { cdsQuadroISBeforePost(ds); };
}

TClientDataSet* TdmZurDati::DataSetByName(const QString& component) {
  TClientDataSet* all[] = {&cdsFrontespizio, &cdsQuadroIK, &cdsQuadroIR,
                           &cdsQuadroIRVar,  &cdsQuadroIS, &cdsCampiAggiuntivi};
  const auto decls = TZurCatalogue::DataSets();
  for (size_t i = 0; i < decls.size(); ++i)
    if (component.compare(QLatin1String(decls[i].component), Qt::CaseInsensitive) == 0) return all[i];
  return nullptr;
}

std::array<TClientDataSet*, 5> TdmZurDati::StoredDataSets() {
  return {&cdsFrontespizio, &cdsQuadroIK, &cdsQuadroIR, &cdsQuadroIRVar, &cdsQuadroIS};
}

void TdmZurDati::SetSchoolIdentity(const QString& fiscalCode, const QString& name) {
  m_schoolFiscalCode = fiscalCode;
  m_schoolName = name;
}

QString TdmZurDati::PreviousYearFile() const {
  if (!m_previousYearFile.isEmpty()) return m_previousYearFile;
  return zur::RootDir() + QLatin1String(zur::kPrevYearDir) + QStringLiteral("TFRNT_FRONTESPIZIO.cds");
}

TNymDBCds& TdmZurDati::RequireStore() const {
  ZurAssert(m_store != nullptr, QStringLiteral("Archivio dei dati fiscali non assegnato."));
  return *m_store;
}

// --- datasets as a whole -------------------------------------------------------

bool TdmZurDati::LoadAll() {
  TNymDBCds& store = RequireStore();
  TZurDeclarationRegistry registry = Registry();
  registry.Ensure();
  // Read before the data: a save by another workstation in between then
  // shows as a newer version, and this one refuses to overwrite it, instead
  // of the other way round.
  m_registry = registry.Entries();
  // The wait window shows the rows read of all there are to read, so that a
  // large database is seen to move, not taken for a frozen window.
  std::vector<qint64> counts;
  qint64 total = 0;
  for (const QString& table : m_tableNames)
    total += counts.emplace_back(store.CountStoredRows(table));
  qint64 before = 0;
  store.SetRowObserver([&before, total](qint64 read) { Platform().WaitProgress(before + read, total); });
  struct TObserverOff {
    TNymDBCds& store;
    ~TObserverOff() { store.SetRowObserver({}); }
  } observerOff{store};
  const auto sets = StoredDataSets();
  for (size_t i = 0; i < sets.size(); ++i) {
    store.Load(*sets[i], m_tableNames[qsizetype(i)]);
    before += counts[i];
  }
  Platform().WaitProgress(total, total);
  AdoptUnregistered(registry);
  return true;
}

TZurDeclarationRegistry TdmZurDati::Registry() const {
  TNymDBCds& store = RequireStore();
  ZurAssert(store.Connection() != nullptr, QStringLiteral("Connessione al database non aperta."));
  return TZurDeclarationRegistry(*store.Connection(), store.Program(), store.Year());
}

// Declarations stored before the registry existed get their row the first
// time a workstation loads them. One whose fiscal code is already there
// under another id (created twice by an older program) stays unregistered:
// it can still be saved and deleted, without the check between workstations.
void TdmZurDati::AdoptUnregistered(TZurDeclarationRegistry& registry) {
  std::vector<std::pair<int, QString>> missing;
  TViewRestore restore(cdsFrontespizio);
  cdsFrontespizio.DisableControls();
  try {
    cdsFrontespizio.SetFiltered(false);
    const TField& id = Fld(cdsFrontespizio, TZurCatalogue::KeyDeclaration);
    const TField& code = Fld(cdsFrontespizio, TZurCatalogue::FiscalCode);
    for (cdsFrontespizio.First(); !cdsFrontespizio.Eof(); cdsFrontespizio.Next())
      if (id.AsInteger() > 0 && !m_registry.count(id.AsInteger()))
        missing.emplace_back(id.AsInteger(), code.AsString());
  } catch (...) {
    cdsFrontespizio.EnableControls();
    throw;
  }
  cdsFrontespizio.EnableControls();
  if (missing.empty()) return;
  TNymDBCds::TBatch batch(RequireStore());
  std::vector<std::pair<int, QString>> adopted;
  for (const auto& [id, code] : missing)
    if (registry.Adopt(id, code)) adopted.emplace_back(id, code);
  batch.Commit();
  for (const auto& [id, code] : adopted)
    m_registry[id] = {1, code.toUpper()};
}

void TdmZurDati::CreateFromCatalogue() {
  const auto sets = StoredDataSets();
  const auto decls = TZurCatalogue::StoredDataSets();
  for (size_t i = 0; i < sets.size(); ++i)
    TZurCatalogue::CreateDataSet(*sets[i], decls[i]);
}

bool TdmZurDati::AllActive() const {
  return cdsFrontespizio.Active() && cdsQuadroIK.Active() && cdsQuadroIR.Active() &&
         cdsQuadroIRVar.Active() && cdsQuadroIS.Active();
}

bool TdmZurDati::NoDeclaration() const {
  return !AllActive() || cdsFrontespizio.IsEmpty();
}

void TdmZurDati::PostAll() {
  for (TClientDataSet* ds : {&cdsFrontespizio, &cdsQuadroIR, &cdsQuadroIRVar, &cdsQuadroIS, &cdsQuadroIK})
    if (Editing(*ds)) ds->Post();
}

std::set<int> TdmZurDati::TouchedDeclarations() {
  std::set<int> ids;
  for (TClientDataSet* ds : StoredDataSets()) {
    if (!ds->Active() || ds->ChangeCount() == 0 || !ds->FindField(F(TZurCatalogue::KeyDeclaration))) continue;
    ds->ForEachChange([&ids](TChange& change) {
      const int id = change.Value(F(TZurCatalogue::KeyDeclaration)).toInt();
      if (id > 0) ids.insert(id);
    });
  }
  return ids;
}

void TdmZurDati::RaiseVersions(TNymDBCds::TBatch& batch, const std::set<int>& ids,
                               std::map<int, int>& raised) {
  TNymDBCds& store = RequireStore();
  TZurDeclarationRegistry registry(batch.Connection(), store.Program(), store.Year());
  for (const int id : ids) {
    const auto entry = m_registry.find(id);
    if (entry == m_registry.end()) continue; // stored twice by an older program: not registered
    switch (registry.Raise(id, entry->second.version)) {
    case TZurDeclarationRegistry::TRaise::Raised:
      raised[id] = entry->second.version + 1;
      break;
    case TZurDeclarationRegistry::TRaise::Changed:
      throw EZurError(
          QStringLiteral(
              "Salvataggio non eseguito: la dichiarazione con C.F. %1 è stata modificata da un'altra "
              "postazione dopo che questa l'ha caricata.\n\rPer non cancellare quelle modifiche, "
              "ricaricare la dichiarazione (chiudere e riaprire il programma) e ripetere le proprie. "
              "Le modifiche di questa postazione non sono state salvate e restano a video.")
              .arg(entry->second.fiscalCode),
          EZurError::Kind::Database);
    case TZurDeclarationRegistry::TRaise::Missing:
      throw EZurError(
          QStringLiteral(
              "Salvataggio non eseguito: la dichiarazione con C.F. %1 è stata eliminata da un'altra "
              "postazione dopo che questa l'ha caricata.\n\rRicaricare i dati (chiudere e riaprire il "
              "programma). Le modifiche di questa postazione non sono state salvate e restano a video.")
              .arg(entry->second.fiscalCode),
          EZurError::Kind::Database);
    }
  }
}

void TdmZurDati::SaveStored(int deletedId) {
  std::set<int> ids = TouchedDeclarations();
  if (deletedId > 0) ids.insert(deletedId);
  std::map<int, int> raised;
  {
    TNymDBCds::TBatch batch(RequireStore());
    RaiseVersions(batch, ids, raised);
    const auto sets = StoredDataSets();
    for (size_t i = 0; i < sets.size(); ++i)
      batch.Save(*sets[i], m_tableNames[qsizetype(i)]);
    if (deletedId > 0) {
      TNymDBCds& store = RequireStore();
      TZurDeclarationRegistry(batch.Connection(), store.Program(), store.Year()).Remove(deletedId);
    }
    batch.Commit();
  }
  for (const auto& [id, version] : raised)
    m_registry[id].version = version;
  if (deletedId > 0) m_registry.erase(deletedId);
}

bool TdmZurDati::HasPendingChanges() const {
  for (const TClientDataSet* ds :
       {&cdsFrontespizio, &cdsQuadroIK, &cdsQuadroIR, &cdsQuadroIRVar, &cdsQuadroIS})
    if (ds->Active() && (Editing(*ds) || ds->ChangeCount() > 0)) return true;
  return false;
}

// --- event handlers ----------------------------------------------------------------

void TdmZurDati::SetFlagDefaults(TClientDataSet& ds) {
  for (TField* f : ds.Fields()) {
    if (f->Calculated()) continue;
    const QString name = f->FieldName().toUpper();
    if (name.startsWith(QLatin1Char('L')) && name != QLatin1String("LIRAPTRUST"))
      f->SetAsString(QStringLiteral("0"));
  }
}

void TdmZurDati::cdsFrontespizioBeforeEdit(TClientDataSet&) {
  m_modified = true;
}

void TdmZurDati::cdsFrontespizioNewRecord(TClientDataSet& ds) {
  SetFlagDefaults(ds);
}

void TdmZurDati::cdsFrontespizioBeforePost(TClientDataSet& ds) {
  const QString sex = Fld(ds, "LIRAPSESSO").AsString();
  if (sex == QLatin1String("M")) {
    Fld(ds, "LIRAPSESSOM").SetAsString(QStringLiteral("1"));
    Fld(ds, "LIRAPSESSOF").SetAsString(QStringLiteral("0"));
  } else if (sex == QLatin1String("F")) {
    Fld(ds, "LIRAPSESSOM").SetAsString(QStringLiteral("0"));
    Fld(ds, "LIRAPSESSOF").SetAsString(QStringLiteral("1"));
  }
  Fld(ds, "DIRAPSEDELEGALE").SetAsDate(FirstOfMonth(ds, "IIRAPANNOSL", "IIRAPMESESL"));
  Fld(ds, "DIRAPDOMFISCALE").SetAsDate(FirstOfMonth(ds, "IIRAPANNODF", "IIRAPMESEDF"));
}

void TdmZurDati::cdsQuadroIKNewRecord(TClientDataSet& ds) {
  Fld(ds, TZurCatalogue::KeyDeclaration).SetAsInteger(m_currentId);
  SetFlagDefaults(ds);
}

void TdmZurDati::cdsQuadroIKBeforePost(TClientDataSet& ds) {
  TField& id = Fld(ds, TZurCatalogue::KeyDeclaration);
  if (id.AsInteger() <= 0) id.SetAsInteger(m_currentId);
  if (ds.State() == TDataSetState::Insert) {
    Fld(ds, TZurCatalogue::FiscalCode).SetAsString(m_currentFiscalCode);
    Fld(ds, TZurCatalogue::KeyTaxpayer).SetAsInteger(m_currentAfiId);
  }
}

void TdmZurDati::cdsQuadroIRVarNewRecord(TClientDataSet& ds) {
  Fld(ds, TZurCatalogue::KeyDeclaration).SetAsInteger(m_currentId);
  Fld(ds, "RIGO").SetAsString(QStringLiteral("IR") + QString::number(ds.RecordCount() + 32));
  Fld(ds, TZurCatalogue::KeyTaxpayer).SetAsInteger(m_currentAfiId);
  Fld(ds, TZurCatalogue::FiscalCode).SetAsString(m_currentFiscalCode);
  SetFlagDefaults(ds);
}

void TdmZurDati::cdsQuadroIRVarCalcFields(TClientDataSet& ds) {
  Fld(ds, "RIGO").SetAsString(QStringLiteral("IR") + QString::number(ds.RecNo() + 31));
}

// IS records carry the declaration id like the other quadri, so that deleting
// a declaration by its id reaches its IS record too.
void TdmZurDati::cdsQuadroISNewRecord(TClientDataSet& ds) {
  Fld(ds, TZurCatalogue::KeyDeclaration).SetAsInteger(m_currentId);
  SetFlagDefaults(ds);
}

void TdmZurDati::cdsQuadroISBeforePost(TClientDataSet& ds) {
  TField& id = Fld(ds, TZurCatalogue::KeyDeclaration);
  if (id.AsInteger() <= 0) id.SetAsInteger(m_currentId);
  if (ds.State() == TDataSetState::Insert) {
    Fld(ds, TZurCatalogue::FiscalCode).SetAsString(m_currentFiscalCode);
    Fld(ds, TZurCatalogue::KeyTaxpayer).SetAsInteger(m_currentAfiId);
  }
}

// --- lifecycle -------------------------------------------------------------------------

int TdmZurDati::NewDeclaration() {
  ZurAssert(cdsFrontespizio.Active(), QStringLiteral("Dati della dichiarazione non aperti."));
  // The duplicate test must see every cover page, also when a telematic run
  // left them filtered on one taxpayer.
  TViewRestore restore(cdsFrontespizio);
  cdsFrontespizio.SetFiltered(false);

  QString code;
  QString prompt;
  if (!m_schoolFiscalCode.isEmpty() && HasFiscalCode(cdsFrontespizio, m_schoolFiscalCode)) {
    prompt = QStringLiteral("Inserire il codice fiscale per la dichiarazione(quella con codice ") +
             m_schoolFiscalCode + QStringLiteral(" è già stata creata)");
  } else {
    prompt = QStringLiteral("Inserire il codice fiscale del sostituto per la dichiarazione");
    code = m_schoolFiscalCode;
  }
  if (!Platform().InputQuery(kNewCaption, prompt, code)) return -1;
  // Blanks around a code would make "ABC " a second declaration of "ABC".
  code = code.trimmed();
  if (code.isEmpty()) {
    VxMessageDlg(QStringLiteral("Impossibile procedere: codice fiscale non indicato."), TMsgDlgType::Error,
                 TMsgDlgButtons::OK);
    return -1;
  }
  // The code is copied into every dataset of the declaration: the narrowest
  // of their fields is the one it must fit (the regional rows keep 20).
  int width = 0;
  for (TClientDataSet* ds : StoredDataSets())
    if (const TField* f = ds->FindField(QLatin1String(TZurCatalogue::FiscalCode)); f && f->Size() > 0)
      width = width == 0 ? f->Size() : std::min(width, f->Size());
  if (const QString problem = FiscalCodeProblem(code, width); !problem.isEmpty()) {
    VxMessageDlg(QStringLiteral("Impossibile procedere: ") + problem, TMsgDlgType::Error, TMsgDlgButtons::OK);
    return -1;
  }
  const auto duplicate = [&code] {
    VxMessageDlg(QStringLiteral("Impossibile procedere: dichiarazione con C.F. ") + code +
                     QStringLiteral(" già creata!"),
                 TMsgDlgType::Error, TMsgDlgButtons::OK);
    return -1;
  };
  if (HasFiscalCode(cdsFrontespizio, code)) return duplicate();

  // The id, the fiscal code's registration and the cover page are written in
  // one transaction that keeps every other creator waiting: two workstations
  // can neither take the same id nor create the same fiscal code twice, and
  // a failure leaves nothing behind. Messages wait for its end, so that no
  // question holds the database while a person reads it.
  TNymDBCds& store = RequireStore();
  const QString upper = code.toUpper();
  TPendingMessage importMessage;
  int newId = 0;
  TBookmark added;
  try {
    TNymDBCds::TBatch batch(store);
    TZurDeclarationRegistry registry(batch.Connection(), store.Program(), store.Year());
    registry.LockForCreation();
    // Another workstation may have created it after this one loaded the
    // data; the batch rolls back as the exception leaves its scope.
    if (registry.IdOfFiscalCode(upper) != 0) throw TDuplicateCode();
    newId = std::max(store.AllocateDeclarationId(), registry.MaxId() + 1);
    restore.Dismiss();
    cdsFrontespizio.Append();
    try {
      Fld(cdsFrontespizio, TZurCatalogue::KeyDeclaration).SetAsInteger(newId);
      Fld(cdsFrontespizio, TZurCatalogue::FiscalCode).SetAsString(upper);
      if (upper != m_schoolFiscalCode.toUpper())
        Fld(cdsFrontespizio, "SIRAPCODFISDICH").SetAsString(m_schoolFiscalCode);
      else
        Fld(cdsFrontespizio, "SIRAPDENOM").SetAsString(m_schoolName);
      Fld(cdsFrontespizio, "IIRAPUNICO").SetAsInteger(4);
      for (const char* flag : {"LIRAPIK", "LIRAPIR", "LIRAPIS"})
        Fld(cdsFrontespizio, flag).SetAsString(QStringLiteral("1"));
      Fld(cdsFrontespizio, "LIRAPSESSO").Clear();
      Fld(cdsFrontespizio, "LIRAPIMPINVIOTEL").Clear();
      cdsFrontespizio.Post();
    } catch (...) {
      cdsFrontespizio.Cancel();
      throw;
    }
    added = cdsFrontespizio.GetBookmark();
    importMessage = ImportPreviousYear();
    // Other cover pages changed and not yet saved go with this save: their
    // declarations are checked against other workstations as in SaveAll.
    std::set<int> ids = TouchedDeclarations();
    ids.erase(newId);
    std::map<int, int> raised;
    RaiseVersions(batch, ids, raised);
    batch.Save(cdsFrontespizio, m_tableNames[0]);
    registry.Insert(newId, upper);
    batch.Commit();
    for (const auto& [id, version] : raised)
      m_registry[id].version = version;
  } catch (const TDuplicateCode&) {
    return duplicate();
  } catch (...) {
    // Nothing of the new declaration stays in memory either; the cover
    // pages' other pending changes are kept for the next save.
    if (!added.IsNull() && cdsFrontespizio.BookmarkValid(added)) {
      cdsFrontespizio.GotoBookmark(added);
      cdsFrontespizio.Delete();
    }
    throw;
  }
  m_registry[newId] = {1, upper};
  m_currentId = newId;
  if (!importMessage.text.isEmpty()) VxMessageDlg(importMessage.text, importMessage.type, TMsgDlgButtons::OK);
  return newId;
}

// The import is a convenience: a file that cannot be read or does not hold
// cover pages is reported and skipped, and the new declaration is created
// all the same, with nothing of the file in it.
TdmZurDati::TPendingMessage TdmZurDati::ImportPreviousYear() {
  const QString path = PreviousYearFile();
  if (!QFileInfo::exists(path)) return {};
  const auto skip = [](const QString& why) {
    return TPendingMessage{
        QStringLiteral("Importazione automatica del frontespizio dall'anno redditi 2023 non "
                       "eseguita:\n\r") +
            why,
        TMsgDlgType::Warning};
  };
  TClientDataSet previous;
  try {
    previous.LoadFromFile(path);
  } catch (const EZurError& e) {
    return skip(e.message());
  }
  if (previous.IsEmpty()) return {};
  previous.First();

  std::vector<std::pair<TField*, const TField*>> pairs;
  for (TField* target : cdsFrontespizio.Fields()) {
    if (target->Calculated() || ExcludedFromPreviousYear(target->FieldName())) continue;
    const TField* source = previous.FindField(target->FieldName());
    if (source && !source->Calculated()) pairs.emplace_back(target, source);
  }
  if (pairs.empty())
    return skip(QStringLiteral("il file %1 non contiene i campi del frontespizio.")
                    .arg(QDir::toNativeSeparators(path)));
  cdsFrontespizio.Edit();
  try {
    for (const auto& [target, source] : pairs)
      target->SetAsVariant(source->AsVariant());
    cdsFrontespizio.Post();
  } catch (const EZurError& e) {
    cdsFrontespizio.Cancel();
    return skip(e.message());
  }
  return {QStringLiteral("E' stata eseguita l'importazione automatica del frontespizio dall'anno redditi "
                         "2023.\n\rSi consiglia di controllare la correttezza dei dati."),
          TMsgDlgType::Information};
}

bool TdmZurDati::OpenDeclaration(int id) {
  if (!AllActive()) return false;
  if (id <= 0) {
    cdsFrontespizio.First();
  } else if (!cdsFrontespizio.Locate(F(TZurCatalogue::KeyDeclaration), id)) {
    return false;
  }
  m_currentId = Fld(cdsFrontespizio, TZurCatalogue::KeyDeclaration).AsInteger();
  return true;
}

void TdmZurDati::ApplyCurrentTaxpayer() {
  if (!AllActive()) return;
  const int afiId = Fld(cdsFrontespizio, TZurCatalogue::KeyTaxpayer).AsInteger();
  if (afiId == 0) return;
  m_currentFiscalCode = Fld(cdsFrontespizio, TZurCatalogue::FiscalCode).AsString();
  m_currentAfiId = afiId;
  for (TClientDataSet* ds : {&cdsQuadroIK, &cdsQuadroIS, &cdsQuadroIR, &cdsQuadroIRVar}) {
    ds->SetFiltered(false);
    ds->SetFilter(QStringLiteral("IAFIID = ") + QString::number(afiId));
    ds->SetFiltered(true);
  }
}

bool TdmZurDati::IsEmptyRegionalRow(const TClientDataSet& ds) {
  for (const TField* f : ds.Fields()) {
    if (f->Calculated()) continue;
    bool key = false;
    for (const char* k : kRegionalRowKeys)
      key = key || f->FieldName().compare(QLatin1String(k), Qt::CaseInsensitive) == 0;
    if (key) continue;
    switch (f->DataType()) {
    case TFieldType::String:
    case TFieldType::Memo:
      if (!f->AsString().isEmpty()) return false;
      break;
    case TFieldType::Integer:
    case TFieldType::Amount:
    case TFieldType::Float:
      if (!f->AsCurrency().IsZero()) return false;
      break;
    default:
      break;
    }
  }
  return true;
}

void TdmZurDati::RemoveEmptyRegionalRows() {
  if (!cdsQuadroIRVar.Active()) return;
  cdsQuadroIRVar.First();
  while (!cdsQuadroIRVar.Eof()) {
    if (IsEmptyRegionalRow(cdsQuadroIRVar)) {
      cdsQuadroIRVar.Delete();
      cdsQuadroIRVar.First();
    } else {
      cdsQuadroIRVar.Next();
    }
  }
  cdsQuadroIRVar.First();
}

bool TdmZurDati::SaveAll(bool check) {
  TWaitCursor wait;
  bool result = true;
  QStringList messages;
  PostAll();
  RemoveEmptyRegionalRows();
  SaveStored();
  if (check) {
    if (!CheckDeclarationData(messages, StoredDataSets())) result = false;
    const TField* email = cdsFrontespizio.FindField(QStringLiteral("SIRAPEMAIL"));
    if (!CheckSingleEmail(messages, email ? email->AsString() : QString())) result = false;
    if (!result) Platform().ShowInfo(messages);
  }
  m_modified = false;
  return result;
}

// --- the commands of the main window ------------------------------------------------------

int TdmZurDati::ChooseDeclaration(TZurChoiceMode mode) {
  cdsFrontespizio.SetFiltered(false);
  cdsFrontespizio.First();
  return Platform().ChooseDeclaration(mode, cdsFrontespizio);
}

int TdmZurDati::New() {
  PostAll();
  const int id = NewDeclaration();
  ApplyCurrentTaxpayer();
  return id;
}

int TdmZurDati::Open() {
  cdsFrontespizio.SetFiltered(false);
  int id = 0;
  if (cdsFrontespizio.RecordCount() != 1) {
    id = ChooseDeclaration(TZurChoiceMode::Open);
    if (id == -1) {
      New();
      return m_currentId;
    }
  }
  EnterDeclaration(id);
  return m_currentId;
}

bool TdmZurDati::EnterDeclaration(int id) {
  if (!OpenDeclaration(id)) return false;
  PostAll();
  // Changes not yet saved, of this or of the declaration left, keep the flag
  // set: the close query must still offer to save them.
  m_modified = HasPendingChanges();
  ApplyCurrentTaxpayer();
  return true;
}

bool TdmZurDati::Delete() {
  const int id = ChooseDeclaration(TZurChoiceMode::Delete);
  // 0 is what the choice gives when it is closed without a choice.
  if (id <= 0) return false;
  if (VxMessageDlg(QStringLiteral("Confermi la cancellazione del modello?"), TMsgDlgType::Confirmation,
                   TMsgDlgButtons::YesNo) != TModalResult::Yes)
    return false;
  DeleteDeclaration(id);
  return true;
}

void TdmZurDati::DeleteDeclaration(int id) {
  PostAll();
  const QString filter = QStringLiteral("IIRAPID ='%1'").arg(id);
  for (TClientDataSet* ds : {&cdsFrontespizio, &cdsQuadroIS, &cdsQuadroIK, &cdsQuadroIR, &cdsQuadroIRVar}) {
    ds->SetFiltered(false);
    ds->SetFilter(filter);
    ds->SetFiltered(true);
    while (!ds->IsEmpty()) {
      ds->First();
      ds->Delete();
    }
    ds->SetFiltered(false);
  }
  // Until the save gets through, the deletion is a change like any other.
  m_modified = true;
  SaveStored(id);
  // The deleted declaration must not stay current: the first remaining one
  // takes its place, or none when it was the last.
  if (cdsFrontespizio.IsEmpty())
    ClearCurrentDeclaration();
  else
    EnterDeclaration(0);
}

void TdmZurDati::ClearCurrentDeclaration() {
  m_currentId = 0;
  m_currentFiscalCode.clear();
  m_currentAfiId = 0;
  m_modified = HasPendingChanges();
  for (TClientDataSet* ds : {&cdsQuadroIK, &cdsQuadroIS, &cdsQuadroIR, &cdsQuadroIRVar}) {
    ds->SetFiltered(false);
    ds->SetFilter(QStringLiteral("IAFIID = 0"));
    ds->SetFiltered(true);
  }
}
