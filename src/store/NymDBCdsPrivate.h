#pragma once

// What the pieces of TNymDBCds share and nobody else sees: the statements of
// the store, the structure parameters and a few helpers of values.

#include "dataset/ClientDataSet.h"
#include "dataset/Currency.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class QSqlError;
class TVxSQLConnection;

namespace zurstore {

// --- statements ------------------------------------------------------------------
//
// Each statement of the store with the text the family's other programs run
// (original) and the text run here on both engines. They differ only where an
// engine refuses the family's text or would answer it differently; the reason
// stands beside each such pair.
struct TStoreSql {
  const char* original;
  const char* text;
};

inline constexpr TStoreSql kChooseStructure{
    "SELECT cds.* FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO AND "
    "(COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) AND Lower(cds.scdsprogramma) = "
    ":SCDSPROGRAMMA "
    "AND Lower(cds.scdsnome) = :SCDSNOME ORDER BY cds.icdsanno DESC",
    // PostgreSQL puts NULL first in a descending order and SQLite last, so a
    // row without a year (taken as year 0 by the condition) would win on one
    // engine only. Rows of the same year follow their month and then their
    // age, so that the choice is the same everywhere.
    "SELECT cds.* FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO AND "
    "(COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) AND Lower(cds.scdsprogramma) = "
    ":SCDSPROGRAMMA "
    "AND Lower(cds.scdsnome) = :SCDSNOME "
    "ORDER BY COALESCE(cds.icdsanno, 0) DESC, COALESCE(cds.icdsmese, 0) DESC, cds.icdsid DESC"};

inline constexpr const char* kLoadRowsText =
    "SELECT crf.*, afi.*, fis.sFisFieldName, fis.iFisRigo, fis.iFisValue, fis.fFisValue, fis.sFisValue, "
    "fis.dFisValue FROM tcrf_crofiscale crf LEFT JOIN tfis_datifiscali fis ON fis.icrfid = crf.icrfid "
    "LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO "
    "AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND Lower(crf.scrfprogramma) = "
    ":SCRFPROGRAMMA AND fis.icdsid = :ICDSID AND (fis.iafiid = :IAFIID OR :IAFIID = -1) ORDER BY "
    "fis.ifisrigo";
inline constexpr TStoreSql kLoadRows{kLoadRowsText, kLoadRowsText};

// Our own: how many rows the load statement will read, for the progress bar.
inline constexpr const char* kCountRows =
    "SELECT COUNT(*) FROM tcrf_crofiscale crf INNER JOIN tfis_datifiscali fis ON fis.icrfid = crf.icrfid "
    "WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) "
    "AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND fis.icdsid = :ICDSID";

inline constexpr const char* kPeriodText = "SELECT icrfid FROM pnym_getcrofiscale(:sProgramma, :iAnno, :iMese) ";
inline constexpr TStoreSql kPeriod{kPeriodText, kPeriodText};

inline constexpr const char* kFindTaxpayerText =
    "SELECT afi.iafiid FROM tcrf_crofiscale crf INNER JOIN tafi_anafiscale afi ON afi.icrfid = crf.icrfid "
    "WHERE crf.icrfanno = :ICRFANNO AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND "
    "Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND Lower(afi.saficodfiscale) = :SAFICODFISCALE AND "
    "(COALESCE(afi.safigruppoana, '') = :SAFIGRUPPOANA OR :SAFIGRUPPOANA = '')";
inline constexpr TStoreSql kFindTaxpayer{kFindTaxpayerText, kFindTaxpayerText};

inline constexpr const char* kInsertTaxpayerText =
    "INSERT INTO TAFI_ANAFISCALE (IAFIID, ICRFID) VALUES (:IAFIID, :ICRFID)";
inline constexpr TStoreSql kInsertTaxpayer{kInsertTaxpayerText, kInsertTaxpayerText};

// SQLite takes a table alias in UPDATE and DELETE only after AS; PostgreSQL
// takes both spellings.
inline constexpr TStoreSql kUpdateTaxpayer{"UPDATE tafi_anafiscale afi SET %s WHERE afi.iafiid = :IAFIID",
                                    "UPDATE tafi_anafiscale AS afi SET %1 WHERE afi.iafiid = :IAFIID"};
inline constexpr TStoreSql kDeleteTaxpayer{"DELETE FROM tafi_anafiscale afi WHERE afi.iafiid = :IAFIID",
                                    "DELETE FROM tafi_anafiscale AS afi WHERE afi.iafiid = :IAFIID"};
inline constexpr TStoreSql kDeleteRows{
    "DELETE FROM tfis_datifiscali fis WHERE fis.icdsid = :ICDSID AND fis.ifisrigo = :IFISRIGO",
    "DELETE FROM tfis_datifiscali AS fis WHERE fis.icdsid = :ICDSID AND fis.ifisrigo = :IFISRIGO"};

inline constexpr TStoreSql kInsertValue{
    "INSERT INTO TFIS_DATIFISCALI (ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, %0:sFISVALUE) VALUES "
    "(:ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, :%0:sFISVALUE)",
    "INSERT INTO TFIS_DATIFISCALI (ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, %1FISVALUE) VALUES "
    "(:ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, :%1FISVALUE)"};

// Neither engine lets SET name its column through the table alias.
inline constexpr TStoreSql kStoreCounter{
    "UPDATE tcds_struttura cds SET cds.icdsrigo = :ICDSRIGO WHERE cds.icdsid = :ICDSID",
    "UPDATE tcds_struttura AS cds SET icdsrigo = :ICDSRIGO WHERE cds.icdsid = :ICDSID"};

inline constexpr const char* kAllocateIdText = "select CoalEsce(MAX(fis.ifisvalue),1000000) + 1 as NEW_IRAPID from "
                                        "tfis_datifiscali fis where fis.sfisfieldname = 'IIRAPID'";
inline constexpr TStoreSql kAllocateId{kAllocateIdText, kAllocateIdText};

// Our own: the counter read again under the guard that keeps a second saver
// of the structure waiting until this save has written it back. SQLite's
// writers hold the database's write lock from BEGIN IMMEDIATE on, so the
// plain read is enough there; PostgreSQL needs the row lock.
inline constexpr const char* kLockCounterPg =
    "SELECT cds.icdsrigo FROM tcds_struttura cds WHERE cds.icdsid = :ICDSID FOR UPDATE";
inline constexpr const char* kLockCounterSqlite =
    "SELECT cds.icdsrigo FROM tcds_struttura cds WHERE cds.icdsid = :ICDSID";

inline constexpr const char* kSavepoint = "SAVEPOINT zur_nymdbcds";
inline constexpr const char* kRollbackToSavepoint = "ROLLBACK TO SAVEPOINT zur_nymdbcds";
inline constexpr const char* kReleaseSavepoint = "RELEASE SAVEPOINT zur_nymdbcds";

inline constexpr const char* kFindStructureRow =
    "SELECT cds.icdsid FROM tcds_struttura cds WHERE Lower(cds.scdsprogramma) = :SCDSPROGRAMMA AND "
    "Lower(cds.scdsnome) = :SCDSNOME AND COALESCE(cds.icdsanno, 0) = :ICDSANNO AND "
    "COALESCE(cds.icdsmese, 0) = :ICDSMESE ORDER BY cds.icdsid";
inline constexpr const char* kInsertStructureRow =
    "INSERT INTO tcds_struttura (icdsid, icdsanno, icdsmese, scdsprogramma, scdsnome, bcdsschema, "
    "lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap) VALUES (:ICDSID, :ICDSANNO, :ICDSMESE, "
    ":SCDSPROGRAMMA, :SCDSNOME, :BCDSSCHEMA, :LCDSANAGRAFICA, :LCDSFMAPREADONLY, 0, :SCDSFIELDMAP)";
inline constexpr const char* kUpdateStructureRow =
    "UPDATE tcds_struttura SET bcdsschema = :BCDSSCHEMA, lcdsanagrafica = :LCDSANAGRAFICA, "
    "lcdsfmapreadonly = :LCDSFMAPREADONLY, scdsfieldmap = :SCDSFIELDMAP WHERE icdsid = :ICDSID";

inline QString Sql(const TStoreSql& statement) {
  return QString::fromLatin1(statement.text);
}

inline QString Q(const char* text) {
  return QString::fromLatin1(text);
}

// --- structure parameters ----------------------------------------------------------

// One entry column=field of a field map; field may join several fields with "+".
struct TMapEntry {
  QString column;     // lower case
  QString fieldPart;  // as written
  QStringList fields; // fieldPart split at "+"
  bool group = false; // fieldPart joins several fields
};

struct TCdsParams {
  qint64 id = 0;
  bool anagrafica = false;
  bool mapReadOnly = false;
  qint64 counter = 0;
  std::vector<TMapEntry> map;
  QByteArray schema;

  const TMapEntry* Entry(const char* column) const {
    for (const TMapEntry& e : map)
      if (e.column == QLatin1String(column)) return &e;
    return nullptr;
  }
};

// The field map of a structure row; refuses entries that are not
// column=field with plain identifiers, naming the table.
std::vector<TMapEntry> ParseFieldMap(const QString& text, const QString& tableName);

// The structure row of a table for the year and month (-1: every month);
// "Impossibile trovare il ClientDataSet (<table>)." when there is none.
TCdsParams ChooseStructure(TVxSQLConnection& connection, const QString& program, const QString& tableName,
                           int year, int month);

// The value column of a field's type: 0 sFisValue, 1 iFisValue, 2 fFisValue,
// 3 dFisValue; the letter of that column in the insert statement.
inline int ValueSlot(TFieldType type) {
  switch (type) {
  case TFieldType::Integer:
    return 1;
  case TFieldType::Amount:
  case TFieldType::Float:
    return 2;
  case TFieldType::Date:
    return 3;
  default:
    return 0;
  }
}
inline constexpr char kSlotLetter[4] = {'s', 'i', 'f', 'd'};

// The database's own text of an error, else the driver's.
QString DriverMessage(const QSqlError& error);

} // namespace zurstore
