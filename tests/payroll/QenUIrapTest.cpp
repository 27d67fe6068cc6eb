// The monthly IRAP calculator on a payroll written by hand, on both engines.
#include "payroll/QenUIrap.h"

#include "dataset/ClientDataSet.h"
#include "db/ZurQuery.h"
#include "payroll/ImportaIrap.h"
#include "payroll/PayrollTestSupport.h"
#include "payroll/nymCAnno.h"
#include "support/ScriptedPlatform.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

using zurtest::Euro;

namespace {

constexpr int kYear = 2024;
constexpr int kMonth = 5;

// Contract types, pay items and workers of the hand-made payroll.
enum { kEmployee = 1, kFixedTerm = 2, kSelfEmployed = 10, kCollaborator = 11, kExternal = 17 };
enum { kSalary = 1, kAncillary = 2, kCollabFund = 3, kNotIrap = 4 };

class TQenIrapTest : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QueryText().Load(zurtest::kCommittedRepository);
    Db().CreateSchema(false);
    m_modules = std::make_unique<zurtest::TPayrollModules>(Conn());
    zurtest::TPayrollWriter w(Conn());
    for (int t : {kEmployee, kFixedTerm, kSelfEmployed, kCollaborator, kExternal})
      w.ContractType(t);
    w.PayItem(kSalary, 1, 1);
    w.PayItem(kAncillary, 3, 1);
    w.PayItem(kCollabFund, 2, 1);
    w.PayItem(kNotIrap, 1, 0);
    for (int id = 1; id <= 5; ++id)
      w.Worker(id);
    m_writer = std::make_unique<zurtest::TPayrollWriter>(Conn());
    QenAnnoFinanziario().SetByYear(QString::number(kYear));
  }
  void TearDown() override {
    m_writer.reset();
    m_modules.reset();
    TDatabaseTest::TearDown();
  }

  // The month whose statements give A = 100, B = 1000, collaborators' class
  // 3 = 50, self-employed class 3 = 30, C = 380 and D = 20.
  void WorkedMonth(int year = kYear, int month = kMonth) {
    auto& w = *m_writer;
    w.Movement(year, month, 1, kEmployee, kSalary, Euro("900"), Euro("76.50"));
    w.Movement(year, month, 3, kCollaborator, kSalary, Euro("100"), Euro("8.50"));
    w.Movement(year, month, 4, kExternal, kAncillary, Euro("50"), Euro("4.25"));
    w.Movement(year, month, 5, kSelfEmployed, kAncillary, Euro("30"), Euro("2.55"));
    w.Movement(year, month, 1, kEmployee, kAncillary, Euro("300"), Euro("25.50"));
    w.Movement(year, month, 2, kFixedTerm, kCollabFund, Euro("20"), Euro("1.70"));
    // Not subject to IRAP: counted nowhere, withheld nothing.
    w.Movement(year, month, 1, kEmployee, kNotIrap, Euro("999"), Euro("84.92"));
  }

  // Monthly rows with these month ids.
  void Rows(std::initializer_list<int> months) {
    TImportaIrap::DefinisciRighe(m_rows);
    for (int m : months) {
      m_rows.Append();
      m_rows.FieldByName(QStringLiteral("IMESID")).SetAsInteger(m);
      m_rows.Post();
    }
    m_rows.MergeChangeLog();
  }
  Currency At(int recNo, const char* column) {
    m_rows.SetRecNo(recNo);
    return m_rows.FieldByName(QString::fromLatin1(column)).AsCurrency();
  }

  std::unique_ptr<zurtest::TPayrollModules> m_modules;
  std::unique_ptr<zurtest::TPayrollWriter> m_writer;
  TClientDataSet m_rows;
  TScriptedPlatform m_platform;
  TZurQuery m_query;
};

} // namespace

TEST_P(TQenIrapTest, WorkedMonthGivesTheFiguresOfTheFormulas) {
  WorkedMonth();
  m_query.SetConnection(&Conn());
  Rows({kMonth});
  QStringList progress;
  TQenIrap::RiempiMesi(m_query, m_rows, [&](const QString& t) { progress << t; });

  EXPECT_EQ(At(1, "DIP_FONDAMENTALI"), Euro("900"));
  EXPECT_EQ(At(1, "DIP_ACCESSORI"), Euro("300"));
  EXPECT_EQ(At(1, "DIP_TOTALE"), Euro("1200"));
  EXPECT_EQ(At(1, "COCOCO_ACCESSORI"), Euro("50"));
  EXPECT_EQ(At(1, "COCOCO_FONDAMENTALI"), Euro("120"));
  EXPECT_EQ(At(1, "COCOCO_TOTALE"), Euro("170"));
  EXPECT_EQ(At(1, "AUTONOMI"), Euro("30"));
  EXPECT_EQ(At(1, "IMPONIBILE_TOTALE"), Euro("1400"));
  EXPECT_EQ(At(1, "IRAP"), Euro("119"));
  EXPECT_EQ(m_rows.State(), TDataSetState::Browse);
  EXPECT_EQ(progress,
            (QStringList{"Calcolo fondamentali", "Calcolo accessori cococo", "Calcolo autonomi",
                         "Calcolo accessori dipendenti", "Calcolo fondamentali cococo", "Calcolo ritenuta"}));
  // The window is serviced after each of the six taxable-amount statements,
  // not after the withheld one.
  EXPECT_EQ(m_platform.processMessagesCount(), 6);
}

