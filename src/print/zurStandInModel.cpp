#include "print/zurStandInModel.h"

#include "platform/ZurError.h"
#include "print/PqlPdf.h"
#include "print/zurXMLPdfConf.h"

#include <QFile>
#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <map>

namespace {

constexpr double kMm = 72.0 / 25.4;
constexpr double kPageH = 841.89;

QByteArray N(double v) {
  return QByteArray::number(v, 'f', 2);
}

QByteArray Str(const QString& text) {
  QByteArray out = "(";
  for (char ch : TPqlPdf::ToWinAnsi(text)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    if (c >= 127) {
      out += '\\' + QByteArray::number(c, 8).rightJustified(3, '0');
      continue;
    }
    out += ch;
  }
  return out + ')';
}

// One page's drawing, in millimetres from the top-left corner.
struct TCanvas {
  QByteArray ops;
  void Text(double x, double y, double size, const QString& text, bool bold = false) {
    ops += "BT /" + QByteArray(bold ? "F2 " : "F1 ") + N(size) + " Tf " + N(x * kMm) + ' ' +
           N(kPageH - y * kMm) + " Td " + Str(text) + " Tj ET\n";
  }
  void Box(double x, double top, double w, double h, int cells) {
    ops += N(x * kMm) + ' ' + N(kPageH - (top + h) * kMm) + ' ' + N(w * kMm) + ' ' + N(h * kMm) + " re S\n";
    for (int c = 1; c < cells; ++c) {
      const double cx = (x + w * c / cells) * kMm;
      ops += N(cx) + ' ' + N(kPageH - (top + h) * kMm) + " m " + N(cx) + ' ' +
             N(kPageH - (top + h * 0.45) * kMm) + " l S\n";
    }
  }
};

double Attr(const QDomElement& e, const char* name) {
  return e.attribute(QLatin1String(name)).toDouble();
}

void DrawEdit(TCanvas& c, const TXMLEditType& edit) {
  const QDomElement& ee = edit.Element();
  const QString rigo = ee.attribute(QStringLiteral("Rigo"));
  const QString caption = ee.attribute(QStringLiteral("Caption"));
  for (int r = 0; r < edit.Count(); ++r) {
    const TXMLPrintRectType rect = edit.Item(r);
    const int last = rect.MaxIndex() == 0 ? rect.MinIndex() : rect.MaxIndex();
    for (int i = rect.MinIndex(); i <= last; ++i) {
      const auto p = PlacePrintRect(rect, i);
      if (!p) continue;
      const double bx = p->x + Attr(rect.Element(), "BoxDx");
      const double bw = Attr(rect.Element(), "BoxWidth");
      c.Box(bx, p->y - 3.0, bw, 3.8, int(Attr(rect.Element(), "Cells")));
      c.Text(bx, p->y - 3.4, 4.5, caption);
      if (!rigo.isEmpty()) {
        QString code = rigo;
        code.replace(u'#', QStringLiteral("IR%1").arg(32 + i));
        c.Text(Attr(ee, "RigoX"), p->y, 6.5, code, true);
      }
    }
  }
}

} // namespace

QByteArray BuildStandInModel(const QStringList& coordFiles) {
  std::map<int, TCanvas> pages;
  for (const QString& path : coordFiles) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
      throw EZurError(QStringLiteral("File mancante ") + path, EZurError::Kind::File, path);
    const QDomDocument doc = ParseCoordFile(f.readAll(), path);
    const TXMLPdfConfType conf = GetPdfConf(doc, path);
    for (int p = 0; p < conf.Count(); ++p) {
      const TXMLPageType page = conf.Item(p);
      const int t = page.Template();
      if (t < 1 || t > kStandInPages)
        throw EZurError(QStringLiteral("Pagina %1 fuori dal modello in %2").arg(t).arg(path),
                        EZurError::Kind::File, path);
      TCanvas& c = pages[t];
      c.Text(12, 13, 10.5, page.Element().attribute(QStringLiteral("Title")), true);
      for (int s = 0; s < page.Count(); ++s) {
        const TXMLSectionType section = page.Item(s);
        const QString title = section.Element().attribute(QStringLiteral("Title"));
        if (!title.isEmpty()) c.Text(12, 27.5, 7.5, title, true);
        for (int e = 0; e < section.Count(); ++e)
          DrawEdit(c, section.Item(e));
      }
    }
  }

  QPDF pdf;
  pdf.emptyPDF();
  auto font = [&](const char* base) {
    auto f = QPDFObjectHandle::newDictionary();
    f.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
    f.replaceKey("/Subtype", QPDFObjectHandle::newName("/Type1"));
    f.replaceKey("/BaseFont", QPDFObjectHandle::newName(base));
    f.replaceKey("/Encoding", QPDFObjectHandle::newName("/WinAnsiEncoding"));
    return pdf.makeIndirectObject(f);
  };
  auto fonts = QPDFObjectHandle::newDictionary();
  fonts.replaceKey("/F1", font("/Helvetica"));
  fonts.replaceKey("/F2", font("/Helvetica-Bold"));
  auto resources = QPDFObjectHandle::newDictionary();
  resources.replaceKey("/Font", fonts);
  resources = pdf.makeIndirectObject(resources);

  QPDFPageDocumentHelper helper(pdf);
  for (int n = 1; n <= kStandInPages; ++n) {
    TCanvas& c = pages[n];
    if (c.ops.isEmpty()) c.Text(12, 13, 10.5, QStringLiteral("MODELLO IRAP 2025 - pagina %1").arg(n), true);
    c.Text(95, 292, 6, QStringLiteral("Modello sostitutivo generato da zur-mkirapmod - pagina %1").arg(n));
    const QByteArray content = "0.3 w 0.35 G 0 g\n" + c.ops;
    auto page = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox",
                    QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, 595.28, kPageH)));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content.toStdString()));
    helper.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
  }
  QPDFWriter writer(pdf);
  writer.setOutputMemory();
  writer.setDeterministicID(true);
  writer.write();
  auto buffer = writer.getBufferSharedPointer();
  return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}
