#pragma once

#include "print/PqlPdf.h"
#include "print/zurXMLPdfConf.h"
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <vector>

// Reading printed PDFs back the way a person would: the text of each page
// with pdftotext, the page count through the engine.
namespace printtest {

inline QString PdfText(const QString& path, int page = 0, const QStringList& extra = {"-layout"}) {
  QProcess p;
  QStringList args = extra;
  if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
  args << path << "-";
  p.start(QStringLiteral("pdftotext"), args);
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

inline int PdfPages(const QString& path) {
  TPqlPdf pdf;
  return pdf.LoadFromFile(path) != 0 ? pdf.PageCount() : -1;
}

// The first word box of pdftotext -bbox equal to word: xMin, yMin, xMax, yMax
// in points; all -1 when absent.
struct TBox {
  double xMin = -1, yMin = -1, xMax = -1, yMax = -1;
};
inline TBox WordBox(const QString& path, const QString& word) {
  const QString html = PdfText(path, 0, {"-bbox"});
  const QString needle = QStringLiteral(">") + word + QStringLiteral("</word>");
  const qsizetype end = html.indexOf(needle);
  if (end < 0) return {};
  const qsizetype start = html.lastIndexOf(QStringLiteral("<word"), end);
  const QString tag = html.mid(start, end - start);
  auto attr = [&](const char* name) {
    const QString key = QString::fromLatin1(name) + QStringLiteral("=\"");
    const qsizetype i = tag.indexOf(key) + key.size();
    return tag.mid(i, tag.indexOf(u'"', i) - i).toDouble();
  };
  return {attr("xMin"), attr("yMin"), attr("xMax"), attr("yMax")};
}

constexpr double kPt = 72.0 / 25.4;

// Every word of every page as pdftotext -bbox reads it, in millimetres from
// the page's top-left corner; pages[0] is page 1.
struct TWord {
  QString text;
  double xMin, yMin, xMax, yMax;
  double CenterX() const { return (xMin + xMax) / 2; }
  double CenterY() const { return (yMin + yMax) / 2; }
};
inline std::vector<std::vector<TWord>> PdfWords(const QString& path) {
  const QString html = PdfText(path, 0, {"-bbox"});
  std::vector<std::vector<TWord>> pages;
  static const QRegularExpression page(QStringLiteral("<page |<word ([^>]*)>([^<]*)</word>"));
  static const QRegularExpression attr(QStringLiteral("(\\w+)=\"([^\"]*)\""));
  for (auto m = page.globalMatch(html); m.hasNext();) {
    const auto w = m.next();
    if (w.captured(0).startsWith(QLatin1String("<page"))) {
      pages.emplace_back();
      continue;
    }
    if (pages.empty()) continue;
    TWord word{w.captured(2), 0, 0, 0, 0};
    word.text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    for (auto a = attr.globalMatch(w.captured(1)); a.hasNext();) {
      const auto kv = a.next();
      const double v = kv.captured(2).toDouble() / kPt;
      if (kv.captured(1) == QLatin1String("xMin")) word.xMin = v;
      if (kv.captured(1) == QLatin1String("yMin")) word.yMin = v;
      if (kv.captured(1) == QLatin1String("xMax")) word.xMax = v;
      if (kv.captured(1) == QLatin1String("yMax")) word.yMax = v;
    }
    pages.back().push_back(word);
  }
  return pages;
}

// The pages of an installed coordinate file that hold its group's form rows
// (all but the regional rows' IRVAR): the pages a print of the group has
// before any regional rows.
inline int FormPages(const char* coordFile) {
  QFile f(QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/CoordStp/") + QLatin1String(coordFile));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QDomDocument doc = ParseCoordFile(f.readAll(), f.fileName());
  const TXMLPdfConfType conf = GetPdfConf(doc);
  int pages = 0;
  for (int p = 0; p < conf.Count(); ++p)
    pages += conf.Item(p).Name() != QLatin1String("IRVAR");
  return pages;
}

} // namespace printtest
