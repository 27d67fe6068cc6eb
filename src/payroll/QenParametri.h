#pragma once

#include "platform/IniFile.h"

#include <QString>

// The payroll programs' local settings file, <exe>/../usr/qen/QenPar.ini.
// Creating the object creates the folder when the file is missing; the file
// itself appears only when a value is written. This program reads nothing
// from it but keeps it as the family expects.
class TQenParametri {
public:
  // folder: the folder that holds QenPar.ini (normally TQenUtil's user folder).
  explicit TQenParametri(const QString& folder);

  const QString& FileName() const { return m_fileName; }
  // Reads lazily on first access; a damaged file throws EZurError naming it.
  QString ReadString(const QString& section, const QString& key, const QString& defaultValue = {});
  int ReadInteger(const QString& section, const QString& key, int defaultValue);
  void WriteString(const QString& section, const QString& key, const QString& value);

private:
  TIniFile& ini();
  QString m_fileName;
  TIniFile m_ini;
  bool m_loaded = false;
};
