#pragma once

#include "db/SqlDialect.h"

#include <QSqlDatabase>
#include <QString>
#include <memory>

// One connection to the family database, SQLite file or PostgreSQL server.
// Query objects (TZurQuery), transactions (TVxTransaction) and GenerateID work
// on it. Not copyable; every query made on it must be gone before it is
// closed or destroyed. Use it from the thread that opened it.
class TVxSQLConnection {
public:
  TVxSQLConnection();
  ~TVxSQLConnection();
  TVxSQLConnection(const TVxSQLConnection&) = delete;
  TVxSQLConnection& operator=(const TVxSQLConnection&) = delete;

  // The database to open (see TDatabaseTarget::Parse). Takes effect at the
  // next Open; a URL that cannot be read makes Open fail.
  void SetDatabaseUrl(const QString& url);
  const QString& DatabaseUrl() const { return m_url; }

  // Opens the connection; on failure returns false and leaves the driver's
  // message in LastError(). Already open: true. On SQLite it also sets the
  // busy timeout (other programs of the family share the file), turns on
  // foreign keys and registers pnym_getcrofiscale and nym_importo.
  bool Open();
  // Closes; an open transaction is rolled back by the server. Never throws.
  void Close();
  bool Connected() const;
  // Opened once and not closed by the program since: when Connected() is
  // false meanwhile, the server or the network ended the session.
  bool WasOpened() const { return !m_connectionName.isEmpty(); }
  const QString& LastError() const { return m_lastError; }

  // The engine of the URL (valid after a successful SetDatabaseUrl).
  TSqlEngine Engine() const { return m_dialect.Engine(); }
  const TSqlDialect& Dialect() const { return m_dialect; }
  // The database name of the connection's settings: the SQLite file or the
  // PostgreSQL database (what the family's tools take as argument).
  QString DatabaseName() const;
  QSqlDatabase Database() const;

  // Whether a transaction is open. On SQLite it asks the library, so a
  // transaction ended by an error inside SQLite is seen as ended.
  bool InTransaction() const;

  // Used by TVxTransaction; each throws EZurError(Database) on failure.
  void BeginTransaction();
  void CommitTransaction();
  void RollbackTransaction();

  // Milliseconds an SQLite statement waits for another program's lock.
  static constexpr int BusyTimeoutMs = 15000;

private:
  void ExecOrThrow(const QString& sql);

  QString m_url;
  std::optional<TDatabaseTarget> m_target;
  TSqlDialect m_dialect{TSqlEngine::SQLite};
  QString m_connectionName;
  QString m_lastError;
  bool m_inTransaction = false;
};
