#include "payroll/QenParametri.h"
#include "platform/IniFile.h"
#include "platform/ZurError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Write(const QTemporaryDir& dir, const QByteArray& bytes) {
  const QString path = dir.filePath(QStringLiteral("test.ini"));
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  return path;
}

} // namespace

TEST(IniFile, ReadsSectionsKeysAndTopLevelValuesWithoutRegardToCase) {
  QTemporaryDir dir;
  TIniFile ini(Write(dir, "\xEF\xBB\xBF" "Database = /tmp/x.sqlite\r\n; comment\n# other\n\n[Sezione]\nChiave=Valore con = dentro\nNumero=42\n"));
  ini.Load();
  EXPECT_EQ(ini.ReadString({}, QStringLiteral("database")), QStringLiteral("/tmp/x.sqlite"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("SEZIONE"), QStringLiteral("chiave")), QStringLiteral("Valore con = dentro"));
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("Sezione"), QStringLiteral("Numero"), 0), 42);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("Sezione"), QStringLiteral("Manca"), 7), 7);
  EXPECT_EQ(ini.ReadString(QStringLiteral("Altra"), QStringLiteral("Chiave"), QStringLiteral("d")), QStringLiteral("d"));
}

TEST(IniFile, MissingFileIsEmptyButDamagedFilesNameTheFile) {
  QTemporaryDir dir;
  TIniFile missing(dir.filePath(QStringLiteral("nope.ini")));
  EXPECT_NO_THROW(missing.Load());
  EXPECT_TRUE(missing.Sections().isEmpty());

  static const char withNuls[] = "a=1\n\0\0\0garbage";
  const QByteArray bad[] = {QByteArray(withNuls, sizeof withNuls - 1), QByteArray("[Sezione\nx=1\n"),
                            QByteArray("solo testo senza uguale\n"), QByteArray("=senza chiave\n"),
                            QByteArray("x=\xff\xfe\n")};
  for (const QByteArray& bytes : bad) {
    const QString path = Write(dir, bytes);
    TIniFile ini(path);
    try {
      ini.Load();
      ADD_FAILURE() << "accepted: " << bytes.toStdString();
    } catch (const EZurError& e) {
      EXPECT_EQ(e.kind(), EZurError::Kind::File);
      EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
    }
  }

  TIniFile notNumber(Write(dir, "[S]\nN=12a\n"));
  notNumber.Load();
  EXPECT_THROW(notNumber.ReadInteger(QStringLiteral("S"), QStringLiteral("N"), 0), EZurError);
}

TEST(IniFile, WritesAndReadsBackTopLevelKeysBeforeSections) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sub/dir/out.ini"));
  TIniFile ini(path);
  ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v1"));
  ini.WriteString({}, QStringLiteral("Top"), QStringLiteral("t"));
  ini.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v2"));
  TIniFile again(path);
  again.Load();
  EXPECT_EQ(again.ReadString({}, QStringLiteral("Top")), QStringLiteral("t"));
  EXPECT_EQ(again.ReadString(QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("v2"));
  EXPECT_THROW(ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("a\nb")), EZurError);
}

TEST(QenParametri, CreatesTheFolderButNotTheFileUntilAValueIsWritten) {
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("usr/qen"));
  TQenParametri par(folder);
  EXPECT_TRUE(QDir(folder).exists());
  EXPECT_FALSE(QFile::exists(par.FileName()));
  EXPECT_EQ(par.ReadString(QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("d")), QStringLiteral("d"));
  par.WriteString(QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("1"));
  EXPECT_TRUE(QFile::exists(par.FileName()));
  TQenParametri again(folder);
  EXPECT_EQ(again.ReadInteger(QStringLiteral("X"), QStringLiteral("Y"), 0), 1);
}
