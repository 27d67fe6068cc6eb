// The empty dataset definition of the developer menu: its exact lines, and
// the file read back through the program's own DATAPACKET reader.
#include "dataset/DataPacket.h"
#include "print/zurLayoutTools.h"
#include "support/ScriptedPlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

} // namespace

TEST(LayoutTools, DatasetXmlIsReadBackWithTheTypesAndWidthsOfTheNames) {
  TScriptedPlatform platform;
  QTemporaryDir dir;
  const QString out = dir.filePath(Q("frame.xml"));
  // As a frame gives them: a region lookup with its width, names in any
  // case, a blank entry, a name met twice, one outside the convention.
  const QStringList names{Q("SIRAPCODFIS"), Q(" sircodregione$2 "),      Q("LIRAPIK"), Q("FIKVALIRAP1"),
                          Q("IIS37_SEZ01"), Q("DIRAPPERIODOIMPOSTADAL"), Q(""),        Q("SIRAPCODFIS"),
                          Q("XNOTE$30")};
  const QStringList lines = zurlayout::DatasetXmlLines(names);
  ASSERT_EQ(lines.size(), 4 + 7 + 6);
  EXPECT_EQ(lines[0], Q("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"));
  EXPECT_EQ(lines[1], Q("<DATAPACKET Version=\"2.0\">"));
  EXPECT_EQ(lines[2], Q("  <METADATA>"));
  EXPECT_EQ(lines[3], Q("    <FIELDS>"));
  EXPECT_EQ(lines[4], Q("      <FIELD attrname=\"SIRAPCODFIS\"") + QString(37, QLatin1Char(' ')) +
                          Q(" fieldtype=\"string\" WIDTH=\"100\" />"));
  EXPECT_EQ(lines[5], Q("      <FIELD attrname=\"SIRCODREGIONE\"") + QString(35, QLatin1Char(' ')) +
                          Q(" fieldtype=\"string\" WIDTH=\"2\" />"));
  EXPECT_EQ(lines[7], Q("      <FIELD attrname=\"FIKVALIRAP1\"") + QString(37, QLatin1Char(' ')) +
                          Q(" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"18\" />"));
  EXPECT_EQ(lines.mid(11), QStringList({Q("    </FIELDS>"), Q("  <PARAMS/>"), Q("  </METADATA>"),
                                        Q("  <ROWDATA>"), Q("  </ROWDATA>"), Q("</DATAPACKET>")}));

  platform.AnswerFile(out);
  EXPECT_EQ(zurlayout::CreateDatasetXml(names), zurlayout::TToolResult::Written);
  QFile f(out);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const TDataPacket packet = ReadDataPacket(f.readAll(), out);
  struct TExpected {
    const char* name;
    TFieldType type;
    int size;
    int precision;
  };
  const TExpected expected[] = {
      {"SIRAPCODFIS", TFieldType::String, 100, 0}, {"SIRCODREGIONE", TFieldType::String, 2, 0},
      {"LIRAPIK", TFieldType::String, 1, 0},       {"FIKVALIRAP1", TFieldType::Amount, 2, 18},
      {"IIS37_SEZ01", TFieldType::Integer, 0, 0},  {"DIRAPPERIODOIMPOSTADAL", TFieldType::Date, 0, 0},
      {"XNOTE", TFieldType::String, 30, 0}};
  ASSERT_EQ(packet.fields.size(), std::size(expected));
  for (size_t i = 0; i < packet.fields.size(); ++i) {
    const TDataPacketField& got = packet.fields[i];
    EXPECT_EQ(got.name, Q(expected[i].name));
    EXPECT_EQ(got.type, expected[i].type) << expected[i].name;
    if (expected[i].type == TFieldType::String || expected[i].type == TFieldType::Amount)
      EXPECT_EQ(got.size, expected[i].size) << expected[i].name;
    if (expected[i].type == TFieldType::Amount) EXPECT_EQ(got.precision, expected[i].precision);
  }
  EXPECT_TRUE(packet.rows.empty());

  // Nothing to write: no dialog. A cancelled dialog: nothing written, and said.
  platform.clear();
  EXPECT_EQ(zurlayout::CreateDatasetXml({}), zurlayout::TToolResult::Nothing);
  EXPECT_TRUE(platform.calls().empty());
  platform.AnswerFile(QString(), false);
  EXPECT_EQ(zurlayout::CreateDatasetXml(names), zurlayout::TToolResult::Cancelled);
  EXPECT_EQ(platform.messages(), QStringList{Q("Operazione annullata: nessun file è stato scritto.")});
}
