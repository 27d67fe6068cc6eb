// The import accumulator: period, totals, final figures, and the year
// computation with the financial-year object switched and restored.
#include "payroll/ImportaIrap.h"

#include "dataset/ClientDataSet.h"
#include "db/ZurQuery.h"
#include "payroll/PayrollTestSupport.h"
#include "payroll/QenUtil.h"
#include "payroll/nymCAnno.h"
#include "support/ScriptedPlatform.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

using zurtest::Euro;

namespace {

using TRange = std::pair<int, int>;

TRange RangeOf(TImportaIrap& importa, int year) {
  importa.SetAnnoCorrente(year);
  return importa.MesiAnnoCorrente();
}

// Monthly rows carrying only the three columns the totals read.
void YearRows(TClientDataSet& rows, std::initializer_list<std::array<const char*, 3>> values) {
  TImportaIrap::DefinisciRighe(rows);
  int month = 0;
  for (const auto& v : values) {
    rows.Append();
    rows.FieldByName(QStringLiteral("IMESID")).SetAsInteger(++month);
    rows.FieldByName(QStringLiteral("DIP_TOTALE")).SetAsCurrency(Euro(v[0]));
    rows.FieldByName(QStringLiteral("COCOCO_TOTALE")).SetAsCurrency(Euro(v[1]));
    rows.FieldByName(QStringLiteral("AUTONOMI")).SetAsCurrency(Euro(v[2]));
    // Columns the import does not add up.
    rows.FieldByName(QStringLiteral("IMPONIBILE_TOTALE")).SetAsCurrency(Euro("777"));
    rows.FieldByName(QStringLiteral("IRAP")).SetAsCurrency(Euro("66"));
    rows.Post();
  }
}

} // namespace

TEST(ImportaIrap, MonthRangeOfEachYearOfThePeriod) {
  TImportaIrap across(2023, 9, 2024, 3);
  EXPECT_EQ(RangeOf(across, 2023), TRange(9, 12));
  EXPECT_EQ(RangeOf(across, 2024), TRange(1, 3));

  TImportaIrap wholeYear(2024, 1, 2024, 12);
  EXPECT_EQ(RangeOf(wholeYear, 2024), TRange(0, 0));

  // Only a one-year period of all twelve months is "the whole year" to the
  // statement; the years of a longer period pass their months.
  TImportaIrap twoYears(2023, 1, 2024, 12);
  EXPECT_EQ(RangeOf(twoYears, 2023), TRange(1, 12));
  EXPECT_EQ(RangeOf(twoYears, 2024), TRange(1, 12));

  TImportaIrap part(2024, 2, 2024, 12);
  EXPECT_EQ(RangeOf(part, 2024), TRange(2, 12));
  TImportaIrap oneMonth(2025, 8, 2025, 8);
  EXPECT_EQ(RangeOf(oneMonth, 2025), TRange(8, 8));
}

TEST(ImportaIrap, TotalsAreAddedExactlyAndRoundedOnlyAtTheEnd) {
  TImportaIrap importa(2023, 9, 2024, 3);
  TClientDataSet rows;
  // Two years whose totals are 1000.4999, 2000.5 and 0.5.
  YearRows(rows, {{"600.2499", "1000.25", "0.25"}, {"0.25", "0.25", "0"}});
  importa.AggiungiRighe(rows);
  YearRows(rows, {{"400", "1000", "0.25"}});
  importa.AggiungiRighe(rows);
  EXPECT_EQ(importa.TotaleDipendenti(), Euro("1000.4999"));
  EXPECT_EQ(importa.TotaleCococo(), Euro("2000.5"));
  EXPECT_EQ(importa.TotaleAutonomi(), Euro("0.5"));

  importa.Finalizza();
  EXPECT_EQ(importa.TotaleDipendenti(), Euro("1000"));
  EXPECT_EQ(importa.TotaleCococo(), Euro("2001"));
  EXPECT_EQ(importa.TotaleAutonomi(), Euro("1"));
  EXPECT_EQ(importa.BaseImponibile(), Euro("3002"));
  EXPECT_EQ(importa.Imposta(), Euro("255")); // 255.17
}

TEST(ImportaIrap, TaxIsEightAndAHalfPercentRoundedHalfAwayFromZero) {
  const auto taxOf = [](const char* base) {
    TImportaIrap importa(2024, 1, 2024, 12);
    TClientDataSet rows;
    YearRows(rows, {{base, "0", "0"}});
    importa.AggiungiRighe(rows);
    importa.Finalizza();
    return importa.Imposta();
  };
  EXPECT_EQ(taxOf("100"), Euro("9")); // 8.5
  EXPECT_EQ(taxOf("99"), Euro("8"));  // 8.415
  EXPECT_EQ(taxOf("0"), Currency());
  // A negative balance (a month of refunds) rounds away from zero as well.
  EXPECT_EQ(taxOf("-100"), Euro("-9"));
}

