#include "db/VxSQLConnection.h"

#include "db/SqliteExtensions.h"
#include "db/ZurDbError.h"
#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <sqlite3.h>

namespace {

QString NextConnectionName() {
  static std::atomic<quint64> counter{0};
  return QStringLiteral("zur_connessione_%1").arg(++counter);
}

QString DriverMessage(const QSqlError& error) {
  return ZurDbMessage(error);
}

sqlite3* SqliteHandle(const QSqlDatabase& db) {
  if (!db.isValid() || !db.driver()) return nullptr;
  const QVariant handle = db.driver()->handle();
  if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
  return *static_cast<sqlite3* const*>(handle.constData());
}

} // namespace

TVxSQLConnection::TVxSQLConnection() = default;

TVxSQLConnection::~TVxSQLConnection() {
  Close();
}

void TVxSQLConnection::SetDatabaseUrl(const QString& url) {
  m_url = url;
  m_target = TDatabaseTarget::Parse(url);
  if (m_target) m_dialect = TSqlDialect(m_target->engine);
}

QString TVxSQLConnection::DatabaseName() const {
  if (!m_target) return {};
  return m_target->engine == TSqlEngine::SQLite ? m_target->path : m_target->database;
}

bool TVxSQLConnection::Connected() const {
  return !m_connectionName.isEmpty() && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase TVxSQLConnection::Database() const {
  if (m_connectionName.isEmpty()) return {};
  return QSqlDatabase::database(m_connectionName, false);
}

bool TVxSQLConnection::Open() {
  if (Connected()) return true;
  m_lastError.clear();
  m_inTransaction = false;
  if (!m_target) {
    m_lastError =
        m_url.trimmed().isEmpty()
            ? QStringLiteral("Database non configurato.")
            : QStringLiteral("Indirizzo del database non valido: %1").arg(TDatabaseTarget::Redact(m_url));
    return false;
  }
  const QString name = NextConnectionName();
  bool ok = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect.DriverName(), name);
    if (!db.isValid()) {
      m_lastError = QStringLiteral("Driver %1 non disponibile.").arg(m_dialect.DriverName());
    } else {
      if (m_dialect.IsSQLite()) {
        db.setDatabaseName(m_target->path);
      } else {
        db.setHostName(m_target->host);
        db.setPort(m_target->port);
        db.setUserName(m_target->user);
        db.setPassword(m_target->password);
        db.setDatabaseName(m_target->database);
        db.setConnectOptions(m_target->options);
      }
      if (!db.open()) {
        m_lastError = DriverMessage(db.lastError());
      } else if (m_dialect.IsSQLite()) {
        sqlite3* handle = SqliteHandle(db);
        if (!handle) {
          m_lastError = QStringLiteral("Il driver SQLite non espone la connessione.");
        } else {
          sqlite3_busy_timeout(handle, BusyTimeoutMs);
          char* error = nullptr;
          if (sqlite3_exec(handle, "PRAGMA foreign_keys = ON", nullptr, nullptr, &error) != SQLITE_OK) {
            m_lastError = QString::fromUtf8(error);
          } else if (const int rc = RegisterSqliteExtensions(handle); rc != SQLITE_OK) {
            m_lastError = QString::fromUtf8(sqlite3_errstr(rc));
          } else {
            ok = true;
          }
          sqlite3_free(error);
        }
      } else {
        // libpq's default notice processor writes notices and warnings to
        // stderr; the program reports through exceptions only.
        QSqlQuery setup(db);
        if (!setup.exec(QStringLiteral("SET client_min_messages TO error")))
          m_lastError = DriverMessage(setup.lastError());
        else
          ok = true;
      }
      if (!ok) db.close();
    }
  }
  if (!ok) {
    QSqlDatabase::removeDatabase(name);
    // The server's text never quotes the password today; this keeps it so
    // whatever a future driver echoes back.
    if (!m_target->password.isEmpty()) m_lastError.replace(m_target->password, QStringLiteral("***"));
    return false;
  }
  m_connectionName = name;
  // No output of the program may ever be written over the database it works on.
  if (m_dialect.IsSQLite()) zur::ProtectInputFile(m_target->path);
  return true;
}

void TVxSQLConnection::Close() {
  if (m_connectionName.isEmpty()) return;
  {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(m_connectionName);
  m_connectionName.clear();
  m_inTransaction = false;
}

bool TVxSQLConnection::InTransaction() const {
  if (!Connected()) return false;
  if (m_dialect.IsSQLite()) {
    sqlite3* handle = SqliteHandle(Database());
    return handle && sqlite3_get_autocommit(handle) == 0;
  }
  return m_inTransaction;
}

void TVxSQLConnection::ExecOrThrow(const QString& sql) {
  QSqlQuery q(Database());
  if (!q.exec(sql)) throw EZurError(DriverMessage(q.lastError()), EZurError::Kind::Database);
}

void TVxSQLConnection::BeginTransaction() {
  ZurAssert(Connected(), QStringLiteral("Connessione al database non aperta."));
  ZurAssert(!InTransaction(), QStringLiteral("Transazione già attiva sulla connessione."));
  ExecOrThrow(m_dialect.BeginTransactionSql());
  m_inTransaction = true;
}

void TVxSQLConnection::CommitTransaction() {
  ZurAssert(Connected(), QStringLiteral("Connessione al database non aperta."));
  if (m_dialect.IsSQLite()) {
    // A COMMIT that fails (a lock held elsewhere, a deferred constraint)
    // leaves the transaction open: InTransaction() keeps saying so and the
    // caller's rollback ends it.
    ExecOrThrow(QStringLiteral("COMMIT"));
    m_inTransaction = false;
    return;
  }
  // PostgreSQL answers COMMIT of a transaction that an error has aborted with
  // a rollback and no error; the driver's commit() notices and reports it.
  QSqlDatabase db = Database();
  const bool ok = db.commit();
  m_inTransaction = false;
  if (!ok) throw EZurError(DriverMessage(db.lastError()), EZurError::Kind::Database);
}

void TVxSQLConnection::RollbackTransaction() {
  if (!Connected()) {
    m_inTransaction = false;
    return;
  }
  if (m_dialect.IsSQLite()) {
    m_inTransaction = false;
    // SQLite ends the transaction by itself after some errors (disk full, a
    // busy COMMIT in some journal modes); there is nothing left to undo then.
    if (!InTransaction()) return;
    ExecOrThrow(QStringLiteral("ROLLBACK"));
    return;
  }
  // After a failed COMMIT PostgreSQL has already ended the transaction.
  if (!m_inTransaction) return;
  QSqlDatabase db = Database();
  const bool ok = db.rollback();
  m_inTransaction = false;
  if (!ok) throw EZurError(DriverMessage(db.lastError()), EZurError::Kind::Database);
}
