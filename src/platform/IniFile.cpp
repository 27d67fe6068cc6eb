#include "platform/IniFile.h"

#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

EZurError BadFile(const QString& path, const QString& why) {
  return EZurError(QStringLiteral("Il file di impostazioni \"%1\" non è valido: %2").arg(path, why),
                   EZurError::Kind::File, path);
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

TIniFile::TIniFile(QString path) : m_path(std::move(path)) {}

bool TIniFile::Exists() const { return QFileInfo::exists(m_path); }

void TIniFile::Load() {
  m_entries.clear();
  QFile f(m_path);
  if (!f.exists()) return;
  if (!f.open(QIODevice::ReadOnly))
    throw EZurError(QStringLiteral("Impossibile leggere il file di impostazioni \"%1\": %2").arg(m_path, f.errorString()),
                    EZurError::Kind::File, m_path);
  const QByteArray bytes = f.readAll();
  if (bytes.contains('\0')) throw BadFile(m_path, QStringLiteral("contiene caratteri nulli."));
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder.decode(bytes);
  if (decoder.hasError()) throw BadFile(m_path, QStringLiteral("il testo non è in UTF-8."));

  std::vector<Entry> entries;
  QString section;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (qsizetype n = 0; n < lines.size(); ++n) {
    QString line = lines[n];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    if (n == 0 && line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'))) continue;
    if (trimmed.startsWith(QLatin1Char('['))) {
      if (!trimmed.endsWith(QLatin1Char(']')) || trimmed.size() < 3)
        throw BadFile(m_path, QStringLiteral("intestazione di sezione non chiusa alla riga %1.").arg(n + 1));
      section = trimmed.mid(1, trimmed.size() - 2).trimmed();
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0 || line.left(eq).trimmed().isEmpty())
      throw BadFile(m_path, QStringLiteral("riga %1 non riconosciuta: \"%2\".").arg(n + 1).arg(trimmed.left(60)));
    Entry e{section, line.left(eq).trimmed(), line.mid(eq + 1).trimmed()};
    bool replaced = false;
    for (Entry& old : entries)
      if (SameName(old.section, e.section) && SameName(old.key, e.key)) {
        old.value = e.value;
        replaced = true;
      }
    if (!replaced) entries.push_back(std::move(e));
  }
  m_entries = std::move(entries);
}

const TIniFile::Entry* TIniFile::find(const QString& section, const QString& key) const {
  for (const Entry& e : m_entries)
    if (SameName(e.section, section) && SameName(e.key, key)) return &e;
  return nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
  const Entry* e = find(section, key);
  return e ? e->value : defaultValue;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
  const Entry* e = find(section, key);
  if (!e || e->value.isEmpty()) return defaultValue;
  bool ok = false;
  const int v = e->value.toInt(&ok);
  if (!ok)
    throw BadFile(m_path, QStringLiteral("il valore \"%1\" di %2/%3 non è un numero intero.")
                              .arg(e->value, section.isEmpty() ? QStringLiteral("-") : section, key));
  return v;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const { return find(section, key) != nullptr; }

QStringList TIniFile::Sections() const {
  QStringList out;
  for (const Entry& e : m_entries) {
    bool seen = false;
    for (const QString& s : out) seen = seen || SameName(s, e.section);
    if (!seen) out << e.section;
  }
  return out;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
    throw EZurError(QStringLiteral("Il valore di %1 non può contenere interruzioni di riga.").arg(key));
  for (Entry& e : m_entries)
    if (SameName(e.section, section) && SameName(e.key, key)) {
      e.value = value;
      save();
      return;
    }
  m_entries.push_back({section, key, value});
  save();
}

void TIniFile::save() const {
  QDir().mkpath(QFileInfo(m_path).absolutePath());
  QString out;
  QStringList sections = Sections();
  // Keys without a section must come before the first header to read back.
  for (qsizetype i = 0; i < sections.size(); ++i)
    if (sections[i].isEmpty()) sections.move(i, 0);
  for (const QString& section : sections) {
    if (!section.isEmpty()) out += QStringLiteral("[%1]\n").arg(section);
    for (const Entry& e : m_entries)
      if (SameName(e.section, section)) out += e.key + QLatin1Char('=') + e.value + QLatin1Char('\n');
    out += QLatin1Char('\n');
  }
  // A settings file half written on a full disk would lose every setting.
  zur::WriteFileAtomically(m_path, out.toUtf8());
}
