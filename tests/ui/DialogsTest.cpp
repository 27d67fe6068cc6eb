// The working dialogs driven as a clerk or a developer drives them, from the
// main window's menus on a demo database: the import, the page export and
// the developer menu's layout tools.
#include "db/FamilySchema.h"
#include "db/ZurQuery.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/ZurDeclarationJson.h"
#include "declaration/zurMDati.h"
#include "platform/zurUGlobal.h"
#include "print/PrintTestSupport.h"
#include "support/DeclarationFixture.h"
#include "support/TestDatabase.h"
#include "ui/UiTestSupport.h"
#include "ui/zurFFileTelematico.h"
#include "ui/zurFFrames.h"
#include "ui/zurFImport.h"
#include "ui/zurFMain.h"
#include "ui/zurFMainForm.h"
#include "ui/zurFPaginePDF.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

const char* kSchool = "97123450583";

void CopyTree(const QString& from, const QString& to) {
  QDir().mkpath(to);
  for (const QFileInfo& fi : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (fi.isDir())
      CopyTree(fi.filePath(), to + QLatin1Char('/') + fi.fileName());
    else
      QFile::copy(fi.filePath(), to + QLatin1Char('/') + fi.fileName());
  }
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// The test platform with a hand inside the work: whatever the test puts in
// onProcessMessages runs each time a long operation lets the window repaint.
class TDialogPlatform : public TUiTestPlatform {
public:
  std::function<void()> onProcessMessages;
  void ProcessMessages() override {
    TUiTestPlatform::ProcessMessages();
    if (onProcessMessages) onProcessMessages();
  }
};

// Counts the paint events a widget receives while the import runs.
class TPaintCounter : public QObject {
public:
  explicit TPaintCounter(const TfmZurImport& dialog) : m_dialog(dialog) {}
  int paints = 0;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && m_dialog.Running()) ++paints;
    return QObject::eventFilter(o, e);
  }

private:
  const TfmZurImport& m_dialog;
};

class TDialogsTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_savedRoot = zur::RootDir();
    CopyTree(Q(ZUR_SOURCE_DIR "/resources"), m_root.path());
    m_db = std::make_unique<zurtest::TTestDatabase>("sqlite");
    TFamilySchema::Create(m_db->Connection(), true, TZurCatalogue::WriteStructureRows);
  }
  void TearDown() override {
    m_host.reset();
    zur::SetRootDir(m_savedRoot);
  }

  QString Root(const char* rel) const { return m_root.filePath(Q(rel)); }
  QString Out(const char* name) const { return m_out.filePath(Q(name)); }

  // Start-up on the demo database with a new declaration of the school.
  TfmZurMain* Start(bool developer = false) {
    if (developer) {
      QDir().mkpath(Root("ETC/ZUR"));
      Write(Root("ETC/ZUR/dev"), {});
    }
    platform.AnswerInput(Q(kSchool));
    TZurApplication::TOptions o;
    o.rootDir = m_root.path();
    o.databaseUrl = m_db->Url();
    o.executableName = Q("zur24");
    o.version = Q(ZUR_VERSION);
    m_host = std::make_unique<TfmZurMainForm>(o, &platform);
    TfmZurMain* w = m_host->StartUp();
    if (w) QTest::qWait(150);
    platform.Clear();
    return w;
  }
  TdmZurDati& Dati() { return m_host->Application()->Dati(); }

  // Opens a modal dialog with trigger and drives it with drive; the dialog
  // is closed afterwards whatever drive asserted.
  template <class TDialog>
  void Drive(const std::function<void()>& trigger, const std::function<void(TDialog&)>& drive) {
    bool driven = false;
    WhenModal([&](QWidget* modal) {
      auto* dlg = dynamic_cast<TDialog*>(modal);
      if (dlg) {
        drive(*dlg);
        driven = true;
      }
      if (QApplication::activeModalWidget() == modal) qobject_cast<QDialog*>(modal)->done(QDialog::Rejected);
    });
    trigger();
    EXPECT_TRUE(driven) << "la finestra attesa non si è aperta";
  }

  static QAction* Find(QMenu* menu, const QString& caption) {
    for (QAction* a : menu->actions()) {
      if (a->text() == caption) return a;
      if (a->menu())
        if (QAction* sub = Find(a->menu(), caption)) return sub;
    }
    return nullptr;
  }
  static QAction* Item(QMenu* menu, const QString& caption) {
    QAction* a = Find(menu, caption);
    if (!a) ADD_FAILURE() << "voce di menu assente: " << caption.toStdString();
    return a;
  }

  TDialogPlatform platform;
  QTemporaryDir m_root;
  QTemporaryDir m_out;
  QString m_savedRoot;
  std::unique_ptr<zurtest::TTestDatabase> m_db;
  std::unique_ptr<TfmZurMainForm> m_host;
};

