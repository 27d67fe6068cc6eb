#include "print/zurMPDF.h"

#include "dataset/ClientDataSet.h"
#include "dataset/Currency.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"
#include "platform/zurUGlobal.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

[[noreturn]] void NotParsable(const QString& text, const QString& code, const char* what) {
  throw EZurError(QStringLiteral("Valore \"%1\" non valido per il formato %2: serve %3.")
                      .arg(text, code, QLatin1String(what)),
                  EZurError::Kind::Field);
}

// "#,##0" with the Italian thousands separator, whatever the machine's locale.
QString Grouped(qint64 units) {
  const QString digits = QString::number(units < 0 ? -units : units);
  QString out;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += u'.';
    out += digits[i];
  }
  return units < 0 ? u'-' + out : out;
}

Currency Number(const QString& text, const QString& code) {
  auto value = Currency::Parse(text);
  if (!value) NotParsable(text, code, "un numero");
  return *value;
}

QDate Date(const QString& text, const QString& code) {
  QDate d = QDate::fromString(text.trimmed(), QStringLiteral("dd/MM/yyyy"));
  if (!d.isValid()) d = QDate::fromString(text.trimmed(), Qt::ISODate);
  if (!d.isValid()) NotParsable(text, code, "una data");
  return d;
}

// A date kept in a number field counts days from 30/12/1899, as the
// family's Windows date type does (the telematic builder reads such fields
// the same way). No day, or one before that start, is no date: the box
// stays empty rather than showing 30 12 1899.
QString DaySerial(const QString& text, const QString& code) {
  const qint64 days = Number(text, code).ToInteger();
  if (days <= 0) return {};
  return QDate(1899, 12, 30).addDays(days).toString(QStringLiteral("dd MM yyyy"));
}

struct TFormatRule {
  const char* code;
  QString (*format)(const QString& text, const QString& code);
};

const TFormatRule kFormats[] = {
    {"TR", [](const QString& t, const QString& c) { return Grouped(Number(t, c).raw() / Currency::Scale); }},
    {"TA", [](const QString& t, const QString& c) { return Grouped(Number(t, c).ToInteger()); }},
    {"DT",
     [](const QString& t, const QString& c) { return Date(t, c).toString(QStringLiteral("dd MM yyyy")); }},
    {"DA", [](const QString& t, const QString& c) { return Date(t, c).toString(QStringLiteral("dd MM")); }},
    {"DG", DaySerial},
    {"SP", [](const QString& t, const QString&) { return t; }},
    {"CD", [](const QString& t, const QString&) { return t.rightJustified(11, u' '); }},
    {"CB",
     [](const QString& t, const QString&) {
       return t == QLatin1String("1")                                ? QStringLiteral("X")
              : (t == QLatin1String("2") || t == QLatin1String("3")) ? t
                                                                     : QString();
     }},
};

struct TAlignmentRule {
  const char* upper;
  int code;
};
const TAlignmentRule kAlignments[] = {{"TACENTER", 2}, {"TARIGHTJUSTIFY", 1}};

} // namespace

QString FormatPrintValue(const QString& text, const QString& code) {
  if (text.isEmpty()) return {};
  for (const TFormatRule& rule : kFormats)
    if (code == QLatin1String(rule.code)) return rule.format(text, code);
  return text;
}

int PrintAlignment(const QString& alignment) {
  const QString upper = alignment.toUpper();
  for (const TAlignmentRule& rule : kAlignments)
    if (upper == QLatin1String(rule.upper)) return rule.code;
  return 0;
}

TdmZurPDF::TdmZurPDF() = default;
TdmZurPDF::~TdmZurPDF() = default;

QString TdmZurPDF::ModelPath() {
  return CoordPath(QStringLiteral("IRAP_mod.pdf"));
}
QString TdmZurPDF::CoordPath(const QString& fileName) {
  return zur::RootDir() + QLatin1String(zur::kCoordDir) + fileName;
}
QString TdmZurPDF::OutputPath(const QString& fileName) {
  return zur::RootDir() + QLatin1String(zur::kStpDir) + fileName;
}

