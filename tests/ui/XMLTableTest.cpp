// The code-table lookup driven with the keyboard and the mouse: search,
// sort, the keys the dialog handles before the focused control, and the
// lookup of a field from start to end (chosen, cancelled, file missing or
// unusable).
#include "dataset/ClientDataSet.h"
#include "platform/zurUGlobal.h"
#include "tables/zurCodeTables.h"
#include "ui/UiTestSupport.h"
#include "ui/zurFXMLTable.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

// A program root holding the installed table file plus PROVA: codes with
// letters, a description and a third column that stays empty.
class TLookupRoot {
public:
  TLookupRoot() : m_saved(zur::RootDir()) {
    zur::SetRootDir(m_dir.path());
    QFile installed(QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/Tabelle/Table.xml"));
    EXPECT_TRUE(installed.open(QIODevice::ReadOnly));
    QDomDocument doc = ParseTableFile(installed.readAll(), installed.fileName());
    TXMLTableType t = GetTables(doc).Add();
    t.SetName(Q("PROVA"));
    t.SetCaption(Q("Tabella di prova"));
    t.SetDescription(Q("Righe di prova con codici di lettere."));
    for (const auto& [name, length] :
         {std::pair{"CODICE", 3}, std::pair{"DESCRIZIONE", 12}, std::pair{"NOTE", 5}}) {
      TXMLColDescType c = t.Columns().Add().ColDesc();
      c.SetDesc(Q(name));
      c.SetLength(length);
    }
    for (const auto& [code, desc] : {std::pair{"C30", "Charlie"}, std::pair{"A10", "Alfa"},
                                     std::pair{"B20", "Bravo, più lungo di dodici"},
                                     std::pair{"AB5", "Alfa Bravo"}, std::pair{"A9", "Alfa nove"}}) {
      TXMLRowValueType r = t.Rows().Add().RowValue();
      r.SetValue(Q(code));
      r.SetDesc(Q(desc));
    }
    Write(doc.toByteArray());
  }
  ~TLookupRoot() { zur::SetRootDir(m_saved); }
  void Write(const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(zur::CodeTableFile()).absolutePath());
    QFile f(zur::CodeTableFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }

private:
  QTemporaryDir m_dir;
  QString m_saved;
};

QString Code(const TfmZurXMLTable& dlg) {
  return dlg.cdsTable.Field(0).AsString();
}

void ClickTitle(TfmZurXMLTable& dlg, int column) {
  QHeaderView* header = dlg.dgDati->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

} // namespace

TEST(TfmZurXMLTable, SearchesSortsAndMovesWithTheKeysWhereverTheFocusIs) {
  TUiTestPlatform platform;
  SetPlatform(&platform);
  TLookupRoot root;
  {
    TfmZurXMLTable dlg(Q("codreg"));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), Q("Codici regione"));
    EXPECT_FALSE(dlg.paDescrizione->isVisible()) << "CODREG non ha descrizione";
    EXPECT_EQ(dlg.Label1->text(), Q("Cerca nel campo:"));
    EXPECT_EQ(dlg.laNomeCampo->text(), Q("CODICE"));
    EXPECT_TRUE(dlg.laNomeCampo->font().bold());
    EXPECT_EQ(dlg.buOk->text(), Q("Ok"));
    EXPECT_TRUE(dlg.buOk->isDefault());
    EXPECT_EQ(dlg.buAnnulla->text(), Q("Annulla"));
    EXPECT_TRUE(dlg.edCerca->hasFocus());
    ASSERT_EQ(dlg.dgDati->rowCount(), 21);
    EXPECT_EQ(dlg.dgDati->item(2, 1)->text(), Q("PROVINCIA AUTONOMA DI BOLZANO"));
    EXPECT_EQ(Code(dlg), Q("01"));

    // Typing searches the code column from its beginning.
    QTest::keyClicks(dlg.edCerca, Q("1"));
    EXPECT_EQ(Code(dlg), Q("10"));
    EXPECT_EQ(dlg.dgDati->currentRow(), 9);
    EXPECT_EQ(dlg.dgDati->verticalHeaderItem(9)->text(), Q("\u25B8")) << "indicatore della riga corrente";
    QTest::keyClicks(dlg.edCerca, Q("6"));
    EXPECT_EQ(Code(dlg), Q("16"));
    QTest::keyClicks(dlg.edCerca, Q("9"));
    EXPECT_EQ(Code(dlg), Q("16")) << "nessun codice comincia con 169: la riga resta";
    EXPECT_EQ(dlg.edCerca->text(), Q("169"));

