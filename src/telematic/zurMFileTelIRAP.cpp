#include "telematic/zurMFileTelIRAP.h"

#include "dataset/ClientDataSet.h"
#include "dataset/Field.h"
#include "declaration/zurMDati.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"
#include "platform/ZurSettings.h"
#include "platform/zurUGlobal.h"
#include "telematic/TelMapping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace zurtel;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

TField& Fld(const TClientDataSet& ds, const char* name) {
  return ds.FieldByName(QString::fromLatin1(name));
}

// One step of the prefix rewrite. A step with `dentro` changes only what
// lies inside the elements of that (already rewritten) name: an element that
// belongs to the taxpayer is found by its parent, not by being the first of
// its name, since an optional field left empty would make another element
// the first.
enum class TQuanti : unsigned char { Tutti, Primo };
struct TPasso {
  const char* trova;
  const char* sostituisci;
  TQuanti quanti;
  Qt::CaseSensitivity caso;
  const char* dentro = nullptr;
};

constexpr auto Any = Qt::CaseInsensitive;
constexpr auto Exact = Qt::CaseSensitive;
constexpr auto All = TQuanti::Tutti;
constexpr auto Once = TQuanti::Primo;
constexpr const char* kSoggetto = "sc:SoggettoFiscale";

// The order is binding: the "first" steps pick the envelope's header, which
// is always written and always opens the file (the supply's own header comes
// after it), and steps 58-61 undo the doubled prefixes that the blanket
// step 1 gives to item tags already prefixed. The taxpayer's code and
// telephone are those inside SoggettoFiscale, wherever they fall.
constexpr TPasso kPassi[] = {
    {"<", "<ir:", All, Any},
    {"ir:/", "/ir:", All, Any},
    {"ir:Intestazione", "tm:Intestazione", Once, Any},
    {"/ir:Intestazione", "/tm:Intestazione", Once, Any},
    {"<tm:Intestazione>", "<tm:Intestazione>\r\n", Once, Any},
    {"ir:Messaggio", "tm:Messaggio", All, Any},
    {"ir:CodiceFiscaleFornitore", "tm:CodiceFiscaleFornitore", All, Any},
    {"ir:Contenuto", "tm:Contenuto", All, Any},
    {"<tm:Cod", "      <tm:Cod", All, Any},
    {"<tm:Spa", "      <tm:Spa", All, Any},
    {"    <ir:Fornitura", "<ir:Fornitura", All, Any},
    {"<ir:?", "<?", All, Any},
    {"ir:SoggettoFiscale>", "sc:SoggettoFiscale>", All, Any},
    {"ir:CodiceFiscale>", "sc:CodiceFiscale>", All, Any, kSoggetto},
    {"/ir:CodiceFiscale>", "/sc:CodiceFiscale>", All, Any, kSoggetto},
    {"ir:Email>", "sc:Email>", All, Any},
    {"ir:Telefono>", "sc:Telefono>", All, Any, kSoggetto},
    {"/ir:Telefono>", "/sc:Telefono>", All, Any, kSoggetto},
    {"ir:Fax>", "sc:Fax>", All, Any},
    {"ir:SedeLegale>", "sc:SedeLegale>", All, Any},
    {"ir:Comune>", "sc:Comune>", All, Any},
    {"ir:Provincia>", "sc:Provincia>", All, Any},
    {"ir:CodiceComune>", "sc:CodiceComune>", All, Any},
    {"ir:Indirizzo>", "sc:Indirizzo>", All, Any},
    {"ir:Cap>", "sc:Cap>", All, Any},
    {"ir:DataVariazione>", "sc:DataVariazione>", All, Any},
    {"ir:DomicilioFiscale>", "sc:DomicilioFiscale>", All, Any},
    {"ir:StatoEsteroResidenza>", "sc:StatoEsteroResidenza>", All, Any},
    {"ir:CodiceStatoEstero>", "sc:CodiceStatoEstero>", All, Any},
    {"ir:Cognome>", "sc:Cognome>", All, Any},
    {"ir:Nome>", "sc:Nome>", All, Any},
    {"ir:Sesso>", "sc:Sesso>", All, Any},
    {"ir:DataNascita>", "sc:DataNascita>", All, Any},
    {"ir:ComuneNascita>", "sc:ComuneNascita>", All, Any},
    {"ir:ProvinciaNascita>", "sc:ProvinciaNascita>", All, Any},
    {"ir:ResidenzaEstera>", "sc:ResidenzaEstera>", All, Any},
    {"ir:StatoFederato>", "sc:StatoFederato>", All, Any},
    {"ir:LocalitaEstero>", "sc:LocalitaEstero>", All, Any},
    {"ir:IndirizzoEstero>", "sc:IndirizzoEstero>", All, Any},
    {"sc:FirmaRevisore>", "ir:FirmaRevisore>", All, Any},
    {"ir:NumeroIscrAlboCAF>", "sc:NumeroIscrAlboCAF>", All, Exact},
    {"ir:VistoCAF>", "sc:VistoCAF>", All, Any},
    {"ir:CFResp>", "sc:CFResp>", All, Any},
    {"ir:CF_CAF>", "sc:CF_CAF>", All, Any},
    {"ir:CFprofessionista>", "sc:CFprofessionista>", All, Exact},
    {"ir:Firma>", "sc:Firma>", All, Exact},
    {"<ir:DatiGeie><sc:CodiceFiscale", "<ir:DatiGeie><ir:CodiceFiscale", All, Any},
    {"</sc:CodiceFiscale><ir:Quota>", "</ir:CodiceFiscale><ir:Quota>", All, Any},
    {"</sc:CodiceFiscale><ir:DatiGeie>", "</ir:CodiceFiscale><ir:DatiGeie>", All, Any},
    {"</ir:DataFine><sc:CodiceFiscale>", "</ir:DataFine><ir:CodiceFiscale>", All, Any},
    {"</ir:DataInizio><sc:CodiceFiscale>", "</ir:DataInizio><ir:CodiceFiscale>", All, Any},
    {"<ir:DatiErrore><sc:CodiceFiscale>", "<ir:DatiErrore><ir:CodiceFiscale>", All, Any},
    {"</sc:CodiceFiscale><ir:Riferimento>", "</ir:CodiceFiscale><ir:Riferimento>", All, Any},
    {"</sc:CodiceFiscale></ir:DatiErrore>", "</ir:CodiceFiscale></ir:DatiErrore>", All, Any},
    {"</sc:CodiceFiscale><ir:ErroriContabili>", "</ir:CodiceFiscale><ir:ErroriContabili>", All, Any},
    {"><", ">\r\n<", All, Any},
    {"<cm:", "    <cm:", All, Any},
    {"ir:ir:", "ir:", All, Any},
    {"ir:sc:", "sc:", All, Any},
    {"ir:cm:", "cm:", All, Any},
    {"ir:tm:", "tm:", All, Any},
};

