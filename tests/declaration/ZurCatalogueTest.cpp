#include "declaration/ZurCatalogue.h"

#include "dataset/ClientDataSet.h"
#include "db/FamilySchema.h"
#include "store/NymDBCds.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

QStringList Names(const std::vector<TDataPacketField>& fields) {
  QStringList out;
  for (const TDataPacketField& f : fields)
    out << f.name;
  return out;
}

} // namespace

TEST(ZurCatalogue, StoredStructuresCarryTheStoreKeysOnce) {
  const int expected[] = {111 + 2, 55 + 4, 111 + 4, 20, 271 + 4};
  int i = 0;
  for (const TZurDataSetDecl& d : TZurCatalogue::StoredDataSets()) {
    SCOPED_TRACE(d.component);
    const QStringList names = Names(TZurCatalogue::Structure(d));
    EXPECT_EQ(names.size(), expected[i++]);
    QSet<QString> unique;
    for (const QString& n : names)
      unique.insert(n.toUpper());
    EXPECT_EQ(unique.size(), names.size()) << "a name twice would load as whichever came last";
    for (const char* key : {"IFISRIGO", "IAFIID", "IIRAPID", "SIRAPCODFIS"})
      EXPECT_TRUE(unique.contains(Q(key))) << key;
  }
  EXPECT_FALSE(TZurCatalogue::DataSets().back().Stored());
}

TEST(ZurCatalogue, NamingRuleGivesTheTypeOfEveryCatalogueField) {
  for (const TZurDataSetDecl& d : TZurCatalogue::DataSets()) {
    for (const char* name : d.catalogue) {
      const TDataPacketField f = TZurCatalogue::FieldByRule(Q(name));
      switch (name[0]) {
      case 'S':
        EXPECT_TRUE(f.type == TFieldType::String && f.size == 100) << name;
        break;
      case 'L':
        EXPECT_TRUE(f.type == TFieldType::String && f.size == 1) << name;
        break;
      case 'F':
        EXPECT_TRUE(f.type == TFieldType::Amount && f.size == 2 && f.precision == 18) << name;
        break;
      case 'I':
        EXPECT_EQ(f.type, TFieldType::Integer) << name;
        break;
      case 'D':
        EXPECT_EQ(f.type, TFieldType::Date) << name;
        break;
      default:
        ADD_FAILURE() << "no type letter: " << name;
      }
    }
  }
  EXPECT_EQ(TZurCatalogue::FieldByRule(Q("sirapcodfis")).name, Q("SIRAPCODFIS"));
  EXPECT_THROW(TZurCatalogue::FieldByRule(Q("XIRAPALTRO")), EZurError);
  EXPECT_THROW(TZurCatalogue::FieldByRule(Q("")), EZurError);
  EXPECT_THROW(TZurCatalogue::FieldByRule(Q("S IRAP")), EZurError);
}

TEST(ZurCatalogue, RegionalRowsAndAdditionalFieldsKeepTheirFixedDefinitions) {
  const auto rows = TZurCatalogue::Structure(*TZurCatalogue::Find(Q("cdsQuadroIRVar")));
  EXPECT_EQ(rows.front().name, Q("IFISRIGO"));
  EXPECT_EQ(rows.back().name, Q("SIRAPCODFIS"));
  EXPECT_EQ(rows.back().size, 20);
  for (const TDataPacketField& f : rows) {
    if (f.name.startsWith(QLatin1Char('F'))) {
      EXPECT_EQ(f.type, TFieldType::Integer) << f.name.toStdString();
    }
    EXPECT_EQ(f.calculated, f.name == QLatin1String("RIGO")) << f.name.toStdString();
  }
  EXPECT_EQ(Names(TZurCatalogue::Structure(*TZurCatalogue::Find(Q("cdsCampiAggiuntivi")))).size(), 9);
}

