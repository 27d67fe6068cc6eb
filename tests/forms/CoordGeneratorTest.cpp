// The coordinate files laid out from the form description: the installed
// ones are what the form's page files give, they cover the form's fields in the
// form's order with the format of each field's kind, the model drawn from
// them has nothing overlapping, and a form longer than its pages continues
// on pages the drivers print.
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "forms/ZurCoordGenerator.h"
#include "platform/zurUGlobal.h"
#include "print/PrintTestSupport.h"
#include "print/zurStandInModel.h"
#include "support/DeclarationFixture.h"
#include "support/ScriptedPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace zurform;
using namespace printtest;

namespace {

const QString kModello = QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/Modello/");
const QString kCoord = QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/CoordStp/");
const char* const kCoordFiles[] = {"Frontespizio.xml", "QuadroIK.xml", "QuadroIR.xml", "QuadroIS.xml"};

QString Q(const char* s) {
  return QString::fromUtf8(s);
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct TEditInfo {
  QString name;
  QString dataSet;
  int cells = 0;
};

// The edits of a coordinate file in file order.
std::vector<TEditInfo> Edits(const QByteArray& xml) {
  std::vector<TEditInfo> out;
  const QDomDocument doc = ParseCoordFile(xml, Q("coord.xml"));
  const TXMLPdfConfType conf = GetPdfConf(doc);
  for (int p = 0; p < conf.Count(); ++p)
    for (int s = 0; s < conf.Item(p).Count(); ++s) {
      const TXMLSectionType section = conf.Item(p).Item(s);
      for (int e = 0; e < section.Count(); ++e) {
        const TXMLEditType edit = section.Item(e);
        out.push_back({edit.Name(), section.Name(), edit.Item(0).Element().attribute(Q("Cells")).toInt()});
      }
    }
  return out;
}

QString FileOf(const TFormPage& page) {
  return page.name == Q("QuadroIRVar") ? Q("QuadroIR.xml") : page.name + Q(".xml");
}

} // namespace

TEST(CoordGenerator, InstalledCoordinateFilesAreWhatTheDescriptionGives) {
  const auto files = BuildCoordFiles(TZurFormDescription::Load(kModello));
  ASSERT_EQ(files.size(), 4u);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].name.toStdString(), kCoordFiles[i]);
    EXPECT_TRUE(files[i].xml == Read(kCoord + files[i].name))
        << qPrintable(files[i].name)
        << " is stale: run zur-mkcoordstp resources/USR/FR2024/Res/Modello "
           "resources/USR/FR2024/Res/CoordStp, "
           "then zur-mkirapmod, and commit both";
  }
}

// Every field of the form's page files prints, in their order, and
// nothing prints that they do not have, besides the fiscal code
// and module number at the head of the pages. (How each prints is the
// concern of the filled declaration's print.)
TEST(CoordGenerator, CoordinatesCoverTheFormsFieldsInItsOrder) {
  const TZurFormDescription form = TZurFormDescription::Load(kModello);
  std::map<QString, std::vector<TEditInfo>> printed; // by file, without the pages' heads
  for (const char* file : kCoordFiles)
    for (const TEditInfo& e : Edits(Read(kCoord + QLatin1String(file)))) {
      const bool head =
          (e.name == Q("SIRAPCODFIS") && e.cells == 16 && QLatin1String(file) != "Frontespizio.xml") ||
          e.name.endsWith(Q("MODULECOUNT"));
      if (!head) printed[QLatin1String(file)].push_back(e);
    }
  // The cover page repeats the fiscal code at the head of its second page.
  auto& front = printed[Q("Frontespizio.xml")];
  const auto isCode = [](const TEditInfo& e) { return e.name == Q("SIRAPCODFIS"); };
  ASSERT_EQ(std::count_if(front.begin(), front.end(), isCode), 2);
  front.erase(std::find_if(std::find_if(front.begin(), front.end(), isCode) + 1, front.end(), isCode));

  std::map<QString, size_t> next;
  int boxes = 0;
  for (const TFormPage& page : form.Pages()) {
    const auto& edits = printed[FileOf(page)];
    size_t& at = next[FileOf(page)];
    for (const TFormField* f : page.Fields())
      for (const QString& name : PrintedFields(*f)) {
        ASSERT_LT(at, edits.size()) << qPrintable(name);
        const TEditInfo& e = edits[at++];
        ASSERT_EQ(e.name.toStdString(), name.toStdString()) << "not in form order";
        EXPECT_EQ(e.dataSet.toStdString(), page.dataSet.toStdString()) << qPrintable(name);
        ++boxes;
      }
    // Hidden fields and those off the form never print.
    for (const TOffFormField& off : page.offForm)
      for (const TEditInfo& e : edits)
        if (e.name == off.name && !off.name.startsWith(Q("LIRAPSESSO")))
          ADD_FAILURE() << qPrintable(off.name);
  }
  for (const auto& [file, edits] : printed)
    EXPECT_EQ(next[file], edits.size()) << qPrintable(file);
  EXPECT_GT(boxes, 500);
}

