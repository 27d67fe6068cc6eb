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

using namespace standin;

namespace {

constexpr double kMm = 72.0 / 25.4;
constexpr double kPageH = 841.89;
// Helvetica-Bold runs about a tenth wider than Helvetica; the model only
// sets short codes in bold, so the estimate is enough to keep them apart.
constexpr double kBoldFactor = 1.1;

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

constexpr double kAscent = 0.718; // Helvetica's, in ems
constexpr double kDescent = 0.207;

// One page's drawing, in millimetres from the top-left corner, kept as
// items so that what is drawn can also be measured.
struct TCanvas {
  std::vector<TStandInItem> items;
  void Text(double x, double y, double size, const QString& text, bool bold = false) {
    if (text.isEmpty()) return;
    const double pt = 25.4 / 72.0;
    TStandInItem item;
    item.kind = TStandInItem::Kind::Text;
    item.x = x;
    item.y = y - kAscent * size * pt;
    item.w = TextWidthMm(text, size, bold);
    item.h = (kAscent + kDescent) * size * pt;
    item.text = text;
    item.size = size;
    item.bold = bold;
    items.push_back(item);
  }
  void Lines(double x, double y, double size, const QStringList& lines, double leading) {
    for (qsizetype i = 0; i < lines.size(); ++i)
      Text(x, y + double(i) * leading, size, lines[i]);
  }
  // A box of cells with short ticks between them, as the form draws them.
  void Cells(double x, double top, double w, double h, int cells) {
    items.push_back({TStandInItem::Kind::Box, x, top, w, h, {}, 0, false, cells});
  }
  void Band(double top, double h) {
    items.push_back({TStandInItem::Kind::Band, kPageLeft, top, kPageRight - kPageLeft, h, {}, 0, false, 0});
  }
  void Rule(double y) {
    items.push_back({TStandInItem::Kind::Rule, kPageLeft, y, kPageRight - kPageLeft, 0, {}, 0, false, 0});
  }
};

// The page's content stream: bands first, so that their text stays on top.
QByteArray Render(const std::vector<TStandInItem>& items) {
  QByteArray ops = "0.3 w 0.35 G 0 g\n";
  auto y = [](double mm) { return N(kPageH - mm * kMm); };
  for (const TStandInItem& i : items)
    if (i.kind == TStandInItem::Kind::Band)
      ops += "0.86 g " + N(i.x * kMm) + ' ' + y(i.y + i.h) + ' ' + N(i.w * kMm) + ' ' + N(i.h * kMm) +
             " re f 0 g\n";
  for (const TStandInItem& i : items) {
    switch (i.kind) {
    case TStandInItem::Kind::Band:
      break;
    case TStandInItem::Kind::Rule:
      ops += "0.75 G 0.2 w " + N(i.x * kMm) + ' ' + y(i.y) + " m " + N((i.x + i.w) * kMm) + ' ' + y(i.y) +
             " l S 0.35 G 0.3 w\n";
      break;
    case TStandInItem::Kind::Box:
      ops += N(i.x * kMm) + ' ' + y(i.y + i.h) + ' ' + N(i.w * kMm) + ' ' + N(i.h * kMm) + " re S\n";
      for (int c = 1; c < i.cells; ++c) {
        const double cx = (i.x + i.w * c / i.cells) * kMm;
        ops += N(cx) + ' ' + y(i.y + i.h) + " m " + N(cx) + ' ' + y(i.y + i.h * 0.45) + " l S\n";
      }
      break;
    case TStandInItem::Kind::Text: {
      const double baseline = i.y + kAscent * i.size * 25.4 / 72.0;
      ops += "BT /" + QByteArray(i.bold ? "F2 " : "F1 ") + N(i.size) + " Tf " + N(i.x * kMm) + ' ' +
             y(baseline) + " Td " + Str(i.text) + " Tj ET\n";
      break;
    }
    }
  }
  return ops;
}

double Attr(const QDomElement& e, const char* name) {
  QString text = e.attribute(QLatin1String(name)).trimmed();
  text.replace(u',', u'.');
  return text.toDouble();
}

QString Text(const QDomElement& e, const char* name) {
  return e.attribute(QLatin1String(name));
}

void DrawBox(TCanvas& c, const QDomElement& r, double x, double y) {
  const double left = x + Attr(r, "BoxDx");
  const double width = Attr(r, "BoxWidth");
  if (width <= 0) return;
  const double top = y - kBoxAbove, height = kBoxAbove + kBoxBelow;
  const QStringList groups = Text(r, "Groups").split(u',', Qt::SkipEmptyParts);
  if (groups.isEmpty()) {
    c.Cells(left, top, width, height, int(Attr(r, "Cells")));
    return;
  }
  // Groups of cells with one blank cell between them, the whole spanning
  // Cells cells: the day, month and year of a date.
  const double cell = width / std::max(1.0, Attr(r, "Cells"));
  double gx = left;
  for (const QString& g : groups) {
    const int n = g.trimmed().toInt();
    if (n <= 0) continue;
    c.Cells(gx, top, cell * n, height, n);
    gx += cell * (n + 1);
  }
}

// The row code, caption and rule, the column header and the box of one edit
// at repetition index i, moved by (dx, dy) from where index MinIndex sits.
void DrawEditAt(TCanvas& c, const QDomElement& e, const QDomElement& r, int i, double x, double y, double dx,
                double dy) {
  if (e.hasAttribute(QStringLiteral("RuleY"))) c.Rule(Attr(e, "RuleY") + dy);
  const QString rigo = Text(e, "Rigo");
  if (!rigo.isEmpty())
    c.Text(Attr(e, "RigoX") + dx, Attr(e, "RigoY") + dy, kRigoPt,
           RepeatedRowCode(rigo, i, int(Attr(e, "RigoStep"))), true);
  const QString caption = Text(e, "Caption");
  if (!caption.isEmpty())
    c.Lines(Attr(e, "CaptionX") + dx, Attr(e, "CaptionY") + dy, kCaptionPt,
            WrapText(caption, kCaptionPt, Attr(e, "CaptionW")), kCaptionLeading);
  const QString column = Text(e, "Column");
  const QString header = Text(e, "Header");
  if (!column.isEmpty() || !header.isEmpty()) {
    double hx = Attr(e, "HeaderX") + dx;
    double width = Attr(e, "HeaderW");
    if (!column.isEmpty()) {
      const double w = TextWidthMm(column, kHeaderPt, true) + 0.8;
      hx += w;
      width -= w;
    }
    const QStringList lines = WrapText(header, kHeaderPt, width);
    const double last = y - kBoxAbove - 0.7;
    const double first = last - double(std::max<qsizetype>(lines.size(), 1) - 1) * kHeaderLeading;
    if (!column.isEmpty()) c.Text(Attr(e, "HeaderX") + dx, first, kHeaderPt, column, true);
    c.Lines(hx, first, kHeaderPt, lines, kHeaderLeading);
  }
  DrawBox(c, r, x, y);
}

void DrawEdit(TCanvas& c, const TXMLEditType& edit) {
  const QDomElement& e = edit.Element();
  for (int r = 0; r < edit.Count(); ++r) {
    const TXMLPrintRectType rect = edit.Item(r);
    const auto origin = PlacePrintRect(rect, rect.MinIndex());
    if (!origin) continue;
    const int last = rect.MaxIndex() == 0 ? rect.MinIndex() : rect.MaxIndex();
    for (int i = rect.MinIndex(); i <= last; ++i) {
      const auto p = PlacePrintRect(rect, i);
      if (!p) continue;
      DrawEditAt(c, e, rect.Element(), i - rect.MinIndex(), p->x, p->y, p->x - origin->x, p->y - origin->y);
    }
  }
}

void DrawSectionBand(TCanvas& c, const QDomElement& s) {
  if (!s.hasAttribute(QStringLiteral("Top"))) return;
  const QString code = Text(s, "Code");
  const QString title = Text(s, "Title");
  if (code.isEmpty() && title.isEmpty()) return;
  const double top = Attr(s, "Top");
  c.Band(top, kBandHeight);
  double x = kPageLeft + 1.5;
  if (!code.isEmpty()) {
    c.Text(x, top + kBandBaseline, kBandPt, code, true);
    x += TextWidthMm(code, kBandPt, true) + 3;
  }
  c.Text(x, top + kBandBaseline, kBandPt, title);
}

} // namespace

