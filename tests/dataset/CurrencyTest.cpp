#include "dataset/Currency.h"
#include "payroll/NymCalcola.h"
#include "platform/ZurError.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

Currency C(const char* text) {
  auto c = Currency::Parse(QString::fromLatin1(text));
  EXPECT_TRUE(c.has_value()) << text;
  return c.value_or(Currency());
}

} // namespace

TEST(Currency, ParsesItalianAndDotForms) {
  EXPECT_EQ(C("1234,56").raw(), 12345600);
  EXPECT_EQ(C("1234.56").raw(), 12345600);
  EXPECT_EQ(C(" -0,5 ").raw(), -5000);
  EXPECT_EQ(C("+7").raw(), 70000);
  EXPECT_EQ(C(",25").raw(), 2500);
  // a fifth decimal rounds half away from zero
  EXPECT_EQ(C("0,00005").raw(), 1);
  EXPECT_EQ(C("-0,00005").raw(), -1);
  EXPECT_EQ(C("0,00004").raw(), 0);
}

TEST(Currency, RefusesWhatIsNotAnAmount) {
  for (const char* bad : {"", " ", "-", "1.234,56", "12a", "1e5", "0x10", "1,2,3", "99999999999999999999"})
    EXPECT_FALSE(Currency::Parse(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(Currency, RoundsHalfAwayFromZero) {
  EXPECT_EQ(C("2,5650").Round(2), C("2,57"));
  EXPECT_EQ(C("2,5649").Round(2), C("2,56"));
  EXPECT_EQ(C("1234,5").Round(0), C("1235"));
  EXPECT_EQ(C("1235,5").Round(0), C("1236"));
  EXPECT_EQ(C("-1234,5").Round(0), C("-1235"));
  EXPECT_EQ(C("-1234,4999").Round(0), C("-1234"));
  EXPECT_EQ(C("1000,4999").ToInteger(), 1000);
  EXPECT_EQ(C("-0,5").ToInteger(), -1);
}

TEST(Currency, TextFormIsItalianWithoutThousands) {
  EXPECT_EQ(C("1234567,5").ToString(), QStringLiteral("1234567,5"));
  EXPECT_EQ(C("7").ToString(), QStringLiteral("7"));
  EXPECT_EQ(C("-0,05").ToString(), QStringLiteral("-0,05"));
  EXPECT_EQ(C("2,565").ToString(2), QStringLiteral("2,57"));
  EXPECT_EQ(C("3").ToString(2), QStringLiteral("3,00"));
  EXPECT_EQ(C("-0,004").ToString(2), QStringLiteral("0,00"));
}

TEST(Currency, FromDoubleTakesTheShortestDecimal) {
  EXPECT_EQ(Currency::FromDouble(0.1).raw(), 1000);
  EXPECT_EQ(Currency::FromDouble(1234.56).raw(), 12345600);
  EXPECT_EQ(Currency::FromDouble(-2.00005).raw(), -20001);
  EXPECT_THROW(Currency::FromDouble(std::numeric_limits<double>::quiet_NaN()), EZurError);
  EXPECT_THROW(Currency::FromDouble(1e300), EZurError);
}

TEST(NymCalcola, PercentagesAndRounding) {
  EXPECT_EQ(TNymCalcola::Percentuale(C("3002"), 8.5), C("255,17"));
  EXPECT_EQ(TNymCalcola::PercentualeArrotondata(0, 8.5, C("3002")), C("255"));
  EXPECT_EQ(TNymCalcola::PercentualeArrotondata(0, 8.5, C("100")), C("9"));
  EXPECT_EQ(TNymCalcola::PercentualeArrotondata(0, 8.5, C("99")), C("8"));
  EXPECT_EQ(TNymCalcola::Percentuale(C("123,4567"), 100), C("123,4567"));
  // the nearest ten-thousandth, half away from zero
  EXPECT_EQ(TNymCalcola::Percentuale(C("0,0001"), 50), C("0,0001"));
  EXPECT_EQ(TNymCalcola::Percentuale(C("-0,0001"), 50), C("-0,0001"));
  EXPECT_EQ(TNymCalcola::Arrotonda(C("2,5650"), 2), C("2,57"));
  // the worked totals: 1000.4999, 2000.5 and 0.5 give 1000, 2001 and 1
  const Currency base = TNymCalcola::Arrotonda(C("1000,4999"), 0) + TNymCalcola::Arrotonda(C("2000,5"), 0) +
                        TNymCalcola::Arrotonda(C("0,5"), 0);
  EXPECT_EQ(base, C("3002"));
  EXPECT_EQ(TNymCalcola::PercentualeArrotondata(0, 8.5, base), C("255"));
}

TEST(NymCalcola, ContractTypeLists) {
  EXPECT_EQ(TNymCalcola::ListaTipiCococo(), QStringLiteral("11,17"));
  EXPECT_EQ(TNymCalcola::ListaTipiAutonomi(), QStringLiteral("10,14,15"));
}
