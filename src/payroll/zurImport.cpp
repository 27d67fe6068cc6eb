#include "payroll/zurImport.h"

#include "db/VxParamManager.h"
#include "declaration/zurMDati.h"
#include "payroll/ImportaIrap.h"
#include "payroll/QenMParams.h"
#include "payroll/QenUtil.h"
#include "payroll/nymCAnno.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QLocale>
#include <utility>
#include <vector>

namespace {

// One import at a time in the whole program: the running one owns the
// financial-year object and writes into the datasets between the calls to
// ProcessMessages that let the user press "Importa" again.
bool g_inCorso = false;

class TInCorso {
public:
  TInCorso() { g_inCorso = true; }
  ~TInCorso() { g_inCorso = false; }
  TInCorso(const TInCorso&) = delete;
  TInCorso& operator=(const TInCorso&) = delete;
};

QString L(const char* text) {
  return QString::fromUtf8(text);
}

bool Editing(const TClientDataSet& ds) {
  return ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert;
}

// The assignments one step makes to the current record of a dataset, so that
// a failure can take back exactly those: a record this step put into edit
// mode is cancelled; a record that was already being edited (by the user, in
// a frame) gets its previous values back and keeps the user's own changes.
class TRecordWrite {
public:
  explicit TRecordWrite(TClientDataSet& ds) : m_ds(ds) {}

  void Edit() {
    if (m_ds.State() != TDataSetState::Browse) return;
    m_ds.Edit();
    m_began = true;
  }
  void Insert() {
    if (m_ds.State() != TDataSetState::Browse) return;
    m_ds.Insert();
    m_began = true;
  }
  TField& Field(const char* name) { return m_ds.FieldByName(QString::fromLatin1(name)); }
  void Set(TField& field, const QVariant& value) {
    m_old.emplace_back(&field, field.AsVariant());
    field.SetAsVariant(value);
  }
  void Set(const char* name, const QVariant& value) { Set(Field(name), value); }
  void Post() {
    m_ds.Post();
    m_old.clear();
    m_began = false;
  }
  void Cancel() {
    m_ds.Cancel();
    m_old.clear();
    m_began = false;
  }
  // Never throws: it runs while an error is on its way to the user.
  void Undo() noexcept {
    try {
      if (!Editing(m_ds)) return;
      if (m_began) {
        m_ds.Cancel();
      } else {
        for (auto it = m_old.rbegin(); it != m_old.rend(); ++it)
          it->first->SetAsVariant(it->second);
      }
    } catch (...) {
    }
    m_old.clear();
    m_began = false;
  }

private:
  TClientDataSet& m_ds;
  std::vector<std::pair<TField*, QVariant>> m_old;
  bool m_began = false;
};

// --- the withholding agent's data in the Frontespizio -------------------------------

enum class TSorgente { CodiceRegione, DescrizioneRegione, Colonna, Fisso };
enum class TForma { Invariata, Maiuscolo, SoloCifre };

struct TCampoSostituto {
  const char* campo;
  TSorgente sorgente;
  const char* valore; // the QRY_SED column, or the fixed value
  TForma forma;
  bool controllaPresenza;
  const char* passo; // the step text from this field on; nullptr keeps the previous one
};

// In the order of assignment; the step text names what an error interrupted.
constexpr TCampoSostituto kCampiSostituto[] = {
    {"SIRAPCODREG", TSorgente::CodiceRegione, nullptr, TForma::Invariata, true,
     "la messa in modifica dei dati."},
    {"SIRAPREGIONE", TSorgente::DescrizioneRegione, nullptr, TForma::Invariata, true, nullptr},
    {"SIRAPCOMUNESL", TSorgente::Colonna, "SCOMDESC", TForma::Maiuscolo, true, "l'importazione del comune."},
    {"SIRAPPROVINCIASL", TSorgente::Colonna, "SPROSIGLA", TForma::Maiuscolo, true,
     "l'importazione della provincia."},
    {"SIRAPFRAZIONESL", TSorgente::Colonna, "SSEDINDINDIRIZZO", TForma::Maiuscolo, true,
     "l'importazione dell'indirizzio."},
    {"SIRAPCAPSL", TSorgente::Colonna, "SCAPVALUE", TForma::Invariata, true, "l'importazione del CAP."},
    {"SIRAPCODCOMUNESL", TSorgente::Colonna, "SSRPCCODCATA", TForma::Invariata, true, "***"},
    {"SIRAPTELEFONO", TSorgente::Colonna, "SSEDTELTELEFONO", TForma::SoloCifre, true,
     "l'importazione del numero di telefono."},
    {"SIRAPFAX", TSorgente::Colonna, "SSEDFAXNO", TForma::SoloCifre, true,
     "l'importazione del numero di fax."},
    {"SIRAPEMAIL", TSorgente::Colonna, "SSEDEMLEMAIL", TForma::Maiuscolo, true, "l'importazione dell'E-Mail"},
    {"SIRAPSTATO", TSorgente::Fisso, "1", TForma::Invariata, false, nullptr},
    {"SIRAPNATURAGIURIDICA", TSorgente::Fisso, "55", TForma::Invariata, false, nullptr},
    {"SIRAPSITUAZIONE", TSorgente::Fisso, "6", TForma::Invariata, false, nullptr},
    {"DIRAPPERIODOIMPOSTADAL", TSorgente::Fisso, "01/01/2024", TForma::Invariata, true, nullptr},
    {"DIRAPPERIODOIMPOSTAAL", TSorgente::Fisso, "31/12/2024", TForma::Invariata, true, nullptr},
};

QString SoloCifre(const QString& text) {
  QString out;
  for (QChar c : text)
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) out += c;
  return out;
}