QStringList MonthLines() {
  return {
      Q("Calcolo fondamentali..."),         Q("Calcolo accessori cococo..."),    Q("Calcolo autonomi..."),
      Q("Calcolo accessori dipendenti..."), Q("Calcolo fondamentali cococo..."), Q("Calcolo ritenuta...")};
}

QStringList ClosingLines() {
  return {Q("Import terminato con successo!"), QString(), Q("ATTENZIONE!"),
          Q("SI INVITA A CONTROLLARE I DATI IMPORTATI.")};
}

} // namespace

TEST_F(TDialogsTest, ImportChecksThePeriodClampsTheYearsAndLogsLineByLine) {
  TfmZurMain* w = Start();
  ASSERT_NE(w, nullptr);
  const int calendarYear = QDate::currentDate().year();
  const int base = calendarYear > 2025 ? 2025 : 2024;

  Drive<TfmZurImport>(
      [&] { w->miImport->trigger(); },
      [&](TfmZurImport& d) {
        EXPECT_EQ(d.windowTitle(), Q("Importazione dati dichiarazione"));
        EXPECT_TRUE(d.cbSostituto->isChecked());
        EXPECT_TRUE(d.cbIRAP->isChecked());
        EXPECT_TRUE(d.buImporta->isDefault());
        EXPECT_TRUE(d.meLog->isReadOnly());
        EXPECT_TRUE(QFontInfo(d.meLog->font()).fixedPitch());

        // The years: the base year and the one before, nothing else, whatever
        // sets them; typing does not change them, the arrows do.
        for (QSpinBox* s : {d.spAnnoDal, d.SpAnnoAl}) {
          EXPECT_EQ(s->minimum(), base - 1);
          EXPECT_EQ(s->maximum(), base);
          EXPECT_EQ(s->value(), base);
          s->setValue(base + 7);
          EXPECT_EQ(s->value(), base);
          s->setValue(1990);
          EXPECT_EQ(s->value(), base - 1);
          QTest::keyClick(s, Qt::Key_Down);
          EXPECT_EQ(s->value(), base - 1);
          QTest::keyClick(s, Qt::Key_Up);
          EXPECT_EQ(s->value(), base);
          s->selectAll();
          QTest::keyClicks(s, Q("2023"));
          EXPECT_EQ(s->value(), base);
        }
        // The months from the database, the whole year proposed (to August after 2025).
        ASSERT_EQ(d.cbMeseDal->count(), 12);
        ASSERT_EQ(d.cbMeseAl->count(), 12);
        EXPECT_EQ(d.cbMeseDal->itemText(0), Q("Gennaio"));
        EXPECT_EQ(d.cbMeseAl->itemText(11), Q("Dicembre"));
        EXPECT_EQ(d.cbMeseDal->currentIndex(), 0);
        EXPECT_EQ(d.cbMeseAl->currentIndex(), calendarYear > 2025 ? 7 : 11);

        // March to February of one year: refused before anything happens.
        d.spAnnoDal->setValue(2024);
        d.SpAnnoAl->setValue(2024);
        d.cbMeseDal->setCurrentIndex(2);
        d.cbMeseAl->setCurrentIndex(1);
        QTest::mouseClick(d.buImporta, Qt::LeftButton);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, Q("Il periodo scelto non è valido."));
        EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Error);
        EXPECT_TRUE(d.LogLines().isEmpty());
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(d.buImporta->isDefault());

        // Without the IRAP import the period is not checked: the withholding
        // agent's data alone.
        platform.Clear();
        d.cbIRAP->setChecked(false);
        QTest::mouseClick(d.buImporta, Qt::LeftButton);
        EXPECT_TRUE(platform.messages.empty()) << platform.MessageTexts().join(Q(" | ")).toStdString();
        EXPECT_EQ(d.LogLines(), QStringList({Q("Lettura dati sede...OK"), Q("Import dati sostituto...OK")})
                                    << ClosingLines());
        EXPECT_EQ(Dati().cdsFrontespizio.FieldByName(Q("SIRAPSTATO")).AsString(), Q("1"));
        EXPECT_EQ(Dati().cdsFrontespizio.FieldByName(Q("SIRAPCOMUNESL")).AsString(), Q("ROMA"));
        auto* comune = qobject_cast<QLineEdit*>(w->frZurFrontespizio1->Control(Q("SIRAPCOMUNESL")));
        ASSERT_NE(comune, nullptr);
        EXPECT_EQ(comune->text(), Q("ROMA")) << "il frontespizio mostra i dati importati";
        EXPECT_TRUE(d.buEsci->isDefault());
        EXPECT_FALSE(d.buImporta->isDefault());

        // The whole year 2024. While it runs, the log grows a line at a time and
        // the window repaints; a second press, "Esci" and Escape change nothing.
        platform.Clear();
        d.cbIRAP->setChecked(true);
        d.cbMeseDal->setCurrentIndex(0);
        d.cbMeseAl->setCurrentIndex(11);
        std::set<qsizetype> sizes;
        bool pressed = false;
        TPaintCounter painted(d);
        d.meLog->viewport()->installEventFilter(&painted);
        platform.onProcessMessages = [&] {
          sizes.insert(d.LogLines().size());
          if (!pressed && d.LogLines().size() > 20) {
            pressed = true;
            EXPECT_TRUE(d.Running());
            QTest::mouseClick(d.buImporta, Qt::LeftButton);
            QTest::mouseClick(d.buEsci, Qt::LeftButton);
            QTest::keyClick(&d, Qt::Key_Escape);
            EXPECT_TRUE(d.isVisible());
          }
        };
        // The data of the agent are there from the run before: the question.
        platform.AnswerMessage(TModalResult::Yes);
        QTest::mouseClick(d.buImporta, Qt::LeftButton);
        platform.onProcessMessages = nullptr;
        d.meLog->viewport()->removeEventFilter(&painted);
        EXPECT_TRUE(pressed);
        EXPECT_GE(sizes.size(), 75u) << "il log deve crescere riga per riga";
        EXPECT_GE(painted.paints, 1) << "la finestra deve ridisegnarsi durante l'import";
        QStringList expected{Q("Lettura dati sede...OK"), Q("Import dati sostituto...OK"),
                             Q("Calcolo e import dei valori IRAP - Anno: 2024")};
        for (int m = 0; m < 12; ++m)
          expected << MonthLines();
        expected << Q("Calcolo IRAP ...OK") << Q("Import dati IRAP...OK") << ClosingLines();
        EXPECT_EQ(d.LogLines(), expected);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, Q("Sono già presenti i dati del sostituto, l'import li "
                                               "sovrascriverà.\r\r\nConfermi la sostituzione dei dati?"));
        const Currency base5 = Dati().cdsQuadroIK.FieldByName(Q("FIKVALIRAP5")).AsCurrency();
        EXPECT_GT(base5, Currency());
        EXPECT_EQ(Dati().cdsQuadroIRVar.FieldByName(Q("FIRBASEIMP")).AsCurrency(), base5);
        EXPECT_TRUE(d.buEsci->isDefault());
        EXPECT_EQ(d.focusWidget(), d.buEsci);

        // Across two years the check does not apply: December to January.
        platform.Clear();
        platform.AnswerMessage(TModalResult::No);
        d.spAnnoDal->setValue(base - 1);
        d.cbMeseDal->setCurrentIndex(11);
        d.SpAnnoAl->setValue(base);
        d.cbMeseAl->setCurrentIndex(0);
        QTest::mouseClick(d.buImporta, Qt::LeftButton);
        const QStringList log = d.LogLines();
        EXPECT_TRUE(log.contains(
            Q("Calcolo e import dei valori IRAP - Anno: %1, dal mese 12 al mese 12").arg(base - 1)))
            << log.join(Q("\n")).toStdString();
        EXPECT_TRUE(
            log.contains(Q("Calcolo e import dei valori IRAP - Anno: %1, dal mese 1 al mese 1").arg(base)))
            << log.join(Q("\n")).toStdString();

        // A run that fails half-way (the payroll is gone): the clerk reads the
        // error, the window stays, the log shows how far it got.
        platform.Clear();
        {
          TZurQuery q(m_db->Connection());
          q.SetSQL(Q("ALTER TABLE tregs_registrazioni RENAME TO tregs_altrove"));
          q.ExecSQL();
        }
        d.spAnnoDal->setValue(2024);
        d.SpAnnoAl->setValue(2024);
        d.cbMeseDal->setCurrentIndex(0);
        d.cbMeseAl->setCurrentIndex(11);
        d.cbSostituto->setChecked(false);
        QTest::mouseClick(d.buImporta, Qt::LeftButton);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Error);
        EXPECT_TRUE(platform.messages[0].text.contains(Q("tregs_registrazioni"), Qt::CaseInsensitive))
            << platform.messages[0].text.toStdString();
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(d.Running());
        EXPECT_EQ(d.LogLines().value(0), Q("Lettura dati sede...OK"));
        EXPECT_FALSE(d.LogLines().contains(ClosingLines().first()));
        EXPECT_FALSE(QApplication::overrideCursor()) << "la clessidra resta dopo l'errore";

        // "Esci" closes the window.
        QTest::mouseClick(d.buEsci, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
      });
  EXPECT_TRUE(platform.Exhausted());

  // The imported regional row, shown by its frame, is saved with the rest.
  platform.Clear();
  w->miSalva->trigger();
  EXPECT_FALSE(Dati().Modified());
  EXPECT_EQ(Dati().cdsQuadroIRVar.RecordCount(), 1);
}

