#pragma once

#include "dataset/DataPacket.h"
#include "dataset/Field.h"
#include "dataset/FieldTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <QVariantList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;
class TClientDataSet;
class TDataSetFilter;

enum class TDataSetState { Inactive, Browse, Edit, Insert, CalcFields };

enum class TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };

// The owner's handlers. A handler that throws refuses the operation it
// precedes (Before*, OnNewRecord); the exception reaches the caller.
struct TDataSetEvents {
  using Handler = std::function<void(TClientDataSet&)>;
  Handler BeforeOpen, AfterOpen;
  Handler BeforeClose, AfterClose;
  Handler BeforeInsert, AfterInsert; // also for Append
  Handler OnNewRecord; // the new record is the active one; its assignments do not make it "modified"
  Handler BeforeEdit, AfterEdit;
  Handler BeforePost, AfterPost;
  Handler BeforeCancel, AfterCancel;
  Handler BeforeDelete, AfterDelete;
  Handler BeforeScroll, AfterScroll;
  Handler OnCalcFields; // runs positioned on the record being computed; may set calculated fields only
};

// Detaches every handler of a dataset for its lifetime and restores the
// handlers that were there in every case, also when an exception leaves.
class TDetachedEvents {
public:
  explicit TDetachedEvents(TClientDataSet& dataSet);
  ~TDetachedEvents();
  TDetachedEvents(const TDetachedEvents&) = delete;
  TDetachedEvents& operator=(const TDetachedEvents&) = delete;

private:
  TClientDataSet& m_dataSet;
  std::unique_ptr<TDataSetEvents> m_saved;
};

// A bound editor or grid. The dataset notifies its links while controls are
// enabled; EnableControls that ends the last DisableControls sends
// DataSetChanged once.
class TDataLink {
public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  // Attaches to a dataset (nullptr detaches); a dataset that is destroyed
  // detaches its links.
  void SetDataSet(TClientDataSet* dataSet);
  TClientDataSet* DataSet() const { return m_dataSet; }

protected:
  friend class TClientDataSet;
  virtual void ActiveChanged() {}                            // opened or closed
  virtual void DataSetChanged() {}                           // rows, order, filter or structure changed
  virtual void DataSetScrolled() {}                          // the current record moved
  virtual void EditingChanged() {}                           // edit/insert state entered or left
  virtual void RecordChanged(TField* field) { (void)field; } // a value of the active record changed

private:
  TClientDataSet* m_dataSet = nullptr;
};

// Opaque position of one record, stable across filter and order changes.
class TBookmark {
public:
  TBookmark() = default;
  bool IsNull() const { return m_record.expired(); }

private:
  friend class TClientDataSet;
  std::weak_ptr<void> m_record;
  const TClientDataSet* m_owner = nullptr;
};

struct TLocateOptions {
  bool caseInsensitive = false; // string fields only
  bool partialKey = false;      // string fields: the field's text begins with the key
};

// One pending change of the change log, as the fiscal store applies it.
// Field names are matched without regard to case; a name that is not a
// stored (non-calculated) field throws EZurError(Kind::Field) naming it.
class TChange {
public:
  TUpdateStatus UpdateKind() const;
  TClientDataSet& DataSet() const { return *m_dataSet; }

  // The original value (null QVariant of the type for an inserted record).
  QVariant OldValue(const QString& name) const;
  // The changed value: every field of an inserted record, the fields of a
  // modified record that differ from the original; otherwise an invalid
  // QVariant (unassigned). Always unassigned for a deleted record.
  QVariant NewValue(const QString& name) const;
  // NewValue when assigned, else OldValue.
  QVariant Value(const QString& name) const;
  // Writes into the record's current version without a new log entry (the
  // store gives inserted records their keys this way). Throws for a deleted
  // record, and like TField::SetAsVariant for a value that does not fit.
  void SetValue(const QString& name, const QVariant& value);

private:
  friend class TClientDataSet;
  TChange(TClientDataSet* dataSet, void* record) : m_dataSet(dataSet), m_record(record) {}
  TClientDataSet* m_dataSet;
  void* m_record;
};

