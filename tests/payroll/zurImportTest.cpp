// The logic of the import window's "Importa" on the demo database, written
// into the declaration data module, on both engines. The expected figures are
// worked out by hand from the demo payroll listed in FamilyDemo.h.
#include "payroll/zurImport.h"

#include "db/FamilyDemo.h"
#include "db/VxParamManager.h"
#include "db/ZurQuery.h"
#include "declaration/zurMDati.h"
#include "payroll/PayrollTestSupport.h"
#include "payroll/nymCAnno.h"
#include "support/ScriptedPlatform.h"
#include "platform/ZurError.h"
#include "support/DeclarationFixture.h"
#include "support/TestDatabase.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using zurtest::Euro;
using zurtest::Fld;
using zurtest::Q;

namespace {

// A scripted platform whose message servicing can run something, as a click
// on "Importa" would while the log repaints.
class TServicingPlatform : public TScriptedPlatform {
public:
  std::function<void()> onProcessMessages;
  void ProcessMessages() override {
    TScriptedPlatform::ProcessMessages();
    if (onProcessMessages) onProcessMessages();
  }
};

QStringList MonthLines() {
  return {
      Q("Calcolo fondamentali..."),         Q("Calcolo accessori cococo..."),    Q("Calcolo autonomi..."),
      Q("Calcolo accessori dipendenti..."), Q("Calcolo fondamentali cococo..."), Q("Calcolo ritenuta...")};
}

QStringList YearLines(const QString& header, int months) {
  QStringList lines{header};
  for (int m = 0; m < months; ++m)
    lines << MonthLines();
  lines << Q("Calcolo IRAP ...OK");
  return lines;
}

QStringList ClosingLines() {
  return {Q("Import terminato con successo!"), QString(), Q("ATTENZIONE!"),
          Q("SI INVITA A CONTROLLARE I DATI IMPORTATI.")};
}

class TZurImportTest : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QueryText().Load(zurtest::kCommittedRepository);
    Db().CreateSchema(true);
    m_modules = std::make_unique<zurtest::TPayrollModules>(Conn());
    m_dati = std::make_unique<TdmZurDati>();
    zurtest::OpenCatalogueDeclaration(*m_dati);
    m_import = std::make_unique<TZurImport>(*m_dati, m_modules->Params(), m_log);
  }
  void TearDown() override {
    m_import.reset();
    m_dati.reset();
    m_modules.reset();
    TDatabaseTest::TearDown();
  }

  TClientDataSet& Frontespizio() { return m_dati->cdsFrontespizio; }
  TClientDataSet& IK() { return m_dati->cdsQuadroIK; }
  TClientDataSet& IRVar() { return m_dati->cdsQuadroIRVar; }
  TClientDataSet& IS() { return m_dati->cdsQuadroIS; }
  QString S(TClientDataSet& ds, const char* field) { return Fld(ds, field).AsString(); }
  Currency C(TClientDataSet& ds, const char* field) { return Fld(ds, field).AsCurrency(); }

  void SetFrontespizio(const char* field, const QString& value) {
    Frontespizio().Edit();
    Fld(Frontespizio(), field).SetAsString(value);
    Frontespizio().Post();
  }
  void Period(int annoDal, int meseDal, int annoAl, int meseAl) {
    TZurImportOptions& o = m_import->Options();
    o.annoDal = annoDal;
    o.meseDal = meseDal;
    o.annoAl = annoAl;
    o.meseAl = meseAl;
  }
  void Exec(const QString& sql) {
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.ExecSQL();
  }
  // Every field of the current record as text.
  QStringList Record(TClientDataSet& ds) {
    QStringList out;
    for (const TField* f : ds.Fields())
      out << f->FieldName() + QLatin1Char('=') + f->AsString();
    return out;
  }

  TServicingPlatform m_platform;
  std::unique_ptr<zurtest::TPayrollModules> m_modules;
  std::unique_ptr<TdmZurDati> m_dati;
  TZurImportLogLines m_log;
  std::unique_ptr<TZurImport> m_import;
};

} // namespace