    // The dialog's keys, from the search box and from the grid alike: one
    // step each, never handled twice.
    QTest::keyClick(dlg.edCerca, Qt::Key_Down);
    EXPECT_EQ(Code(dlg), Q("17"));
    dlg.dgDati->setFocus();
    QTest::keyClick(dlg.dgDati, Qt::Key_Down);
    EXPECT_EQ(Code(dlg), Q("18"));
    EXPECT_EQ(dlg.dgDati->currentRow(), 17);
    QTest::keyClick(dlg.dgDati, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Code(dlg), Q("21"));
    QTest::keyClick(dlg.dgDati, Qt::Key_Down);
    EXPECT_EQ(Code(dlg), Q("21"));
    QTest::keyClick(dlg.buOk, Qt::Key_PageUp);
    const int page = 21 - dlg.cdsTable.RecNo();
    EXPECT_GT(page, 2);
    EXPECT_LT(page, 20) << "una pagina di righe visibili";
    QTest::keyClick(dlg.edCerca, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(Code(dlg), Q("01"));
    QTest::keyClick(dlg.edCerca, Qt::Key_Up);
    EXPECT_EQ(Code(dlg), Q("01"));
    QTest::keyClick(dlg.edCerca, Qt::Key_PageDown);
    EXPECT_EQ(dlg.cdsTable.RecNo(), 1 + page);
    QTest::keyClick(dlg.edCerca, Qt::Key_Right);
    EXPECT_EQ(dlg.dgDati->currentColumn(), 1);
    QTest::keyClick(dlg.edCerca, Qt::Key_Right);
    EXPECT_EQ(dlg.dgDati->currentColumn(), 1);
    QTest::keyClick(dlg.dgDati, Qt::Key_Left);
    QTest::keyClick(dlg.dgDati, Qt::Key_Left);
    EXPECT_EQ(dlg.dgDati->currentColumn(), 0);
    EXPECT_EQ(dlg.edCerca->text(), Q("169")) << "i tasti gestiti non arrivano alla casella";

    // A click on a title sorts by that column and searches it.
    ClickTitle(dlg, 1);
    EXPECT_EQ(dlg.laNomeCampo->text(), Q("DESCRIZIONE"));
    EXPECT_TRUE(dlg.edCerca->text().isEmpty());
    EXPECT_EQ(dlg.dgDati->item(0, 1)->text(), Q("ABRUZZO"));
    QTest::keyClicks(dlg.edCerca, Q("PROVINCIA AUTONOMA DI T"));
    EXPECT_EQ(Code(dlg), Q("18"));
    EXPECT_EQ(dlg.dgDati->item(dlg.dgDati->currentRow(), 0)->text(), Q("18"));
    dlg.edCerca->setText(Q("v"));
    EXPECT_EQ(Code(dlg), Q("18")) << "la ricerca distingue maiuscole e minuscole";
    dlg.edCerca->setText(Q("V"));
    EXPECT_EQ(Code(dlg), Q("20"));

    // Entering the search box selects its text; Enter in the grid chooses.
    dlg.dgDati->setFocus();
    dlg.edCerca->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(dlg.edCerca->selectedText(), Q("V"));
    dlg.dgDati->setFocus();
    QTest::keyClick(dlg.dgDati, Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.ChosenValue(), Q("20"));
    EXPECT_EQ(dlg.CurrentDescription(), Q("VALLE D'AOSTA"));
  }
  {
    // Letter codes: the search is case-sensitive; values are cut to their
    // column; a double click chooses.
    TfmZurXMLTable dlg(Q("PROVA"));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), Q("Tabella di prova"));
    EXPECT_TRUE(dlg.paDescrizione->isVisible());
    EXPECT_EQ(dlg.laDescrizione->text(), Q("Righe di prova con codici di lettere."));
    ASSERT_EQ(dlg.dgDati->columnCount(), 3);
    EXPECT_EQ(dlg.dgDati->item(0, 2)->text(), Q("")) << "le colonne oltre la seconda restano vuote";
    QStringList order;
    for (int r = 0; r < dlg.dgDati->rowCount(); ++r)
      order << dlg.dgDati->item(r, 0)->text();
    EXPECT_EQ(order, QStringList({Q("A9"), Q("A10"), Q("AB5"), Q("B20"), Q("C30")})) << "A9 prima di A10";
    QTest::keyClick(dlg.edCerca, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(dlg.edCerca, Q("a"));
    EXPECT_EQ(Code(dlg), Q("C30")) << "\"a\" non trova \"A10\"";
    dlg.edCerca->clear();
    QTest::keyClicks(dlg.edCerca, Q("AB"));
    EXPECT_EQ(Code(dlg), Q("AB5"));
    QTest::keyClick(dlg.edCerca, Qt::Key_Backspace);
    EXPECT_EQ(Code(dlg), Q("A9"));
    EXPECT_EQ(dlg.dgDati->item(3, 1)->text(), Q("Bravo, più l"));
    const QRect cell = dlg.dgDati->visualItemRect(dlg.dgDati->item(3, 0));
    // The first click of a double click arrives as a click of its own.
    QTest::mouseClick(dlg.dgDati->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(Code(dlg), Q("B20"));
    EXPECT_FALSE(dlg.ChosenValue());
    QTest::mouseDClick(dlg.dgDati->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.ChosenValue(), Q("B20"));
    EXPECT_EQ(dlg.CurrentDescription(), Q("Bravo, più l"));
  }
  EXPECT_TRUE(platform.messages.empty());
  SetPlatform(nullptr);
}

