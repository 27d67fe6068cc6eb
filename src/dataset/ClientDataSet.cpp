#include "dataset/ClientDataSet.h"

#include "dataset/ClientDataSetRecord.h"
#include "dataset/DataSetFilter.h"

#include <algorithm>

using namespace zurcds;

namespace {

std::uint32_t NameHash(QStringView s) {
  std::uint32_t h = 2166136261u;
  for (QChar c : s) {
    char16_t u = c.unicode();
    if (u >= 'a' && u <= 'z') u = char16_t(u - 32);
    h = (h ^ u) * 16777619u;
  }
  return h;
}

} // namespace

// --- events and links ---------------------------------------------------------

TDetachedEvents::TDetachedEvents(TClientDataSet& dataSet)
    : m_dataSet(dataSet), m_saved(std::make_unique<TDataSetEvents>(std::move(dataSet.Events()))) {
  dataSet.Events() = TDataSetEvents();
}

TDetachedEvents::~TDetachedEvents() {
  m_dataSet.Events() = std::move(*m_saved);
}

TDataLink::~TDataLink() {
  SetDataSet(nullptr);
}

void TDataLink::SetDataSet(TClientDataSet* dataSet) {
  if (dataSet == m_dataSet) return;
  if (m_dataSet) std::erase(m_dataSet->m_links, this);
  m_dataSet = dataSet;
  if (m_dataSet) m_dataSet->m_links.push_back(this);
}

// --- structure ------------------------------------------------------------------

TClientDataSet::TClientDataSet() = default;

TClientDataSet::~TClientDataSet() {
  for (TDataLink* link : m_links)
    link->m_dataSet = nullptr;
}

TField& TClientDataSet::AddFieldDef(const QString& name, TFieldType type, int size, bool calculated) {
  return AddField(name, type, size, -1, calculated);
}

TField& TClientDataSet::AddField(const QString& name, TFieldType type, int size, int precision,
                                 bool calculated) {
  if (Active())
    throw EZurError(QStringLiteral("Impossibile aggiungere il campo '%1' a un dataset aperto.").arg(name),
                    EZurError::Kind::Field);
  if (!IsValidFieldName(name))
    throw EZurError(QStringLiteral("Nome di campo non valido: '%1'.").arg(name), EZurError::Kind::Field);
  if (FindField(name))
    throw EZurError(QStringLiteral("Campo '%1' duplicato.").arg(name), EZurError::Kind::Field);
  switch (type) {
  case TFieldType::String:
    if (size < 0) size = 20;
    if (size < 1 || size > kMaxStringWidth)
      throw EZurError(QStringLiteral("Larghezza %1 non valida per il campo '%2'.").arg(size).arg(name),
                      EZurError::Kind::Field);
    precision = 0;
    break;
  case TFieldType::Amount:
    if (size < 0) size = 4;
    if (size > 4)
      throw EZurError(
          QStringLiteral("Il campo '%1' non può avere %2 decimali (al massimo 4).").arg(name).arg(size),
          EZurError::Kind::Field);
    if (precision <= 0) precision = 18;
    break;
  default:
    size = 0;
    precision = 0;
    break;
  }
  auto field = std::unique_ptr<TField>(new TField(this, name, type, size, precision, calculated));
  TField& result = *field;
  m_fields.push_back(std::move(field));
  ReindexFields();
  m_hasData = false;
  m_records.clear();
  m_changeCount = 0;
  return result;
}

void TClientDataSet::ClearFields() {
  if (Active()) throw EZurError(QStringLiteral("Impossibile togliere i campi di un dataset aperto."));
  m_fields.clear();
  ReindexFields();
  m_hasData = false;
  m_records.clear();
  m_changeCount = 0;
}

void TClientDataSet::ReindexFields() {
  m_fieldPtrs.clear();
  m_dataCount = m_calcCount = 0;
  for (size_t i = 0; i < m_fields.size(); ++i) {
    TField* f = m_fields[i].get();
    f->m_index = int(i);
    f->m_slot = f->m_calculated ? m_calcCount++ : m_dataCount++;
    m_fieldPtrs.push_back(f);
  }
  size_t buckets = 8;
  while (buckets < m_fields.size() * 2)
    buckets *= 2;
  m_nameHash.assign(buckets, -1);
  for (size_t i = 0; i < m_fields.size(); ++i) {
    size_t b = NameHash(m_fields[i]->m_name) & (buckets - 1);
    while (m_nameHash[b] >= 0)
      b = (b + 1) & (buckets - 1);
    m_nameHash[b] = int(i);
  }
}

int TClientDataSet::FieldIndexOf(QStringView name) const {
  if (m_fields.empty()) return -1;
  const size_t mask = m_nameHash.size() - 1;
  for (size_t b = NameHash(name) & mask;; b = (b + 1) & mask) {
    const int i = m_nameHash[b];
    if (i < 0) return -1;
    if (SameNameIgnoringCase(m_fields[size_t(i)]->m_name, name)) return i;
  }
}

