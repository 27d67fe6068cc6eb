#include "ui/nymFWait.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

TfmNymWait::TfmNymWait(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("fmNymWait"));
  setWindowTitle(QStringLiteral("Attendere..."));
  setFixedSize(412, 72);
  auto* layout = new QVBoxLayout(this);
  laWait = new QLabel(QStringLiteral("Caricamento in corso...attendere."), this);
  laWait->setAlignment(Qt::AlignCenter);
  pbWait = new QProgressBar(this);
  pbWait->setTextVisible(true);
  layout->addWidget(laWait);
  layout->addWidget(pbWait);
  ResetProgress();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TfmNymWait::ResetProgress() {
  pbWait->setRange(0, 0);
  pbWait->setValue(0);
}

void TfmNymWait::SetProgress(qint64 done, qint64 total) {
  if (total <= 0) {
    ResetProgress();
    return;
  }
  // QProgressBar counts in int; scale very large totals to per mille.
  if (total > 1000000) {
    done = done * 1000 / total;
    total = 1000;
  }
  pbWait->setRange(0, int(total));
  pbWait->setValue(int(qBound<qint64>(0, done, total)));
}