// Lines as a Windows string list reads them (CR LF, CR or LF), each
// followed by CR LF.
QString NormalisedLines(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 16);
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text.at(i);
    if (c == QLatin1Char('\r')) {
      if (i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
      out += kCrLf;
    } else if (c == QLatin1Char('\n')) {
      out += kCrLf;
    } else {
      out += c;
    }
  }
  if (!out.isEmpty() && !out.endsWith(kCrLf)) out += kCrLf;
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

// The spans [open tag end, close tag start) of every element named `name`
// in the lower-case text. Values are kept out of the rewrite, so a tag here
// is always markup.
std::vector<std::pair<size_t, size_t>> Ambiti(const std::string& lower, std::string_view name) {
  const std::string open = "<" + LowerAscii(name) + ">";
  const std::string close = "</" + LowerAscii(name) + ">";
  std::vector<std::pair<size_t, size_t>> spans;
  for (size_t at = lower.find(open); at != std::string::npos; at = lower.find(open, at)) {
    const size_t begin = at + open.size();
    const size_t end = lower.find(close, begin);
    if (end == std::string::npos) break;
    spans.emplace_back(begin, end);
    at = end + close.size();
  }
  return spans;
}

QString RestoreValues(const QString& text, const std::vector<QString>& values) {
  QString out;
  out.reserve(text.size() + 4096);
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    if (text.at(i) != QChar(0x01)) {
      out += text.at(i);
      continue;
    }
    const qsizetype end = text.indexOf(QChar(0x02), i);
    out += values.at(size_t(text.mid(i + 1, end - i - 1).toLongLong()));
    i = end;
  }
  return out;
}

} // namespace

