#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

// One record in insert state with a field of every type.
struct EditingDataSet {
  TClientDataSet cds;
  EditingDataSet() {
    cds.AddFieldDef("SNOME", TFieldType::String, 5);
    cds.AddFieldDef("IANNO", TFieldType::Integer);
    cds.AddFieldDef("FIMPORTO", TFieldType::Amount, 2);
    cds.AddFieldDef("RTASSO", TFieldType::Float);
    cds.AddFieldDef("DDATA", TFieldType::Date);
    cds.AddFieldDef("MNOTE", TFieldType::Memo);
    cds.AddFieldDef("BDATI", TFieldType::Blob);
    cds.CreateDataSet();
    cds.Append();
  }
  TField& f(const char* name) { return cds.FieldByName(QString::fromLatin1(name)); }
};

QString MessageOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EZurError& e) {
    return e.message();
  }
  return QStringLiteral("<nessun errore>");
}

} // namespace

TEST(Field, TextFormIsItalianWhateverTheLocale) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EditingDataSet d;
  d.f("FIMPORTO").SetAsCurrency(Currency::FromCents(123450));
  d.f("RTASSO").SetAsFloat(1234567.25);
  d.f("DDATA").SetAsDate(QDate(2024, 2, 1));
  d.f("IANNO").SetAsInteger(-7);
  EXPECT_EQ(d.f("FIMPORTO").AsString(), "1234,5");
  EXPECT_EQ(d.f("RTASSO").AsString(), "1234567,25");
  EXPECT_EQ(d.f("DDATA").AsString(), "01/02/2024");
  EXPECT_EQ(d.f("IANNO").AsString(), "-7");
  QLocale::setDefault(QLocale::c());
}

TEST(Field, NullReadsAsEmptyAndZero) {
  EditingDataSet d;
  for (TField* f : d.cds.Fields()) {
    EXPECT_TRUE(f->IsNull()) << f->FieldName().toStdString();
    EXPECT_EQ(f->AsString(), "");
    EXPECT_TRUE(f->AsVariant().isValid());
    EXPECT_TRUE(f->AsVariant().isNull());
  }
  EXPECT_EQ(d.f("IANNO").AsInteger(), 0);
  EXPECT_EQ(d.f("FIMPORTO").AsCurrency(), Currency());
  EXPECT_FALSE(d.f("DDATA").AsDate().isValid());
}

TEST(Field, SetAsStringParsesTheFieldsType) {
  EditingDataSet d;
  d.f("FIMPORTO").SetAsString("1234,565");
  EXPECT_EQ(d.f("FIMPORTO").AsCurrency(), Currency::FromCents(123457)); // rounded to 2 decimals
  d.f("FIMPORTO").SetAsString("-0.005");
  EXPECT_EQ(d.f("FIMPORTO").AsCurrency(), Currency::FromCents(-1));
  d.f("DDATA").SetAsString("31/12/2024");
  EXPECT_EQ(d.f("DDATA").AsDate(), QDate(2024, 12, 31));
  d.f("DDATA").SetAsString("2024-01-31");
  EXPECT_EQ(d.f("DDATA").AsDate(), QDate(2024, 1, 31));
  d.f("DDATA").SetAsString("2024-01-31T23:59:59");
  EXPECT_EQ(d.f("DDATA").AsDate(), QDate(2024, 1, 31));
  d.f("RTASSO").SetAsString("8,5");
  EXPECT_DOUBLE_EQ(d.f("RTASSO").AsFloat(), 8.5);
  d.f("IANNO").SetAsString(" 2024 ");
  EXPECT_EQ(d.f("IANNO").AsInteger(), 2024);
  // "" is null for every type but the texts
  for (const char* name : {"IANNO", "FIMPORTO", "RTASSO", "DDATA"}) {
    d.f(name).SetAsString("");
    EXPECT_TRUE(d.f(name).IsNull()) << name;
  }
  d.f("SNOME").SetAsString("");
  EXPECT_FALSE(d.f("SNOME").IsNull());
}

