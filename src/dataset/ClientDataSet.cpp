#include "dataset/ClientDataSet.h"

#include "dataset/DataPacket.h"
#include "dataset/DataSetFilter.h"
#include "platform/ZurError.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>

struct TClientDataSet::TRecord : std::enable_shared_from_this<TRecord> {
  std::vector<TFieldValue> values;   // stored fields, current version
  std::vector<TFieldValue> original; // before the first change; empty unless modified
  std::vector<TFieldValue> calc;     // calculated fields
  std::int64_t order = 0;            // insertion order key
  std::uint64_t logSequence = 0;     // when it entered the change log; 0 = not in it
  TUpdateStatus status = TUpdateStatus::usUnmodified;
};

namespace {

// Gaps between order keys leave room for Insert without renumbering.
constexpr std::int64_t kOrderGap = std::int64_t(1) << 20;

const TFieldValue kNullValue;

std::uint32_t NameHash(QStringView s) {
  std::uint32_t h = 2166136261u;
  for (QChar c : s) {
    char16_t u = c.unicode();
    if (u >= 'a' && u <= 'z') u = char16_t(u - 32);
    h = (h ^ u) * 16777619u;
  }
  return h;
}

bool SameNameIgnoringCase(QStringView a, QStringView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    char16_t x = a[i].unicode(), y = b[i].unicode();
    if (x >= 'a' && x <= 'z') x = char16_t(x - 32);
    if (y >= 'a' && y <= 'z') y = char16_t(y - 32);
    if (x != y) return false;
  }
  return true;
}

