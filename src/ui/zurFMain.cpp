#include "ui/zurFMain.h"

#include "app/ZurApplication.h"
#include "db/ZurConnection.h"
#include "declaration/zurMDati.h"
#include "forms/ZurFormDescription.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/ZurSettings.h"
#include "platform/zurUGlobal.h"
#include "print/zurLayoutTools.h"
#include "telematic/zurMFileTelIRAP.h"
#include "ui/zurDecorate.h"
#include "ui/zurDevHooks.h"
#include "ui/zurFFileTelematico.h"
#include "ui/zurFFrames.h"
#include "ui/zurFImport.h"
#include "ui/zurFPaginePDF.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString WithoutPassword(const QString& url) {
  if (!url.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive)) return QDir::toNativeSeparators(url);
  QUrl u(url);
  u.setPassword(QString());
  return u.toString();
}

} // namespace

TfmZurMain::TfmZurMain(TZurApplication& app, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_dati(app.Dati()) {
  setObjectName(QStringLiteral("fmZurMain"));
  setWindowTitle(zur::ApplicationTitle());
  resize(1280, 750);
  BuildPages();
  BuildMenu();

  StatusPanel = new QLabel(QStringLiteral("DECRETO"), this);
  StatusPanel->setMinimumWidth(50);
  statusBar()->addWidget(StatusPanel, 1);

  tiResize = new QTimer(this);
  tiResize->setInterval(100);
  tiResize->setSingleShot(true);
  connect(tiResize, &QTimer::timeout, this, [this] { showMaximized(); });
  tiResize->start();

  // Opening makes sense only when there is something to choose.
  miApri->setEnabled(m_dati.cdsFrontespizio.Active() && m_dati.cdsFrontespizio.RecordCount() > 1);
}

TfmZurMain::~TfmZurMain() {
  // The focus moves while the window's widgets go; by then it is no longer a
  // main window to follow it.
  disconnect(m_focusWatch);
}

void TfmZurMain::BuildPages() {
  paMain = new QTabWidget(this);
  paMain->setObjectName(QStringLiteral("paMain"));
  // The frames are laid out from the installed form description; a damaged
  // or missing description stops start-up with a message naming the file.
  const zurform::TZurFormDescription form = zurform::TZurFormDescription::Load();
  auto page = [&](const char* name) { return *form.Page(QLatin1String(name)); };
  frZurFrontespizio1 = new TfrZurFrontespizio(page("Frontespizio"), paMain);
  frZurQuadroIK1 = new TfrZurQuadroIK(page("QuadroIK"), paMain);
  frZurQuadroIR1 = new TfrZurQuadroIR(page("QuadroIR"), paMain);
  frZurQuadroIRVar1 = new TfrZurQuadroIRVar(page("QuadroIRVar"), paMain);
  frZurQuadroRX1 = new TfrZurQuadroIS(page("QuadroIS"), paMain);
  tsFrontespizio = frZurFrontespizio1;
  tsIK = frZurQuadroIK1;
  tsIR = frZurQuadroIR1;
  tsIRVar = frZurQuadroIRVar1;
  tsIS = frZurQuadroRX1;
  paMain->addTab(tsFrontespizio, QStringLiteral("Frontespizio"));
  paMain->addTab(tsIK, QStringLiteral("Quadro IK"));
  paMain->addTab(tsIR, QStringLiteral("Quadro IR 1-31 / 41"));
  paMain->addTab(tsIRVar, QStringLiteral("Quadro IR 32 - 40"));
  paMain->addTab(tsIS, QStringLiteral("Quadro IS"));
  paMain->setCurrentIndex(pgFrontespizio);
  connect(paMain, &QTabWidget::currentChanged, this,
          [this](int index) { Guard([=, this] { PageChanged(index); }); });
  setCentralWidget(paMain);
}

QAction* TfmZurMain::AddItem(QMenu* menu, const QString& caption, const std::function<void()>& command,
                             const QKeySequence& shortcut) {
  QAction* a = menu->addAction(caption);
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  connect(a, &QAction::triggered, this, [this, command] { Guard(command); });
  return a;
}

void TfmZurMain::BuildMenu() {
  QMenuBar* bar = menuBar();
  mnFile = bar->addMenu(QStringLiteral("&File"));
  miNuovo = AddItem(mnFile, QStringLiteral("&Nuovo"), [this] { New(); });
  miApri = AddItem(mnFile, QStringLiteral("&Apri"), [this] { Open(); });
  miElimina = AddItem(mnFile, QStringLiteral("&Elimina"), [this] { Delete(); });
  miChiudi = mnFile->addAction(QStringLiteral("Chiudi"));
  miChiudi->setVisible(false);
  mnFile->addSeparator();
  miSalva = AddItem(
      mnFile, QStringLiteral("&Salva"), [this] { Save(); }, QKeySequence(Qt::CTRL | Qt::Key_S));
  mnFile->addSeparator();
  miImport = AddItem(
      mnFile, QStringLiteral("I&mport"), [this] { Import(); }, QKeySequence(Qt::CTRL | Qt::Key_I));
  mnStampa = mnFile->addMenu(QStringLiteral("Stam&pa"));
  miStampa = mnStampa->menuAction();
  miStampaFrontespizio = AddItem(mnStampa, QStringLiteral("&Frontespizio"), [this] { Print(0); });
  miStampaIK = AddItem(mnStampa, QStringLiteral("Quadro I&K"), [this] { Print(1); });
  miStampaIR = AddItem(mnStampa, QStringLiteral("Quadro I&R"), [this] { Print(2); });
  miStampaIS = AddItem(mnStampa, QStringLiteral("Quadro I&S"), [this] { Print(3); });
  // Ctrl+P opens the print submenu, so the clerk picks the page by keyboard.
  auto* printKey = new QAction(this);
  printKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  addAction(printKey);
  connect(printKey, &QAction::triggered, this, [this] {
    if (!miStampa->isEnabled()) return;
    mnStampa->popup(mapToGlobal(QPoint(40, menuBar()->height())));
  });
  mnFile->addSeparator();
  miEsci = AddItem(mnFile, QStringLiteral("&Esci"), [this] { close(); });
  ac1024 = AddItem(mnFile, QStringLiteral("ac1024"), [this] {
    showNormal();
    setGeometry(0, 0, 1024, 750);
  });
  // A developer's window size; no clerk needs it.
  ac1024->setVisible(false);
  connect(mnFile, &QMenu::aboutToShow, this,
          [this] { miImport->setEnabled(miSalva->isEnabled() && m_app.Connection().Connected()); });

  mnVisualizza = bar->addMenu(QStringLiteral("&Visualizza"));
  miVisFrontespizio =
      AddItem(mnVisualizza, QStringLiteral("&Frontespizio"), [this] { paMain->setCurrentIndex(0); });
  miVisIK = AddItem(mnVisualizza, QStringLiteral("Quadro I&K"), [this] { paMain->setCurrentIndex(1); });
  miVisIR = AddItem(mnVisualizza, QStringLiteral("Quadro I&R  1-34"), [this] { paMain->setCurrentIndex(2); });
  miVisIRVar =
      AddItem(mnVisualizza, QStringLiteral("&Quadro IR 35-43"), [this] { paMain->setCurrentIndex(3); });
  miVisIS = AddItem(mnVisualizza, QStringLiteral("Quadro I&S"), [this] { paMain->setCurrentIndex(4); });

  mnUtilita = bar->addMenu(QStringLiteral("&Utilità"));
  miCreaFileTel =
      AddItem(mnUtilita, QStringLiteral("Crea&zione file telematico"), [this] { CreaFileTelematico(); });
  miDettaglioErrori =
      AddItem(mnUtilita, QStringLiteral("Visualizza dettaglio errori"), [this] { OpenErrorDetail(); });
  connect(mnUtilita, &QMenu::aboutToShow, this,
          [this] { miDettaglioErrori->setEnabled(QFileInfo::exists(ErrorDetailPath())); });

  mnHelp = bar->addMenu(QStringLiteral("&?"));
  miNotizie = AddItem(mnHelp, QStringLiteral("Notizie sull'aggiornamento"), [this] { OpenReleaseNotes(); });
  miIstruzioni = AddItem(mnHelp, QStringLiteral("Istruzioni"), [this] { OpenInstructions(); });
  mnHelp->addSeparator();
  miInformazioni = AddItem(mnHelp, QStringLiteral("&Informazioni su..."), [this] { ShowAbout(); });

  BuildDevMenu();
}

void TfmZurMain::BuildDevMenu() {
  mnDev = menuBar()->addMenu(QStringLiteral("&Dev"));
  // The frame tools work on the frame that last had the focus.
  AddItem(mnDev, QStringLiteral("Salva lista DataField con nome..."),
          [this] { CollectFrameFields(m_selectedFrame, true); });
  AddItem(mnDev, QStringLiteral("Crea Dataset - XML di struttura con nome..."), [this] {
    const QStringList fields = CollectFrameFields(m_selectedFrame, false);
    if (!fields.isEmpty()) zurlayout::CreateDatasetXml(fields);
  });
  QMenu* tel = mnDev->addMenu(QStringLiteral("Crea XML per il file telematico"));
  AddItem(tel, QStringLiteral("Tutti i record"), [] {
    zurlayout::CreateRecordLayoutXml(QLatin1Char('A'));
    zurlayout::CreateRecordLayoutXml(QLatin1Char('B'));
  });
  for (const char letter : {'A', 'B', 'C', 'I', 'Z'})
    AddItem(tel, QStringLiteral("Record") + QLatin1Char(letter),
            [letter] { zurlayout::CreateRecordLayoutXml(QLatin1Char(letter)); });
  mnDev->addSeparator();
  AddItem(mnDev, QStringLiteral("Carica l'XML delle stampe da IRAP 2004"),
          [] { zurlayout::ExtractOldPrintLayout(); });
  AddItem(mnDev, QStringLiteral("Crea \"template.pdf\" per le stampe"), [this] {
    if (!m_dati.CreatePrintTemplate()) VxShowMessage(zurlayout::Annullato(), TMsgDlgType::Information);
  });
  mnDev->addSeparator();
  AddItem(mnDev, QStringLiteral("Esporta pagine da PDF"), [this] {
    TfmZurPaginePDF dialog(this);
    dialog.exec();
  });
  mnDev->menuAction()->setVisible(false);
}

void TfmZurMain::Guard(const std::function<void()>& command) {
  try {
    command();
  } catch (const EZurError& e) {
    if (e.kind() != EZurError::Kind::Cancelled || !e.message().isEmpty())
      VxShowMessage(e.message(), TMsgDlgType::Error);
  } catch (const std::exception& e) {
    VxShowMessage(QString::fromLocal8Bit(e.what()), TMsgDlgType::Error);
  }
}

// --- start-up and lifecycle ------------------------------------------------------------------

void TfmZurMain::EnterFirstDeclaration() {
  if (m_dati.cdsFrontespizio.IsEmpty()) {
    New();
  } else {
    m_dati.PostAll();
    Open();
  }
}

void TfmZurMain::BindFrames() {
  const std::pair<TZurDataSource*, TClientDataSet*> bindings[] = {
      {&frZurFrontespizio1->dsMain, &m_dati.cdsFrontespizio},
      {&frZurQuadroRX1->dsMain, &m_dati.cdsQuadroIS},
      {&frZurQuadroIK1->dsMain, &m_dati.cdsQuadroIK},
      {&frZurQuadroIR1->dsMain, &m_dati.cdsQuadroIR},
      {&frZurQuadroIRVar1->dsMain, &m_dati.cdsQuadroIRVar}};
  try {
    for (const auto& [source, dataSet] : bindings)
      if (!source->DataSet()) source->Attach(dataSet);
  } catch (const EZurError& e) {
    VxShowMessage(QStringLiteral("Errore bloccante durante l'assegnazione dei dati: \n\r") + e.message(),
                  TMsgDlgType::Error);
    UnbindFrames();
  }
}

void TfmZurMain::UnbindFrames() {
  for (TZurDataSource* source :
       {&frZurFrontespizio1->dsMain, &frZurQuadroRX1->dsMain, &frZurQuadroIK1->dsMain,
        &frZurQuadroIR1->dsMain, &frZurQuadroIRVar1->dsMain})
    source->Attach(nullptr);
}

void TfmZurMain::AfterLifecycleCommand() {
  BindFrames();
  const bool current = m_dati.CurrentDeclarationId() > 0;
  const int covers = m_dati.cdsFrontespizio.Active() ? m_dati.cdsFrontespizio.RecordCount() : 0;
  miNuovo->setEnabled(true);
  miApri->setEnabled(covers > 0);
  miElimina->setEnabled(covers > 0);
  // Saving, importing and printing need a declaration to work on: after the
  // last one is deleted, or a first one is not created, they wait for New.
  miSalva->setEnabled(current);
  miImport->setEnabled(current);
  miStampa->setEnabled(current);
  miCreaFileTel->setEnabled(current);
  paMain->setCurrentIndex(pgFrontespizio);
}

void TfmZurMain::New() {
  m_dati.New();
  AfterLifecycleCommand();
  frZurFrontespizio1->ClearSex();
}

void TfmZurMain::Open() {
  m_dati.Open();
  AfterLifecycleCommand();
  frZurFrontespizio1->ShowSex();
}

void TfmZurMain::Delete() {
  const bool deleted = m_dati.Delete();
  if (deleted) AfterLifecycleCommand();
}

std::optional<bool> TfmZurMain::SaveWithChecks() {
  try {
    return m_dati.SaveAll(true);
  } catch (const EZurError& e) {
    VxShowMessage(QStringLiteral("Il modello IRAP non è stato salvato:\n%1\nLe modifiche restano in memoria: "
                                 "correggere e salvare di nuovo.")
                      .arg(e.message()),
                  TMsgDlgType::Error);
    m_dati.SetModified(true);
    return std::nullopt;
  }
}

void TfmZurMain::Save() {
  SaveWithChecks();
}

void TfmZurMain::Import() {
  TfmZurImport dialog(m_dati, m_app.Params(), this);
  dialog.exec();
}

void TfmZurMain::Print(int group) {
  if (m_dati.Modified()) {
    if (VxMessageDlg(
            QStringLiteral("E' necessario salvare il modello IRAP prima di creare la stampa.\n\rSalvare il "
                           "modello IRAP?"),
            TMsgDlgType::Information, TMsgDlgButtons::YesNoCancel) != TModalResult::Yes)
      return;
    // What the checks found is no reason not to print; a save that failed is.
    if (!SaveWithChecks().has_value()) return;
  }
  TWaitCursor wait;
  switch (group) {
  case 0:
    m_dati.PrintFrontespizio();
    break;
  case 1:
    m_dati.PrintQuadroIK();
    break;
  case 2:
    m_dati.PrintQuadroIR();
    break;
  default:
    m_dati.PrintQuadroIS();
    break;
  }
}

void TfmZurMain::CreaFileTelematico() {
  const std::optional<bool> passed = SaveWithChecks();
  if (!passed.value_or(false)) return;
  // The program's telematic module when the host gave one; the module keeps
  // nothing between runs, so one of the window's own serves the same.
  TdmZurFileTelIRAP own(m_dati);
  TfmZurFileTelematico dialog(m_fileTel ? *m_fileTel : own, m_dati, this);
  dialog.exec();
}

// --- documents ----------------------------------------------------------------------------------

QString TfmZurMain::ErrorDetailPath() {
  return TdmZurFileTelIRAP::ErrorDetailPath();
}

QString TfmZurMain::ReleaseNotesPath() {
  return zur::RootDir() + QStringLiteral("USR/FR2024/Res/NoteAgg/news.pdf");
}

QString TfmZurMain::ReleaseNotesMarker() {
  return zur::RootDir() + QStringLiteral("USR/FR2024/Res/NoteAgg/Check.txt");
}

QString TfmZurMain::InstructionsPath() {
  return zur::RootDir() + QStringLiteral("USR/FR2024/Res/IRAP_istr.pdf");
}

bool TfmZurMain::DeveloperMode() {
  return QFileInfo::exists(zur::RootDir() + QLatin1String(zur::kDevMarker));
}

void TfmZurMain::OpenErrorDetail() {
  const QString path = ErrorDetailPath();
  if (!QFileInfo::exists(path)) {
    VxShowMessage(QStringLiteral("Il file con il dettaglio degli errori non esiste."),
                  TMsgDlgType::Information);
    return;
  }
  Platform().OpenDocument(path);
}

void TfmZurMain::OpenReleaseNotes() {
  const QString marker = ReleaseNotesMarker();
  if (QFileInfo::exists(marker) && !QFile::remove(marker))
    VxShowMessage(QStringLiteral("Impossibile cancellare il file %1.").arg(QDir::toNativeSeparators(marker)),
                  TMsgDlgType::Warning);
  Platform().OpenDocument(ReleaseNotesPath());
}

void TfmZurMain::OpenInstructions() {
  Platform().OpenDocument(InstructionsPath());
}

QString TfmZurMain::AboutText() const {
  return QStringLiteral("%1\nProgramma IRAP versione %2\nQt %3\nDatabase: %4")
      .arg(zur::ApplicationTitle(), QStringLiteral(ZUR_VERSION), QString::fromLatin1(qVersion()),
           WithoutPassword(zur::DatabaseUrl(m_app.Options().databaseUrl)));
}

void TfmZurMain::ShowAbout() {
  VxShowMessage(AboutText(), TMsgDlgType::Information);
}

// --- events ---------------------------------------------------------------------------------------

void TfmZurMain::PageChanged(int index) {
  if (index == pgIRVar) frZurQuadroIRVar1->GoFirstRow();
  if (index == pgIR)
    VxShowMessage(
        QStringLiteral("Attenzione i dati di queste sezioni devono essere compilati solo in casi "
                       "particolari.\r\nVedere le notizie sull'aggiornamento e le relative istruzioni del "
                       "modello."),
        TMsgDlgType::Warning);
}

void TfmZurMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_shown) return;
  m_shown = true;
  DecorateDataControls(this);
  // The frame that receives the focus becomes the selected one, for the
  // developer tools; in developer mode the caption names it.
  m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    for (QWidget* frame : {tsFrontespizio, tsIK, tsIR, tsIRVar, tsIS})
      if (now && frame->isAncestorOf(now) && frame != m_selectedFrame) {
        m_selectedFrame = frame;
        if (DeveloperMode())
          setWindowTitle(frame->objectName() + QStringLiteral(" - ") + zur::ApplicationTitle());
      }
  });
  StatusPanel->setText(QStringLiteral("Provvedimento di approvazione del 14/03/2025"));
  // The show handler's work asks questions and opens documents; it runs once
  // the window is on screen, so its dialogs have a parent to sit on.
  QTimer::singleShot(0, this, [this] {
    Guard([this] {
      if (QFileInfo::exists(ReleaseNotesMarker())) OpenReleaseNotes();
      if (DeveloperMode()) {
        mnDev->menuAction()->setVisible(true);
        InstallFieldNameHooks(this);
      }
    });
  });
}

bool TfmZurMain::CloseQuery() {
  if (m_dati.Modified()) {
    switch (VxMessageDlg(QStringLiteral("Salvare le modifiche apportate al modello IRAP prima di uscire?"),
                         TMsgDlgType::Information, TMsgDlgButtons::YesNoCancel)) {
    case TModalResult::Yes:
      // Closing after a failed save would throw the clerk's edits away.
      return SaveWithChecks().has_value();
    case TModalResult::No:
      return true;
    default:
      return false;
    }
  }
  return VxMessageDlg(QStringLiteral("Confermi l'uscita dal programma?"), TMsgDlgType::Confirmation,
                      TMsgDlgButtons::YesNo) == TModalResult::Yes;
}

void TfmZurMain::closeEvent(QCloseEvent* event) {
  bool close = false;
  Guard([&] { close = CloseQuery(); });
  if (close)
    event->accept();
  else
    event->ignore();
}
