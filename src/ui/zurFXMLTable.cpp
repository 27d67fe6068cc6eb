#include "ui/zurFXMLTable.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "ui/ZurQtPlatform.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The marker of the current row in the grid's row indicator.
const QString kCurrentRow = QStringLiteral("\u25B8");

// Columns are as wide as their declared length, within reason: a long
// description column stretches to the window instead.
constexpr int kMaxColumnChars = 60;

// The order a clerk expects of codes: runs of digits compare by their value
// ("2" before "10"), everything else as written, letter case counting.
QString NaturalKey(const QString& text) {
  constexpr qsizetype kDigits = 10;
  const auto digit = [&](qsizetype i) { return text[i] >= u'0' && text[i] <= u'9'; };
  QString key;
  key.reserve(text.size());
  for (qsizetype i = 0; i < text.size();) {
    if (!digit(i)) {
      key += text[i++];
      continue;
    }
    qsizetype end = i;
    while (end < text.size() && digit(end))
      ++end;
    if (end - i < kDigits) key += QString(kDigits - (end - i), u'0');
    key += QStringView(text).mid(i, end - i);
    i = end;
  }
  return key;
}

} // namespace

TfmZurXMLTable::TfmZurXMLTable(const QString& tableName, QWidget* parent)
    : QDialog(parent), m_tableName(tableName) {
  setObjectName(QStringLiteral("fmZurXMLTable"));
  setWindowTitle(tableName);
  resize(620, 440);

  paDescrizione = new QFrame(this);
  paDescrizione->setObjectName(QStringLiteral("paDescrizione"));
  paDescrizione->setFrameShape(QFrame::StyledPanel);
  laDescrizione = new QLabel(paDescrizione);
  laDescrizione->setObjectName(QStringLiteral("laDescrizione"));
  laDescrizione->setTextFormat(Qt::PlainText);
  laDescrizione->setWordWrap(true);
  laDescrizione->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  laDescrizione->setMinimumHeight(laDescrizione->fontMetrics().lineSpacing() * 3);
  auto* descrizione = new QVBoxLayout(paDescrizione);
  descrizione->addWidget(laDescrizione);

  dgDati = new QTableWidget(this);
  dgDati->setObjectName(QStringLiteral("dgDati"));
  dgDati->setEditTriggers(QAbstractItemView::NoEditTriggers);
  dgDati->setSelectionBehavior(QAbstractItemView::SelectRows);
  dgDati->setSelectionMode(QAbstractItemView::SingleSelection);
  dgDati->setTabKeyNavigation(false);
  dgDati->setWordWrap(false);
  QHeaderView* titles = dgDati->horizontalHeader();
  titles->setSectionsClickable(true);
  titles->setSectionResizeMode(QHeaderView::Interactive);
  titles->setStretchLastSection(true);
  titles->setSortIndicatorShown(true);
  QHeaderView* indicator = dgDati->verticalHeader();
  indicator->setDefaultSectionSize(dgDati->fontMetrics().height() + 6);
  indicator->setSectionResizeMode(QHeaderView::Fixed);
  indicator->setMinimumWidth(16);

  Label1 = new QLabel(QStringLiteral("Cerca nel campo:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  laNomeCampo = new QLabel(this);
  laNomeCampo->setObjectName(QStringLiteral("laNomeCampo"));
  QFont bold = laNomeCampo->font();
  bold.setBold(true);
  laNomeCampo->setFont(bold);
  edCerca = new QLineEdit(this);
  edCerca->setObjectName(QStringLiteral("edCerca"));
  Label1->setBuddy(edCerca);

  buOk = new QPushButton(QStringLiteral("Ok"), this);
  buOk->setObjectName(QStringLiteral("buOk"));
  buOk->setDefault(true);
  buAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
  buAnnulla->setObjectName(QStringLiteral("buAnnulla"));

  auto* search = new QHBoxLayout;
  search->addWidget(Label1);
  search->addWidget(laNomeCampo);
  search->addWidget(edCerca, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(buOk);
  buttons->addWidget(buAnnulla);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(paDescrizione);
  layout->addWidget(dgDati, 1);
  layout->addLayout(search);
  layout->addLayout(buttons);
  setTabOrder(edCerca, dgDati);
  setTabOrder(dgDati, buOk);
  setTabOrder(buOk, buAnnulla);

  // The dialog sees the keys before whichever control has the focus.
  for (QWidget* w : {static_cast<QWidget*>(edCerca), static_cast<QWidget*>(dgDati),
                     static_cast<QWidget*>(buOk), static_cast<QWidget*>(buAnnulla)})
    w->installEventFilter(this);

  connect(buOk, &QPushButton::clicked, this, [this] { Choose(); });
  connect(buAnnulla, &QPushButton::clicked, this, &QDialog::reject);
  connect(titles, &QHeaderView::sectionClicked, this, [this](int c) { SortByColumn(c); });
  connect(dgDati, &QTableWidget::cellDoubleClicked, this, [this] { Choose(); });
  connect(dgDati, &QTableWidget::currentCellChanged, this, [this](int row) { GridRowChosen(row); });
  connect(edCerca, &QLineEdit::textChanged, this, [this](const QString& t) { edCercaChange(t); });
}

void TfmZurXMLTable::ChooseCode(const QString& tableName, TField& field) {
  zur::ClearLastChosenDescription();
  if (!zur::CodeTableFileExists()) {
    VxShowMessage(zur::CodeTableMissingText(), TMsgDlgType::Warning);
    return;
  }
  TClientDataSet& dataSet = field.DataSet();
  if (!dataSet.Active()) return;
  TfmZurXMLTable dlg(tableName, TZurQtPlatform::DialogParent());
  if (dlg.exec() != QDialog::Accepted) return;
  if (const std::optional<QString>& code = dlg.ChosenValue()) {
    if (dataSet.State() == TDataSetState::Browse) dataSet.Edit();
    field.SetAsString(*code);
  }
  if (const std::optional<QString> description = dlg.CurrentDescription())
    zur::SetLastChosenDescription(*description);
}

bool TfmZurXMLTable::CodeExists(const QString& tableName, const QString& text) {
  return zur::CodeExists(tableName, text);
}

void TfmZurXMLTable::FormShow() {
  m_loaded = true;
  m_table = {};
  cdsTable.Close();
  cdsTable.ClearFields();
  try {
    m_table = zur::LoadCodeTable(m_tableName);
    BuildDataSet();
  } catch (const EZurError& e) {
    m_table = {};
    cdsTable.Close();
    cdsTable.ClearFields();
    paDescrizione->hide();
    laNomeCampo->clear();
    FillGrid();
    VxShowMessage(zur::CodeTableLoadText(e.message()), TMsgDlgType::Warning);
    return;
  }
  setWindowTitle(m_table.caption);
  laDescrizione->setText(m_table.description);
  paDescrizione->setVisible(!m_table.description.isEmpty());
  cdsTable.First();
  SortByColumn(0);
  cdsTable.First();
  SyncGrid();
}

void TfmZurXMLTable::BuildDataSet() {
  const int columns = int(m_table.columns.size());
  for (int c = 0; c < columns; ++c)
    cdsTable.AddFieldDef(QStringLiteral("C%1").arg(c + 1), TFieldType::String,
                         m_table.columns[size_t(c)].length);
  // Each column's sort key: at most ten characters for each one listed.
  for (int c = 0; c < columns; ++c)
    cdsTable.AddFieldDef(QStringLiteral("K%1").arg(c + 1), TFieldType::String,
                         10 * m_table.columns[size_t(c)].length);
  cdsTable.CreateDataSet();
  // Further declared columns stay empty: a row holds a code and its description.
  for (const TZurCodeRow& row : m_table.rows) {
    cdsTable.Append();
    cdsTable.Field(0).SetAsString(row.value);
    cdsTable.Field(1).SetAsString(row.desc);
    for (int c = 0; c < columns; ++c)
      cdsTable.Field(columns + c).SetAsString(NaturalKey(cdsTable.Field(c).AsString()));
    cdsTable.Post();
  }
}

void TfmZurXMLTable::FillGrid() {
  m_filling = true;
  dgDati->clear();
  const int columns = cdsTable.Active() ? int(m_table.columns.size()) : 0;
  const int rows = cdsTable.Active() ? cdsTable.RecordCount() : 0;
  dgDati->setColumnCount(columns);
  dgDati->setRowCount(rows);
  QStringList titles;
  for (const TZurCodeColumn& c : m_table.columns)
    titles << c.name;
  dgDati->setHorizontalHeaderLabels(titles);
  dgDati->setVerticalHeaderLabels(QStringList(rows, QString()));
  if (rows > 0) {
    const TBookmark keep = cdsTable.GetBookmark();
    int row = 0;
    for (cdsTable.First(); !cdsTable.Eof(); cdsTable.Next(), ++row)
      for (int c = 0; c < columns; ++c)
        dgDati->setItem(row, c, new QTableWidgetItem(cdsTable.Field(c).AsString()));
    cdsTable.GotoBookmark(keep);
  }
  const int charWidth = dgDati->fontMetrics().averageCharWidth();
  for (int c = 0; c < columns; ++c) {
    const TZurCodeColumn& column = m_table.columns[size_t(c)];
    const int chars = qMin(kMaxColumnChars, qMax(column.length, int(column.name.size())));
    dgDati->setColumnWidth(c, chars * charWidth + 24);
  }
  m_filling = false;
}

void TfmZurXMLTable::SyncGrid() {
  if (!cdsTable.Active() || cdsTable.IsEmpty()) return;
  m_filling = true;
  const int row = cdsTable.RecNo() - 1;
  dgDati->setCurrentCell(row, qMax(0, dgDati->currentColumn()));
  for (int r = 0; r < dgDati->rowCount(); ++r)
    if (QTableWidgetItem* mark = dgDati->verticalHeaderItem(r))
      mark->setText(r == row ? kCurrentRow : QString());
  m_filling = false;
}

void TfmZurXMLTable::GridRowChosen(int row) {
  if (m_filling || row < 0 || !cdsTable.Active() || cdsTable.IsEmpty()) return;
  cdsTable.SetRecNo(row + 1);
  SyncGrid();
}

void TfmZurXMLTable::SortByColumn(int column) {
  const int columns = int(m_table.columns.size());
  if (!cdsTable.Active() || column < 0 || column >= columns) return;
  cdsTable.SetIndexFieldNames(cdsTable.Field(columns + column).FieldName());
  m_sortColumn = column;
  laNomeCampo->setText(m_table.columns[size_t(column)].name);
  dgDati->horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
  FillGrid();
  edCerca->clear();
  SyncGrid();
}

void TfmZurXMLTable::edCercaChange(const QString& text) {
  if (text.isEmpty() || !cdsTable.Active()) return;
  // Letter case counts: "a" does not find "A10".
  if (cdsTable.Locate(cdsTable.Field(m_sortColumn).FieldName(), text, TLocateOptions{false, true}))
    SyncGrid();
}

void TfmZurXMLTable::Choose() {
  m_chosen.reset();
  if (cdsTable.Active() && !cdsTable.IsEmpty()) m_chosen = cdsTable.Field(0).AsString();
  accept();
}

std::optional<QString> TfmZurXMLTable::CurrentDescription() const {
  const int column = m_table.ColumnIndex(QLatin1String(zur::kDescriptionColumn));
  if (column < 0 || !cdsTable.Active() || column >= cdsTable.FieldCount()) return std::nullopt;
  return cdsTable.IsEmpty() ? QString() : cdsTable.Field(column).AsString();
}

int TfmZurXMLTable::VisibleRows() const {
  const int rowHeight = qMax(1, dgDati->verticalHeader()->defaultSectionSize());
  return qMax(1, dgDati->viewport()->height() / rowHeight);
}

bool TfmZurXMLTable::HandleKey(QObject* watched, const QKeyEvent& key) {
  if (key.key() == Qt::Key_Escape) {
    reject();
    return true;
  }
  if (watched == dgDati && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)) {
    Choose();
    return true;
  }
  if (!cdsTable.Active()) return false;
  const bool ctrl = key.modifiers() & Qt::ControlModifier;
  const int recNo = cdsTable.RecNo();
  const int last = cdsTable.RecordCount();
  const int column = dgDati->currentColumn();
  switch (key.key()) {
  case Qt::Key_Right:
    if (column < dgDati->columnCount() - 1) dgDati->setCurrentCell(dgDati->currentRow(), column + 1);
    return true;
  case Qt::Key_Left:
    if (column > 0) dgDati->setCurrentCell(dgDati->currentRow(), column - 1);
    return true;
  case Qt::Key_Up:
    if (recNo > 1) cdsTable.Prior();
    break;
  case Qt::Key_Down:
    if (recNo < last) cdsTable.Next();
    break;
  case Qt::Key_PageUp:
    if (recNo > 1) cdsTable.MoveBy(-VisibleRows());
    break;
  case Qt::Key_PageDown:
    if (recNo < last) cdsTable.MoveBy(VisibleRows());
    break;
  case Qt::Key_Home:
    if (!ctrl) return false;
    if (recNo > 1) cdsTable.First();
    break;
  case Qt::Key_End:
    if (!ctrl) return false;
    if (recNo < last) cdsTable.Last();
    break;
  default:
    return false; // digits, letters and the rest belong to the focused control
  }
  SyncGrid();
  return true;
}

bool TfmZurXMLTable::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && HandleKey(watched, *static_cast<QKeyEvent*>(event))) return true;
  if (watched == edCerca && event->type() == QEvent::FocusIn) edCerca->selectAll();
  return QDialog::eventFilter(watched, event);
}

void TfmZurXMLTable::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_loaded) FormShow();
  edCerca->setFocus();
}