TEST_P(TZurImportTest, FullYearFillsTheDeclarationAndLogsEveryStep) {
  QenAnnoFinanziario().SetByYear(Q("2021"));
  m_import = std::make_unique<TZurImport>(*m_dati, m_modules->Params(), m_log);
  EXPECT_EQ(QenAnnoFinanziario().Id(), 55); // the window's creation sets 2024
  m_log.AddLine(Q("riga di un import precedente"));

  ASSERT_TRUE(m_import->Importa());

  QStringList expected{Q("Lettura dati sede...OK"), Q("Import dati sostituto...OK")};
  expected << YearLines(Q("Calcolo e import dei valori IRAP - Anno: 2024"), 12);
  expected << Q("Import dati IRAP...OK") << ClosingLines();
  EXPECT_EQ(m_log.Lines(), expected);
  EXPECT_FALSE(m_import->HaErrori());

  // Frontespizio: the seat in Rome of working group 1.
  TClientDataSet& f = Frontespizio();
  EXPECT_EQ(f.State(), TDataSetState::Browse);
  EXPECT_EQ(S(f, "SIRAPCODREG"), Q("08"));
  EXPECT_EQ(S(f, "SIRAPREGIONE"), Q("Lazio"));
  EXPECT_EQ(S(f, "SIRAPCOMUNESL"), Q("ROMA"));
  EXPECT_EQ(S(f, "SIRAPPROVINCIASL"), Q("RM"));
  EXPECT_EQ(S(f, "SIRAPFRAZIONESL"), Q("VIA DELLE BETULLE, 12"));
  EXPECT_EQ(S(f, "SIRAPCAPSL"), Q("00135"));
  EXPECT_EQ(S(f, "SIRAPCODCOMUNESL"), Q("H501"));
  EXPECT_EQ(S(f, "SIRAPTELEFONO"), Q("061234567")); // "06 / 123.45-67"
  EXPECT_EQ(S(f, "SIRAPFAX"), Q("061234568"));
  EXPECT_EQ(S(f, "SIRAPEMAIL"), Q("RMIC8AB00C@ISTRUZIONE.IT"));
  EXPECT_EQ(S(f, "SIRAPSTATO"), Q("1"));
  EXPECT_EQ(S(f, "SIRAPNATURAGIURIDICA"), Q("55"));
  EXPECT_EQ(S(f, "SIRAPSITUAZIONE"), Q("6"));
  EXPECT_EQ(Fld(f, "DIRAPPERIODOIMPOSTADAL").AsDate(), QDate(2024, 1, 1));
  EXPECT_EQ(Fld(f, "DIRAPPERIODOIMPOSTAAL").AsDate(), QDate(2024, 12, 31));

  // Quadro IS got its record, with the declaration's keys.
  ASSERT_EQ(IS().RecordCount(), 1);
  EXPECT_EQ(Fld(IS(), "IIS37_SEZ01").AsInteger(), 1);
  EXPECT_EQ(S(IS(), "SIS37_ATECO02"), Q(TFamilyDemo::CodiceAteco));
  EXPECT_EQ(Fld(IS(), "IAFIID").AsInteger(), 7);

  // 2024 by hand: employees 2150.37 x 12 + 1890.12 x 6 + 312.45 x 4 =
  // 38394.96; collaborators 800.55 x 12 + 1200.25 x 3 + 99.99 + 150.10 x 2 =
  // 13607.54; self-employed 500 + 275.30 x 2 + 1000.01 = 2050.61.
  EXPECT_NE(IK().State(), TDataSetState::Browse); // the save posts it
  m_dati->PostAll();
  ASSERT_EQ(IK().RecordCount(), 1);
  EXPECT_EQ(C(IK(), "FIKVALIRAP1"), Euro("38395"));
  EXPECT_EQ(C(IK(), "FIKVALIRAP2"), Euro("13608"));
  EXPECT_EQ(C(IK(), "FIKVALIRAP3"), Euro("2051"));
  EXPECT_EQ(C(IK(), "FIKVALIRAP5"), Euro("54054"));
  EXPECT_EQ(Fld(IK(), "IIRAPID").AsInteger(), 1000001);

  ASSERT_EQ(IRVar().RecordCount(), 1);
  EXPECT_EQ(IRVar().State(), TDataSetState::Browse);
  EXPECT_EQ(S(IRVar(), "SIRCODREGIONE"), Q("08"));
  EXPECT_EQ(Fld(IRVar(), "FIRBASEIMP").AsInteger(), 54054);
  for (const char* tax : {"FIRIMPOSTA", "FIRTOTACCONTIDOV", "FIRTOTACCONTI"})
    EXPECT_EQ(Fld(IRVar(), tax).AsInteger(), 4595) << tax; // 4594.59
  EXPECT_EQ(S(IRVar(), "RIGO"), Q("IR32"));
  EXPECT_EQ(Fld(IRVar(), "IAFIID").AsInteger(), 7);

  EXPECT_TRUE(m_platform.messages().isEmpty());
  EXPECT_EQ(m_platform.waitCursorDepth(), 0);
  EXPECT_EQ(m_platform.processMessagesCount(), 12 * 6);
  EXPECT_EQ(QenAnnoFinanziario().Id(), 55);
  EXPECT_TRUE(m_dati->Modified());
}

