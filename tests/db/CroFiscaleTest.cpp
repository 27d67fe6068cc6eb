#include "db/VxTransaction.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

// The statement exactly as the declaration store writes it.
const char* kStoreStatement = "SELECT icrfid FROM pnym_getcrofiscale(:sProgramma, :iAnno, :iMese) ";

class TCroFiscaleTest : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Db().CreateSchema(false);
  }

  // NULL year or month when not given, as the store passes "not above 0".
  qint64 Period(TVxSQLConnection& c, const char* program, std::optional<int> year, std::optional<int> month) {
    TZurQuery q(c);
    q.SetSQL(Q(kStoreStatement));
    q.ParamByName(Q("SPROGRAMMA")).SetString(Q(program));
    if (year)
      q.ParamByName(Q("iAnno")).SetInteger(*year);
    else
      q.ParamByName(Q("iAnno")).SetNull(TZurFieldType::Integer);
    if (month)
      q.ParamByName(Q("iMese")).SetInteger(*month);
    else
      q.ParamByName(Q("iMese")).SetNull(TZurFieldType::Integer);
    q.Open();
    EXPECT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldName(0).toLower(), Q("icrfid"));
    const qint64 id = q.Fields(0).AsInteger();
    q.Next();
    EXPECT_TRUE(q.Eof()) << "one row only";
    return id;
  }

  qint64 Rows() {
    TZurQuery q(Conn());
    q.SetSQL(Q("SELECT COUNT(*) FROM tcrf_crofiscale"));
    q.Open();
    return q.Fields(0).AsInteger();
  }
};

} // namespace

TEST_P(TCroFiscaleTest, TheSameKeyGivesTheSamePeriod) {
  const qint64 id = Period(Conn(), "zur", 2024, std::nullopt);
  EXPECT_GT(id, 0);
  EXPECT_EQ(Period(Conn(), "zur", 2024, std::nullopt), id);
  EXPECT_EQ(Rows(), 1);
}

TEST_P(TCroFiscaleTest, ProgramCodeIsComparedInLowerCase) {
  const qint64 id = Period(Conn(), "ZUR", 2024, 3);
  EXPECT_EQ(Period(Conn(), "zur", 2024, 3), id);
  EXPECT_EQ(Period(Conn(), "Zur", 2024, 3), id);
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT scrfprogramma, icrfanno, icrfmese FROM tcrf_crofiscale WHERE icrfid = :ID"));
  q.ParamByName(Q("ID")).SetInteger(id);
  q.Open();
  EXPECT_EQ(q.Fields(0).AsString(), Q("zur"));
  EXPECT_EQ(q.Fields(1).AsInteger(), 2024);
  EXPECT_EQ(q.Fields(2).AsInteger(), 3);
}

TEST_P(TCroFiscaleTest, NullMonthAndYearAreKeysOfTheirOwn) {
  const qint64 noMonth = Period(Conn(), "zur", 2024, std::nullopt);
  const qint64 march = Period(Conn(), "zur", 2024, 3);
  const qint64 noYear = Period(Conn(), "zur", std::nullopt, std::nullopt);
  const qint64 otherYear = Period(Conn(), "zur", 2023, std::nullopt);
  const qint64 otherProgram = Period(Conn(), "qen", 2024, std::nullopt);
  EXPECT_EQ(std::set<qint64>({noMonth, march, noYear, otherYear, otherProgram}).size(), 5u);
  EXPECT_EQ(Period(Conn(), "zur", std::nullopt, std::nullopt), noYear);
  EXPECT_EQ(Period(Conn(), "zur", 2024, std::nullopt), noMonth);
  EXPECT_EQ(Rows(), 5);

  // The store reads the period back with month 0 standing for "none".
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT crf.icrfid FROM tcrf_crofiscale crf WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO AND "
             "(COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND Lower(crf.scrfprogramma) = "
             ":SCRFPROGRAMMA"));
  q.ParamByName(Q("ICRFANNO")).SetInteger(2024);
  q.ParamByName(Q("ICRFMESE")).SetInteger(0);
  q.ParamByName(Q("SCRFPROGRAMMA")).SetString(Q("zur"));
  q.Open();
  EXPECT_EQ(q.Fields(0).AsInteger(), noMonth);
}

TEST_P(TCroFiscaleTest, CreatesInsideTheCallersTransactionAndRollsBackWithIt) {
  {
    TVxTransaction t(Conn());
    t.StartTransaction();
    Period(Conn(), "zur", 2024, std::nullopt);
    EXPECT_EQ(Rows(), 1);
    t.Rollback();
  }
  EXPECT_EQ(Rows(), 0);
  TVxTransaction t(Conn());
  t.StartTransaction();
  const qint64 id = Period(Conn(), "zur", 2024, std::nullopt);
  t.Commit();
  EXPECT_EQ(Period(Conn(), "zur", 2024, std::nullopt), id);
}

TEST_P(TCroFiscaleTest, AnotherConnectionSeesTheSamePeriod) {
  const qint64 id = Period(Conn(), "zur", 2024, std::nullopt);
  auto other = Db().OpenAnother();
  EXPECT_EQ(Period(*other, "ZUR", 2024, std::nullopt), id);
  const qint64 created = Period(*other, "zur", 2025, std::nullopt);
  EXPECT_EQ(Period(Conn(), "zur", 2025, std::nullopt), created);
}

TEST_P(TCroFiscaleTest, MissingProgramCodeIsAnError) {
  TZurQuery q(Conn());
  q.SetSQL(Q(kStoreStatement));
  q.ParamByName(Q("sProgramma")).SetNull(TZurFieldType::String);
  q.ParamByName(Q("iAnno")).SetInteger(2024);
  q.ParamByName(Q("iMese")).SetNull(TZurFieldType::Integer);
  EXPECT_THROW(q.Open(), EZurError);
  EXPECT_EQ(Rows(), 0);
}

ZUR_INSTANTIATE_ENGINES(TCroFiscaleTest);
