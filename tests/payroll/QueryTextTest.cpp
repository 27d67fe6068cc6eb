#include "db/FamilyDemo.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <optional>

// The named statements of querytext/, read from their files and run as the
// program runs them, on the demo data of both engines. The expected figures
// are worked out by hand from the payroll listed in FamilyDemo.h.

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}
Currency C(const char* text) {
  return *Currency::Parse(Q(text));
}

QString Text(const char* name, const char* kind) {
  QFile f(Q(ZUR_SOURCE_DIR "/querytext/%1.%2.sql").arg(Q(name), Q(kind)));
  if (!f.open(QIODevice::ReadOnly)) throw EZurError(Q("manca %1").arg(f.fileName()));
  return QString::fromUtf8(f.readAll());
}

// What the calculator does with the text: Format with one empty argument.
QString Formatted(QString text) {
  text.replace(Q("%s"), QString());
  return text.replace(Q("%%"), Q("%"));
}

class TQueryTextTest : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Db().CreateSchema(true);
  }

  // QRY_IRAP_IMP of a financial year, with the lines the calculator appends.
  std::optional<Currency> Taxable(int year, int month, const char* types, int payClass, int irapCode = 1) {
    QString sql = Formatted(Text("QRY_IRAP_IMP", "EXECUTE"));
    if (month > 0) sql += Q("\n AND REGS.IMESID=%1").arg(month);
    if (types) sql += Q("\n AND REGS.ITNOID IN (%1)").arg(Q(types));
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.ParamByName(Q("IANFID")).SetInteger(year - 1969);
    q.ParamByName(Q("ICOTFONDAMENTALE")).SetInteger(payClass);
    q.ParamByName(Q("RICE_COD_IRAP")).SetInteger(irapCode);
    q.Open();
    EXPECT_FALSE(q.Eof());
    if (q.Fields(0).IsNull()) return std::nullopt;
    return q.Fields(0).AsCurrency();
  }

  std::optional<Currency> Withheld(int year, int month) {
    QString sql = Text("QRY_IRAP_RIT", "EXECUTE");
    if (month > 0) sql += Q("\n AND REGS.IMESID=%1").arg(month);
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.ParamByName(Q("IANFID")).SetInteger(year - 1969);
    q.ParamByName(Q("RICE_COD_IRAP")).SetInteger(1);
    q.Open();
    if (q.Fields(0).IsNull()) return std::nullopt;
    return q.Fields(0).AsCurrency();
  }
};

} // namespace

TEST_P(TQueryTextTest, SedeGivesTheSchoolOfTheWorkingGroup) {
  TZurQuery q(Conn());
  q.SetSQL(Text("QRY_SED", "EXECUTE"));
  q.ParamByName(Q("IDWGID")).SetInteger(1);
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName(Q("SSEDNOMCODICEFISC")).AsString(), Q(TFamilyDemo::CodiceFiscale));
  EXPECT_EQ(q.FieldByName(Q("SSEDNOMLDESC")).AsString(), Q(TFamilyDemo::Denominazione));
  EXPECT_EQ(q.FieldByName(Q("SREGDESC")).AsString(), Q("LAZIO"));
  EXPECT_EQ(q.FieldByName(Q("SPRODESC")).AsString(), Q("ROMA"));
  EXPECT_EQ(q.FieldByName(Q("SCOMDESC")).AsString(), Q("Roma"));
  EXPECT_EQ(q.FieldByName(Q("SPROSIGLA")).AsString(), Q("RM"));
  EXPECT_EQ(q.FieldByName(Q("SSEDINDINDIRIZZO")).AsString(), Q("Via delle Betulle, 12"));
  EXPECT_EQ(q.FieldByName(Q("SCAPVALUE")).AsString(), Q("00135"));
  EXPECT_EQ(q.FieldByName(Q("SSRPCCODCATA")).AsString(), Q("H501"));
  EXPECT_EQ(q.FieldByName(Q("SSEDTELTELEFONO")).AsString(), Q("06 / 123.45-67"));
  EXPECT_EQ(q.FieldByName(Q("SSEDFAXNO")).AsString(), Q("06 / 123.45-68"));
  EXPECT_EQ(q.FieldByName(Q("SSEDEMLEMAIL")).AsString(), Q("rmic8ab00c@istruzione.it"));
  q.Next();
  EXPECT_TRUE(q.Eof());

  q.Close();
  q.ParamByName(Q("IDWGID")).SetInteger(2);
  q.Open();
  EXPECT_EQ(q.FieldByName(Q("SPROSIGLA")).AsString(), Q("BZ"));
  EXPECT_TRUE(q.FieldByName(Q("SSEDTELTELEFONO")).IsNull());

  q.Close();
  q.ParamByName(Q("IDWGID")).SetInteger(99);
  q.Open();
  EXPECT_TRUE(q.Eof());
}

