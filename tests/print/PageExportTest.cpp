#include "PrintTestSupport.h"
#include "support/ScriptedPlatform.h"
#include "print/zurPaginePDF.h"
#include "print/zurStandInModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace printtest;

namespace {

const QString kModel = QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/CoordStp/IRAP_mod.pdf");
const QString kSuccess = QStringLiteral("Creazione terminata con successo:\n\r");

class PageExport : public ::testing::Test {
protected:
  QString Out(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
  QTemporaryDir m_dir;
  TScriptedPlatform m_platform;
  TZurPaginePDF m_export;
};

TEST_F(PageExport, AllPagesCopiesTheWholeFile) {
  m_platform.AnswerFile(Out("all.pdf"));
  EXPECT_EQ(m_export.Copia(kModel, true, QStringLiteral("ignored")), TZurPaginePDF::TResult::Saved);
  EXPECT_EQ(PdfPages(Out("all.pdf")), kStandInPages);
  EXPECT_EQ(m_platform.messages(), QStringList{kSuccess + Out("all.pdf")});
}

TEST_F(PageExport, AListGivesThosePagesInThatOrder) {
  m_platform.AnswerFile(Out("two.pdf"));
  ASSERT_EQ(m_export.Copia(kModel, false, QStringLiteral("23,22")), TZurPaginePDF::TResult::Saved);
  ASSERT_EQ(PdfPages(Out("two.pdf")), 2);
  EXPECT_TRUE(PdfText(Out("two.pdf"), 1).contains(QStringLiteral("pagina 23")));
  EXPECT_TRUE(PdfText(Out("two.pdf"), 2).contains(QStringLiteral("pagina 22")));
  m_platform.AnswerFile(Out("ranges.pdf"));
  ASSERT_EQ(m_export.Copia(kModel, false, QStringLiteral("1-5,7")), TZurPaginePDF::TResult::Saved);
  EXPECT_EQ(PdfPages(Out("ranges.pdf")), 6);
}

TEST_F(PageExport, ARefusedListIsReportedAndNothingIsAsked) {
  for (const char* bad : {"", "0", "25", "3-1", "x"}) {
    m_platform.clear();
    EXPECT_EQ(m_export.Copia(kModel, false, QLatin1String(bad)), TZurPaginePDF::TResult::CopyFailed) << bad;
    EXPECT_EQ(
        m_platform.messages(),
        QStringList{QStringLiteral(
            "Errore durante la copia delle pagine, provare a cambiare le pagine selezionate selezionati")});
  }
  // The engine keeps no documents of a copy: the next one starts clean.
  m_platform.AnswerFile(Out("after.pdf"));
  EXPECT_EQ(m_export.Copia(kModel, false, QStringLiteral("2")), TZurPaginePDF::TResult::Saved);
  EXPECT_EQ(PdfPages(Out("after.pdf")), 1);
}

TEST_F(PageExport, UnreadableSourceAndMissingSource) {
  QFile junk(Out("junk.pdf"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a pdf");
  junk.close();
  EXPECT_EQ(m_export.Copia(Out("junk.pdf"), true, {}), TZurPaginePDF::TResult::OpenFailed);
  EXPECT_EQ(m_platform.messages(), QStringList{QStringLiteral("Errore durante l'apertura del PDF.")});
  m_platform.clear();
  EXPECT_EQ(m_export.Copia(Out("absent.pdf"), true, {}), TZurPaginePDF::TResult::NoSource);
  EXPECT_TRUE(m_platform.calls().empty());
}

TEST_F(PageExport, AnExistingFileIsReplacedOnlyAfterYes) {
  QFile old(Out("old.pdf"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("previous");
  old.close();
  m_platform.AnswerFile(Out("old.pdf"));
  m_platform.AnswerMessage(TModalResult::No);
  EXPECT_EQ(m_export.Copia(kModel, false, QStringLiteral("1")), TZurPaginePDF::TResult::NotSaved);
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), QByteArray("previous"));
  old.close();
  EXPECT_EQ(m_platform.messages(), QStringList{QStringLiteral("Sovrascrivere il file già presente?")});

  m_platform.clear();
  m_platform.AnswerFile(Out("old.pdf"));
  m_platform.AnswerMessage(TModalResult::Yes);
  EXPECT_EQ(m_export.Copia(kModel, false, QStringLiteral("1")), TZurPaginePDF::TResult::Saved);
  EXPECT_EQ(PdfPages(Out("old.pdf")), 1);
}

TEST_F(PageExport, AWriteThatFailsIsNeverReportedAsSuccess) {
  m_platform.AnswerFile(Out("no/such/folder/x.pdf"));
  EXPECT_EQ(m_export.Copia(kModel, true, {}), TZurPaginePDF::TResult::WriteFailed);
  ASSERT_EQ(m_platform.messages().size(), 1);
  EXPECT_FALSE(m_platform.messages().first().startsWith(kSuccess));
}

TEST_F(PageExport, CancelledSaveDialogWritesNothing) {
  m_platform.AnswerFile(Out("never.pdf"), false);
  EXPECT_EQ(m_export.Copia(kModel, true, {}), TZurPaginePDF::TResult::NotSaved);
  EXPECT_FALSE(QFile::exists(Out("never.pdf")));
}

} // namespace
