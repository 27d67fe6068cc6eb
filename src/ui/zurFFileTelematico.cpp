#include "ui/zurFFileTelematico.h"

#include "declaration/zurMDati.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "ui/zurDecorate.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfmZurFileTelematico::TfmZurFileTelematico(TdmZurFileTelIRAP& modulo, TdmZurDati& dati, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_modulo(modulo), m_dati(dati) {
  setObjectName(QStringLiteral("fmZurFileTelematico"));
  setWindowTitle(QStringLiteral("File telematico"));
  QFont arial(QStringLiteral("Arial"));
  arial.setStyleHint(QFont::SansSerif);
  setFont(arial);

  GroupBox1 = new QGroupBox(QStringLiteral("Dati fornitore"), this);
  deTipoFornitore = new TZurDBLookupEdit(QStringLiteral("SIRAPTIPOFORNITORE"), GroupBox1);
  deTipoFornitore->setObjectName(QStringLiteral("deTipoFornitore"));
  deTipoFornitore->UpperCase = true;
  deTipoFornitore->Tag = 12; // "TFOR" of the code-table index
  deTipoFornitore->setMaximumWidth(90);
  deCodFiscaleFornitore = new TZurDBEdit(QStringLiteral("SIRAPCODFISFORNITORE"), GroupBox1);
  deCodFiscaleFornitore->setObjectName(QStringLiteral("deCodFiscaleFornitore"));
  deCodFiscaleFornitore->setMinimumWidth(200);
  Label1 = new QLabel(QStringLiteral("&Tipo fornitore:"), GroupBox1);
  Label1->setBuddy(deTipoFornitore);
  Label2 = new QLabel(QStringLiteral("&Codice fiscale fornitore:"), GroupBox1);
  Label2->setBuddy(deCodFiscaleFornitore);
  auto* fields = new QGridLayout(GroupBox1);
  fields->addWidget(Label1, 0, 0);
  fields->addWidget(deTipoFornitore, 0, 1, Qt::AlignLeft);
  fields->addWidget(Label2, 1, 0);
  fields->addWidget(deCodFiscaleFornitore, 1, 1);
  fields->setColumnStretch(1, 1);

  buCreaFileTelematico = new QPushButton(QStringLiteral("Crea &file telematico"), this);
  buCreaFileTelematico->setDefault(true);
  buAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
  buAnnulla->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(buCreaFileTelematico);
  buttons->addWidget(buAnnulla);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(GroupBox1);
  layout->addStretch(1);
  layout->addLayout(buttons);
  setFixedSize(441, 169);

  connect(buCreaFileTelematico, &QPushButton::clicked, this, [this] { buCreaFileTelematicoClick(); });
  connect(buAnnulla, &QPushButton::clicked, this, &QDialog::reject);

  deTipoFornitore->SetDataSource(&dsMain);
  deCodFiscaleFornitore->SetDataSource(&dsMain);
  DecorateDataControls(this);
  dsMain.Attach(&m_dati.cdsFrontespizio);
}

TfmZurFileTelematico::~TfmZurFileTelematico() {
  dsMain.Attach(nullptr);
}

void TfmZurFileTelematico::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_shown) return;
  m_shown = true;
  try {
    FormShow();
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
  }
}

void TfmZurFileTelematico::FormShow() {
  zurtel::ImpostaFornitore(m_dati.cdsFrontespizio);
}

TdmZurFileTelIRAP::TEsito TfmZurFileTelematico::buCreaFileTelematicoClick() {
  // The run's questions and save dialog let the window take clicks again.
  if (m_running) return TdmZurFileTelIRAP::TEsito::None;
  m_running = true;
  struct TFine {
    bool& running;
    ~TFine() { running = false; }
  } fine{m_running};
  TdmZurFileTelIRAP::TEsito esito = TdmZurFileTelIRAP::TEsito::None;
  try {
    // What the clerk typed in the dialog belongs to the cover page before
    // the checks read it and the run filters the datasets.
    TClientDataSet& frontespizio = m_dati.cdsFrontespizio;
    if (frontespizio.State() == TDataSetState::Edit || frontespizio.State() == TDataSetState::Insert)
      frontespizio.Post();
    esito = zurtel::CreaFileDialogo(m_modulo, frontespizio, QString());
  } catch (const EZurError& e) {
    if (e.kind() != EZurError::Kind::Cancelled || !e.message().isEmpty())
      VxShowMessage(e.message(), TMsgDlgType::Error);
    return TdmZurFileTelIRAP::TEsito::None;
  } catch (const std::exception& e) {
    VxShowMessage(QString::fromLocal8Bit(e.what()), TMsgDlgType::Error);
    return TdmZurFileTelIRAP::TEsito::None;
  }
  if (esito != TdmZurFileTelIRAP::TEsito::None) accept();
  return esito;
}
