// zur24-cli import: start-up, the declaration chosen by fiscal code, the
// import with its log on standard output, the answers from the flags, the
// save; on both engines, with the demo database.
#include "cli/CliImport.h"

#include "app/ZurApplication.h"
#include "db/FamilyDemo.h"
#include "db/FamilySchema.h"
#include "db/ZurQuery.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "payroll/PayrollTestSupport.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"
#include "support/ScriptedPlatform.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

const QString kCF = QString::fromLatin1(TFamilyDemo::CodiceFiscale);

struct TRun {
  int rc = -1;
  QString out;
  QString err;
};

std::ostream& operator<<(std::ostream& os, const TRun& r) {
  return os << "rc=" << r.rc << "\nout:\n" << r.out.toStdString() << "\nerr:\n" << r.err.toStdString();
}

QString Lines(const QStringList& lines) {
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QStringList MonthLines(int months) {
  QStringList out;
  for (int m = 0; m < months; ++m)
    out << Q("Calcolo fondamentali...") << Q("Calcolo accessori cococo...") << Q("Calcolo autonomi...")
        << Q("Calcolo accessori dipendenti...") << Q("Calcolo fondamentali cococo...")
        << Q("Calcolo ritenuta...");
  return out;
}

const QStringList kClosing{Q("Import terminato con successo!"), QString(), Q("ATTENZIONE!"),
                           Q("SI INVITA A CONTROLLARE I DATI IMPORTATI.")};

class TCliImport : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_savedRoot = zur::RootDir();
    QDir().mkpath(m_root.filePath(Q("etc/qen")));
    QDir().mkpath(m_root.filePath(Q("bin")));
    // In this process the program is the test binary: the repository names it
    // as well, so that start-up's version check passes.
    InstallRepository({});
    TFamilySchema::Create(Conn(), true, TZurCatalogue::WriteStructureRows);
    TScriptedPlatform platform;
    auto app = App();
    ASSERT_TRUE(app->Start());
    platform.AnswerInput(kCF);
    ASSERT_EQ(app->Dati().New(), 1000001);
  }
  void TearDown() override {
    m_repository.reset();
    if (!m_savedRoot.isEmpty()) zur::SetRootDir(m_savedRoot);
    TDatabaseTest::TearDown();
  }

  void
  InstallRepository(const std::map<zurtest::TRepositoryOverride::TKey, std::optional<QString>>& changes) {
    m_repository.reset();
    m_repository = std::make_unique<zurtest::TRepositoryOverride>(
        changes, QStringList{QFileInfo(QCoreApplication::applicationFilePath()).fileName()});
    const QString target = m_root.filePath(Q("etc/qen/qen_QueryText.cds"));
    QFile::remove(target);
    ASSERT_TRUE(QFile::copy(m_repository->Path(), target));
  }

  std::unique_ptr<TZurApplication> App() {
    TZurApplication::TOptions o;
    o.rootDir = m_root.path();
    o.databaseUrl = Db().Url();
    o.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    o.version = Q(ZUR_VERSION);
    return std::make_unique<TZurApplication>(o);
  }

  // CmdImport in this process, as main runs it, with its output captured.
  TRun Run(const QStringList& arguments, TCliPlatform::Answer answer = TCliPlatform::Answer::None) {
    TCliOptions o;
    o.rootDir = m_root.path();
    o.databaseUrl = Db().Url();
    o.command = Q("import");
    o.arguments = arguments;
    TCliPlatform platform(answer, false);
    IZurPlatform& previous = Platform();
    SetPlatform(&platform);
    TRun r;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
      r.rc = CmdImport(o, platform);
    } catch (const TCliPlatform::EUnanswered& e) {
      r.rc = 2;
      std::fprintf(stderr, "%s\n", e.question().toUtf8().constData());
    } catch (const ECliUsage& e) {
      r.rc = 2;
      std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
    } catch (const EZurError& e) {
      r.rc = e.kind() == EZurError::Kind::Cancelled ? 3 : 1;
      std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
    }
    r.out = QString::fromStdString(testing::internal::GetCapturedStdout());
    r.err = QString::fromStdString(testing::internal::GetCapturedStderr());
    SetPlatform(&previous);
    return r;
  }

  // The stored declaration, read back by a fresh start-up.
  struct TStored {
    std::unique_ptr<TZurApplication> app;
    TdmZurDati& Dati() { return app->Dati(); }
    QString S(TClientDataSet& ds, const char* f) { return ds.FieldByName(QString::fromLatin1(f)).AsString(); }
    qint64 I(TClientDataSet& ds, const char* f) { return ds.FieldByName(QString::fromLatin1(f)).AsInteger(); }
  };
  TStored Stored() {
    TScriptedPlatform platform;
    TStored s{App()};
    EXPECT_TRUE(s.app->Start());
    EXPECT_TRUE(s.Dati().EnterDeclaration(1000001));
    return s;
  }

  void SetComune(const QString& value) {
    TScriptedPlatform platform;
    auto app = App();
    ASSERT_TRUE(app->Start());
    ASSERT_TRUE(app->Dati().EnterDeclaration(1000001));
    TClientDataSet& f = app->Dati().cdsFrontespizio;
    f.Edit();
    f.FieldByName(Q("SIRAPCOMUNESL")).SetAsString(value);
    app->Dati().SaveAll(false);
  }

  QTemporaryDir m_root;
  QString m_savedRoot;
  std::unique_ptr<zurtest::TRepositoryOverride> m_repository;
};

} // namespace

