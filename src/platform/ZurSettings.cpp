#include "platform/ZurSettings.h"

#include "platform/zurUGlobal.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace zur {

namespace {

QString FromIni(const QString& key) {
  TIniFile ini(SettingsPath());
  ini.Load();
  return ini.ReadString(QString(), key);
}

} // namespace

QString SettingsPath() { return RootDir() + QStringLiteral("etc/zur/zur24.ini"); }

QString DefaultSqlitePath() { return RootDir() + QStringLiteral("USR/FRDati/zur24.sqlite"); }

QString DatabaseUrl(const QString& override) {
  if (!override.isEmpty()) return override;
  const QString env = qEnvironmentVariable("ZUR24_DB");
  if (!env.isEmpty()) return env;
  const QString fromIni = FromIni(QStringLiteral("Database"));
  return fromIni.isEmpty() ? DefaultSqlitePath() : fromIni;
}

QString EntratelDir() {
  QString dir = qEnvironmentVariable("ZUR24_ENTRATEL_DIR");
  if (dir.isEmpty()) dir = FromIni(QStringLiteral("EntratelDir"));
  if (dir.isEmpty() || !QFileInfo(dir).isDir()) return {};
  dir = QDir(dir).absolutePath();
  return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

} // namespace zur
