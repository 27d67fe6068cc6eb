#include "ui/nymFRicerca.h"

#include "platform/ZurError.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

bool IsNumeric(TFieldType type) {
  return type == TFieldType::Integer || type == TFieldType::Amount || type == TFieldType::Float;
}

} // namespace

TfmNymRicerca::TfmNymRicerca(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmNymRicerca"));
  setWindowTitle(QStringLiteral("Finestra di ricerca"));
  resize(585, 371);

  grSearch = new QTableWidget(this);
  grSearch->setObjectName(QStringLiteral("grSearch"));
  grSearch->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grSearch->setSelectionBehavior(QAbstractItemView::SelectRows);
  grSearch->setSelectionMode(QAbstractItemView::SingleSelection);
  grSearch->horizontalHeader()->setSectionsClickable(true);
  grSearch->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grSearch->horizontalHeader()->setStretchLastSection(true);
  grSearch->verticalHeader()->setDefaultSectionSize(grSearch->fontMetrics().height() + 6);

  laCerca = new QLabel(QStringLiteral("Cerca per "), this);
  laCampo = new QLabel(this);
  QFont bold = laCampo->font();
  bold.setBold(true);
  laCampo->setFont(bold);
  edValue = new QLineEdit(this);
  edValue->setObjectName(QStringLiteral("edValue"));
  edValue->installEventFilter(this);
  laCerca->setBuddy(edValue);

  buOk = new QPushButton(QStringLiteral("OK"), this);
  buOk->setDefault(true);
  buCancel = new QPushButton(QStringLiteral("Annulla"), this);

  auto* search = new QHBoxLayout;
  search->addWidget(laCerca);
  search->addWidget(laCampo);
  search->addWidget(edValue, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(buOk);
  buttons->addWidget(buCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grSearch, 1);
  layout->addLayout(search);
  layout->addLayout(buttons);

  connect(buOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(grSearch->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int c) { SortByColumn(c); });
  connect(grSearch, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });
  connect(grSearch, &QTableWidget::currentCellChanged, this, [this](int row) { GridRowChosen(row); });
  connect(edValue, &QLineEdit::textChanged, this, [this](const QString& t) { edValueChange(t); });

  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TfmNymRicerca::FillGrid() {
  m_filling = true;
  const auto& fields = cdsSearch.Fields();
  grSearch->clear();
  grSearch->setColumnCount(int(fields.size()));
  QStringList titles;
  for (const TField* f : fields)
    titles << f->FieldName();
  grSearch->setHorizontalHeaderLabels(titles);
  grSearch->setRowCount(cdsSearch.RecordCount());
  const TBookmark keep = cdsSearch.GetBookmark();
  int row = 0;
  for (cdsSearch.First(); !cdsSearch.Eof(); cdsSearch.Next(), ++row) {
    for (int c = 0; c < int(fields.size()); ++c) {
      auto* item = new QTableWidgetItem(fields[size_t(c)]->AsString());
      if (IsNumeric(fields[size_t(c)]->DataType())) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grSearch->setItem(row, c, item);
    }
  }
  grSearch->resizeColumnsToContents();
  if (cdsSearch.BookmarkValid(keep))
    cdsSearch.GotoBookmark(keep);
  else
    cdsSearch.First();
  m_filling = false;
  SyncGrid();
}

void TfmNymRicerca::SyncGrid() {
  if (!cdsSearch.Active() || cdsSearch.IsEmpty()) return;
  m_filling = true;
  const int column = qMax(0, grSearch->currentColumn());
  grSearch->setCurrentCell(cdsSearch.RecNo() - 1, column);
  m_filling = false;
}

void TfmNymRicerca::GridRowChosen(int row) {
  if (m_filling || row < 0 || !cdsSearch.Active()) return;
  cdsSearch.SetRecNo(row + 1);
}

void TfmNymRicerca::DataOpened() {
  edValue->blockSignals(true);
  edValue->clear();
  edValue->blockSignals(false);
  m_sortField.clear();
  laCampo->clear();
  if (!cdsSearch.Active() || cdsSearch.FieldCount() == 0) return;
  m_sortField = cdsSearch.Field(0).FieldName();
  cdsSearch.SetIndexFieldNames(m_sortField);
  laCampo->setText(m_sortField);
  cdsSearch.First();
  FillGrid();
  if (m_initialText) edValue->setText(m_initialText());
}

void TfmNymRicerca::SortByColumn(int column) {
  if (!cdsSearch.Active() || column < 0 || column >= cdsSearch.FieldCount()) return;
  const TField& f = cdsSearch.Field(column);
  if (f.Calculated()) return;
  m_sortField = f.FieldName();
  cdsSearch.SetIndexFieldNames(m_sortField);
  laCampo->setText(m_sortField);
  FillGrid();
  grSearch->setCurrentCell(grSearch->currentRow(), column);
  edValue->clear();
}

void TfmNymRicerca::edValueChange(const QString& text) {
  if (text.isEmpty() || m_sortField.isEmpty() || !cdsSearch.Active()) return;
  const TField& f = cdsSearch.FieldByName(m_sortField);
  bool found = false;
  try {
    if (IsNumeric(f.DataType())) {
      bool ok = false;
      QString number = text;
      number.replace(QLatin1Char(','), QLatin1Char('.'));
      const double value = number.toDouble(&ok);
      if (ok)
        found = f.DataType() == TFieldType::Integer ? cdsSearch.Locate(m_sortField, QVariant(qint64(value)))
                                                    : cdsSearch.Locate(m_sortField, QVariant(value));
    } else {
      found = cdsSearch.Locate(m_sortField, text, TLocateOptions{true, true});
    }
  } catch (const EZurError&) {
    found = false; // a value the field cannot hold matches nothing
  }
  if (found) SyncGrid();
}

int TfmNymRicerca::VisibleRows() const {
  const int rowHeight = qMax(1, grSearch->verticalHeader()->defaultSectionSize());
  return qMax(1, grSearch->viewport()->height() / rowHeight);
}

bool TfmNymRicerca::eventFilter(QObject* watched, QEvent* event) {
  if (watched != edValue || event->type() != QEvent::KeyPress || !cdsSearch.Active())
    return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool ctrl = key->modifiers() & Qt::ControlModifier;
  const int columns = grSearch->columnCount();
  switch (key->key()) {
  case Qt::Key_Right:
    if (grSearch->currentColumn() < columns - 1)
      grSearch->setCurrentCell(grSearch->currentRow(), grSearch->currentColumn() + 1);
    return true;
  case Qt::Key_Left:
    if (columns > 0 && grSearch->currentColumn() > 0)
      grSearch->setCurrentCell(grSearch->currentRow(), grSearch->currentColumn() - 1);
    return true;
  case Qt::Key_Up:
    if (!cdsSearch.Bof()) cdsSearch.Prior();
    break;
  case Qt::Key_Down:
    if (!cdsSearch.Eof()) cdsSearch.Next();
    break;
  case Qt::Key_PageUp:
    if (!cdsSearch.Bof()) cdsSearch.MoveBy(-VisibleRows());
    break;
  case Qt::Key_PageDown:
    if (!cdsSearch.Eof()) cdsSearch.MoveBy(VisibleRows());
    break;
  case Qt::Key_Home:
    if (!ctrl) return QDialog::eventFilter(watched, event);
    if (!cdsSearch.Bof()) cdsSearch.First();
    break;
  case Qt::Key_End:
    if (!ctrl) return QDialog::eventFilter(watched, event);
    if (!cdsSearch.Eof()) cdsSearch.Last();
    break;
  default:
    return QDialog::eventFilter(watched, event);
  }
  SyncGrid();
  return true;
}

void TfmNymRicerca::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (edValue->isEnabled()) edValue->setFocus();
  m_initialText = nullptr;
}
