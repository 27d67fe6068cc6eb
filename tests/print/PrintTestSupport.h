#pragma once

#include "print/PqlPdf.h"
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

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

} // namespace printtest
