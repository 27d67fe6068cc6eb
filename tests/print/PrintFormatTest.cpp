#include "platform/ZurError.h"
#include "print/zurMPDF.h"

#include <gtest/gtest.h>

namespace {

struct TFormatCase {
  const char* text;
  const char* code;
  const char* printed;
};

TEST(PrintFormat, EveryCodeAsTheFormPrintsIt) {
  const TFormatCase cases[] = {
      {"1234567,89", "TR", "1.234.567"},
      {"-0,9", "TR", "0"},
      {"-1234,99", "TR", "-1.234"},
      {"999", "TR", "999"},
      {"1000", "TR", "1.000"},
      {"2,5", "TA", "3"},
      {"3,5", "TA", "4"},
      {"1234,5", "TA", "1.235"},
      {"1234,49", "TA", "1.234"},
      {"-2,5", "TA", "-3"},
      {"0,5", "TA", "1"},
      {"31/12/2024", "DT", "31 12 2024"},
      {"31/12/2024", "DA", "31 12"},
      {"01/02/2020", "DT", "01 02 2020"},
      {"45292", "DG", "01 01 2024"},
      {"45657", "DG", "31 12 2024"},
      {"45292,5", "DG", "02 01 2024"},
      {"0", "DG", ""},
      {"-3", "DG", ""},
      {"Società è", "SP", "Società è"},
      {"12345", "CD", "      12345"},
      {"RSSMRA80A01H501U", "CD", "RSSMRA80A01H501U"},
      {"1", "CB", "X"},
      {"0", "CB", ""},
      {"2", "CB", "2"},
      {"3", "CB", "3"},
      {"X", "CB", ""},
      {"testo", "ZZ", "testo"},
      {"", "TA", ""},
      {"", "CB", ""},
      {"", "DT", ""},
  };
  for (const TFormatCase& c : cases)
    EXPECT_EQ(FormatPrintValue(QString::fromUtf8(c.text), QLatin1String(c.code)),
              QString::fromUtf8(c.printed))
        << c.text << " " << c.code;
}

TEST(PrintFormat, TextsThatDoNotParseEndTheRun) {
  for (const auto& [text, code] :
       {std::pair{"abc", "TR"}, {"1.234,5", "TA"}, {"32/12/2024", "DT"}, {"x", "DA"}, {"15/03/2024", "DG"}})
    EXPECT_THROW(FormatPrintValue(QLatin1String(text), QLatin1String(code)), EZurError)
        << text << " " << code;
}

TEST(PrintFormat, AlignmentIgnoresCaseOfTheTwoKnownWordsOnly) {
  const std::pair<const char*, int> cases[] = {
      {"taCenter", 2},      {"TACENTER", 2}, {"taRightJustify", 1}, {"tarightjustify", 1},
      {"taLeftJustify", 0}, {"center", 0},   {" taCenter", 0},      {"", 0}};
  for (const auto& [text, code] : cases)
    EXPECT_EQ(PrintAlignment(QLatin1String(text)), code) << text;
}

} // namespace
