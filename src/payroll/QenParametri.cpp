#include "payroll/QenParametri.h"

#include <QDir>
#include <QFileInfo>

TQenParametri::TQenParametri(const QString& folder)
    : m_fileName(QDir(folder).filePath(QStringLiteral("QenPar.ini"))), m_ini(m_fileName) {
  if (!QFileInfo::exists(m_fileName)) QDir().mkpath(folder);
}

TIniFile& TQenParametri::ini() {
  if (!m_loaded) {
    m_ini.Load();
    m_loaded = true;
  }
  return m_ini;
}

QString TQenParametri::ReadString(const QString& section, const QString& key, const QString& defaultValue) {
  return ini().ReadString(section, key, defaultValue);
}

int TQenParametri::ReadInteger(const QString& section, const QString& key, int defaultValue) {
  return ini().ReadInteger(section, key, defaultValue);
}

void TQenParametri::WriteString(const QString& section, const QString& key, const QString& value) {
  ini().WriteString(section, key, value);
}