// The in-memory table behind every dataset of the program, modelled on the
// client dataset of the family's Windows framework.
//
// States: Inactive -> (Open/CreateDataSet) -> Browse <-> Edit/Insert.
// Writing a field needs Edit or Insert; Post and Cancel in Browse do nothing.
// Moving the cursor, Append/Insert, Locate, GotoBookmark, a filter change and
// saving first finish a pending edit: posted when a field was assigned,
// cancelled otherwise (as the family's Windows framework does).
//
// The view: the records that pass the filter (when Filtered), in index order
// (when IndexFieldNames is set; stable, nulls first) or in insertion order.
// RecNo (1-based) and RecordCount refer to the view. A posted record that no
// longer passes the filter leaves the view.
//
// Errors are EZurError with an Italian message; an operation that throws
// leaves the dataset as it was before it (a refused Post keeps the record in
// Edit/Insert with its values; a refused Edit/Insert stays in Browse).
class TClientDataSet {
public:
  TClientDataSet();
  ~TClientDataSet();
  TClientDataSet(const TClientDataSet&) = delete;
  TClientDataSet& operator=(const TClientDataSet&) = delete;

  // --- structure ------------------------------------------------------------
  // Adds a field. Only while inactive; changing the structure drops any rows
  // kept from an earlier opening. size: String width (default 20), Amount
  // decimals 0..4 (default 4); ignored for the other types. Throws
  // EZurError(Kind::Field) for a duplicate name (case-insensitive), a name
  // that IsValidFieldName refuses, or a size out of range.
  TField& AddFieldDef(const QString& name, TFieldType type, int size = -1, bool calculated = false);
  // Removes every field (inactive only).
  void ClearFields();
  int FieldCount() const { return int(m_fieldPtrs.size()); }
  const std::vector<TField*>& Fields() const { return m_fieldPtrs; }
  TField& Field(int index) const;
  // Case-insensitive. FieldByName throws EZurError(Kind::Field)
  // "Campo 'X' non trovato."; FindField returns nullptr.
  TField& FieldByName(const QString& name) const;
  TField* FindField(const QString& name) const;

  // --- life -----------------------------------------------------------------
  // Opens an empty dataset with the defined fields (discarding any rows).
  // Throws when there are no fields.
  void CreateDataSet();
  // Opens with the rows kept from the last opening (none for a new dataset)
  // and moves to the first record. Close discards a pending edit, keeps the
  // rows and the change log. Both do nothing when already in that state.
  void Open();
  void Close();
  void SetActive(bool active) { active ? Open() : Close(); }
  bool Active() const { return m_state != TDataSetState::Inactive; }
  TDataSetState State() const { return m_state; }
  // Removes every record and the change log (the structure stays).
  void EmptyDataSet();

  // --- cursor ---------------------------------------------------------------
  // A closed dataset is empty with no records; neither throws.
  bool IsEmpty() const;
  int RecordCount() const;
  // 1-based position in the view; 0 for an empty view. In Insert state the
  // position the new record takes; inside OnCalcFields the position of the
  // record being computed.
  int RecNo() const;
  // The text of a field in the record at a 1-based position of the view, as
  // AsString gives it, without moving the cursor or notifying anyone (a grid
  // that shows several records at once). Empty outside the view.
  QString TextAt(int recNo, const TField& field) const;
  // Moves to a 1-based position (clamped to the view).
  void SetRecNo(int recNo);
  void First();
  void Last();
  void Next();
  void Prior();
  // Returns how far it moved. Setting Eof/Bof when it hits an end.
  int MoveBy(int distance);
  bool Eof() const { return m_eof; }
  bool Bof() const { return m_bof; }

  // A bookmark on the current record (null on an empty view).
  TBookmark GetBookmark() const;
  // Throws EZurError "Record non trovato." when the record is gone or is not
  // in the current view.
  void GotoBookmark(const TBookmark& bookmark);
  bool BookmarkValid(const TBookmark& bookmark) const;
  void FreeBookmark(TBookmark& bookmark) { bookmark = TBookmark(); }

