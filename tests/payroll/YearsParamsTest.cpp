#include "dataset/ClientDataSet.h"
#include "db/VxParamManager.h"
#include "db/ZurQuery.h"
#include "payroll/QenMParams.h"
#include "payroll/nymCAnno.h"
#include "payroll/nymCQueryText.h"
#include "db/nymUUtil.h"
#include "support/ScriptedPlatform.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

class TYearsParams : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    zurtest::TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QueryText().Load(QStringLiteral(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds"));
    ASSERT_GT(QueryText().Count(), 0);
    Db().CreateSchema(true);
    m_params = std::make_unique<TdmQenParams>(&Conn());
  }
  void TearDown() override {
    m_params.reset();
    zurtest::TDatabaseTest::TearDown();
  }
  void Exec(const QString& sql) {
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.ExecSQL();
  }
  std::unique_ptr<TdmQenParams> m_params;
};

TEST_P(TYearsParams, FinancialYearByYearNumberAndDefault) {
  TnymAnnoFinanziario anno(m_params.get());
  anno.SetByYear(QStringLiteral("2024"));
  EXPECT_EQ(anno.Id(), 55);
  EXPECT_EQ(anno.DataInizio(), QDate(2024, 1, 1));
  EXPECT_EQ(anno.DataFine(), QDate(2024, 12, 31));
  EXPECT_EQ(anno.AnnoInizio(), 2024);
  EXPECT_EQ(anno.TestoInizio(), QStringLiteral("01/01/2024"));
  EXPECT_EQ(anno.TestoFine(), QStringLiteral("12/31/2024"));

  anno.SetByYear(QStringLiteral(" 2019 "));
  EXPECT_EQ(anno.Id(), 50);
  EXPECT_EQ(anno.AnnoInizio(), 2019);

  // a number below 1970 is an id already; without a row the dates stay empty
  anno.SetByYear(QStringLiteral("1969"));
  EXPECT_EQ(anno.Id(), 1969);
  EXPECT_FALSE(anno.DataInizio().isValid());
  EXPECT_TRUE(anno.TestoInizio().isEmpty());
  EXPECT_EQ(anno.AnnoInizio(), 0);

  // not a number: refused, the year stays what it was
  EXPECT_THROW(anno.SetByYear(QStringLiteral("duemila")), EZurError);
  EXPECT_EQ(anno.Id(), 1969);

  anno.Load(0); // the user parameter VXUP_AnfId, 55 by default
  EXPECT_EQ(anno.Id(), 55);
  m_params->xpmVxuParams().SetParams(QString::fromLatin1(VXUP_AnfId), QStringLiteral("54"));
  anno.Load(0);
  EXPECT_EQ(anno.AnnoInizio(), 2023);
}

TEST_P(TYearsParams, SchoolYearDefaultAndMissingParameterModule) {
  TnymAnnoScolastico scolastico(m_params.get());
  scolastico.Load(0);
  EXPECT_EQ(scolastico.DataInizio(), QDate(2024, 9, 1));
  EXPECT_EQ(scolastico.DataFine(), QDate(2025, 8, 31));
  m_params->xpmVxuParams().SetParams(QString::fromLatin1(VXUP_AnsId), QStringLiteral("non numerico"));
  scolastico.Load(0);
  EXPECT_EQ(scolastico.Id(), 0);
  EXPECT_FALSE(scolastico.DataInizio().isValid());

  TnymAnnoFinanziario orphan;
  try {
    orphan.Load(0);
    ADD_FAILURE() << "loaded a default year without a parameter module";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Assertion);
  }
}

TEST_P(TYearsParams, PayrollFinancialYearAttachesTheProgramModule) {
  SetDmQenParams(m_params.get());
  TqenAnnoFinanziario anno;
  anno.Load(0);
  EXPECT_EQ(anno.Params(), m_params.get());
  EXPECT_EQ(anno.Id(), 55);
  SetDmQenParams(nullptr);
}

