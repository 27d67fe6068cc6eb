#include "dataset/ClientDataSet.h"

#include "dataset/ClientDataSetRecord.h"
#include <algorithm>

using namespace zurcds;

// --- change ---------------------------------------------------------------------

TUpdateStatus TChange::UpdateKind() const {
  return static_cast<TClientDataSet::TRecord*>(m_record)->status;
}

QVariant TChange::OldValue(const QString& name) const {
  const TField& f = m_dataSet->StoredField(name);
  const auto* r = static_cast<TClientDataSet::TRecord*>(m_record);
  if (r->status == TUpdateStatus::usInserted) return FieldValueToVariant(kNullValue, f.DataType());
  const auto& source = r->original.empty() ? r->values : r->original;
  return FieldValueToVariant(source[size_t(f.m_slot)], f.DataType());
}

QVariant TChange::NewValue(const QString& name) const {
  const TField& f = m_dataSet->StoredField(name);
  const auto* r = static_cast<TClientDataSet::TRecord*>(m_record);
  const size_t slot = size_t(f.m_slot);
  switch (r->status) {
  case TUpdateStatus::usInserted:
    return FieldValueToVariant(r->values[slot], f.DataType());
  case TUpdateStatus::usModified:
    if (r->original.empty() || r->values[slot] != r->original[slot])
      return FieldValueToVariant(r->values[slot], f.DataType());
    return QVariant();
  default:
    return QVariant();
  }
}

QVariant TChange::Value(const QString& name) const {
  QVariant v = NewValue(name);
  return v.isValid() ? v : OldValue(name);
}

void TChange::SetValue(const QString& name, const QVariant& value) {
  const TField& f = m_dataSet->StoredField(name);
  auto* r = static_cast<TClientDataSet::TRecord*>(m_record);
  if (r->status == TUpdateStatus::usDeleted)
    throw EZurError(
        QStringLiteral("Impossibile assegnare il campo '%1' di un record cancellato.").arg(f.FieldName()),
        EZurError::Kind::Assertion);
  r->values[size_t(f.m_slot)] = FieldValueFromVariant(value, f.DataType(), f.Size(), f.FieldName());
  m_dataSet->m_changesWritten = true;
}

// --- change log -----------------------------------------------------------------

TUpdateStatus TClientDataSet::UpdateStatus() const {
  switch (m_state) {
  case TDataSetState::Inactive:
    return TUpdateStatus::usUnmodified;
  case TDataSetState::Insert:
    return TUpdateStatus::usInserted;
  case TDataSetState::Edit:
    return m_editTarget->status;
  case TDataSetState::CalcFields:
    if (m_calcRecord == m_editBuffer.get())
      return m_editTarget ? m_editTarget->status : TUpdateStatus::usInserted;
    return m_calcRecord->status;
  case TDataSetState::Browse:
    break;
  }
  const TRecord* r = m_deltaRecord ? m_deltaRecord : CurrentRecord();
  return r ? r->status : TUpdateStatus::usUnmodified;
}

void TClientDataSet::CheckBrowseState(const char* operation) const {
  CheckActive();
  if (m_state != TDataSetState::Browse)
    throw EZurError(QStringLiteral("Operazione non consentita durante la modifica di un record: %1.")
                        .arg(QString::fromUtf8(operation)),
                    EZurError::Kind::Assertion);
}

void TClientDataSet::MergeChangeLog() {
  CheckBrowseState("accettazione delle modifiche");
  std::erase_if(m_records, [](const TRecordPtr& r) { return r->status == TUpdateStatus::usDeleted; });
  for (const TRecordPtr& r : m_records) {
    r->status = TUpdateStatus::usUnmodified;
    r->original.clear();
    r->logSequence = 0;
  }
  m_changeCount = 0;
}

void TClientDataSet::CancelUpdates() {
  CheckActive();
  CheckNotCalculating();
  if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) Cancel();
  TRecord* keep = CurrentRecord();
  if (keep && keep->status == TUpdateStatus::usInserted) keep = nullptr;
  std::erase_if(m_records, [](const TRecordPtr& r) { return r->status == TUpdateStatus::usInserted; });
  for (const TRecordPtr& r : m_records) {
    if (!r->original.empty()) r->values = std::move(r->original);
    r->original.clear();
    r->status = TUpdateStatus::usUnmodified;
    r->logSequence = 0;
  }
  m_changeCount = 0;
  RebuildView();
  RestoreCursor(keep);
  Notify(TNotify::DataSet);
}

void TClientDataSet::ForEachChange(const std::function<void(TChange&)>& fn) {
  CheckBrowseState("lettura delle modifiche");
  std::vector<TRecordPtr> changed;
  for (const TRecordPtr& r : m_records)
    if (r->status != TUpdateStatus::usUnmodified) changed.push_back(r);
  std::sort(changed.begin(), changed.end(),
            [](const TRecordPtr& a, const TRecordPtr& b) { return a->logSequence < b->logSequence; });
  m_changesWritten = false;
  struct Refresh {
    TClientDataSet& ds;
    ~Refresh() {
      ds.m_deltaRecord = nullptr;
      if (!ds.m_changesWritten) return;
      // Keys written by the store may move records in the view.
      TRecord* keep = ds.CurrentRecord();
      ds.RebuildView();
      ds.RestoreCursor(keep);
      ds.Notify(TNotify::DataSet);
    }
  } refresh{*this};
  for (const TRecordPtr& r : changed) {
    TChange change(this, r.get());
    m_deltaRecord = r.get();
    fn(change);
    m_deltaRecord = nullptr;
  }
}
