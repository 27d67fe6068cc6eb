#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

class TClientDataSet;
class TVxSQLConnection;

// The fiscal data store. It keeps client datasets in the family database
// without tables of their own: every record becomes a group of field/value
// rows in tfis_datifiscali, numbered by a row number and tied to a fiscal
// period (tcrf_crofiscale) and a taxpayer entry (tafi_anafiscale). The
// structure of each dataset is a saved empty dataset in tcds_struttura, which
// also holds the row counter, the anagrafica and read-only flags and the field
// map that ties dataset fields to columns of tafi_anafiscale.
//
// One store serves the whole program (program "zur", year 2024, month 0).
// Program codes and table names are compared in lower case. Every failure is
// an EZurError with an Italian message; a missing structure row is
// "Impossibile trovare il ClientDataSet (<table>).".
class TNymDBCds {
public:
  // month 0 means "no month". The program code is kept in lower case.
  TNymDBCds(int year, const QString& program, int month);
  ~TNymDBCds();
  TNymDBCds(const TNymDBCds&) = delete;
  TNymDBCds& operator=(const TNymDBCds&) = delete;

  // The connection the store works on; it must outlive the store's use.
  void SetConnection(TVxSQLConnection* connection) { m_connection = connection; }
  TVxSQLConnection* Connection() const { return m_connection; }
  // Whether Load shows the wait window and the wait cursor (through the
  // platform layer). True after creation.
  void SetShowWait(bool showWait) { m_showWait = showWait; }
  bool ShowWait() const { return m_showWait; }

  // Called while Load reads, every few thousand stored rows, with the rows
  // read so far by that load; lets a caller move a progress bar.
  void SetRowObserver(std::function<void(qint64 rowsRead)> observer) { m_rowObserver = std::move(observer); }
  // The stored rows (field values) that Load of the table would read in the
  // store's year and month; 0 when the table has no structure row.
  qint64 CountStoredRows(const QString& tableName);

  int Year() const { return m_year; }
  int Month() const { return m_month; }
  const QString& Program() const { return m_program; }

  // Replaces the dataset's structure and content with what is stored for the
  // table in the store's (or the given) year and month (-1: every month).
  // The dataset's handlers and bound controls are off while it runs; the
  // dataset ends on its first record with an empty change log, its filter
  // kept, its index order cleared.
  // On bad input:
  //  - no structure row: the error above, the dataset untouched;
  //  - a structure blob that is not a saved dataset, a field map naming a
  //    column tafi_anafiscale lacks, a stored value that does not fit its
  //    field (text in an integer field, a malformed date, a value kept in the
  //    column of another type after the structure changed): an error naming
  //    the table, the field and the row, and the dataset is left closed and
  //    empty, so that nothing half-loaded can be saved back. The database is
  //    never written by a load.
  void Load(TClientDataSet& dataSet, const QString& tableName);
  void Load(TClientDataSet& dataSet, const QString& tableName, int year, int month);

  // Writes the dataset's pending changes (inserted, modified and deleted
  // records) for the table in the store's (or the given) year and month,
  // posting a pending edit first: a batch of one dataset (below). Inserted
  // records get their row number and taxpayer entry written back into
  // IFISRIGO and IAFIID; on success the change log is merged.
  // On bad input:
  //  - a closed dataset, no structure row, a dataset without IFISRIGO, a
  //    malformed field map: an error, nothing written, the pending changes
  //    kept;
  //  - any failure while the changes are written (a statement the database
  //    refuses, an amount a float column cannot hold exactly, a field named
  //    by the group entry of the map that the dataset lacks), and a refused
  //    commit: everything of this save is rolled back, the dataset keeps its
  //    pending changes exactly as they were before the save (row numbers and
  //    taxpayer entries given out by the failed save are taken back), and the
  //    error, with the database's own message, reaches the caller. A second
  //    save writes them.
  // Two programs saving the same structure at once never get the same row
  // number: the structure row is locked (PostgreSQL) or the transaction holds
  // the write lock from its start (SQLite) until the counter is written.
  void Save(TClientDataSet& dataSet, const QString& tableName);
  void Save(TClientDataSet& dataSet, const QString& tableName, int year, int month);

  // Several datasets written as one: every save of the batch runs in one
  // transaction (the batch's own when the connection has none, otherwise a
  // savepoint inside the caller's), and only Commit makes them stored and
  // merges their change logs. A batch destroyed without Commit, or whose
  // Commit the database refuses, rolls everything back and leaves every
  // dataset's pending changes as they were before the batch. After a failed
  // Save the batch is spent: further Saves and Commit throw.
  class TBatch {
  public:
    // Starts the transaction; the store must have an open connection.
    explicit TBatch(TNymDBCds& store);
    ~TBatch();
    TBatch(const TBatch&) = delete;
    TBatch& operator=(const TBatch&) = delete;

    // The connection the batch writes on, for statements of the caller that
    // belong to the same transaction.
    TVxSQLConnection& Connection() const;
    // Writes the dataset's pending changes inside the batch, failing as
    // TNymDBCds::Save does (without merging anything).
    void Save(TClientDataSet& dataSet, const QString& tableName);
    void Save(TClientDataSet& dataSet, const QString& tableName, int year, int month);
    // Commits, then merges the change log of every dataset saved.
    void Commit();

  private:
    struct TState;
    TNymDBCds& m_store;
    std::unique_ptr<TState> m_state;
  };

  // A new declaration id IIRAPID: one more than the largest stored anywhere,
  // 1000001 for the first. Runs on the global connection, or on the store's
  // when there is none.
  int AllocateDeclarationId();

  // Writes the structure row of a table: the fields of `structure` (its
  // records are not stored) as a saved empty dataset, the flags and the field
  // map ("column=FIELD;column=FIELD1+FIELD2"). A row of the same program,
  // table name, year and month is updated in place (keeping its id and row
  // counter); otherwise a new row gets a generated id and counter 0. Returns
  // the structure id. Refuses, with nothing written, a structure without
  // IFISRIGO and a field map whose entries are not column=field with plain
  // identifiers. Runs in a transaction of its own when none is open.
  static qint64 WriteStructure(TVxSQLConnection& connection, const QString& program, int year, int month,
                               const QString& tableName, const TClientDataSet& structure, bool anagrafica,
                               bool mapReadOnly, const QString& fieldMap);

private:
  TVxSQLConnection& RequireConnection() const;

  int m_year;
  int m_month;
  QString m_program;
  TVxSQLConnection* m_connection = nullptr;
  bool m_showWait = true;
  std::function<void(qint64)> m_rowObserver;
};
