#include "db/FamilySchema.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

// What SQLite gets registered on every connection. PostgreSQL has the same
// routines as functions in the database; both are exercised by the engine
// tests.

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

QString One(TVxSQLConnection& c, const char* sql) {
  TZurQuery q(c);
  q.SetSQL(Q(sql));
  q.Open();
  return q.Fields(0).AsString();
}

} // namespace

TEST(SqliteExtensions, NymImportoGivesExactDecimalText) {
  zurtest::TTestDatabase db("sqlite");
  EXPECT_EQ(One(db.Connection(), "SELECT nym_importo(12345000)"), Q("1234.5000"));
  EXPECT_EQ(One(db.Connection(), "SELECT nym_importo(-5)"), Q("-0.0005"));
  EXPECT_EQ(One(db.Connection(), "SELECT nym_importo(-9223372036854775807 - 1)"), Q("-922337203685477.5808"));
  EXPECT_EQ(One(db.Connection(), "SELECT nym_importo(NULL) IS NULL"), Q("1"));
  EXPECT_EQ(One(db.Connection(), "SELECT nym_importo(250000.0)"), Q("25.0000"));
  EXPECT_THROW(One(db.Connection(), "SELECT nym_importo(12.5)"), EZurError);
  EXPECT_THROW(One(db.Connection(), "SELECT nym_importo('dodici')"), EZurError);
}

TEST(SqliteExtensions, AnErrorOnALaterRowIsNotTheEndOfTheRows) {
  zurtest::TTestDatabase db("sqlite");
  TZurQuery q(db.Connection());
  q.SetSQL(Q("SELECT nym_importo(column1) FROM (VALUES (10000), ('x'))"));
  q.Open();
  EXPECT_EQ(q.Fields(0).AsCurrency(), Currency::FromUnits(1));
  EXPECT_THROW(q.Next(), EZurError);
}

TEST(SqliteExtensions, AmountColumnsRefuseValuesInAnotherUnit) {
  zurtest::TTestDatabase db("sqlite");
  db.CreateSchema(true);
  TZurQuery q(db.Connection());
  q.SetSQL(Q("UPDATE tregs_registrazioni SET nregsimponibile = :V WHERE iregsid = 1"));
  q.ParamByName(Q("V")).SetCurrency(*Currency::Parse(Q("12,5"))); // a double: the wrong unit
  EXPECT_THROW(q.ExecSQL(), EZurError);
  q.ParamByName(Q("V")).SetString(Q("12.50"));
  EXPECT_THROW(q.ExecSQL(), EZurError);
  q.ParamByName(Q("V")).SetAmount(*Currency::Parse(Q("12,5")));
  EXPECT_NO_THROW(q.ExecSQL());
  EXPECT_EQ(
      One(db.Connection(), "SELECT nym_importo(nregsimponibile) FROM tregs_registrazioni WHERE iregsid = 1"),
      Q("12.5000"));
}

TEST(SqliteExtensions, CroFiscaleTakesLiteralArgumentsAndNeedsAllThree) {
  zurtest::TTestDatabase db("sqlite");
  db.CreateSchema(false);
  const QString id = One(db.Connection(), "SELECT icrfid FROM pnym_getcrofiscale('ZUR', 2024, NULL)");
  EXPECT_EQ(One(db.Connection(), "SELECT icrfid FROM pnym_getcrofiscale('zur', '2024', NULL)"), id);
  EXPECT_THROW(One(db.Connection(), "SELECT icrfid FROM pnym_getcrofiscale('zur', 2024)"), EZurError);
  // A side effect must not hide in a view.
  TZurQuery q(db.Connection());
  q.SetSQL(Q("CREATE VIEW vprova AS SELECT icrfid FROM pnym_getcrofiscale('zur', 2030, 1)"));
  q.ExecSQL();
  EXPECT_THROW(One(db.Connection(), "SELECT icrfid FROM vprova"), EZurError);
}

TEST(SqliteExtensions, CroFiscaleWithoutTheSchemaFailsWithAMessage) {
  zurtest::TTestDatabase db("sqlite");
  try {
    One(db.Connection(), "SELECT icrfid FROM pnym_getcrofiscale('zur', 2024, NULL)");
    FAIL() << "no schema, no period";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Database);
    EXPECT_TRUE(e.message().contains(Q("tcrf_crofiscale"))) << e.what();
  }
}
