#pragma once

#include "telematic/zurMFileTelIRAP.h"
#include "ui/ZurDataControls.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class TdmZurDati;

// "File telematico": the two supplier fields of the cover page, the
// mandatory checks and the run that writes the telematic file of the open
// declaration. The main window opens it only after a save whose checks
// passed. The supplier fields are the cover page's own: what the dialog
// proposes or the clerk types is posted into the declaration and saved with
// it.
class TfmZurFileTelematico : public QDialog {
public:
  // Decorates the controls and binds dsMain to the cover page. modulo and
  // dati must outlive the dialog.
  TfmZurFileTelematico(TdmZurFileTelIRAP& modulo, TdmZurDati& dati, QWidget* parent = nullptr);
  ~TfmZurFileTelematico() override;

  // "Crea file telematico": the clerk's pending edit of the cover page is
  // posted, then the mandatory checks (an error box, the dialog stays), the
  // run with the save dialog, the outcome message and the dialog closed;
  // an earlier result file of the agency's checker is removed. An error of
  // the run reaches the clerk as a message and leaves the dialog open (the
  // result file then stays). Returns the outcome (None: no run).
  TdmZurFileTelIRAP::TEsito buCreaFileTelematicoClick();

  QGroupBox* GroupBox1;
  QLabel* Label1;
  TZurDBLookupEdit* deTipoFornitore;
  QLabel* Label2;
  TZurDBEdit* deCodFiscaleFornitore;
  QPushButton* buCreaFileTelematico;
  QPushButton* buAnnulla;
  TZurDataSource dsMain;

protected:
  void showEvent(QShowEvent* event) override;

private:
  // The supplier's defaults, posted at once.
  void FormShow();

  TdmZurFileTelIRAP& m_modulo;
  TdmZurDati& m_dati;
  bool m_shown = false;
  bool m_running = false;
};
