#include "print/PqlPdf.h"

#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"

#include <QDir>
#include <QFileInfo>
// qpdf 11 asks its users to declare that they use std::shared_ptr.
#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>
#include <cstdio>
#include <set>
#include <vector>

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kPi = 3.14159265358979323846;
constexpr const char* kFontName = "/ZurF1";

// Helvetica advance widths (1/1000 em) of the printable ASCII range, from the
// font's standard metrics; the drawing font is never embedded, so these are
// the widths every viewer uses.
constexpr short kHelveticaAscii[95] = {
    278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278, // ' '../
    556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, // 0..?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778, // @..O
    667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556, // P.._
    333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556, // `..o
    556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};     // p..~

// cp1252 0x80..0x9F, the only range where WinAnsi differs from Latin-1.
constexpr char16_t kWinAnsiHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

short WidthOf(unsigned char c) {
  if (c >= 32 && c < 127) return kHelveticaAscii[c - 32];
  // Accented letters take the width of their base letter, which is how the
  // font's metrics have them.
  if (c >= 0xC0 && c <= 0xC5) return 667;
  if (c == 0xC7 || c == 0xD1 || (c >= 0xD9 && c <= 0xDC)) return 722;
  if (c >= 0xC8 && c <= 0xCB) return 667;
  if ((c >= 0xCC && c <= 0xCF) || (c >= 0xEC && c <= 0xEF)) return 278;
  if (c >= 0xD2 && c <= 0xD6) return 778;
  if (c == 0xDD) return 667;
  if (c == 0xE7 || c == 0xFD || c == 0xFF) return 500;
  return 556;
}

QByteArray Num(double v) {
  return QByteArray::number(std::abs(v) < 0.005 ? 0.0 : v, 'f', 2);
}

QByteArray PdfString(const QByteArray& text) {
  QByteArray out = "(";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '(' || c == ')' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 32 || c >= 127) {
      out += '\\';
      out += QByteArray::number(c, 8).rightJustified(3, '0');
    } else {
      out += ch;
    }
  }
  out += ')';
  return out;
}

std::string ToStd(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

} // namespace

struct TPqlPdf::Document {
  std::shared_ptr<QPDF> pdf;
  QPDFObjectHandle font;
  std::set<QPDFObjGen> wrapped; // pages whose own content is already in q/Q
};

TPqlPdf::TPqlPdf() = default;
TPqlPdf::~TPqlPdf() = default;

TPqlPdf::Document* TPqlPdf::Selected() const {
  auto it = m_docs.find(m_selected);
  return it == m_docs.end() ? nullptr : it->second.get();
}

int TPqlPdf::LoadFromFile(const QString& path) {
  Flush();
  try {
    auto doc = std::make_unique<Document>();
    doc->pdf = QPDF::create();
    doc->pdf->setSuppressWarnings(true);
    doc->pdf->processFile(ToStd(path).c_str());
    // Reading the page tree now turns a damaged file into a failed load
    // instead of a failure at the first copy.
    if (doc->pdf->getAllPages().empty()) return 0;
    const int id = m_nextId++;
    m_docs[id] = std::move(doc);
    m_selected = id;
    m_page = 0;
    return id;
  } catch (const std::exception&) {
    return 0;
  }
}

int TPqlPdf::SelectDocument(int id) {
  if (!m_docs.count(id)) return 0;
  Flush();
  m_selected = id;
  m_page = 0;
  return 1;
}

int TPqlPdf::NewDocument() {
  Flush();
  auto doc = std::make_unique<Document>();
  doc->pdf = QPDF::create();
  doc->pdf->emptyPDF();
  QPDF& pdf = *doc->pdf;
  // Quick PDF's new documents hold one blank page, which the callers delete
  // once their pages are in; keeping that convention keeps their steps.
  auto page = QPDFObjectHandle::newDictionary();
  page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
  page.replaceKey("/MediaBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, 595.28, 841.89)));
  page.replaceKey("/Resources", QPDFObjectHandle::newDictionary());
  page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, ""));
  QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
  const int id = m_nextId++;
  m_docs[id] = std::move(doc);
  m_selected = id;
  m_page = 0;
  return id;
}

