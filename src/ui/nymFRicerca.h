#pragma once

#include "dataset/ClientDataSet.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "Finestra di ricerca": incremental search over a dataset the caller fills.
// The grid is ordered by the search field (the first field, or the column
// whose title was clicked); typing in the edit jumps to the first record whose
// search field matches: the exact value for a number, the beginning of the
// text otherwise. The arrow, page and Ctrl+Home/End keys in the edit move
// the grid, so the clerk never leaves the keyboard. OK returns with cdsSearch
// on the chosen record.
class TfmNymRicerca : public QDialog {
public:
  explicit TfmNymRicerca(QWidget* parent = nullptr);

  TClientDataSet cdsSearch;

  // Call after cdsSearch is open: clears the search text, orders by the first
  // field and fills the grid; with an initial-text source attached, its text
  // becomes the search text.
  void DataOpened();
  // Orders by the field of this grid column and clears the search text.
  void SortByColumn(int column);
  // An optional source of the first search text, read when the data opens;
  // showing the dialog detaches it.
  void SetInitialTextSource(std::function<QString()> source) { m_initialText = std::move(source); }

  const QString& SortField() const { return m_sortField; }

  QTableWidget* grSearch;
  QLabel* laCerca;
  QLabel* laCampo;
  QLineEdit* edValue;
  QPushButton* buOk;
  QPushButton* buCancel;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void FillGrid();
  void SyncGrid();
  void GridRowChosen(int row);
  void edValueChange(const QString& text);
  int VisibleRows() const;

  QString m_sortField;
  std::function<QString()> m_initialText;
  bool m_filling = false;
};
