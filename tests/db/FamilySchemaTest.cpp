#include "db/FamilySchema.h"
#include "db/FamilyDemo.h"
#include "db/GenerateID.h"
#include "db/VxParamManager.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <map>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

qint64 Count(TVxSQLConnection& c, const QString& sql) {
  TZurQuery q(c);
  q.SetSQL(sql);
  q.Open();
  return q.Fields(0).AsInteger();
}

void Exec(TVxSQLConnection& c, const QString& sql) {
  TZurQuery q(c);
  q.SetSQL(sql);
  q.ExecSQL();
}

class TFamilySchemaTest : public zurtest::TDatabaseTest {};

} // namespace

TEST_P(TFamilySchemaTest, CreateMakesEveryTableAndRecordsTheVersion) {
  EXPECT_FALSE(TFamilySchema::HasSchema(Conn()));
  EXPECT_EQ(TFamilySchema::StoredVersion(Conn()), QString());
  Db().CreateSchema(false);
  EXPECT_TRUE(TFamilySchema::HasSchema(Conn()));
  EXPECT_EQ(TFamilySchema::StoredVersion(Conn()), Q("6.97.26"));
  for (const TTableDecl& t : TFamilySchema::Tables())
    EXPECT_NO_THROW(Count(Conn(), Q("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(t.name).toUpper())))
        << t.name;
  EXPECT_FALSE(Conn().InTransaction());
  // Without the demo there is no school and no payroll.
  EXPECT_EQ(Count(Conn(), Q("SELECT COUNT(*) FROM tsed_sedi")), 0);
  EXPECT_EQ(Count(Conn(), Q("SELECT COUNT(*) FROM tregs_registrazioni")), 0);
}

TEST_P(TFamilySchemaTest, CreatingOverAnExistingSchemaIsRefusedAndChangesNothing) {
  Db().CreateSchema(true);
  TVxParamManager params(&Conn());
  params.SetParams(Q(VXUP_DwgId), Q("7"));
  const qint64 movements = Count(Conn(), Q("SELECT COUNT(*) FROM tregs_registrazioni"));
  try {
    TFamilySchema::Create(Conn(), true);
    FAIL() << "a second schema must be refused";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(), Q("Il database contiene già lo schema del programma."));
  }
  EXPECT_EQ(params.GetParams(Q(VXUP_DwgId)).toString(), Q("7"));
  EXPECT_EQ(Count(Conn(), Q("SELECT COUNT(*) FROM tregs_registrazioni")), movements);
  EXPECT_FALSE(Conn().InTransaction());
}

TEST_P(TFamilySchemaTest, APartOfTheSchemaIsEnoughToRefuse) {
  Exec(Conn(), Q("CREATE TABLE tcrf_crofiscale (icrfid INTEGER)"));
  EXPECT_TRUE(TFamilySchema::HasSchema(Conn()));
  EXPECT_THROW(TFamilySchema::Create(Conn(), false), EZurError);
}

TEST_P(TFamilySchemaTest, AFailureHalfWayLeavesNoTableBehind) {
  // An object that is no table of the schema but takes a name the schema
  // needs late in its creation.
  Exec(Conn(), Q("CREATE TABLE taltro (x INTEGER)"));
  Exec(Conn(), Q("CREATE INDEX ix_naf_anno ON taltro (x)"));
  ASSERT_FALSE(TFamilySchema::HasSchema(Conn()));
  EXPECT_THROW(TFamilySchema::Create(Conn(), true), EZurError);
  EXPECT_FALSE(TFamilySchema::HasSchema(Conn()));
  EXPECT_FALSE(Conn().InTransaction());
}

TEST_P(TFamilySchemaTest, YearTablesFollowTheIdRule) {
  Db().CreateSchema(false);
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT DANFVOREXINIZIO, DANFVOREXFINE FROM TANF_ANNIFINANZ WHERE IANFID=:IDANNO"));
  for (int year = 2015; year <= 2026; ++year) {
    q.Close();
    q.ParamByName(Q("IDANNO")).SetInteger(year - 1969);
    q.Open();
    ASSERT_FALSE(q.Eof()) << year;
    EXPECT_EQ(q.Fields(0).AsDate(), QDate(year, 1, 1));
    EXPECT_EQ(q.Fields(1).AsDate(), QDate(year, 12, 31));
  }
  q.SetSQL(Q("SELECT DANSVOREXINIZIO, DANSVOREXFINE FROM TANS_ANNISCOLAST WHERE IANSID=:IDANNO"));
  TVxParamManager params(&Conn());
  q.ParamByName(Q("IDANNO")).SetInteger(params.GetParams(Q(VXUP_AnsId)).toString().toInt());
  q.Open();
  EXPECT_EQ(q.Fields(0).AsDate(), QDate(2024, 9, 1));
  EXPECT_EQ(q.Fields(1).AsDate(), QDate(2025, 8, 31));
}

TEST_P(TFamilySchemaTest, UserParametersStartAtTheirDefaults) {
  Db().CreateSchema(false);
  TVxParamManager params(&Conn());
  EXPECT_EQ(params.GetParams(Q(VXUP_DwgId)).toString(), Q("1"));
  EXPECT_EQ(params.GetParams(Q(VXUP_AnfId)).toString(), Q("55"));
  EXPECT_EQ(params.GetParams(Q(VXUP_AnsId)).toString(), Q("55"));
  EXPECT_TRUE(params.GetParams(Q("VXUP_Altro")).isNull());
  params.SetParams(Q(VXUP_AnfId), 54);
  params.SetParams(Q(VXUP_AnfId), 56);
  EXPECT_EQ(params.GetParams(Q(VXUP_AnfId)).toString(), Q("56"));
  params.SetParams(Q(VXUP_AnfId), QVariant());
  EXPECT_TRUE(params.GetParams(Q(VXUP_AnfId)).isNull());
}

// Every statement of the declaration store on this schema, with the data it
// expects. Three of them need an adapted text: SQLite takes a table alias in
// UPDATE and DELETE only after AS, and neither engine takes an alias in the
// SET list ("SET cds.icdsrigo").
TEST_P(TFamilySchemaTest, TheDeclarationStoreStatementsRunOnIt) {
  Db().CreateSchema(false);
  TVxSQLConnection& c = Conn();

  TZurQuery q(c);
  q.SetSQL(Q("INSERT INTO tcds_struttura (icdsid, icdsanno, icdsmese, scdsprogramma, scdsnome, bcdsschema, "
             "lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap) VALUES (:ID, 2024, 0, 'zur', "
             "'TFRNT_FRONTESPIZIO', :SCHEMA, 1, 0, 0, :MAPPA)"));
  const qint64 cdsId = GenerateID(c, Q("TCDS_STRUTTURA"));
  q.ParamByName(Q("ID")).SetInteger(cdsId);
  q.ParamByName(Q("SCHEMA")).SetBlob(QByteArray("<DATAPACKET/>\0x", 15));
  q.ParamByName(Q("MAPPA")).SetString(Q("saficodfiscale=SIRAPCODFIS;safidenominazione=SIRAPDENOM"));
  q.ExecSQL();

  q.SetSQL(Q("SELECT cds.* FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO AND "
             "(COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) AND Lower(cds.scdsprogramma) = "
             ":SCDSPROGRAMMA AND Lower(cds.scdsnome) = :SCDSNOME ORDER BY cds.icdsanno DESC"));
  q.ParamByName(Q("ICDSANNO")).SetInteger(2024);
  q.ParamByName(Q("ICDSMESE")).SetInteger(0);
  q.ParamByName(Q("SCDSPROGRAMMA")).SetString(Q("zur"));
  q.ParamByName(Q("SCDSNOME")).SetString(Q("tfrnt_frontespizio"));
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName(Q("iCdsID")).AsInteger(), cdsId);
  EXPECT_EQ(q.FieldByName(Q("bCdsSchema")).AsBytes(), QByteArray("<DATAPACKET/>\0x", 15));
  EXPECT_EQ(q.FieldByName(Q("lCdsAnagrafica")).AsInteger(), 1);
  EXPECT_EQ(q.FieldByName(Q("sCdsFieldMap")).AsString().split(QLatin1Char(';')).size(), 2);

  q.SetSQL(Q("SELECT icrfid FROM pnym_getcrofiscale(:sProgramma, :iAnno, :iMese) "));
  q.ParamByName(Q("sProgramma")).SetString(Q("zur"));
  q.ParamByName(Q("iAnno")).SetInteger(2024);
  q.ParamByName(Q("iMese")).SetNull(TZurFieldType::Integer);
  q.Open();
  const qint64 crfId = q.Fields(0).AsInteger();

  const qint64 afiId = GenerateID(c, Q("TAFI_ANAFISCALE"));
  q.SetSQL(Q("INSERT INTO TAFI_ANAFISCALE (IAFIID, ICRFID) VALUES (:IAFIID, :ICRFID)"));
  q.ParamByName(Q("IAFIID")).SetInteger(afiId);
  q.ParamByName(Q("ICRFID")).SetInteger(crfId);
  q.ExecSQL();
  // adapted: "UPDATE tafi_anafiscale afi SET %s WHERE afi.iafiid = :IAFIID"
  q.SetSQL(Q("UPDATE tafi_anafiscale AS afi SET  saficodfiscale = :saficodfiscale , safidenominazione = "
             ":safidenominazione  WHERE afi.iafiid = :IAFIID"));
  q.ParamByName(Q("saficodfiscale")).SetString(Q("97123450583"));
  q.ParamByName(Q("safidenominazione")).SetString(Q("ISTITUTO DI PROVA"));
  q.ParamByName(Q("IAFIID")).SetInteger(afiId);
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 1);

  const QString insertTemplate =
      Q("INSERT INTO TFIS_DATIFISCALI (ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, "
        "%0FISVALUE) VALUES (:ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, "
        ":%0FISVALUE)");
  auto insertField = [&](const char* letter, const char* field, auto set) {
    q.SetSQL(QString(insertTemplate).replace(Q("%0"), Q(letter)));
    q.ParamByName(Q("ICDSID")).SetInteger(cdsId);
    q.ParamByName(Q("ICRFID")).SetInteger(crfId);
    q.ParamByName(Q("IAFIID")).SetInteger(afiId);
    q.ParamByName(Q("IFISRIGO")).SetInteger(1);
    q.ParamByName(Q("SFISFIELDNAME")).SetString(Q(field));
    set(q.ParamByName(Q(letter) + Q("FISVALUE")));
    q.ExecSQL();
  };
  insertField("s", "SIRAPCOMUNESL", [](TZurParam& p) { p.SetString(Q("ROMA")); });
  insertField("i", "IIRAPID", [](TZurParam& p) { p.SetInteger(1000001); });
  insertField("f", "FIKVALIRAP1", [](TZurParam& p) { p.SetCurrency(*Currency::Parse(Q("41234,56"))); });
  insertField("d", "DIRAPPERIODOIMPOSTADAL", [](TZurParam& p) { p.SetDate(QDate(2024, 1, 1)); });
  // A field stored twice in one record would load as whichever came last.
  EXPECT_THROW(insertField("s", "SIRAPCOMUNESL", [](TZurParam& p) { p.SetString(Q("MILANO")); }), EZurError);

  q.SetSQL(Q(
      "SELECT crf.*, afi.*, fis.sFisFieldName, fis.iFisRigo, fis.iFisValue, fis.fFisValue, fis.sFisValue, "
      "fis.dFisValue FROM tcrf_crofiscale crf LEFT JOIN tfis_datifiscali fis ON fis.icrfid = crf.icrfid "
      "LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO "
      "AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND Lower(crf.scrfprogramma) = "
      ":SCRFPROGRAMMA AND fis.icdsid = :ICDSID AND (fis.iafiid = :IAFIID OR :IAFIID = -1) ORDER BY "
      "fis.ifisrigo"));
  q.ParamByName(Q("ICRFANNO")).SetInteger(2024);
  q.ParamByName(Q("ICRFMESE")).SetInteger(0);
  q.ParamByName(Q("SCRFPROGRAMMA")).SetString(Q("zur"));
  q.ParamByName(Q("ICDSID")).SetInteger(cdsId);
  q.ParamByName(Q("IAFIID")).SetInteger(-1);
  q.Open();
  std::map<QString, TZurField> fields;
  for (; !q.Eof(); q.Next()) {
    EXPECT_EQ(q.FieldByName(Q("iAfiID")).AsInteger(), afiId);
    EXPECT_EQ(q.FieldByName(Q("SAFIDENOMINAZIONE")).AsString(), Q("ISTITUTO DI PROVA"));
    EXPECT_EQ(q.FieldByName(Q("iFisRigo")).AsInteger(), 1);
    const QString name = q.FieldByName(Q("sFisFieldName")).AsString();
    const char* column = name.startsWith(QLatin1Char('S'))   ? "sFisValue"
                         : name.startsWith(QLatin1Char('I')) ? "iFisValue"
                         : name.startsWith(QLatin1Char('F')) ? "fFisValue"
                                                             : "dFisValue";
    fields.emplace(name, q.FieldByName(Q(column)));
  }
  ASSERT_EQ(fields.size(), 4);
  EXPECT_EQ(fields.at(Q("SIRAPCOMUNESL")).AsString(), Q("ROMA"));
  EXPECT_EQ(fields.at(Q("IIRAPID")).AsInteger(), 1000001);
  EXPECT_EQ(fields.at(Q("FIKVALIRAP1")).AsCurrency(), *Currency::Parse(Q("41234,56")));
  EXPECT_EQ(fields.at(Q("DIRAPPERIODOIMPOSTADAL")).AsDate(), QDate(2024, 1, 1));

  q.SetSQL(
      Q("SELECT afi.iafiid FROM tcrf_crofiscale crf INNER JOIN tafi_anafiscale afi ON afi.icrfid = "
        "crf.icrfid WHERE crf.icrfanno = :ICRFANNO AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE "
        "= -1) AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND Lower(afi.saficodfiscale) = :SAFICODFISCALE "
        "AND (COALESCE(afi.safigruppoana, '') = :SAFIGRUPPOANA OR :SAFIGRUPPOANA = '')"));
  q.ParamByName(Q("ICRFANNO")).SetInteger(2024);
  q.ParamByName(Q("ICRFMESE")).SetInteger(0);
  q.ParamByName(Q("SCRFPROGRAMMA")).SetString(Q("zur"));
  q.ParamByName(Q("SAFICODFISCALE")).SetString(Q("97123450583"));
  q.ParamByName(Q("SAFIGRUPPOANA")).SetString(QString());
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.Fields(0).AsInteger(), afiId);

  q.SetSQL(Q("select CoalEsce(MAX(fis.ifisvalue),1000000) + 1 as NEW_IRAPID from tfis_datifiscali fis where "
             "fis.sfisfieldname = 'IIRAPID'"));
  q.Open();
  EXPECT_EQ(q.FieldByName(Q("NEW_IRAPID")).AsInteger(), 1000002);

  // adapted: "UPDATE tcds_struttura cds SET cds.icdsrigo = :ICDSRIGO WHERE cds.icdsid = :ICDSID"
  q.SetSQL(Q("UPDATE tcds_struttura SET icdsrigo = :ICDSRIGO WHERE icdsid = :ICDSID"));
  q.ParamByName(Q("ICDSRIGO")).SetInteger(1);
  q.ParamByName(Q("ICDSID")).SetInteger(cdsId);
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 1);

  // adapted: "DELETE FROM tafi_anafiscale afi WHERE afi.iafiid = :IAFIID" and
  // "DELETE FROM tfis_datifiscali fis WHERE fis.icdsid = :ICDSID AND fis.ifisrigo = :IFISRIGO"
  q.SetSQL(Q("DELETE FROM tafi_anafiscale AS afi WHERE afi.iafiid = :IAFIID"));
  q.ParamByName(Q("IAFIID")).SetInteger(afiId);
  q.ExecSQL();
  q.SetSQL(Q("DELETE FROM tfis_datifiscali AS fis WHERE fis.icdsid = :ICDSID AND fis.ifisrigo = :IFISRIGO"));
  q.ParamByName(Q("ICDSID")).SetInteger(cdsId);
  q.ParamByName(Q("IFISRIGO")).SetInteger(1);
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 4);
  EXPECT_EQ(Count(c, Q("SELECT COUNT(*) FROM tafi_anafiscale")), 0);
}

ZUR_INSTANTIATE_ENGINES(TFamilySchemaTest);