int TPqlPdf::RemoveDocument(int id) {
  if (!m_docs.count(id)) return 0;
  if (id == m_selected) {
    m_pending.clear();
    m_selected = 0;
    m_page = 0;
  }
  m_docs.erase(id);
  return 1;
}

int TPqlPdf::CopyPageRanges(int sourceId, const QString& ranges) {
  Document* target = Selected();
  auto src = m_docs.find(sourceId);
  if (!target || src == m_docs.end()) return 0;
  Flush();
  try {
    const auto sourcePages = QPDFPageDocumentHelper(*src->second->pdf).getAllPages();
    const int count = int(sourcePages.size());
    std::vector<int> wanted;
    const QStringList parts = ranges.split(u',');
    for (const QString& part : parts) {
      const QStringList ends = part.split(u'-');
      if (ends.size() > 2) return 0;
      bool ok1 = false, ok2 = false;
      const int first = ends[0].trimmed().toInt(&ok1);
      const int last = ends.size() == 2 ? ends[1].trimmed().toInt(&ok2) : first;
      if (!ok1 || (ends.size() == 2 && !ok2)) return 0;
      if (first < 1 || last < first || last > count) return 0;
      for (int p = first; p <= last; ++p)
        wanted.push_back(p);
    }
    QPDFPageDocumentHelper helper(*target->pdf);
    for (int p : wanted)
      helper.addPage(sourcePages[size_t(p - 1)], false);
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}

int TPqlPdf::PageCount() const {
  Document* doc = Selected();
  return doc ? int(doc->pdf->getAllPages().size()) : 0;
}

int TPqlPdf::SelectPage(int page) {
  Document* doc = Selected();
  if (!doc || page < 1 || page > PageCount()) return 0;
  Flush();
  m_page = page;
  auto box = QPDFPageDocumentHelper(*doc->pdf).getAllPages()[size_t(page - 1)].getMediaBox();
  m_pageHeightPt = 841.89;
  if (box.isRectangle()) m_pageHeightPt = box.getArrayAsRectangle().ury;
  return 1;
}

int TPqlPdf::DeletePages(int first, int count) {
  Document* doc = Selected();
  if (!doc || first < 1 || count < 1 || first + count - 1 > PageCount()) return 0;
  Flush();
  try {
    QPDFPageDocumentHelper helper(*doc->pdf);
    auto pages = helper.getAllPages();
    for (int i = 0; i < count; ++i)
      helper.removePage(pages[size_t(first - 1 + i)]);
    if (m_page >= first) m_page = 0;
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}

double TPqlPdf::ToPointsX(double v) const {
  return m_mm ? v * kPointsPerMm : v;
}

double TPqlPdf::ToPointsY(double v) const {
  const double pt = m_mm ? v * kPointsPerMm : v;
  return m_topLeft ? m_pageHeightPt - pt : pt;
}

void TPqlPdf::EmitText(double xPt, double yPt, double angle, const QByteArray& text) {
  const double rad = angle * kPi / 180.0;
  const double c = std::cos(rad), s = std::sin(rad);
  m_pending += "BT " + QByteArray(kFontName) + ' ' + Num(m_textSize) + " Tf " + Num(c) + ' ' + Num(s) + ' ' +
               Num(-s) + ' ' + Num(c) + ' ' + Num(xPt) + ' ' + Num(yPt) + " Tm " + PdfString(text) +
               " Tj ET\n";
}

int TPqlPdf::DrawRotatedText(double left, double top, double angle, const QString& text) {
  if (!Selected() || m_page == 0) return 0;
  EmitText(ToPointsX(left), ToPointsY(top), angle, ToWinAnsi(text));
  return 1;
}

void TPqlPdf::VxDrawText(int x, int y, const QString& text, double space, int alignment) {
  if (!Selected() || m_page == 0)
    throw EZurError(QStringLiteral("Errore PDF durante: ") + m_lastOperation +
                    QStringLiteral(" (nessuna pagina)"));
  const QByteArray bytes = ToWinAnsi(text);
  if (bytes.isEmpty()) return;
  const double xPt = ToPointsX(x), yPt = ToPointsY(y);
  if (space > 0) {
    const double cell = ToPointsX(space);
    const double total = cell * bytes.size();
    const double start = alignment == 1 ? xPt - total : alignment == 2 ? xPt - total / 2 : xPt;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == ' ') continue;
      const double w = WidthOf(static_cast<unsigned char>(bytes[i])) * m_textSize / 1000.0;
      EmitText(start + cell * double(i) + (cell - w) / 2, yPt, 0, bytes.mid(i, 1));
    }
    return;
  }
  const double w = TextWidth(bytes) * m_textSize;
  EmitText(alignment == 1 ? xPt - w : alignment == 2 ? xPt - w / 2 : xPt, yPt, 0, bytes);
}

