// The declaration frames driven as a clerk fills them: typing, ticking,
// choosing from lists, the sex buttons, the regional rows' grid, and what
// reaches the dataset and the telematic file.
#include "telematic/XMLNode.h"
#include "telematic/zurMFileTelIRAP.h"
#include "ui/MainWindowFixture.h"
#include "ui/ZurDataControls.h"
#include "ui/zurDecorate.h"
#include "ui/zurDevHooks.h"
#include "ui/zurFFrames.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolBar>

using namespace zurtest;

namespace {

class TFramesTest : public TMainWindowTest {
protected:
  QString Front(const char* field) { return Dati().cdsFrontespizio.FieldByName(Q(field)).AsString(); }
  template <class W> W* In(TfrZurFrame* frame, const char* field) {
    auto* w = dynamic_cast<W*>(frame->Control(Q(field)));
    EXPECT_NE(w, nullptr) << field;
    return w;
  }
  QString Telematic() {
    TdmZurFileTelIRAP tel(Dati());
    return TdmZurFileTelIRAP::TestoFile(*tel.CostruisciDocumento());
  }
};

} // namespace

TEST_F(TFramesTest, TheFramesEditTheDeclarationThroughItsDatasets) {
  platform.AnswerInput(Q(kSchool));
  TfmZurMain* w = Start();
  ASSERT_NE(w, nullptr);
  QApplication::setActiveWindow(w);
  TfrZurFrontespizio* fr = w->frZurFrontespizio1;

  // Bound on New: the fiscal code is shown, read-only and out of the Tab order.
  auto* cf = In<QLineEdit>(fr, "SIRAPCODFIS");
  EXPECT_EQ(cf->text(), Q(kSchool));
  EXPECT_TRUE(cf->isReadOnly());
  EXPECT_EQ(cf->focusPolicy(), Qt::ClickFocus);

  // Typing starts the edit and writes through the field, in upper case.
  auto* province = In<QLineEdit>(fr, "SIRAPPROVINCIADF");
  QTest::keyClicks(province, Q("rm"));
  EXPECT_EQ(province->text(), Q("RM"));
  EXPECT_EQ(Front("SIRAPPROVINCIADF"), Q("RM"));
  EXPECT_EQ(Dati().cdsFrontespizio.State(), TDataSetState::Edit);
  // A string never outgrows its field.
  EXPECT_EQ(province->maxLength(), Dati().cdsFrontespizio.FieldByName(Q("SIRAPPROVINCIADF")).Size());

  // Check boxes store "1"/"0"; an unticked signature is no signature in the file.
  auto* signature = In<QCheckBox>(fr, "SIRAPFIRMADICHIARANTE");
  QTest::mouseClick(signature, Qt::LeftButton, {}, QPoint(8, signature->height() / 2));
  EXPECT_EQ(Front("SIRAPFIRMADICHIARANTE"), Q("1"));
  EXPECT_TRUE(Telematic().contains(Q("<ir:FirmaDichiarante>1</ir:FirmaDichiarante>")));
  QTest::mouseClick(signature, Qt::LeftButton, {}, QPoint(8, signature->height() / 2));
  EXPECT_EQ(Front("SIRAPFIRMADICHIARANTE"), Q("0"));
  EXPECT_TRUE(Telematic().contains(Q("<ir:FirmaDichiarante>0</ir:FirmaDichiarante>")));

  // A fixed list is the only way to set its field.
  auto* ik = In<QComboBox>(fr, "LIRAPIK");
  EXPECT_EQ(ik->count(), 4);
  ik->setCurrentIndex(2);
  emit ik->activated(2);
  EXPECT_EQ(Front("LIRAPIK"), Q("2"));

  // Dates, also those kept as a day number in an amount field.
  auto* from = In<QDateEdit>(fr, "DIRAPPERIODOIMPOSTADAL");
  from->setDate(QDate(2024, 1, 1));
  EXPECT_EQ(Dati().cdsFrontespizio.FieldByName(Q("DIRAPPERIODOIMPOSTADAL")).AsDate(), QDate(2024, 1, 1));

  // Moving onto "M" with Tab chooses it without a click.
  auto* birth = In<QLineEdit>(fr, "SIRAPNOME");
  QApplication::setActiveWindow(w);
  birth->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(birth, Qt::Key_Tab);
  EXPECT_TRUE(fr->rbSessoM->hasFocus());
  EXPECT_EQ(Front("LIRAPSESSO"), Q("M"));
  QTest::mouseClick(fr->rbSessoF, Qt::LeftButton);
  EXPECT_EQ(Front("LIRAPSESSO"), Q("F"));

  // F8 on a regional rate (a plain box with a tag) does nothing; leaving a
  // lookup edit empty raises no warning.
  auto* rate = In<QLineEdit>(w->frZurQuadroIR1, "SIRAGEREGIONE01");
  EXPECT_EQ(dynamic_cast<TZurDBLookupEdit*>(rate), nullptr);
  w->paMain->setCurrentIndex(TfmZurMain::pgIR);
  platform.Clear();
  auto* region = In<TZurDBLookupEdit>(w->frZurQuadroIR1, "SIRCODREGIONE01");
  region->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(region, Qt::Key_Tab);
  QTest::qWait(20);
  EXPECT_TRUE(platform.messages.empty()) << platform.MessageTexts().join(u'|').toStdString();

  // F8 in the taxpayer's status opens its table; a region chosen while the
  // record is being edited brings its name, a cancelled lookup empties it.
  w->paMain->setCurrentIndex(TfmZurMain::pgFrontespizio);
  auto* status = In<TZurDBLookupEdit>(fr, "SIRAPSTATO");
  QString title;
  WhenModal([&title](QWidget* d) {
    title = d->windowTitle();
    QTest::keyClick(d, Qt::Key_Escape);
  });
  QTest::keyClick(status, Qt::Key_F8);
  EXPECT_FALSE(title.isEmpty());
  auto* codReg = In<TZurDBLookupEdit>(fr, "SIRAPCODREG");
  WhenModal([](QWidget* d) {
    auto* search = d->findChild<QLineEdit*>(Q("edCerca"));
    QTest::keyClicks(search, Q("08"));
    QTest::keyClick(d->findChild<QWidget*>(Q("dgDati")), Qt::Key_Return);
  });
  codReg->Click();
  EXPECT_EQ(Front("SIRAPCODREG"), Q("08"));
  EXPECT_EQ(Front("SIRAPREGIONE"), Q("Lazio").toUpper()) << Front("SIRAPREGIONE").toStdString();
  WhenModal([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
  codReg->Click();
  EXPECT_EQ(Front("SIRAPCODREG"), Q("08"));
  EXPECT_EQ(Front("SIRAPREGIONE"), Q(""));
  // Leaving a lookup with a code its table lacks: warned, focus back, text kept.
  platform.Clear();
  QApplication::setActiveWindow(w);
  codReg->setFocus(Qt::OtherFocusReason);
  ASSERT_TRUE(codReg->hasFocus());
  codReg->selectAll();
  QTest::keyClicks(codReg, Q("99"));
  QTest::keyClick(codReg, Qt::Key_Tab);
  QTest::qWait(30);
  EXPECT_EQ(platform.MessageTexts(), QStringList{QString::fromUtf8(kInvalidCodeText)});
  EXPECT_TRUE(codReg->hasFocus());
  EXPECT_EQ(codReg->text(), Q("99"));
  codReg->selectAll();
  QTest::keyClicks(codReg, Q("12"));

  // The IK page writes its amounts.
  auto* ik1 = In<QLineEdit>(w->frZurQuadroIK1, "FIKVALIRAP1");
  QTest::keyClicks(ik1, Q("1200"));
  EXPECT_EQ(Dati().cdsQuadroIK.FieldByName(Q("FIKVALIRAP1")).AsInteger(), 1200);

  // The regional rows: a new row goes at the end and counts as "Ins." until
  // it is confirmed.
  TfrZurQuadroIRVar* var = w->frZurQuadroIRVar1;
  w->paMain->setCurrentIndex(TfmZurMain::pgIRVar);
  EXPECT_EQ(var->edModulo->text(), Q("0 di 0"));
  EXPECT_FALSE(var->acConferma->isEnabled());
  for (const char* code : {"08", "12", "21"}) {
    var->acInserisci->trigger();
    EXPECT_EQ(var->edModulo->text(), Q("Ins."));
    QTest::keyClicks(dynamic_cast<QLineEdit*>(var->Control(Q("SIRCODREGIONE"))), Q(code));
    QTest::keyClicks(dynamic_cast<QLineEdit*>(var->Control(Q("FIRBASEIMP"))), Q("1000"));
    var->acConferma->trigger();
  }
  TClientDataSet& rows = Dati().cdsQuadroIRVar;
  EXPECT_EQ(var->edModulo->text(), Q("3 di 3"));
  var->acPrimo->trigger();
  EXPECT_EQ(var->edModulo->text(), Q("1 di 3"));
  EXPECT_EQ(dynamic_cast<QLineEdit*>(var->Control(Q("SIRCODREGIONE")))->text(), Q("08"));
  var->acInserisci->trigger();
  QTest::keyClicks(dynamic_cast<QLineEdit*>(var->Control(Q("SIRCODREGIONE"))), Q("05"));
  var->acConferma->trigger();
  EXPECT_EQ(var->edModulo->text(), Q("4 di 4"));
  rows.Last();
  EXPECT_EQ(rows.FieldByName(Q("SIRCODREGIONE")).AsString(), Q("05"));
  EXPECT_EQ(rows.FieldByName(Q("RIGO")).AsString(), Q("IR35"));
  // The other blocks show their own records; the key stays hidden outside
  // developer mode.
  var->GoFirstRow();
  EXPECT_EQ(var->edModulo->text(), Q("1 di 4"));
  EXPECT_FALSE(var->Control(Q("IIRAPID"))->isVisibleTo(var));

  // Saved, every value typed in the frames is in the database.
  w->Save();
  EXPECT_FALSE(Dati().Modified());
  EXPECT_EQ(Front("SIRAPPROVINCIADF"), Q("RM"));
}

TEST_F(TFramesTest, DeveloperModeNamesTheFieldsAndCollectsAFramesList) {
  QDir().mkpath(Root("ETC/ZUR"));
  QFile marker(Root("ETC/ZUR/dev"));
  ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
  marker.close();
  platform.AnswerInput(Q(kSchool));
  TfmZurMain* w = Start();
  ASSERT_NE(w, nullptr);
  QTest::qWait(20);
  QApplication::setActiveWindow(w);

  // Every data-aware control names its field: as hint, and on the clipboard
  // when clicked (a check box also when entered).
  auto* status = In<QLineEdit>(w->frZurFrontespizio1, "SIRAPSTATO");
  EXPECT_EQ(status->toolTip(), Q("SIRAPSTATO"));
  QTest::mouseClick(status, Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), Q("SIRAPSTATO"));
  auto* box = In<QCheckBox>(w->frZurFrontespizio1, "LIRAPCORRTERMINI");
  box->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(QApplication::clipboard()->text(), Q("LIRAPCORRTERMINI"));

  // The frame with the focus is the selected one, and the caption says so.
  w->paMain->setCurrentIndex(TfmZurMain::pgIK);
  In<QLineEdit>(w->frZurQuadroIK1, "FIKVALIRAP1")->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(w->windowTitle(), Q("frZurQuadroIK1 - Modello IRAP/2025 Redd.24"));

  // The regional rows list each field once, the region lookup with its width,
  // the row label not at all; the key is shown in developer mode.
  w->paMain->setCurrentIndex(TfmZurMain::pgIRVar);
  const QStringList fields = CollectFrameFields(w->frZurQuadroIRVar1, false);
  EXPECT_TRUE(fields.contains(Q("SIRCODREGIONE$2")));
  EXPECT_FALSE(fields.contains(Q("RIGO")));
  EXPECT_EQ(fields.count(Q("FIRBASEIMP")), 1);
  EXPECT_TRUE(w->frZurQuadroIRVar1->Control(Q("IIRAPID"))->isVisibleTo(w->frZurQuadroIRVar1));

  // "Salva lista DataField" writes the selected frame's list where the
  // developer says; without a frame it only warns.
  const QString list = Root("campi.txt");
  platform.AnswerFile(list);
  w->frZurQuadroIRVar1->Control(Q("FIRBASEIMP"))->setFocus(Qt::OtherFocusReason);
  for (QAction* a : w->mnDev->actions())
    if (a->text() == Q("Salva lista DataField con nome...")) a->trigger();
  QFile saved(list);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(saved.readAll()).split(u'\n', Qt::SkipEmptyParts), fields);
  platform.Clear();
  EXPECT_TRUE(CollectFrameFields(nullptr, true).isEmpty());
  EXPECT_EQ(platform.MessageTexts(), QStringList{Q("Non è stato selezionato alcun frame")});
}
