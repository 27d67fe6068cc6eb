#include "platform/ZurError.h"
#include "print/zurXMLPdfConf.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QDomDocument Doc(const char* xml) {
  return ParseCoordFile(QByteArray(xml), QStringLiteral("test.xml"));
}

TXMLPrintRectType Rect(QDomDocument& doc, const char* attributes) {
  doc =
      Doc((QByteArray(
               "<PdfConf><Page Name='P'><Section Name='S'><Edit Name='E' Alignment='' Type=''><PrintRect ") +
           attributes + "/></Edit></Section></Page></PdfConf>")
              .constData());
  return GetPdfConf(doc).Item(0).Item(0).Item(0).Item(0);
}

TEST(CoordFile, NumbersThatAreMissingOrDoNotConvertReadZero) {
  QDomDocument doc;
  const TXMLPrintRectType r = Rect(doc, "Top='12' Left='x7' Space='abc' vOffset='2,5'");
  EXPECT_EQ(r.Top(), 12);
  EXPECT_EQ(r.Left(), 0);
  EXPECT_EQ(r.Height(), 0);
  EXPECT_EQ(r.Space(), 0.0);
  EXPECT_EQ(r.VOffset(), 2.5);
  EXPECT_EQ(r.MaxIndex(), 0);
  EXPECT_EQ(Rect(doc, "Space='nan' vOffset='inf'").Space(), 0.0);
}

TEST(CoordFile, TextAttributesAreRequiredAndUntrimmed) {
  const QDomDocument doc = Doc("<PdfConf><Page Name=' IK ' Template='3'><Section Name='cdsQuadroIK'>"
                               "<Edit Name='F' Type='TA'/></Section></Page></PdfConf>");
  const TXMLPageType page = GetPdfConf(doc).Item(0);
  EXPECT_EQ(page.Name(), QStringLiteral(" IK "));
  EXPECT_EQ(page.Template(), 3);
  const TXMLEditType edit = page.Item(0).Item(0);
  EXPECT_EQ(edit.Type(), QStringLiteral("TA"));
  EXPECT_EQ(edit.Count(), 0);
  EXPECT_THROW(edit.Alignment(), EZurError);
  EXPECT_THROW(page.Item(0).Repeat(), EZurError);
  EXPECT_EQ(TXMLSectionType(edit.Parent()).Name(), QStringLiteral("cdsQuadroIK"));
}

TEST(CoordFile, MalformedFilesAndOtherRootsAreRefusedNamingTheFile) {
  for (const char* bad : {"", "<PdfConf><Page>", "<Conf/>", "not xml"}) {
    try {
      Doc(bad);
      ADD_FAILURE() << bad;
    } catch (const EZurError& e) {
      EXPECT_TRUE(e.message().contains(QStringLiteral("test.xml"))) << qPrintable(e.message());
    }
  }
}

TEST(CoordFile, WholePageLookupIsExactSectionLookupIgnoresCase) {
  const QDomDocument doc = Doc("<PdfConf>"
                               "<Page Name='ik' Template='1'><Section Name='cdsQuadroIK'/></Page>"
                               "<Page Name='IK' Template='2'><Section Name='CDSQUADROIK'/></Page>"
                               "<Page Name='IK' Template='3'/>"
                               "</PdfConf>");
  const TXMLPdfConfType conf = GetPdfConf(doc);
  ASSERT_TRUE(conf.FindPage(QStringLiteral("IK")));
  EXPECT_EQ(conf.FindPage(QStringLiteral("IK"))->Template(), 2);
  EXPECT_FALSE(conf.FindPage(QStringLiteral("Ik")));
  const auto section = conf.FindSection(QStringLiteral("IK"), QStringLiteral("cdsquadroik"));
  ASSERT_TRUE(section);
  EXPECT_EQ(section->Name(), QStringLiteral("cdsQuadroIK"));
  EXPECT_FALSE(conf.FindSection(QStringLiteral("IR"), QStringLiteral("cdsQuadroIK")));
}

