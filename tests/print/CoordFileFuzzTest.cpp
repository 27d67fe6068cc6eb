#include "FuzzTargets.h"

#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

namespace {

int RunCoord(const QByteArray& input) {
  return zurfuzz::CoordFile(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
}

// Edits aimed at the reader: attribute values made huge, negative, blank or
// non-numeric, elements dropped or repeated, the text cut short.
QByteArray Mutate(QByteArray input, std::mt19937& rng) {
  static const char* const fragments[] = {
      "\"-2147483648\"", "\"2147483647\"",   "\"1e308\"", "\"nan\"", "\"\"",
      "<PrintRect/>",    "<Edit/>",          "<Page/>",   "</Edit>", "<",
      "MaxIndex=\"0\" ", "vOffset=\"-4.5\" "};
  const int edits = 1 + int(rng() % 4);
  for (int e = 0; e < edits && !input.isEmpty(); ++e) {
    const qsizetype at = qsizetype(rng() % quint32(input.size()));
    switch (rng() % 4) {
    case 0:
      input.insert(at, fragments[rng() % std::size(fragments)]);
      break;
    case 1:
      input.remove(at, 1 + qsizetype(rng() % 16));
      break;
    case 2:
      input.insert(at, input.mid(at, 1 + qsizetype(rng() % 64)));
      break;
    default:
      input.truncate(at);
      break;
    }
  }
  return input;
}

} // namespace

TEST(CoordFileFuzz, SeedsAndMutationsNeverCrash) {
  std::vector<QByteArray> seeds = {
      "<PdfConf><Page Name='IRVAR' Template='5'><Section Name='cdsQuadroIRVar'><Edit Name='FIRBASEIMP' "
      "Alignment='taRightJustify' Type='TA'><PrintRect Top='41' Left='57' Height='8' vOffset='25.5' "
      "MinIndex='0' "
      "MaxIndex='4'/><PrintRect Top='168' Left='57' MinIndex='5' "
      "MaxIndex='8'/></Edit></Section></Page></PdfConf>"};
  QFile installed(QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/CoordStp/QuadroIK.xml"));
  ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
  seeds.push_back(installed.readAll());
  for (const QByteArray& seed : seeds)
    EXPECT_EQ(RunCoord(seed), 0);
  std::mt19937 rng(5);
  QElapsedTimer timer;
  timer.start();
  int runs = 0;
  for (; runs < 2000 && timer.elapsed() < 3000; ++runs)
    RunCoord(Mutate(seeds[size_t(runs) % seeds.size()], rng));
  EXPECT_GE(runs, 200);
}
