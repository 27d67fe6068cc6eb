#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

} // namespace

// --- the parameter scanner --------------------------------------------------------

TEST(ParseNamedParameters, ReplacesEachUseAndKeepsNamesOnce) {
  const TParsedSql p =
      ParseNamedParameters(Q("SELECT * FROM t WHERE (a = :IAFIID OR :iafiid = -1) AND b=:B_2"));
  EXPECT_EQ(p.driverText, Q("SELECT * FROM t WHERE (a = ? OR ? = -1) AND b=?"));
  EXPECT_EQ(p.positions, (QStringList{Q("IAFIID"), Q("iafiid"), Q("B_2")}));
  EXPECT_EQ(p.names, (QStringList{Q("IAFIID"), Q("B_2")}));
}

TEST(ParseNamedParameters, IgnoresLiteralsQuotedNamesCastsAndDollarQuotes) {
  const TParsedSql p = ParseNamedParameters(
      Q("SELECT ':a', 'it''s :b', \":c\", x::numeric, $$ :d $$, $t$ :e $t$, a$b FROM t WHERE y = :F"));
  EXPECT_EQ(p.names, QStringList{Q("F")});
  EXPECT_EQ(p.driverText,
            Q("SELECT ':a', 'it''s :b', \":c\", x::numeric, $$ :d $$, $t$ :e $t$, a$b FROM t WHERE y = ?"));
}

TEST(ParseNamedParameters, DropsCommentsSoDriversSeeNoPlaceholdersInThem) {
  const TParsedSql p = ParseNamedParameters(Q("SELECT 1 -- :a ?\n/* :b ? */ FROM t WHERE c = :C"));
  EXPECT_EQ(p.names, QStringList{Q("C")});
  EXPECT_FALSE(p.driverText.contains(QLatin1Char(':')));
  EXPECT_EQ(p.driverText.count(QLatin1Char('?')), 1);
}

TEST(ParseNamedParameters, RefusesPositionalPlaceholders) {
  EXPECT_THROW(ParseNamedParameters(Q("SELECT * FROM t WHERE a = ? AND b = :B")), EZurError);
  EXPECT_NO_THROW(ParseNamedParameters(Q("SELECT '?' FROM t")));
}

TEST(ParseNamedParameters, RefusesASecondStatement) {
  EXPECT_THROW(ParseNamedParameters(Q("DELETE FROM t WHERE a = :A; DELETE FROM u")), EZurError);
  EXPECT_NO_THROW(ParseNamedParameters(Q("SELECT ';' FROM t; -- fine\n")));
  EXPECT_NO_THROW(ParseNamedParameters(
      Q("CREATE FUNCTION f() RETURNS int AS $$ BEGIN RETURN 1; END $$ LANGUAGE plpgsql")));
}

TEST(ParseNamedParameters, ColonWithoutNameIsText) {
  const TParsedSql p = ParseNamedParameters(Q("SELECT a := 1, :1, : x"));
  EXPECT_TRUE(p.names.isEmpty());
}

// --- parameters without a database ------------------------------------------------

TEST(TZurQueryParams, FoundWithoutRegardToCaseAndMissingOnesNamed) {
  TZurQuery q;
  q.SetSQL(Q("SELECT :Anno, :MESE"));
  EXPECT_EQ(q.ParamCount(), 2);
  EXPECT_EQ(&q.ParamByName(Q("anno")), &q.ParamByName(Q("ANNO")));
  try {
    q.ParamByName(Q("IAFIID"));
    FAIL() << "a missing parameter must raise";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Field);
    EXPECT_TRUE(e.message().contains(Q("IAFIID")));
  }
}

TEST(TZurQueryParams, NewTextStartsWithUnsetParameters) {
  TZurQuery q;
  q.SetSQL(Q("SELECT :A"));
  q.ParamByName(Q("A")).SetInteger(5);
  q.SetSQL(Q("SELECT :A, :B"));
  EXPECT_FALSE(q.ParamByName(Q("A")).Assigned());
  q.ParamByName(Q("B")).SetString(Q("x"));
  q.ClearParams();
  EXPECT_FALSE(q.ParamByName(Q("B")).Assigned());
  EXPECT_EQ(q.ParamCount(), 2);
}

// --- on the engines -------------------------------------------------------------------

class TZurQueryTest : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Exec("CREATE TABLE tprova (iid BIGINT NOT NULL PRIMARY KEY, snome VARCHAR(40), ffloat DOUBLE PRECISION, "
         "nimporto NUMERIC(15,4), ddata DATE, bdati " +
         std::string(IsSQLite() ? "BLOB" : "BYTEA") + ")");
  }
  void Exec(const std::string& sql) {
    TZurQuery q(Conn());
    q.SetSQL(QString::fromStdString(sql));
    q.ExecSQL();
  }
};