TEST_P(TZurImportTest, PeriodAcrossTwoYearsComputesEachYearsMonths) {
  Period(2023, 9, 2024, 3);
  m_import->Options().sostituto = false;
  ASSERT_TRUE(m_import->Importa());
  QStringList expected{Q("Lettura dati sede...OK")};
  expected << YearLines(Q("Calcolo e import dei valori IRAP - Anno: 2023, dal mese 9 al mese 12"), 4);
  expected << YearLines(Q("Calcolo e import dei valori IRAP - Anno: 2024, dal mese 1 al mese 3"), 3);
  expected << Q("Import dati IRAP...OK") << ClosingLines();
  EXPECT_EQ(m_log.Lines(), expected);
  EXPECT_EQ(m_import->cdsIrap().RecordCount(), 3); // the last year's months

  EXPECT_EQ(C(IK(), "FIKVALIRAP1"), Euro("21126"));
  EXPECT_EQ(C(IK(), "FIKVALIRAP2"), Euro("9323"));
  EXPECT_EQ(C(IK(), "FIKVALIRAP3"), Euro("1986"));
  EXPECT_EQ(C(IK(), "FIKVALIRAP5"), Euro("32435"));
  EXPECT_EQ(Fld(IRVar(), "FIRIMPOSTA").AsInteger(), 2757);
  // Without the withholding-agent import the Frontespizio is untouched.
  EXPECT_TRUE(S(Frontespizio(), "SIRAPCODREG").isEmpty());
  EXPECT_TRUE(IS().IsEmpty());
}

TEST_P(TZurImportTest, RefusedPeriodChangesNothing) {
  m_log.AddLine(Q("log precedente"));
  const QStringList before = Record(Frontespizio());
  for (auto [annoDal, meseDal, annoAl, meseAl] :
       {std::array{2024, 3, 2024, 2}, std::array{2024, 1, 2023, 12}, std::array{2024, 0, 2024, 12}}) {
    Period(annoDal, meseDal, annoAl, meseAl);
    try {
      m_import->Importa();
      ADD_FAILURE() << "period accepted: " << annoDal << "/" << meseDal << " " << annoAl << "/" << meseAl;
    } catch (const EZurError& e) {
      EXPECT_EQ(e.message(), Q("Il periodo scelto non è valido."));
    }
  }
  EXPECT_EQ(m_log.Lines(), QStringList{Q("log precedente")});
  EXPECT_EQ(Record(Frontespizio()), before);
  EXPECT_TRUE(IK().IsEmpty());
  EXPECT_TRUE(m_platform.calls().empty());
  EXPECT_EQ(m_platform.processMessagesCount(), 0);
  EXPECT_FALSE(TZurImport::InCorso());

  // The months are compared only within one year...
  Period(2023, 12, 2024, 1);
  m_import->Options().sostituto = false;
  EXPECT_TRUE(m_import->Importa());
  EXPECT_EQ(m_log.Lines().at(1), Q("Calcolo e import dei valori IRAP - Anno: 2023, dal mese 12 al mese 12"));
  // ...and not at all without the IRAP import.
  Period(2024, 3, 2024, 2);
  m_import->Options().irap = false;
  EXPECT_TRUE(m_import->Importa());
  EXPECT_EQ(m_log.Lines(), QStringList{Q("Lettura dati sede...OK")} + ClosingLines());
}

