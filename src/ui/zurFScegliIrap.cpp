#include "ui/zurFScegliIrap.h"

#include "dataset/ClientDataSet.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString FieldText(const TClientDataSet& ds, const char* name) {
  const TField* f = ds.FindField(QLatin1String(name));
  return f ? f->AsString() : QString();
}

} // namespace

TfmZurScegliIrap::TfmZurScegliIrap(TClientDataSet& frontespizio, TZurChoiceMode mode, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("fmZurScegliIrap"));
  setWindowTitle(QStringLiteral("Scelta modello di lavoro"));
  resize(369, 295);

  Label1 = new QLabel(this);
  QFont bold = Label1->font();
  bold.setBold(true);
  bold.setPixelSize(13);
  Label1->setFont(bold);
  Label1->setStyleSheet(QStringLiteral("color: red;"));
  Label1->setText(
      mode == TZurChoiceMode::Delete
          ? QStringLiteral("Scegliere il codice fiscale relativo\nalla dichiarazione da eliminare")
          : QStringLiteral("Sono presenti più modelli IRAP, scegliere il codice\nfiscale di lavoro "
                           "oppure l'opzione \"Nuovo\" per \ninserire un nuovo modello :"));

  dbgDati = new QTableWidget(0, 2, this);
  dbgDati->setObjectName(QStringLiteral("dbgDati"));
  dbgDati->setHorizontalHeaderLabels({QStringLiteral("Codice fiscale"), QStringLiteral("IIRAPID")});
  QFont titleFont = dbgDati->horizontalHeader()->font();
  titleFont.setBold(true);
  dbgDati->horizontalHeader()->setFont(titleFont);
  dbgDati->horizontalHeader()->setStretchLastSection(true);
  dbgDati->setColumnHidden(1, true);
  dbgDati->setColumnWidth(0, 340);
  dbgDati->verticalHeader()->hide();
  dbgDati->setEditTriggers(QAbstractItemView::NoEditTriggers);
  dbgDati->setSelectionBehavior(QAbstractItemView::SelectRows);
  dbgDati->setSelectionMode(QAbstractItemView::SingleSelection);
  dbgDati->setTabKeyNavigation(false);

  frontespizio.First();
  while (!frontespizio.Eof()) {
    const int row = dbgDati->rowCount();
    dbgDati->insertRow(row);
    dbgDati->setItem(row, 0, new QTableWidgetItem(FieldText(frontespizio, "SIRAPCODFIS")));
    dbgDati->setItem(row, 1, new QTableWidgetItem(FieldText(frontespizio, "IIRAPID")));
    frontespizio.Next();
  }
  frontespizio.First();
  if (dbgDati->rowCount() > 0) dbgDati->setCurrentCell(0, 0);

  buOk = new QPushButton(QStringLiteral("&Scegli"), this);
  buNew = new QPushButton(
      mode == TZurChoiceMode::Delete ? QStringLiteral("&Annulla") : QStringLiteral("&Nuovo"), this);
  for (QPushButton* b : {buOk, buNew}) {
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
  }
  buNew->setDefault(true);
  buNew->setAutoDefault(true);
  buOk->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(buOk);
  buttons->addWidget(buNew);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(dbgDati, 1);
  layout->addLayout(buttons);

  connect(buOk, &QPushButton::clicked, this, [this] { buOkClick(); });
  connect(buNew, &QPushButton::clicked, this, [this] { buNewClick(); });
  connect(dbgDati, &QTableWidget::cellDoubleClicked, this, [this] { buOkClick(); });
  dbgDati->setFocus();
}

void TfmZurScegliIrap::buOkClick() {
  const int row = dbgDati->currentRow();
  if (row < 0 || !dbgDati->item(row, 1)) {
    VxShowMessage(QStringLiteral("E' necessario selezionare un codice fiscale per procedere!"),
                  TMsgDlgType::Error);
    return;
  }
  m_result = dbgDati->item(row, 1)->text().toInt();
  accept();
}

void TfmZurScegliIrap::buNewClick() {
  m_result = -1;
  accept();
}