const QString& TdmZurPDF::ImprintText() {
  static const QString text =
      QStringLiteral("zur24 - Gestione IRAP scuole - Nym Software S.r.l., Pisa (PI)    ");
  return text;
}

bool TdmZurPDF::LoadModel(const QString& modelPath, const QString& coordPath) {
  if (!QFileInfo(modelPath).isFile())
    throw EZurError(QStringLiteral("File mancante ") + modelPath, EZurError::Kind::File, modelPath);
  if (!QFileInfo(coordPath).isFile())
    throw EZurError(QStringLiteral("File mancante ") + coordPath, EZurError::Kind::File, coordPath);

  m_xmlActive = false;
  m_xmlConfig.clear();
  QFile file(coordPath);
  if (!file.open(QIODevice::ReadOnly))
    throw EZurError(QStringLiteral("Impossibile leggere il file ") + coordPath, EZurError::Kind::File,
                    coordPath);
  m_xmlConfig = ParseCoordFile(file.readAll(), coordPath);
  m_coordFile = coordPath;
  m_xmlActive = true;

  m_pdf = std::make_unique<TPqlPdf>();
  if (m_pdf->LoadFromFile(modelPath) == 0)
    throw EZurError(
        QStringLiteral("Il modello PDF %1 è danneggiato o non è un PDF leggibile (Errore PDF durante: "
                       "Caricamento modello base). Sostituirlo con il modello ministeriale originale.")
            .arg(modelPath),
        EZurError::Kind::File, modelPath);
  m_baseDoc = m_pdf->SelectedDocument();
  m_outputDoc = m_pdf->NewDocument();
  TPqlPdf::Check(m_outputDoc, QStringLiteral("Creazione nuovo documento"));
  m_pdf->SetOrigin(1);
  m_pdf->SetMeasurementUnits(1);
  return true;
}

void TdmZurPDF::CopyModelPage(int n) {
  ZurAssert(m_pdf != nullptr, QStringLiteral("CopyModelPage senza modello caricato"));
  const QString step = QStringLiteral("Copia pagina") + QString::number(n);
  TPqlPdf::Check(m_pdf->CopyPageRanges(m_baseDoc, QString::number(n)), step);
  TPqlPdf::Check(m_pdf->SelectPage(m_pdf->PageCount()), step);
  // 747 mm from the top would be off any A4 page; we put the
  // line where it can be read, in the blank strip along the left edge.
  m_pdf->SetTextSize(7);
  m_pdf->DrawRotatedText(kImprintLeft, kImprintTop, 90, ImprintText());
}

bool TdmZurPDF::DrawEdit(const TXMLEditType& edit, int index) {
  const TXMLSectionType section(edit.Parent());
  const QString component = section.Name();
  TClientDataSet* ds = DataSetByName(component);
  if (!ds)
    throw EZurError(QStringLiteral("Componente \"%1\" non trovato (file %2).").arg(component, m_coordFile),
                    EZurError::Kind::File, m_coordFile);
  if (!ds->Active()) return false;
  const QString fieldName = edit.Name();
  TField& field = ds->FieldByName(fieldName);
  const QString code = edit.Type();
  const int alignment = PrintAlignment(edit.Alignment());
  bool formatted = false;
  QString text;
  for (int r = 0, n = edit.Count(); r < n; ++r) {
    const auto place = PlacePrintRect(edit.Item(r), index);
    if (!place) continue;
    if (!formatted) {
      const QString raw = ds->IsEmpty() ? QString() : field.AsString();
      try {
        text = FormatPrintValue(raw, code);
      } catch (const EZurError& e) {
        throw EZurError(QStringLiteral("Campo %1: %2").arg(fieldName, e.message()), EZurError::Kind::Field);
      }
      formatted = true;
    }
    m_pdf->SetLastOperation(QStringLiteral("Scrivi testo: ") + text);
    m_pdf->SetTextSize(place->height);
    m_pdf->VxDrawText(place->x, place->y, text, place->space, alignment);
  }
  return true;
}