[[noreturn]] void ThrowNotActive() {
  throw EZurError(QStringLiteral("Operazione non consentita: il dataset non è aperto."));
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

// --- search and order -----------------------------------------------------------

bool TClientDataSet::Locate(const QString& keyField, const QVariant& value, TLocateOptions options) {
  return Locate(keyField, QVariantList{value}, options);
}

bool TClientDataSet::Locate(const QString& keyFields, const QVariantList& values, TLocateOptions options) {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  struct Key {
    int slot;
    bool text; // compared as text, honouring the options
    TFieldValue value;
    QString string;
  };
  std::vector<Key> keys;
  for (const QString& part : keyFields.split(QLatin1Char(';'))) {
    const QString name = part.trimmed();
    if (name.isEmpty()) continue;
    const TField& f = FieldByName(name);
    if (f.Calculated())
      throw EZurError(QStringLiteral("Il campo calcolato '%1' non può essere cercato.").arg(f.FieldName()),
                      EZurError::Kind::Field);
    if (keys.size() >= size_t(values.size())) {
      keys.push_back({});
      break;
    }
    const QVariant& v = values[qsizetype(keys.size())];
    const bool isNull = !v.isValid() || v.isNull();
    Key k{f.m_slot,
          !isNull && (f.DataType() == TFieldType::String || f.DataType() == TFieldType::Memo),
          {},
          {}};
    if (k.text)
      k.string = v.toString();
    else
      k.value =
          FieldValueFromVariant(v, f.DataType(), f.DataType() == TFieldType::Amount ? 4 : 0, f.FieldName());
    keys.push_back(std::move(k));
  }
  if (keys.empty() || keys.size() != size_t(values.size()))
    throw EZurError(QStringLiteral("Ricerca su '%1': %2 valori non corrispondono ai campi indicati.")
                        .arg(keyFields)
                        .arg(values.size()),
                    EZurError::Kind::Assertion);
  const Qt::CaseSensitivity cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
  static const QString empty;
  for (size_t i = 0; i < m_view.size(); ++i) {
    const TRecord* r = m_view[i];
    bool match = true;
    for (const Key& k : keys) {
      const TFieldValue& v = r->values[size_t(k.slot)];
      if (k.text) {
        // A null text field reads as "", as it does through AsString.
        const QString* s = std::get_if<QString>(&v);
        if (!s) s = &empty;
        match = options.partialKey ? s->startsWith(k.string, cs) : s->compare(k.string, cs) == 0;
      } else {
        match = v == k.value;
      }
      if (!match) break;
    }
    if (match) {
      ScrollTo(qsizetype(i));
      return true;
    }
  }
  return false;
}

void TClientDataSet::SetIndexFieldNames(const QString& names) {
  if (!Active()) {
    m_indexFieldNames = names;
    return;
  }
  CheckNotCalculating();
  std::vector<int> indexSlots = IndexSlotsFor(names);
  CheckBrowseMode();
  TRecord* keep = CurrentRecord();
  m_indexFieldNames = names;
  m_indexSlots = std::move(indexSlots);
  RebuildView();
  RestoreCursor(keep);
  Notify(TNotify::DataSet);
}

void TClientDataSet::SetFilter(const QString& text) {
  std::unique_ptr<TDataSetFilter> parsed;
  if (!text.trimmed().isEmpty()) parsed = std::make_unique<TDataSetFilter>(text);
  const bool apply = Active() && m_filtered;
  if (apply) {
    CheckNotCalculating();
    if (parsed) parsed->Bind(*this);
    CheckBrowseMode();
  }
  m_filterText = text;
  m_filter = std::move(parsed);
  if (apply) ApplyFilterChange();
}

void TClientDataSet::SetFiltered(bool filtered) {
  if (filtered == m_filtered) return;
  if (!Active()) {
    m_filtered = filtered;
    return;
  }
  CheckNotCalculating();
  if (filtered && m_filter) {
    auto bound = std::make_unique<TDataSetFilter>(*m_filter);
    bound->Bind(*this);
    CheckBrowseMode();
    m_filter = std::move(bound);
  } else {
    CheckBrowseMode();
  }
  m_filtered = filtered;
  ApplyFilterChange();
}

void TClientDataSet::ApplyFilterChange() {
  RebuildView();
  Notify(TNotify::DataSet);
  ScrollTo(0);
  m_bof = true;
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

// --- persistence ----------------------------------------------------------------

std::vector<TDataPacketField> TClientDataSet::PacketFields() const {
  std::vector<TDataPacketField> fields;
  fields.reserve(m_fields.size());
  for (const auto& f : m_fields)
    fields.push_back({f->m_name, f->m_type, f->m_size, f->m_precision, f->m_calculated});
  return fields;
}

QByteArray TClientDataSet::SaveToBytes() {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  std::vector<const std::vector<TFieldValue>*> rows;
  rows.reserve(m_records.size());
  for (const TRecordPtr& r : m_records)
    if (r->status != TUpdateStatus::usDeleted) rows.push_back(&r->values);
  return WriteDataPacket(PacketFields(), rows);
}

void TClientDataSet::SaveToStream(QIODevice& device) {
  const QByteArray data = SaveToBytes();
  if (device.write(data) != data.size())
    throw EZurError(QStringLiteral("Impossibile scrivere il dataset: %1.").arg(device.errorString()),
                    EZurError::Kind::File);
}

void TClientDataSet::SaveToFile(const QString& path) {
  const QByteArray data = SaveToBytes();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    throw EZurError(QStringLiteral("Impossibile creare il file '%1': %2.").arg(path, file.errorString()),
                    EZurError::Kind::File, path);
  if (file.write(data) != data.size() || !file.commit())
    throw EZurError(QStringLiteral("Impossibile scrivere il file '%1': %2.").arg(path, file.errorString()),
                    EZurError::Kind::File, path);
}

void TClientDataSet::LoadFromBytes(const QByteArray& data) {
  Load(data, QString());
}

void TClientDataSet::LoadFromStream(QIODevice& device) {
  const auto* file = qobject_cast<QFile*>(&device);
  const QString name = file ? file->fileName() : QString();
  if (!device.isReadable()) {
    Close();
    ResetData();
    throw EZurError(name.isEmpty()
                        ? QStringLiteral("Impossibile leggere il dataset: il flusso non è leggibile.")
                        : QStringLiteral("Impossibile leggere il file '%1'.").arg(name),
                    EZurError::Kind::File, name);
  }
  Load(device.readAll(), name);
}

void TClientDataSet::LoadFromFile(const QString& path) {
  QFile file(path);
  if (!file.exists()) {
    Close();
    ResetData();
    throw EZurError(QStringLiteral("Il file '%1' non esiste.").arg(path), EZurError::Kind::File, path);
  }
  if (!file.open(QIODevice::ReadOnly)) {
    Close();
    ResetData();
    throw EZurError(QStringLiteral("Impossibile aprire il file '%1': %2.").arg(path, file.errorString()),
                    EZurError::Kind::File, path);
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    Close();
    ResetData();
    throw EZurError(QStringLiteral("Impossibile leggere il file '%1': %2.").arg(path, file.errorString()),
                    EZurError::Kind::File, path);
  }
  Load(data, path);
}

void TClientDataSet::Load(const QByteArray& data, const QString& fileName) {
  Close();
  TDataPacket packet;
  try {
    packet = ReadDataPacket(data, fileName);
  } catch (...) {
    ResetData();
    throw;
  }
  AdoptPacket(std::move(packet));
  Open();
}

void TClientDataSet::AdoptPacket(TDataPacket&& packet) {
  // Fields whose name survives keep their object, so pointers held by the
  // owner stay good across a reload of the same structure.
  std::vector<std::unique_ptr<TField>> old = std::move(m_fields);
  m_fields.clear();
  for (const TDataPacketField& pf : packet.fields) {
    std::unique_ptr<TField> field;
    for (auto& candidate : old) {
      if (candidate && SameNameIgnoringCase(candidate->m_name, pf.name)) {
        field = std::move(candidate);
        break;
      }
    }
    if (!field)
      field =
          std::unique_ptr<TField>(new TField(this, pf.name, pf.type, pf.size, pf.precision, pf.calculated));
    field->m_name = pf.name;
    field->m_type = pf.type;
    field->m_size = pf.size;
    field->m_precision = pf.precision;
    field->m_calculated = pf.calculated;
    m_fields.push_back(std::move(field));
  }
  ReindexFields();
  ResetData();
  m_records.reserve(packet.rows.size());
  std::int64_t order = 0;
  for (auto& row : packet.rows) {
    auto record = std::make_shared<TRecord>();
    record->values = std::move(row);
    record->calc.assign(size_t(m_calcCount), TFieldValue());
    record->order = order;
    order += kOrderGap;
    m_records.push_back(std::move(record));
  }
}
