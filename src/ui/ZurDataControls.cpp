#include "ui/ZurDataControls.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QAction>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace {

// Day numbers of amount fields count from this day, the way the declaration
// keeps the dates of state aid.
const QDate kDayZero(1899, 12, 30);
// The date edit shows an empty box at this date: a null field.
const QDate kNoDate(1900, 1, 1);

QIcon EllipsisIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setBrush(Qt::black);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i)
    p.drawEllipse(QPointF(3.5 + i * 4.5, 11), 1.4, 1.4);
  return QIcon(pixmap);
}

} // namespace

// --- data source ------------------------------------------------------------------------------

TZurDataSource::~TZurDataSource() {
  for (TZurDataControl* c : std::vector<TZurDataControl*>(m_controls))
    c->SetDataSource(nullptr);
}

void TZurDataSource::Attach(TClientDataSet* dataSet) {
  SetDataSet(dataSet);
  for (TZurDataControl* c : m_controls) {
    c->SetDataSet(dataSet);
    c->Refresh();
  }
  if (OnStateChange) OnStateChange();
  if (OnDataChange) OnDataChange();
}

void TZurDataSource::Register(TZurDataControl* control) {
  if (std::find(m_controls.begin(), m_controls.end(), control) == m_controls.end())
    m_controls.push_back(control);
}

void TZurDataSource::Unregister(TZurDataControl* control) {
  m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
}

void TZurDataSource::ActiveChanged() {
  if (OnStateChange) OnStateChange();
  if (OnDataChange) OnDataChange();
}
void TZurDataSource::DataSetChanged() {
  if (OnDataChange) OnDataChange();
}
void TZurDataSource::DataSetScrolled() {
  if (OnDataChange) OnDataChange();
}
void TZurDataSource::EditingChanged() {
  if (OnStateChange) OnStateChange();
}
void TZurDataSource::RecordChanged(TField*) {
  if (OnDataChange) OnDataChange();
}

// --- common part ---------------------------------------------------------------------------------

TZurDataControl::TZurDataControl(QWidget* widget, QString fieldName)
    : m_widget(widget), m_fieldName(std::move(fieldName)) {}

TZurDataControl::~TZurDataControl() {
  if (m_source) m_source->Unregister(this);
}

void TZurDataControl::SetDataSource(TZurDataSource* source) {
  if (m_source) m_source->Unregister(this);
  m_source = source;
  if (m_source) m_source->Register(this);
  SetDataSet(m_source ? m_source->DataSet() : nullptr);
  if (m_source) Refresh();
}

TField* TZurDataControl::Field() const {
  TClientDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return nullptr;
  return ds->FindField(m_fieldName);
}

void TZurDataControl::Refresh() {
  // Never while the control itself writes: the text and the caret stay as typed.
  if (!m_source || m_showing) return;
  m_showing = true;
  try {
    Show(Field());
  } catch (const EZurError&) {
    Show(nullptr);
  }
  m_showing = false;
}

void TZurDataControl::RecordChanged(TField* field) {
  if (m_showing) return;
  if (!field || field->FieldName().compare(m_fieldName, Qt::CaseInsensitive) == 0) Refresh();
}

bool TZurDataControl::BeginEdit() {
  TClientDataSet* ds = DataSet();
  if (!ds || !ds->Active() || !Field()) return false;
  if (ds->State() == TDataSetState::Browse) ds->Edit();
  return ds->State() == TDataSetState::Edit || ds->State() == TDataSetState::Insert;
}

bool TZurDataControl::Commit() {
  if (m_showing) return true;
  TField* field = Field();
  if (!field) return true;
  m_showing = true; // the control already shows what it writes
  try {
    if (BeginEdit()) Store(*field);
    m_showing = false;
    return true;
  } catch (const EZurError& e) {
    m_showing = false;
    VxShowMessage(e.message(), TMsgDlgType::Error);
    return false;
  }
}

TZurDataControl* AsDataControl(QObject* object) {
  return dynamic_cast<TZurDataControl*>(object);
}

// --- edit box ---------------------------------------------------------------------------------------

TZurDBEdit::TZurDBEdit(const QString& fieldName, QWidget* parent)
    : QLineEdit(parent), TZurDataControl(this, fieldName) {
  // A value the field refuses while typing ("12," on the way to "12,5")
  // waits in the box; leaving the box reports it.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    TField* field = Field();
    if (!field || m_showing) return;
    m_showing = true;
    try {
      if (BeginEdit()) field->SetAsString(text);
      setProperty("zurInvalid", false);
    } catch (const EZurError&) {
      setProperty("zurInvalid", true);
    }
    m_showing = false;
  });
  connect(this, &QLineEdit::editingFinished, this, [this] {
    if (property("zurInvalid").toBool() && Commit()) setProperty("zurInvalid", false);
  });
}

