#include "dataset/DataPacket.h"
#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void DefineAllTypes(TClientDataSet& cds) {
  cds.AddFieldDef("SNOME", TFieldType::String, 30);
  cds.AddFieldDef("IANNO", TFieldType::Integer);
  cds.AddFieldDef("FIMPORTO", TFieldType::Amount, 2);
  cds.AddFieldDef("FEXACT", TFieldType::Amount, 4);
  cds.AddFieldDef("RTASSO", TFieldType::Float);
  cds.AddFieldDef("DDATA", TFieldType::Date);
  cds.AddFieldDef("MSQL", TFieldType::Memo);
  cds.AddFieldDef("BDATI", TFieldType::Blob);
  cds.AddFieldDef("RIGO", TFieldType::String, 4, true);
}

QByteArray AllBytes() {
  QByteArray b;
  for (int i = 0; i < 256; ++i)
    b.append(char(i));
  return b;
}

void FillAllTypes(TClientDataSet& cds) {
  DefineAllTypes(cds);
  cds.CreateDataSet();
  cds.Append();
  cds.FieldByName("SNOME").SetAsString(QString::fromUtf8("Perché \"a\" & <b> 'c' \U0001F600"));
  cds.FieldByName("IANNO").SetAsInteger(-2147483647 - 1);
  cds.FieldByName("FIMPORTO").SetAsString("-92233720368,47");
  cds.FieldByName("FEXACT").SetAsString("0,0001");
  cds.FieldByName("RTASSO").SetAsFloat(0.1);
  cds.FieldByName("DDATA").SetAsDate(QDate(1, 1, 1));
  cds.FieldByName("MSQL").SetAsString("SELECT *\r\n  FROM\tT\n WHERE a = 'x'\r  ");
  cds.FieldByName("BDATI").SetAsBytes(AllBytes());
  cds.Post();
  cds.Append();
  cds.FieldByName("RTASSO").SetAsFloat(1e300);
  cds.FieldByName("DDATA").SetAsDate(QDate(9999, 12, 31));
  cds.FieldByName("SNOME").SetAsString("");
  cds.Post();
  cds.Append(); // all null
  cds.FieldByName("IANNO").Clear();
  cds.Post();
}

QString WriteTemp(const QTemporaryDir& dir, const char* name, const QByteArray& content) {
  const QString path = dir.filePath(QString::fromLatin1(name));
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content);
  return path;
}

QByteArray Packet(const char* fields, const char* rows) {
  return QByteArray(
             "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>") +
         fields + "</FIELDS><PARAMS/></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

} // namespace

TEST(DataPacket, EveryTypeComesBackExactly) {
  TClientDataSet cds;
  FillAllTypes(cds);
  const QByteArray saved = cds.SaveToBytes();
  TClientDataSet back;
  back.LoadFromBytes(saved);
  ASSERT_EQ(back.FieldCount(), 9);
  EXPECT_TRUE(back.FieldByName("RIGO").Calculated());
  EXPECT_EQ(back.FieldByName("SNOME").Size(), 30);
  EXPECT_EQ(back.FieldByName("FIMPORTO").Size(), 2);
  EXPECT_EQ(back.FieldByName("MSQL").DataType(), TFieldType::Memo);
  EXPECT_EQ(back.FieldByName("BDATI").DataType(), TFieldType::Blob);
  ASSERT_EQ(back.RecordCount(), 3);
  for (cds.First(), back.First(); !cds.Eof(); cds.Next(), back.Next())
    for (TField* f : cds.Fields()) {
      if (f->Calculated()) continue;
      EXPECT_EQ(back.FieldByName(f->FieldName()).AsVariant(), f->AsVariant()) << f->FieldName().toStdString();
    }
  back.First();
  EXPECT_EQ(back.FieldByName("MSQL").AsString(), "SELECT *\r\n  FROM\tT\n WHERE a = 'x'\r  ");
  EXPECT_EQ(back.FieldByName("BDATI").AsBytes(), AllBytes());
  back.Next();
  EXPECT_FALSE(back.FieldByName("SNOME").IsNull()); // "" is a value, not null
  EXPECT_EQ(back.ChangeCount(), 0);
  // same data, same bytes
  EXPECT_EQ(back.SaveToBytes(), saved);
}

