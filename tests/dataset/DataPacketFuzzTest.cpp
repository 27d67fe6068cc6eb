#include "FuzzTargets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

namespace {

std::vector<QByteArray> Seeds() {
  std::vector<QByteArray> seeds;
  const QDir dir(QStringLiteral(ZUR_SOURCE_DIR "/fuzz/corpus/datapacket"));
  for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::ReadOnly)) seeds.push_back(f.readAll());
  }
  return seeds;
}

// Small edits that tend to reach the reader's error paths: bytes changed,
// dropped, repeated, and XML fragments spliced in.
QByteArray Mutate(QByteArray input, std::mt19937& rng) {
  static const char* const fragments[] = {"<",
                                          ">",
                                          "\"",
                                          "&#10;",
                                          "&#1;",
                                          "<ROW/>",
                                          "fieldtype=\"i4\"",
                                          "WIDTH=\"0\"",
                                          "DECIMALS=\"9\"",
                                          "=\"",
                                          "</FIELDS>",
                                          "<!DOCTYPE x>",
                                          "\xff\xfe",
                                          "9999999999999999999",
                                          "E-99999"};
  const int edits = 1 + int(rng() % 4);
  for (int e = 0; e < edits && !input.isEmpty(); ++e) {
    const qsizetype at = qsizetype(rng() % quint32(input.size()));
    switch (rng() % 6) {
    case 0:
      input[at] = char(rng() % 256);
      break;
    case 1:
      input.remove(at, 1 + qsizetype(rng() % 8));
      break;
    case 2:
      input.insert(at, input.mid(at, 1 + qsizetype(rng() % 32)));
      break;
    case 3:
      input.insert(at, fragments[rng() % std::size(fragments)]);
      break;
    case 4:
      input.truncate(at);
      break;
    default:
      input[at] = input[qsizetype(rng() % quint32(input.size()))];
      break;
    }
  }
  return input;
}

int RunTarget(int (*target)(const uint8_t*, size_t), const QByteArray& input) {
  return target(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
}

} // namespace

TEST(DataPacketFuzz, SeedsAndMutationsNeverCrash) {
  const std::vector<QByteArray> seeds = Seeds();
  ASSERT_GE(seeds.size(), 4u);
  QElapsedTimer timer;
  timer.start();
  for (const QByteArray& seed : seeds)
    EXPECT_EQ(RunTarget(zurfuzz::DataPacket, seed), 0);
  std::mt19937 rng(20240131);
  int runs = 0;
  for (; runs < 3000 && timer.elapsed() < 4000; ++runs)
    RunTarget(zurfuzz::DataPacket, Mutate(seeds[size_t(runs) % seeds.size()], rng));
  EXPECT_GE(runs, 500); // a slow machine still gets a real sample
}

TEST(DataPacketFuzz, FilterTextsNeverCrash) {
  const char* const seeds[] = {"IAFIID = 123", "SNOME = 'O''x' AND (FIMP > -1.5 OR NOT DDATA IS NULL)",
                               "RTASSO <= 8.5", "MNOTE <> NULL", "[IAFIID] != '123'"};
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; ++i) {
    QByteArray text(seeds[size_t(i) % std::size(seeds)]);
    if (i >= int(std::size(seeds))) text = Mutate(text, rng);
    EXPECT_EQ(RunTarget(zurfuzz::Filter, text), 0);
  }
}
