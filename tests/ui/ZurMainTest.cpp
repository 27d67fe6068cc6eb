// The window program driven as a clerk drives it: start-up on a demo
// database, the main window's menus and their rules, the lifecycle commands
// through the choice dialog, printing, documents and the close query.
#include "db/FamilySchema.h"
#include "db/ZurConnection.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "platform/zurUGlobal.h"
#include "support/TestDatabase.h"
#include "ui/MainWindowFixture.h"
#include "ui/UiTestSupport.h"
#include "ui/zurFMain.h"
#include "ui/zurFMainForm.h"
#include "ui/zurFScegliIrap.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace zurtest;

namespace {
class TZurMainTest : public TMainWindowTest {};
} // namespace

TEST_F(TZurMainTest, FirstRunCreatesTheSchoolsDeclarationAndTheMenuFollowsItsRules) {
  platform.AnswerInput(Q(kSchool));
  TfmZurMain* w = Start();
  ASSERT_NE(w, nullptr);
  // No cover page: start-up went straight into New, offering the school's code.
  ASSERT_EQ(platform.inputPrompts.size(), 1);
  EXPECT_EQ(platform.inputPrompts[0],
            Q("Codice fiscale sostituto: Inserire il codice fiscale del sostituto per la dichiarazione"));
  EXPECT_EQ(Dati().CurrentDeclarationId(), 1000001);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->isMaximized());
  EXPECT_EQ(w->windowTitle(), Q("Modello IRAP/2025 Redd.24"));
  EXPECT_EQ(w->StatusPanel->text(), Q("Provvedimento di approvazione del 14/03/2025"));

  ASSERT_EQ(w->paMain->count(), 5);
  QStringList tabs;
  for (int i = 0; i < 5; ++i)
    tabs << w->paMain->tabText(i);
  EXPECT_EQ(tabs, (QStringList{Q("Frontespizio"), Q("Quadro IK"), Q("Quadro IR 1-31 / 41"),
                               Q("Quadro IR 32 - 40"), Q("Quadro IS")}));
  for (const char* name :
       {"frZurFrontespizio1", "frZurQuadroIK1", "frZurQuadroIR1", "frZurQuadroIRVar1", "frZurQuadroRX1"})
    EXPECT_NE(w->paMain->findChild<QWidget*>(Q(name)), nullptr) << name;

  EXPECT_EQ(Captions(w->mnFile),
            (QStringList{Q("&Nuovo"), Q("&Apri"), Q("&Elimina"), Q("Chiudi (nascosta)"), Q("-"), Q("&Salva"),
                         Q("-"), Q("I&mport"), Q("Stam&pa"), Q("-"), Q("&Esci"), Q("ac1024 (nascosta)")}));
  EXPECT_EQ(Captions(w->mnStampa),
            (QStringList{Q("&Frontespizio"), Q("Quadro I&K"), Q("Quadro I&R"), Q("Quadro I&S")}));
  EXPECT_EQ(Captions(w->mnVisualizza),
            (QStringList{Q("&Frontespizio"), Q("Quadro I&K"), Q("Quadro I&R  1-34"), Q("&Quadro IR 35-43"),
                         Q("Quadro I&S")}));
  EXPECT_EQ(Captions(w->mnUtilita),
            (QStringList{Q("Crea&zione file telematico"), Q("Visualizza dettaglio errori")}));
  EXPECT_EQ(Captions(w->mnHelp), (QStringList{Q("Notizie sull'aggiornamento"), Q("Istruzioni"), Q("-"),
                                              Q("&Informazioni su...")}));
  EXPECT_EQ(w->miSalva->shortcut(), QKeySequence(Q("Ctrl+S")));
  EXPECT_EQ(w->miImport->shortcut(), QKeySequence(Q("Ctrl+I")));
  EXPECT_FALSE(w->mnDev->menuAction()->isVisible()) << "senza il file ETC/ZUR/dev";
  for (QAction* a : {w->miNuovo, w->miApri, w->miSalva, w->miImport, w->miStampa})
    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();

  // The error-detail item follows its file.
  emit w->mnUtilita->aboutToShow();
  EXPECT_FALSE(w->miDettaglioErrori->isEnabled());
  QDir().mkpath(Root("USR/FR2024/Res/Dich"));
  QFile f(Root("USR/FR2024/Res/Dich/IRAP2025_logSchema.xml"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  emit w->mnUtilita->aboutToShow();
  EXPECT_TRUE(w->miDettaglioErrori->isEnabled());
  w->miDettaglioErrori->trigger();
  EXPECT_EQ(platform.opened, QStringList{f.fileName()});

  // The menus answer the keyboard: Ctrl+S saves (the new declaration's checks
  // find what is still missing and show it in the information window).
  platform.Clear();
  Dati().cdsFrontespizio.Edit();
  EXPECT_TRUE(Dati().Modified());
  QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(Dati().Modified());
  EXPECT_EQ(platform.infos.size(), 1u);

  // The telematic file: its checks fail on the new declaration, so the
  // findings show and its dialog does not open.
  platform.Clear();
  w->miCreaFileTel->trigger();
  EXPECT_EQ(platform.infos.size(), 1u);
  EXPECT_TRUE(platform.messages.empty());

  // Showing the IR page warns; the other pages do not.
  platform.Clear();
  w->miVisIK->trigger();
  EXPECT_TRUE(platform.messages.empty());
  w->miVisIR->trigger();
  EXPECT_EQ(w->paMain->currentIndex(), 2);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_TRUE(platform.messages[0].text.startsWith(Q("Attenzione i dati di queste sezioni")));
  EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Warning);

  // "I&mport" opens the import window (driven in DialogsTest).
  platform.Clear();
  QString importTitle;
  WhenModal([&](QWidget* dlg) {
    importTitle = dlg->windowTitle();
    QTest::keyClick(dlg, Qt::Key_Escape);
  });
  w->miImport->trigger();
  EXPECT_EQ(importTitle, Q("Importazione dati dichiarazione"));
  EXPECT_TRUE(platform.messages.empty());

  platform.Clear();
  w->miInformazioni->trigger();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_TRUE(platform.messages[0].text.contains(Q("Modello IRAP/2025 Redd.24")));
  EXPECT_TRUE(platform.messages[0].text.contains(m_db->Url()));

  // Closing without changes asks only for confirmation; No keeps the program.
  platform.Clear();
  CloseWith({TModalResult::No});
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(platform.MessageTexts(), QStringList{Q("Confermi l'uscita dal programma?")});
  CloseWith({TModalResult::Yes});
  EXPECT_FALSE(w->isVisible());
}