TEST(DataPacket, WritesTheDataPacketLayout) {
  TClientDataSet cds;
  cds.AddFieldDef("Query", TFieldType::String, 40);
  cds.AddFieldDef("Indice", TFieldType::Integer);
  cds.AddFieldDef("FIMP", TFieldType::Amount, 2);
  cds.AddFieldDef("DDATA", TFieldType::Date);
  cds.AddFieldDef("SQL", TFieldType::Memo);
  cds.CreateDataSet();
  cds.Append();
  cds.FieldByName("Query").SetAsString("QRY_A");
  cds.FieldByName("Indice").SetAsInteger(0);
  cds.FieldByName("FIMP").SetAsString("1234,5");
  cds.FieldByName("DDATA").SetAsDate(QDate(2024, 1, 31));
  cds.FieldByName("SQL").SetAsString("SELECT 1\nFROM T");
  cds.Post();
  cds.Append();
  cds.FieldByName("FIMP").SetAsString("-0,05");
  cds.Post();
  EXPECT_EQ(QString::fromUtf8(cds.SaveToBytes()),
            "<?xml version=\"1.0\" standalone=\"yes\"?>\n"
            "<DATAPACKET Version=\"2.0\">\n"
            "  <METADATA>\n"
            "    <FIELDS>\n"
            "      <FIELD attrname=\"Query\" fieldtype=\"string\" WIDTH=\"40\"/>\n"
            "      <FIELD attrname=\"Indice\" fieldtype=\"i4\"/>\n"
            "      <FIELD attrname=\"FIMP\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"18\"/>\n"
            "      <FIELD attrname=\"DDATA\" fieldtype=\"date\"/>\n"
            "      <FIELD attrname=\"SQL\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>\n"
            "    </FIELDS>\n"
            "    <PARAMS/>\n"
            "  </METADATA>\n"
            "  <ROWDATA>\n"
            "    <ROW Query=\"QRY_A\" Indice=\"0\" FIMP=\"1234.5\" DDATA=\"20240131\" SQL=\"SELECT "
            "1&#10;FROM T\"/>\n"
            "    <ROW FIMP=\"-0.05\"/>\n"
            "  </ROWDATA>\n"
            "</DATAPACKET>\n");
}

TEST(DataPacket, ReadsTheVariantsOfTheOriginalTool) {
  TClientDataSet cds;
  cds.LoadFromBytes(
      "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><!-- c --><METADATA><FIELDS>"
      "<FIELD attrname=\"A\" fieldtype=\"i2\"/><FIELD attrname=\"B\" fieldtype=\"i8\"/>"
      "<FIELD attrname=\"C\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>"
      "<FIELD attrname=\"D\" fieldtype=\"fixed\" WIDTH=\"32\"><PARAM Name=\"ORIGIN\" Value=\"x\"/></FIELD>"
      "<FIELD attrname=\"E\" fieldtype=\"bin.hex\" SUBTYPE=\"WideText\" WIDTH=\"1\"/>"
      "<FIELD attrname=\"F\" fieldtype=\"string\" WIDTH=\"3\" required=\"true\"/>"
      "</FIELDS><PARAMS LCID=\"1040\"/></METADATA><ROWDATA>"
      "<ROW A=\"-5\" B=\"2147483647\" C=\"1.23456789012E5\" D=\"12345678901234.1234\" E=\"t\" f=\"abc\"/>"
      "<ROW C=\"-5E-5\"/></ROWDATA></DATAPACKET>");
  EXPECT_EQ(cds.FieldByName("A").AsInteger(), -5);
  EXPECT_EQ(cds.FieldByName("B").AsInteger(), 2147483647);
  EXPECT_EQ(cds.FieldByName("C").DataType(), TFieldType::Amount);
  EXPECT_EQ(cds.FieldByName("C").AsCurrency().raw(), 1234567890); // 123456,789012 to four decimals
  EXPECT_EQ(cds.FieldByName("D").Size(), 4);
  EXPECT_EQ(cds.FieldByName("D").AsCurrency().raw(), 123456789012341234);
  EXPECT_EQ(cds.FieldByName("E").AsString(), "t");
  EXPECT_EQ(cds.FieldByName("F").AsString(), "abc");
  cds.Next();
  EXPECT_EQ(cds.FieldByName("C").AsCurrency().raw(), -1); // -0,00005 rounds half away from zero
}

