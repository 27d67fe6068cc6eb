#include "declaration/ZurDeclarationRegistry.h"

#include "db/FamilySchema.h"
#include "db/VxSQLConnection.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"

namespace {

constexpr const char* kTable = "tzur_dichiarazioni";

QString Q(const char* text) {
  return QString::fromLatin1(text);
}

} // namespace

TZurDeclarationRegistry::TZurDeclarationRegistry(TVxSQLConnection& connection, const QString& program,
                                                 int year)
    : m_connection(connection), m_program(program.toLower()), m_year(year) {}

void TZurDeclarationRegistry::Ensure() {
  TFamilySchema::CreateMissingTable(m_connection, Q(kTable));
}

std::map<int, TZurDeclarationRegistry::TEntry> TZurDeclarationRegistry::Entries() {
  TZurQuery q(m_connection);
  q.SetSQL(Q(
      "SELECT iirapid, iversione, scodfiscale FROM tzur_dichiarazioni WHERE sprogramma = :P AND ianno = :A"));
  q.ParamByName(Q("P")).SetString(m_program);
  q.ParamByName(Q("A")).SetInteger(m_year);
  q.Open();
  std::map<int, TEntry> entries;
  for (; !q.Eof(); q.Next())
    entries[int(q.Fields(0).AsInteger())] = {int(q.Fields(1).AsInteger()), q.Fields(2).AsString()};
  return entries;
}

bool TZurDeclarationRegistry::Adopt(int id, const QString& fiscalCode) {
  return InsertRow(id, fiscalCode, true);
}

bool TZurDeclarationRegistry::InsertRow(int id, const QString& fiscalCode, bool unlessPresent) {
  TZurQuery q(m_connection);
  q.SetSQL(Q("INSERT INTO tzur_dichiarazioni (iirapid, sprogramma, ianno, scodfiscale, iversione) "
             "VALUES (:ID, :P, :A, :CF, 1)") +
           (unlessPresent ? Q(" ON CONFLICT DO NOTHING") : QString()));
  q.ParamByName(Q("ID")).SetInteger(id);
  q.ParamByName(Q("P")).SetString(m_program);
  q.ParamByName(Q("A")).SetInteger(m_year);
  q.ParamByName(Q("CF")).SetString(fiscalCode.toUpper());
  q.ExecSQL();
  return q.RowsAffected() == 1;
}

void TZurDeclarationRegistry::LockForCreation() {
  if (m_connection.Dialect().IsSQLite()) return;
  TZurQuery q(m_connection);
  q.SetSQL(Q("LOCK TABLE tzur_dichiarazioni IN SHARE ROW EXCLUSIVE MODE"));
  q.ExecSQL();
}

int TZurDeclarationRegistry::IdOfFiscalCode(const QString& fiscalCode) {
  TZurQuery q(m_connection);
  q.SetSQL(
      Q("SELECT iirapid FROM tzur_dichiarazioni WHERE sprogramma = :P AND ianno = :A AND scodfiscale = :CF"));
  q.ParamByName(Q("P")).SetString(m_program);
  q.ParamByName(Q("A")).SetInteger(m_year);
  q.ParamByName(Q("CF")).SetString(fiscalCode.toUpper());
  q.Open();
  return q.Eof() ? 0 : int(q.Fields(0).AsInteger());
}

int TZurDeclarationRegistry::MaxId() {
  TZurQuery q(m_connection);
  q.SetSQL(Q("SELECT COALESCE(MAX(iirapid), 0) FROM tzur_dichiarazioni"));
  q.Open();
  return q.Eof() ? 0 : int(q.Fields(0).AsInteger());
}

void TZurDeclarationRegistry::Insert(int id, const QString& fiscalCode) {
  InsertRow(id, fiscalCode, false);
}

TZurDeclarationRegistry::TRaise TZurDeclarationRegistry::Raise(int id, int loaded) {
  // One statement decides: a workstation that raised the version first
  // makes this one match no row, whichever engine and isolation.
  TZurQuery q(m_connection);
  q.SetSQL(
      Q("UPDATE tzur_dichiarazioni SET iversione = iversione + 1 WHERE iirapid = :ID AND iversione = :V"));
  q.ParamByName(Q("ID")).SetInteger(id);
  q.ParamByName(Q("V")).SetInteger(loaded);
  q.ExecSQL();
  if (q.RowsAffected() == 1) return TRaise::Raised;
  TZurQuery s(m_connection);
  s.SetSQL(Q("SELECT iversione FROM tzur_dichiarazioni WHERE iirapid = :ID"));
  s.ParamByName(Q("ID")).SetInteger(id);
  s.Open();
  return s.Eof() ? TRaise::Missing : TRaise::Changed;
}

void TZurDeclarationRegistry::Remove(int id) {
  TZurQuery q(m_connection);
  q.SetSQL(Q("DELETE FROM tzur_dichiarazioni WHERE iirapid = :ID"));
  q.ParamByName(Q("ID")).SetInteger(id);
  q.ExecSQL();
}
