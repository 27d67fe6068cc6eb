#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// "Attendere...": a small window without border icons, centred on the
// screen, shown while the datasets load or other long work runs. Its bar
// shows records read of the total when the work reports them, and moves as a
// busy indicator otherwise, so the clerk never sees a frozen window.
class TfmNymWait : public QDialog {
public:
  explicit TfmNymWait(QWidget* parent = nullptr);

  // Back to the busy indicator.
  void ResetProgress();
  // done of total; a total of 0 or less means "unknown" (busy indicator).
  void SetProgress(qint64 done, qint64 total);

  QLabel* laWait;
  QProgressBar* pbWait;
};