TEST_P(TZurQueryTest, TypedValuesMakeTheRoundTrip) {
  TZurQuery ins(Conn());
  ins.SetSQL(Q("INSERT INTO tprova (iid, snome, ffloat, nimporto, ddata, bdati) "
               "VALUES (:ID, :NOME, :F, :IMPORTO, :DATA, :DATI)"));
  ins.ParamByName(Q("id")).SetInteger(4000000000LL);
  ins.ParamByName(Q("nome")).SetString(Q("D'Annunzio \"è\" ; DROP TABLE tprova; --"));
  ins.ParamByName(Q("f")).SetFloat(0.1);
  ins.ParamByName(Q("importo")).SetCurrency(*Currency::Parse(Q("12345678901,2345")));
  ins.ParamByName(Q("data")).SetDate(QDate(2024, 12, 31));
  ins.ParamByName(Q("dati")).SetBlob(QByteArray("\x00\x01\xff'", 4));
  ins.ExecSQL();
  EXPECT_EQ(ins.RowsAffected(), 1);

  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT iid, snome, ffloat, nimporto, ddata, bdati FROM tprova"));
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName(Q("IID")).AsInteger(), 4000000000LL);
  EXPECT_EQ(q.FieldByName(Q("SNOME")).AsString(), Q("D'Annunzio \"è\" ; DROP TABLE tprova; --"));
  EXPECT_DOUBLE_EQ(q.FieldByName(Q("FFLOAT")).AsFloat(), 0.1);
  EXPECT_EQ(q.FieldByName(Q("FFLOAT")).AsCurrency(), *Currency::Parse(Q("0,1")));
  EXPECT_EQ(q.FieldByName(Q("DDATA")).AsDate(), QDate(2024, 12, 31));
  EXPECT_EQ(q.FieldByName(Q("DDATA")).AsString(), Q("2024-12-31"));
  EXPECT_EQ(q.FieldByName(Q("BDATI")).AsBytes(), QByteArray("\x00\x01\xff'", 4));
  if (!IsSQLite()) {
    // NUMERIC keeps all four decimals of a 15-digit amount: no double between.
    EXPECT_EQ(q.FieldByName(Q("NIMPORTO")).AsCurrency(), *Currency::Parse(Q("12345678901,2345")));
    EXPECT_EQ(q.FieldByName(Q("NIMPORTO")).AsString(), Q("12345678901.2345"));
  }
  q.Next();
  EXPECT_TRUE(q.Eof());
}

TEST_P(TZurQueryTest, TypedNullsAndNullFields) {
  TZurQuery ins(Conn());
  ins.SetSQL(Q("INSERT INTO tprova (iid, snome, ffloat, ddata) VALUES (:ID, :NOME, :F, :DATA)"));
  ins.ParamByName(Q("ID")).SetInteger(1);
  ins.ParamByName(Q("NOME")).SetNull(TZurFieldType::String);
  ins.ParamByName(Q("F")).SetNull(TZurFieldType::Float);
  ins.ParamByName(Q("DATA")).SetNull(TZurFieldType::Date);
  ins.ExecSQL();
  ins.ParamByName(Q("ID")).SetInteger(2);
  ins.ParamByName(Q("NOME")).SetString(QString()); // empty text, not NULL, on both engines
  ins.ExecSQL();
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT snome, ffloat, ddata, nimporto FROM tprova WHERE iid = :ID"));
  q.ParamByName(Q("ID")).SetInteger(1);
  q.Open();
  for (int i = 0; i < q.FieldCount(); ++i) {
    EXPECT_TRUE(q.Fields(i).IsNull()) << i;
    EXPECT_EQ(q.Fields(i).AsString(), QString());
    EXPECT_EQ(q.Fields(i).AsInteger(), 0);
    EXPECT_TRUE(q.Fields(i).AsCurrency().IsZero());
    EXPECT_FALSE(q.Fields(i).AsDate().isValid());
  }
  q.Close();
  q.ParamByName(Q("ID")).SetInteger(2);
  q.Open();
  EXPECT_FALSE(q.FieldByName(Q("SNOME")).IsNull());
  EXPECT_EQ(q.FieldByName(Q("SNOME")).AsString(), Q(""));
}

TEST_P(TZurQueryTest, AParameterUsedTwiceIsBoundInBothPlaces) {
  Exec("INSERT INTO tprova (iid, snome) VALUES (1, 'a')");
  Exec("INSERT INTO tprova (iid, snome) VALUES (2, 'b')");
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT COUNT(*) AS n FROM tprova WHERE (iid = :IAFIID OR :IAFIID = -1)"));
  q.ParamByName(Q("IAFIID")).SetInteger(-1);
  q.Open();
  EXPECT_EQ(q.FieldByName(Q("N")).AsInteger(), 2);
  q.Close();
  q.ParamByName(Q("IAFIID")).SetInteger(2);
  q.Open();
  EXPECT_EQ(q.FieldByName(Q("n")).AsInteger(), 1);
}

