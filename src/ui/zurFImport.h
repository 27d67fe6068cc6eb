#pragma once

#include "payroll/zurImport.h"

#include <QDialog>
#include <QStringList>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class TdmQenParams;
class TdmZurDati;

// "Importazione dati dichiarazione": the window over the import of the open
// declaration from the family database. The clerk chooses the two imports
// and the period; "Importa" runs TZurImport, whose log grows line by line in
// the window while the work goes on (the window repaints between the lines
// and between the payroll statements). Everything lands in the in-memory
// datasets; the ordinary save stores it.
class TfmZurImport : public QDialog {
public:
  // What the window does when it is created: binds the import to the
  // parameter module's connection and puts the program's financial year on
  // 2024 (a database error there throws EZurError; the window is not built).
  // dati and params must outlive the window.
  TfmZurImport(TdmZurDati& dati, TdmQenParams& params, QWidget* parent = nullptr);
  ~TfmZurImport() override;

  // "Importa": the choice of the window handed to the import, which runs to
  // its end. An error (the period check, a failing statement) reaches the
  // clerk as an error box and leaves the window open with what was written
  // so far. A press while an import is running is refused: nothing happens.
  void buImportaClick();

  // The log as lines (a line holding CR LF shows as two lines).
  QStringList LogLines() const;
  // True from the start of "Importa" to its end.
  bool Running() const { return m_running; }

  QCheckBox* cbSostituto;
  QCheckBox* cbIRAP;
  QSpinBox* spAnnoDal;
  QComboBox* cbMeseDal;
  QSpinBox* SpAnnoAl;
  QComboBox* cbMeseAl;
  QGroupBox* gbLog;
  QPlainTextEdit* meLog;
  QPushButton* buImporta;
  QPushButton* buEsci;

  // Escape and "Esci" close the window, except while an import runs: the
  // window must not go away under the work writing into its log.
  void reject() override;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  class TLog;
  void FormShow();
  TZurImportOptions Choice() const;

  std::unique_ptr<TLog> m_log;
  std::unique_ptr<TZurImport> m_import;
  bool m_running = false;
  bool m_shown = false;
};