TEST_F(TDialogsTest, PageExportCopiesTheTypedListAndAsksBeforeOverwriting) {
  TfmZurMain* w = Start(true);
  ASSERT_NE(w, nullptr);
  const QString model = Root("USR/FR2024/Res/CoordStp/IRAP_mod.pdf");
  Drive<TfmZurPaginePDF>(
      [&] { Item(w->mnDev, Q("Esporta pagine da PDF"))->trigger(); },
      [&](TfmZurPaginePDF& d) {
        EXPECT_EQ(d.windowTitle(), Q("Copia pagine PDF"));
        EXPECT_TRUE(d.raTutteLePagine->isChecked());
        EXPECT_TRUE(d.buCopia->isDefault());
        EXPECT_EQ(d.laEsempio->text(), Q("(1-5,6,7,8-15)"));

        // Browsing: cancelled keeps the path; chosen puts it in; "Copia" gets the focus.
        const QString start = d.edFileName->text();
        platform.AnswerFile(QString());
        QTest::mouseClick(d.buSfoglia, Qt::LeftButton);
        EXPECT_EQ(d.edFileName->text(), start);
        platform.AnswerFile(model);
        QTest::mouseClick(d.buSfoglia, Qt::LeftButton);
        EXPECT_EQ(d.edFileName->text(), model);
        // The dialog's own focus, whether or not the offscreen platform has made it active yet.
        EXPECT_EQ(d.focusWidget(), d.buCopia);
        EXPECT_EQ(platform.fileDialogs,
                  QStringList({Q("Apri: Apri file di origine"), Q("Apri: Apri file di origine")}));

        // Typing the list chooses "Personalizzate"; Enter copies (the default button).
        QTest::keyClicks(d.edPersonalizza, Q("23,22"));
        EXPECT_TRUE(d.raPersonalizzate->isChecked());
        EXPECT_FALSE(d.raTutteLePagine->isChecked());
        platform.Clear();
        platform.AnswerFile(Out("due"));
        QTest::keyClick(d.edPersonalizza, Qt::Key_Return);
        EXPECT_EQ(platform.fileDialogs, QStringList{Q("Salva: Salva...")});
        EXPECT_EQ(platform.MessageTexts(),
                  QStringList{Q("Creazione terminata con successo:\n\r") + Out("due.pdf")});
        ASSERT_EQ(printtest::PdfPages(Out("due.pdf")), 2);
        EXPECT_TRUE(printtest::PdfText(Out("due.pdf"), 1).contains(Q("pagina 23")));
        EXPECT_TRUE(printtest::PdfText(Out("due.pdf"), 2).contains(Q("pagina 22")));

        // A list the engine refuses: the message, no save dialog; the clerk corrects it.
        platform.Clear();
        d.edPersonalizza->clear();
        QTest::keyClicks(d.edPersonalizza, Q("3-1"));
        QTest::mouseClick(d.buCopia, Qt::LeftButton);
        EXPECT_EQ(
            platform.MessageTexts(),
            QStringList{Q("Errore durante la copia delle pagine, provare a cambiare le pagine selezionate "
                          "selezionati")});
        EXPECT_TRUE(platform.fileDialogs.isEmpty());
        EXPECT_TRUE(d.isVisible());

        // Onto the existing file: No leaves it as it was and says nothing more.
        platform.Clear();
        d.raTutteLePagine->setChecked(true);
        const QByteArray before = ReadAll(Out("due.pdf"));
        platform.AnswerFile(Out("due.pdf"));
        platform.AnswerMessage(TModalResult::No);
        QTest::mouseClick(d.buCopia, Qt::LeftButton);
        EXPECT_EQ(platform.MessageTexts(), QStringList{Q("Sovrascrivere il file già presente?")});
        EXPECT_EQ(ReadAll(Out("due.pdf")), before);
        // Yes replaces it with every page.
        platform.Clear();
        platform.AnswerFile(Out("due.pdf"));
        platform.AnswerMessage(TModalResult::Yes);
        QTest::mouseClick(d.buCopia, Qt::LeftButton);
        EXPECT_EQ(platform.MessageTexts(),
                  (QStringList{Q("Sovrascrivere il file già presente?"),
                               Q("Creazione terminata con successo:\n\r") + Out("due.pdf")}));
        EXPECT_EQ(printtest::PdfPages(Out("due.pdf")), printtest::PdfPages(model));

        // No file at the path: nothing at all.
        platform.Clear();
        d.edFileName->setText(Out("manca.pdf"));
        QTest::mouseClick(d.buCopia, Qt::LeftButton);
        EXPECT_TRUE(platform.messages.empty());
        EXPECT_TRUE(platform.fileDialogs.isEmpty());

        QTest::mouseClick(d.buChiudi, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
      });
  EXPECT_TRUE(platform.Exhausted());
}

TEST_F(TDialogsTest, DeveloperMenuWritesOnlyTheFilesChosen) {
  TfmZurMain* w = Start(true);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->mnDev->menuAction()->isVisible());

  // The record layout: the example line and a description with "è" and an
  // apostrophe, then a number line without its pieces.
  Write(Out("recordA.txt"), Q("12 Codice del fornitore 2 16 AN\n"
                              "13 Attività d'impresa è 18 2 NU\r\n"
                              "\n"
                              "Filler spazio libero AN\n")
                                .toUtf8());
  platform.AnswerFile(Out("recordA.txt"));
  platform.AnswerFile(Out("recordA.xml"));
  Item(w->mnDev, Q("RecordA"))->trigger();
  EXPECT_EQ(platform.fileDialogs, QStringList({Q("Apri: Apri la descrizione del record A"),
                                               Q("Salva: Salva XML per file telematico")}));
  EXPECT_TRUE(platform.messages.empty()) << platform.MessageTexts().join(Q(" | ")).toStdString();
  const QString tail =
      Q(" Info = \"XX\"   Fixed = \"\"                 Cds = \"\"                       Field= \"\" /> ");
  const auto field = [&](const char* number, const char* description, const char* width, const char* format) {
    return Q("    <Field Number = ") + (Q("\"") + Q(number) + Q("\"")).leftJustified(10) +
           Q(" Description = ") + (Q("\"") + Q(description)).leftJustified(70) + Q("\" Width = ") +
           (Q("\"") + Q(width) + Q("\"")).leftJustified(6) + Q(" Format = ") +
           (Q("\"") + Q(format) + Q("\"")).leftJustified(5) + tail;
  };
  EXPECT_EQ(QString::fromUtf8(ReadAll(Out("recordA.xml"))).split(Q("\n")),
            QStringList({Q("<?xml version= \"1.0\" ?>"), Q("<FileTel>"), Q(" <Record type = \"A\" >"),
                         Q("  <Section Text = \"Intestazione record...\" CDS = \"\" Repeat = \"\" >"),
                         field("12", "Codice del fornitore", "16", "AN"),
                         field("13", "Attivita d impresa e", "2", "NU"),
                         field("Filler", "spazio libero", "16", "AN"), Q("  </Section>"), Q(" </Record>"),
                         Q("</FileTel>"), QString()}));
  // The exact text of the example line, character by character.
  EXPECT_EQ(field("12", "Codice del fornitore", "16", "AN"),
            Q("    <Field Number = \"12\"       Description = \"Codice del fornitore") +
                QString(49, QLatin1Char(' ')) + Q("\" Width = \"16\"   Format = \"AN\" ") + tail);

  // A bad line: the error names it, what came before is still offered.
  platform.Clear();
  Write(Out("recordB.txt"), "1 Tipo record 1 1 AN\n7 X\n8 Dopo 1 1 AN\n");
  platform.AnswerFile(Out("recordB.txt"));
  platform.AnswerFile(Out("recordB.xml"));
  Item(w->mnDev, Q("RecordB"))->trigger();
  EXPECT_EQ(platform.MessageTexts(), QStringList{Q("Errore nella riga 7 si prega di controllare")});
  EXPECT_EQ(QString::fromUtf8(ReadAll(Out("recordB.xml"))).split(Q("\n")),
            QStringList({Q("<?xml version= \"1.0\" ?>"), Q("<FileTel>"), Q(" <Record type = \"B\" >"),
                         Q("  <Section Text = \"Intestazione record...\" CDS = \"\" Repeat = \"\" >"),
                         field("1", "Tipo record", "1", "AN"), Q("</FileTel>"), QString()}));

  // "Tutti i record": A then B, each with its dialogs. A cancelled dialog
  // writes nothing and says so; an input that cannot be read says why.
  platform.Clear();
  platform.AnswerFile(QString());
  platform.AnswerFile(Out("cartella-non-file"));
  QDir().mkpath(Out("cartella-non-file"));
  Item(w->mnDev, Q("Tutti i record"))->trigger();
  EXPECT_EQ(platform.fileDialogs, QStringList({Q("Apri: Apri la descrizione del record A"),
                                               Q("Apri: Apri la descrizione del record B")}));
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0].text, Q("Operazione annullata: nessun file è stato scritto."));
  EXPECT_EQ(platform.messages[1].type, TMsgDlgType::Error);
  EXPECT_TRUE(
      platform.messages[1].text.startsWith(Q("Impossibile leggere il file \"") + Out("cartella-non-file")))
      << platform.messages[1].text.toStdString();
  EXPECT_TRUE(platform.messages[1].text.endsWith(Q("Nessun file è stato scritto.")));

  // The old print layout: the kept tags, trimmed; the save cancelled writes nothing.
  platform.Clear();
  Write(Out("vecchio.xml"), "<?xml version=\"1.0\"?>\n<Stampe>\n  <Frontespizio>\n    <Section Name=\"A\">\n"
                            "      <Edit Field=\"X\"/>\n      <Other/>\n      <PrintRect L=\"1\"/>\n"
                            "    </Section>\n  </Frontespizio>\n</Stampe>\n");
  platform.AnswerFile(Out("vecchio.xml"));
  platform.AnswerFile(Out("nuovo.xml"));
  Item(w->mnDev, Q("Carica l'XML delle stampe da IRAP 2004"))->trigger();
  EXPECT_EQ(QString::fromUtf8(ReadAll(Out("nuovo.xml"))),
            Q("<Frontespizio>\n<Section Name=\"A\">\n<Edit Field=\"X\"/>\n<PrintRect L=\"1\"/>\n</Section>\n"
              "</Frontespizio>\n"));
  platform.AnswerFile(Out("vecchio.xml"));
  platform.AnswerFile(QString());
  Item(w->mnDev, Q("Carica l'XML delle stampe da IRAP 2004"))->trigger();
  EXPECT_EQ(platform.MessageTexts(), QStringList{Q("Operazione annullata: nessun file è stato scritto.")});

  // The print template: cancelled at the model, told so, nothing written.
  platform.Clear();
  platform.AnswerFile(QString());
  Item(w->mnDev, Q("Crea \"template.pdf\" per le stampe"))->trigger();
  EXPECT_EQ(platform.fileDialogs, QStringList{Q("Apri: Apri PDF ministeriale IRAP")});
  EXPECT_EQ(platform.MessageTexts(), QStringList{Q("Operazione annullata: nessun file è stato scritto.")});
  // Chosen: pages 22 and 23 of the model.
  platform.Clear();
  platform.AnswerFile(Root("USR/FR2024/Res/CoordStp/IRAP_mod.pdf"));
  platform.AnswerFile(Out("template.pdf"));
  Item(w->mnDev, Q("Crea \"template.pdf\" per le stampe"))->trigger();
  EXPECT_TRUE(platform.messages.empty()) << platform.MessageTexts().join(Q(" | ")).toStdString();
  ASSERT_EQ(printtest::PdfPages(Out("template.pdf")), 2);
  EXPECT_TRUE(printtest::PdfText(Out("template.pdf"), 1).contains(Q("pagina 22")));
  EXPECT_EQ(platform.opened, QStringList{Out("template.pdf")});

  const QStringList written = QDir(m_out.path()).entryList(QDir::Files, QDir::Name);
  EXPECT_EQ(written, QStringList({Q("nuovo.xml"), Q("recordA.txt"), Q("recordA.xml"), Q("recordB.txt"),
                                  Q("recordB.xml"), Q("template.pdf"), Q("vecchio.xml")}));
  EXPECT_TRUE(platform.Exhausted());
}