TEST(TfmZurXMLTable, ChooseCodeFillsTheFieldOnlyOnOkWithARow) {
  TUiTestPlatform platform;
  SetPlatform(&platform);
  TLookupRoot root;
  TClientDataSet ds;
  ds.AddFieldDef(Q("SIRAPCODREG"), TFieldType::String, 2);
  ds.CreateDataSet();
  ds.Append();
  ds.Post();
  TField& field = ds.FieldByName(Q("SIRAPCODREG"));

  // A region chosen by typing its code and Enter in the search box.
  WhenModal([](QWidget* w) {
    auto* dlg = dynamic_cast<TfmZurXMLTable*>(w);
    ASSERT_NE(dlg, nullptr);
    QTest::keyClicks(dlg->edCerca, Q("08"));
    QTest::keyClick(dlg->edCerca, Qt::Key_Return);
  });
  TfmZurXMLTable::ChooseCode(Q("CODREG"), field);
  EXPECT_EQ(ds.State(), TDataSetState::Edit) << "il dataset passa in modifica";
  EXPECT_EQ(field.AsString(), Q("08"));
  EXPECT_EQ(zur::LastChosenDescription(), Q("LAZIO"));
  ds.Post();

  // Escape in the search box: no choice, the last description emptied.
  WhenModal([](QWidget* w) {
    auto* dlg = dynamic_cast<TfmZurXMLTable*>(w);
    ASSERT_NE(dlg, nullptr);
    QTest::keyClicks(dlg->edCerca, Q("2"));
    QTest::keyClick(dlg->edCerca, Qt::Key_Escape);
  });
  TfmZurXMLTable::ChooseCode(Q("CODREG"), field);
  EXPECT_EQ(ds.State(), TDataSetState::Browse);
  EXPECT_EQ(field.AsString(), Q("08"));
  EXPECT_TRUE(zur::LastChosenDescription().isEmpty());
  EXPECT_TRUE(platform.messages.empty());

  // A table that cannot be loaded: the warning, an empty dialog, and OK
  // leaves the field alone.
  for (const bool malformed : {false, true}) {
    platform.Clear();
    zur::SetLastChosenDescription(Q("LAZIO"));
    if (malformed) root.Write("<Tables><Table Name=\"CODREG\">");
    WhenModal([](QWidget* w) {
      auto* dlg = dynamic_cast<TfmZurXMLTable*>(w);
      ASSERT_NE(dlg, nullptr);
      EXPECT_EQ(dlg->dgDati->rowCount(), 0);
      EXPECT_EQ(dlg->dgDati->columnCount(), 0);
      QTest::mouseClick(dlg->buOk, Qt::LeftButton);
    });
    TfmZurXMLTable::ChooseCode(malformed ? Q("CODREG") : Q("NESSUNA"), field);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].type, TMsgDlgType::Warning);
    EXPECT_TRUE(platform.messages[0].text.startsWith(Q("Impossibile caricare il file delle tabelle:\n\r")));
    EXPECT_TRUE(platform.messages[0].text.contains(malformed ? Q("riga 1") : Q("\"NESSUNA\"")));
    EXPECT_EQ(ds.State(), TDataSetState::Browse);
    EXPECT_EQ(field.AsString(), Q("08"));
    EXPECT_TRUE(zur::LastChosenDescription().isEmpty());
  }

  // No file: only the warning, no dialog.
  platform.Clear();
  QFile::remove(zur::CodeTableFile());
  QTimer::singleShot(2000, [] {
    if (auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      ADD_FAILURE() << "una finestra senza il file delle tabelle";
      dlg->reject();
    }
  });
  TfmZurXMLTable::ChooseCode(Q("CODREG"), field);
  EXPECT_EQ(platform.MessageTexts(),
            QStringList{
                Q("Impossibile trovare il file delle tabelle. Si consiglia di reinstallare il programma.")});
  EXPECT_EQ(field.AsString(), Q("08"));
  EXPECT_EQ(ds.State(), TDataSetState::Browse);
  EXPECT_FALSE(TfmZurXMLTable::CodeExists(Q("CODREG"), Q("08")));
  SetPlatform(nullptr);
}
