// zur24-cli's declaration commands, run as the binary on both engines.
#include "db/FamilySchema.h"
#include "db/ZurQuery.h"
#include "support/CliRun.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

using zurtest::TRun;

class TCliDeclaration : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QDir().mkpath(m_root.filePath(Q("etc/qen")));
    QDir().mkpath(m_root.filePath(Q("bin")));
    QFile::copy(Q(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds"),
                m_root.filePath(Q("etc/qen/qen_QueryText.cds")));
  }

  TRun Run(const QStringList& args) {
    auto p = Start(args);
    return Finish(*p);
  }
  // A run left going, as another workstation's would be.
  std::unique_ptr<QProcess> Start(const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    p->start(qEnvironmentVariable("ZUR24_CLI", Q(ZUR_BUILD_DIR "/bin/zur24-cli")),
             QStringList{Q("--root"), m_root.path(), Q("--db"), Db().Url()} + args);
    p->closeWriteChannel();
    EXPECT_TRUE(p->waitForStarted(10000));
    return p;
  }
  static TRun Finish(QProcess& p) {
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
  }
  qint64 Scalar(const QString& sql) {
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.Open();
    return q.Fields(0).AsInteger();
  }
  TRun Init() {
    TRun r = Run({Q("init"), Q("--demo")});
    EXPECT_EQ(r.rc, 0) << r;
    return r;
  }
  QString WriteFile(const char* name, const QByteArray& content) {
    const QString path = m_root.filePath(Q(name));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
  }
  QJsonObject Get(const QString& code) {
    const TRun r = Run({Q("get"), code});
    EXPECT_EQ(r.rc, 0) << r;
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
  }
  // Every stored value, to prove that a refused command wrote nothing.
  QString Dump() {
    TZurQuery q(Conn());
    q.SetSQL(Q("SELECT icdsid, iafiid, ifisrigo, sfisfieldname, ifisvalue, ffisvalue, sfisvalue, dfisvalue "
               "FROM tfis_datifiscali ORDER BY icdsid, ifisrigo, sfisfieldname"));
    q.Open();
    QStringList rows;
    for (; !q.Eof(); q.Next()) {
      QStringList row;
      for (int i = 0; i < q.FieldCount(); ++i)
        row << q.Fields(i).AsString();
      rows << row.join(QLatin1Char('|'));
    }
    q.Close();
    q.SetSQL(Q("SELECT iafiid, saficodfiscale, safidenominazione FROM tafi_anafiscale ORDER BY iafiid"));
    q.Open();
    for (; !q.Eof(); q.Next())
      rows << q.Fields(0).AsString() + q.Fields(1).AsString() + q.Fields(2).AsString();
    q.Close();
    q.SetSQL(Q("SELECT scdsnome, icdsrigo FROM tcds_struttura ORDER BY scdsnome"));
    q.Open();
    for (; !q.Eof(); q.Next())
      rows << q.Fields(0).AsString() + q.Fields(1).AsString();
    return rows.join(QLatin1Char('\n'));
  }

  QTemporaryDir m_root;
};

} // namespace

TEST_P(TCliDeclaration, NewGivesTheFirstIdAndRefusesADuplicateInOtherCase) {
  Init();
  TRun first = Run({Q("new"), Q("97123450583")});
  EXPECT_EQ(first.rc, 0) << first;
  EXPECT_EQ(first.out, Q("1000001\n"));
  TRun second = Run({Q("new"), Q("rssmra80a01h501u")});
  EXPECT_EQ(second.rc, 0) << second;
  EXPECT_EQ(second.out, Q("1000002\n"));
  const QString before = Dump();
  TRun again = Run({Q("new"), Q("RSSMRA80A01H501u")});
  EXPECT_EQ(again.rc, 1) << again;
  EXPECT_EQ(again.err, Q("Impossibile procedere: dichiarazione con C.F. RSSMRA80A01H501u già creata!\n"));
  EXPECT_EQ(Dump(), before);

  TRun list = Run({Q("list")});
  EXPECT_EQ(list.rc, 0) << list;
  EXPECT_EQ(list.out, Q("1000001\t97123450583\tISTITUTO COMPRENSIVO VIA DELLE BETULLE\n"
                        "1000002\tRSSMRA80A01H501U\t\n"));
}