TEST_F(TZurMainTest, OpenNewAndDeleteGoThroughTheChoiceDialog) {
  platform.AnswerInput(Q(kSchool));
  ASSERT_NE(Start(), nullptr);
  platform.AnswerInput(Q("RSSMRA80A01H501U"));
  m_host->MainWindow()->New();
  ASSERT_EQ(Dati().CurrentDeclarationId(), 1000002);
  m_host.reset();

  // Two declarations: start-up shows the choice; the clerk moves down and
  // presses "Scegli".
  QString label;
  WhenModal([&](QWidget* dlg) {
    auto* choice = dynamic_cast<TfmZurScegliIrap*>(dlg);
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(dlg->windowTitle(), Q("Scelta modello di lavoro"));
    label = choice->Label1->text();
    EXPECT_EQ(choice->dbgDati->rowCount(), 2);
    EXPECT_EQ(choice->buNew->text(), Q("&Nuovo"));
    QTest::keyClick(choice->dbgDati, Qt::Key_Down);
    QTest::mouseClick(choice->buOk, Qt::LeftButton);
  });
  TfmZurMain* w = Start();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(label.startsWith(Q("Sono presenti più modelli IRAP")));
  EXPECT_EQ(Dati().CurrentDeclarationId(), 1000002);
  EXPECT_TRUE(w->miApri->isEnabled());

  // "Apri", then "Nuovo" in the dialog (Enter: the default button) runs New;
  // a code that exists in other letter case is refused.
  WhenModal([](QWidget* dlg) { QTest::keyClick(dlg, Qt::Key_Return); });
  platform.AnswerInput(Q("rssmra80a01h501u"));
  w->miApri->trigger();
  EXPECT_EQ(
      platform.inputPrompts.last(),
      Q("Codice fiscale sostituto: Inserire il codice fiscale per la dichiarazione(quella con codice ") +
          Q(kSchool) + Q(" è già stata creata)"));
  EXPECT_EQ(platform.messages.back().text,
            Q("Impossibile procedere: dichiarazione con C.F. rssmra80a01h501u già creata!"));
  EXPECT_EQ(Dati().cdsFrontespizio.RecordCount(), 2);

  // "Scegli" with nothing selected is refused and the dialog stays.
  platform.Clear();
  WhenModal([&](QWidget* dlg) {
    auto* choice = dynamic_cast<TfmZurScegliIrap*>(dlg);
    ASSERT_NE(choice, nullptr);
    choice->dbgDati->setCurrentCell(-1, -1);
    QTest::mouseClick(choice->buOk, Qt::LeftButton);
    EXPECT_TRUE(choice->isVisible());
    choice->dbgDati->setCurrentCell(0, 0);
    QTest::mouseClick(choice->buOk, Qt::LeftButton);
  });
  w->miApri->trigger();
  EXPECT_EQ(platform.MessageTexts(),
            QStringList{Q("E' necessario selezionare un codice fiscale per procedere!")});
  EXPECT_EQ(Dati().CurrentDeclarationId(), 1000001);

  // "Elimina": "Annulla" in the dialog deletes nothing.
  WhenModal([&](QWidget* dlg) {
    auto* choice = dynamic_cast<TfmZurScegliIrap*>(dlg);
    ASSERT_NE(choice, nullptr);
    label = choice->Label1->text();
    EXPECT_EQ(choice->buNew->text(), Q("&Annulla"));
    QTest::mouseClick(choice->buNew, Qt::LeftButton);
  });
  w->miElimina->trigger();
  EXPECT_EQ(label, Q("Scegliere il codice fiscale relativo\nalla dichiarazione da eliminare"));
  EXPECT_EQ(Dati().cdsFrontespizio.RecordCount(), 2);

  // Chosen and confirmed: the declaration is gone, the other becomes current.
  platform.Clear();
  WhenModal([](QWidget* dlg) {
    auto* choice = dynamic_cast<TfmZurScegliIrap*>(dlg);
    choice->dbgDati->setCurrentCell(0, 0);
    QTest::mouseClick(choice->buOk, Qt::LeftButton);
  });
  platform.AnswerMessage(TModalResult::Yes);
  w->miElimina->trigger();
  EXPECT_EQ(platform.MessageTexts(), QStringList{Q("Confermi la cancellazione del modello?")});
  Dati().cdsFrontespizio.SetFiltered(false);
  EXPECT_EQ(Dati().cdsFrontespizio.RecordCount(), 1);
  EXPECT_EQ(Dati().CurrentDeclarationId(), 1000002);
  EXPECT_TRUE(w->miSalva->isEnabled());

  // Deleting the last one leaves nothing to save or print until New.
  WhenModal(
      [](QWidget* dlg) { QTest::mouseClick(dynamic_cast<TfmZurScegliIrap*>(dlg)->buOk, Qt::LeftButton); });
  platform.AnswerMessage(TModalResult::Yes);
  w->miElimina->trigger();
  EXPECT_EQ(Dati().CurrentDeclarationId(), 0);
  EXPECT_FALSE(w->miSalva->isEnabled());
  EXPECT_FALSE(w->miStampa->isEnabled());
  EXPECT_TRUE(w->miNuovo->isEnabled());
  CloseWith({TModalResult::Yes});
  EXPECT_TRUE(platform.Exhausted());
}