TEST(DataPacket, FlawedInputGivesAClearErrorAndAnEmptyDataSet) {
  const struct {
    QByteArray content;
    const char* expected;
  } cases[] = {
      {"", "vuoto"},
      {"   \n", "vuoto"},
      {"garbage", "non è un documento XML"},
      {QByteArray("\x00\x01\x02", 3), "non è un documento XML"},
      {"\xef\xbb\xbf<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"\xc3\" fieldtype=\"i4\"/>", "XML"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"1\"/>").left(120), "troncato"},
      {"<?xml version=\"1.0\"?><ROWS/>", "<ROWS>"},
      {Packet("", ""), "nessun campo"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"money\"/>", ""), "tipo sconosciuto 'money'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"a\" fieldtype=\"i4\"/>", ""),
       "due volte"},
      {Packet("<FIELD fieldtype=\"i4\"/>", ""), "non ha il nome"},
      {Packet("<FIELD attrname=\"A B\" fieldtype=\"i4\"/>", ""), "non è valido"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"string\"/>", ""), "WIDTH"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"-3\"/>", ""), "WIDTH"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"fixed\" DECIMALS=\"6\"/>", ""), "DECIMALS"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"1\"/><ROW A=\"x1\"/>"), "riga 2"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i8\"/>", "<ROW A=\"4294967296\"/>"), "'4294967296'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"date\"/>", "<ROW A=\"20240230\"/>"), "'20240230'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"fixed\"/>", "<ROW A=\"1,5\"/>"), "'1,5'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"fixed\"/>", "<ROW A=\"1e400\"/>"), "'1e400'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"bin.hex\"/>", "<ROW A=\"@@@\"/>"), "'@@@'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"2\"/>", "<ROW A=\"abc\"/>"), "larghezza 2"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW B=\"1\"/>"), "'B'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\" calculated=\"true\"/>", "<ROW A=\"1\"/>"), "'A'"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"1\" a=\"2\"/>"), "due valori"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW><X/></ROW>"), "<X>"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "text"), "testo inatteso"},
      {Packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "") + "<more/>", "XML non valido"},
      {"<!DOCTYPE DATAPACKET [<!ENTITY e \"x\">]><DATAPACKET/>", "DTD"},
  };
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const auto& c : cases) {
    TClientDataSet cds;
    cds.AddFieldDef("OLD", TFieldType::Integer);
    cds.CreateDataSet();
    cds.Append();
    cds.FieldByName("OLD").SetAsInteger(1);
    cds.Post();
    const QString path = WriteTemp(dir, "bad.cds", c.content);
    try {
      cds.LoadFromFile(path);
      ADD_FAILURE() << "accepted: " << c.content.toStdString();
    } catch (const EZurError& e) {
      EXPECT_EQ(e.kind(), EZurError::Kind::File);
      EXPECT_EQ(e.file(), path);
      EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
      EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.expected))) << e.message().toStdString();
    }
    EXPECT_FALSE(cds.Active());
    cds.Open();
    EXPECT_TRUE(cds.IsEmpty());
    EXPECT_NE(cds.FindField("OLD"), nullptr);
  }
  TClientDataSet cds;
  try {
    cds.LoadFromFile(dir.filePath("missing.cds"));
    FAIL();
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::File);
    EXPECT_TRUE(e.message().contains("missing.cds") && e.message().contains("non esiste"));
  }
  EXPECT_THROW(cds.LoadFromBytes("nope"), EZurError);
}