namespace {

// A declaration whose checks pass, quadro IK only and boxes that agree: the
// telematic file is written without questions.
constexpr const char* kPassingDeclaration = R"({"cdsFrontespizio": {
  "DIRAPPERIODOIMPOSTADAL": "2024-01-01", "DIRAPPERIODOIMPOSTAAL": "2024-12-31", "LIRAPSESSO": "M",
  "SIRAPCODCARICA": "1", "SIRAPCODFISRAPFIRMATARIO": "RSSMRA70A01H501U", "SIRAPNATURAGIURIDICA": "51",
  "SIRAPSITUAZIONE": "1", "SIRAPSTATO": "1", "SIRAPCOGNOME": "Rossi", "SIRAPNOME": "Mario",
  "DIRAPDATANASCITA": "1970-01-01", "SIRAPCOMUNENASCITA": "Roma", "SIRAPPROVINCIANASCITA": "RM",
  "SIRAPDENOM": "Istituto Betulle", "LIRAPIK": "1", "LIRAPIR": "0", "LIRAPIS": "0"},
 "cdsQuadroIK": {"FIKVALIRAP1": 1200, "FIKVALIRAP5": 1200, "FIKAMMONTARE27": 1200, "FIKBASEIMP37": 1200}})";

} // namespace

TEST_F(TDialogsTest, TelematicFileProposesTheSupplierChecksTheMandatoryDataAndRuns) {
  TfmZurMain* w = Start();
  ASSERT_NE(w, nullptr);
  SetDeclarationJson(Dati(), ParseDeclarationJson(kPassingDeclaration, Q("test")));
  TClientDataSet& f = Dati().cdsFrontespizio;
  const auto field = [&](const char* name) { return f.FieldByName(Q(name)).AsString(); };
  const auto set = [&](const char* name, const QString& value) {
    f.Edit();
    f.FieldByName(Q(name)).SetAsString(value);
    f.Post();
  };
  const QString checker = Root("USR/FR2024/Res/Dich/IRAP2025_logSchema.xml");
  const auto putChecker = [&] {
    QDir().mkpath(QFileInfo(checker).absolutePath());
    Write(checker, "<esito/>");
  };
  const QString mandatory = Q("I dati : \"Tipo fornitore\" e  \"codice fiscale fornitore\" sono campi "
                              "obbligatori.\n\rImpossibile creare il file telematico");

  // The supplier proposed on show: the intermediary first, then the
  // taxpayer, then the signatory; a supplier already there stays.
  TdmZurFileTelIRAP modulo(Dati());
  const auto proposed = [&] {
    TfmZurFileTelematico d(modulo, Dati(), w);
    d.show();
    QApplication::processEvents();
    EXPECT_EQ(d.deCodFiscaleFornitore->text(), field("SIRAPCODFISFORNITORE"));
    EXPECT_EQ(d.deTipoFornitore->text(), field("SIRAPTIPOFORNITORE"));
    EXPECT_EQ(d.deTipoFornitore->Tag, 12);
    return field("SIRAPCODFISFORNITORE");
  };
  set("SIRAPCODFISINTERMEDIARIO", Q("CRSNNA75B41F205X"));
  EXPECT_EQ(proposed(), Q("CRSNNA75B41F205X"));
  EXPECT_EQ(field("SIRAPTIPOFORNITORE"), Q("01"));
  EXPECT_NE(f.State(), TDataSetState::Edit) << "le proposte sono registrate subito";
  set("SIRAPCODFISFORNITORE", QString());
  set("SIRAPCODFISINTERMEDIARIO", QString());
  EXPECT_EQ(proposed(), Q(kSchool));
  set("SIRAPCODFISFORNITORE", Q("BNCLRA80C41L219Y"));
  set("SIRAPTIPOFORNITORE", Q("10"));
  EXPECT_EQ(proposed(), Q("BNCLRA80C41L219Y"));
  EXPECT_EQ(field("SIRAPTIPOFORNITORE"), Q("10"));
  set("SIRAPCODFISFORNITORE", QString());
  set("SIRAPTIPOFORNITORE", QString());
  TdmZurDati signatoryOnly;
  zurtest::OpenCatalogueDeclaration(signatoryOnly);
  {
    TClientDataSet& s = signatoryOnly.cdsFrontespizio;
    s.Edit();
    s.FieldByName(Q("SIRAPCODFIS")).Clear();
    s.FieldByName(Q("SIRAPCODFISRAPFIRMATARIO")).SetAsString(Q("RSSMRA70A01H501U"));
    s.Post();
    TdmZurFileTelIRAP other(signatoryOnly);
    TfmZurFileTelematico d(other, signatoryOnly, w);
    d.show();
    QApplication::processEvents();
    EXPECT_EQ(d.deCodFiscaleFornitore->text(), Q("RSSMRA70A01H501U"));
  }

  // From the menu: saved, checked, then the dialog over the supplier fields.
  platform.Clear();
  putChecker();
  const QString out = Out("IRAP2025.xml");
  Drive<TfmZurFileTelematico>(
      [&] { w->miCreaFileTel->trigger(); },
      [&](TfmZurFileTelematico& d) {
        EXPECT_TRUE(platform.infos.empty()) << "i controlli del salvataggio sono superati";
        EXPECT_EQ(d.windowTitle(), Q("File telematico"));
        EXPECT_EQ(d.size(), QSize(441, 169));
        EXPECT_TRUE(d.buCreaFileTelematico->isDefault());
        EXPECT_EQ(d.deCodFiscaleFornitore->text(), Q(kSchool));
        EXPECT_EQ(d.deTipoFornitore->text(), Q("01"));

        // Each mandatory datum, emptied by the clerk: the error, the dialog stays.
        const auto clearAndCreate = [&](QLineEdit* edit) {
          platform.Clear();
          edit->setFocus();
          edit->selectAll();
          QTest::keyClick(edit, Qt::Key_Backspace);
          QTest::mouseClick(d.buCreaFileTelematico, Qt::LeftButton);
          EXPECT_TRUE(d.isVisible());
          EXPECT_TRUE(platform.fileDialogs.isEmpty());
        };
        clearAndCreate(d.deTipoFornitore);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, mandatory);
        EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Error);
        EXPECT_FALSE(QFileInfo::exists(checker)) << "il risultato del controllo è tolto anche qui";
        putChecker();
        QTest::keyClicks(d.deTipoFornitore, Q("01"));
        clearAndCreate(d.deCodFiscaleFornitore);
        EXPECT_EQ(platform.MessageTexts(), QStringList{mandatory});
        putChecker();
        QTest::keyClicks(d.deCodFiscaleFornitore, Q("crsnna75b41f205x"));
        EXPECT_EQ(field("SIRAPCODFISFORNITORE"), Q("CRSNNA75B41F205X")) << "maiuscolo, scritto nel campo";
        set("SIRAPDENOM", QString());
        platform.Clear();
        QTest::mouseClick(d.buCreaFileTelematico, Qt::LeftButton);
        EXPECT_EQ(
            platform.MessageTexts(),
            QStringList{Q("La \"Denominazione o ragione sociale\" dei \"Soggetti diversi dalle persone "
                          "fisiche\" è un campo obbligatorio.\r\nImpossibile creare il file telematico")});
        EXPECT_TRUE(d.isVisible());
        set("SIRAPDENOM", Q("Istituto Betulle"));

        // A run that fails (a folder for a file): its message, the dialog
        // stays, the checker's earlier result too.
        putChecker();
        platform.Clear();
        QDir().mkpath(Out("cartella.xml"));
        platform.AnswerFile(Out("cartella.xml"));
        QTest::mouseClick(d.buCreaFileTelematico, Qt::LeftButton);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Error);
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(QFileInfo::exists(checker));

        // The run: the save dialog, the file, the message, the checker's result gone.
        platform.Clear();
        platform.AnswerFile(out);
        QTest::keyClick(d.deCodFiscaleFornitore, Qt::Key_Return);
        EXPECT_EQ(platform.fileDialogs.size(), 1);
        EXPECT_EQ(platform.MessageTexts(),
                  QStringList{Q("Creazione file telematico terminata con successo.")});
        EXPECT_FALSE(d.isVisible());
      });
  EXPECT_FALSE(QFileInfo::exists(checker));
  const QString text = QString::fromUtf8(ReadAll(out));
  EXPECT_TRUE(text.contains(
      Q("\r\n      <tm:CodiceFiscaleFornitore>CRSNNA75B41F205X</tm:CodiceFiscaleFornitore>\r\n")))
      << text.left(600).toStdString();
  EXPECT_TRUE(Dati().Modified()) << "il fornitore si salva con la dichiarazione";

  // The save dialog cancelled: the cancelled message, no file, the
  // checker's result removed all the same.
  ASSERT_TRUE(Dati().SaveAll(false));
  putChecker();
  platform.Clear();
  Drive<TfmZurFileTelematico>([&] { w->miCreaFileTel->trigger(); },
                              [&](TfmZurFileTelematico& d) {
                                platform.AnswerFile(QString());
                                QTest::mouseClick(d.buCreaFileTelematico, Qt::LeftButton);
                                EXPECT_EQ(platform.MessageTexts(),
                                          QStringList{Q("Creazione file telematico annullata.")});
                                EXPECT_FALSE(d.isVisible());
                              });
  EXPECT_FALSE(QFileInfo::exists(checker));
  EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
            QStringList({Q("IRAP2025.xml"), Q("cartella.xml")}));
  EXPECT_TRUE(platform.Exhausted());
}