  // --- editing --------------------------------------------------------------
  // Append adds at the end, Insert before the current record; the record
  // joins the view at its place when posted. Edit on an empty view inserts.
  void Append();
  void Insert();
  void Edit();
  void Post();
  void Cancel();
  // Deletes the current record (in Insert state: cancels the insertion) and
  // moves to the next one (the new last one, with Eof set, after deleting the
  // last). Throws on an empty view.
  void Delete();
  // Posts a pending edit when a field was assigned, cancels it otherwise.
  void CheckBrowseMode();
  // A field was assigned since Edit/Insert (not counting OnNewRecord).
  bool Modified() const { return m_modified; }

  // --- change log -----------------------------------------------------------
  // Of the current record (usInserted while inserting).
  TUpdateStatus UpdateStatus() const;
  // Records with a pending change (not log entries: editing a record twice
  // counts once; inserting and deleting a record leaves no change).
  int ChangeCount() const { return m_changeCount; }
  // Accepts every change: inserted and modified records become unmodified,
  // deleted ones disappear. Refused in Edit/Insert state.
  void MergeChangeLog();
  // Drops every change: modified records get their original values back,
  // deleted ones return, inserted ones disappear. A pending edit is
  // discarded first.
  void CancelUpdates();
  // Calls fn for each changed record (deleted ones included) in the order of
  // their first change. While fn runs the dataset shows that record as a
  // delta: its fields read the record's values (a deleted one as it was
  // before its changes), TField::OldValue/NewValue are those of the change,
  // and field setters write into the record like TChange::SetValue; moving,
  // editing and the like are refused. Refused in Edit/Insert state.
  // Exceptions from fn propagate; values written until then stay.
  void ForEachChange(const std::function<void(TChange&)>& fn);

  // --- search and order -----------------------------------------------------
  // keyFields: names separated by ';'; values: one per field (a null QVariant
  // matches null). Searches the view from the first record and moves there
  // when found. A value that does not fit its field throws EZurError.
  bool Locate(const QString& keyFields, const QVariantList& values, TLocateOptions options = {});
  bool Locate(const QString& keyField, const QVariant& value, TLocateOptions options = {});

  // Orders the view by these fields (';'-separated; "" = insertion order),
  // keeping the current record. A missing or calculated field throws
  // EZurError(Kind::Field) and leaves the order unchanged.
  void SetIndexFieldNames(const QString& names);
  const QString& IndexFieldNames() const { return m_indexFieldNames; }

  // Filter text: comparisons (= <> != < > <= >=) between fields and literals
  // ('text' with '' for a quote, numbers such as 12, -1, 3.5, NULL), IS [NOT]
  // NULL, AND, OR, NOT and parentheses, keywords in any case. A literal is
  // converted to the type of the field it is compared with ('1000001' equals
  // an integer 1000001). Strings compare case-sensitively. A comparison with
  // a null value is false, except = NULL / IS NULL. A text that does not
  // parse throws EZurError naming it and changes nothing; an unknown field
  // throws when the filter is applied (SetFiltered on an open dataset, Open).
  // Applying or changing the filter moves to the first record.
  void SetFilter(const QString& text);
  const QString& Filter() const { return m_filterText; }
  void SetFiltered(bool filtered);
  bool Filtered() const { return m_filtered; }

  // --- events and controls --------------------------------------------------
  TDataSetEvents& Events() { return m_events; }
  const TDataSetEvents& Events() const { return m_events; }
  void SetEvents(TDataSetEvents events) { m_events = std::move(events); }

  void DisableControls() { ++m_disableCount; }
  void EnableControls();
  bool ControlsDisabled() const { return m_disableCount > 0; }