void TZurDBEdit::Show(const TField* field) {
  if (field && field->DataType() == TFieldType::String && field->Size() > 0) setMaxLength(field->Size());
  const QString text = field ? field->AsString() : QString();
  if (text != this->text()) setText(text);
  setProperty("zurInvalid", false);
}

bool TZurDBEdit::Store(TField& field) {
  field.SetAsString(text());
  return true;
}

void TZurDBEdit::ShowDetached(const QString& text) {
  setText(text);
}

TZurDBLookupEdit::TZurDBLookupEdit(const QString& fieldName, QWidget* parent)
    : TZurDBEdit(fieldName, parent) {
  m_button = addAction(EllipsisIcon(), QLineEdit::TrailingPosition);
  m_button->setToolTip(QStringLiteral("Scegli dalla tabella (F8)"));
  connect(m_button, &QAction::triggered, this, [this] { Click(); });
}

void TZurDBLookupEdit::Click() {
  if (OnButtonClick) OnButtonClick();
}

// --- date edit ---------------------------------------------------------------------------------------

TZurDBDateEdit::TZurDBDateEdit(const QString& fieldName, QWidget* parent)
    : QDateEdit(parent), TZurDataControl(this, fieldName) {
  setCalendarPopup(true);
  setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  setMinimumDate(kNoDate);
  setSpecialValueText(QStringLiteral(" "));
  setDate(kNoDate);
  connect(this, &QDateEdit::dateChanged, this, [this] { Commit(); });
}

void TZurDBDateEdit::Show(const TField* field) {
  QDate d;
  if (field && !field->IsNull()) {
    if (field->DataType() == TFieldType::Date)
      d = field->AsDate();
    else if (field->AsInteger() != 0)
      d = kDayZero.addDays(field->AsInteger());
  }
  setDate(d.isValid() && d > kNoDate ? d : kNoDate);
}

bool TZurDBDateEdit::Store(TField& field) {
  const QDate d = date();
  if (d <= kNoDate)
    field.Clear();
  else if (field.DataType() == TFieldType::Date)
    field.SetAsDate(d);
  else
    field.SetAsInteger(qint32(kDayZero.daysTo(d)));
  return true;
}

void TZurDBDateEdit::ShowDetached(const QString& text) {
  const QDate d = QDate::fromString(text, QStringLiteral("dd/MM/yyyy"));
  m_showing = true;
  setDate(d.isValid() ? d : kNoDate);
  m_showing = false;
}

// --- check box ---------------------------------------------------------------------------------------

TZurDBCheckBox::TZurDBCheckBox(const QString& fieldName, const QString& caption, QWidget* parent)
    : QCheckBox(caption, parent), TZurDataControl(this, fieldName) {
  connect(this, &QCheckBox::clicked, this, [this] { Commit(); });
}

void TZurDBCheckBox::Show(const TField* field) {
  setChecked(field && field->AsString() == ValueChecked);
}

bool TZurDBCheckBox::Store(TField& field) {
  field.SetAsString(isChecked() ? ValueChecked : ValueUnchecked);
  return true;
}

void TZurDBCheckBox::ShowDetached(const QString& text) {
  setChecked(text == ValueChecked);
}

// --- drop-down list --------------------------------------------------------------------------------

TZurDBComboBox::TZurDBComboBox(const QString& fieldName, const QStringList& values, QWidget* parent)
    : QComboBox(parent), TZurDataControl(this, fieldName) {
  setEditable(false);
  addItems(values);
  setCurrentIndex(-1);
  connect(this, &QComboBox::activated, this, [this] { Commit(); });
}

void TZurDBComboBox::Show(const TField* field) {
  setCurrentIndex(field ? findText(field->AsString()) : -1);
}

bool TZurDBComboBox::Store(TField& field) {
  field.SetAsString(currentText());
  return true;
}

void TZurDBComboBox::ShowDetached(const QString& text) {
  setCurrentIndex(findText(text));
}

// --- read-only text ----------------------------------------------------------------------------------

TZurDBText::TZurDBText(const QString& fieldName, QWidget* parent)
    : QLabel(parent), TZurDataControl(this, fieldName) {}

void TZurDBText::Show(const TField* field) {
  setText(field ? field->AsString() : QString());
}

void TZurDBText::ShowDetached(const QString& text) {
  setText(text);
}