QString Valore(const TCampoSostituto& c, const TImportaIrap& importa, const TZurQuery& sede) {
  QString v;
  switch (c.sorgente) {
  case TSorgente::CodiceRegione:
    v = importa.CodiceRegione();
    break;
  case TSorgente::DescrizioneRegione:
    v = importa.DescrizioneRegione();
    break;
  case TSorgente::Colonna:
    v = sede.FieldByName(QString::fromLatin1(c.valore)).AsString();
    break;
  case TSorgente::Fisso:
    v = QString::fromLatin1(c.valore);
    break;
  }
  switch (c.forma) {
  case TForma::Invariata:
    return v;
  case TForma::Maiuscolo:
    return QLocale().toUpper(v);
  case TForma::SoloCifre:
    return SoloCifre(v);
  }
  return v;
}

} // namespace

TZurImport::TZurImport(TdmZurDati& dati, TdmQenParams& params, IZurImportLog& log)
    : m_dati(dati), m_params(params), m_log(log) {
  // The window is created with the financial year of the declaration; the
  // computation switches it per year and puts it back.
  QenAnnoFinanziario().SetByYear(QStringLiteral("2024"));
  m_qquSostituto.SetConnection(params.Connection());
  m_qquAppoggio.SetConnection(params.Connection());
  m_qquIrap.SetConnection(params.Connection());
}

TZurImport::~TZurImport() = default;

bool TZurImport::InCorso() {
  return g_inCorso;
}

TZurImportOptions TZurImport::OpzioniIniziali(int annoSolare) {
  TZurImportOptions o;
  o.annoDal = o.annoAl = AnnoMassimo(annoSolare);
  o.meseDal = 1;
  o.meseAl = annoSolare > 2025 ? 8 : 12;
  return o;
}

QStringList TZurImport::NomiMesi() {
  TZurQuery q(*m_params.Connection());
  TQenUtil::AssignStatement(QStringLiteral("QRY_MES_COMBO"), q);
  QStringList names;
  for (q.Open(); !q.Eof(); q.Next())
    names << q.Fields(0).AsString();
  return names;
}

QString TZurImport::DomandaSovrascrittura() {
  return L("Sono già presenti i dati del sostituto, l'import li sovrascriverà.") + QStringLiteral("\r\r\n") +
         L("Confermi la sostituzione dei dati?");
}

void TZurImport::ControllaPeriodo() const {
  if (!m_options.irap) return;
  // The window checks only the months within one year; a last year before
  // the first would run no year at all and still end "con successo", so it
  // is refused the same way.
  const bool invertito = m_options.annoAl < m_options.annoDal ||
                         (m_options.annoAl == m_options.annoDal && m_options.meseAl < m_options.meseDal);
  const auto mese = [](int m) { return m >= 1 && m <= 12; };
  if (invertito || !mese(m_options.meseDal) || !mese(m_options.meseAl))
    throw EZurError(L("Il periodo scelto non è valido."));
}

