// zur24-cli print and pdf-pages, run as the binary.
#include "print/PrintTestSupport.h"
#include "support/CliRun.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace printtest;

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

using zurtest::TRun;

class TCliPrint : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QDir().mkpath(m_root.filePath(Q("etc/qen")));
    QFile::copy(Q(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds"),
                m_root.filePath(Q("etc/qen/qen_QueryText.cds")));
    const QString from = Q(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/CoordStp/");
    QDir().mkpath(CoordDir());
    for (const QString& name : QDir(from).entryList(QDir::Files))
      QFile::copy(from + name, CoordDir() + name);
  }
  QString CoordDir() const { return m_root.filePath(Q("USR/FR2024/Res/CoordStp/")); }
  QString Path(const char* name) const { return m_root.filePath(Q(name)); }

  TRun Run(const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("ZUR24_CLI", Q(ZUR_BUILD_DIR "/bin/zur24-cli")),
            QStringList{Q("--root"), m_root.path(), Q("--db"), Db().Url()} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
  }
  void Declaration() {
    ASSERT_EQ(Run({Q("init"), Q("--demo")}).rc, 0);
    ASSERT_EQ(Run({Q("new"), Q("80011990639")}).rc, 0);
    QFile f(Path("d.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"cdsQuadroIK": {"FIKVALIRAP1": 1234.5},
               "cdsQuadroIRVar": [{"SIRCODREGIONE": "09", "FIRBASEIMP": 456789},
                                  {"SIRCODREGIONE": "12", "FIRBASEIMP": 987654}]})");
    f.close();
    const TRun set = Run({Q("set"), Q("80011990639"), Path("d.json")});
    ASSERT_EQ(set.rc, 0) << set;
  }

  QTemporaryDir m_root;
};

TEST_P(TCliPrint, PrintWritesTheGroupToTheFileGiven) {
  Declaration();
  const TRun ik = Run({Q("print"), Q("80011990639"), Q("ik"), Path("ik.pdf")});
  ASSERT_EQ(ik.rc, 0) << ik;
  EXPECT_TRUE(ik.out.contains(Path("ik.pdf"))) << ik;
  EXPECT_EQ(PdfPages(Path("ik.pdf")), 1);
  EXPECT_TRUE(PdfText(Path("ik.pdf")).contains(Q("1.235")));

  const TRun ir = Run({Q("print"), Q("80011990639"), Q("IR"), Path("ir.pdf")});
  ASSERT_EQ(ir.rc, 0) << ir;
  const int irVar = FormPages("QuadroIR.xml") + 1;
  ASSERT_EQ(PdfPages(Path("ir.pdf")), irVar);
  const QString rows = PdfText(Path("ir.pdf"), irVar);
  EXPECT_TRUE(rows.contains(Q("456.789")) && rows.contains(Q("987.654"))) << rows.toStdString();
}

TEST_P(TCliPrint, PrintFailuresAreNamedAndKeepThePreviousFile) {
  Declaration();
  EXPECT_EQ(Run({Q("print"), Q("80011990639"), Q("quadro"), Path("x.pdf")}).rc, 2);
  QFile previous(Path("is.pdf"));
  ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
  previous.write("previous");
  previous.close();
  QFile::remove(CoordDir() + Q("IRAP_mod.pdf"));
  const TRun r = Run({Q("print"), Q("80011990639"), Q("is"), Path("is.pdf")});
  EXPECT_EQ(r.rc, 1) << r;
  EXPECT_TRUE(r.err.contains(Q("File mancante ") + CoordDir() + Q("IRAP_mod.pdf"))) << r;
  ASSERT_TRUE(previous.open(QIODevice::ReadOnly));
  EXPECT_EQ(previous.readAll(), QByteArray("previous"));
}

TEST_P(TCliPrint, PdfPagesCopiesARangeListAndAsksBeforeReplacing) {
  const QString model = CoordDir() + Q("IRAP_mod.pdf");
  const TRun r = Run({Q("pdf-pages"), model, Q("1-2,5"), Path("p.pdf")});
  ASSERT_EQ(r.rc, 0) << r;
  EXPECT_TRUE(r.out.contains(Q("Creazione terminata con successo:"))) << r;
  EXPECT_EQ(PdfPages(Path("p.pdf")), 3);
  EXPECT_EQ(Run({Q("pdf-pages"), model, Q("all"), Path("p.pdf")}).rc, 2)
      << "the overwrite question needs --yes";
  EXPECT_EQ(PdfPages(Path("p.pdf")), 3);
  EXPECT_EQ(Run({Q("--yes"), Q("pdf-pages"), model, Q("all"), Path("p.pdf")}).rc, 0);
  EXPECT_EQ(PdfPages(Path("p.pdf")), 24);
  const TRun bad = Run({Q("pdf-pages"), Path("d.json"), Q("all"), Path("q.pdf")});
  EXPECT_EQ(bad.rc, 1);
  EXPECT_TRUE(bad.err.contains(Q("File mancante"))) << bad;
}

// No output may replace an input of the program, a folder, a device or a
// file the clerk made read-only; each is refused with its reason and left
// as it was.
TEST_P(TCliPrint, OutputsNeverReplaceInputsDevicesOrReadOnlyFiles) {
  Declaration();
  const QString model = CoordDir() + Q("IRAP_mod.pdf");
  const QByteArray modelBytes = [&] {
    QFile f(model);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  QFile readOnly(Path("ro.pdf"));
  ASSERT_TRUE(readOnly.open(QIODevice::WriteOnly));
  readOnly.write("clerk's copy");
  readOnly.close();
  QFile::setPermissions(Path("ro.pdf"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
  QDir().mkpath(Path("dir.pdf"));

  QStringList targets{model, CoordDir() + Q("QuadroIK.xml"), Path("dir.pdf"), Q("/dev/full"), Path("ro.pdf")};
  if (IsSQLite()) targets << Db().Url().mid(int(qstrlen("sqlite:")));
  for (const QString& target : targets) {
    const TRun r = Run({Q("--yes"), Q("print"), Q("80011990639"), Q("ik"), target});
    EXPECT_EQ(r.rc, 1) << target.toStdString() << "\n" << r;
    EXPECT_TRUE(r.err.contains(Q("Impossibile scrivere il file ") + target + Q(": "))) << r;
    const TRun pages = Run({Q("--yes"), Q("pdf-pages"), model, Q("1"), target});
    EXPECT_EQ(pages.rc, 1) << target.toStdString() << "\n" << pages;
    EXPECT_TRUE(pages.err.contains(Q("Impossibile scrivere il file ") + target + Q(": "))) << pages;
  }
  QFile after(model);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), modelBytes);
  QFile ro(Path("ro.pdf"));
  ASSERT_TRUE(ro.open(QIODevice::ReadOnly));
  EXPECT_EQ(ro.readAll(), QByteArray("clerk's copy"));
  EXPECT_TRUE(QFileInfo(Path("dir.pdf")).isDir());
  EXPECT_EQ(Run({Q("info")}).rc, 0) << "the database survives";

  // A damaged model is named, so the clerk knows which file to replace.
  QFile damaged(model);
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("%PDF-1.4 not a model");
  damaged.close();
  const TRun r = Run({Q("print"), Q("80011990639"), Q("ik"), Path("ik.pdf")});
  EXPECT_EQ(r.rc, 1) << r;
  EXPECT_TRUE(r.err.contains(Q("Il modello PDF ") + model + Q(" è danneggiato"))) << r;
  EXPECT_FALSE(QFileInfo::exists(Path("ik.pdf")));
}

ZUR_INSTANTIATE_ENGINES(TCliPrint);

} // namespace