TEST_P(TZurImportTest, OverwriteQuestionAndItsAnswers) {
  // Only the end of the tax period is filled: the data count as present.
  SetFrontespizio("DIRAPPERIODOIMPOSTAAL", Q("31/12/2023"));
  SetFrontespizio("SIRAPTELEFONO", Q("  "));
  const QStringList before = Record(Frontespizio());
  m_import->Options().irap = false;
  m_platform.AnswerMessage(TModalResult::No);
  ASSERT_TRUE(m_import->Importa());
  ASSERT_EQ(m_platform.messages().size(), 1);
  const TScriptedPlatform::Call& question = m_platform.calls().front();
  EXPECT_EQ(question.text, Q("Sono già presenti i dati del sostituto, l'import li sovrascriverà.\r\r\n"
                             "Confermi la sostituzione dei dati?"));
  EXPECT_EQ(question.type, TMsgDlgType::Warning);
  EXPECT_EQ(question.buttons, TMsgDlgButtons::YesNo);
  // No keeps the Frontespizio as it was; Quadro IS still gets the ATECO code.
  EXPECT_EQ(Record(Frontespizio()), before);
  EXPECT_EQ(Frontespizio().State(), TDataSetState::Browse);
  EXPECT_EQ(S(IS(), "SIS37_ATECO02"), Q(TFamilyDemo::CodiceAteco));
  EXPECT_EQ(m_log.Lines().at(1), Q("Import dati sostituto...OK"));

  m_platform.clear();
  m_platform.AnswerMessage(TModalResult::Yes);
  ASSERT_TRUE(m_import->Importa());
  EXPECT_EQ(m_platform.messages().size(), 1);
  EXPECT_EQ(Fld(Frontespizio(), "DIRAPPERIODOIMPOSTAAL").AsDate(), QDate(2024, 12, 31));
  EXPECT_EQ(S(Frontespizio(), "SIRAPCOMUNESL"), Q("ROMA"));
  EXPECT_EQ(IS().RecordCount(), 1); // edited, not added again

  // The fields the import always sets are no sign of earlier data.
  for (const char* field : {"SIRAPCODREG", "SIRAPREGIONE", "SIRAPCOMUNESL", "SIRAPPROVINCIASL",
                            "SIRAPFRAZIONESL", "SIRAPCAPSL", "SIRAPCODCOMUNESL", "SIRAPTELEFONO", "SIRAPFAX",
                            "SIRAPEMAIL", "DIRAPPERIODOIMPOSTADAL", "DIRAPPERIODOIMPOSTAAL"})
    SetFrontespizio(field, QString());
  SetFrontespizio("SIRAPSTATO", Q("2"));
  m_platform.clear();
  ASSERT_TRUE(m_import->Importa());
  EXPECT_TRUE(m_platform.messages().isEmpty());
  EXPECT_EQ(S(Frontespizio(), "SIRAPSTATO"), Q("1"));
}