TField* TClientDataSet::FindField(const QString& name) const {
  const int i = FieldIndexOf(name);
  return i < 0 ? nullptr : m_fields[size_t(i)].get();
}

TField& TClientDataSet::FieldByName(const QString& name) const {
  if (TField* f = FindField(name)) return *f;
  throw EZurError(QStringLiteral("Campo '%1' non trovato.").arg(name), EZurError::Kind::Field);
}

TField& TClientDataSet::Field(int index) const {
  if (index < 0 || index >= FieldCount())
    throw EZurError(QStringLiteral("Indice di campo %1 fuori dai limiti.").arg(index),
                    EZurError::Kind::Field);
  return *m_fields[size_t(index)];
}

TField& TClientDataSet::StoredField(const QString& name) const {
  TField& f = FieldByName(name);
  if (f.Calculated())
    throw EZurError(
        QStringLiteral("Il campo calcolato '%1' non fa parte delle modifiche.").arg(f.FieldName()),
        EZurError::Kind::Field);
  return f;
}

// --- life -----------------------------------------------------------------------

void TClientDataSet::CreateDataSet() {
  if (m_fields.empty()) throw EZurError(QStringLiteral("Impossibile creare il dataset: non ha campi."));
  Close();
  ResetData();
  Open();
}

void TClientDataSet::ResetData() {
  m_records.clear();
  m_view.clear();
  m_changeCount = 0;
  m_hasData = true;
}

void TClientDataSet::Open() {
  if (Active()) return;
  if (m_fields.empty()) throw EZurError(QStringLiteral("Impossibile aprire il dataset: non ha campi."));
  Fire(&TDataSetEvents::BeforeOpen);
  std::unique_ptr<TDataSetFilter> filter;
  std::vector<int> index;
  BindFilterAndIndex(&filter, &index);
  if (!m_hasData) ResetData();
  if (filter) m_filter = std::move(filter);
  m_indexSlots = std::move(index);
  m_state = TDataSetState::Browse;
  RebuildView();
  SetCursor(0);
  m_bof = true;
  Notify(TNotify::Active);
  Fire(&TDataSetEvents::AfterOpen);
  Fire(&TDataSetEvents::AfterScroll);
}

void TClientDataSet::Close() {
  if (!Active()) return;
  CheckNotCalculating();
  Fire(&TDataSetEvents::BeforeClose);
  DiscardEdit();
  m_state = TDataSetState::Inactive;
  m_view.clear();
  m_cursor = 0;
  m_bof = m_eof = true;
  Notify(TNotify::Active);
  Fire(&TDataSetEvents::AfterClose);
}

void TClientDataSet::EmptyDataSet() {
  CheckActive();
  CheckNotCalculating();
  DiscardEdit();
  ResetData();
  SetCursor(0);
  Notify(TNotify::DataSet);
}

void TClientDataSet::CheckActive() const {
  if (!Active()) ThrowNotActive();
}

void TClientDataSet::CheckNotCalculating() const {
  if (m_state == TDataSetState::CalcFields)
    throw EZurError(QStringLiteral("Operazione non consentita durante il calcolo dei campi calcolati."),
                    EZurError::Kind::Assertion);
  if (m_deltaRecord)
    throw EZurError(QStringLiteral("Operazione non consentita durante la lettura delle modifiche."),
                    EZurError::Kind::Assertion);
}

void TClientDataSet::BindFilterAndIndex(std::unique_ptr<TDataSetFilter>* filter,
                                        std::vector<int>* index) const {
  if (m_filtered && m_filter) {
    auto bound = std::make_unique<TDataSetFilter>(*m_filter);
    bound->Bind(*this);
    *filter = std::move(bound);
  }
  *index = IndexSlotsFor(m_indexFieldNames);
}

std::vector<int> TClientDataSet::IndexSlotsFor(const QString& names) const {
  std::vector<int> indexSlots;
  for (const QString& part : names.split(QLatin1Char(';'))) {
    const QString name = part.trimmed();
    if (name.isEmpty()) continue;
    const TField* f = FindField(name);
    if (!f)
      throw EZurError(QStringLiteral("Campo '%1' dell'ordinamento non trovato.").arg(name),
                      EZurError::Kind::Field);
    if (f->Calculated())
      throw EZurError(
          QStringLiteral("Il campo calcolato '%1' non può ordinare il dataset.").arg(f->FieldName()),
          EZurError::Kind::Field);
    indexSlots.push_back(f->m_slot);
  }
  return indexSlots;
}

// --- the view -------------------------------------------------------------------

bool TClientDataSet::PassesFilter(const TRecord& record) const {
  return !m_filtered || !m_filter || m_filter->Matches(record.values);
}