TdmZurFileTelIRAP::TdmZurFileTelIRAP(TdmZurDati& dati) : m_dati(dati) {}

QString TdmZurFileTelIRAP::RiscriviPrefissi(const QString& input) {
  // Each rewrite step works line by line, joining the lines with
  // CR LF again; once the line ends are CR LF that is the identity, and no
  // step brings in another kind of line end. The steps run on the UTF-8
  // bytes: every pattern is ASCII, and comparing ASCII letters without case
  // is all that "any case" needs here (the texts of the document are kept
  // out of the rewrite). Sixty passes over QString's folding comparison
  // cost most of the time of a whole file.
  std::string text = NormalisedLines(input).toStdString();
  // ASCII lower-casing keeps every byte in its place, so a match found in
  // the lower-case copy is a match at the same offset in the text.
  std::string lower = LowerAscii(text);
  std::string next;
  std::string nextLower;
  for (const TPasso& p : kPassi) {
    const bool exact = p.caso == Qt::CaseSensitive;
    const std::string find = exact ? std::string(p.trova) : LowerAscii(p.trova);
    const std::string_view with(p.sostituisci);
    const std::string withLower = LowerAscii(with);
    const std::string& haystack = exact ? text : lower;
    const auto spans = p.dentro ? Ambiti(lower, p.dentro) : std::vector<std::pair<size_t, size_t>>{};
    // The next match at or after `from` that lies inside a span, when the
    // step has one.
    const auto nextMatch = [&](size_t from) {
      size_t at = haystack.find(find, from);
      if (!p.dentro) return at;
      for (; at != std::string::npos; at = haystack.find(find, at + 1))
        for (const auto& [begin, end] : spans)
          if (at >= begin && at + find.size() <= end) return at;
      return at;
    };
    size_t at = nextMatch(0);
    if (at == std::string::npos) continue;
    size_t from = 0;
    next.clear();
    nextLower.clear();
    next.reserve(text.size() + text.size() / 8);
    nextLower.reserve(next.capacity());
    while (at != std::string::npos) {
      next.append(text, from, at - from).append(with);
      nextLower.append(lower, from, at - from).append(withLower);
      from = at + find.size();
      if (p.quanti == TQuanti::Primo) break;
      at = nextMatch(from);
    }
    next.append(text, from, std::string::npos);
    nextLower.append(lower, from, std::string::npos);
    text.swap(next);
    lower.swap(nextLower);
  }
  return QString::fromStdString(text);
}

QString TdmZurFileTelIRAP::TestoFile(const TXMLDocument& doc) {
  std::vector<QString> values;
  const QString marked = doc.SerialiseMarked(values);
  return RestoreValues(RiscriviPrefissi(marked), values);
}

void TdmZurFileTelIRAP::Salva(const QString& fileName, const QString& text) {
  // Written whole or not at all, and synced: a failure halfway leaves no
  // truncated supply that could be sent to the agency, and the previous file
  // stays as it was.
  zur::WriteOutputFile(fileName, text.toUtf8(), true);
}

void TdmZurFileTelIRAP::RiscriviPrefissiFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw EZurError(QStringLiteral("Impossibile leggere il file %1: %2").arg(fileName, file.errorString()),
                    EZurError::Kind::File, fileName);
  const QString text = QString::fromUtf8(file.readAll());
  file.close();
  Salva(fileName, RiscriviPrefissi(text));
}

QString TdmZurFileTelIRAP::DichDir() {
  return zur::RootDir() + QLatin1String(zur::kDichDir);
}

QString TdmZurFileTelIRAP::ErrorDetailPath() {
  const QString name = QLatin1String(kNomeFile) + QLatin1String("_logSchema.xml");
  const QString own = DichDir() + name;
  if (QFileInfo::exists(own)) return own;
  const QString entratel = zur::EntratelDir();
  if (entratel.isEmpty()) return own;
  return entratel + QLatin1String("Documenti/Esito/") + name;
}