void TPqlPdf::Flush() {
  if (m_pending.isEmpty()) return;
  Document* doc = Selected();
  if (!doc || m_page == 0) {
    m_pending.clear();
    return;
  }
  QPDF& pdf = *doc->pdf;
  QPDFPageObjectHelper page = QPDFPageDocumentHelper(pdf).getAllPages()[size_t(m_page - 1)];
  if (!doc->font.isInitialized()) {
    auto font = QPDFObjectHandle::newDictionary();
    font.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
    font.replaceKey("/Subtype", QPDFObjectHandle::newName("/Type1"));
    font.replaceKey("/BaseFont", QPDFObjectHandle::newName("/Helvetica"));
    font.replaceKey("/Encoding", QPDFObjectHandle::newName("/WinAnsiEncoding"));
    doc->font = pdf.makeIndirectObject(font);
  }
  QPDFObjectHandle resources = page.getAttribute("/Resources", true);
  if (!resources.isDictionary()) {
    resources = QPDFObjectHandle::newDictionary();
    page.getObjectHandle().replaceKey("/Resources", resources);
  }
  QPDFObjectHandle fonts = resources.getKey("/Font");
  if (!fonts.isDictionary()) {
    fonts = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/Font", fonts);
  } else if (fonts.isIndirect()) {
    // A font dictionary shared with other pages of the model stays as it was.
    fonts = fonts.shallowCopy();
    resources.replaceKey("/Font", fonts);
  }
  fonts.replaceKey(kFontName, doc->font);
  QByteArray content = "0 g\n" + m_pending;
  if (doc->wrapped.insert(page.getObjectHandle().getObjGen()).second) {
    page.addPageContents(QPDFObjectHandle::newStream(&pdf, "q\n"), true);
    content.prepend("Q\n");
  }
  page.addPageContents(QPDFObjectHandle::newStream(&pdf, content.toStdString()), false);
  m_pending.clear();
}

QByteArray TPqlPdf::SaveToMemory() {
  Document* doc = Selected();
  if (!doc) throw EZurError(QStringLiteral("Errore PDF durante: nessun documento da salvare"));
  Flush();
  try {
    QPDFWriter writer(*doc->pdf);
    writer.setOutputMemory();
    writer.setDeterministicID(true);
    writer.write();
    std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
  } catch (const std::exception& e) {
    throw EZurError(QStringLiteral("Errore PDF durante il salvataggio: ") + QString::fromUtf8(e.what()));
  }
}

int TPqlPdf::SaveToFile(const QString& path) {
  // Written beside the target and renamed over it, so a failure never
  // leaves half a file where the previous print was. No fsync: a print
  // is cheap to redo, and syncing doubled the time of a run.
  try {
    zur::WriteFileAtomically(path, SaveToMemory(), false);
    return 1;
  } catch (const EZurError&) {
    return 0;
  }
}

void TPqlPdf::Check(int result, const QString& step) {
  if (result == 0) throw EZurError(QStringLiteral("Errore PDF durante: ") + step);
}

double TPqlPdf::TextWidth(const QByteArray& winAnsi) {
  double w = 0;
  for (char c : winAnsi)
    w += WidthOf(static_cast<unsigned char>(c));
  return w / 1000.0;
}

QByteArray TPqlPdf::ToWinAnsi(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  for (char32_t u : text.toUcs4()) {
    if ((u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF)) {
      out += char(u);
      continue;
    }
    char mapped = '?';
    for (int i = 0; i < 32; ++i)
      if (kWinAnsiHigh[i] != 0 && kWinAnsiHigh[i] == u) mapped = char(0x80 + i);
    out += mapped;
  }
  return out;
}