TEST_P(TCliImport, FullYearPrintsTheLogAndSavesTheFigures) {
  const TRun r = Run({kCF, Q("--from"), Q("2024-01"), Q("--to=2024-12")});
  ASSERT_EQ(r.rc, 0) << r;
  QStringList expected{Q("Lettura dati sede...OK"), Q("Import dati sostituto...OK"),
                       Q("Calcolo e import dei valori IRAP - Anno: 2024")};
  expected << MonthLines(12) << Q("Calcolo IRAP ...OK") << Q("Import dati IRAP...OK") << kClosing;
  EXPECT_EQ(r.out, Lines(expected));
  EXPECT_TRUE(r.err.isEmpty()) << r;

  TStored s = Stored();
  TClientDataSet& ik = s.Dati().cdsQuadroIK;
  ASSERT_EQ(ik.RecordCount(), 1);
  EXPECT_EQ(s.I(ik, "FIKVALIRAP1"), 38395);
  EXPECT_EQ(s.I(ik, "FIKVALIRAP2"), 13608);
  EXPECT_EQ(s.I(ik, "FIKVALIRAP3"), 2051);
  EXPECT_EQ(s.I(ik, "FIKVALIRAP5"), 54054);
  TClientDataSet& ir = s.Dati().cdsQuadroIRVar;
  ASSERT_EQ(ir.RecordCount(), 1);
  EXPECT_EQ(s.S(ir, "SIRCODREGIONE"), Q("08"));
  EXPECT_EQ(s.I(ir, "FIRBASEIMP"), 54054);
  EXPECT_EQ(s.I(ir, "FIRIMPOSTA"), 4595);
  EXPECT_EQ(s.I(ir, "FIRTOTACCONTIDOV"), 4595);
  EXPECT_EQ(s.I(ir, "FIRTOTACCONTI"), 4595);
  EXPECT_EQ(s.S(s.Dati().cdsFrontespizio, "SIRAPTELEFONO"), Q("061234567"));
  EXPECT_EQ(s.S(s.Dati().cdsQuadroIS, "SIS37_ATECO02"), Q(TFamilyDemo::CodiceAteco));
}

TEST_P(TCliImport, OverwriteQuestionIsAnsweredByTheFlags) {
  ASSERT_EQ(Run({kCF, Q("--no-irap")}).rc, 0);
  SetComune(Q("FRASCATI"));

  // Without --yes/--no the question is an error, and nothing is saved.
  TRun r = Run({kCF, Q("--no-irap")});
  EXPECT_EQ(r.rc, 2) << r;
  EXPECT_TRUE(r.err.contains(Q("Confermi la sostituzione dei dati?"))) << r;
  {
    TStored s = Stored();
    EXPECT_EQ(s.S(s.Dati().cdsFrontespizio, "SIRAPCOMUNESL"), Q("FRASCATI"));
  }

  r = Run({kCF, Q("--no-irap")}, TCliPlatform::Answer::No);
  EXPECT_EQ(r.rc, 0) << r;
  EXPECT_TRUE(r.err.contains(Q("l'import li sovrascriverà.\nConfermi la sostituzione dei dati? -> No"))) << r;
  {
    TStored s = Stored();
    EXPECT_EQ(s.S(s.Dati().cdsFrontespizio, "SIRAPCOMUNESL"), Q("FRASCATI"));
  }

  r = Run({kCF, Q("--no-irap")}, TCliPlatform::Answer::Yes);
  EXPECT_EQ(r.rc, 0) << r;
  TStored s = Stored();
  EXPECT_EQ(s.S(s.Dati().cdsFrontespizio, "SIRAPCOMUNESL"), Q("ROMA"));
  EXPECT_TRUE(s.Dati().cdsQuadroIK.IsEmpty());
}

