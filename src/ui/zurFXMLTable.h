#pragma once

#include "dataset/ClientDataSet.h"
#include "tables/zurCodeTables.h"

#include <QDialog>
#include <optional>

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TField;

// The lookup of a code table: the clerk picks a row and its code goes into
// the field. The rows are sorted by the code at first, or by the column whose
// title was clicked, numbers within the text by their value ("2" before
// "10"); typing in "Cerca nel campo:" moves to the first row whose sort
// column begins with the text, letter case counting. The arrow,
// page and Ctrl+Home/End keys move the grid wherever the focus is; digits and
// letters always reach the focused control. OK, Enter in the grid or a double
// click choose the current row; "Annulla" and Escape close without a choice.
class TfmZurXMLTable : public QDialog {
public:
  explicit TfmZurXMLTable(const QString& tableName, QWidget* parent = nullptr);

  // The whole lookup for a field bound to a dataset. Empties the last chosen
  // description first. A missing table file shows the warning
  // zur::CodeTableMissingText() and no dialog; a field whose dataset is closed
  // gets no dialog either. On OK with a row: the dataset goes into Edit when
  // browsing, the field gets the row's code, and the last chosen description
  // becomes the row's DESCRIZIONE (cut to its column, as listed). OK on an
  // empty table leaves the dataset and the field as they were. An exception
  // of the field (a code its type cannot hold) reaches the caller after the
  // dialog has closed.
  static void ChooseCode(const QString& tableName, TField& field);
  // zur::CodeExists: whether text is a code of the table (see there).
  static bool CodeExists(const QString& tableName, const QString& text);

  // Loads the table into the dialog; the first show does it. Any error
  // shows the warning zur::CodeTableLoadText(error) and leaves the dialog
  // open and empty.
  void FormShow();
  // Sorts by the grid column, names it in the search label, clears the search.
  void SortByColumn(int column);

  // The code of the row chosen with OK; nullopt before, on cancel, and when
  // OK closed an empty dialog.
  const std::optional<QString>& ChosenValue() const { return m_chosen; }
  // The DESCRIZIONE of the current row; nullopt when the table has no such
  // column (or failed to load).
  std::optional<QString> CurrentDescription() const;
  // The loaded table (empty until FormShow succeeded).
  const TZurCodeTable& Table() const { return m_table; }

  QFrame* paDescrizione;
  QLabel* laDescrizione;
  QTableWidget* dgDati;
  QLabel* Label1;
  QLabel* laNomeCampo;
  QLineEdit* edCerca;
  QPushButton* buOk;
  QPushButton* buAnnulla;
  // The rows as listed: one string field per declared column, as wide as
  // its Length (longer values are cut), named C1, C2… so that any column
  // title the file uses is accepted; then the hidden sort keys K1, K2… that
  // put "2" before "10".
  TClientDataSet cdsTable;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void BuildDataSet();
  void FillGrid();
  void SyncGrid();
  void GridRowChosen(int row);
  void edCercaChange(const QString& text);
  void Choose();
  bool HandleKey(QObject* watched, const QKeyEvent& key);
  int VisibleRows() const;

  QString m_tableName;
  TZurCodeTable m_table;
  std::optional<QString> m_chosen;
  int m_sortColumn = 0;
  bool m_loaded = false;
  bool m_filling = false;
};