TEST_P(TQenIrapTest, MonthsAndYearsStayApartAndMonthZeroMeansTheWholeYear) {
  WorkedMonth();
  WorkedMonth(kYear, 6);
  WorkedMonth(kYear - 1, kMonth); // another financial year
  m_query.SetConnection(&Conn());
  Rows({4, kMonth, 0, -1});
  TQenIrap::RiempiMesi(m_query, m_rows, {});
  EXPECT_EQ(At(1, "IMPONIBILE_TOTALE"), Currency());
  EXPECT_EQ(At(1, "IRAP"), Currency());
  EXPECT_EQ(At(2, "IMPONIBILE_TOTALE"), Euro("1400"));
  EXPECT_EQ(At(3, "IMPONIBILE_TOTALE"), Euro("2800"));
  EXPECT_EQ(At(3, "DIP_FONDAMENTALI"), Euro("1800"));
  EXPECT_EQ(At(3, "IRAP"), Euro("238"));
  EXPECT_EQ(At(4, "COCOCO_TOTALE"), Euro("340"));

  // The statements take the financial year of the program-wide object.
  QenAnnoFinanziario().SetByYear(QStringLiteral("2023"));
  EXPECT_EQ(TQenIrap::Imponibile(m_query, 0, QString(), 1), Euro("1000"));
  EXPECT_EQ(TQenIrap::Ritenuta(m_query, 0), Euro("119"));
}

TEST_P(TQenIrapTest, EmployeesAloneAndClassTwoOfAnyTypeGoesToCollaborators) {
  auto& w = *m_writer;
  w.Movement(kYear, kMonth, 1, kEmployee, kSalary, Euro("1234.5678"));
  w.Movement(kYear, kMonth, 2, kFixedTerm, kAncillary, Euro("0.0001"));
  w.Movement(kYear, kMonth, 1, kEmployee, kCollabFund, Euro("99.99"));
  m_query.SetConnection(&Conn());
  Rows({kMonth});
  TQenIrap::RiempiMesi(m_query, m_rows, {});
  EXPECT_EQ(At(1, "DIP_FONDAMENTALI"), Euro("1234.5678"));
  EXPECT_EQ(At(1, "DIP_ACCESSORI"), Euro("0.0001"));
  EXPECT_EQ(At(1, "DIP_TOTALE"), Euro("1234.5679"));
  EXPECT_EQ(At(1, "COCOCO_FONDAMENTALI"), Euro("99.99"));
  EXPECT_EQ(At(1, "COCOCO_TOTALE"), Euro("99.99"));
  EXPECT_EQ(At(1, "AUTONOMI"), Currency());
  // No movement withheld anything: NULL counts as zero.
  EXPECT_EQ(At(1, "IRAP"), Currency());
}

TEST_P(TQenIrapTest, FailingStatementStopsAtItsRowAndKeepsTheRowsBefore) {
  WorkedMonth();
  WorkedMonth(kYear, 6);
  m_query.SetConnection(&Conn());
  Rows({kMonth, 6});
  // The withheld statement reads a column that does not exist: the first
  // month's own statements run, then the error ends the computation.
  {
    zurtest::TRepositoryOverride repo(
        {{{"QRY_IRAP_RIT", "EXECUTE"},
          QStringLiteral(
              "SELECT SUM(REGS.NONESISTE) FROM TREGS_REGISTRAZIONI REGS WHERE REGS.IANFID = :IANFID "
              "AND :RICE_COD_IRAP = 1")}});
    EXPECT_THROW(TQenIrap::RiempiMesi(m_query, m_rows, {}), EZurError);
  }
  EXPECT_EQ(m_rows.State(), TDataSetState::Browse);
  EXPECT_EQ(At(1, "IMPONIBILE_TOTALE"), Currency()); // the failed row was cancelled
  EXPECT_EQ(m_rows.ChangeCount(), 0);

  // Without the statement in the repository: the repository's assertion.
  {
    zurtest::TRepositoryOverride repo({{{"QRY_IRAP_IMP", "EXECUTE"}, std::nullopt}});
    try {
      TQenIrap::RiempiMesi(m_query, m_rows, {});
      FAIL() << "a missing statement must stop the computation";
    } catch (const EZurError& e) {
      EXPECT_EQ(e.kind(), EZurError::Kind::Assertion);
      EXPECT_EQ(e.message(), QStringLiteral("Query: QRY_IRAP_IMP"));
    }
  }
  // Rows without an amount column are refused before any statement runs.
  TClientDataSet incomplete;
  incomplete.AddFieldDef(QStringLiteral("IMESID"), TFieldType::Integer);
  incomplete.CreateDataSet();
  incomplete.Append();
  incomplete.FieldByName(QStringLiteral("IMESID")).SetAsInteger(kMonth);
  incomplete.Post();
  const int before = m_platform.processMessagesCount();
  EXPECT_THROW(TQenIrap::RiempiMesi(m_query, incomplete, {}), EZurError);
  EXPECT_EQ(m_platform.processMessagesCount(), before);
}

ZUR_INSTANTIATE_ENGINES(TQenIrapTest);

TEST(QenIrapFormat, FormatsLikeTheFamilysFormatWithOneArgument) {
  EXPECT_EQ(TQenIrap::FormatTesto(QStringLiteral("A%sB"), QString()), QStringLiteral("AB"));
  EXPECT_EQ(TQenIrap::FormatTesto(QStringLiteral("LIKE 'X%%' %s"), QStringLiteral("Y")),
            QStringLiteral("LIKE 'X%' Y"));
  EXPECT_EQ(TQenIrap::FormatTesto(QStringLiteral("no placeholder 100%%"), QString()),
            QStringLiteral("no placeholder 100%"));
  // A second placeholder, another conversion or a lone percent sign at the
  // end have no argument to take: refused rather than run half-formatted.
  for (const char* bad : {"%s and %s", "%d", "50%", "%5s"})
    EXPECT_THROW(TQenIrap::FormatTesto(QString::fromLatin1(bad), QString()), EZurError) << bad;
}
