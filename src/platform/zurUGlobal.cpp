#include "platform/zurUGlobal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zur {

namespace {
QString g_root;
}

QString ApplicationTitle() {
  return QStringLiteral("Modello IRAP/%1 Redd.%2").arg(QStringLiteral("2025"), QStringLiteral("24"));
}

const QStringList& CodeTableIndex() {
  static const QStringList names = {
      QStringLiteral("EVECC"),          QStringLiteral("TABA"),           QStringLiteral("TABB"),
      QStringLiteral("TABC"),           QStringLiteral("ONLUS"),          QStringLiteral("TABD"),
      QStringLiteral("CODATT"),         QStringLiteral("SOGG"),           QStringLiteral("CODREG"),
      QStringLiteral("TIPVER"),         QStringLiteral("CODALI"),         QStringLiteral("TFOR"),
      QStringLiteral("TTRUST"),         QStringLiteral("TAGREG"),         QStringLiteral("TTIPIMP"),
      QStringLiteral("TNORMREG"),       QStringLiteral("TESO"),           QStringLiteral("ANNOOPERAZIONE"),
      QStringLiteral("TIPOOPERAZIONE"), QStringLiteral("ZFU"),            QStringLiteral("TIPSOGGPREDICH"),
      QStringLiteral("TIPONORMA"),      QStringLiteral("FMGIU"),          QStringLiteral("DIMIMP"),
      QStringLiteral("SETTORE"),        QStringLiteral("TIPOSIEG"),       QStringLiteral("TIPOCOSTI"),
      QStringLiteral("TIPOAIUTO"),      QStringLiteral("TIPOEXT"),        QStringLiteral("DINT"),
      QStringLiteral("CODVERSOSP")};
  return names;
}

QString CodeTableName(int tag) {
  const QStringList& names = CodeTableIndex();
  return tag >= 1 && tag <= names.size() ? names.at(tag - 1) : QString();
}

QString RootDirFromExecutable(const QString& executablePath) {
  // The directory of the executable, then cut after its last separator.
  const QString exeDir = QFileInfo(QDir::cleanPath(executablePath)).absolutePath();
  const qsizetype cut = exeDir.lastIndexOf(QLatin1Char('/'));
  return cut < 0 ? QStringLiteral("/") : exeDir.left(cut + 1);
}

QString RootDir() {
  if (g_root.isEmpty()) {
    const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    g_root = exe.isEmpty() ? QDir::currentPath() + QLatin1Char('/') : RootDirFromExecutable(exe);
  }
  return g_root;
}

void SetRootDir(const QString& dir) {
  g_root = dir.isEmpty() ? QString() : QDir(dir).absolutePath();
  if (!g_root.isEmpty() && !g_root.endsWith(QLatin1Char('/'))) g_root += QLatin1Char('/');
}

QString ExeDir() { return RootDir() + QStringLiteral("bin/"); }

} // namespace zur
