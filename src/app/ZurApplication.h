#pragma once

#include <QString>
#include <memory>

class TdmZurConnection;
class TdmQenParams;
class TdmZurDati;
class TNymDBCds;
class TQenParametri;

// The program without its windows: it owns the modules and runs start-up up
// to the loaded declaration datasets. The window program and zur24-cli drive
// this one object, so the command line goes down the same road as the
// windows.
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
  // file, the parameter module and the declaration data module. A damaged
  // repository file throws.
  explicit TZurApplication(TOptions options);
  ~TZurApplication();
  TZurApplication(const TZurApplication&) = delete;
  TZurApplication& operator=(const TZurApplication&) = delete;

  // Start-up after the modules exist: root directory, title and code-table
  // index; the repository's minimum version; the database connection; the
  // school identity; the declaration store; the five declaration datasets.
  // Returns false when start-up must stop; the reason has already been shown
  // through the platform (the version message, the driver's message, the
  // missing fiscal code warning, the warning that the data did not open).
  // Errors of the database while reading, and the store's errors while
  // loading (a missing structure row, a stored value that does not fit its
  // field), throw EZurError.
  bool Start();

  // The last step of start-up before the main window shows: with no cover
  // page, a new declaration; otherwise pending edits are posted and the
  // declaration is opened (with the choice when there are several). zur24-cli
  // does not run it: its commands pick the declaration by fiscal code.
  void EnterFirstDeclaration();

  // The warning of a failed load of the declaration datasets.
  static QString DataOpenWarning();

  // Only the connection. Shows the driver's message and returns false when it
  // does not open. An SQLite file that does not exist is created (with its
  // folder) only when createIfMissing is set, as creating the database does;
  // otherwise it is reported as missing instead of turning into an empty
  // database.
  bool OpenDatabase(bool createIfMissing = false);

  TdmZurConnection& Connection() { return *m_connection; }
  TdmQenParams& Params() { return *m_params; }
  TdmZurDati& Dati() { return *m_dati; }
  // The declaration store; nullptr before Start has reached it.
  TNymDBCds* Store() { return m_store.get(); }
  const QString& SchoolFiscalCode() const { return m_schoolFiscalCode; }
  const QString& SchoolName() const { return m_schoolName; }
  const TOptions& Options() const { return m_options; }

  static QString MissingFiscalCodeWarning();

private:
  bool LoadSchoolIdentity();
  void CreateStore();
  bool LoadDeclarationData();

  TOptions m_options;
  std::unique_ptr<TdmZurConnection> m_connection;
  std::unique_ptr<TQenParametri> m_qenParametri;
  std::unique_ptr<TdmQenParams> m_params;
  std::unique_ptr<TdmZurDati> m_dati;
  std::unique_ptr<TNymDBCds> m_store;
  QString m_schoolFiscalCode;
  QString m_schoolName;
};