bool TdmZurPDF::PrintPage(const QString& pageName) {
  if (!m_xmlActive) return false;
  const auto page = GetPdfConf(m_xmlConfig, m_coordFile).FindPage(pageName);
  if (!page) return false;
  CopyModelPage(page->Template());
  bool ok = true;
  for (int s = 0, ns = page->Count(); ok && s < ns; ++s) {
    const TXMLSectionType section = page->Item(s);
    for (int e = 0, ne = section.Count(); ok && e < ne; ++e)
      ok = DrawEdit(section.Item(e), 0);
  }
  return ok;
}

bool TdmZurPDF::PrintSection(const QString& pageName, const QString& sectionName, int index) {
  if (!m_xmlActive) return false;
  const auto section = GetPdfConf(m_xmlConfig, m_coordFile).FindSection(pageName, sectionName);
  if (!section) return false;
  for (int e = 0, ne = section->Count(); e < ne; ++e)
    DrawEdit(section->Item(e), index);
  return true;
}

int TdmZurPDF::DeleteOutputPages(int first, int count) {
  return m_pdf ? m_pdf->DeletePages(first, count) : 0;
}

void TdmZurPDF::SaveOutput(const QString& path) {
  ZurAssert(m_pdf != nullptr, QStringLiteral("SaveOutput senza modello caricato"));
  // Refused before the folder is made: an output that would replace an input
  // of the program leaves nothing behind.
  zur::CheckOutputPath(path);
  QDir().mkpath(QFileInfo(path).absolutePath());
  // No fsync: a print is cheap to redo, and syncing doubled the time of a run.
  zur::WriteOutputFile(path, m_pdf->SaveToMemory(), false);
  Platform().OpenDocument(QFileInfo(path).absoluteFilePath());
}

void TdmZurPDF::SetModuleCount(const char* field) {
  TClientDataSet* extra = DataSetByName(QStringLiteral("cdsCampiAggiuntivi"));
  ZurAssert(extra != nullptr, QStringLiteral("cdsCampiAggiuntivi mancante"));
  extra->Edit();
  extra->FieldByName(QLatin1String(field)).SetAsString(QStringLiteral("01"));
  extra->Post();
}

void TdmZurPDF::Finish(const QString& outFile, const char* fixedName) {
  DeleteOutputPages(1, 1);
  SaveOutput(outFile.isEmpty() ? OutputPath(QLatin1String(fixedName)) : outFile);
}

namespace {

// The pages that hold a group's form rows: the names the drivers always ask
// for, then continuation pages named after the last of them with a number
// (FRONTE2, IK2, IS5, ...), which the coordinate file holds when the form
// runs longer than the fixed pages.
struct TFormPages {
  const char* coordFile;
  QStringList fixed;
  const char* continuation;
  int next; // number of the first continuation page
};

const TFormPages& FormPagesOf(const QString& coordFile) {
  static const TFormPages groups[] = {
      {"Frontespizio.xml", {QStringLiteral("INTESTA"), QStringLiteral("FRONTE")}, "FRONTE", 2},
      {"QuadroIK.xml", {QStringLiteral("IK")}, "IK", 2},
      {"QuadroIR.xml", {QStringLiteral("IR")}, "IR", 2},
      {"QuadroIS.xml",
       {QStringLiteral("IS"), QStringLiteral("IS2"), QStringLiteral("IS3"), QStringLiteral("IS4")},
       "IS",
       5},
  };
  for (const TFormPages& g : groups)
    if (coordFile == QLatin1String(g.coordFile)) return g;
  throw EZurError(QStringLiteral("Nessun gruppo di stampa per %1").arg(coordFile),
                  EZurError::Kind::Assertion);
}

} // namespace

