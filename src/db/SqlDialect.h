#pragma once

#include "dataset/Currency.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// Every difference between SQLite and PostgreSQL that the program knows of
// lives here, so that schema, statements and bindings stay engine-neutral.

enum class TSqlEngine { SQLite, PostgreSQL };

// Value types that a statement parameter or a column declaration can take.
enum class TZurFieldType { Integer, String, Float, Currency, Date, Blob };

// Kinds of column in the family schema; each engine spells them its own way.
enum class TColumnKind {
  Key,      // integer primary key
  Integer,  // 32-bit integer
  Flag,     // 0/1 (the "L" columns of the family)
  Text,     // VARCHAR(length)
  LongText, // unbounded text
  Amount,   // exact money: NUMERIC(15,4) on PostgreSQL, ten-thousandths on SQLite
  Float,    // binary floating point
  Date,     // a calendar date
  Blob      // bytes
};

// Where a database lives, read from the URL the user configured.
struct TDatabaseTarget {
  TSqlEngine engine = TSqlEngine::SQLite;
  QString path; // SQLite file
  QString host; // PostgreSQL
  int port = 5432;
  QString user;
  QString password;
  QString database;
  QString options; // libpq options from the URL query, "key=value;key=value"

  // "sqlite:PATH" or a bare path is an SQLite file; "postgresql://" or
  // "postgres://" a server. nullopt for an empty text, another scheme, or a
  // server URL without host or database.
  static std::optional<TDatabaseTarget> Parse(const QString& url);
  // The URL with the password hidden, for messages.
  QString Describe() const;
  // Any text given as a database address, readable or not, with every
  // password in it hidden ("user:***@", "password=***"): what a message may
  // show of an address that Parse refused.
  static QString Redact(const QString& url);
};

class TSqlDialect {
public:
  explicit TSqlDialect(TSqlEngine engine) : m_engine(engine) {}

  TSqlEngine Engine() const { return m_engine; }
  bool IsSQLite() const { return m_engine == TSqlEngine::SQLite; }
  // "sqlite" or "postgres": the names the tests and the command line use.
  QString Name() const;
  // The Qt SQL driver of the engine.
  QString DriverName() const;

  QString ColumnType(TColumnKind kind, int length = 0) const;
  // A column check that only one engine needs, or empty.
  QString ColumnCheck(TColumnKind kind, const QString& column) const;

  // Writers on SQLite take the write lock at BEGIN: a deferred transaction
  // that later needs to write can fail at once with "database is locked"
  // when another program wrote meanwhile, even with a busy timeout.
  QString BeginTransactionSql() const;

  // Bindable values. Dates travel as ISO text on SQLite, which has no date
  // type, so that comparisons and ordering on the text stay chronological.
  QVariant DateValue(const QDate& date) const;
  // An amount destined to a TColumnKind::Amount column: on SQLite the count of
  // ten-thousandths (integers sum exactly there), on PostgreSQL decimal text.
  QVariant AmountValue(Currency amount) const;
  // Money for a NUMERIC or floating-point column: decimal text on PostgreSQL
  // (exact into NUMERIC), a double on SQLite, which keeps nothing finer.
  QVariant CurrencyValue(Currency amount) const;
  // A typed NULL.
  static QVariant NullValue(TZurFieldType type);

  // Key generation: the statement that hands out the next key (one bound
  // parameter, GeneratorName) and the DDL that declares a generator.
  QString NextIdSql() const;
  // The same for a number of keys (parameter QUANTI): on SQLite one row, the
  // last of a consecutive block; on PostgreSQL one row per key.
  QString NextIdsSql() const;
  QString GeneratorName(const QString& tableName) const;
  QStringList GeneratorDdl(const QString& tableName) const;

  // What the schema needs beside its tables for key generation and for the
  // family's routines (pnym_getcrofiscale, nym_importo): on PostgreSQL the
  // functions; on SQLite the generators table, since the routines are
  // registered on each connection there (SqliteExtensions).
  QStringList SupportDdl() const;

private:
  TSqlEngine m_engine;
};
