#pragma once

#include "dataset/DataPacket.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

class TClientDataSet;
class TVxSQLConnection;

// The field catalogue of the declaration: which datasets exist, which fields
// each carries, and the structure rows that let the fiscal store keep them.
//
// Field types follow the naming rule of the declaration: the first letter of
// a name gives its type ("S" string of 100 characters, "I" 32-bit integer,
// "F" amount with 2 decimals and 18 digits, "D" date, "L" one-character
// flag). Two datasets do not follow the rule and have a fixed definition
// instead: the regional rows (which keep their amounts as integers and carry
// the calculated row label RIGO) and the additional fields.

// A field of a fixed definition.
struct TZurFixedField {
  const char* name;
  TFieldType type;
  int size; // string width; 0 for the other types
  bool calculated = false;
};

// One dataset of the declaration data module.
struct TZurDataSetDecl {
  const char* component; // the component name other subsystems look it up by
  const char* tableName; // the store's table name; nullptr when not stored
  // The names the program reads or writes, typed by the naming rule.
  std::span<const char* const> catalogue;
  // A fixed definition that replaces the naming rule (empty when the rule applies).
  std::span<const TZurFixedField> fixedFields;
  // The dataset ties its records to a declaration with IIRAPID and SIRAPCODFIS
  // although the catalogue does not list them.
  bool declarationKeys = false;

  // --- the structure row of a stored dataset ----------------------------------
  bool anagrafica = false;   // lCdsAnagrafica: its records own their taxpayer entry
  bool mapReadOnly = false;  // lCdsFMapReadOnly: the field map is only read
  const char* fieldMap = ""; // sCdsFieldMap

  QString Component() const { return QString::fromLatin1(component); }
  QString TableName() const { return tableName ? QString::fromLatin1(tableName) : QString(); }
  bool Stored() const { return tableName != nullptr; }
};

class TZurCatalogue {
public:
  // The structure rows are written for this program, year and month: the
  // store picks the newest structure not newer than its own year.
  static constexpr const char* Program = "zur";
  static constexpr int Year = 2024;
  static constexpr int Month = 0;

  // Store keys every stored dataset carries besides its catalogue.
  static constexpr const char* KeyTaxpayer = "IAFIID";
  static constexpr const char* KeyRow = "IFISRIGO";
  static constexpr const char* KeyDeclaration = "IIRAPID";
  static constexpr const char* FiscalCode = "SIRAPCODFIS";

  // The six datasets in the order Frontespizio, IK, IR, IR var, IS,
  // additional fields; the first five are the stored ones, in the order the
  // store loads and saves them.
  static std::span<const TZurDataSetDecl> DataSets();
  static std::span<const TZurDataSetDecl> StoredDataSets() { return DataSets().first(5); }
  // By component name or table name, without regard to case; nullptr when
  // there is none.
  static const TZurDataSetDecl* Find(const QString& component);
  static const TZurDataSetDecl* FindByTable(const QString& tableName);

  // The definition a name gets by the naming rule. Throws EZurError
  // (Kind::Field) naming the field when its first letter is none of S, I, F,
  // D, L or the name is not a valid field name.
  static TDataPacketField FieldByRule(const QString& name);

  // The whole structure of a dataset in field order: the fixed definition, or
  // the store keys (IFISRIGO, IAFIID), the declaration keys where the dataset
  // has them, and then the catalogue by the naming rule.
  static std::vector<TDataPacketField> Structure(const TZurDataSetDecl& dataSet);
  // The structure saved as an empty dataset, as the structure row keeps it.
  static QByteArray StructureBlob(const TZurDataSetDecl& dataSet);
  // Gives a dataset this structure and opens it empty (its event handlers,
  // filter and index stay as they are).
  static void CreateDataSet(TClientDataSet& dataSet, const TZurDataSetDecl& decl);

  // Writes the structure rows of the five stored datasets through the store.
  // Runs in the caller's transaction when there is one.
  static void WriteStructureRows(TVxSQLConnection& connection);
};
