#include "payroll/QueryTextBuilder.h"

#include "dataset/ClientDataSet.h"
#include "payroll/nymCQueryText.h"
#include "platform/ZurError.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

QByteArray BuildQueryTextRepository(const QString& sqlDir, const QString& minimumVersion,
                                    const QStringList& executables) {
  const QDir dir(sqlDir);
  if (!dir.exists())
    throw EZurError(QStringLiteral("La cartella delle query '%1' non esiste.").arg(sqlDir),
                    EZurError::Kind::File, sqlDir);
  TClientDataSet table;
  TNymQueryText::DefineTable(table);
  const auto add = [&](const QString& query, const QString& tipo, const QString& sql) {
    table.Append();
    table.FieldByName(QStringLiteral("Query")).SetAsString(query);
    table.FieldByName(QStringLiteral("Tipo")).SetAsString(tipo);
    table.FieldByName(QStringLiteral("Indice")).SetAsInteger(0);
    if (!sql.isEmpty()) table.FieldByName(QStringLiteral("SQL")).SetAsString(sql);
    table.Post();
  };
  for (const QString& exe : executables)
    add(QStringLiteral("VER_") + exe.toUpper(), minimumVersion, QString());

  static const QRegularExpression pattern(QStringLiteral("^([A-Z0-9_]+)\\.([A-Z]+)\\.sql$"));
  const QStringList files = dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
  for (const QString& name : files) {
    const QString path = dir.filePath(name);
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch())
      throw EZurError(
          QStringLiteral("Il nome del file '%1' non è nella forma NOME.TIPO.sql (in maiuscolo).").arg(path),
          EZurError::Kind::File, path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
      throw EZurError(QStringLiteral("Impossibile leggere il file '%1': %2.").arg(path, file.errorString()),
                      EZurError::Kind::File, path);
    QString sql = QString::fromUtf8(file.readAll());
    sql.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (!sql.isEmpty() && sql.back().isSpace())
      sql.chop(1);
    if (sql.trimmed().isEmpty())
      throw EZurError(QStringLiteral("Il file '%1' non contiene alcuna istruzione.").arg(path),
                      EZurError::Kind::File, path);
    add(m.captured(1), m.captured(2), sql);
  }
  table.MergeChangeLog();
  return table.SaveToBytes();
}