// --- the builder ------------------------------------------------------------------

void TdmZurFileTelIRAP::ScriviIntestazione(TXMLNode& root) const {
  const TClientDataSet& f = m_dati.cdsFrontespizio;
  root.Path(QStringLiteral("Intestazione/CodiceFiscaleFornitore"))
      .SetText(Fld(f, "SIRAPCODFISFORNITORE").AsString());
  TXMLNode& contenuto = root.Child(QStringLiteral("Contenuto"));
  contenuto.SetAttribute(QStringLiteral("CodiceFornitura"), QStringLiteral("IRA25"));
  contenuto.Path(QStringLiteral("Fornitura/Intestazione/TipoFornitore"))
      .SetInteger(Fld(f, "SIRAPTIPOFORNITORE").AsInteger());
}

void TdmZurFileTelIRAP::ScriviDichiarazione(TXMLNode& root) const {
  TXMLNode& dich = root.Path(QStringLiteral("Contenuto/Fornitura/Dichiarazione"));
  dich.SetAttribute(QStringLiteral("identificativo"),
                    Fld(m_dati.cdsCampiAggiuntivi, "SCARCOUNTB").AsString());
  ScriviFrontespizio(dich);
  ScriviDatiContabili(dich);
}

void TdmZurFileTelIRAP::ScriviFrontespizio(TXMLNode& dichiarazione) const {
  const TClientDataSet& f = m_dati.cdsFrontespizio;
  TXMLNode& front = dichiarazione.Child(QStringLiteral("Frontespizio"));
  ApplyRows(front, f, FrontespizioRows());
  ApplyList(front, f, FirmaRevisoreList());
  ApplyRows(front, f, FrontespizioTailRows());
  ApplyRows(front, m_dati.cdsCampiAggiuntivi, ProdSoftwareRows());
}

void TdmZurFileTelIRAP::ScriviDatiContabili(TXMLNode& dichiarazione) const {
  TXMLNode& dati = dichiarazione.Child(QStringLiteral("DatiContabili"));
  if (!m_dati.cdsQuadroIK.IsEmpty()) ScriviQuadroIK(dati);
  ScriviQuadroIR(dati);
  if (!m_dati.cdsQuadroIS.IsEmpty()) ScriviQuadroIS(dati);
}

void TdmZurFileTelIRAP::ScriviQuadroIK(TXMLNode& datiContabili) const {
  ApplyRows(datiContabili.Path(QStringLiteral("QuadroIK/PrimoModulo")), m_dati.cdsQuadroIK, QuadroIKRows());
}

void TdmZurFileTelIRAP::ScriviQuadroIR(TXMLNode& datiContabili) const {
  TXMLNode& modulo = datiContabili.Path(QStringLiteral("QuadroIR/PrimoModulo"));
  const TClientDataSet& ir = m_dati.cdsQuadroIR;
  if (!ir.IsEmpty()) {
    ApplyList(modulo, ir, RipartizioneRegionaleList());
    ApplyRows(modulo, ir, VersamentoRows());
  }
  if (!m_dati.cdsQuadroIRVar.IsEmpty()) ScriviQuadroIRVar(modulo);
}

void TdmZurFileTelIRAP::ScriviQuadroIRVar(TXMLNode& primoModulo) const {
  TXMLNode& lista = primoModulo.Child(QStringLiteral("RipartizioneBaseImpRetrib"));
  TClientDataSet& var = m_dati.cdsQuadroIRVar;
  const QString tag = QStringLiteral("ir:RipartizioneRegionaleRetrib");
  // The form has nine rows; the data checks report more, and a file that
  // silently left rows out would look complete to the agency.
  if (var.RecordCount() > 9)
    throw EZurError(QStringLiteral("Quadro IR: le righe di ripartizione regionale sono %1, il modello ne "
                                   "prevede al massimo 9. Impossibile creare il file telematico")
                        .arg(var.RecordCount()));
  var.First();
  // A row without region code takes its place among the nine too.
  for (int n = 1; !var.Eof() && n < 10; ++n, var.Next()) {
    if (Fld(var, "SIRCODREGIONE").AsString().trimmed().isEmpty()) continue;
    ApplyRows(lista.Add(tag), var, QuadroIRVarRows());
  }
}