TEST_P(TQueryTextTest, RegionCodeFollowsTheSeatsDescriptions) {
  TZurQuery sed(Conn());
  sed.SetSQL(Text("QRY_SED", "EXECUTE"));
  sed.ParamByName(Q("IDWGID")).SetInteger(1);
  sed.Open();

  auto code = [&](const QString& region, const QString& province) -> std::optional<QString> {
    TZurQuery q(Conn());
    q.SetSQL(Text("QRY_REPA_BYDESC", "EXECUTE"));
    q.ParamByName(Q("SREGDESC")).SetString(region);
    q.ParamByName(Q("SPRODESC")).SetString(province);
    q.Open();
    if (q.Eof()) return std::nullopt;
    return QString::asprintf("%.2d", static_cast<int>(q.FieldByName(Q("IREPACODICE")).AsInteger())) +
           QLatin1Char(' ') + q.FieldByName(Q("SREPADESCRIZIONE")).AsString();
  };
  EXPECT_EQ(code(sed.FieldByName(Q("SREGDESC")).AsString(), sed.FieldByName(Q("SPRODESC")).AsString()),
            Q("08 Lazio"));
  EXPECT_EQ(code(Q("Lazio"), Q("Roma")), Q("08 Lazio"));
  EXPECT_EQ(code(Q("TRENTINO-ALTO ADIGE"), Q("BOLZANO")), Q("03 Provincia autonoma di Bolzano"));
  EXPECT_EQ(code(Q("TRENTINO-ALTO ADIGE"), Q("TRENTO")), Q("18 Provincia autonoma di Trento"));
  EXPECT_EQ(code(Q("LAZIO"), QString()), Q("08 Lazio"));
  EXPECT_EQ(code(QString(), QString()), std::nullopt);
  EXPECT_EQ(code(Q("' OR 1=1 --"), Q("x")), std::nullopt);
}

TEST_P(TQueryTextTest, PayrollParametersAndMonths) {
  TZurQuery q(Conn());
  q.SetSQL(Text("QRY_PACO", "SELECT"));
  q.Open();
  EXPECT_EQ(q.FieldByName(Q("SPACOCODATECO2007")).AsString(), Q("85.31.10"));

  q.SetSQL(Text("QRY_PACO_ANF", "SELECT"));
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName(Q("LPACOAFAM")).AsInteger(), 0);
  q.Next();
  EXPECT_TRUE(q.Eof());

  q.SetSQL(Text("QRY_MES_COMBO", "EXECUTE"));
  q.Open();
  QStringList months;
  for (; !q.Eof(); q.Next())
    months << q.Fields(0).AsString();
  EXPECT_EQ(months, (QStringList{Q("Gennaio"), Q("Febbraio"), Q("Marzo"), Q("Aprile"), Q("Maggio"),
                                 Q("Giugno"), Q("Luglio"), Q("Agosto"), Q("Settembre"), Q("Ottobre"),
                                 Q("Novembre"), Q("Dicembre")}));
}

TEST_P(TQueryTextTest, ChartOfAccountsStatements) {
  TZurQuery q(Conn());
  q.SetSQL(Text("QRY_NAF_CONTI_TEST", "EXECUTE"));
  q.ParamByName(Q("ITIMID")).SetInteger(200001);
  q.Open();
  EXPECT_FALSE(q.Eof());
  q.Close();
  q.ParamByName(Q("ITIMID")).SetInteger(500001);
  q.Open();
  EXPECT_TRUE(q.Eof());

  q.SetSQL(Text("QRY_NAF_EFFETTUATO", "EXECUTE"));
  q.ParamByName(Q("IANFID")).SetInteger(50);
  q.Open();
  EXPECT_EQ(q.FieldByName(Q("TOTALE")).AsInteger(), 3);
  q.Close();
  q.ParamByName(Q("IANFID")).SetInteger(40);
  q.Open();
  EXPECT_EQ(q.FieldByName(Q("TOTALE")).AsInteger(), 0);
}