TEST(Field, TextThatDoesNotParseNamesFieldAndValue) {
  EditingDataSet d;
  const QString m = MessageOf([&] { d.f("IANNO").SetAsString("12a"); });
  EXPECT_TRUE(m.contains("IANNO") && m.contains("12a")) << m.toStdString();
  for (const char* bad : {"1.234,56", "abc", "1e5x"})
    EXPECT_THROW(d.f("FIMPORTO").SetAsString(bad), EZurError) << bad;
  for (const char* bad : {"31/02/2024", "2024-13-01", "1/1/24", "oggi", "2024-01-31X"})
    EXPECT_THROW(d.f("DDATA").SetAsString(bad), EZurError) << bad;
  for (const char* bad : {"2147483648", "1,5", "nan"})
    EXPECT_THROW(d.f("IANNO").SetAsString(bad), EZurError) << bad;
  EXPECT_THROW(d.f("RTASSO").SetAsString("inf"), EZurError);
  try {
    d.f("DDATA").SetAsString("30/02/2024");
    FAIL();
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Field);
  }
  // a refused value leaves the old one
  d.f("IANNO").SetAsInteger(5);
  EXPECT_THROW(d.f("IANNO").SetAsString("x"), EZurError);
  EXPECT_EQ(d.f("IANNO").AsInteger(), 5);
}

TEST(Field, StringsLongerThanTheWidthAreCut) {
  EditingDataSet d;
  d.f("SNOME").SetAsString("ABCDEFGH");
  EXPECT_EQ(d.f("SNOME").AsString(), "ABCDE");
  // never half of a surrogate pair
  d.f("SNOME").SetAsString(QString("ABCD") + QString::fromUcs4(U"\U0001F600"));
  EXPECT_EQ(d.f("SNOME").AsString(), "ABCD");
  d.f("MNOTE").SetAsString(QString(5000, 'x'));
  EXPECT_EQ(d.f("MNOTE").AsString().size(), 5000);
}

TEST(Field, IntegerOfAmountRoundsHalfAwayFromZero) {
  EditingDataSet d;
  d.f("FIMPORTO").SetAsString("1234,50");
  EXPECT_EQ(d.f("FIMPORTO").AsInteger(), 1235);
  d.f("FIMPORTO").SetAsString("-1234,50");
  EXPECT_EQ(d.f("FIMPORTO").AsInteger(), -1235);
  d.f("FIMPORTO").SetAsString("-1234,49");
  EXPECT_EQ(d.f("FIMPORTO").AsInteger(), -1234);
  d.f("IANNO").SetAsFloat(2.5);
  EXPECT_EQ(d.f("IANNO").AsInteger(), 3);
  d.f("FIMPORTO").SetAsString("99999999999");
  EXPECT_THROW(d.f("FIMPORTO").AsInteger(), EZurError);
}

TEST(Field, AmountsStayExact) {
  EditingDataSet d;
  d.f("FIMPORTO").SetAsString("92233720368,54");
  EXPECT_EQ(d.f("FIMPORTO").AsCurrency().raw(), 922337203685400);
  d.f("FIMPORTO").SetAsFloat(0.1 + 0.2);
  EXPECT_EQ(d.f("FIMPORTO").AsString(), "0,3");
  d.f("FIMPORTO").SetAsVariant(QVariant::fromValue(Currency::FromRaw(12345)));
  EXPECT_EQ(d.f("FIMPORTO").AsCurrency(), Currency::FromRaw(12300));
}

TEST(Field, VariantsConvertOrAreRefused) {
  EditingDataSet d;
  d.f("IANNO").SetAsVariant(QVariant(qlonglong(2024)));
  EXPECT_EQ(d.f("IANNO").AsVariant(), QVariant(2024));
  EXPECT_THROW(d.f("IANNO").SetAsVariant(QVariant(qlonglong(1) << 40)), EZurError);
  d.f("DDATA").SetAsVariant(QDateTime(QDate(2023, 5, 6), QTime(13, 0)));
  EXPECT_EQ(d.f("DDATA").AsDate(), QDate(2023, 5, 6));
  d.f("BDATI").SetAsVariant(QByteArray("\x00\x01\xff", 3));
  EXPECT_EQ(d.f("BDATI").AsBytes(), QByteArray("\x00\x01\xff", 3));
  EXPECT_THROW(d.f("IANNO").SetAsVariant(QVariant(true)), EZurError);
  EXPECT_THROW(d.f("DDATA").SetAsInteger(3), EZurError);
  EXPECT_THROW(d.f("RTASSO").SetAsFloat(std::numeric_limits<double>::quiet_NaN()), EZurError);
  EXPECT_THROW(d.f("DDATA").AsInteger(), EZurError);
  d.f("IANNO").SetAsVariant(QVariant());
  EXPECT_TRUE(d.f("IANNO").IsNull());
  d.f("SNOME").SetAsVariant(QVariant(12));
  EXPECT_EQ(d.f("SNOME").AsInteger(), 12);
}
