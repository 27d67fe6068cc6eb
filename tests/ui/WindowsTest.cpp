// The shared windows on their own: the search dialog's keys and search, the
// information window's notepad file, the wait window's progress and the
// platform's file-dialog helpers.
#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"
#include "ui/UiTestSupport.h"
#include "ui/ZurQtPlatform.h"
#include "ui/nymFRicerca.h"
#include "ui/nymFWait.h"
#include "ui/zurFInfo.h"
#include "ui/zurFMainForm.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

// Schools by code (a number) and name: 5, 12, 120, 7, 1200 / names whose
// order differs from the codes'.
void FillSchools(TClientDataSet& ds) {
  ds.AddFieldDef(Q("CODICE"), TFieldType::Integer);
  ds.AddFieldDef(Q("NOME"), TFieldType::String, 40);
  ds.CreateDataSet();
  const std::pair<int, const char*> rows[] = {{120, "Liceo Galilei"},
                                              {5, "Istituto 12 Ottobre"},
                                              {1200, "Scuola Verdi"},
                                              {12, "Convitto Nazionale"},
                                              {7, "12 Apostoli"}};
  for (const auto& [code, name] : rows) {
    ds.Append();
    ds.FieldByName(Q("CODICE")).SetAsString(QString::number(code));
    ds.FieldByName(Q("NOME")).SetAsString(Q(name));
    ds.Post();
  }
}

int Code(TfmNymRicerca& dlg) {
  return dlg.cdsSearch.FieldByName(Q("CODICE")).AsString().toInt();
}

} // namespace

TEST(TfmNymRicerca, SearchesTheSortFieldAndMovesByKeyboard) {
  TfmNymRicerca dlg;
  FillSchools(dlg.cdsSearch);
  dlg.SetInitialTextSource([] { return Q("12"); });
  dlg.DataOpened();
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  EXPECT_EQ(dlg.windowTitle(), Q("Finestra di ricerca"));
  EXPECT_EQ(dlg.laCampo->text(), Q("CODICE"));
  // The initial text searched at once: a numeric field matches exactly.
  EXPECT_EQ(dlg.edValue->text(), Q("12"));
  EXPECT_EQ(Code(dlg), 12);
  EXPECT_EQ(dlg.grSearch->currentRow(), 2) << "ordinata per CODICE: 5, 7, 12, 120, 1200";
  EXPECT_TRUE(dlg.edValue->hasFocus());

  // Typing: "120" is found exactly, "1" alone finds nothing and stays.
  dlg.edValue->clear();
  QTest::keyClicks(dlg.edValue, Q("120"));
  EXPECT_EQ(Code(dlg), 120);
  dlg.edValue->clear();
  QTest::keyClicks(dlg.edValue, Q("1"));
  EXPECT_EQ(Code(dlg), 120);

  // Arrows, pages, Ctrl+Home and Ctrl+End move the grid from the edit.
  QTest::keyClick(dlg.edValue, Qt::Key_Down);
  EXPECT_EQ(Code(dlg), 1200);
  QTest::keyClick(dlg.edValue, Qt::Key_Down);
  EXPECT_EQ(Code(dlg), 1200);
  QTest::keyClick(dlg.edValue, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Code(dlg), 5);
  EXPECT_EQ(dlg.grSearch->currentRow(), 0);
  QTest::keyClick(dlg.edValue, Qt::Key_Up);
  EXPECT_EQ(Code(dlg), 5);
  QTest::keyClick(dlg.edValue, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(Code(dlg), 1200);
  QTest::keyClick(dlg.edValue, Qt::Key_PageUp);
  EXPECT_EQ(Code(dlg), 5) << "la griglia mostra tutte e cinque le righe";
  // Home without Ctrl belongs to the edit: the caret moves, the record stays.
  QTest::keyClick(dlg.edValue, Qt::Key_Down);
  dlg.edValue->setText(Q("abc"));
  const int before = Code(dlg);
  QTest::keyClick(dlg.edValue, Qt::Key_Home);
  EXPECT_EQ(Code(dlg), before);
  EXPECT_EQ(dlg.edValue->cursorPosition(), 0);
  // Right and left move the grid's column, not the caret.
  QTest::keyClick(dlg.edValue, Qt::Key_Right);
  EXPECT_EQ(dlg.grSearch->currentColumn(), 1);
  QTest::keyClick(dlg.edValue, Qt::Key_Right);
  EXPECT_EQ(dlg.grSearch->currentColumn(), 1);
  EXPECT_EQ(dlg.edValue->cursorPosition(), 0);
  QTest::keyClick(dlg.edValue, Qt::Key_Left);
  EXPECT_EQ(dlg.grSearch->currentColumn(), 0);

  // A click on the NOME title sorts by name and searches text by prefix.
  QHeaderView* header = dlg.grSearch->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
  EXPECT_EQ(dlg.laCampo->text(), Q("NOME"));
  EXPECT_TRUE(dlg.edValue->text().isEmpty());
  QTest::keyClicks(dlg.edValue, Q("12"));
  EXPECT_EQ(dlg.cdsSearch.FieldByName(Q("NOME")).AsString(), Q("12 Apostoli"));
  QTest::keyClicks(dlg.edValue, Q(" O"));
  EXPECT_EQ(Code(dlg), 7) << "nessun nome comincia con \"12 O\": il record resta";
  dlg.edValue->setText(Q("sc"));
  EXPECT_EQ(dlg.cdsSearch.FieldByName(Q("NOME")).AsString(), Q("Scuola Verdi"));
  EXPECT_EQ(dlg.grSearch->item(dlg.grSearch->currentRow(), 1)->text(), Q("Scuola Verdi"));

  // Enter is OK, with the dataset on the chosen record.
  QTest::keyClick(dlg.edValue, Qt::Key_Return);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(Code(dlg), 1200);
}

TEST(TfmZurInfo, ShowsTheLinesAndWritesThemForTheNotepad) {
  TUiTestPlatform platform;
  SetPlatform(&platform);
  TfmZurInfo info;
  info.SetLines({Q(" - Dato Errato : uno"), Q(" - Dato Mancante : due è")});
  EXPECT_EQ(info.windowTitle(), Q("Informazioni"));
  EXPECT_TRUE(info.meInfo->isReadOnly());
  EXPECT_FALSE(info.buYes->isVisible());
  EXPECT_FALSE(info.laInfo->isVisible());
  QTest::mouseClick(info.buBloccoNote, Qt::LeftButton);
  ASSERT_EQ(platform.opened.size(), 1);
  EXPECT_TRUE(platform.opened[0].endsWith(Q(".txt")));
  QFile f(platform.opened[0]);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(f.readAll()), Q(" - Dato Errato : uno\n - Dato Mancante : due è\n"));
  f.remove();
  SetPlatform(nullptr);
}

