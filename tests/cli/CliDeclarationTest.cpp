// zur24-cli's declaration commands, run as the binary on both engines.
#include "db/FamilySchema.h"
#include "db/ZurQuery.h"
#include "support/CliRun.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    QProcess p;
    p.start(qEnvironmentVariable("ZUR24_CLI", Q(ZUR_BUILD_DIR "/bin/zur24-cli")),
            QStringList{Q("--root"), m_root.path(), Q("--db"), Db().Url()} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
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
