// zur24-cli telematic, run as the binary on both engines: the whole road of
// "Creazione file telematico" from the saved declaration to the file.
#include "support/CliRun.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

using zurtest::TRun;

constexpr const char* kCf = "97123450583";

// A declaration whose data checks pass, with quadro IK and every box at 1:
// IR and IS are absent, so the boxes disagree with the data.
constexpr const char* kDeclaration = R"({"cdsFrontespizio": {
  "DIRAPPERIODOIMPOSTADAL": "2024-01-01", "DIRAPPERIODOIMPOSTAAL": "2024-12-31", "LIRAPSESSO": "M",
  "SIRAPCODCARICA": "1", "SIRAPCODFISRAPFIRMATARIO": "RSSMRA70A01H501U", "SIRAPNATURAGIURIDICA": "51",
  "SIRAPSITUAZIONE": "1", "SIRAPSTATO": "1", "SIRAPCOGNOME": "Rossi", "SIRAPNOME": "Mario",
  "DIRAPDATANASCITA": "1970-01-01", "SIRAPCOMUNENASCITA": "Roma", "SIRAPPROVINCIANASCITA": "RM",
  "SIRAPDENOM": "Istituto \"Betulle\" & <figli> N° 1"},
 "cdsQuadroIK": {"FIKVALIRAP1": 1200, "FIKVALIRAP5": 1200, "FIKAMMONTARE27": 1200, "FIKBASEIMP37": 1200}})";

class TCliTelematic : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QDir().mkpath(m_root.filePath(Q("etc/qen")));
    QDir().mkpath(m_root.filePath(Q("bin")));
    QFile::copy(Q(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds"),
                m_root.filePath(Q("etc/qen/qen_QueryText.cds")));
    ASSERT_EQ(Run({Q("init"), Q("--demo")}).rc, 0);
    ASSERT_EQ(Run({Q("new"), Q(kCf)}).rc, 0);
  }

  TRun Run(const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("ZUR24_CLI", Q(ZUR_BUILD_DIR "/bin/zur24-cli")),
            QStringList{Q("--root"), m_root.path(), Q("--db"), Db().Url()} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
  }
  void SetDeclaration() {
    const QString path = m_root.filePath(Q("d.json"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kDeclaration);
    f.close();
    const TRun r = Run({Q("set"), Q(kCf), path});
    ASSERT_EQ(r.rc, 0) << r;
  }
  QString CheckerResult() { return m_root.filePath(Q("USR/FR2024/Res/Dich/IRAP2025_logSchema.xml")); }
  void PutCheckerResult() {
    QDir().mkpath(QFileInfo(CheckerResult()).absolutePath());
    QFile(CheckerResult()).open(QIODevice::WriteOnly);
  }

  QTemporaryDir m_root;
};

TEST_P(TCliTelematic, FindingsOfTheChecksStopBeforeAnyFile) {
  const QString out = m_root.filePath(Q("out.xml"));
  const TRun r = Run({Q("--yes"), Q("telematic"), Q(kCf), out});
  EXPECT_EQ(r.rc, 1) << r;
  EXPECT_TRUE(r.out.contains(Q(" - Dato obbligatorio mancante"))) << r;
  EXPECT_FALSE(QFileInfo::exists(out));
}

TEST_P(TCliTelematic, InconsistentBoxesAskAndNoCancels) {
  SetDeclaration();
  PutCheckerResult();
  const QString out = m_root.filePath(Q("out.xml"));
  TRun r = Run({Q("telematic"), Q(kCf), out});
  EXPECT_EQ(r.rc, 2) << r;
  EXPECT_TRUE(r.err.contains(Q("Incongruenza dati rilevazione e quadri IK,IR,IS."))) << r;
  EXPECT_FALSE(QFileInfo::exists(out));

  r = Run({Q("--no"), Q("telematic"), Q(kCf), out});
  EXPECT_EQ(r.rc, 3) << r;
  EXPECT_EQ(r.out.trimmed(), Q("Creazione file telematico annullata.")) << r;
  EXPECT_TRUE(r.err.contains(
      Q("  Non è presente il quadro IR: nella firma della dichiarazione il valore deve essere 0")))
      << r;
  EXPECT_FALSE(QFileInfo::exists(out));
  EXPECT_FALSE(QFileInfo::exists(CheckerResult()));
}

TEST_P(TCliTelematic, YesWritesTheFileWithTheSupplierDefaults) {
  SetDeclaration();
  PutCheckerResult();
  const QString out = m_root.filePath(Q("out.xml"));
  const TRun r = Run({Q("--yes"), Q("telematic"), Q(kCf), out});
  ASSERT_EQ(r.rc, 0) << r;
  EXPECT_EQ(r.out.trimmed(), Q("Creazione file telematico terminata con successo.")) << r;
  EXPECT_FALSE(QFileInfo::exists(CheckerResult()));

  QProcess lint;
  lint.start(Q("xmllint"), {Q("--noout"), out});
  ASSERT_TRUE(lint.waitForFinished(30000));
  EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();
  QFile f(out);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(
      text.contains(Q("\r\n      <tm:CodiceFiscaleFornitore>97123450583</tm:CodiceFiscaleFornitore>\r\n")));
  EXPECT_TRUE(text.contains(Q("\r\n<ir:TipoFornitore>1</ir:TipoFornitore>\r\n")));
  EXPECT_TRUE(
      text.contains(Q("<ir:Denominazione>ISTITUTO 'BETULLE' &amp; &lt;FIGLI&gt; N 1</ir:Denominazione>")));
  EXPECT_TRUE(text.contains(Q("<ir:ValoreProduzione>1200</ir:ValoreProduzione>")));

  // The supplier defaults were saved with the declaration.
  const TRun get = Run({Q("get"), Q(kCf)});
  EXPECT_TRUE(get.out.contains(Q("\"SIRAPTIPOFORNITORE\": \"01\""))) << get;
}

ZUR_INSTANTIATE_ENGINES(TCliTelematic);

} // namespace