TEST_P(TQueryTextTest, MonthlyRowsCoverTheRangeWithWritableAmounts) {
  auto months = [&](int from, int to) {
    TZurQuery q(Conn());
    q.SetSQL(Text("QRY_IRAP", "EXECUTE"));
    q.ParamByName(Q("MESEDAL")).SetInteger(from);
    q.ParamByName(Q("MESEAL")).SetInteger(to);
    q.Open();
    QList<int> ids;
    for (; !q.Eof(); q.Next()) {
      ids << static_cast<int>(q.FieldByName(Q("IMESID")).AsInteger());
      for (const char* column :
           {"DIP_FONDAMENTALI", "COCOCO_ACCESSORI", "AUTONOMI", "DIP_ACCESSORI", "DIP_TOTALE",
            "COCOCO_FONDAMENTALI", "COCOCO_TOTALE", "IMPONIBILE_TOTALE", "IRAP"}) {
        const TZurField f = q.FieldByName(Q(column));
        EXPECT_TRUE(f.AsCurrency().IsZero()) << column;
        // A dataset built on these columns must take cents, not integers.
        EXPECT_EQ(f.ColumnType().id(), QMetaType::Double) << column;
      }
    }
    return ids;
  };
  EXPECT_EQ(months(0, 0), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(months(9, 12), (QList<int>{9, 10, 11, 12}));
  EXPECT_EQ(months(1, 3), (QList<int>{1, 2, 3}));
  EXPECT_EQ(months(5, 5), (QList<int>{5}));
}

TEST_P(TQueryTextTest, TaxableTextHasOnePlaceholderAndEndsInsideItsWhere) {
  const QString raw = Text("QRY_IRAP_IMP", "EXECUTE");
  EXPECT_EQ(raw.count(Q("%s")), 1);
  EXPECT_EQ(QString(raw).remove(Q("%s")).remove(Q("%%")).count(QLatin1Char('%')), 0);
  EXPECT_FALSE(QRegularExpression(Q("\\b(ORDER|GROUP|HAVING|LIMIT|UNION)\\b"),
                                  QRegularExpression::CaseInsensitiveOption)
                   .match(raw.mid(raw.lastIndexOf(Q("WHERE"), -1, Qt::CaseInsensitive)))
                   .hasMatch());
  EXPECT_FALSE(raw.contains(QLatin1Char(';')));
}

TEST_P(TQueryTextTest, TaxableAmountsOfMarch2024) {
  // A month where every branch of the monthly computation has something.
  EXPECT_EQ(Taxable(2024, 3, "11,17", 1), C("800,55"));  // A
  EXPECT_EQ(Taxable(2024, 3, nullptr, 1), C("4841,04")); // B: the allowance is no IRAP item
  EXPECT_EQ(Taxable(2024, 3, "11,17", 3), C("150,10"));
  EXPECT_EQ(Taxable(2024, 3, "10,14,15", 3), C("775,30"));
  EXPECT_EQ(Taxable(2024, 3, nullptr, 3), C("1237,85")); // C
  EXPECT_EQ(Taxable(2024, 3, nullptr, 2), C("1300,24")); // D: class 2 of a collaborator and of an employee
  // The monthly formulas on these give DIP_FONDAMENTALI 4040.49, DIP_ACCESSORI 312.45,
  // COCOCO_FONDAMENTALI 2100.79, COCOCO_TOTALE 2250.89, AUTONOMI 775.30.
  EXPECT_EQ(*Taxable(2024, 3, nullptr, 1) - *Taxable(2024, 3, "11,17", 1), C("4040,49"));
  EXPECT_EQ(*Taxable(2024, 3, nullptr, 3) - *Taxable(2024, 3, "11,17", 3) - *Taxable(2024, 3, "10,14,15", 3),
            C("312,45"));
}

TEST_P(TQueryTextTest, TaxableAmountsFilterByYearMonthTypeAndIrapCode) {
  EXPECT_EQ(Taxable(2024, 1, "11,17", 1), C("800,55"));
  EXPECT_EQ(Taxable(2024, 1, nullptr, 3), std::nullopt); // nothing: NULL, counted as zero by the caller
  EXPECT_EQ(Taxable(2024, 1, "10,14,15", 3), std::nullopt);
  EXPECT_EQ(Taxable(2024, 0, nullptr, 1), C("46751,76"));
  EXPECT_EQ(Taxable(2024, 0, "11,17", 1), C("9606,60"));
  EXPECT_EQ(Taxable(2024, 0, nullptr, 3), C("3600,61"));
  EXPECT_EQ(Taxable(2024, 0, "10,14,15", 3), C("2050,61"));
  EXPECT_EQ(Taxable(2024, 0, nullptr, 2), C("3700,74"));
  EXPECT_EQ(Taxable(2023, 0, "11,17", 1), C("3120,00"));
  EXPECT_EQ(Taxable(2023, 0, nullptr, 1), C("11512,40"));
  EXPECT_EQ(Taxable(2023, 12, nullptr, 2), C("1150,75"));
  EXPECT_EQ(Taxable(2022, 0, nullptr, 1), std::nullopt);
  EXPECT_EQ(Taxable(2024, 0, nullptr, 1, 0), C("1650,00")); // the family allowance alone
}

TEST_P(TQueryTextTest, MonthsAddUpToTheYear) {
  for (int payClass : {1, 2, 3}) {
    Currency sum;
    for (int month = 1; month <= 12; ++month)
      sum += Taxable(2024, month, nullptr, payClass).value_or(Currency());
    EXPECT_EQ(sum, Taxable(2024, 0, nullptr, payClass).value_or(Currency())) << payClass;
  }
  Currency withheld;
  for (int month = 1; month <= 12; ++month)
    withheld += Withheld(2024, month).value_or(Currency());
  EXPECT_EQ(withheld, Withheld(2024, 0).value_or(Currency()));
}

TEST_P(TQueryTextTest, WithheldIrap) {
  // 8.5 % of each IRAP item, to the cent: 182.78 + 160.66 + 68.05 in January;
  // March adds 26.56 + 12.76 + 102.02 + 8.50 + 42.50 + 23.40.
  EXPECT_EQ(Withheld(2024, 1), C("411,49"));
  EXPECT_EQ(Withheld(2024, 3), C("627,23"));
  EXPECT_EQ(Withheld(2022, 0), std::nullopt);
}

TEST_P(TQueryTextTest, TaxableStatementUsesTheMovementIndex) {
  QString sql =
      Formatted(Text("QRY_IRAP_IMP", "EXECUTE")) + Q("\n AND REGS.IMESID=3\n AND REGS.ITNOID IN (11,17)");
  TZurQuery q(Conn());
  if (IsSQLite()) {
    q.SetSQL(Q("EXPLAIN QUERY PLAN ") + sql);
    q.ParamByName(Q("IANFID")).SetInteger(55);
    q.ParamByName(Q("ICOTFONDAMENTALE")).SetInteger(1);
    q.ParamByName(Q("RICE_COD_IRAP")).SetInteger(1);
  } else {
    // EXPLAIN takes no parameters on PostgreSQL; the test's own constants go
    // in. With sequential scans off the plan shows whether the index serves.
    TZurQuery off(Conn());
    off.SetSQL(Q("SET enable_seqscan = off"));
    off.ExecSQL();
    sql.replace(Q(":IANFID"), Q("55"))
        .replace(Q(":ICOTFONDAMENTALE"), Q("1"))
        .replace(Q(":RICE_COD_IRAP"), Q("1"));
    q.SetSQL(Q("EXPLAIN ") + sql);
  }
  q.Open();
  QString plan;
  for (; !q.Eof(); q.Next())
    plan += q.Fields(q.FieldCount() - 1).AsString() + QLatin1Char('\n');
  EXPECT_TRUE(plan.contains(Q("ix_regs_periodo"))) << plan.toStdString();
}

ZUR_INSTANTIATE_ENGINES(TQueryTextTest);