TEST_P(TZurImportTest, NoKeepsTheUsersPendingEdit) {
  SetFrontespizio("SIRAPCOMUNESL", Q("FRASCATI"));
  // The clerk is typing in the Frontespizio page when the import runs.
  Frontespizio().Edit();
  Fld(Frontespizio(), "SIRAPDENOM").SetAsString(Q("NUOVA DENOMINAZIONE"));
  m_import->Options().irap = false;
  m_platform.AnswerMessage(TModalResult::No);
  ASSERT_TRUE(m_import->Importa());
  EXPECT_EQ(Frontespizio().State(), TDataSetState::Edit);
  EXPECT_EQ(S(Frontespizio(), "SIRAPDENOM"), Q("NUOVA DENOMINAZIONE"));
  EXPECT_EQ(S(Frontespizio(), "SIRAPCOMUNESL"), Q("FRASCATI"));
  EXPECT_TRUE(S(Frontespizio(), "SIRAPCODREG").isEmpty());
}

TEST_P(TZurImportTest, SeatWithoutContactsAndAOneDigitRegion) {
  // Working group 2: the seat in Bolzano, whose regional code is 3.
  m_modules->Params().xpmVxuParams().SetParams(QString::fromLatin1(VXUP_DwgId), Q("2"));
  m_import->Options().irap = false;
  ASSERT_TRUE(m_import->Importa());
  EXPECT_EQ(S(Frontespizio(), "SIRAPCODREG"), Q("03"));
  EXPECT_EQ(S(Frontespizio(), "SIRAPREGIONE"), Q("Provincia autonoma di Bolzano"));
  EXPECT_EQ(S(Frontespizio(), "SIRAPFRAZIONESL"), Q("PIAZZA UNIVERSITÀ, 1"));
  EXPECT_EQ(S(Frontespizio(), "SIRAPPROVINCIASL"), Q("BZ"));
  for (const char* empty : {"SIRAPTELEFONO", "SIRAPFAX", "SIRAPEMAIL"})
    EXPECT_TRUE(S(Frontespizio(), empty).isEmpty()) << empty;
}

TEST_P(TZurImportTest, MissingRegistryRowsGiveEmptyValuesAndTheImportGoesOn) {
  Exec(Q("UPDATE treg_regioni SET sregdesc = 'LAZIO SCONOSCIUTO' WHERE iregid = 7"));
  Exec(Q("DELETE FROM tpaco_parametri"));
  ASSERT_TRUE(m_import->Importa());
  EXPECT_EQ(S(Frontespizio(), "SIRAPCODREG"), Q("00"));
  EXPECT_TRUE(S(Frontespizio(), "SIRAPREGIONE").isEmpty());
  EXPECT_EQ(S(Frontespizio(), "SIRAPCOMUNESL"), Q("ROMA"));
  EXPECT_TRUE(S(IS(), "SIS37_ATECO02").isEmpty());
  EXPECT_EQ(S(IRVar(), "SIRCODREGIONE"), Q("00"));
  EXPECT_EQ(C(IK(), "FIKVALIRAP5"), Euro("54054"));

  // A working group without a seat: every field from the seat is empty.
  m_modules->Params().xpmVxuParams().SetParams(QString::fromLatin1(VXUP_DwgId), Q("99"));
  m_platform.AnswerMessage(TModalResult::Yes);
  m_import->Options().irap = false;
  ASSERT_TRUE(m_import->Importa());
  EXPECT_EQ(S(Frontespizio(), "SIRAPCODREG"), Q("00"));
  for (const char* empty :
       {"SIRAPREGIONE", "SIRAPCOMUNESL", "SIRAPCAPSL", "SIRAPCODCOMUNESL", "SIRAPTELEFONO"})
    EXPECT_TRUE(S(Frontespizio(), empty).isEmpty()) << empty;
  EXPECT_EQ(S(Frontespizio(), "SIRAPSTATO"), Q("1"));
}

