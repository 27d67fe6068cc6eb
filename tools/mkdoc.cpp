// zur-mkdoc IN.md OUT.pdf: turns one of the program's own documents (the
// clerk's instructions, the release notes), written as Markdown text in the
// repository, into an A4 PDF with Qt's PDF writer. Runs at build time on the
// offscreen platform.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextStream>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 3) {
    QTextStream(stderr) << "uso: zur-mkdoc TESTO.md USCITA.pdf\n";
    return 2;
  }
  QFile in(args[1]);
  if (!in.open(QIODevice::ReadOnly)) {
    QTextStream(stderr) << "impossibile leggere " << args[1] << "\n";
    return 1;
  }
  const QString markdown = QString::fromUtf8(in.readAll());

  // Written beside the target and renamed over it only when complete.
  QSaveFile out(args[2]);
  if (!out.open(QIODevice::WriteOnly)) {
    QTextStream(stderr) << "impossibile scrivere " << args[2] << "\n";
    return 1;
  }
  {
    QPdfWriter pdf(&out);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
    // The document lays out at the screen's 96 dpi; a writer of the same
    // resolution keeps the page width the text is wrapped to.
    pdf.setResolution(96);
    pdf.setTitle(QFileInfo(args[1]).completeBaseName());
    pdf.setCreator(QStringLiteral("zur24"));
    QTextDocument doc;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setMarkdown(markdown);
    // A page size of its own stops print() adding a second margin inside the
    // writer's.
    doc.setPageSize(pdf.pageLayout().paintRectPixels(pdf.resolution()).size());
    doc.print(&pdf);
  }
  if (!out.commit()) {
    QTextStream(stderr) << "impossibile scrivere " << args[2] << "\n";
    return 1;
  }
  return 0;
}
