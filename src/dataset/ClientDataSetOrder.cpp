#include "dataset/ClientDataSet.h"

#include "dataset/ClientDataSetRecord.h"
#include "dataset/DataSetFilter.h"
#include <algorithm>

using namespace zurcds;

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
