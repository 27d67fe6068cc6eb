#pragma once

#include "dataset/ClientDataSet.h"
#include "payroll/QenUtil.h"

#include <QHash>
#include <QString>

class TZurQuery;

// The repository of named SQL texts that the payroll programs of the family
// install with their database (qen_QueryText.cds), with the minimum program
// version each program of the family is meant for. An in-memory table with
// the columns Query (string), Tipo (string), Indice (integer) and SQL (memo).
class TNymQueryText {
public:
  TNymQueryText();

  // Replaces the content with the rows of the file. A missing file leaves the
  // repository empty and is no error. A file that exists but cannot be read,
  // is not a DATAPACKET, or lacks one of the four columns throws
  // EZurError(Kind::File) naming it, and leaves the repository empty.
  void Load(const QString& fileName);

  // Empties the query's text and parameters, then gives it the SQL of the row
  // whose Query is the name in upper case and whose Tipo (case-sensitive,
  // "EXECUTE" when empty) and Indice match. When the query is left without
  // text, throws EZurError(Kind::Assertion) "Query: " + name.
  void AssignStatement(const QString& name, TZurQuery& query, int variant = 0,
                       const QString& kind = QStringLiteral("EXECUTE")) const;

  // The SQL of the first row whose Query is exactly the name (no case
  // conversion) and whose Tipo is the kind; throws EZurError(Kind::Assertion)
  // "Query : " + name when there is none or it is empty.
  QString StatementText(const QString& name, const QString& kind = QStringLiteral("EXECUTE")) const;

  // The Tipo of the version record "VER_" + the executable's file name in
  // upper case ("zur24-cli" -> "VER_ZUR24-CLI"); empty when there is none.
  QString MinimumVersion(const QString& executableName) const;

  // True when the repository has the executable's version record and the
  // current version is not lower than its minimum. Otherwise shows, through
  // the platform, the error box "AGGIORNARE IL PROGRAMMA "<title>".
  // Versione minima richiesta: <minimum>." (a CR LF between the sentences)
  // and returns false.
  bool CheckVersion(const QString& currentVersion, const QString& executableName,
                    const QString& applicationTitle) const;
  bool CheckVersion(const QString& currentVersion, const QString& executableName) const;

  // Numeric comparison of dot-separated versions on their first three parts:
  // identical texts are not lower; "2.10.0" is not lower than "2.9.5"; a
  // missing or non-numeric part on either side makes the result lower
  // ("2.9" against "2.9.0").
  static bool IsVersionLower(const QString& current, const QString& minimum);

  // The table itself, for the tools that write the repository.
  TClientDataSet& DataSet() { return m_table; }
  // Gives a closed dataset the four columns of a repository and opens it empty.
  static void DefineTable(TClientDataSet& table);
  int Count() const { return m_table.RecordCount(); }

private:
  void BuildLookup();

  TClientDataSet m_table;
  QHash<QString, QString> m_byKey;    // Query + '\n' + Tipo + '\n' + Indice -> SQL (first row)
  QHash<QString, QString> m_byName;   // Query + '\n' + Tipo -> SQL (first row)
  QHash<QString, QString> m_versions; // Query -> Tipo of the first row
};

// The one repository of the run.
TNymQueryText& QueryText();
