#pragma once

#include <QString>
#include <map>
#include <vector>

class TVxSQLConnection;

// The declarations of one program and year as the database keeps them
// (tzur_dichiarazioni): one row per declaration with its id, its fiscal code
// in upper case and a version that every save raises. The database's own
// keys keep ids and fiscal codes unique however many workstations create
// declarations at once; the version lets a save see that another workstation
// has changed the declaration since this one loaded it.
//
// Every call runs on the connection given, inside whatever transaction the
// caller holds. Database failures are EZurError (Kind::Database) with the
// database's own message.
class TZurDeclarationRegistry {
public:
  struct TEntry {
    int version = 0;
    QString fiscalCode;
  };

  TZurDeclarationRegistry(TVxSQLConnection& connection, const QString& program, int year);

  // Creates the table in a database made before it existed.
  void Ensure();
  // Every registered declaration of the program and year, by id.
  std::map<int, TEntry> Entries();
  // Registers a declaration stored before the table existed, with version 1.
  // False when nothing was registered because the id or the fiscal code is
  // already there (another workstation registered it first, or an older
  // program created the code twice).
  bool Adopt(int id, const QString& fiscalCode);

  // Keeps every other creator of declarations waiting until the caller's
  // transaction ends. On SQLite the write transaction already holds the
  // whole database; PostgreSQL locks the table.
  void LockForCreation();
  // The id registered for the fiscal code (without regard to case), or 0.
  int IdOfFiscalCode(const QString& fiscalCode);
  // The largest id registered for any program and year, 0 when none.
  int MaxId();
  // Registers a new declaration with version 1. A duplicate id or fiscal
  // code is refused by the database (EZurError).
  void Insert(int id, const QString& fiscalCode);

  enum class TRaise { Raised, Changed, Missing };
  // Raises the declaration's version from `loaded` to loaded + 1. Changed:
  // the stored version is another (another workstation saved it); Missing:
  // no row (another workstation deleted it). Nothing is written then.
  TRaise Raise(int id, int loaded);
  // Removes the declaration's row.
  void Remove(int id);

private:
  bool InsertRow(int id, const QString& fiscalCode, bool unlessPresent);

  TVxSQLConnection& m_connection;
  QString m_program;
  int m_year;
};
