// The rule every output of the program follows: what may be written, and a
// write that is whole or leaves the previous file as it was.
#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"
#include "platform/zurUGlobal.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// The reason of the refusal, or an empty text when the path was accepted.
QString Refusal(const QString& path) {
  try {
    zur::CheckOutputPath(path);
    return {};
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::File);
    EXPECT_EQ(e.file(), path);
    EXPECT_TRUE(e.message().startsWith(Q("Impossibile scrivere il file ") + path + Q(": "))) << e.what();
    return e.message();
  }
}

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

TEST(OutputFile, InputsDevicesFoldersAndReadOnlyFilesAreRefused) {
  QTemporaryDir dir;
  const QString savedRoot = zur::RootDir();
  zur::SetRootDir(dir.path());
  for (const char* folder : {"bin", "etc/qen", "USR/FRDati", "USR/FR2024/Res/CoordStp", "USR/FR2024/Res/Dich",
                             "USR/FR2024/Stp", "out"})
    QDir(dir.path()).mkpath(Q(folder));
  const QString db = dir.filePath(Q("out/zur24.sqlite"));
  Write(db, "SQLite format 3");
  zur::ProtectInputFile(db);
  const QString readOnly = dir.filePath(Q("out/old.xml"));
  Write(readOnly, "earlier");
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
  const QString fifo = dir.filePath(Q("out/pipe"));
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  QFile::link(db, dir.filePath(Q("out/link.pdf")));

  EXPECT_TRUE(Refusal(dir.filePath(Q("out"))).contains(Q("è una cartella")));
  EXPECT_TRUE(Refusal(Q("/dev/null")).contains(Q("non è un file ordinario")));
  EXPECT_TRUE(Refusal(fifo).contains(Q("non è un file ordinario")));
  EXPECT_TRUE(Refusal(readOnly).contains(Q("sola lettura")));
  EXPECT_TRUE(Refusal(db).contains(Q("database")));
  EXPECT_TRUE(Refusal(db + Q("-journal")).contains(Q("database")));
  EXPECT_TRUE(Refusal(dir.filePath(Q("out/link.pdf"))).contains(Q("database")));
  EXPECT_TRUE(Refusal(dir.filePath(Q("out/../out/zur24.sqlite"))).contains(Q("database")));
  EXPECT_TRUE(
      Refusal(dir.filePath(Q("USR/FR2024/Res/CoordStp/IRAP_mod.pdf"))).contains(Q("file del programma")));
  EXPECT_TRUE(Refusal(dir.filePath(Q("etc/qen/qen_QueryText.cds"))).contains(Q("file del programma")));
  EXPECT_TRUE(Refusal(dir.filePath(Q("bin/zur24-cli"))).contains(Q("file del programma")));
  EXPECT_TRUE(Refusal(dir.filePath(Q("USR/FRDati/x.pdf"))).contains(Q("file del programma")));
  // The outputs' own folders and any other ordinary file are fine.
  EXPECT_EQ(Refusal(dir.filePath(Q("USR/FR2024/Res/Dich/IRAP2025.xml"))), QString());
  EXPECT_EQ(Refusal(dir.filePath(Q("USR/FR2024/Stp/QuadroIK.pdf"))), QString());
  EXPECT_EQ(Refusal(dir.filePath(Q("out/new.pdf"))), QString());

  // A refused write changes nothing.
  EXPECT_THROW(zur::WriteOutputFile(readOnly, "new"), EZurError);
  EXPECT_THROW(zur::WriteOutputFile(db, "new"), EZurError);
  EXPECT_EQ(Read(readOnly), QByteArray("earlier"));
  EXPECT_EQ(Read(db), QByteArray("SQLite format 3"));
  zur::SetRootDir(savedRoot);
}

TEST(OutputFile, FullDiskKeepsThePreviousFileAndLeavesNoTemporary) {
  QTemporaryDir dir;
  const QString path = dir.filePath(Q("IRAP2025.xml"));
  Write(path, "earlier");
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  const QByteArray big(64 * 1024, 'x');
  for (const bool sync : {true, false}) {
    zurtest::TFileSizeLimit full(4096);
    try {
      zur::WriteOutputFile(path, big, sync);
      ADD_FAILURE() << "a write past the limit succeeded";
    } catch (const EZurError& e) {
      EXPECT_TRUE(
          e.message().startsWith(Q("Impossibile scrivere il file ") + path + Q(": file troppo grande")))
          << e.what();
    }
  }
  EXPECT_EQ(Read(path), QByteArray("earlier"));
  EXPECT_EQ(Entries(dir.path()), QStringList{Q("IRAP2025.xml")});

  // A whole write replaces the file and keeps its permissions.
  zur::WriteOutputFile(path, big);
  EXPECT_EQ(Read(path), big);
  struct stat st {};
  ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Entries(dir.path()), QStringList{Q("IRAP2025.xml")});
}

} // namespace