TEST_P(TZurImportTest, OnlyTheFirstRegionalRowIsWritten) {
  for (const char* region : {"05", "12"}) {
    IRVar().Append();
    Fld(IRVar(), "SIRCODREGIONE").SetAsString(Q(region));
    Fld(IRVar(), "FIRCREDITO").SetAsInteger(10);
    IRVar().Post();
  }
  m_import->Options().sostituto = false;
  ASSERT_TRUE(m_import->Importa());
  ASSERT_EQ(IRVar().RecordCount(), 2);
  IRVar().First();
  EXPECT_EQ(S(IRVar(), "SIRCODREGIONE"), Q("08"));
  EXPECT_EQ(Fld(IRVar(), "FIRBASEIMP").AsInteger(), 54054);
  EXPECT_EQ(Fld(IRVar(), "FIRCREDITO").AsInteger(), 10);
  IRVar().Next();
  EXPECT_EQ(S(IRVar(), "SIRCODREGIONE"), Q("12"));
  EXPECT_EQ(Fld(IRVar(), "FIRBASEIMP").AsInteger(), 0);
}

TEST_P(TZurImportTest, NoMonthlyRowsWritesNoFigures) {
  zurtest::TRepositoryOverride repo(
      {{{"QRY_IRAP", "EXECUTE"},
        Q("SELECT MES.IMESID, CAST(0.0 AS NUMERIC(15,4)) AS DIP_FONDAMENTALI FROM TMES_MESI MES "
          "WHERE MES.IMESID BETWEEN :MESEDAL AND :MESEAL AND MES.IMESID < 0")}});
  m_import->Options().sostituto = false;
  ASSERT_TRUE(m_import->Importa());
  QStringList expected{Q("Lettura dati sede...OK"), Q("Calcolo e import dei valori IRAP - Anno: 2024"),
                       Q("Calcolo IRAP ...ERRATO"),
                       Q("Non sono presenti o non è stato possibile calcolare i dati IRAP.")};
  EXPECT_EQ(m_log.Lines(), expected + ClosingLines());
  EXPECT_TRUE(IK().IsEmpty());
  EXPECT_EQ(IK().State(), TDataSetState::Browse);
  EXPECT_TRUE(IRVar().IsEmpty());
}

TEST_P(TZurImportTest, FailingStatementEndsTheImportWithEverythingRestored) {
  QenAnnoFinanziario().SetByYear(Q("2022"));
  {
    zurtest::TRepositoryOverride repo({{{"QRY_IRAP_RIT", "EXECUTE"}, zurtest::kRitenutaGuastaDaMarzo}});
    EXPECT_THROW(m_import->Importa(), EZurError);
  }
  EXPECT_EQ(QenAnnoFinanziario().Id(), 53);
  EXPECT_EQ(m_platform.waitCursorDepth(), 0);
  EXPECT_FALSE(TZurImport::InCorso());
  // What came before stays: the withholding agent's data are in.
  EXPECT_EQ(S(Frontespizio(), "SIRAPCOMUNESL"), Q("ROMA"));
  EXPECT_EQ(S(IS(), "SIS37_ATECO02"), Q(TFamilyDemo::CodiceAteco));
  // The log stops in March; no figure reached the declaration.
  QStringList expected{Q("Lettura dati sede...OK"), Q("Import dati sostituto...OK"),
                       Q("Calcolo e import dei valori IRAP - Anno: 2024")};
  expected << MonthLines() << MonthLines() << MonthLines();
  EXPECT_EQ(m_log.Lines(), expected);
  EXPECT_TRUE(IK().IsEmpty());
  EXPECT_TRUE(IRVar().IsEmpty());
  EXPECT_FALSE(m_import->cdsIrap().Active());

  // The next press runs again from the start.
  m_platform.AnswerMessage(TModalResult::Yes);
  ASSERT_TRUE(m_import->Importa());
  EXPECT_EQ(C(IK(), "FIKVALIRAP5"), Euro("54054"));
}