bool TZurImport::Importa(const std::function<bool()>& salva) {
  if (g_inCorso) return false;
  TInCorso inCorso;
  ControllaPeriodo();
  ZurAssert(!m_dati.NoDeclaration(), L("Nessuna dichiarazione aperta: impossibile importare i dati."));
  m_errori = false;

  TWaitCursor attesa;
  // An open statement keeps a read lock on an SQLite file shared with the
  // payroll programs: none outlives the press, also when it fails.
  struct TChiudi {
    TZurImport& i;
    ~TChiudi() {
      i.m_qquSostituto.Close();
      i.m_qquAppoggio.Close();
      i.m_qquIrap.Close();
    }
  } chiudi{*this};
  TImportaIrap importa(m_options.annoDal, m_options.meseDal, m_options.annoAl, m_options.meseAl);
  m_log.Clear();
  LeggiSede(importa);
  if (m_options.sostituto) ImportaSostituto(importa);
  m_qquSostituto.Close();
  if (m_options.irap) {
    if (CicloAnni(importa))
      ScriviIrap(importa);
    else
      m_log.AddLine(L("Non sono presenti o non è stato possibile calcolare i dati IRAP."));
  }
  if (salva && !salva()) throw EZurError(L("Import non completato: la dichiarazione non è stata salvata."));
  m_log.AddLine(L("Import terminato con successo!"));
  m_log.AddLine(QString());
  m_log.AddLine(L("ATTENZIONE!"));
  m_log.AddLine(L("SI INVITA A CONTROLLARE I DATI IMPORTATI."));
  return true;
}

void TZurImport::LeggiSede(TImportaIrap& importa) {
  m_log.AddLine(L("Lettura dati sede..."));
  m_qquSostituto.Close();
  TQenUtil::AssignStatement(QStringLiteral("QRY_SED"), m_qquSostituto);
  const QVariant gruppo = m_params.GetParams(QString::fromLatin1(VXUP_DwgId));
  m_qquSostituto.ParamByName(QStringLiteral("IDWGID")).SetInteger(gruppo.toString().trimmed().toLongLong());
  m_qquSostituto.Open();

  m_qquAppoggio.Close();
  TQenUtil::AssignStatement(QStringLiteral("QRY_REPA_BYDESC"), m_qquAppoggio);
  for (const QString& column : {QStringLiteral("SREGDESC"), QStringLiteral("SPRODESC")})
    m_qquAppoggio.ParamByName(column).SetString(m_qquSostituto.FieldByName(column).AsString());
  m_qquAppoggio.Open();
  importa.SetRegione(int(m_qquAppoggio.FieldByName(QStringLiteral("IREPACODICE")).AsInteger()),
                     m_qquAppoggio.FieldByName(QStringLiteral("SREPADESCRIZIONE")).AsString());
  m_qquAppoggio.Close();

  TQenUtil::AssignStatement(QStringLiteral("QRY_PACO"), m_qquAppoggio, QStringLiteral("SELECT"));
  m_qquAppoggio.Open();
  importa.SetCodiceAteco(m_qquAppoggio.FieldByName(QStringLiteral("SPACOCODATECO2007")).AsString());
  m_qquAppoggio.Close();
  m_log.Append(QStringLiteral("OK"));
}

void TZurImport::ImportaSostituto(const TImportaIrap& importa) {
  QString passo = L("l'accesso alle risorse.");
  m_log.AddLine(L("Import dati sostituto..."));
  TRecordWrite frontespizio(m_dati.cdsFrontespizio);
  TRecordWrite quadroIS(m_dati.cdsQuadroIS);
  try {
    passo = L("la messa in modifica dei dati.");
    frontespizio.Edit();

    bool presenti = false;
    for (const TCampoSostituto& c : kCampiSostituto) {
      if (c.passo) passo = L(c.passo);
      TField& field = frontespizio.Field(c.campo);
      if (c.controllaPresenza && !field.AsString().trimmed().isEmpty()) presenti = true;
      frontespizio.Set(field, Valore(c, importa, m_qquSostituto));
    }

    passo = L("il salvataggio del frontespizio.");
    if (presenti && VxMessageDlg(DomandaSovrascrittura(), TMsgDlgType::Warning, TMsgDlgButtons::YesNo) !=
                        TModalResult::Yes)
      frontespizio.Undo();
    else
      frontespizio.Post();

    passo = L("il salvataggio dei codice ateco.");
    if (m_dati.cdsQuadroIS.IsEmpty())
      quadroIS.Insert();
    else
      quadroIS.Edit();
    quadroIS.Set("IIS37_SEZ01", 1);
    quadroIS.Set("SIS37_ATECO02", importa.CodiceAteco());
    quadroIS.Post();
    m_log.Append(QStringLiteral("OK"));
  } catch (const EZurError& e) {
    quadroIS.Undo();
    frontespizio.Undo();
    if (e.kind() == EZurError::Kind::Cancelled) throw;
    m_errori = true;
    m_log.AddLine(L("ERRORE durante ") + passo + QStringLiteral("\r\n") + e.message());
  } catch (...) {
    quadroIS.Undo();
    frontespizio.Undo();
    throw;
  }
}

