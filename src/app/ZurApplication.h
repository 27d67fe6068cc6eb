#pragma once

#include <QString>
#include <memory>

class TdmZurConnection;
class TdmQenParams;
class TQenParametri;

// The program without its windows: it owns the modules and runs start-up up
// to the school identity. The window program and zur24-cli drive this one
// object, so the command line goes down the same road as the windows.
// (The declaration store and datasets join it later.)
class TZurApplication {
public:
  struct TOptions {
    QString rootDir;        // empty: the parent of the executable's folder
    QString databaseUrl;    // empty: see zur::DatabaseUrl
    QString executableName; // names the repository's version record
    QString version;        // the program's own version, dot-separated
  };

  // Creates the modules in the program's order: the connection module (which
  // loads the query repository when its file exists), the payroll settings
  // file and the parameter module. A damaged repository file throws.
  explicit TZurApplication(TOptions options);
  ~TZurApplication();
  TZurApplication(const TZurApplication&) = delete;
  TZurApplication& operator=(const TZurApplication&) = delete;

  // Start-up after the modules exist: root directory, title and code-table
  // index; the repository's minimum version; the database connection; the
  // school identity. Returns false when start-up must stop; the reason has
  // already been shown through the platform (the version message, the
  // driver's message, the missing fiscal code warning). Errors of the
  // database while reading throw EZurError.
  bool Start();

  // Only the connection. Shows the driver's message and returns false when it
  // does not open. An SQLite file that does not exist is created (with its
  // folder) only when createIfMissing is set, as creating the database does;
  // otherwise it is reported as missing instead of turning into an empty
  // database.
  bool OpenDatabase(bool createIfMissing = false);

  TdmZurConnection& Connection() { return *m_connection; }
  TdmQenParams& Params() { return *m_params; }
  const QString& SchoolFiscalCode() const { return m_schoolFiscalCode; }
  const QString& SchoolName() const { return m_schoolName; }
  const TOptions& Options() const { return m_options; }

  static QString MissingFiscalCodeWarning();

private:
  bool LoadSchoolIdentity();

  TOptions m_options;
  std::unique_ptr<TdmZurConnection> m_connection;
  std::unique_ptr<TQenParametri> m_qenParametri;
  std::unique_ptr<TdmQenParams> m_params;
  QString m_schoolFiscalCode;
  QString m_schoolName;
};