  // --- persistence (DataPacket.h) ---------------------------------------------
  // Saving writes the structure and the current data of every record except
  // deleted ones, as if the change log were merged; a pending edit is first
  // posted or cancelled (CheckBrowseMode). The dataset must be active.
  // Files are written atomically: a failed save leaves the old file intact.
  void SaveToFile(const QString& path);
  void SaveToStream(QIODevice& device);
  QByteArray SaveToBytes();
  // Loading replaces structure and rows, opens the dataset on the first
  // record with an empty change log; filter text, Filtered and index names
  // are kept and applied. Any flaw in the input throws EZurError(Kind::File)
  // naming the file (see ReadDataPacket) and leaves the dataset closed and
  // empty, with its previous structure. A filter or index that does not fit
  // the new structure throws as Open does, leaving it closed with the rows.
  void LoadFromFile(const QString& path);
  void LoadFromStream(QIODevice& device);
  void LoadFromBytes(const QByteArray& data);

private:
  friend class TField;
  friend class TChange;
  friend class TDataLink;
  struct TRecord;
  using TRecordPtr = std::shared_ptr<TRecord>;
  enum class TNotify { Active, DataSet, Scroll, Editing, Record };
  static constexpr int kMaxStringWidth = 1000000;

  TField& AddField(const QString& name, TFieldType type, int size, int precision, bool calculated);
  void ReindexFields();
  int FieldIndexOf(QStringView name) const;
  TField& StoredField(const QString& name) const;

  void CheckActive() const;
  void CheckNotCalculating() const;
  void CheckBrowseState(const char* operation) const;
  TRecord* CurrentRecord() const;
  TRecord* ActiveRecord() const;
  const TFieldValue& ReadValue(const TField& field) const;
  void WriteValue(TField& field, TFieldValue value);
  void ComputeCalcFields(TRecord& record, int recNo);
  QVariant OldValueOf(const TField& field) const;
  QVariant NewValueOf(const TField& field) const;

  void BeginInsert(bool append);
  void DiscardEdit();
  void CommitEdit();
  void PlaceNewRecord(TRecordPtr record, const TRecord* before);
  void RenumberOrder();

  bool PassesFilter(const TRecord& record) const;
  bool ViewLess(const TRecord* a, const TRecord* b) const;
  qsizetype ViewInsertPosition(const TRecord* record) const;
  qsizetype ViewIndexOf(const TRecord* record) const;
  void RebuildView();
  void RestoreCursor(const TRecord* keep);
  void SetCursor(qsizetype index);
  void ScrollTo(qsizetype index);
  void BindFilterAndIndex(std::unique_ptr<TDataSetFilter>* filter, std::vector<int>* index) const;
  std::vector<int> IndexSlotsFor(const QString& names) const;
  void ApplyFilterChange();

  void Fire(TDataSetEvents::Handler TDataSetEvents::*handler);
  void Notify(TNotify kind, TField* field = nullptr);

  void ResetData();
  std::vector<TDataPacketField> PacketFields() const;
  void Load(const QByteArray& data, const QString& fileName);
  void AdoptPacket(TDataPacket&& packet);

  std::vector<std::unique_ptr<TField>> m_fields;
  std::vector<TField*> m_fieldPtrs;
  std::vector<int> m_nameHash; // open addressing over m_fields, -1 = empty
  int m_dataCount = 0;         // stored fields
  int m_calcCount = 0;         // calculated fields

  std::vector<TRecordPtr> m_records; // insertion order (ascending TRecord::order), deleted ones included
  std::vector<TRecord*> m_view;
  qsizetype m_cursor = 0;
  bool m_bof = true;
  bool m_eof = true;
  bool m_hasData = false; // m_records belong to the current structure

  TDataSetState m_state = TDataSetState::Inactive;
  std::unique_ptr<TRecord> m_editBuffer; // the record being edited or inserted
  TRecord* m_editTarget = nullptr;       // Edit: the stored record behind the buffer
  qsizetype m_insertPos = 0;             // Insert: the view position the record takes
  bool m_appending = false;
  bool m_modified = false;
  TRecord* m_calcRecord = nullptr;
  int m_calcRecNo = 0;
  TRecord* m_deltaRecord = nullptr; // the change ForEachChange is showing

  int m_changeCount = 0;
  std::uint64_t m_logSequence = 0;
  bool m_changesWritten = false;

  QString m_filterText;
  bool m_filtered = false;
  std::unique_ptr<TDataSetFilter> m_filter; // parsed; bound to the fields while applied
  QString m_indexFieldNames;
  std::vector<int> m_indexSlots;

  TDataSetEvents m_events;
  int m_disableCount = 0;
  std::vector<TDataLink*> m_links;
};