bool TZurImport::CicloAnni(TImportaIrap& importa) {
  bool righe = false;
  for (int anno = importa.AnnoDal(); anno <= importa.AnnoAl(); ++anno) {
    importa.SetAnnoCorrente(anno);
    const auto [dal, al] = importa.MesiAnnoCorrente();
    QString riga = L("Calcolo e import dei valori IRAP - ") + L("Anno: ") + QString::number(anno);
    const bool annoIntero = (dal == 0 && al == 0) || (dal == 1 && al == 12);
    if (!annoIntero) riga += QString::asprintf(", dal mese %d al mese %d", dal, al);
    m_log.AddLine(riga);

    m_qquIrap.Close();
    TQenUtil::AssignStatement(QStringLiteral("QRY_IRAP"), m_qquIrap);
    m_qquIrap.ParamByName(QStringLiteral("MESEDAL")).SetInteger(dal);
    m_qquIrap.ParamByName(QStringLiteral("MESEAL")).SetInteger(al);
    const bool movimenti = ApriIrap(importa);

    m_log.AddLine(L("Calcolo IRAP ..."));
    if (m_cdsIrap.IsEmpty()) {
      m_log.Append(L("ERRATO"));
    } else {
      m_log.Append(QStringLiteral("OK"));
      importa.AggiungiRighe(m_cdsIrap);
      // The month statement gives a row for every month of the period, with
      // or without payroll: only movements make the zeros figures to write.
      if (movimenti) righe = true;
    }
  }
  return righe;
}

// Reopening the monthly rows: the provider reads QRY_IRAP and computes the
// year on its rows before the dataset shows them, so a failed computation
// leaves the dataset closed rather than holding half a year.
bool TZurImport::ApriIrap(TImportaIrap& importa) {
  m_cdsIrap.Close();
  try {
    m_qquIrap.Open();
    TImportaIrap::CaricaRighe(m_qquIrap, m_cdsIrap);
    m_qquIrap.Close();
    const bool movimenti =
        importa.CalcolaAnno(m_qquAppoggio, m_cdsIrap, [this](const QString& text) { m_log.Progress(text); });
    // The rows reach the dataset computed, as data and not as edits.
    m_cdsIrap.MergeChangeLog();
    return movimenti;
  } catch (...) {
    m_qquIrap.Close();
    m_cdsIrap.Close();
    throw;
  }
}

void TZurImport::ScriviIrap(TImportaIrap& importa) {
  importa.Finalizza();
  m_log.AddLine(L("Import dati IRAP..."));
  TRecordWrite quadroIK(m_dati.cdsQuadroIK);
  TRecordWrite regionale(m_dati.cdsQuadroIRVar);
  try {
    // An IK page without a record gets one: editing an empty view inserts,
    // and the data module's rules give the new record its keys.
    quadroIK.Edit();
    quadroIK.Set("FIKVALIRAP1", QVariant::fromValue(importa.TotaleDipendenti()));
    quadroIK.Set("FIKVALIRAP2", QVariant::fromValue(importa.TotaleCococo()));
    quadroIK.Set("FIKVALIRAP3", QVariant::fromValue(importa.TotaleAutonomi()));
    quadroIK.Set("FIKVALIRAP5", QVariant::fromValue(importa.BaseImponibile()));

    TClientDataSet& irVar = m_dati.cdsQuadroIRVar;
    if (!irVar.IsEmpty()) {
      irVar.First();
      regionale.Edit();
    } else {
      regionale.Insert();
    }
    regionale.Set("SIRCODREGIONE", importa.CodiceRegione());
    regionale.Set("FIRBASEIMP", QVariant::fromValue(importa.BaseImponibile()));
    regionale.Set("FIRIMPOSTA", QVariant::fromValue(importa.Imposta()));
    regionale.Set("FIRTOTACCONTIDOV", QVariant::fromValue(importa.Imposta()));
    regionale.Set("FIRTOTACCONTI", QVariant::fromValue(importa.Imposta()));
    regionale.Post();
  } catch (...) {
    regionale.Undo();
    quadroIK.Undo();
    throw;
  }
  // Quadro IK stays in edit mode: the save of the declaration posts it.
  m_log.Append(QStringLiteral("OK"));
}