TEST_F(TZurMainTest, PrintAndCloseAskToSaveAndAFailedSaveKeepsTheEdits) {
  QDir().mkpath(Root("USR/FR2024/Res/NoteAgg"));
  QFile marker(Root("USR/FR2024/Res/NoteAgg/Check.txt"));
  ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
  marker.close();
  QDir().mkpath(Root("ETC/ZUR"));
  QFile dev(Root("ETC/ZUR/dev"));
  ASSERT_TRUE(dev.open(QIODevice::WriteOnly));
  dev.close();
  platform.AnswerInput(Q(kSchool));
  TfmZurMain* w = Start();
  ASSERT_NE(w, nullptr);
  // Developer mode shows the Dev menu (its tools have their own tests).
  EXPECT_TRUE(w->mnDev->menuAction()->isVisible());
  // Ctrl+P opens the print submenu.
  QTest::keyClick(w, Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(w->mnStampa->isVisible());
  w->mnStampa->hide();
  // The release notes open once, at the first show, and the marker goes.
  EXPECT_EQ(platform.opened, QStringList{Root("USR/FR2024/Res/NoteAgg/news.pdf")});
  EXPECT_FALSE(QFile::exists(marker.fileName()));
  w->miNotizie->trigger();
  w->miIstruzioni->trigger();
  EXPECT_EQ(platform.opened,
            (QStringList{Root("USR/FR2024/Res/NoteAgg/news.pdf"), Root("USR/FR2024/Res/NoteAgg/news.pdf"),
                         Root("USR/FR2024/Res/IRAP_istr.pdf")}));

  // An edit, then a print answered No: nothing printed, nothing saved.
  platform.Clear();
  Dati().cdsFrontespizio.Edit();
  Dati().cdsFrontespizio.FieldByName(Q("SIRAPEMAIL")).SetAsString(Q("segreteria@scuola.it"));
  Dati().cdsFrontespizio.Post();
  const QString printed = Root("USR/FR2024/Stp/Frontespizio.pdf");
  platform.AnswerMessage(TModalResult::No);
  w->miStampaFrontespizio->trigger();
  EXPECT_EQ(
      platform.MessageTexts(),
      QStringList{
          Q("E' necessario salvare il modello IRAP prima di creare la stampa.\n\rSalvare il modello IRAP?")});
  EXPECT_FALSE(QFile::exists(printed));
  EXPECT_TRUE(platform.opened.isEmpty());
  EXPECT_TRUE(Dati().Modified());
  EXPECT_GT(Dati().cdsFrontespizio.ChangeCount(), 0);

  // Yes: saved (the checks' findings do not stop the print), printed, opened.
  platform.Clear();
  platform.AnswerMessage(TModalResult::Yes);
  w->miStampaFrontespizio->trigger();
  EXPECT_FALSE(Dati().Modified());
  EXPECT_TRUE(QFile::exists(printed));
  EXPECT_EQ(platform.opened, QStringList{printed});

  // The close query with pending changes: Cancel stays, a save that fails
  // stays with the edits kept, No closes without saving.
  platform.Clear();
  Dati().cdsFrontespizio.Edit();
  Dati().cdsFrontespizio.FieldByName(Q("SIRAPEMAIL")).SetAsString(Q("altra@scuola.it"));
  Dati().cdsFrontespizio.Post();
  CloseWith({TModalResult::Cancel});
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(platform.MessageTexts(),
            QStringList{Q("Salvare le modifiche apportate al modello IRAP prima di uscire?")});

  // The database goes away under the window: the save fails.
  platform.Clear();
  m_host->Application()->Connection().CloseConnection();
  CloseWith({TModalResult::Yes});
  EXPECT_TRUE(w->isVisible());
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1].type, TMsgDlgType::Error);
  EXPECT_TRUE(platform.messages[1].text.startsWith(Q("Il modello IRAP non è stato salvato")));
  EXPECT_TRUE(Dati().Modified());
  EXPECT_EQ(Dati().cdsFrontespizio.FieldByName(Q("SIRAPEMAIL")).AsString(), Q("altra@scuola.it"));

  CloseWith({TModalResult::No});
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(platform.Exhausted());
}

