#include "dataset/ClientDataSet.h"

#include "dataset/ClientDataSetRecord.h"
#include <algorithm>

using namespace zurcds;

// --- cursor ---------------------------------------------------------------------

bool TClientDataSet::IsEmpty() const {
  return !Active() || m_view.empty();
}

int TClientDataSet::RecordCount() const {
  return Active() ? int(m_view.size()) : 0;
}

int TClientDataSet::RecNo() const {
  switch (m_state) {
  case TDataSetState::Inactive:
    return 0;
  case TDataSetState::CalcFields:
    return m_calcRecNo;
  case TDataSetState::Insert:
    return int(m_insertPos) + 1;
  default:
    return m_view.empty() ? 0 : int(m_cursor) + 1;
  }
}

void TClientDataSet::ScrollTo(qsizetype index) {
  Fire(&TDataSetEvents::BeforeScroll);
  SetCursor(index);
  m_bof = m_eof = m_view.empty();
  Notify(TNotify::Scroll);
  Fire(&TDataSetEvents::AfterScroll);
}

void TClientDataSet::SetRecNo(int recNo) {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  ScrollTo(qsizetype(recNo) - 1);
}

void TClientDataSet::First() {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  ScrollTo(0);
  m_bof = true;
}

void TClientDataSet::Last() {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  ScrollTo(qsizetype(m_view.size()) - 1);
  m_eof = true;
}

void TClientDataSet::Next() {
  MoveBy(1);
}
void TClientDataSet::Prior() {
  MoveBy(-1);
}

int TClientDataSet::MoveBy(int distance) {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  if (distance == 0 || (distance > 0 && m_eof) || (distance < 0 && m_bof)) return 0;
  Fire(&TDataSetEvents::BeforeScroll);
  const qsizetype n = qsizetype(m_view.size());
  const qsizetype from = m_cursor;
  qsizetype target = m_cursor + distance;
  bool hitEnd = false, hitStart = false;
  if (target >= n) {
    target = n - 1;
    hitEnd = true;
  }
  if (target < 0) {
    target = 0;
    hitStart = true;
  }
  SetCursor(target);
  m_eof = n == 0 || hitEnd;
  m_bof = n == 0 || hitStart;
  Notify(TNotify::Scroll);
  Fire(&TDataSetEvents::AfterScroll);
  return int(m_cursor - from);
}

TBookmark TClientDataSet::GetBookmark() const {
  TBookmark b;
  if (!Active()) return b;
  const TRecord* r = m_state == TDataSetState::Edit     ? m_editTarget
                     : m_state == TDataSetState::Insert ? nullptr
                                                        : CurrentRecord();
  if (r) {
    b.m_record = std::const_pointer_cast<TRecord>(r->shared_from_this());
    b.m_owner = this;
  }
  return b;
}

bool TClientDataSet::BookmarkValid(const TBookmark& bookmark) const {
  if (!Active() || bookmark.m_owner != this) return false;
  const std::shared_ptr<void> p = bookmark.m_record.lock();
  const auto* r = static_cast<const TRecord*>(p.get());
  return r && r->status != TUpdateStatus::usDeleted && ViewIndexOf(r) >= 0;
}

void TClientDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  if (!BookmarkValid(bookmark)) throw EZurError(QStringLiteral("Record non trovato."));
  const std::shared_ptr<void> p = bookmark.m_record.lock();
  ScrollTo(ViewIndexOf(static_cast<const TRecord*>(p.get())));
}

// --- editing --------------------------------------------------------------------

void TClientDataSet::Append() {
  BeginInsert(true);
}
void TClientDataSet::Insert() {
  BeginInsert(false);
}

void TClientDataSet::BeginInsert(bool append) {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  Fire(&TDataSetEvents::BeforeInsert);
  Fire(&TDataSetEvents::BeforeScroll);
  auto buffer = std::make_unique<TRecord>();
  buffer->values.assign(size_t(m_dataCount), TFieldValue());
  buffer->calc.assign(size_t(m_calcCount), TFieldValue());
  buffer->status = TUpdateStatus::usInserted;
  m_appending = append || m_view.empty();
  m_insertPos = m_appending ? qsizetype(m_view.size()) : m_cursor;
  m_editBuffer = std::move(buffer);
  m_editTarget = nullptr;
  m_state = TDataSetState::Insert;
  try {
    Fire(&TDataSetEvents::OnNewRecord);
  } catch (...) {
    DiscardEdit();
    throw;
  }
  m_modified = false;
  Notify(TNotify::Editing);
  Fire(&TDataSetEvents::AfterInsert);
  Fire(&TDataSetEvents::AfterScroll);
}

void TClientDataSet::Edit() {
  CheckActive();
  CheckNotCalculating();
  if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) return;
  if (m_view.empty()) {
    Insert();
    return;
  }
  Fire(&TDataSetEvents::BeforeEdit);
  TRecord* target = CurrentRecord();
  auto buffer = std::make_unique<TRecord>();
  buffer->values = target->values;
  buffer->calc.assign(size_t(m_calcCount), TFieldValue());
  m_editBuffer = std::move(buffer);
  m_editTarget = target;
  m_state = TDataSetState::Edit;
  m_modified = false;
  try {
    ComputeCalcFields(*m_editBuffer, RecNo());
  } catch (...) {
    DiscardEdit();
    throw;
  }
  Notify(TNotify::Editing);
  Fire(&TDataSetEvents::AfterEdit);
}