TEST_P(TYearsParams, FinancialYearChoiceCheck) {
  TScriptedPlatform platform;
  const QString cat = QString::fromLatin1(VXUC_Params);
  const QString anf = QString::fromLatin1(VXUP_AnfId);
  // other categories and parameters are not checked
  EXPECT_TRUE(m_params->xpmVxuParamsCheckValue(QStringLiteral("ALTRO"), anf, std::nullopt));
  EXPECT_TRUE(m_params->xpmVxuParamsCheckValue(cat, QStringLiteral("VXUP_DwgId"), QStringLiteral("3")));
  EXPECT_FALSE(m_params->xpmVxuParamsCheckValue(cat, anf, std::nullopt));
  EXPECT_FALSE(m_params->xpmVxuParamsCheckValue(cat, anf, QStringLiteral("2026")));
  // the demo has the 2019 chart of accounts
  for (int y = 2018; y <= 2025; ++y)
    EXPECT_TRUE(m_params->xpmVxuParamsCheckValue(cat, anf, QString::number(y))) << y;
  EXPECT_TRUE(platform.calls().empty());

  // without the 2019 chart the update tool runs, and the choice stays refused
  // while type 200001 is missing
  Exec(QStringLiteral("DELETE FROM tnaf_conti"));
  Exec(QStringLiteral("UPDATE tpaco_parametri SET lpacoafam = 0"));
  EXPECT_TRUE(m_params->xpmVxuParamsCheckValue(cat, anf, QStringLiteral("2018")));
  EXPECT_FALSE(m_params->xpmVxuParamsCheckValue(cat, anf, QStringLiteral("2024")));
  ASSERT_EQ(platform.calls().size(), 1u);
  EXPECT_EQ(platform.calls()[0].kind, QStringLiteral("run"));
  EXPECT_TRUE(platform.calls()[0].text.contains(Conn().DatabaseName()));

  // the family flag makes the chart unnecessary (the general parameters are
  // read once per module, so a new module sees the change)
  Exec(QStringLiteral("UPDATE tpaco_parametri SET lpacoafam = 1"));
  m_params = std::make_unique<TdmQenParams>(&Conn());
  EXPECT_TRUE(m_params->xpmVxuParamsCheckValue(cat, anf, QStringLiteral("2024")));
  EXPECT_EQ(platform.calls().size(), 1u);
}

TEST_P(TYearsParams, ChartOfAccountsTestAndGeneralParameters) {
  EXPECT_TRUE(m_params->ChartOfAccountsTest(200001));
  EXPECT_FALSE(m_params->ChartOfAccountsTest(999999));
  EXPECT_EQ(m_params->GeneralParameter(QStringLiteral("SPACOCODATECO2007")).toString(), QStringLiteral("85.31.10"));
  EXPECT_THROW(m_params->GeneralParameter(QStringLiteral("NON_ESISTE")), EZurError);
}

ZUR_INSTANTIATE_ENGINES(TYearsParams);

TEST(NymUtil, FieldValueFallsBackToOldValueThenDefaultsByType) {
  TClientDataSet ds;
  ds.AddFieldDef(QStringLiteral("S"), TFieldType::String, 10);
  ds.AddFieldDef(QStringLiteral("I"), TFieldType::Integer);
  ds.AddFieldDef(QStringLiteral("A"), TFieldType::Amount, 2);
  ds.AddFieldDef(QStringLiteral("D"), TFieldType::Date);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName(QStringLiteral("S")).SetAsString(QStringLiteral("prima"));
  ds.FieldByName(QStringLiteral("I")).SetAsInteger(7);
  ds.Post();
  ds.MergeChangeLog();
  ds.Edit();
  ds.FieldByName(QStringLiteral("S")).SetAsString(QStringLiteral("dopo"));
  ds.Post();

  EXPECT_EQ(TNymUtil::FieldValue(&ds.FieldByName(QStringLiteral("S"))).toString(), QStringLiteral("dopo"));
  EXPECT_EQ(TNymUtil::FieldValue(&ds.FieldByName(QStringLiteral("I"))).toInt(), 7); // unchanged: the old value
  EXPECT_EQ(TNymUtil::FieldValue(&ds.FieldByName(QStringLiteral("A"))).value<Currency>(), Currency());
  EXPECT_EQ(TNymUtil::FieldValue(&ds.FieldByName(QStringLiteral("A")), 5).toInt(), 5);
  EXPECT_FALSE(TNymUtil::HasValue(TNymUtil::FieldValue(&ds.FieldByName(QStringLiteral("D")))));
  EXPECT_EQ(TNymUtil::FieldValue(nullptr, QStringLiteral("x")).toString(), QStringLiteral("x"));

  ds.Edit();
  ds.FieldByName(QStringLiteral("S")).Clear();
  ds.Post();
  EXPECT_EQ(TNymUtil::FieldValue(&ds.FieldByName(QStringLiteral("S"))).toString(), QString());
  EXPECT_FALSE(TNymUtil::HasValue(QVariant()));
  EXPECT_FALSE(TNymUtil::HasValue(QVariant(QMetaType::fromType<QString>())));
}

TEST(NymUtil, LoadDataSetFromBlobRefusesGarbage) {
  TClientDataSet source;
  source.AddFieldDef(QStringLiteral("X"), TFieldType::Integer);
  source.CreateDataSet();
  source.Append();
  source.FieldByName(QStringLiteral("X")).SetAsInteger(3);
  source.Post();
  TClientDataSet target;
  TNymUtil::LoadDataSetFromBlob(source.SaveToBytes(), target);
  EXPECT_EQ(target.FieldByName(QStringLiteral("x")).AsInteger(), 3);
  EXPECT_THROW(TNymUtil::LoadDataSetFromBlob(QByteArray("<DATAPACKET"), target), EZurError);
  EXPECT_FALSE(target.Active());
}

} // namespace