TEST_P(TCliDeclaration, SetWritesThroughTheRulesAndGetShowsIt) {
  Init();
  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  const QString file = WriteFile("valori.json", R"({
    "cdsFrontespizio": {"SIRAPCOMUNESL": "ROMA", "IIRAPMESESL": 3, "IIRAPANNOSL": 2019, "LIRAPSESSO": "M",
                        "DIRAPPERIODOIMPOSTADAL": "2024-01-01"},
    "cdsQuadroIK": {"FIKVALIRAP1": 1234.56, "FIKVALIRAP4": -10},
    "cdsQuadroIRVar": [{"SIRCODREGIONE": "08", "FIRBASEIMP": 1000}, {}, {"FIRIMPOSTA": 39}],
    "cdsQuadroIS": {"FIS01_2": 7.5, "SIS22_1": "A"}
  })");
  TRun set = Run({Q("set"), Q("97123450583"), file});
  EXPECT_EQ(set.rc, 0) << set;

  const QJsonObject json = Get(Q("97123450583"));
  const QJsonObject front = json.value(Q("cdsFrontespizio")).toObject();
  EXPECT_EQ(front.value(Q("SIRAPCOMUNESL")).toString(), Q("ROMA"));
  EXPECT_EQ(front.value(Q("DIRAPSEDELEGALE")).toString(), Q("2019-03-01"));
  EXPECT_EQ(front.value(Q("LIRAPSESSOM")).toString(), Q("1"));
  EXPECT_EQ(front.value(Q("DIRAPPERIODOIMPOSTADAL")).toString(), Q("2024-01-01"));
  EXPECT_EQ(front.value(Q("IIRAPID")).toInteger(), 1000001);
  EXPECT_GT(front.value(Q("IAFIID")).toInteger(), 0);
  const QJsonObject ik = json.value(Q("cdsQuadroIK")).toObject();
  EXPECT_DOUBLE_EQ(ik.value(Q("FIKVALIRAP1")).toDouble(), 1234.56);
  EXPECT_DOUBLE_EQ(ik.value(Q("FIKVALIRAP4")).toDouble(), -10);
  EXPECT_EQ(ik.value(Q("IIRAPID")).toInteger(), 1000001);
  const QJsonObject is = json.value(Q("cdsQuadroIS")).toObject();
  EXPECT_DOUBLE_EQ(is.value(Q("FIS01_2")).toDouble(), 7.5);
  EXPECT_EQ(is.value(Q("IIRAPID")).toInteger(), 1000001);
  // The empty regional row went with the save.
  const QJsonArray rows = json.value(Q("cdsQuadroIRVar")).toArray();
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows[0].toObject().value(Q("SIRCODREGIONE")).toString(), Q("08"));
  EXPECT_EQ(rows[1].toObject().value(Q("RIGO")).toString(), Q("IR33"));
  EXPECT_EQ(rows[1].toObject().value(Q("FIRIMPOSTA")).toInteger(), 39);

  // A second set replaces the rows and leaves the other values alone.
  ASSERT_EQ(
      Run({Q("set"), Q("97123450583"), WriteFile("righe.json", R"({"cdsQuadroIRVar": [{"FIRBASEIMP": 5}]})")})
          .rc,
      0);
  const QJsonObject after = Get(Q("97123450583"));
  EXPECT_EQ(after.value(Q("cdsQuadroIRVar")).toArray().size(), 1);
  EXPECT_EQ(after.value(Q("cdsFrontespizio")).toObject().value(Q("SIRAPCOMUNESL")).toString(), Q("ROMA"));
}