void TClientDataSet::Post() {
  CheckActive();
  CheckNotCalculating();
  if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) return;
  Fire(&TDataSetEvents::BeforePost);
  CommitEdit();
  Notify(TNotify::Editing);
  Notify(TNotify::DataSet);
  Fire(&TDataSetEvents::AfterPost);
}

void TClientDataSet::CommitEdit() {
  if (m_state == TDataSetState::Insert) {
    auto record = std::make_shared<TRecord>();
    record->values = std::move(m_editBuffer->values);
    record->calc.assign(size_t(m_calcCount), TFieldValue());
    record->status = TUpdateStatus::usInserted;
    record->logSequence = ++m_logSequence;
    ++m_changeCount;
    const TRecord* before =
        m_appending || m_insertPos >= qsizetype(m_view.size()) ? nullptr : m_view[size_t(m_insertPos)];
    PlaceNewRecord(std::move(record), before);
  } else {
    TRecord* target = m_editTarget;
    if (m_editBuffer->values != target->values) {
      const qsizetype at = m_cursor;
      if (target->status == TUpdateStatus::usUnmodified) {
        target->original = std::move(target->values);
        target->status = TUpdateStatus::usModified;
        target->logSequence = ++m_logSequence;
        ++m_changeCount;
      }
      target->values = std::move(m_editBuffer->values);
      if (target->status == TUpdateStatus::usModified && target->values == target->original) {
        // Edited back to what it was: nothing left to apply.
        target->original.clear();
        target->status = TUpdateStatus::usUnmodified;
        target->logSequence = 0;
        --m_changeCount;
      }
      if (!m_indexSlots.empty() || (m_filtered && m_filter)) {
        m_view.erase(m_view.begin() + at);
        if (PassesFilter(*target)) {
          const qsizetype pos = ViewInsertPosition(target);
          m_view.insert(m_view.begin() + pos, target);
          SetCursor(pos);
        } else {
          SetCursor(at);
        }
      }
    }
  }
  DiscardEdit();
  m_bof = m_eof = m_view.empty();
}

void TClientDataSet::PlaceNewRecord(TRecordPtr record, const TRecord* before) {
  // Insertion order: at the end, or just before the record that was current.
  qsizetype at = qsizetype(m_records.size());
  if (before) {
    at = std::lower_bound(m_records.begin(), m_records.end(), before->order,
                          [](const TRecordPtr& r, std::int64_t order) { return r->order < order; }) -
         m_records.begin();
    const std::int64_t upper = before->order;
    const std::int64_t lower = at > 0 ? m_records[size_t(at - 1)]->order : upper - 2 * kOrderGap;
    if (upper - lower < 2) {
      RenumberOrder();
      record->order = m_records[size_t(at)]->order - kOrderGap / 2;
    } else {
      record->order = lower + (upper - lower) / 2;
    }
  } else {
    record->order = m_records.empty() ? 0 : m_records.back()->order + kOrderGap;
  }
  TRecord* raw = record.get();
  m_records.insert(m_records.begin() + at, std::move(record));
  if (PassesFilter(*raw)) {
    const qsizetype pos = ViewInsertPosition(raw);
    m_view.insert(m_view.begin() + pos, raw);
    SetCursor(pos);
  } else {
    SetCursor(m_insertPos);
  }
}

void TClientDataSet::RenumberOrder() {
  std::int64_t order = 0;
  for (const TRecordPtr& r : m_records) {
    r->order = order;
    order += kOrderGap;
  }
}

void TClientDataSet::DiscardEdit() {
  m_editBuffer.reset();
  m_editTarget = nullptr;
  m_modified = false;
  if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) m_state = TDataSetState::Browse;
}

void TClientDataSet::Cancel() {
  CheckActive();
  CheckNotCalculating();
  if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) return;
  Fire(&TDataSetEvents::BeforeCancel);
  const bool inserting = m_state == TDataSetState::Insert;
  DiscardEdit();
  if (inserting) SetCursor(m_insertPos);
  Notify(TNotify::Editing);
  Notify(TNotify::DataSet);
  Fire(&TDataSetEvents::AfterCancel);
  if (inserting) Fire(&TDataSetEvents::AfterScroll);
}

void TClientDataSet::CheckBrowseMode() {
  if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) return;
  if (m_modified)
    Post();
  else
    Cancel();
}

void TClientDataSet::Delete() {
  CheckActive();
  CheckNotCalculating();
  if (m_state == TDataSetState::Insert) {
    Cancel();
    return;
  }
  if (m_view.empty()) throw EZurError(QStringLiteral("Impossibile cancellare: il dataset è vuoto."));
  Fire(&TDataSetEvents::BeforeDelete);
  Fire(&TDataSetEvents::BeforeScroll);
  DiscardEdit();
  const qsizetype at = m_cursor;
  TRecord* record = m_view[size_t(at)];
  m_view.erase(m_view.begin() + at);
  if (record->status == TUpdateStatus::usInserted) {
    --m_changeCount;
    std::erase_if(m_records, [record](const TRecordPtr& r) { return r.get() == record; });
  } else {
    if (record->status == TUpdateStatus::usUnmodified) {
      ++m_changeCount;
      record->logSequence = ++m_logSequence;
    }
    record->status = TUpdateStatus::usDeleted;
  }
  const qsizetype n = qsizetype(m_view.size());
  SetCursor(at);
  if (n > 0 && at >= n) m_eof = true;
  Notify(TNotify::DataSet);
  Fire(&TDataSetEvents::AfterDelete);
  Fire(&TDataSetEvents::AfterScroll);
}