bool TClientDataSet::ViewLess(const TRecord* a, const TRecord* b) const {
  for (int slot : m_indexSlots) {
    const int c = CompareFieldValues(a->values[size_t(slot)], b->values[size_t(slot)]);
    if (c != 0) return c < 0;
  }
  return a->order < b->order;
}

qsizetype TClientDataSet::ViewInsertPosition(const TRecord* record) const {
  const auto it = std::lower_bound(m_view.begin(), m_view.end(), record,
                                   [this](const TRecord* a, const TRecord* b) { return ViewLess(a, b); });
  return it - m_view.begin();
}

qsizetype TClientDataSet::ViewIndexOf(const TRecord* record) const {
  const qsizetype guess = ViewInsertPosition(record);
  if (guess < qsizetype(m_view.size()) && m_view[size_t(guess)] == record) return guess;
  // Values written behind the view's back (TChange::SetValue) can break the
  // order the binary search relies on.
  const auto it = std::find(m_view.begin(), m_view.end(), record);
  return it == m_view.end() ? -1 : it - m_view.begin();
}

void TClientDataSet::RebuildView() {
  m_view.clear();
  m_view.reserve(m_records.size());
  for (const TRecordPtr& r : m_records)
    if (r->status != TUpdateStatus::usDeleted && PassesFilter(*r)) m_view.push_back(r.get());
  if (!m_indexSlots.empty())
    std::sort(m_view.begin(), m_view.end(),
              [this](const TRecord* a, const TRecord* b) { return ViewLess(a, b); });
}

void TClientDataSet::RestoreCursor(const TRecord* keep) {
  const qsizetype at = keep ? ViewIndexOf(keep) : -1;
  SetCursor(at >= 0 ? at : std::min<qsizetype>(m_cursor, qsizetype(m_view.size()) - 1));
}

void TClientDataSet::SetCursor(qsizetype index) {
  const qsizetype n = qsizetype(m_view.size());
  m_cursor = n == 0 ? 0 : std::clamp<qsizetype>(index, 0, n - 1);
  m_bof = m_eof = n == 0;
}

TClientDataSet::TRecord* TClientDataSet::CurrentRecord() const {
  return m_view.empty() ? nullptr : m_view[size_t(m_cursor)];
}

TClientDataSet::TRecord* TClientDataSet::ActiveRecord() const {
  switch (m_state) {
  case TDataSetState::Inactive:
    ThrowNotActive();
  case TDataSetState::CalcFields:
    return m_calcRecord;
  case TDataSetState::Edit:
  case TDataSetState::Insert:
    return m_editBuffer.get();
  case TDataSetState::Browse:
    break;
  }
  return m_deltaRecord ? m_deltaRecord : CurrentRecord();
}

// --- field values ---------------------------------------------------------------

const TFieldValue& TClientDataSet::ReadValue(const TField& field) const {
  TRecord* r = ActiveRecord();
  if (!r) return kNullValue;
  if (r == m_deltaRecord) {
    // A deleted record reads as it was before its changes; calculated
    // values are no part of a change.
    if (field.m_calculated) return kNullValue;
    const bool original = r->status == TUpdateStatus::usDeleted && !r->original.empty();
    return (original ? r->original : r->values)[size_t(field.m_slot)];
  }
  if (!field.m_calculated) return r->values[size_t(field.m_slot)];
  // Calculated values depend on the view (RecNo), so a browsing record gets
  // them afresh on every read.
  if (m_state == TDataSetState::Browse)
    const_cast<TClientDataSet*>(this)->ComputeCalcFields(*r, int(m_cursor) + 1);
  return r->calc[size_t(field.m_slot)];
}

QString TClientDataSet::TextAt(int recNo, const TField& field) const {
  if (!Active() || recNo < 1 || recNo > int(m_view.size()) || &field.DataSet() != this) return {};
  TRecord* r = m_view[size_t(recNo - 1)];
  if (!field.m_calculated) return FieldValueToText(r->values[size_t(field.m_slot)]);
  const_cast<TClientDataSet*>(this)->ComputeCalcFields(*r, recNo);
  return FieldValueToText(r->calc[size_t(field.m_slot)]);
}

