#include "platform/ZurSettings.h"
#include "platform/zurUGlobal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Global, TitleAndCodeTableIndex) {
  EXPECT_EQ(zur::ApplicationTitle(), QStringLiteral("Modello IRAP/2025 Redd.24"));
  EXPECT_EQ(zur::CodeTableIndex().size(), 31);
  EXPECT_EQ(zur::CodeTableName(1), QStringLiteral("EVECC"));
  EXPECT_EQ(zur::CodeTableName(9), QStringLiteral("CODREG"));
  EXPECT_EQ(zur::CodeTableName(31), QStringLiteral("CODVERSOSP"));
  EXPECT_TRUE(zur::CodeTableName(0).isEmpty());
  EXPECT_TRUE(zur::CodeTableName(32).isEmpty());
}

TEST(Global, RootDirIsTheParentOfTheExecutableFolder) {
  EXPECT_EQ(zur::RootDirFromExecutable(QStringLiteral("/opt/zur24/bin/zur24")), QStringLiteral("/opt/zur24/"));
  EXPECT_EQ(zur::RootDirFromExecutable(QStringLiteral("/opt/zur24/bin/../bin/zur24")), QStringLiteral("/opt/zur24/"));
  EXPECT_EQ(zur::RootDirFromExecutable(QStringLiteral("/zur24")), QStringLiteral("/"));
}

TEST(Global, DatabaseUrlPrecedence) {
  QTemporaryDir dir;
  const QString saved = zur::RootDir();
  zur::SetRootDir(dir.path());
  qunsetenv("ZUR24_DB");
  EXPECT_EQ(zur::DatabaseUrl(), dir.path() + QStringLiteral("/USR/FRDati/zur24.sqlite"));
  QDir().mkpath(dir.filePath(QStringLiteral("etc/zur")));
  QFile ini(dir.filePath(QStringLiteral("etc/zur/zur24.ini")));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("Database=postgresql://u@h:5/db\n");
  ini.close();
  EXPECT_EQ(zur::DatabaseUrl(), QStringLiteral("postgresql://u@h:5/db"));
  qputenv("ZUR24_DB", "/tmp/env.sqlite");
  EXPECT_EQ(zur::DatabaseUrl(), QStringLiteral("/tmp/env.sqlite"));
  EXPECT_EQ(zur::DatabaseUrl(QStringLiteral("/tmp/cli.sqlite")), QStringLiteral("/tmp/cli.sqlite"));
  qunsetenv("ZUR24_DB");
  zur::SetRootDir(saved);
}