TEST_P(TCliDeclaration, BadFileForSetIsRefusedWithItsReasonsAndChangesNothing) {
  Init();
  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  ASSERT_EQ(
      Run({Q("set"), Q("97123450583"), WriteFile("base.json", R"({"cdsQuadroIK": {"FIKVALIRAP1": 10}})")}).rc,
      0);
  const QString before = Dump();
  TRun bad = Run({Q("set"), Q("97123450583"), WriteFile("errato.json", R"({
    "cdsQuadroIK": {"FIKVALIRAP1": 20, "FIKVALIRAP2": "trenta", "IIRAPID": 5},
    "cdsQuadroZZ": {},
    "cdsFrontespizio": {"SIRAPNONCE": "x", "DIRAPDATACARICA": "2024-13-01"}
  })")});
  EXPECT_EQ(bad.rc, 1) << bad;
  for (const char* reason :
       {"Il campo FIKVALIRAP2 di cdsQuadroIK richiede un importo",
        "Il campo IIRAPID di cdsQuadroIK è una chiave", "Dataset sconosciuto: cdsQuadroZZ",
        "Campo sconosciuto in cdsFrontespizio: SIRAPNONCE",
        "Il campo DIRAPDATACARICA di cdsFrontespizio richiede una data"})
    EXPECT_TRUE(bad.err.contains(Q(reason))) << reason << "\n" << bad;
  EXPECT_EQ(Dump(), before);

  TRun broken = Run({Q("set"), Q("97123450583"), WriteFile("rotto.json", "{\"cdsQuadroIK\": {")});
  EXPECT_EQ(broken.rc, 1) << broken;
  EXPECT_TRUE(broken.err.contains(Q("rotto.json"))) << broken;
  TRun missing = Run({Q("set"), Q("97123450583"), m_root.filePath(Q("nessuno.json"))});
  EXPECT_EQ(missing.rc, 1) << missing;
  EXPECT_TRUE(missing.err.contains(Q("nessuno.json"))) << missing;
  TRun array = Run({Q("set"), Q("97123450583"), WriteFile("elenco.json", "[1, 2]")});
  EXPECT_EQ(array.rc, 1) << array;
  EXPECT_EQ(Dump(), before);
}

TEST_P(TCliDeclaration, CheckListsTheFindingsUntilTheDeclarationIsComplete) {
  Init();
  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  TRun findings = Run({Q("check"), Q("97123450583")});
  EXPECT_EQ(findings.rc, 1) << findings;
  EXPECT_TRUE(findings.out.startsWith(Q(" - Dato obbligatorio mancante: Data fine periodo di imposta\n")))
      << findings;
  EXPECT_TRUE(findings.out.contains(Q(" - Dato obbligatorio mancante: Codice fiscale del firmatario\n")))
      << findings;

  ASSERT_EQ(Run({Q("set"), Q("97123450583"), WriteFile("completo.json", R"({"cdsFrontespizio": {
      "DIRAPPERIODOIMPOSTADAL": "2024-01-01", "DIRAPPERIODOIMPOSTAAL": "2024-12-31", "SIRAPSTATO": "1",
      "SIRAPNATURAGIURIDICA": "59", "SIRAPSITUAZIONE": "1", "SIRAPCODCARICA": "1", "LIRAPSESSO": "F",
      "SIRAPCODFISRAPFIRMATARIO": "97123450583", "SIRAPDENFIRMATARIO": "ISTITUTO",
      "SIRAPEMAIL": "segreteria@scuola.it"}})")})
                .rc,
            0);
  TRun clean = Run({Q("check"), Q("97123450583")});
  EXPECT_EQ(clean.rc, 0) << clean;
  EXPECT_EQ(clean.out, QString());

  ASSERT_EQ(
      Run({Q("set"), Q("97123450583"),
           WriteFile("mail.json", R"({"cdsFrontespizio": {"SIRAPEMAIL": "a@scuola.it, b@scuola.it"}})")})
          .rc,
      0);
  TRun mail = Run({Q("check"), Q("97123450583")});
  EXPECT_EQ(mail.rc, 1) << mail;
  EXPECT_EQ(mail.out, Q(" - Dato Errato : Presenza di più di una mail nei Dati del contribuente\n"));
}

TEST_P(TCliDeclaration, DeleteAsksForConfirmation) {
  Init();
  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  ASSERT_EQ(Run({Q("new"), Q("RSSMRA80A01H501U")}).rc, 0);
  ASSERT_EQ(
      Run({Q("set"), Q("RSSMRA80A01H501U"),
           WriteFile("r.json", R"({"cdsQuadroIS": {"FIS01_2": 1}, "cdsQuadroIRVar": [{"FIRBASEIMP": 1}]})")})
          .rc,
      0);
  const QString before = Dump();
  TRun unanswered = Run({Q("delete"), Q("rssmra80a01h501u")});
  EXPECT_EQ(unanswered.rc, 2) << unanswered;
  EXPECT_TRUE(unanswered.err.contains(Q("Confermi la cancellazione del modello?"))) << unanswered;
  TRun no = Run({Q("--no"), Q("delete"), Q("rssmra80a01h501u")});
  EXPECT_EQ(no.rc, 3) << no;
  EXPECT_EQ(Dump(), before);
  TRun unknown = Run({Q("--yes"), Q("delete"), Q("NESSUNO")});
  EXPECT_EQ(unknown.rc, 1) << unknown;
  EXPECT_TRUE(unknown.err.contains(Q("Nessuna dichiarazione con C.F. NESSUNO."))) << unknown;

  TRun yes = Run({Q("--yes"), Q("delete"), Q("rssmra80a01h501u")});
  EXPECT_EQ(yes.rc, 0) << yes;
  EXPECT_EQ(Run({Q("list")}).out, Q("1000001\t97123450583\tISTITUTO COMPRENSIVO VIA DELLE BETULLE\n"));
  TZurQuery q(Conn());
  q.SetSQL(Q("SELECT COUNT(*) FROM tfis_datifiscali WHERE ifisvalue = 1000002 OR iafiid NOT IN "
             "(SELECT iafiid FROM tafi_anafiscale)"));
  q.Open();
  EXPECT_EQ(q.Fields(0).AsInteger(), 0) << "no row of the deleted declaration, IS and regional rows included";
}

TEST_P(TCliDeclaration, UnknownCodeAndWrongUsage) {
  Init();
  TRun get = Run({Q("get"), Q("NESSUNO")});
  EXPECT_EQ(get.rc, 1) << get;
  EXPECT_EQ(get.err, Q("Nessuna dichiarazione con C.F. NESSUNO.\n"));
  EXPECT_EQ(Run({Q("get")}).rc, 2);
  EXPECT_EQ(Run({Q("set"), Q("X")}).rc, 2);
  EXPECT_EQ(Run({Q("new"), Q("A"), Q("B")}).rc, 2);
}

TEST_P(TCliDeclaration, UnreadablePreviousYearFileIsReportedAndNewGoesOn) {
  Init();
  WriteFile("USR/FRDati/FR2023/TFRNT_FRONTESPIZIO.cds", "<DATAPACKET><METADATA>");
  TRun r = Run({Q("new"), Q("97123450583")});
  EXPECT_EQ(r.rc, 0) << r;
  EXPECT_EQ(r.out, Q("1000001\n"));
  EXPECT_TRUE(
      r.err.startsWith(Q("Importazione automatica del frontespizio dall'anno redditi 2023 non eseguita:\n")))
      << r;
  EXPECT_EQ(Run({Q("list")}).out, Q("1000001\t97123450583\tISTITUTO COMPRENSIVO VIA DELLE BETULLE\n"));
}

TEST_P(TCliDeclaration, StoredValueOfTheWrongKindStopsStartUpAndChangesNothing) {
  Init();
  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  ASSERT_EQ(Run({Q("set"), Q("97123450583"),
                 WriteFile("d.json", R"({"cdsFrontespizio": {"DIRAPDATACARICA": "2024-05-06"}})")})
                .rc,
            0);
  TZurQuery q(Conn());
  if (IsSQLite()) {
    q.SetSQL(
        Q("UPDATE tfis_datifiscali SET dfisvalue = '31/02/2024' WHERE sfisfieldname = 'DIRAPDATACARICA'"));
  } else {
    // PostgreSQL keeps only real dates and numbers in their columns: what it
    // can hold wrongly is a value in the column of another type, as after a
    // change of the structure.
    q.SetSQL(Q("UPDATE tfis_datifiscali SET dfisvalue = NULL, sfisvalue = 'maggio' WHERE sfisfieldname = "
               "'DIRAPDATACARICA'"));
  }
  q.ExecSQL();
  const QString before = Dump();
  TRun list = Run({Q("list")});
  if (IsSQLite()) {
    EXPECT_EQ(list.rc, 1) << list;
    EXPECT_TRUE(list.err.contains(Q("DIRAPDATACARICA"))) << list;
    EXPECT_TRUE(list.out.isEmpty()) << list;
  }
  // Whatever the store decides about it, a load never writes.
  EXPECT_EQ(Dump(), before);
}

TEST_P(TCliDeclaration, DatabaseWithoutStructuresNamesTheMissingOne) {
  TFamilySchema::Create(Conn(), true);
  TRun r = Run({Q("list")});
  EXPECT_EQ(r.rc, 1) << r;
  EXPECT_EQ(r.err, Q("Impossibile trovare il ClientDataSet (TFRNT_FRONTESPIZIO).\n"));
}

ZUR_INSTANTIATE_ENGINES(TCliDeclaration);

// --- several workstations on one database ------------------------------------------------

// Workstations creating declarations at the same moment: every declaration
// gets an id of its own, and of several creating one fiscal code only one
// succeeds, the others getting the duplicate message and leaving nothing.
TEST_P(TCliDeclaration, ParallelNewGivesDistinctIdsAndOneDeclarationPerCode) {
  Init();
  QStringList expected;
  for (int round = 0; round < 3; ++round) {
    const qint64 entriesBefore = Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale"));
    std::vector<std::unique_ptr<QProcess>> own, same;
    const QString shared = Q("CONDIVISO%1").arg(round);
    for (int i = 0; i < 4; ++i) {
      const QString code = Q("PROPRIO%1X%2").arg(round).arg(i);
      expected << code;
      own.push_back(Start({Q("new"), code}));
      same.push_back(Start({Q("new"), shared}));
    }
    expected << shared;
    for (auto& p : own) {
      const TRun r = Finish(*p);
      EXPECT_EQ(r.rc, 0) << r;
    }
    int created = 0;
    for (auto& p : same) {
      const TRun r = Finish(*p);
      if (r.rc == 0) {
        ++created;
      } else {
        EXPECT_EQ(r.rc, 1) << r;
        EXPECT_EQ(r.err, Q("Impossibile procedere: dichiarazione con C.F. %1 già creata!\n").arg(shared))
            << r;
      }
    }
    EXPECT_EQ(created, 1) << "round " << round;
    EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale")), entriesBefore + 5)
        << "a loser left an entry";
  }
  const TRun list = Run({Q("list")});
  ASSERT_EQ(list.rc, 0) << list;
  QSet<QString> ids, codes;
  const QStringList lines = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  for (const QString& line : lines) {
    const QStringList cols = line.split(QLatin1Char('\t'));
    ids << cols.value(0);
    codes << cols.value(1);
  }
  EXPECT_EQ(lines.size(), expected.size());
  EXPECT_EQ(ids.size(), expected.size()) << list.out.toStdString();
  EXPECT_EQ(codes, QSet<QString>(expected.begin(), expected.end()));
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tzur_dichiarazioni")), expected.size());
  // Whoever holds an id: get, set and delete reach that taxpayer's declaration.
  for (const QString& code : {expected.first(), expected.last()})
    EXPECT_EQ(Get(code).value(Q("cdsFrontespizio")).toObject().value(Q("SIRAPCODFIS")).toString(), code);
}

// Two workstations editing one declaration at once: whichever saves second
// is refused with a message naming the declaration, writes nothing, and no
// edit reported as saved is ever lost.
TEST_P(TCliDeclaration, ParallelEditsOfOneDeclarationNeverLoseOne) {
  Init();
  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  int refused = 0;
  for (int round = 1; round <= 8; ++round) {
    const QString a = WriteFile("a.json", Q(R"({"cdsQuadroIK": {"FIKVALIRAP1": %1}})").arg(round).toUtf8());
    const QString b = WriteFile("b.json", Q(R"({"cdsQuadroIK": {"FIKVALIRAP2": %1}})").arg(round).toUtf8());
    auto pa = Start({Q("set"), Q("97123450583"), a});
    auto pb = Start({Q("set"), Q("97123450583"), b});
    const TRun ra = Finish(*pa), rb = Finish(*pb);
    const QJsonObject ik = Get(Q("97123450583")).value(Q("cdsQuadroIK")).toObject();
    for (const auto& [run, field] : {std::pair{ra, "FIKVALIRAP1"}, std::pair{rb, "FIKVALIRAP2"}}) {
      SCOPED_TRACE(round);
      if (run.rc == 0) {
        EXPECT_EQ(ik.value(Q(field)).toInt(), round) << field << " saved, then lost";
      } else {
        ++refused;
        EXPECT_EQ(run.rc, 1) << run;
        EXPECT_TRUE(run.err.contains(Q("la dichiarazione con C.F. 97123450583 è stata modificata da un'altra "
                                       "postazione")))
            << run;
        EXPECT_NE(ik.value(Q(field)).toInt(), round) << field << " refused, yet written";
      }
    }
  }
  std::cout << "[ info ] saves refused as concurrent: " << refused << " of 16\n";
}

// A workstation killed while it saves leaves every declaration as it was
// before that save or as the save made it, never half of each. The kill is
// aimed at the moment the save has begun writing.
TEST_P(TCliDeclaration, KilledSaveLeavesTheDeclarationWhole) {
  Init();
  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  // SQLite keeps its rollback journal beside the database while a write
  // transaction runs.
  const QString journal = QString(Db().Url()).remove(QRegularExpression(Q("^sqlite:"))) + Q("-journal");
  const auto write = [&](int v) {
    QString rows;
    for (int r = 0; r < 9; ++r)
      rows += Q(R"(%1{"SIRCODREGIONE": "%2", "FIRBASEIMP": %3, "FIRIMPOSTA": %3})")
                  .arg(r ? Q(",") : QString())
                  .arg(r + 1, 2, 10, QLatin1Char('0'))
                  .arg(v);
    QString ik;
    for (int f = 1; f <= 9; ++f)
      ik += Q(R"(%1"FIKVALIRAP%2": %3)").arg(f > 1 ? Q(",") : QString()).arg(f).arg(v);
    return WriteFile(
        "kill.json",
        Q(R"({"cdsFrontespizio": {"SIRAPCOMUNESL": "C%1"}, "cdsQuadroIK": {%2}, "cdsQuadroIRVar": [%3]})")
            .arg(v)
            .arg(ik, rows)
            .toUtf8());
  };
  // The first IK amount, the base of every regional row and the cover page's
  // town (the fields the file sets as they are, unlike those the rules
  // compute from them) must tell one and the same save.
  const auto values = [&] {
    QSet<QString> seen;
    TZurQuery q(Conn());
    q.SetSQL(Q("SELECT COALESCE(ffisvalue, ifisvalue) FROM tfis_datifiscali "
               "WHERE sfisfieldname IN ('FIKVALIRAP1', 'FIRBASEIMP')"));
    q.Open();
    for (; !q.Eof(); q.Next())
      seen << QString::number(q.Fields(0).AsFloat());
    q.Close();
    q.SetSQL(Q("SELECT sfisvalue FROM tfis_datifiscali WHERE sfisfieldname = 'SIRAPCOMUNESL'"));
    q.Open();
    for (; !q.Eof(); q.Next())
      seen << q.Fields(0).AsString().mid(1);
    return seen;
  };
  ASSERT_EQ(Run({Q("set"), Q("97123450583"), write(1)}).rc, 0);
  int inside = 0, rounds = 0;
  for (int v = 2; rounds < 24 || (inside < 4 && rounds < 60); ++v, ++rounds) {
    auto p = Start({Q("set"), Q("97123450583"), write(v)});
    // Aimed: killed a random moment after the save is seen writing; every
    // third round at a random moment of the whole run instead.
    bool seenWriting = false;
    const int randomMs = QRandomGenerator::global()->bounded(400);
    QElapsedTimer t;
    t.start();
    while (!p->waitForFinished(1)) {
      if (rounds % 3 == 2) {
        if (t.elapsed() >= randomMs) break;
      } else if (IsSQLite()
                     ? QFileInfo::exists(journal)
                     : Scalar(Q("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                                "AND backend_xid IS NOT NULL AND pid <> pg_backend_pid()")) > 0) {
        seenWriting = true;
        // Somewhere within the save, not only at its first statement.
        QThread::usleep(QRandomGenerator::global()->bounded(15000));
        break;
      }
    }
    if (p->state() != QProcess::NotRunning) ::kill(pid_t(p->processId()), SIGKILL);
    p->waitForFinished(10000);
    if (seenWriting && p->exitStatus() == QProcess::CrashExit) ++inside;
    const QSet<QString> seen = values();
    EXPECT_EQ(seen.size(), 1) << "round " << v << ": half old, half new: "
                              << QStringList(seen.begin(), seen.end()).join(Q(" ")).toStdString();
  }
  std::cout << "[ info ] kills: " << rounds << ", inside a save: " << inside << "\n";
  EXPECT_GE(inside, 2) << "too few kills landed inside a save to prove anything";
  // The next workstation finds the database usable and saves normally.
  ASSERT_EQ(Run({Q("set"), Q("97123450583"), write(999)}).rc, 0);
  EXPECT_EQ(values(), QSet<QString>{Q("999")});
}

// A code is stored as typed (in upper case) or refused, never cut or changed;
// a text with tabs and line breaks keeps "list" at one line per declaration.
TEST_P(TCliDeclaration, FiscalCodeStoredExactlyOrRefusedAndListKeepsItsLines) {
  Init();
  const QString before = Dump();
  const struct {
    const char* code;
    const char* why;
  } refused[] = {
      {"RSSMRA80A01H501UXXXXX", "supera i 20 caratteri"},
      {"RSSMRA80 A01H501U", "spazi"},
      {"RSSMRA80\tA01H501U", "tabulazioni"},
      {"RSSMRA80\nA01H501U", "a capo"},
      {"RSSMRA80\x01"
       "A01H501U",
       "caratteri di controllo"},
      {"RSSMRA80A01H501\xC3\x9F", "cambiano in maiuscolo"},
  };
  for (const auto& r : refused) {
    const TRun run = Run({Q("new"), Q(r.code)});
    EXPECT_EQ(run.rc, 1) << r.code << "\n" << run;
    EXPECT_TRUE(run.err.startsWith(Q("Impossibile procedere: il codice fiscale "))) << run;
    EXPECT_TRUE(run.err.contains(Q(r.why))) << run;
  }
  EXPECT_EQ(Dump(), before);
  // Twenty characters fit the field exactly.
  ASSERT_EQ(Run({Q("new"), Q("rssmra80a01h501uxxxx")}).rc, 0);
  ASSERT_EQ(Run({Q("get"), Q("RSSMRA80A01H501UXXXX")}).rc, 0);

  ASSERT_EQ(Run({Q("new"), Q("97123450583")}).rc, 0);
  const QString json = WriteFile("d.json", R"({"cdsFrontespizio": {"SIRAPDENOM": "A\tB\nC\rD\\E"}})");
  ASSERT_EQ(Run({Q("set"), Q("97123450583"), json}).rc, 0);
  const TRun list = Run({Q("list")});
  EXPECT_EQ(list.rc, 0) << list;
  EXPECT_EQ(list.out, Q("1000001\tRSSMRA80A01H501UXXXX\t\n"
                        "1000002\t97123450583\tA\\tB\\nC\\rD\\\\E\n"));
}
