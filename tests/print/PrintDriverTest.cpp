#include "PrintTestSupport.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"
#include "print/zurStandInModel.h"
#include "support/DeclarationFixture.h"
#include "support/ScriptedPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace printtest;
using zurtest::Fld;

namespace {

const QString kInstalled = QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/CoordStp/");

// A program root of its own holding the installed model and coordinate
// files, so that a test can damage them; the previous root comes back after.
class PrintDriver : public ::testing::Test {
protected:
  void SetUp() override {
    m_previousRoot = zur::RootDir();
    zur::SetRootDir(m_root.path());
    QDir().mkpath(CoordDir());
    for (const QString& name : QDir(kInstalled).entryList(QDir::Files))
      ASSERT_TRUE(QFile::copy(kInstalled + name, CoordDir() + name));
    zurtest::OpenCatalogueDeclaration(m_dati, 7, 1000001, "97123450583");
  }
  void TearDown() override { zur::SetRootDir(m_previousRoot); }

  QString CoordDir() const { return m_root.path() + QStringLiteral("/USR/FR2024/Res/CoordStp/"); }
  QString Out(const char* name) const { return m_root.filePath(QLatin1String(name)); }

  static void Set(TClientDataSet& ds, const char* field, const QString& value) {
    if (ds.IsEmpty())
      ds.Append();
    else
      ds.Edit();
    Fld(ds, field).SetAsString(value);
    ds.Post();
  }
  void AddRegionalRow(const char* region, int base) {
    TClientDataSet& v = m_dati.cdsQuadroIRVar;
    v.Append();
    Fld(v, "SIRCODREGIONE").SetAsString(QLatin1String(region));
    Fld(v, "FIRBASEIMP").SetAsInteger(base);
    v.Post();
  }
  void ReplaceInCoordFile(const char* file, const char* from, const char* to) {
    QFile f(CoordDir() + QLatin1String(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray xml = f.readAll();
    f.close();
    ASSERT_TRUE(xml.contains(from)) << from;
    xml.replace(from, to);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(xml);
  }
  static void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  static QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir m_root;
  QString m_previousRoot;
  TScriptedPlatform m_platform;
  TdmZurDati m_dati;
};

TEST_F(PrintDriver, QuadroIKDrawsItsValuesOnItsOnePageAndSetsTheModuleNumber) {
  Set(m_dati.cdsQuadroIK, "FIKVALIRAP1", QStringLiteral("1234,5"));
  Set(m_dati.cdsQuadroIK, "FIKVALIRAP2", QStringLiteral("98765432,49"));
  m_dati.PrintQuadroIK(Out("ik.pdf"));
  EXPECT_EQ(Fld(m_dati.cdsCampiAggiuntivi, "IIKMODULECOUNT").AsString(), QStringLiteral("01"));
  ASSERT_EQ(PdfPages(Out("ik.pdf")), 1);
  const QString text = PdfText(Out("ik.pdf"));
  EXPECT_TRUE(text.contains(QStringLiteral("QUADRO IK"))) << qPrintable(text);
  EXPECT_TRUE(text.contains(QStringLiteral("1.235")));
  EXPECT_TRUE(text.contains(QStringLiteral("98.765.432")));
  EXPECT_EQ(m_platform.opened(), QStringList{QFileInfo(Out("ik.pdf")).absoluteFilePath()});
}

TEST_F(PrintDriver, AmountsSitRightAlignedInsideTheirBox) {
  Set(m_dati.cdsQuadroIK, "FIKVALIRAP1", QStringLiteral("7654321"));
  m_dati.PrintQuadroIK(Out("ik.pdf"));
  QFile f(CoordDir() + QStringLiteral("QuadroIK.xml"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QDomDocument doc = ParseCoordFile(f.readAll(), f.fileName());
  // The page's form sections each have a Section of their own.
  const auto page = GetPdfConf(doc).FindPage(QStringLiteral("IK"));
  ASSERT_TRUE(page);
  std::optional<TXMLPrintRectType> found;
  for (int s = 0; s < page->Count(); ++s)
    for (int e = 0; e < page->Item(s).Count(); ++e)
      if (page->Item(s).Item(e).Name() == QLatin1String("FIKVALIRAP1")) found = page->Item(s).Item(e).Item(0);
  ASSERT_TRUE(found);
  const TXMLPrintRectType rect = *found;
  const double boxLeft = rect.Left() + rect.Element().attribute(QStringLiteral("BoxDx")).toDouble();
  const double boxRight = boxLeft + rect.Element().attribute(QStringLiteral("BoxWidth")).toDouble();
  const TBox b = WordBox(Out("ik.pdf"), QStringLiteral("7.654.321"));
  ASSERT_GE(b.xMin, 0);
  EXPECT_GT(b.xMin / kPt, boxLeft);
  EXPECT_LT(b.xMax / kPt, boxRight);
  EXPECT_NEAR(b.xMax / kPt, rect.Left(), 0.5);
  EXPECT_LT(b.yMin / kPt, rect.Top());
  EXPECT_GT(b.yMin / kPt, rect.Top() - 3.0);
}

TEST_F(PrintDriver, QuadroIRWithoutRegionalRowsHoldsOnlyTheIRPage) {
  Set(m_dati.cdsQuadroIR, "FIR22", QStringLiteral("500"));
  m_dati.PrintQuadroIR(Out("ir.pdf"));
  ASSERT_EQ(PdfPages(Out("ir.pdf")), FormPages("QuadroIR.xml"));
  const QString text = PdfText(Out("ir.pdf"));
  EXPECT_TRUE(text.contains(QStringLiteral("Determinazione dell'imposta"))) << qPrintable(text);
  EXPECT_FALSE(text.contains(QStringLiteral("IR32 - IR40")));
}

TEST_F(PrintDriver, RegionalRowsGoOnOneIRVarPageEachAtItsIndex) {
  AddRegionalRow("09", 111111);
  AddRegionalRow("12", 222222);
  AddRegionalRow("03", 333333);
  m_dati.PrintQuadroIR(Out("ir.pdf"));
  const int irVar = FormPages("QuadroIR.xml") + 1;
  ASSERT_EQ(PdfPages(Out("ir.pdf")), irVar);
  const QString rows = PdfText(Out("ir.pdf"), irVar);
  EXPECT_TRUE(rows.contains(QStringLiteral("righi IR32 - IR40")));
  const qsizetype r1 = rows.indexOf(QStringLiteral("111.111"));
  const qsizetype r2 = rows.indexOf(QStringLiteral("222.222"));
  const qsizetype r3 = rows.indexOf(QStringLiteral("333.333"));
  ASSERT_GE(r1, 0);
  EXPECT_GT(r2, r1);
  EXPECT_GT(r3, r2);
  // Row n lies in the block of row code IR(31+n).
  EXPECT_GT(r2, rows.indexOf(QStringLiteral("IR33")));
  EXPECT_LT(r2, rows.indexOf(QStringLiteral("IR34")));
  EXPECT_EQ(m_dati.cdsQuadroIRVar.RecNo(), 3);
}

TEST_F(PrintDriver, NineRegionalRowsAllFitTheirPage) {
  for (int i = 1; i <= 10; ++i)
    AddRegionalRow("01", i * 1000 + i);
  m_dati.PrintQuadroIR(Out("ir.pdf"));
  const int irVar = FormPages("QuadroIR.xml") + 1;
  ASSERT_EQ(PdfPages(Out("ir.pdf")), irVar);
  const QString rows = PdfText(Out("ir.pdf"), irVar);
  for (int i = 1; i <= 9; ++i)
    EXPECT_TRUE(rows.contains(QStringLiteral("%1.00%2").arg(i).arg(i))) << i;
  EXPECT_FALSE(rows.contains(QStringLiteral("10.010"))) << "a tenth row has no place on the form";
}

TEST_F(PrintDriver, QuadroISPrintsItsFourPagesInOrder) {
  Set(m_dati.cdsQuadroIS, "FIS01_2", QStringLiteral("42"));
  m_dati.PrintQuadroIS(Out("is.pdf"));
  ASSERT_EQ(PdfPages(Out("is.pdf")), 4);
  for (int p = 1; p <= 4; ++p)
    EXPECT_TRUE(PdfText(Out("is.pdf"), p).contains(QStringLiteral("(pagina %1)").arg(p))) << p;
  EXPECT_EQ(Fld(m_dati.cdsCampiAggiuntivi, "IISMODULECOUNT").AsString(), QStringLiteral("01"));
}

TEST_F(PrintDriver, FrontespizioPrintsItalianLettersOnItsTwoPages) {
  Set(m_dati.cdsFrontespizio, "SIRAPDENOM", QStringLiteral("Istituto Comprensivo Città di Forlì"));
  m_dati.PrintFrontespizio(Out("fr.pdf"));
  ASSERT_EQ(PdfPages(Out("fr.pdf")), 2);
  const QString all = PdfText(Out("fr.pdf"));
  EXPECT_TRUE(all.contains(QStringLiteral("Istituto Comprensivo Città di Forlì"))) << qPrintable(all);
  EXPECT_TRUE(PdfText(Out("fr.pdf"), 1).contains(QStringLiteral("Frontespizio (pagina 1)")));
  EXPECT_TRUE(PdfText(Out("fr.pdf"), 2).contains(QStringLiteral("Frontespizio (pagina 2)")));
}

TEST_F(PrintDriver, MissingModelOrCoordinateFileIsNamed) {
  QFile::remove(CoordDir() + QStringLiteral("QuadroIK.xml"));
  try {
    m_dati.PrintQuadroIK(Out("ik.pdf"));
    FAIL();
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(), QStringLiteral("File mancante ") + CoordDir() + QStringLiteral("QuadroIK.xml"));
  }
  QFile::remove(CoordDir() + QStringLiteral("IRAP_mod.pdf"));
  try {
    m_dati.PrintQuadroIK(Out("ik.pdf"));
    FAIL();
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(), QStringLiteral("File mancante ") + CoordDir() + QStringLiteral("IRAP_mod.pdf"));
  }
  EXPECT_FALSE(QFile::exists(Out("ik.pdf")));
}

TEST_F(PrintDriver, AFailedRunLeavesThePreviousOutputAsItWas) {
  WriteFile(Out("ik.pdf"), "previous");
  const struct {
    const char* from;
    const char* to;
    const char* says;
  } faults[] = {
      {"Name=\"FIKVALIRAP1\"", "Name=\"FIKNESSUNO\"", "FIKNESSUNO"},
      {"Name=\"cdsQuadroIK\"", "Name=\"cdsNessuno\"", "cdsNessuno"},
      {"<PdfConf>", "<PdfConf><Page>", "QuadroIK.xml"},
      {"Name=\"FIKVALIRAP1\" Alignment=\"taRightJustify\" Type=\"TA\"",
       "Name=\"FIKVALIRAP1\" Alignment=\"taRightJustify\" Type=\"DT\"", "FIKVALIRAP1"},
  };
  Set(m_dati.cdsQuadroIK, "FIKVALIRAP1", QStringLiteral("12"));
  for (const auto& fault : faults) {
    const QByteArray original = ReadFile(CoordDir() + QStringLiteral("QuadroIK.xml"));
    ReplaceInCoordFile("QuadroIK.xml", fault.from, fault.to);
    try {
      m_dati.PrintQuadroIK(Out("ik.pdf"));
      ADD_FAILURE() << fault.to;
    } catch (const EZurError& e) {
      EXPECT_TRUE(e.message().contains(QLatin1String(fault.says))) << qPrintable(e.message());
    }
    EXPECT_EQ(ReadFile(Out("ik.pdf")), QByteArray("previous")) << fault.to;
    WriteFile(CoordDir() + QStringLiteral("QuadroIK.xml"), original);
  }
  EXPECT_TRUE(m_platform.opened().isEmpty());
}

TEST_F(PrintDriver, ASecondPrintReplacesTheFirst) {
  Set(m_dati.cdsQuadroIK, "FIKVALIRAP1", QStringLiteral("111"));
  m_dati.PrintQuadroIK();
  const QString fixed = TdmZurPDF::OutputPath(QStringLiteral("QuadroIK.pdf"));
  EXPECT_TRUE(PdfText(fixed).contains(QStringLiteral("111")));
  Set(m_dati.cdsQuadroIK, "FIKVALIRAP1", QStringLiteral("222"));
  m_dati.PrintQuadroIK();
  EXPECT_TRUE(PdfText(fixed).contains(QStringLiteral("222")));
  EXPECT_FALSE(PdfText(fixed).contains(QStringLiteral(" 111")));
  EXPECT_EQ(m_platform.opened().size(), 2);
}

TEST_F(PrintDriver, PrintTemplateHoldsPages22And23OfTheModel) {
  m_dati.CreatePrintTemplate(TdmZurPDF::ModelPath(), Out("template.pdf"));
  ASSERT_EQ(PdfPages(Out("template.pdf")), 2);
  EXPECT_TRUE(PdfText(Out("template.pdf"), 1).contains(QStringLiteral("pagina 22")));
  EXPECT_TRUE(PdfText(Out("template.pdf"), 2).contains(QStringLiteral("pagina 23")));
}

TEST_F(PrintDriver, PrintTemplateAsksForTheModelAndTheDestination) {
  m_platform.AnswerFile(QString(), false);
  EXPECT_FALSE(m_dati.CreatePrintTemplate());
  m_platform.AnswerFile(TdmZurPDF::ModelPath());
  m_platform.AnswerFile(Out("t.pdf"));
  EXPECT_TRUE(m_dati.CreatePrintTemplate());
  EXPECT_EQ(PdfPages(Out("t.pdf")), 2);
  EXPECT_EQ(m_platform.opened(), QStringList{QFileInfo(Out("t.pdf")).absoluteFilePath()});
  m_platform.AnswerFile(TdmZurPDF::ModelPath() + QStringLiteral(".assente"));
  try {
    m_dati.CreatePrintTemplate();
    FAIL();
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().startsWith(QStringLiteral("File mancante "))) << qPrintable(e.message());
  }
}

// The vendor line must show on A4 and stay clear of the form, whose boxes
// start 12 mm from the left edge.
TEST_F(PrintDriver, TheImprintShowsAlongTheLeftEdgeOutsideTheForm) {
  m_dati.PrintQuadroIK(Out("ik.pdf"));
  const TBox b = WordBox(Out("ik.pdf"), QStringLiteral("zur24"));
  ASSERT_GE(b.xMin, 0) << "imprint not found";
  EXPECT_GT(b.xMin / kPt, 3.0);
  EXPECT_LT(b.xMax / kPt, 12.0);
  EXPECT_GT(b.yMin / kPt, 10.0);
  EXPECT_LT(b.yMax / kPt, 287.0);
}

TEST(StandInModel, RegeneratingGivesTheInstalledBytes) {
  QStringList files;
  for (const char* name : {"Frontespizio.xml", "QuadroIK.xml", "QuadroIR.xml", "QuadroIS.xml"})
    files << kInstalled + QLatin1String(name);
  QFile installed(kInstalled + QStringLiteral("IRAP_mod.pdf"));
  ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
  EXPECT_TRUE(BuildStandInModel(files) == installed.readAll())
      << "run zur-mkcoordstp and zur-mkirapmod, then commit the coordinate files and the model";
}

} // namespace