void TdmZurFileTelIRAP::ScriviQuadroIS(TXMLNode& datiContabili) const {
  TXMLNode& modulo = datiContabili.Path(QStringLiteral("QuadroIS/PrimoModulo"));
  const TClientDataSet& is = m_dati.cdsQuadroIS;
  for (const TTelSection& s : QuadroISSections()) {
    ApplyRows(modulo, is, s.rows);
    if (s.list) ApplyList(modulo, is, *s.list);
  }
}

std::unique_ptr<TXMLDocument> TdmZurFileTelIRAP::CostruisciDocumento() const {
  auto doc = std::make_unique<TXMLDocument>();
  ScriviIntestazione(doc->Root());
  ScriviDichiarazione(doc->Root());
  return doc;
}

// --- the run ------------------------------------------------------------------------

bool TdmZurFileTelIRAP::ControllaCaselle(QString& detail) const {
  const TClientDataSet& f = m_dati.cdsFrontespizio;
  QString integrativa = QStringLiteral("0");
  if (integrativa == QLatin1String("0")) integrativa = Fld(f, "LIRAPDICHINTEGRATIVA").AsString();
  if (integrativa == QLatin1String("0")) integrativa = Fld(f, "LIRAPDICHINTART2DPR322").AsString();
  const bool isIntegrativa = integrativa != QLatin1String("0");

  struct TQuadro {
    const char* nome;
    const char* casella;
    bool presente;
  };
  const TQuadro quadri[] = {
      {"IK", "LIRAPIK", !m_dati.cdsQuadroIK.IsEmpty()},
      {"IR", "LIRAPIR", !m_dati.cdsQuadroIR.IsEmpty() || !m_dati.cdsQuadroIRVar.IsEmpty()},
      {"IS", "LIRAPIS", !m_dati.cdsQuadroIS.IsEmpty()},
  };
  detail = isIntegrativa ? QStringLiteral("- DICHIARAZIONE INTEGRATIVA:")
                         : QStringLiteral("- DICHIARAZIONE NON INTEGRATIVA:");
  detail += kCrLf;
  bool ok = true;
  for (const TQuadro& q : quadri) {
    const QString box = Fld(f, q.casella).AsString();
    bool allowed;
    QString riga;
    if (q.presente) {
      allowed = box == QLatin1String("1") || (isIntegrativa && box == QLatin1String("2"));
      riga = QStringLiteral(
                 "  E' presente il quadro %1: nella firma della dichiarazione il valore deve essere %2")
                 .arg(QLatin1String(q.nome), isIntegrativa ? QStringLiteral("1 o 2") : QStringLiteral("1"));
    } else {
      allowed = box == QLatin1String("0") || (isIntegrativa && box == QLatin1String("3"));
      riga = QStringLiteral(
                 "  Non è presente il quadro %1: nella firma della dichiarazione il valore deve essere %2")
                 .arg(QLatin1String(q.nome), isIntegrativa ? QStringLiteral("0 o 3") : QStringLiteral("0"));
    }
    if (!allowed) {
      detail += riga + kCrLf;
      ok = false;
    }
  }
  return ok;
}

void TdmZurFileTelIRAP::PreparaDataSet() {
  TClientDataSet& ca = m_dati.cdsCampiAggiuntivi;
  ca.Edit();
  Fld(ca, "ICARCOUNTB").SetAsString(QStringLiteral("1"));
  Fld(ca, "ICARCOUNTC").SetAsInteger(0);
  Fld(ca, "ICARCOUNTI").SetAsInteger(0);
  Fld(ca, "SCARCOUNTB").SetAsString(QStringLiteral("00001"));
  ca.Post();

  const QString filter = QStringLiteral("IAFIID = %1").arg(m_dati.CurrentTaxpayerId());
  for (TClientDataSet* ds : m_dati.StoredDataSets()) {
    if (!ds->Active()) ds->Open();
    ds->SetFiltered(false);
    ds->SetFilter(filter);
    ds->SetFiltered(true);
    ds->First();
  }
}

