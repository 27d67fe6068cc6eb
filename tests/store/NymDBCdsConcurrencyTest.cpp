#include "store/NymDBCds.h"

#include "StoreTestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>
#include <map>

using namespace storetest;

namespace {

// What the parent hands each child: database URL, the child's tag and the
// moment both start saving, one per line.
const char* const kChildVariable = "ZUR24_STORE_CHILD";
const char* const kTable = "TCONCORRENZA";
constexpr int kRecords = 150;
constexpr int kPerSave = 5;

class TStoreConcurrencyTest : public TStoreFixture {};

} // namespace

// Not a test of its own: the body of each saving program that the test below
// starts, run by re-invoking this binary with the variable set.
TEST(TStoreConcurrencyChild, DISABLED_SavesItsShare) {
  const QStringList args = qEnvironmentVariable(kChildVariable).split(QLatin1Char('\n'));
  if (args.size() != 3) GTEST_SKIP() << "runs only as a child of TwoProgramsSavingAtOnceNeverShareARowNumber";
  TVxSQLConnection connection;
  connection.SetDatabaseUrl(args[0]);
  ASSERT_TRUE(connection.Open()) << connection.LastError().toStdString();
  TNymDBCds store(2024, Q("zur"), 0);
  store.SetConnection(&connection);
  store.SetShowWait(false);
  TClientDataSet ds;
  store.Load(ds, Q(kTable));
  const qint64 start = args[2].toLongLong();
  while (QDateTime::currentMSecsSinceEpoch() < start)
    QThread::msleep(5);
  try {
    for (int i = 0; i < kRecords;) {
      for (int n = 0; n < kPerSave; ++n, ++i) {
        ds.Append();
        ds.FieldByName(Q("SPROC")).SetAsString(args[1]);
        ds.FieldByName(Q("INUM")).SetAsInteger(i + 1); // 0 would not be stored
        ds.Post();
      }
      store.Save(ds, Q(kTable));
    }
  } catch (const EZurError& e) {
    FAIL() << e.what();
  }
}

TEST_P(TStoreConcurrencyTest, TwoProgramsSavingAtOnceNeverShareARowNumber) {
  Structure(kTable,
            {{"SPROC", TFieldType::String, 10},
             {"INUM", TFieldType::Integer},
             {"IAFIID", TFieldType::Integer},
             {"IFISRIGO", TFieldType::Integer}},
            true);
  const qint64 start = QDateTime::currentMSecsSinceEpoch() + 1500;
  const QStringList tags = {Q("primo"), Q("secondo")};
  std::vector<std::unique_ptr<QProcess>> children;
  for (const QString& tag : tags) {
    auto child = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(Q(kChildVariable),
               Db().Url() + QLatin1Char('\n') + tag + QLatin1Char('\n') + QString::number(start));
    child->setProcessEnvironment(env);
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->start(QCoreApplication::applicationFilePath(),
                 {Q("--gtest_filter=TStoreConcurrencyChild.DISABLED_SavesItsShare"),
                  Q("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child->waitForStarted(10000));
    children.push_back(std::move(child));
  }
  for (auto& child : children) {
    ASSERT_TRUE(child->waitForFinished(180000)) << "a saving program hung";
    const QByteArray output = child->readAll();
    ASSERT_EQ(child->exitStatus(), QProcess::NormalExit) << output.constData();
    ASSERT_EQ(child->exitCode(), 0) << output.constData();
    ASSERT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
  }

  // Every record stored once, under a number of its own, with its own entry.
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT ifisrigo, sfisfieldname, sfisvalue, ifisvalue, iafiid FROM tfis_datifiscali"));
  q.Open();
  struct TRecord {
    QString tag;
    int number = -1;
    QSet<qint64> entries;
  };
  std::map<qint64, TRecord> records;
  for (; !q.Eof(); q.Next()) {
    TRecord& r = records[q.Fields(0).AsInteger()];
    if (q.Fields(1).AsString() == Q("SPROC")) {
      EXPECT_TRUE(r.tag.isEmpty()) << "two programs wrote row " << q.Fields(0).AsInteger();
      r.tag = q.Fields(2).AsString();
    } else {
      EXPECT_EQ(r.number, -1) << "two programs wrote row " << q.Fields(0).AsInteger();
      r.number = int(q.Fields(3).AsInteger());
    }
    r.entries.insert(q.Fields(4).AsInteger());
  }
  QSet<QString> seen;
  QSet<qint64> entries;
  for (const auto& [row, r] : records) {
    seen.insert(r.tag + QLatin1Char('/') + QString::number(r.number));
    EXPECT_EQ(r.entries.size(), 1) << "row " << row;
    entries += r.entries;
  }
  EXPECT_EQ(records.size(), size_t(2 * kRecords));
  EXPECT_EQ(seen.size(), 2 * kRecords);
  EXPECT_EQ(entries.size(), 2 * kRecords);
  for (const QString& tag : tags)
    for (int i = 0; i < kRecords; ++i)
      EXPECT_TRUE(seen.contains(tag + QLatin1Char('/') + QString::number(i + 1)))
          << tag.toStdString() << " " << i;
  EXPECT_EQ(Scalar(Q("SELECT icdsrigo FROM tcds_struttura")), 2 * kRecords);
  EXPECT_EQ(Scalar(Q("SELECT MAX(ifisrigo) FROM tfis_datifiscali")), 2 * kRecords);
}

ZUR_INSTANTIATE_ENGINES(TStoreConcurrencyTest);