QString TdmZurPDF::FormPageName(const QString& coordFile, int n) {
  const TFormPages& g = FormPagesOf(coordFile);
  if (n < g.fixed.size()) return g.fixed[n];
  return QLatin1String(g.continuation) + QString::number(g.next + n - int(g.fixed.size()));
}

void TdmZurPDF::PrintFormPages(const QString& coordFile) {
  const TFormPages& g = FormPagesOf(coordFile);
  for (const QString& page : g.fixed)
    PrintPage(page);
  const TXMLPdfConfType conf = GetPdfConf(m_xmlConfig, m_coordFile);
  for (int n = int(g.fixed.size());; ++n) {
    const QString page = FormPageName(coordFile, n);
    if (!conf.FindPage(page)) break;
    PrintPage(page);
  }
}

void TdmZurPDF::PrintFrontespizio(const QString& outFile) {
  LoadModel(ModelPath(), CoordPath(QStringLiteral("Frontespizio.xml")));
  PrintFormPages(QStringLiteral("Frontespizio.xml"));
  Finish(outFile, "Frontespizio.pdf");
}

void TdmZurPDF::PrintQuadroIK(const QString& outFile) {
  SetModuleCount("IIKMODULECOUNT");
  LoadModel(ModelPath(), CoordPath(QStringLiteral("QuadroIK.xml")));
  PrintFormPages(QStringLiteral("QuadroIK.xml"));
  Finish(outFile, "QuadroIK.pdf");
}

void TdmZurPDF::PrintQuadroIR(const QString& outFile) {
  SetModuleCount("IIRMODULECOUNT");
  LoadModel(ModelPath(), CoordPath(QStringLiteral("QuadroIR.xml")));
  PrintFormPages(QStringLiteral("QuadroIR.xml"));
  TClientDataSet* rows = DataSetByName(QStringLiteral("cdsQuadroIRVar"));
  if (rows && rows->Active()) {
    rows->First();
    if (!rows->Eof()) {
      PrintPage(QStringLiteral("IRVAR"));
      for (;;) {
        rows->Next();
        if (rows->Eof()) break;
        PrintSection(QStringLiteral("IRVAR"), QStringLiteral("cdsQuadroIRVar"), rows->RecNo() - 1);
      }
    }
  }
  Finish(outFile, "QuadroIR.pdf");
}

void TdmZurPDF::PrintQuadroIS(const QString& outFile) {
  SetModuleCount("IISMODULECOUNT");
  LoadModel(ModelPath(), CoordPath(QStringLiteral("QuadroIS.xml")));
  PrintFormPages(QStringLiteral("QuadroIS.xml"));
  Finish(outFile, "QuadroIS.pdf");
}

void TdmZurPDF::CreatePrintTemplate(const QString& modelPath, const QString& outFile) {
  LoadModel(modelPath, CoordPath(QStringLiteral("Frontespizio.xml")));
  CopyModelPage(22);
  CopyModelPage(23);
  DeleteOutputPages(1, 1);
  SaveOutput(outFile);
}

bool TdmZurPDF::CreatePrintTemplate() {
  const QString filter = QStringLiteral("Adobe Acrobat (*.pdf)|*.pdf");
  QString model;
  if (!Platform().PromptForFileName(model, filter, QStringLiteral("pdf"),
                                    QStringLiteral("Apri PDF ministeriale IRAP"), QString(), false))
    return false;
  LoadModel(model, CoordPath(QStringLiteral("Frontespizio.xml")));
  CopyModelPage(22);
  CopyModelPage(23);
  DeleteOutputPages(1, 1);
  QString out = QStringLiteral("template.pdf");
  if (!Platform().PromptForFileName(out, filter, QStringLiteral("pdf"),
                                    QStringLiteral("Salva il template con nome"), QString(), true))
    return false;
  SaveOutput(out);
  return true;
}