TEST_P(TCliImport, PeriodFlagsAndTheirRefusals) {
  TRun r = Run({kCF, Q("--no-sostituto"), Q("--from"), Q("2024-02"), Q("--to"), Q("2024-3")});
  ASSERT_EQ(r.rc, 0) << r;
  QStringList expected{Q("Lettura dati sede...OK"),
                       Q("Calcolo e import dei valori IRAP - Anno: 2024, dal mese 2 al mese 3")};
  expected << MonthLines(2) << Q("Calcolo IRAP ...OK") << Q("Import dati IRAP...OK") << kClosing;
  EXPECT_EQ(r.out, Lines(expected));
  {
    // February and March 2024 by hand: employees 2 x (2150.37 + 1890.12) +
    // 312.45 = 8393.43; collaborators 2 x (800.55 + 1200.25) + 99.99 + 150.10
    // = 4251.69; self-employed 500 + 275.30.
    TStored s = Stored();
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIK, "FIKVALIRAP1"), 8393);
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIK, "FIKVALIRAP2"), 4252);
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIK, "FIKVALIRAP3"), 775);
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIRVar, "FIRIMPOSTA"), 1141); // 13420 x 8.5 % = 1140.7
  }

  // An inverted period fails before anything is done; nothing is saved.
  r = Run({kCF, Q("--from"), Q("2024-03"), Q("--to"), Q("2024-02")});
  EXPECT_EQ(r.rc, 1) << r;
  EXPECT_TRUE(r.out.isEmpty()) << r;
  EXPECT_TRUE(r.err.contains(Q("Il periodo scelto non è valido."))) << r;
  {
    TStored s = Stored();
    EXPECT_TRUE(s.S(s.Dati().cdsFrontespizio, "SIRAPCOMUNESL").isEmpty());
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIK, "FIKVALIRAP1"), 8393);
  }

  for (const QStringList& usage :
       {QStringList{kCF, Q("--from"), Q("2019-01")}, QStringList{kCF, Q("--to"), Q("2024-13")},
        QStringList{kCF, Q("--from")}, QStringList{kCF, Q("--yes")}, QStringList{}, QStringList{kCF, kCF}}) {
    r = Run(usage);
    EXPECT_EQ(r.rc, 2) << usage.join(QLatin1Char(' ')).toStdString() << "\n" << r;
  }
  r = Run({Q("RSSMRA80A01H501U")});
  EXPECT_EQ(r.rc, 1) << r;
  EXPECT_TRUE(r.err.contains(Q("Nessuna dichiarazione con C.F. RSSMRA80A01H501U."))) << r;
}

TEST_P(TCliImport, FailedImportSavesNothing) {
  InstallRepository({{{Q("QRY_IRAP_RIT"), Q("EXECUTE")}, zurtest::kRitenutaGuastaDaMarzo}});
  const TRun r = Run({kCF, Q("--from"), Q("2024-01"), Q("--to"), Q("2024-12")});
  EXPECT_EQ(r.rc, 1) << r;
  // The log is printed up to the failure, each line ended.
  EXPECT_TRUE(r.out.startsWith(Q("Lettura dati sede...OK\nImport dati sostituto...OK\n"))) << r;
  EXPECT_TRUE(r.out.endsWith(Q("Calcolo ritenuta...\n"))) << r;
  EXPECT_TRUE(r.err.contains(Q("Import non completato: la dichiarazione non è stata salvata."))) << r;
  TStored s = Stored();
  EXPECT_TRUE(s.S(s.Dati().cdsFrontespizio, "SIRAPCOMUNESL").isEmpty());
  EXPECT_TRUE(s.Dati().cdsQuadroIS.IsEmpty());
  EXPECT_TRUE(s.Dati().cdsQuadroIK.IsEmpty());
}