namespace standin {

double TextWidthMm(const QString& text, double points, bool bold) {
  return TPqlPdf::TextWidth(TPqlPdf::ToWinAnsi(text)) * points / kMm * (bold ? kBoldFactor : 1.0);
}

QStringList WrapText(const QString& text, double points, double widthMm) {
  QStringList lines;
  QString line;
  for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
    const QString candidate = line.isEmpty() ? word : line + u' ' + word;
    if (!line.isEmpty() && TextWidthMm(candidate, points) > widthMm) {
      lines << line;
      line = word;
    } else {
      line = candidate;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines;
}

QString RepeatedRowCode(const QString& code, int i, int step) {
  qsizetype start = code.size();
  while (start > 0 && code[start - 1].isDigit())
    --start;
  if (start == code.size() || step == 0) return code;
  const QString digits = code.mid(start);
  return code.left(start) +
         QStringLiteral("%1").arg(digits.toInt() + i * step, int(digits.size()), 10, QLatin1Char('0'));
}

} // namespace standin

std::map<int, std::vector<TStandInItem>> StandInDrawing(const QStringList& coordFiles) {
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
      c.Text(kPageLeft, 13, kTitlePt, page.Element().attribute(QStringLiteral("Title")), true);
      for (int s = 0; s < page.Count(); ++s) {
        const TXMLSectionType section = page.Item(s);
        DrawSectionBand(c, section.Element());
        for (int e = 0; e < section.Count(); ++e)
          DrawEdit(c, section.Item(e));
      }
    }
  }
  std::map<int, std::vector<TStandInItem>> out;
  for (int n = 1; n <= kStandInPages; ++n) {
    TCanvas& c = pages[n];
    if (c.items.empty())
      c.Text(kPageLeft, 13, kTitlePt, QStringLiteral("MODELLO IRAP 2025 - pagina %1").arg(n), true);
    c.Text(95, 292, 6, QStringLiteral("Modello sostitutivo generato da zur-mkirapmod - pagina %1").arg(n));
    out[n] = std::move(c.items);
  }
  return out;
}

QByteArray BuildStandInModel(const QStringList& coordFiles) {
  const auto drawing = StandInDrawing(coordFiles);
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
  for (const auto& [n, items] : drawing) {
    const QByteArray content = Render(items);
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