TEST(DataPacket, CharactersXmlCannotCarryAreRefusedOnSave) {
  QTemporaryDir dir;
  TClientDataSet cds;
  cds.AddFieldDef("MNOTE", TFieldType::Memo);
  cds.CreateDataSet();
  cds.Append();
  cds.FieldByName("MNOTE").SetAsString("ok");
  cds.Post();
  const QString path = dir.filePath("x.cds");
  cds.SaveToFile(path);
  const QByteArray good = QFile(path).exists() ? cds.SaveToBytes() : QByteArray();
  for (const QString& bad : {QString("a\x01"
                                     "b"),
                             QString(QChar(0xFFFF)), QString(QChar(0xD800)) + "x"}) {
    cds.Edit();
    cds.FieldByName("MNOTE").SetAsString(bad);
    cds.Post();
    try {
      cds.SaveToFile(path);
      ADD_FAILURE();
    } catch (const EZurError& e) {
      EXPECT_TRUE(e.message().contains("MNOTE")) << e.message().toStdString();
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), good); // the old file is intact
  }
}

TEST(DataPacket, SavingTakesEveryCurrentRowAndLoadingKeepsTheView) {
  TClientDataSet cds;
  cds.AddFieldDef("IAFIID", TFieldType::Integer);
  cds.AddFieldDef("SNOME", TFieldType::String, 10);
  cds.CreateDataSet();
  for (int i = 1; i <= 4; ++i) {
    cds.Append();
    cds.FieldByName("IAFIID").SetAsInteger(i % 2);
    cds.FieldByName("SNOME").SetAsString(QString::number(i));
    cds.Post();
  }
  cds.MergeChangeLog();
  cds.First();
  cds.Delete();
  cds.Edit();
  cds.FieldByName("SNOME").SetAsString("mod");
  cds.Post();
  cds.SetIndexFieldNames("SNOME");
  cds.SetFilter("IAFIID = 1");
  cds.SetFiltered(true);
  cds.Append();
  cds.FieldByName("IAFIID").SetAsInteger(1);
  cds.FieldByName("SNOME").SetAsString("new"); // left pending: saving posts it

  QBuffer buffer;
  buffer.open(QIODevice::ReadWrite);
  TField* const kept = &cds.FieldByName("SNOME");
  cds.SaveToStream(buffer);
  EXPECT_EQ(cds.State(), TDataSetState::Browse);
  buffer.seek(0);
  cds.LoadFromStream(buffer);
  EXPECT_EQ(&cds.FieldByName("SNOME"), kept);
  EXPECT_EQ(cds.ChangeCount(), 0);
  EXPECT_TRUE(cds.Filtered());
  QStringList visible;
  for (cds.First(); !cds.Eof(); cds.Next())
    visible << cds.FieldByName("SNOME").AsString();
  EXPECT_EQ(visible, QStringList({"3", "new"}));
  cds.SetFiltered(false);
  EXPECT_EQ(cds.RecordCount(), 4); // "1" was deleted; "mod", "3", "4", "new" remain
}

TEST(DataPacket, ExactDecimalsWithoutDouble) {
  TDataPacket p =
      ReadDataPacket(Packet("<FIELD attrname=\"A\" fieldtype=\"fixed\" DECIMALS=\"2\"/>",
                            "<ROW A=\"922337203685.4749\"/><ROW A=\"0.005\"/><ROW A=\"-0.005\"/>"
                            "<ROW A=\"12E-1\"/><ROW A=\".5\"/><ROW A=\"0000000000000000000000001\"/>"));
  ASSERT_EQ(p.rows.size(), 6u);
  EXPECT_EQ(std::get<Currency>(p.rows[0][0]).raw(), 9223372036854700);
  EXPECT_EQ(std::get<Currency>(p.rows[1][0]).raw(), 100);
  EXPECT_EQ(std::get<Currency>(p.rows[2][0]).raw(), -100);
  EXPECT_EQ(std::get<Currency>(p.rows[3][0]).raw(), 12000);
  EXPECT_EQ(std::get<Currency>(p.rows[4][0]).raw(), 5000);
  EXPECT_EQ(std::get<Currency>(p.rows[5][0]).raw(), 10000);
  EXPECT_THROW(ReadDataPacket(Packet("<FIELD attrname=\"A\" fieldtype=\"fixed\"/>",
                                     "<ROW A=\"922337203685477.5808\"/>")),
               EZurError);
}