TEST(ZurCatalogue, StructureBlobReadsBackAsTheSameFields) {
  for (const TZurDataSetDecl& d : TZurCatalogue::StoredDataSets()) {
    const auto fields = TZurCatalogue::Structure(d);
    const TDataPacket packet = ReadDataPacket(TZurCatalogue::StructureBlob(d));
    ASSERT_EQ(packet.fields.size(), fields.size()) << d.component;
    EXPECT_TRUE(packet.rows.empty());
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(packet.fields[i].name, fields[i].name);
      EXPECT_EQ(packet.fields[i].type, fields[i].type);
      EXPECT_EQ(packet.fields[i].calculated, fields[i].calculated);
      if (fields[i].type == TFieldType::String) {
        EXPECT_EQ(packet.fields[i].size, fields[i].size);
      }
    }
  }
}

TEST(ZurCatalogue, LookupIgnoresCase) {
  EXPECT_EQ(TZurCatalogue::FindByTable(Q("tqirv_quadroir_var")), TZurCatalogue::Find(Q("CDSQUADROIRVAR")));
  EXPECT_EQ(TZurCatalogue::Find(Q("cdsNessuno")), nullptr);
  EXPECT_EQ(TZurCatalogue::FindByTable(QString()), nullptr);
}

namespace {

class TZurStructureRows : public zurtest::TDatabaseTest {};

} // namespace

TEST_P(TZurStructureRows, SchemaComesWithOneStructurePerStoredDataSet) {
  TFamilySchema::Create(Conn(), false, TZurCatalogue::WriteStructureRows);
  TZurQuery q(Conn());
  q.SetSQL(
      Q("SELECT scdsnome, lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap, icdsanno, scdsprogramma "
        "FROM tcds_struttura ORDER BY icdsid"));
  q.Open();
  QStringList rows;
  for (; !q.Eof(); q.Next())
    rows << QStringList{q.Fields(0).AsString(), q.Fields(1).AsString(), q.Fields(2).AsString(),
                        q.Fields(3).AsString(), q.Fields(4).AsString(), q.Fields(5).AsString(),
                        q.Fields(6).AsString()}
                .join(QLatin1Char('|'));
  EXPECT_EQ(
      rows,
      (QStringList{
          Q("TFRNT_FRONTESPIZIO|1|0|0|saficodfiscale=SIRAPCODFIS;safidenominazione=SIRAPDENOM|2024|zur"),
          Q("TQIK_QUADROIK|0|1|0|saficodfiscale=SIRAPCODFIS|2024|zur"),
          Q("TQIR_QUADROIR|0|1|0|saficodfiscale=SIRAPCODFIS|2024|zur"),
          Q("TQIRV_QUADROIR_VAR|0|1|0|saficodfiscale=SIRAPCODFIS|2024|zur"),
          Q("TQIS_QUADROIS|0|1|0|saficodfiscale=SIRAPCODFIS|2024|zur"),
      }));

  // The store gives each dataset exactly the catalogue's structure.
  TNymDBCds store(2024, Q("zur"), 0);
  store.SetConnection(&Conn());
  store.SetShowWait(false);
  for (const TZurDataSetDecl& d : TZurCatalogue::StoredDataSets()) {
    TClientDataSet ds;
    store.Load(ds, d.TableName());
    EXPECT_TRUE(ds.Active());
    EXPECT_TRUE(ds.IsEmpty());
    const auto fields = TZurCatalogue::Structure(d);
    ASSERT_EQ(size_t(ds.FieldCount()), fields.size()) << d.component;
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(ds.Field(int(i)).FieldName(), fields[i].name);
      EXPECT_EQ(ds.Field(int(i)).DataType(), fields[i].type);
      EXPECT_EQ(ds.Field(int(i)).Calculated(), fields[i].calculated);
    }
  }
}

TEST_P(TZurStructureRows, FailureAfterTheStructuresRollsBackTheWholeSchema) {
  EXPECT_THROW(TFamilySchema::Create(Conn(), true,
                                     [](TVxSQLConnection& c) {
                                       TZurCatalogue::WriteStructureRows(c);
                                       throw EZurError(Q("interrotto"));
                                     }),
               EZurError);
  EXPECT_FALSE(Conn().InTransaction());
  EXPECT_FALSE(TFamilySchema::HasSchema(Conn()));
}

ZUR_INSTANTIATE_ENGINES(TZurStructureRows);