TEST(CoordFile, BindingWritesGoToTheDocument) {
  QDomDocument doc = Doc("<PdfConf/>");
  TXMLPdfConfType conf = GetPdfConf(doc);
  TXMLPageType second = conf.Add();
  second.SetName(QStringLiteral("B"));
  TXMLPageType first = conf.Insert(0);
  first.SetName(QStringLiteral("A"));
  first.SetTemplate(22);
  TXMLPrintRectType r = first.Add().Add().Add();
  r.SetVOffset(4.5);
  EXPECT_EQ(conf.Count(), 2);
  EXPECT_EQ(conf.Item(0).Name(), QStringLiteral("A"));
  EXPECT_EQ(GetPdfConf(doc).Item(0).Template(), 22);
  EXPECT_EQ(GetPdfConf(doc).Item(0).Item(0).Item(0).Item(0).VOffset(), 4.5);
}

struct TPlaceCase {
  const char* attributes;
  int index;
  std::optional<std::pair<int, int>> xy;
};

TEST(CoordFile, RectangleSelectionAndPlacement) {
  const TPlaceCase cases[] = {
      // MaxIndex 0 serves every index, shifted from MinIndex, even backwards.
      {"Top='100' Left='20' oOffset='7' vOffset='6' MinIndex='0' MaxIndex='0'", 0, std::pair{20, 100}},
      {"Top='100' Left='20' oOffset='7' vOffset='6' MinIndex='0' MaxIndex='0'", 2, std::pair{34, 112}},
      {"Top='100' Left='20' oOffset='7' vOffset='6' MinIndex='2' MaxIndex='0'", 0, std::pair{6, 88}},
      // A range serves only its indexes, the first exactly at (Left, Top).
      {"Top='50' Left='10' vOffset='5' MinIndex='3' MaxIndex='5'", 2, std::nullopt},
      {"Top='50' Left='10' vOffset='5' MinIndex='3' MaxIndex='5'", 3, std::pair{10, 50}},
      {"Top='50' Left='10' vOffset='5' MinIndex='3' MaxIndex='5'", 5, std::pair{10, 60}},
      {"Top='50' Left='10' vOffset='5' MinIndex='3' MaxIndex='5'", 6, std::nullopt},
      // Halves of the vertical step go to the even millimetre.
      {"Top='10' vOffset='4.5' MaxIndex='9'", 1, std::pair{0, 14}},
      {"Top='10' vOffset='4.5' MaxIndex='9'", 3, std::pair{0, 24}},
      {"Top='10' vOffset='2.5' MaxIndex='9'", 1, std::pair{0, 12}},
      {"Top='10' vOffset='2.5' MaxIndex='9'", 3, std::pair{0, 18}},
  };
  for (const TPlaceCase& c : cases) {
    QDomDocument doc;
    const auto p = PlacePrintRect(Rect(doc, c.attributes), c.index);
    ASSERT_EQ(p.has_value(), c.xy.has_value()) << c.attributes << " i=" << c.index;
    if (p) {
      EXPECT_EQ(p->x, c.xy->first) << c.attributes << " i=" << c.index;
      EXPECT_EQ(p->y, c.xy->second) << c.attributes << " i=" << c.index;
    }
  }
}

TEST(CoordFile, InstalledFilesCoverEveryPageTheDriversAsk) {
  const std::pair<const char*, QStringList> files[] = {{"Frontespizio.xml", {"INTESTA", "FRONTE"}},
                                                       {"QuadroIK.xml", {"IK"}},
                                                       {"QuadroIR.xml", {"IR", "IRVAR"}},
                                                       {"QuadroIS.xml", {"IS", "IS2", "IS3", "IS4"}}};
  for (const auto& [name, pages] : files) {
    QFile f(QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/CoordStp/") + QLatin1String(name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    const QDomDocument doc = ParseCoordFile(f.readAll(), QLatin1String(name));
    for (const QString& page : pages)
      EXPECT_TRUE(GetPdfConf(doc).FindPage(page)) << name << " " << qPrintable(page);
  }
}

} // namespace