TEST_P(TZurImportTest, MissingStatementsAreTheRepositorysError) {
  const auto failure = [&](const char* name, const char* kind) {
    zurtest::TRepositoryOverride repo({{{Q(name), Q(kind)}, std::nullopt}});
    try {
      m_import->Importa();
    } catch (const EZurError& e) {
      return e.message();
    }
    return Q("<nessun errore>");
  };
  EXPECT_EQ(failure("QRY_SED", "EXECUTE"), Q("Query: QRY_SED"));
  EXPECT_EQ(m_log.Lines(), QStringList{Q("Lettura dati sede...")});
  EXPECT_EQ(failure("QRY_PACO", "SELECT"), Q("Query: QRY_PACO"));
  EXPECT_EQ(m_log.Lines(), QStringList{Q("Lettura dati sede...")});
  m_import->Options().sostituto = false;
  EXPECT_EQ(failure("QRY_IRAP", "EXECUTE"), Q("Query: QRY_IRAP"));
  EXPECT_EQ(m_log.Lines().last(), Q("Calcolo e import dei valori IRAP - Anno: 2024"));
  EXPECT_EQ(failure("QRY_IRAP_IMP", "EXECUTE"), Q("Query: QRY_IRAP_IMP"));
  EXPECT_EQ(QenAnnoFinanziario().Id(), 55);
  EXPECT_EQ(m_platform.waitCursorDepth(), 0);
  EXPECT_TRUE(IK().IsEmpty());
}

TEST_P(TZurImportTest, WithholdingAgentErrorsAreLoggedAndTheRestGoesOn) {
  Frontespizio().Events().BeforePost = [](TClientDataSet&) { throw EZurError(Q("Frontespizio rifiutato.")); };
  ASSERT_TRUE(m_import->Importa());
  EXPECT_TRUE(m_import->HaErrori());
  EXPECT_EQ(m_log.Lines().at(1), Q("Import dati sostituto..."));
  EXPECT_EQ(m_log.Lines().at(2),
            Q("ERRORE durante il salvataggio del frontespizio.\r\nFrontespizio rifiutato."));
  EXPECT_EQ(m_log.Lines().at(3), Q("Calcolo e import dei valori IRAP - Anno: 2024"));
  EXPECT_EQ(m_log.Lines().mid(m_log.Lines().size() - 4), ClosingLines());
  // Nothing of the failed step is left pending.
  EXPECT_EQ(Frontespizio().State(), TDataSetState::Browse);
  EXPECT_TRUE(S(Frontespizio(), "SIRAPCOMUNESL").isEmpty());
  EXPECT_TRUE(IS().IsEmpty());
  EXPECT_EQ(C(IK(), "FIKVALIRAP5"), Euro("54054"));

  // A refusal in Quadro IS: the Frontespizio is already saved and stays.
  Frontespizio().Events().BeforePost = {};
  IS().Events().BeforePost = [](TClientDataSet&) { throw EZurError(Q("Quadro IS rifiutato.")); };
  ASSERT_TRUE(m_import->Importa());
  EXPECT_EQ(m_log.Lines().at(2),
            Q("ERRORE durante il salvataggio dei codice ateco.\r\nQuadro IS rifiutato."));
  EXPECT_EQ(S(Frontespizio(), "SIRAPCOMUNESL"), Q("ROMA"));
  EXPECT_EQ(IS().State(), TDataSetState::Browse);
  EXPECT_TRUE(IS().IsEmpty());
}

TEST_P(TZurImportTest, IrapResultsAreWrittenWholeOrNotAtAll) {
  IRVar().Events().BeforePost = [](TClientDataSet&) { throw EZurError(Q("Riga regionale rifiutata.")); };
  m_import->Options().sostituto = false;
  try {
    m_import->Importa();
    FAIL() << "the regional row was refused";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(), Q("Riga regionale rifiutata."));
  }
  EXPECT_EQ(m_log.Lines().last(), Q("Import dati IRAP..."));
  EXPECT_EQ(IK().State(), TDataSetState::Browse);
  EXPECT_TRUE(IK().IsEmpty());
  EXPECT_EQ(IRVar().State(), TDataSetState::Browse);
  EXPECT_TRUE(IRVar().IsEmpty());
}

