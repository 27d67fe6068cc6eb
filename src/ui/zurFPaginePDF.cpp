#include "ui/zurFPaginePDF.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfmZurPaginePDF::TfmZurPaginePDF(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("fmZurPaginePDF"));
  setWindowTitle(QStringLiteral("Copia pagine PDF"));

  edFileName = new QLineEdit(QDir::rootPath(), this);
  edFileName->setMinimumWidth(320);
  auto* laFile = new QLabel(QStringLiteral("&File PDF:"), this);
  laFile->setBuddy(edFileName);
  buSfoglia = new QPushButton(QStringLiteral("..."), this);
  buSfoglia->setAutoDefault(false);
  buSfoglia->setFixedWidth(32);

  auto* gbPagine = new QGroupBox(QStringLiteral("Opzioni pagine"), this);
  raTutteLePagine = new QRadioButton(QStringLiteral("&Tutte le pagine"), gbPagine);
  raTutteLePagine->setChecked(true);
  raPersonalizzate = new QRadioButton(QStringLiteral("&Personalizzate"), gbPagine);
  edPersonalizza = new QLineEdit(gbPagine);
  laEsempio = new QLabel(QStringLiteral("(1-5,6,7,8-15)"), gbPagine);
  auto* pagine = new QGridLayout(gbPagine);
  pagine->addWidget(raTutteLePagine, 0, 0, 1, 3);
  pagine->addWidget(raPersonalizzate, 1, 0);
  pagine->addWidget(edPersonalizza, 1, 1);
  pagine->addWidget(laEsempio, 1, 2);
  pagine->setColumnStretch(1, 1);

  buChiudi = new QPushButton(QStringLiteral("&Chiudi"), this);
  buChiudi->setAutoDefault(false);
  buCopia = new QPushButton(QStringLiteral("C&opia"), this);
  buCopia->setDefault(true);

  auto* file = new QHBoxLayout;
  file->addWidget(laFile);
  file->addWidget(edFileName, 1);
  file->addWidget(buSfoglia);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(buChiudi);
  buttons->addWidget(buCopia);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(file);
  layout->addWidget(gbPagine);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(edFileName, buSfoglia);
  setTabOrder(buSfoglia, raTutteLePagine);
  setTabOrder(raTutteLePagine, raPersonalizzate);
  setTabOrder(raPersonalizzate, edPersonalizza);
  setTabOrder(edPersonalizza, buChiudi);
  setTabOrder(buChiudi, buCopia);

  connect(buSfoglia, &QPushButton::clicked, this, [this] { buSfogliaClick(); });
  // Typing a list means copying that list.
  connect(edPersonalizza, &QLineEdit::textEdited, this, [this] { raPersonalizzate->setChecked(true); });
  connect(buChiudi, &QPushButton::clicked, this, &QDialog::reject);
  connect(buCopia, &QPushButton::clicked, this, [this] { buCopiaClick(); });
}

TfmZurPaginePDF::~TfmZurPaginePDF() = default;

void TfmZurPaginePDF::buSfogliaClick() {
  QString fileName = edFileName->text();
  if (Platform().PromptForFileName(fileName, QStringLiteral("Adobe Acrobat (*.pdf)|*.pdf"),
                                   QStringLiteral("pdf"), QStringLiteral("Apri file di origine"), QString(),
                                   false))
    edFileName->setText(fileName);
  buCopia->setFocus();
}

TZurPaginePDF::TResult TfmZurPaginePDF::buCopiaClick() {
  try {
    return m_pagine.Copia(edFileName->text(), raTutteLePagine->isChecked(), edPersonalizza->text());
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
  }
  return TZurPaginePDF::TResult::WriteFailed;
}