TdmZurFileTelIRAP::TEsito TdmZurFileTelIRAP::CreaFileTelematico(const QString& fileName) {
  m_esito = TEsito::None;
  PreparaDataSet();

  QString detail;
  if (!ControllaCaselle(detail)) {
    const QString text =
        QStringLiteral("Incongruenza dati rilevazione e quadri IK,IR,IS.\r\r\nDettaglio :\r\n") + detail +
        QStringLiteral("\r\nDesideri continuare ugualmente?");
    if (VxMessageDlg(text, TMsgDlgType::Warning, TMsgDlgButtons::YesNo) != TModalResult::Yes)
      return m_esito = TEsito::Cancelled;
  }

  // Built and rewritten in memory before anything touches the disk: a field
  // that stops the run leaves no file behind.
  const QString text = TestoFile(*CostruisciDocumento());

  QString target = fileName;
  if (target.isEmpty()) {
    const QString dir = DichDir();
    QDir().mkpath(dir);
    target = QLatin1String(kNomeFile);
    if (!Platform().PromptForFileName(target, QStringLiteral("File xml (*.xml)|*.XML"), QStringLiteral("xml"),
                                      {}, dir, true))
      return m_esito = TEsito::Cancelled;
    if (QFileInfo(target).suffix().isEmpty()) target += QLatin1String(".xml");
    if (QFileInfo(target).isRelative()) target = dir + target;
  }
  Salva(target, text);
  return m_esito = TEsito::Completed;
}

// --- the dialog's logic ----------------------------------------------------------------

namespace zurtel {

void ImpostaFornitore(TClientDataSet& f) {
  if (Fld(f, "SIRAPCODFISFORNITORE").AsString().isEmpty()) {
    QString code = Fld(f, "SIRAPCODFISINTERMEDIARIO").AsString();
    if (code.isEmpty()) code = Fld(f, "SIRAPCODFIS").AsString();
    if (code.isEmpty()) code = Fld(f, "SIRAPCODFISRAPFIRMATARIO").AsString();
    f.Edit();
    Fld(f, "SIRAPCODFISFORNITORE").SetAsString(code);
    f.Post();
  }
  if (Fld(f, "SIRAPTIPOFORNITORE").AsString().isEmpty()) {
    f.Edit();
    Fld(f, "SIRAPTIPOFORNITORE").SetAsString(QStringLiteral("01"));
    f.Post();
  }
}

QString ControllaObbligatori(const TClientDataSet& f) {
  if (Fld(f, "SIRAPTIPOFORNITORE").AsString().isEmpty() ||
      Fld(f, "SIRAPCODFISFORNITORE").AsString().isEmpty())
    return QStringLiteral(
        "I dati : \"Tipo fornitore\" e  \"codice fiscale fornitore\" sono campi obbligatori.\n\r"
        "Impossibile creare il file telematico");
  if (Fld(f, "SIRAPDENOM").AsString().isEmpty())
    return QStringLiteral(
        "La \"Denominazione o ragione sociale\" dei \"Soggetti diversi dalle persone fisiche\" è un "
        "campo obbligatorio.\r\nImpossibile creare il file telematico");
  return {};
}

TdmZurFileTelIRAP::TEsito CreaFileDialogo(TdmZurFileTelIRAP& modulo, TClientDataSet& frontespizio,
                                          const QString& fileName) {
  TdmZurFileTelIRAP::TEsito esito = TdmZurFileTelIRAP::TEsito::None;
  const QString errore = ControllaObbligatori(frontespizio);
  if (!errore.isEmpty()) {
    VxMessageDlg(errore, TMsgDlgType::Error, TMsgDlgButtons::OK);
  } else {
    esito = modulo.CreaFileTelematico(fileName);
    VxMessageDlg(esito == TdmZurFileTelIRAP::TEsito::Cancelled
                     ? QStringLiteral("Creazione file telematico annullata.")
                     : QStringLiteral("Creazione file telematico terminata con successo."),
                 TMsgDlgType::Information, TMsgDlgButtons::OK);
  }
  // An earlier result of the agency's checker speaks of another file.
  const QString log = TdmZurFileTelIRAP::ErrorDetailPath();
  if (QFileInfo::exists(log)) QFile::remove(log);
  return esito;
}

} // namespace zurtel
