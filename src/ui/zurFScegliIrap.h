#pragma once

#include "platform/Platform.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;
class TClientDataSet;

// "Scelta modello di lavoro": the cover pages of the year in a read-only grid
// of fiscal codes, to choose the declaration to open ("Scegli", or "Nuovo" for
// a new one) or to delete ("Scegli", or "Annulla").
class TfmZurScegliIrap : public QDialog {
public:
  // Shows the cover pages of frontespizio from its first record; the dataset
  // is left on its first record.
  TfmZurScegliIrap(TClientDataSet& frontespizio, TZurChoiceMode mode, QWidget* parent = nullptr);

  // 0 while nothing was chosen (also when the window is closed), the chosen
  // IIRAPID, or -1 for "Nuovo" / "Annulla".
  int Result() const { return m_result; }

  QLabel* Label1;
  QTableWidget* dbgDati;
  QPushButton* buOk;
  QPushButton* buNew;

private:
  void buOkClick();
  void buNewClick();

  int m_result = 0;
};