TEST(CoordGenerator, TheModelDrawsNothingOverlappingAndNothingOffThePage) {
  QStringList files;
  for (const char* f : kCoordFiles)
    files << kCoord + QLatin1String(f);
  const auto drawing = StandInDrawing(files);
  using K = TStandInItem::Kind;
  int checked = 0;
  for (const auto& [page, items] : drawing) {
    std::vector<const TStandInItem*> solid;
    for (const TStandInItem& i : items) {
      if (i.kind != K::Text && i.kind != K::Box) continue;
      // The texts of a band sit inside it by design.
      if (i.kind == K::Text && i.size == standin::kBandPt) continue;
      EXPECT_GE(i.x, standin::kPageLeft - 0.01) << page << " " << qPrintable(i.text);
      EXPECT_LE(i.x + i.w, standin::kPageRight + 0.01) << page << " " << qPrintable(i.text);
      EXPECT_GE(i.y, 5.0) << page << " " << qPrintable(i.text);
      EXPECT_LE(i.y + i.h, 294.0) << page << " " << qPrintable(i.text);
      solid.push_back(&i);
    }
    for (size_t a = 0; a < solid.size(); ++a)
      for (size_t b = a + 1; b < solid.size(); ++b) {
        const TStandInItem& p = *solid[a];
        const TStandInItem& q = *solid[b];
        const double e = 0.05;
        const bool overlap =
            p.x + e < q.x + q.w && q.x + e < p.x + p.w && p.y + e < q.y + q.h && q.y + e < p.y + p.h;
        EXPECT_FALSE(overlap) << "page " << page << ": \"" << qPrintable(p.text) << "\" (" << p.x << ","
                              << p.y << ") and \"" << qPrintable(q.text) << "\" (" << q.x << "," << q.y
                              << ")";
        ++checked;
      }
  }
  EXPECT_GT(checked, 100000);
}

// A quadro whose rows do not fit its one page continues on a second, which
// the driver prints after it: the section's band comes again with "(segue)".
TEST(CoordGenerator, AFormLongerThanItsPageContinuesOnAPageTheDriverPrints) {
  QTemporaryDir dir;
  const QString modello = dir.filePath(Q("Modello/"));
  const QString coord = dir.filePath(Q("USR/FR2024/Res/CoordStp/"));
  QDir().mkpath(modello);
  QDir().mkpath(coord);
  for (const QString& name : TZurFormDescription::PageFiles())
    ASSERT_TRUE(QFile::copy(kModello + name, modello + name));
  // Every amount of IK on a row of its own, FIKVALIRAP1 last.
  QByteArray ik = "<Pagina Nome=\"QuadroIK\" Dataset=\"cdsQuadroIK\" Titolo=\"QUADRO IK - prova\">\n"
                  "<Sezione Codice=\"Sez. I\" Titolo=\"Tutti gli importi\">\n";
  QStringList amounts;
  for (const char* name : TZurCatalogue::Find(Q("cdsQuadroIK"))->catalogue)
    if (name[0] == 'F' && QLatin1String(name) != "FIKVALIRAP1") amounts << QLatin1String(name);
  amounts << Q("FIKVALIRAP1");
  for (qsizetype i = 0; i < amounts.size(); ++i)
    ik += QStringLiteral("<Rigo Codice=\"IK%1\" Descrizione=\"Importo %2\"><Campo Nome=\"%2\"/></Rigo>\n")
              .arg(i + 1)
              .arg(amounts[i])
              .toUtf8();
  ik += "</Sezione>\n</Pagina>\n";
  QFile ikFile(modello + Q("QuadroIK.xml"));
  ASSERT_TRUE(ikFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ikFile.write(ik);
  ikFile.close();

  QStringList coordPaths;
  for (const TCoordFile& f : BuildCoordFiles(TZurFormDescription::Load(modello))) {
    QFile out(coord + f.name);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(f.xml);
    coordPaths << coord + f.name;
  }
  const auto ikEdits = Edits(Read(coord + Q("QuadroIK.xml")));
  ASSERT_TRUE(Read(coord + Q("QuadroIK.xml")).contains("<Page Name=\"IK2\""));
  QFile model(coord + Q("IRAP_mod.pdf"));
  ASSERT_TRUE(model.open(QIODevice::WriteOnly));
  model.write(BuildStandInModel(coordPaths));
  model.close();

  const QString previousRoot = zur::RootDir();
  zur::SetRootDir(dir.path());
  TScriptedPlatform platform;
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  dati.cdsQuadroIK.Append();
  zurtest::Fld(dati.cdsQuadroIK, "FIKVALIRAP1").SetAsString(Q("7654321"));
  dati.cdsQuadroIK.Post();
  dati.PrintQuadroIK(dir.filePath(Q("ik.pdf")));
  zur::SetRootDir(previousRoot);

  ASSERT_EQ(PdfPages(dir.filePath(Q("ik.pdf"))), 2);
  const QString first = PdfText(dir.filePath(Q("ik.pdf")), 1);
  const QString second = PdfText(dir.filePath(Q("ik.pdf")), 2);
  EXPECT_TRUE(first.contains(Q("QUADRO IK - prova (pagina 1)"))) << qPrintable(first);
  EXPECT_TRUE(second.contains(Q("QUADRO IK - prova (pagina 2)"))) << qPrintable(second);
  EXPECT_TRUE(second.contains(Q("Tutti gli importi (segue)")));
  EXPECT_TRUE(second.contains(Q("7.654.321")));
  EXPECT_FALSE(first.contains(Q("7.654.321")));
  // The head of the continuation page: the fiscal code and module number.
  EXPECT_TRUE(second.contains(Q("9 7 1 2 3 4 5 0 5 8 3"))) << qPrintable(second);
  EXPECT_EQ(std::count_if(ikEdits.begin(), ikEdits.end(),
                          [](const TEditInfo& e) { return e.name == Q("IIKMODULECOUNT"); }),
            2);
}