TEST_P(TZurImportTest, UnansweredQuestionIsNoStepError) {
  SetFrontespizio("SIRAPCOMUNESL", Q("FRASCATI"));
  try {
    m_import->Importa();
    FAIL() << "the question had no answer";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Cancelled);
  }
  EXPECT_FALSE(m_import->HaErrori());
  EXPECT_EQ(Frontespizio().State(), TDataSetState::Browse);
  EXPECT_EQ(S(Frontespizio(), "SIRAPCOMUNESL"), Q("FRASCATI"));
  EXPECT_EQ(m_platform.waitCursorDepth(), 0);
}

TEST_P(TZurImportTest, SecondImportCannotStartWhileOneRuns) {
  TZurImportLogLines otherLog;
  TZurImport other(*m_dati, m_modules->Params(), otherLog);
  int attempts = 0;
  m_platform.onProcessMessages = [&] {
    EXPECT_TRUE(TZurImport::InCorso());
    // The button pressed again, and another import window.
    EXPECT_FALSE(m_import->Importa());
    EXPECT_FALSE(other.Importa());
    ++attempts;
  };
  Period(2024, 1, 2024, 2);
  ASSERT_TRUE(m_import->Importa());
  m_platform.onProcessMessages = {};
  EXPECT_EQ(attempts, 12);
  EXPECT_TRUE(otherLog.Lines().isEmpty());
  EXPECT_EQ(m_log.Lines().last(), Q("SI INVITA A CONTROLLARE I DATI IMPORTATI."));
  EXPECT_FALSE(TZurImport::InCorso());
  other.Options().sostituto = false;
  EXPECT_TRUE(other.Importa());
}

TEST_P(TZurImportTest, MonthNamesForTheLists) {
  const QStringList names = m_import->NomiMesi();
  ASSERT_EQ(names.size(), 12);
  EXPECT_EQ(names.first(), Q("Gennaio"));
  EXPECT_EQ(names.at(7), Q("Agosto"));
  EXPECT_EQ(names.last(), Q("Dicembre"));
}

ZUR_INSTANTIATE_ENGINES(TZurImportTest);

TEST(ZurImportOptions, YearsAndMonthsTheWindowProposes) {
  for (int year : {2024, 2025}) {
    const TZurImportOptions o = TZurImport::OpzioniIniziali(year);
    EXPECT_TRUE(o.sostituto && o.irap);
    EXPECT_EQ(o.annoDal, 2024);
    EXPECT_EQ(o.annoAl, 2024);
    EXPECT_EQ(o.meseDal, 1);
    EXPECT_EQ(o.meseAl, 12);
    EXPECT_EQ(TZurImport::AnnoMinimo(year), 2023);
    EXPECT_EQ(TZurImport::AnnoMassimo(year), 2024);
  }
  const TZurImportOptions later = TZurImport::OpzioniIniziali(2026);
  EXPECT_EQ(later.annoDal, 2025);
  EXPECT_EQ(later.annoAl, 2025);
  EXPECT_EQ(later.meseAl, 8);
  EXPECT_EQ(TZurImport::AnnoMinimo(2026), 2024);
  EXPECT_EQ(TZurImport::AnnoMassimo(2026), 2025);
}

TEST(ZurImportLog, AppendNeedsALineAndProgressAddsTheDots) {
  TZurImportLogLines log;
  log.Append(Q("OK"));
  EXPECT_TRUE(log.Lines().isEmpty());
  log.AddLine(Q("Lettura dati sede..."));
  log.Append(Q("OK"));
  log.Progress(Q("Calcolo ritenuta"));
  log.AddLine(QString());
  EXPECT_EQ(log.Lines(), (QStringList{Q("Lettura dati sede...OK"), Q("Calcolo ritenuta..."), QString()}));
  log.Clear();
  EXPECT_TRUE(log.Lines().isEmpty());
}
