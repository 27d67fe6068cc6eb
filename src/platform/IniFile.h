#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// A small INI file: "[Section]" headers, "Key=Value" lines, ";" or "#"
// comments, blank lines. Keys before the first header belong to the section
// "" (the top of the file). Section and key names match without regard to case.
//
// Reading is strict, because a damaged settings file must not turn silently
// into defaults: text that is not UTF-8, NUL bytes, or a line that is none of
// the forms above throws EZurError(Kind::File) naming the file and the line.
// A missing file reads as empty. Writing replaces the file atomically, creating
// its folder when needed; a folder that cannot be written throws.
class TIniFile {
public:
  explicit TIniFile(QString path);

  const QString& path() const { return m_path; }
  bool Exists() const;

  // (Re)reads the file; see above for what fails.
  void Load();

  QString ReadString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
  // A value that is not a whole number throws EZurError(Kind::File) naming file, section and key.
  int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
  bool ValueExists(const QString& section, const QString& key) const;
  QStringList Sections() const;

  // Sets the value and writes the whole file at once.
  void WriteString(const QString& section, const QString& key, const QString& value);

private:
  struct Entry {
    QString section;
    QString key;
    QString value;
  };
  const Entry* find(const QString& section, const QString& key) const;
  void save() const;

  QString m_path;
  std::vector<Entry> m_entries;
};