namespace {

class TImportaIrapYear : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QueryText().Load(zurtest::kCommittedRepository);
    Db().CreateSchema(true);
    m_modules = std::make_unique<zurtest::TPayrollModules>(Conn());
    m_query.SetConnection(&Conn());
    m_irap.SetConnection(&Conn());
  }
  void TearDown() override {
    m_modules.reset();
    TDatabaseTest::TearDown();
  }

  // What the import does to reopen its monthly rows of one year.
  void OpenYear(TImportaIrap& importa, int year, const TQenIrap::TProgress& progress = {}) {
    importa.SetAnnoCorrente(year);
    const auto [from, to] = importa.MesiAnnoCorrente();
    TQenUtil::AssignStatement(QStringLiteral("QRY_IRAP"), m_irap);
    m_irap.ParamByName(QStringLiteral("MESEDAL")).SetInteger(from);
    m_irap.ParamByName(QStringLiteral("MESEAL")).SetInteger(to);
    m_irap.Open();
    TImportaIrap::CaricaRighe(m_irap, m_rows);
    m_irap.Close();
    importa.CalcolaAnno(m_query, m_rows, progress);
  }

  std::unique_ptr<zurtest::TPayrollModules> m_modules;
  TScriptedPlatform m_platform;
  TZurQuery m_query;
  TZurQuery m_irap;
  TClientDataSet m_rows;
};

} // namespace

TEST_P(TImportaIrapYear, MonthlyRowsComeFromTheStatementAsExactAmounts) {
  TImportaIrap importa(2023, 9, 2024, 3);
  OpenYear(importa, 2023);
  ASSERT_EQ(m_rows.RecordCount(), 4);
  EXPECT_EQ(m_rows.FieldByName(QStringLiteral("IMESID")).DataType(), TFieldType::Integer);
  for (const char* column : TQenIrap::AmountColumns) {
    const TField& f = m_rows.FieldByName(QString::fromLatin1(column));
    EXPECT_EQ(f.DataType(), TFieldType::Amount) << column;
    EXPECT_EQ(f.Size(), 4) << column;
  }
  m_rows.First();
  EXPECT_EQ(m_rows.FieldByName(QStringLiteral("IMESID")).AsInteger(), 9);
  // December 2023 of the demo payroll: ROSSI 2098.10 + 300.00, VERDI 780.00
  // and NERI 1150.75, FERRARI 950.50, read exactly.
  m_rows.Last();
  EXPECT_EQ(m_rows.FieldByName(QStringLiteral("IMPONIBILE_TOTALE")).AsCurrency(), Euro("5279.35"));
}

TEST_P(TImportaIrapYear, FinancialYearIsTheComputedOneAndComesBackAfterwards) {
  QenAnnoFinanziario().SetByYear(QStringLiteral("2022"));
  TImportaIrap importa(2024, 1, 2024, 12);
  QList<int> seen;
  OpenYear(importa, 2024, [&](const QString&) { seen << QenAnnoFinanziario().Id(); });
  EXPECT_EQ(m_rows.RecordCount(), 12);
  ASSERT_FALSE(seen.isEmpty());
  EXPECT_EQ(seen.first(), 55);
  EXPECT_EQ(seen.last(), 55);
  EXPECT_EQ(QenAnnoFinanziario().Id(), 53);
  EXPECT_EQ(QenAnnoFinanziario().AnnoInizio(), 2022);
}

TEST_P(TImportaIrapYear, FailureInTheMiddleOfAYearRestoresTheFinancialYear) {
  QenAnnoFinanziario().SetByYear(QStringLiteral("2023"));
  // The withheld statement fails from March on (an integer overflow, a
  // run-time error on both engines): two months are computed first.
  zurtest::TRepositoryOverride repo({{{"QRY_IRAP_RIT", "EXECUTE"}, zurtest::kRitenutaGuastaDaMarzo}});
  TImportaIrap importa(2024, 1, 2024, 12);
  int months = 0;
  EXPECT_THROW(OpenYear(importa, 2024,
                        [&](const QString& text) {
                          if (text == QStringLiteral("Calcolo ritenuta")) ++months;
                        }),
               EZurError);
  EXPECT_EQ(months, 3);
  EXPECT_EQ(QenAnnoFinanziario().Id(), 54);
  EXPECT_EQ(QenAnnoFinanziario().AnnoInizio(), 2023);
}

ZUR_INSTANTIATE_ENGINES(TImportaIrapYear);