// A period without a single payroll movement gives the month statement's
// rows all the same: the import must not take them for figures, while
// movements that really sum to zero are figures and are written.
TEST_P(TCliImport, PeriodWithoutPayrollChangesNothingButRealZerosAreWritten) {
  ASSERT_EQ(Run({kCF, Q("--from"), Q("2024-01"), Q("--to"), Q("2024-12")}).rc, 0);
  TRun r = Run({kCF, Q("--no-sostituto"), Q("--from"), Q("2025-01"), Q("--to"), Q("2025-08")});
  ASSERT_EQ(r.rc, 0) << r;
  EXPECT_TRUE(
      r.out.contains(Q("Calcolo IRAP ...OK\nNon sono presenti o non è stato possibile calcolare i dati "
                       "IRAP.\n") +
                     Lines(kClosing)))
      << r;
  EXPECT_FALSE(r.out.contains(Q("Import dati IRAP..."))) << r;
  {
    TStored s = Stored();
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIK, "FIKVALIRAP5"), 54054);
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIRVar, "FIRBASEIMP"), 54054);
    EXPECT_EQ(s.I(s.Dati().cdsQuadroIRVar, "FIRIMPOSTA"), 4595);
  }

  // A salary paid and taken back in January 2025.
  TZurQuery q(Conn());
  q.SetSQL(Q("INSERT INTO tregs_registrazioni (iregsid, ianfid, imesid, idipid, itnoid, icotid, "
             "nregsimponibile, nregsirap) VALUES (:ID, 56, 1, 1, 1, 1, :IMP, :IRAP)"));
  for (const auto& [id, cents] : {std::pair{900001, 150000}, std::pair{900002, -150000}}) {
    q.ParamByName(Q("ID")).SetInteger(id);
    q.ParamByName(Q("IMP")).SetAmount(Currency::FromCents(cents));
    q.ParamByName(Q("IRAP")).SetAmount(Currency());
    q.ExecSQL();
  }
  r = Run({kCF, Q("--no-sostituto"), Q("--from"), Q("2025-01"), Q("--to"), Q("2025-08")});
  ASSERT_EQ(r.rc, 0) << r;
  EXPECT_TRUE(r.out.contains(Q("Import dati IRAP...OK\n"))) << r;
  TStored s = Stored();
  EXPECT_EQ(s.I(s.Dati().cdsQuadroIK, "FIKVALIRAP5"), 0);
  EXPECT_EQ(s.I(s.Dati().cdsQuadroIRVar, "FIRBASEIMP"), 0);
}

// The closing lines speak for a stored import: a save the database refuses
// prints none of them, and the command fails.
TEST_P(TCliImport, RefusedSavePrintsNoSuccess) {
  // A trigger body holds several statements, which TZurQuery refuses.
  QSqlQuery q(Conn().Database());
  if (IsSQLite()) {
    ASSERT_TRUE(q.exec(Q("CREATE TRIGGER trg_rifiuta BEFORE INSERT ON tfis_datifiscali "
                         "BEGIN SELECT RAISE(ABORT, 'scrittura rifiutata'); END")));
  } else {
    ASSERT_TRUE(q.exec(Q("CREATE FUNCTION fn_rifiuta() RETURNS trigger LANGUAGE plpgsql AS "
                         "$$ BEGIN RAISE EXCEPTION 'scrittura rifiutata'; END $$")));
    ASSERT_TRUE(q.exec(Q("CREATE TRIGGER trg_rifiuta BEFORE INSERT ON tfis_datifiscali "
                         "FOR EACH ROW EXECUTE FUNCTION fn_rifiuta()")));
  }
  const TRun r = Run({kCF, Q("--from"), Q("2024-01"), Q("--to"), Q("2024-12")});
  EXPECT_EQ(r.rc, 1) << r;
  EXPECT_TRUE(r.out.endsWith(Q("Import dati IRAP...OK\n"))) << r;
  EXPECT_FALSE(r.out.contains(Q("Import terminato con successo!"))) << r;
  EXPECT_TRUE(r.err.contains(Q("scrittura rifiutata"))) << r;
  EXPECT_TRUE(r.err.contains(Q("Import non completato: la dichiarazione non è stata salvata."))) << r;
}

// The installed program, once the command table lists the command.
TEST_P(TCliImport, ProgramRunsTheCommand) {
  QFile::remove(m_root.filePath(Q("etc/qen/qen_QueryText.cds")));
  ASSERT_TRUE(QFile::copy(zurtest::kCommittedRepository, m_root.filePath(Q("etc/qen/qen_QueryText.cds"))));
  QProcess p;
  p.start(qEnvironmentVariable("ZUR24_CLI", Q(ZUR_BUILD_DIR "/bin/zur24-cli")),
          {Q("--root"), m_root.path(), Q("--db"), Db().Url(), Q("import"), kCF, Q("--from"), Q("2024-01"),
           Q("--to"), Q("2024-12")});
  ASSERT_TRUE(p.waitForFinished(120000));
  const TRun r{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
               QString::fromUtf8(p.readAllStandardError())};
  if (r.rc == 2 && r.err.contains(Q("Comando sconosciuto: import")))
    GTEST_SKIP() << "zur24-cli does not list the import command yet";
  ASSERT_EQ(r.rc, 0) << r;
  EXPECT_TRUE(r.out.startsWith(Q("Lettura dati sede...OK\nImport dati sostituto...OK\n"))) << r;
  EXPECT_TRUE(r.out.endsWith(Q("Import dati IRAP...OK\n") + Lines(kClosing))) << r;
  // Read back in this process, whose own name the committed repository lacks.
  InstallRepository({});
  TStored s = Stored();
  EXPECT_EQ(s.I(s.Dati().cdsQuadroIK, "FIKVALIRAP5"), 54054);
}

ZUR_INSTANTIATE_ENGINES(TCliImport);
