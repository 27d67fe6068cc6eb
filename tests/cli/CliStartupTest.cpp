#include "db/ZurQuery.h"
#include "payroll/nymCQueryText.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRun {
  int rc = -1;
  QString out;
  QString err;
};

// A program root of its own: the installed repository, nothing else.
class TCliRoot {
public:
  TCliRoot() {
    QDir().mkpath(m_dir.filePath(QStringLiteral("etc/qen")));
    QDir().mkpath(m_dir.filePath(QStringLiteral("bin")));
    QFile::copy(QStringLiteral(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds"), Repository());
  }
  QString Path() const { return m_dir.path(); }
  QString Repository() const { return m_dir.filePath(QStringLiteral("etc/qen/qen_QueryText.cds")); }

  TRun Run(const QStringList& args) const {
    QProcess p;
    p.start(qEnvironmentVariable("ZUR24_CLI", QStringLiteral(ZUR_BUILD_DIR "/bin/zur24-cli")),
            QStringList{QStringLiteral("--root"), Path()} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
  }

private:
  QTemporaryDir m_dir;
};

class TCliStartup : public zurtest::TDatabaseTest {};

TEST_P(TCliStartup, InitCreatesOnceAndInfoLoadsTheSchool) {
  TCliRoot root;
  const QString url = Db().Url();
  TRun first = root.Run({QStringLiteral("--db"), url, QStringLiteral("init"), QStringLiteral("--demo")});
  EXPECT_EQ(first.rc, 0) << first.err.toStdString();

  TRun second = root.Run({QStringLiteral("--db"), url, QStringLiteral("init"), QStringLiteral("--demo")});
  EXPECT_EQ(second.rc, 1);
  EXPECT_TRUE(second.err.contains(QStringLiteral("Il database contiene già lo schema del programma.")))
      << second.err.toStdString();

  TRun info = root.Run({QStringLiteral("--db"), url, QStringLiteral("info")});
  EXPECT_EQ(info.rc, 0) << info.err.toStdString();
  EXPECT_TRUE(info.out.contains(QStringLiteral("Modello IRAP/2025 Redd.24")));
  EXPECT_TRUE(info.out.contains(QStringLiteral("97123450583"))) << info.out.toStdString();
}

TEST_P(TCliStartup, SchoolWithoutFiscalCodeStopsStartUp) {
  Db().CreateSchema(true);
  TZurQuery q(Conn());
  q.SetSQL(QStringLiteral("UPDATE tsed_sedi SET ssednomcodicefisc = NULL"));
  q.ExecSQL();
  TCliRoot root;
  TRun run = root.Run({QStringLiteral("--db"), Db().Url(), QStringLiteral("info")});
  EXPECT_EQ(run.rc, 1);
  EXPECT_TRUE(run.err.contains(QStringLiteral("Impossibile caricare il codice fiscale della scuola.\n")))
      << run.err.toStdString();
  EXPECT_TRUE(run.out.isEmpty());
}

ZUR_INSTANTIATE_ENGINES(TCliStartup);

TEST(CliStartup, RepositoryAskingForANewerVersionStopsBeforeTheDatabase) {
  TCliRoot root;
  TNymQueryText repo;
  repo.Load(root.Repository());
  TClientDataSet& table = repo.DataSet();
  ASSERT_TRUE(table.Locate(QStringLiteral("Query"), QStringLiteral("VER_ZUR24-CLI")));
  table.Edit();
  table.FieldByName(QStringLiteral("Tipo")).SetAsString(QStringLiteral("99.0.0"));
  table.Post();
  table.SaveToFile(root.Repository());

  // The database does not even exist: the version check comes first.
  TRun run = root.Run({QStringLiteral("--db"), root.Path() + QStringLiteral("/nessuno.sqlite"), QStringLiteral("info")});
  EXPECT_EQ(run.rc, 1);
  EXPECT_TRUE(run.err.contains(QStringLiteral("AGGIORNARE IL PROGRAMMA \"Modello IRAP/2025 Redd.24\".\n"
                                              "Versione minima richiesta: 99.0.0.")))
      << run.err.toStdString();
  EXPECT_FALSE(QFile::exists(root.Path() + QStringLiteral("/nessuno.sqlite")));
}

TEST(CliStartup, UnreachableDatabaseGivesTheDriverMessage) {
  TCliRoot root;
  TRun pg = root.Run({QStringLiteral("--db"), QStringLiteral("postgresql://nessuno@127.0.0.1:1/nulla"), QStringLiteral("info")});
  EXPECT_EQ(pg.rc, 1);
  EXPECT_FALSE(pg.err.trimmed().isEmpty());
  TRun sqlite = root.Run({QStringLiteral("--db"), QStringLiteral("/proc/non/scrivibile.sqlite"), QStringLiteral("init")});
  EXPECT_EQ(sqlite.rc, 1);
  EXPECT_FALSE(sqlite.err.trimmed().isEmpty());
  // A database that was never created is reported, not created empty.
  const QString missing = root.Path() + QStringLiteral("/mai_creato.sqlite");
  TRun notThere = root.Run({QStringLiteral("--db"), missing, QStringLiteral("info")});
  EXPECT_EQ(notThere.rc, 1);
  EXPECT_TRUE(notThere.err.contains(QStringLiteral("non esiste"))) << notThere.err.toStdString();
  EXPECT_FALSE(QFile::exists(missing));
}

TEST(CliStartup, WrongUsageExitsTwo) {
  TCliRoot root;
  EXPECT_EQ(root.Run({}).rc, 2);
  EXPECT_EQ(root.Run({QStringLiteral("nessuncomando")}).rc, 2);
  EXPECT_EQ(root.Run({QStringLiteral("init"), QStringLiteral("--bogus")}).rc, 2);
  EXPECT_EQ(root.Run({QStringLiteral("--db")}).rc, 2);
}

} // namespace