void TClientDataSet::WriteValue(TField& field, TFieldValue value) {
  CheckActive();
  if (m_state == TDataSetState::CalcFields) {
    if (!field.m_calculated)
      throw EZurError(
          QStringLiteral("Il campo '%1' non può essere modificato durante il calcolo dei campi calcolati.")
              .arg(field.m_name),
          EZurError::Kind::Field);
    m_calcRecord->calc[size_t(field.m_slot)] = std::move(value);
    return;
  }
  if (m_deltaRecord && m_state == TDataSetState::Browse) {
    if (field.m_calculated || m_deltaRecord->status == TUpdateStatus::usDeleted)
      throw EZurError(
          QStringLiteral("Impossibile assegnare il campo '%1' di questa modifica.").arg(field.m_name),
          EZurError::Kind::Assertion);
    m_deltaRecord->values[size_t(field.m_slot)] = std::move(value);
    m_changesWritten = true;
    return;
  }
  if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
    throw EZurError(
        QStringLiteral("Il dataset non è in modifica o inserimento: impossibile assegnare il campo '%1'.")
            .arg(field.m_name),
        EZurError::Kind::Field);
  TRecord& r = *m_editBuffer;
  if (field.m_calculated) {
    r.calc[size_t(field.m_slot)] = std::move(value);
  } else {
    r.values[size_t(field.m_slot)] = std::move(value);
    m_modified = true;
    if (m_calcCount > 0 && m_events.OnCalcFields) ComputeCalcFields(r, RecNo());
  }
  Notify(TNotify::Record, &field);
}

void TClientDataSet::ComputeCalcFields(TRecord& record, int recNo) {
  record.calc.assign(size_t(m_calcCount), TFieldValue());
  if (m_calcCount == 0 || !m_events.OnCalcFields) return;
  const TDataSetEvents::Handler handler = m_events.OnCalcFields;
  struct Restore {
    TClientDataSet& ds;
    TDataSetState state;
    TRecord* record;
    int recNo;
    ~Restore() {
      ds.m_state = state;
      ds.m_calcRecord = record;
      ds.m_calcRecNo = recNo;
    }
  } restore{*this, m_state, m_calcRecord, m_calcRecNo};
  m_state = TDataSetState::CalcFields;
  m_calcRecord = &record;
  m_calcRecNo = recNo;
  handler(*this);
}

QVariant TClientDataSet::OldValueOf(const TField& field) const {
  CheckActive();
  const QVariant null = FieldValueToVariant(kNullValue, field.m_type);
  if (field.m_calculated) return null;
  const TRecord* r = nullptr;
  switch (m_state) {
  case TDataSetState::Insert:
    return null;
  case TDataSetState::Edit:
    r = m_editTarget;
    break;
  case TDataSetState::CalcFields:
    r = m_calcRecord == m_editBuffer.get() ? m_editTarget : m_calcRecord;
    break;
  default:
    r = m_deltaRecord ? m_deltaRecord : CurrentRecord();
    break;
  }
  if (!r || r->status == TUpdateStatus::usInserted) return null;
  const auto& source = r->original.empty() ? r->values : r->original;
  return FieldValueToVariant(source[size_t(field.m_slot)], field.m_type);
}

QVariant TClientDataSet::NewValueOf(const TField& field) const {
  CheckActive();
  if (field.m_calculated) return QVariant();
  const TRecord* active = ActiveRecord();
  if (!active) return QVariant();
  const TFieldValue& now = active->values[size_t(field.m_slot)];
  const bool inserting =
      m_state == TDataSetState::Insert ||
      (m_state == TDataSetState::CalcFields && m_calcRecord == m_editBuffer.get() && !m_editTarget);
  const TRecord* stored = m_state == TDataSetState::Edit ? m_editTarget : active;
  if (inserting || stored->status == TUpdateStatus::usInserted) return FieldValueToVariant(now, field.m_type);
  if (stored->status == TUpdateStatus::usDeleted) return QVariant();
  const auto& old = stored->original.empty() ? stored->values : stored->original;
  if (now != old[size_t(field.m_slot)]) return FieldValueToVariant(now, field.m_type);
  return QVariant();
}

// --- events and controls --------------------------------------------------------

void TClientDataSet::Fire(TDataSetEvents::Handler TDataSetEvents::*handler) {
  if (!(m_events.*handler)) return;
  // A copy, so that a handler may replace the dataset's handlers while it runs.
  const TDataSetEvents::Handler h = m_events.*handler;
  h(*this);
}

void TClientDataSet::EnableControls() {
  if (m_disableCount > 0) --m_disableCount;
  if (m_disableCount == 0) Notify(TNotify::DataSet);
}

void TClientDataSet::Notify(TNotify kind, TField* field) {
  if (m_disableCount > 0 || m_links.empty()) return;
  const std::vector<TDataLink*> links = m_links;
  for (TDataLink* link : links) {
    if (std::find(m_links.begin(), m_links.end(), link) == m_links.end()) continue;
    switch (kind) {
    case TNotify::Active:
      link->ActiveChanged();
      break;
    case TNotify::DataSet:
      link->DataSetChanged();
      break;
    case TNotify::Scroll:
      link->DataSetScrolled();
      break;
    case TNotify::Editing:
      link->EditingChanged();
      break;
    case TNotify::Record:
      link->RecordChanged(field);
      break;
    }
  }
}
