#include "tables/zurCodeTables.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString g_lastChosenDescription;

QByteArray ReadTableFile(const QString& path) {
  QFile f(path);
  if (!QFileInfo(path).isFile())
    throw EZurError(QStringLiteral("Il file delle tabelle %1 non esiste.").arg(path), EZurError::Kind::File,
                    path);
  if (!f.open(QIODevice::ReadOnly))
    throw EZurError(
        QStringLiteral("Impossibile leggere il file delle tabelle %1: %2.").arg(path, f.errorString()),
        EZurError::Kind::File, path);
  return f.readAll();
}

QString Quoted(const QString& tableName) {
  return QStringLiteral("\"%1\"").arg(tableName);
}

} // namespace

int TZurCodeTable::ColumnIndex(const QString& columnName) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (SameAsciiText(columns[i].name, columnName)) return int(i);
  return -1;
}

namespace zur {

QString CodeTableFile() {
  return RootDir() + QLatin1String(kCodeTablePath);
}

bool CodeTableFileExists() {
  return QFileInfo(CodeTableFile()).isFile();
}

QString CodeTableMissingText() {
  return QStringLiteral(
      "Impossibile trovare il file delle tabelle. Si consiglia di reinstallare il programma.");
}

QString CodeTableLoadText(const QString& error) {
  return QStringLiteral("Impossibile caricare il file delle tabelle:") + QStringLiteral("\n\r") + error;
}

TZurCodeTable CodeTableFrom(const TXMLTablesType& tables, const QString& tableName) {
  const std::optional<TXMLTableType> found = tables.FindTable(tableName);
  if (!found)
    throw EZurError(QStringLiteral("Tabella %1 non trovata nel file delle tabelle.").arg(Quoted(tableName)),
                    EZurError::Kind::File);
  const TXMLTableType& t = *found;
  TZurCodeTable out;
  out.name = t.Name();
  out.caption = t.Caption();
  out.description = t.Description();
  t.Columns().ForEach([&](const TXMLColumnType& c) {
    const TXMLColDescType d = c.ColDesc();
    int length = 0;
    try {
      length = d.Length();
    } catch (const EZurError& e) {
      throw EZurError(QStringLiteral("Tabella %1: %2").arg(Quoted(out.name), e.message()),
                      EZurError::Kind::File);
    }
    if (length < 1 || length > kMaxCodeColumnLength)
      throw EZurError(
          QStringLiteral("Tabella %1: la lunghezza %2 della colonna \"%3\" non è valida (da 1 a %4).")
              .arg(Quoted(out.name))
              .arg(length)
              .arg(d.Desc())
              .arg(kMaxCodeColumnLength),
          EZurError::Kind::File);
    out.columns.push_back({d.Desc(), length});
    return true;
  });
  if (out.columns.size() < 2)
    throw EZurError(QStringLiteral("La tabella %1 dichiara meno di due colonne.").arg(Quoted(out.name)),
                    EZurError::Kind::File);
  t.Rows().ForEach([&](const TXMLRigoType& r) {
    const TXMLRowValueType v = r.RowValue();
    out.rows.push_back({v.Value(), v.Desc()});
    return true;
  });
  return out;
}

TZurCodeTable ReadCodeTable(const QByteArray& bytes, const QString& tableName, const QString& fileName) {
  const QDomDocument doc = ParseTableFile(bytes, fileName);
  return CodeTableFrom(GetTables(doc, fileName), tableName);
}

TZurCodeTable LoadCodeTable(const QString& tableName) {
  const QString path = CodeTableFile();
  return ReadCodeTable(ReadTableFile(path), tableName, path);
}

bool CodeExists(const QString& tableName, const QString& text) {
  const QString path = CodeTableFile();
  if (!QFileInfo(path).isFile()) return false;
  QDomDocument doc;
  try {
    doc = ParseTableFile(ReadTableFile(path), path);
  } catch (const EZurError& e) {
    VxShowMessage(CodeTableLoadText(e.message()), TMsgDlgType::Warning);
    return false;
  }
  bool found = false;
  GetTables(doc, path).ForEach([&](const TXMLTableType& t) {
    if (!SameAsciiText(t.Name(), tableName) || t.Columns().Count() < 2) return true;
    t.Rows().ForEach([&](const TXMLRigoType& r) {
      found = SameAsciiText(r.RowValue().Value(), text);
      return !found;
    });
    return !found;
  });
  return found;
}

const QString& LastChosenDescription() {
  return g_lastChosenDescription;
}

void SetLastChosenDescription(const QString& description) {
  g_lastChosenDescription = description;
}

void ClearLastChosenDescription() {
  g_lastChosenDescription.clear();
}

} // namespace zur
