#include "ui/zurFImport.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "ui/ZurQtPlatform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

// The import's log in the window's memo. Every line and every appended
// "OK" is shown at once: the window repaints and answers the clerk before the
// import goes on, so a long year shows where it has got to.
class TfmZurImport::TLog final : public IZurImportLog {
public:
  explicit TLog(QPlainTextEdit* memo) : m_memo(memo) {}

  void AddLine(const QString& text) override {
    QTextCursor c(m_memo->document());
    c.movePosition(QTextCursor::End);
    // The first line goes into the memo's first block: an empty first line
    // must stay a line of its own. One edit, so the memo lays out the line
    // once.
    c.beginEditBlock();
    if (m_lines > 0) c.insertBlock();
    c.insertText(ZurDisplayText(text));
    c.endEditBlock();
    ++m_lines;
    Show();
  }
  void Append(const QString& text) override {
    if (m_lines == 0) return;
    QTextCursor c(m_memo->document());
    c.movePosition(QTextCursor::End);
    c.insertText(ZurDisplayText(text));
    Show();
  }
  int Count() const { return m_lines; }
  void Clear() override {
    m_memo->clear();
    m_lines = 0;
    Show();
  }

private:
  void Show() {
    m_memo->moveCursor(QTextCursor::End);
    m_memo->ensureCursorVisible();
    Platform().ProcessMessages();
  }

  QPlainTextEdit* m_memo;
  int m_lines = 0;
};

TfmZurImport::TfmZurImport(TdmZurDati& dati, TdmQenParams& params, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmZurImport"));
  setWindowTitle(QStringLiteral("Importazione dati dichiarazione"));
  resize(560, 480);

  cbSostituto = new QCheckBox(QStringLiteral("Importa dati del &sostituto"), this);
  cbSostituto->setChecked(true);
  cbIRAP = new QCheckBox(QStringLiteral("Importa dati &IRAP"), this);
  cbIRAP->setChecked(true);

  // The years move only with the arrows: a typed year could name one the
  // payroll of this declaration does not cover.
  const auto spinner = [this] {
    auto* s = new QSpinBox(this);
    s->findChild<QLineEdit*>()->setReadOnly(true);
    s->setAlignment(Qt::AlignRight);
    return s;
  };
  spAnnoDal = spinner();
  SpAnnoAl = spinner();
  cbMeseDal = new QComboBox(this);
  cbMeseAl = new QComboBox(this);
  for (QComboBox* c : {cbMeseDal, cbMeseAl})
    c->setMinimumContentsLength(12);

  auto* period = new QGridLayout;
  const auto label = [this](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, this);
    l->setBuddy(buddy);
    return l;
  };
  period->addWidget(label(QStringLiteral("&Dal anno "), spAnnoDal), 0, 0);
  period->addWidget(spAnnoDal, 0, 1);
  period->addWidget(label(QStringLiteral("m&ese"), cbMeseDal), 0, 2);
  period->addWidget(cbMeseDal, 0, 3);
  period->addWidget(label(QStringLiteral("&All'anno"), SpAnnoAl), 1, 0);
  period->addWidget(SpAnnoAl, 1, 1);
  period->addWidget(label(QStringLiteral("mes&e"), cbMeseAl), 1, 2);
  period->addWidget(cbMeseAl, 1, 3);
  period->setColumnStretch(4, 1);

  gbLog = new QGroupBox(QStringLiteral("Log"), this);
  meLog = new QPlainTextEdit(gbLog);
  meLog->setReadOnly(true);
  meLog->setUndoRedoEnabled(false);
  meLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  meLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  meLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* logLayout = new QVBoxLayout(gbLog);
  logLayout->addWidget(meLog);

  buImporta = new QPushButton(QStringLiteral("&Importa"), this);
  buImporta->setDefault(true);
  buEsci = new QPushButton(QStringLiteral("&Esci"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(buImporta);
  buttons->addWidget(buEsci);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(cbSostituto);
  layout->addWidget(cbIRAP);
  layout->addLayout(period);
  layout->addWidget(gbLog, 1);
  layout->addLayout(buttons);

  connect(buImporta, &QPushButton::clicked, this, [this] { buImportaClick(); });
  connect(buEsci, &QPushButton::clicked, this, [this] { reject(); });

  m_log = std::make_unique<TLog>(meLog);
  m_import = std::make_unique<TZurImport>(dati, params, *m_log);
}

TfmZurImport::~TfmZurImport() = default;

void TfmZurImport::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_shown) return;
  m_shown = true;
  try {
    FormShow();
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
  }
}

void TfmZurImport::FormShow() {
  const int annoSolare = QDate::currentDate().year();
  const TZurImportOptions proposta = TZurImport::OpzioniIniziali(annoSolare);
  // The spinners keep their value inside the two years they offer, whatever
  // sets it.
  for (QSpinBox* s : {spAnnoDal, SpAnnoAl}) {
    s->setRange(TZurImport::AnnoMinimo(annoSolare), TZurImport::AnnoMassimo(annoSolare));
    s->setValue(TZurImport::AnnoMassimo(annoSolare));
  }
  const QStringList mesi = m_import->NomiMesi();
  cbMeseDal->clear();
  cbMeseDal->addItems(mesi);
  cbMeseDal->setCurrentIndex(proposta.meseDal - 1);
  cbMeseAl->clear();
  cbMeseAl->addItems(mesi);
  cbMeseAl->setCurrentIndex(std::min(proposta.meseAl, int(mesi.size())) - 1);
}

TZurImportOptions TfmZurImport::Choice() const {
  TZurImportOptions o;
  o.sostituto = cbSostituto->isChecked();
  o.irap = cbIRAP->isChecked();
  o.annoDal = spAnnoDal->value();
  o.meseDal = cbMeseDal->currentIndex() + 1;
  o.annoAl = SpAnnoAl->value();
  o.meseAl = cbMeseAl->currentIndex() + 1;
  return o;
}

void TfmZurImport::buImportaClick() {
  // The log repaints while the import runs, and with it the buttons answer:
  // a second press must not start another import over the first.
  if (m_running || TZurImport::InCorso()) return;
  m_running = true;
  struct TFine {
    bool& running;
    ~TFine() { running = false; }
  } fine{m_running};
  try {
    m_import->Options() = Choice();
    if (!m_import->Importa()) return;
  } catch (const EZurError& e) {
    if (e.kind() != EZurError::Kind::Cancelled || !e.message().isEmpty())
      VxShowMessage(e.message(), TMsgDlgType::Error);
    return;
  } catch (const std::exception& e) {
    VxShowMessage(QString::fromLocal8Bit(e.what()), TMsgDlgType::Error);
    return;
  }
  buImporta->setDefault(false);
  buEsci->setDefault(true);
  buEsci->setFocus();
}

QStringList TfmZurImport::LogLines() const {
  if (m_log->Count() == 0) return {};
  return meLog->toPlainText().split(QLatin1Char('\n'));
}

void TfmZurImport::reject() {
  if (m_running) return;
  QDialog::reject();
}

void TfmZurImport::closeEvent(QCloseEvent* event) {
  if (m_running) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}
