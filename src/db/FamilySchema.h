#pragma once

#include "db/SqlDialect.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TVxSQLConnection;

// The family database as this program knows it, declared once for both
// engines: the declaration store, the registry of the school, the payroll
// that the import reads, the year tables, the user parameters and the
// machinery behind GenerateID and pnym_getcrofiscale.
//
// Names are lower case and unquoted, so that statements spelling them in any
// case work on PostgreSQL too. Amount columns (TColumnKind::Amount) are
// NUMERIC(15,4) on PostgreSQL and counts of ten-thousandths on SQLite: write
// them with TZurParam::SetAmount and read them through nym_importo(...),
// which gives exact decimal text on both engines. SQLite refuses any other
// kind of value in them.

struct TColumnDecl {
  const char* name;
  TColumnKind kind;
  int length = 0; // TColumnKind::Text only
  bool notNull = false;
  const char* defaultValue = nullptr; // SQL literal, the same on both engines
};

struct TTableDecl {
  const char* name;
  std::vector<TColumnDecl> columns;
  // Table constraints written the same on both engines (keys, references,
  // checks).
  std::vector<const char*> constraints;
  // Tables whose keys come from GenerateID.
  bool generator = false;
};

struct TIndexDecl {
  const char* name;
  const char* table;
  const char* columns; // column list or expressions, the same on both engines
  bool unique = false;
};

class TFamilySchema {
public:
  // Version of the family schema these declarations describe.
  static constexpr const char* Version = "6.97.26";

  static const std::vector<TTableDecl>& Tables();
  static const std::vector<TIndexDecl>& Indexes();
  // Every statement of Create (without data) for one engine, in order.
  static QStringList Ddl(const TSqlDialect& dialect);

  // True when the database holds any table of the family schema.
  static bool HasSchema(TVxSQLConnection& connection);

  // Creates the whole schema with its reference data (years, school years,
  // months, regional codes, default user parameters) in one transaction;
  // with demo, also one school with its registry data and a payroll of 2023
  // and 2024. A database that already holds any table of the schema is
  // refused with EZurError (Kind::General) "Il database contiene già lo schema
  // del programma." and left as it was; any failure rolls everything back.
  // The connection must not be inside a transaction. populate, when given,
  // runs inside the same transaction after the reference data (the program
  // writes its structure rows there), so that its failure rolls back the
  // schema too.
  static void Create(TVxSQLConnection& connection, bool demo,
                     const std::function<void(TVxSQLConnection&)>& populate = {});

  // Creates one table of the schema (with its indexes) in a database that
  // lacks it, inside the caller's transaction or one of its own; true when it
  // was created, false when it was already there. A name the schema does not
  // declare throws EZurError (Kind::Assertion).
  static bool CreateMissingTable(TVxSQLConnection& connection, const QString& table);

  // The version stored by Create, empty when there is none.
  static QString StoredVersion(TVxSQLConnection& connection);

  // Reference-data ranges: financial and school years are created for these
  // calendar years (id = year - 1969; a school year takes the id of the year
  // it starts in).
  static constexpr int FirstYear = 1990;
  static constexpr int LastYear = 2050;
};