TEST_F(TZurMainTest, StartUpFailuresAreShownAndLeaveNoWindow) {
  // A database that is not there.
  m_db.reset();
  TZurApplication::TOptions o;
  o.rootDir = m_root.path();
  o.databaseUrl = m_root.filePath(Q("manca.sqlite"));
  o.executableName = Q("zur24");
  o.version = Q(ZUR_VERSION);
  m_host = std::make_unique<TfmZurMainForm>(o, &platform);
  EXPECT_EQ(m_host->StartUp(), nullptr);
  EXPECT_EQ(m_host->MainWindow(), nullptr);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Error);
  EXPECT_TRUE(platform.messages[0].text.contains(Q("manca.sqlite")));

  // A damaged query repository: the exception's message in an error box.
  platform.Clear();
  m_host.reset();
  QFile repo(m_root.filePath(Q("etc/qen/qen_QueryText.cds")));
  ASSERT_TRUE(repo.open(QIODevice::WriteOnly | QIODevice::Truncate));
  repo.write("<DATAPACKET><rotto");
  repo.close();
  m_host = std::make_unique<TfmZurMainForm>(o, &platform);
  EXPECT_EQ(m_host->StartUp(), nullptr);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Error);
  int visible = 0;
  for (QWidget* top : QApplication::topLevelWidgets())
    visible += top->isVisible() ? 1 : 0;
  EXPECT_EQ(visible, 0);
}