TEST_P(TZurQueryTest, RowsComeForwardAndEmptyResultsReadAsNull) {
  for (int i = 1; i <= 3; ++i)
    Exec("INSERT INTO tprova (iid, snome) VALUES (" + std::to_string(i) + ", 'r" + std::to_string(i) + "')");
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT iid, snome FROM tprova ORDER BY iid"));
  q.Open();
  EXPECT_TRUE(q.Active());
  QStringList seen;
  for (; !q.Eof(); q.Next())
    seen << q.Fields(1).AsString();
  EXPECT_EQ(seen, (QStringList{Q("r1"), Q("r2"), Q("r3")}));
  EXPECT_TRUE(q.FieldByName(Q("snome")).IsNull()); // past the last row
  q.Close();
  EXPECT_FALSE(q.Active());

  q.SetSQL(Q("SELECT iid, snome FROM tprova WHERE iid < 0"));
  q.Open();
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.FieldByName(Q("SNOME")).AsString(), QString());
  EXPECT_THROW(q.FieldByName(Q("SCOGNOME")), EZurError);
}

TEST_P(TZurQueryTest, MissingColumnAndUnsetParameterAreNamed) {
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT iid FROM tprova WHERE iid = :ID"));
  try {
    q.Open();
    FAIL() << "an unset parameter must raise";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("ID")));
  }
  q.ParamByName(Q("ID")).SetInteger(1);
  q.Open();
  try {
    q.FieldByName(Q("SNOME"));
    FAIL() << "a missing column must raise";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Field);
    EXPECT_TRUE(e.message().contains(Q("SNOME")));
  }
}

TEST_P(TZurQueryTest, DriverErrorsCarryTheDriversText) {
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT * FROM tabella_che_non_esiste"));
  try {
    q.Open();
    FAIL() << "a failing statement must raise";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Database);
    EXPECT_TRUE(e.message().contains(Q("tabella_che_non_esiste"))) << e.what();
  }
  Exec("INSERT INTO tprova (iid) VALUES (1)");
  q.SetSQL(Q("INSERT INTO tprova (iid) VALUES (:ID)"));
  q.ParamByName(Q("ID")).SetInteger(1);
  EXPECT_THROW(q.ExecSQL(), EZurError);
}

TEST_P(TZurQueryTest, TwoStatementsInOneTextAreRefusedBeforeAnyRuns) {
  // SQLite would run the first and quietly drop the second; PostgreSQL would
  // run the second while preparing the first.
  TZurQuery q(Conn());
  EXPECT_THROW(q.SetSQL(Q("INSERT INTO tprova (iid) VALUES (:ID); INSERT INTO tprova (iid) VALUES (2)")),
               EZurError);
  q.SetSQL(Q("SELECT COUNT(*) FROM tprova"));
  q.Open();
  EXPECT_EQ(q.Fields(0).AsInteger(), 0);
}

TEST_P(TZurQueryTest, PreparedStatementRunsAgainWithNewValues) {
  TZurQuery q(Conn());
  q.SetSQL(Q("INSERT INTO tprova (iid, snome) VALUES (:ID, :NOME)"));
  for (int i = 1; i <= 50; ++i) {
    q.ParamByName(Q("ID")).SetInteger(i);
    q.ParamByName(Q("NOME")).SetString(QString::number(i * i));
    q.ExecSQL();
  }
  TZurQuery sum(Conn());
  sum.SetSQL(Q("SELECT COUNT(*), SUM(iid) FROM tprova WHERE snome = :N"));
  sum.ParamByName(Q("N")).SetString(Q("49"));
  sum.Open();
  EXPECT_EQ(sum.Fields(0).AsInteger(), 1);
  EXPECT_EQ(sum.Fields(1).AsInteger(), 7);
}

TEST_P(TZurQueryTest, ValuesThatAreNotWhatIsAskedAreRefused) {
  Exec("INSERT INTO tprova (iid, snome) VALUES (1, 'dodici')");
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT snome, iid FROM tprova"));
  q.Open();
  EXPECT_THROW(q.Fields(0).AsInteger(), EZurError);
  EXPECT_THROW(q.Fields(0).AsCurrency(), EZurError);
  EXPECT_THROW(q.Fields(0).AsDate(), EZurError);
  EXPECT_THROW(q.Fields(2), EZurError);
  EXPECT_EQ(q.Fields(1).AsCurrency(), Currency::FromUnits(1));
}

ZUR_INSTANTIATE_ENGINES(TZurQueryTest);
