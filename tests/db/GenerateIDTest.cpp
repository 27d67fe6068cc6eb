#include "db/GenerateID.h"
#include "db/VxTransaction.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

class TGenerateIDTest : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Db().CreateSchema(false);
  }
};

} // namespace

TEST_P(TGenerateIDTest, KeysGrowPerTableAndTableNamesIgnoreCase) {
  const qint64 a1 = GenerateID(Conn(), Q("TAFI_ANAFISCALE"));
  const qint64 a2 = GenerateID(Conn(), Q("tafi_anafiscale"));
  const qint64 s1 = GenerateID(Conn(), Q("TCDS_STRUTTURA"));
  EXPECT_GT(a1, 0);
  EXPECT_GT(a2, a1);
  EXPECT_GT(s1, 0);
  EXPECT_EQ(GenerateID(Conn(), Q("TAFI_ANAFISCALE")), a2 + 1);
}

TEST_P(TGenerateIDTest, ABlockOfKeysIsTakenAtOnceAndNotHandedOutAgain) {
  const qint64 before = GenerateID(Conn(), Q("TREGS_REGISTRAZIONI"));
  const QList<qint64> block = GenerateIDs(Conn(), Q("TREGS_REGISTRAZIONI"), 500);
  ASSERT_EQ(block.size(), 500);
  const qint64 after = GenerateID(Conn(), Q("TREGS_REGISTRAZIONI"));
  std::set<qint64> all(block.begin(), block.end());
  all.insert(before);
  all.insert(after);
  EXPECT_EQ(all.size(), 502u);
  EXPECT_GT(*all.begin(), 0);
  EXPECT_TRUE(GenerateIDs(Conn(), Q("TREGS_REGISTRAZIONI"), 0).isEmpty());
  EXPECT_THROW(GenerateIDs(Conn(), Q("TNON_ESISTE"), 3), EZurError);
}

TEST_P(TGenerateIDTest, UnknownTablesAndOddNamesAreRefused) {
  EXPECT_THROW(GenerateID(Conn(), Q("TNON_ESISTE")), EZurError);
  EXPECT_THROW(GenerateID(Conn(), Q("tafi_anafiscale; DROP TABLE tafi_anafiscale")), EZurError);
  EXPECT_THROW(GenerateID(Conn(), Q("")), EZurError);
}

TEST_P(TGenerateIDTest, WorksInsideTheCallersTransaction) {
  TVxTransaction t(Conn());
  t.StartTransaction();
  const qint64 id = GenerateID(Conn(), Q("TAFI_ANAFISCALE"));
  EXPECT_TRUE(Conn().InTransaction());
  t.Commit();
  EXPECT_GT(GenerateID(Conn(), Q("TAFI_ANAFISCALE")), id);
}

TEST_P(TGenerateIDTest, ConnectionsWorkingAtOnceNeverShareAKey) {
  // Two programs of the family drawing keys for the same table at the same
  // time, each on its own connection.
  constexpr int kThreads = 3, kPerThread = 60;
  std::vector<std::vector<qint64>> drawn(kThreads);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  const QString url = Db().Url();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        TVxSQLConnection c;
        c.SetDatabaseUrl(url);
        if (!c.Open()) throw EZurError(c.LastError());
        for (int i = 0; i < kPerThread; ++i)
          drawn[t].push_back(GenerateID(c, Q("TAFI_ANAFISCALE")));
      } catch (const EZurError& e) {
        errors[t] = e.what();
      }
    });
  }
  for (auto& th : threads)
    th.join();
  std::set<qint64> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(errors[t], "");
    all.insert(drawn[t].begin(), drawn[t].end());
  }
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
}

ZUR_INSTANTIATE_ENGINES(TGenerateIDTest);
