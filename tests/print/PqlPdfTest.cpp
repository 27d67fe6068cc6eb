#include "print/PqlPdf.h"
#include "PrintTestSupport.h"
#include "platform/ZurError.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace printtest;

namespace {

// A source of n pages whose page k shows "Pagina k".
QString MakeSource(const QTemporaryDir& dir, int n) {
  TPqlPdf pdf;
  const int doc = pdf.NewDocument();
  for (int k = 1; k < n; ++k)
    pdf.CopyPageRanges(doc, QStringLiteral("1"));
  pdf.SetOrigin(1);
  pdf.SetMeasurementUnits(1);
  pdf.SetTextSize(12);
  for (int k = 1; k <= n; ++k) {
    pdf.SelectPage(k);
    pdf.DrawRotatedText(20, 20, 0, QStringLiteral("Pagina%1").arg(k));
  }
  const QString path = dir.filePath(QStringLiteral("src.pdf"));
  EXPECT_EQ(pdf.SaveToFile(path), 1);
  return path;
}

TEST(PqlPdf, CopyPageRangesAppendsTheListedPagesInOrder) {
  QTemporaryDir dir;
  const QString src = MakeSource(dir, 8);
  TPqlPdf pdf;
  const int source = pdf.LoadFromFile(src);
  ASSERT_NE(source, 0);
  EXPECT_EQ(pdf.PageCount(), 8);
  pdf.NewDocument();
  ASSERT_EQ(pdf.CopyPageRanges(source, QStringLiteral("7,2-3,5")), 1);
  ASSERT_EQ(pdf.DeletePages(1, 1), 1);
  const QString out = dir.filePath(QStringLiteral("out.pdf"));
  ASSERT_EQ(pdf.SaveToFile(out), 1);
  ASSERT_EQ(PdfPages(out), 4);
  const char* expected[] = {"Pagina7", "Pagina2", "Pagina3", "Pagina5"};
  for (int p = 1; p <= 4; ++p)
    EXPECT_EQ(PdfText(out, p).trimmed(), QLatin1String(expected[p - 1]));
}

TEST(PqlPdf, BadRangeListsCopyNothing) {
  QTemporaryDir dir;
  TPqlPdf pdf;
  const int source = pdf.LoadFromFile(MakeSource(dir, 3));
  pdf.NewDocument();
  for (const char* bad : {"", "0", "4", "2-1", "1-", "a", "1,,2", "1-2-3", "1-4"}) {
    EXPECT_EQ(pdf.CopyPageRanges(source, QLatin1String(bad)), 0) << bad;
    EXPECT_EQ(pdf.PageCount(), 1) << bad;
  }
}

TEST(PqlPdf, FilesThatAreNotPdfDoNotLoad) {
  QTemporaryDir dir;
  const QString junk = dir.filePath(QStringLiteral("junk.pdf"));
  QFile f(junk);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("%PDF-1.4\nnot really\n");
  f.close();
  TPqlPdf pdf;
  EXPECT_EQ(pdf.LoadFromFile(junk), 0);
  EXPECT_EQ(pdf.LoadFromFile(dir.filePath(QStringLiteral("absent.pdf"))), 0);
  EXPECT_THROW(TPqlPdf::Check(0, QStringLiteral("Passo")), EZurError);
  EXPECT_NO_THROW(TPqlPdf::Check(7, QStringLiteral("Passo")));
}

TEST(PqlPdf, ItalianLettersTravelInWinAnsi) {
  EXPECT_EQ(TPqlPdf::ToWinAnsi(QStringLiteral("àèéìòù€’")), QByteArray("\xe0\xe8\xe9\xec\xf2\xf9\x80\x92"));
  EXPECT_EQ(TPqlPdf::ToWinAnsi(QStringLiteral("a\u4e2db")), QByteArray("a?b"));
  QTemporaryDir dir;
  TPqlPdf pdf;
  pdf.NewDocument();
  pdf.SetOrigin(1);
  pdf.SetMeasurementUnits(1);
  pdf.SelectPage(1);
  pdf.SetTextSize(10);
  pdf.VxDrawText(20, 30, QStringLiteral("Attività però città (è) \\ ok"), 0, 0);
  const QString out = dir.filePath(QStringLiteral("it.pdf"));
  ASSERT_EQ(pdf.SaveToFile(out), 1);
  EXPECT_EQ(PdfText(out).trimmed(), QStringLiteral("Attività però città (è) \\ ok"));
}

// One character per box: boxes of Space mm from x (left), ending at x
// (right) or centred on x; each character centred in its box.
TEST(PqlPdf, VxDrawTextLaysOneCharacterPerBox) {
  struct TCase {
    int alignment;
    double firstBoxLeftMm;
  };
  for (const TCase c : {TCase{0, 100}, TCase{1, 100 - 3 * 5.0}, TCase{2, 100 - 1.5 * 5.0}}) {
    QTemporaryDir dir;
    TPqlPdf pdf;
    pdf.NewDocument();
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
    pdf.SelectPage(1);
    pdf.SetTextSize(10);
    pdf.VxDrawText(100, 50, QStringLiteral("WMW"), 5, c.alignment);
    const QString out = dir.filePath(QStringLiteral("b.pdf"));
    ASSERT_EQ(pdf.SaveToFile(out), 1);
    const TBox first = WordBox(out, QStringLiteral("W"));
    ASSERT_GE(first.xMin, 0) << c.alignment;
    const double centre = (first.xMin + first.xMax) / 2 / kPt;
    EXPECT_NEAR(centre, c.firstBoxLeftMm + 2.5, 0.3) << c.alignment;
    EXPECT_NEAR(first.yMax / kPt, 50, 1.5) << "baseline at y";
  }
}

TEST(PqlPdf, VxDrawTextAlignsARunAboutX) {
  for (int alignment : {0, 1, 2}) {
    QTemporaryDir dir;
    TPqlPdf pdf;
    pdf.NewDocument();
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
    pdf.SelectPage(1);
    pdf.SetTextSize(12);
    pdf.VxDrawText(100, 50, QStringLiteral("1.234"), 0, alignment);
    const QString out = dir.filePath(QStringLiteral("r.pdf"));
    ASSERT_EQ(pdf.SaveToFile(out), 1);
    const TBox b = WordBox(out, QStringLiteral("1.234"));
    ASSERT_GE(b.xMin, 0);
    const double anchor = alignment == 0 ? b.xMin : alignment == 1 ? b.xMax : (b.xMin + b.xMax) / 2;
    EXPECT_NEAR(anchor / kPt, 100, 0.5) << alignment;
  }
}

TEST(PqlPdf, AFailedSaveLeavesThePreviousFile) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("keep.pdf"));
  QFile f(out);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("previous");
  f.close();
  TPqlPdf pdf;
  EXPECT_EQ(pdf.SaveToFile(out), 0) << "no document selected";
  pdf.NewDocument();
  EXPECT_EQ(pdf.SaveToFile(dir.filePath(QStringLiteral("no/such/dir/x.pdf"))), 0);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("previous"));
}

} // namespace