TEST(TZurQtPlatform, FiltersExtensionsAndTheWaitWindowsProgress) {
  EXPECT_EQ(TZurQtPlatform::QtFilter(Q("File XML|*.xml|Tutti i file|*.*")),
            Q("File XML (*.xml);;Tutti i file (*.*)"));
  EXPECT_EQ(TZurQtPlatform::QtFilter(Q("PDF|*.pdf;*.PDF")), Q("PDF (*.pdf *.PDF)"));
  EXPECT_EQ(TZurQtPlatform::QtFilter(Q("PDF (*.pdf)")), Q("PDF (*.pdf)"));
  EXPECT_EQ(TZurQtPlatform::WithDefaultExt(Q("/tmp/IRAP2025"), Q("xml")), Q("/tmp/IRAP2025.xml"));
  EXPECT_EQ(TZurQtPlatform::WithDefaultExt(Q("/tmp/IRAP2025.txt"), Q(".xml")), Q("/tmp/IRAP2025.txt"));
  EXPECT_EQ(TZurQtPlatform::WithDefaultExt(Q("/tmp/IRAP2025"), Q(".xml")), Q("/tmp/IRAP2025.xml"));

  TZurQtPlatform platform;
  platform.ShowWaitWindow(true);
  platform.ShowWaitWindow(true);
  TfmNymWait& wait = platform.WaitWindow();
  EXPECT_TRUE(wait.isVisible());
  EXPECT_EQ(wait.windowTitle(), Q("Attendere..."));
  EXPECT_EQ(wait.pbWait->maximum(), 0) << "senza totale: indicatore di attività";
  platform.WaitProgress(250, 1000);
  EXPECT_EQ(wait.pbWait->maximum(), 1000);
  EXPECT_EQ(wait.pbWait->value(), 250);
  wait.SetProgress(3'000'000, 6'000'000);
  EXPECT_EQ(wait.pbWait->value(), 500);
  platform.ShowWaitWindow(false);
  EXPECT_TRUE(wait.isVisible()) << "le chiamate si annidano";
  platform.ShowWaitWindow(false);
  EXPECT_FALSE(wait.isVisible());
  platform.SetWaitCursor(true);
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  platform.SetWaitCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(TZurGuiApplication, AnErrorInAHandlerBecomesAMessageAndTheLoopGoesOn) {
  struct TThrowing : QObject {
    bool event(QEvent* e) override {
      if (e->type() == QEvent::User) throw EZurError(QStringLiteral("Impossibile salvare: disco pieno."));
      return QObject::event(e);
    }
  } target;
  TUiTestPlatform platform;
  SetPlatform(&platform);
  ASSERT_NE(dynamic_cast<TZurGuiApplication*>(QCoreApplication::instance()), nullptr);
  QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
  QCoreApplication::processEvents();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, Q("Impossibile salvare: disco pieno."));
  EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Error);
  SetPlatform(nullptr);
}
