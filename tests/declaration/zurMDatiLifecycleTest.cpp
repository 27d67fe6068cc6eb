// The lifecycle of a declaration through the real store, on both engines:
// new, the previous-year import, open, save with its checks, delete.
#include "dataset/DataPacket.h"
#include "db/FamilyDemo.h"
#include "db/FamilySchema.h"
#include "db/ZurQuery.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "store/NymDBCds.h"
#include "support/DeclarationFixture.h"
#include "support/ScriptedPlatform.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using zurtest::Fld;
using zurtest::Q;

namespace {

const QString kSchool = QString::fromLatin1(TFamilyDemo::CodiceFiscale);
const QString kSchoolName = QString::fromLatin1(TFamilyDemo::Denominazione);
const QString kOther = Q("RSSMRA80A01H501U");
const QString kImported = Q("E' stata eseguita l'importazione automatica del frontespizio dall'anno redditi "
                            "2023.\n\rSi consiglia di controllare la correttezza dei dati.");

class TDeclarationLifecycle : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    TFamilySchema::Create(Conn(), true, TZurCatalogue::WriteStructureRows);
    store = std::make_unique<TNymDBCds>(TZurCatalogue::Year, QString::fromLatin1(TZurCatalogue::Program),
                                        TZurCatalogue::Month);
    store->SetConnection(&Conn());
    store->SetShowWait(false);
    dati = Fresh();
  }
  void TearDown() override {
    dati.reset();
    store.reset();
    TDatabaseTest::TearDown();
  }

  // A module as another run of the program would have it: loaded from the
  // database.
  std::unique_ptr<TdmZurDati> Fresh() {
    auto d = std::make_unique<TdmZurDati>();
    d->SetStore(store.get());
    d->SetSchoolIdentity(kSchool, kSchoolName);
    d->SetPreviousYearFile(PreviousYearFile());
    EXPECT_TRUE(d->LoadAll());
    return d;
  }
  QString PreviousYearFile() const { return dir.filePath(Q("TFRNT_FRONTESPIZIO.cds")); }

  int NewDeclaration(const QString& code) {
    platform.AnswerInput(code);
    return dati->New();
  }

  qint64 Count(const QString& sql) {
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.Open();
    return q.Fields(0).AsInteger();
  }
  qint64 StoredRows() { return Count(Q("SELECT COUNT(*) FROM tfis_datifiscali")); }

  // A previous-year file with these fields, one record.
  void WritePreviousYear(const std::vector<TDataPacketField>& fields, const std::vector<TFieldValue>& row) {
    std::vector<const std::vector<TFieldValue>*> rows;
    if (!row.empty()) rows.push_back(&row);
    QFile f(PreviousYearFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(WriteDataPacket(fields, rows));
  }

  QTemporaryDir dir;
  TScriptedPlatform platform;
  std::unique_ptr<TNymDBCds> store;
  std::unique_ptr<TdmZurDati> dati;
};

TDataPacketField Def(const char* name) {
  return TZurCatalogue::FieldByRule(Q(name));
}

} // namespace

TEST_P(TDeclarationLifecycle, FirstDeclarationOffersTheSchoolAndGetsTheFirstId) {
  EXPECT_TRUE(dati->NoDeclaration());
  EXPECT_EQ(NewDeclaration(kSchool.toLower()), 1000001);
  ASSERT_EQ(platform.calls().size(), 1u);
  EXPECT_EQ(platform.calls()[0].text,
            Q("Codice fiscale sostituto|Inserire il codice fiscale del sostituto per la dichiarazione"));
  EXPECT_EQ(platform.calls()[0].proposal, kSchool);
  EXPECT_EQ(dati->CurrentDeclarationId(), 1000001);

  // What another run finds in the database.
  auto other = Fresh();
  TClientDataSet& f = other->cdsFrontespizio;
  ASSERT_EQ(f.RecordCount(), 1);
  EXPECT_EQ(Fld(f, "SIRAPCODFIS").AsString(), kSchool) << "kept in upper case";
  EXPECT_EQ(Fld(f, "SIRAPDENOM").AsString(), kSchoolName);
  EXPECT_TRUE(Fld(f, "SIRAPCODFISDICH").AsString().isEmpty());
  EXPECT_EQ(Fld(f, "IIRAPUNICO").AsInteger(), 4);
  for (const char* flag : {"LIRAPIK", "LIRAPIR", "LIRAPIS"})
    EXPECT_EQ(Fld(f, flag).AsString(), Q("1")) << flag;
  EXPECT_EQ(Fld(f, "LIRAPIC").AsString(), Q("0"));
  EXPECT_TRUE(Fld(f, "LIRAPSESSO").AsString().isEmpty());
  EXPECT_TRUE(Fld(f, "LIRAPIMPINVIOTEL").AsString().isEmpty());
  EXPECT_NE(Fld(f, "IAFIID").AsInteger(), 0);
  // The cover page owns its taxpayer entry, with the code and the name.
  EXPECT_EQ(Count(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE saficodfiscale = '97123450583' AND "
                    "safidenominazione = 'ISTITUTO COMPRENSIVO VIA DELLE BETULLE'")),
            1);
}

TEST_P(TDeclarationLifecycle, AnotherTaxpayerNamesTheSchoolAsDeclarant) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  platform.clear();
  EXPECT_EQ(NewDeclaration(kOther.toLower()), 1000002);
  EXPECT_EQ(platform.calls()[0].text,
            Q("Codice fiscale sostituto|Inserire il codice fiscale per la dichiarazione(quella con codice "
              "97123450583 è già stata creata)"));
  EXPECT_EQ(platform.calls()[0].proposal, QString());
  EXPECT_EQ(dati->CurrentTaxpayerId(), Fld(dati->cdsFrontespizio, "IAFIID").AsInteger());
  EXPECT_EQ(dati->CurrentFiscalCode(), kOther);
  TClientDataSet& f = dati->cdsFrontespizio;
  EXPECT_EQ(Fld(f, "SIRAPCODFISDICH").AsString(), kSchool);
  EXPECT_TRUE(Fld(f, "SIRAPDENOM").AsString().isEmpty());
}

TEST_P(TDeclarationLifecycle, ExistingCodeInOtherCaseIsRefused) {
  ASSERT_EQ(NewDeclaration(kOther), 1000001);
  const qint64 rows = StoredRows();
  platform.clear();
  EXPECT_EQ(NewDeclaration(Q("rssmra80a01h501u")), -1);
  EXPECT_EQ(platform.messages(),
            QStringList{Q("Impossibile procedere: dichiarazione con C.F. rssmra80a01h501u già creata!")});
  EXPECT_EQ(platform.calls().back().type, TMsgDlgType::Error);
  EXPECT_EQ(dati->cdsFrontespizio.RecordCount(), 1);
  EXPECT_EQ(StoredRows(), rows);
  EXPECT_EQ(dati->CurrentDeclarationId(), 1000001);
}

TEST_P(TDeclarationLifecycle, LeftoverCoverPageFilterDoesNotHideADuplicate) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  ASSERT_EQ(NewDeclaration(kOther), 1000002);
  // What a telematic-file run leaves behind: the cover pages filtered on the
  // current taxpayer.
  dati->cdsFrontespizio.SetFilter(Q("IAFIID = %1").arg(dati->CurrentTaxpayerId()));
  dati->cdsFrontespizio.SetFiltered(true);
  platform.clear();
  EXPECT_EQ(NewDeclaration(kSchool), -1);
  EXPECT_EQ(platform.messages().size(), 1);
  EXPECT_EQ(dati->cdsFrontespizio.RecordCount(), 1) << "a refused New puts the filter back";
}

TEST_P(TDeclarationLifecycle, CancelledOrEmptyCodeCreatesNothing) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  ASSERT_EQ(NewDeclaration(kOther), 1000002);
  dati->cdsFrontespizio.First();
  const qint64 rows = StoredRows();
  platform.AnswerInput(QString(), false);
  EXPECT_EQ(dati->NewDeclaration(), -1);
  platform.AnswerInput(Q("   "));
  EXPECT_EQ(dati->NewDeclaration(), -1);
  EXPECT_EQ(platform.messages().last(), Q("Impossibile procedere: codice fiscale non indicato."));
  EXPECT_EQ(dati->cdsFrontespizio.RecordCount(), 2);
  EXPECT_EQ(Fld(dati->cdsFrontespizio, "IIRAPID").AsInteger(), 1000001) << "the cursor stays where it was";
  EXPECT_EQ(StoredRows(), rows);
}

TEST_P(TDeclarationLifecycle, PreviousYearCoverPageIsCopiedExceptItsIdentityAndKeys) {
  WritePreviousYear({Def("IIRAPID"), Def("IAFIID"), Def("IFISRIGO"), Def("SIRAPCODFIS"), Def("SIRAPDENOM"),
                     Def("SIRAPCOMUNESL"), Def("DIRAPPERIODOIMPOSTADAL"), Def("DIRAPDATACARICA"),
                     Def("LIRAPIK"), Def("SIRAPNONPIUUSATO")},
                    {qint32(5), qint32(99), qint32(42), Q("XXXXXX"), Q("VECCHIA DENOMINAZIONE"), Q("ROMA"),
                     QDate(2023, 1, 1), QDate(2020, 9, 1), TFieldValue(), Q("x")});
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  EXPECT_EQ(platform.messages(), QStringList{kImported});

  auto other = Fresh();
  TClientDataSet& f = other->cdsFrontespizio;
  ASSERT_EQ(f.RecordCount(), 1);
  EXPECT_EQ(Fld(f, "SIRAPCOMUNESL").AsString(), Q("ROMA"));
  EXPECT_EQ(Fld(f, "DIRAPDATACARICA").AsDate(), QDate(2020, 9, 1));
  EXPECT_TRUE(Fld(f, "LIRAPIK").IsNull()) << "an empty value is copied too";
  EXPECT_EQ(Fld(f, "IIRAPID").AsInteger(), 1000001);
  EXPECT_EQ(Fld(f, "SIRAPCODFIS").AsString(), kSchool);
  EXPECT_EQ(Fld(f, "SIRAPDENOM").AsString(), kSchoolName);
  EXPECT_TRUE(Fld(f, "DIRAPPERIODOIMPOSTADAL").IsNull());
  // Last year's keys would have tied the new cover page to an entry and a
  // row of another year.
  EXPECT_NE(Fld(f, "IAFIID").AsInteger(), 99);
  EXPECT_NE(Fld(f, "IFISRIGO").AsInteger(), 42);
  EXPECT_EQ(Count(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE saficodfiscale = '97123450583'")), 1);
}

TEST_P(TDeclarationLifecycle, EmptyPreviousYearFileCopiesNothingSilently) {
  WritePreviousYear({Def("SIRAPCOMUNESL")}, {});
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  EXPECT_TRUE(platform.messages().isEmpty());
}

TEST_P(TDeclarationLifecycle, UnusablePreviousYearFileIsReportedAndTheDeclarationStillCreated) {
  struct TCase {
    const char* what;
    std::function<void()> write;
    const char* reason;
  };
  const std::vector<TCase> cases = {
      {"unreadable",
       [&] {
         QFile f(PreviousYearFile());
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         f.write("questo non è un file di dati");
       },
       "TFRNT_FRONTESPIZIO.cds"},
      {"other fields",
       [&] {
         WritePreviousYear({Def("SALTRO"), Def("IIRAPID")}, {Q("x"), qint32(3)});
       },
       "non contiene i campi del frontespizio"},
      {"value of another kind",
       [&] {
         TDataPacketField year = Def("SIRAPCOMUNESL");
         TDataPacketField text = Def("SIRAPANNOSL");
         text.name = Q("IIRAPANNOSL");
         WritePreviousYear({year, text}, {Q("ROMA"), Q("duemilaventi")});
       },
       "IIRAPANNOSL"},
  };
  const QStringList codes = {kSchool, kOther, Q("VRDLGU70A01F205X")};
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    cases[i].write();
    platform.clear();
    const int id = NewDeclaration(codes[qsizetype(i)]);
    EXPECT_EQ(id, 1000001 + int(i));
    ASSERT_EQ(platform.messages().size(), 1);
    EXPECT_TRUE(platform.messages()[0].startsWith(
        Q("Importazione automatica del frontespizio dall'anno redditi 2023 non eseguita:")));
    EXPECT_TRUE(platform.messages()[0].contains(Q(cases[i].reason))) << platform.messages()[0].toStdString();
    EXPECT_EQ(platform.calls().back().type, TMsgDlgType::Warning);
    // Nothing of the file reached the new cover page, and it was saved.
    EXPECT_TRUE(Fld(dati->cdsFrontespizio, "SIRAPCOMUNESL").AsString().isEmpty());
    EXPECT_EQ(dati->cdsFrontespizio.ChangeCount(), 0);
  }
  EXPECT_EQ(Fresh()->cdsFrontespizio.RecordCount(), 3);
}

TEST_P(TDeclarationLifecycle, SingleDeclarationOpensWithoutChoice) {
  ASSERT_EQ(NewDeclaration(kOther), 1000001);
  dati = Fresh();
  EXPECT_EQ(dati->CurrentDeclarationId(), 0);
  EXPECT_EQ(dati->Open(), 1000001);
  EXPECT_TRUE(platform.calls().size() == 1) << "only the input box of New";
  EXPECT_EQ(dati->CurrentFiscalCode(), kOther);
  EXPECT_EQ(dati->cdsQuadroIS.Filter(), Q("IAFIID = %1").arg(dati->CurrentTaxpayerId()));
  EXPECT_FALSE(dati->Modified());
}

TEST_P(TDeclarationLifecycle, ChoosingNewInOpenCreatesADeclaration) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  ASSERT_EQ(NewDeclaration(kOther), 1000002);
  dati = Fresh();
  platform.AnswerChoice(-1);
  platform.AnswerInput(Q("VRDLGU70A01F205X"));
  EXPECT_EQ(dati->Open(), 1000003);
  EXPECT_EQ(dati->CurrentFiscalCode(), Q("VRDLGU70A01F205X"));
}

TEST_P(TDeclarationLifecycle, SaveRemovesEmptyRegionalRowsAndKeepsTheOthers) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  TClientDataSet& rv = dati->cdsQuadroIRVar;
  for (int base : {100, 0, 0, 300}) {
    rv.Append();
    if (base) Fld(rv, "FIRBASEIMP").SetAsInteger(base);
    rv.Post();
  }
  rv.Append(); // left in insertion: the save posts it, then finds it empty
  ASSERT_TRUE(dati->Modified());
  EXPECT_TRUE(dati->SaveAll(false));
  EXPECT_FALSE(dati->Modified());
  EXPECT_EQ(rv.RecordCount(), 2);

  auto other = Fresh();
  other->EnterDeclaration(1000001);
  TClientDataSet& loaded = other->cdsQuadroIRVar;
  ASSERT_EQ(loaded.RecordCount(), 2);
  QStringList rows;
  for (loaded.First(); !loaded.Eof(); loaded.Next())
    rows << Fld(loaded, "RIGO").AsString() + QLatin1Char('=') + Fld(loaded, "FIRBASEIMP").AsString();
  EXPECT_EQ(rows, (QStringList{Q("IR32=100"), Q("IR33=300")}));
}

TEST_P(TDeclarationLifecycle, SaveWithChecksStoresTheDataAndShowsTheFindings) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  TClientDataSet& f = dati->cdsFrontespizio;
  f.Edit();
  Fld(f, "SIRAPEMAIL").SetAsString(Q("a@scuola.it b@scuola.it"));
  EXPECT_FALSE(dati->SaveAll(true));
  ASSERT_EQ(platform.calls().back().kind, Q("info"));
  const QStringList shown = platform.calls().back().text.split(QLatin1Char('\n'));
  EXPECT_EQ(shown.last(), Q(" - Dato Errato : Presenza di più di una mail nei Dati del contribuente"));
  EXPECT_TRUE(shown.contains(Q(" - Dato obbligatorio mancante: Stato")));
  EXPECT_EQ(platform.waitCursorDepth(), 0);
  EXPECT_FALSE(dati->Modified());
  EXPECT_EQ(Fld(Fresh()->cdsFrontespizio, "SIRAPEMAIL").AsString(), Q("a@scuola.it b@scuola.it"));
  // Without checks nothing is shown.
  platform.clear();
  EXPECT_TRUE(dati->SaveAll(false));
  EXPECT_TRUE(platform.calls().empty());
}

TEST_P(TDeclarationLifecycle, DeleteRemovesEveryPageOfTheDeclarationAndItsTaxpayer) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  ASSERT_EQ(NewDeclaration(kOther), 1000002);
  const int afi = dati->CurrentTaxpayerId();
  for (TClientDataSet* ds : {&dati->cdsQuadroIK, &dati->cdsQuadroIR, &dati->cdsQuadroIS}) {
    ds->Edit();
    ds->Fields().back()->SetAsString(Q("1"));
    ds->Post();
  }
  for (int base : {1, 2, 3}) {
    dati->cdsQuadroIRVar.Append();
    Fld(dati->cdsQuadroIRVar, "FIRBASEIMP").SetAsInteger(base);
    dati->cdsQuadroIRVar.Post();
  }
  ASSERT_TRUE(dati->SaveAll(false));
  EXPECT_EQ(Fld(dati->cdsQuadroIS, "IIRAPID").AsInteger(), 1000002) << "IS records carry their declaration";
  ASSERT_GT(Count(Q("SELECT COUNT(*) FROM tfis_datifiscali WHERE iafiid = %1").arg(afi)), 0);

  dati = Fresh();
  platform.clear();
  platform.AnswerChoice(1000002);
  platform.AnswerMessage(TModalResult::Yes);
  EXPECT_TRUE(dati->Delete());
  EXPECT_EQ(platform.calls()[0].text, Q("del 2"));
  EXPECT_EQ(Count(Q("SELECT COUNT(*) FROM tfis_datifiscali WHERE iafiid = %1").arg(afi)), 0);
  EXPECT_EQ(Count(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE iafiid = %1").arg(afi)), 0);
  // The remaining declaration becomes the current one.
  EXPECT_EQ(dati->CurrentDeclarationId(), 1000001);
  EXPECT_EQ(dati->CurrentFiscalCode(), kSchool);
  EXPECT_FALSE(dati->Modified());

  auto other = Fresh();
  for (TClientDataSet* ds :
       {&other->cdsQuadroIK, &other->cdsQuadroIR, &other->cdsQuadroIRVar, &other->cdsQuadroIS})
    EXPECT_EQ(ds->RecordCount(), 0);
  EXPECT_EQ(other->cdsFrontespizio.RecordCount(), 1);
}

TEST_P(TDeclarationLifecycle, DeletingTheLastDeclarationLeavesNoneCurrent) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  dati->cdsQuadroIK.Edit();
  Fld(dati->cdsQuadroIK, "FIKVALIRAP1").SetAsCurrency(Currency::FromUnits(1));
  dati->cdsQuadroIK.Post();
  dati->DeleteDeclaration(1000001);
  EXPECT_TRUE(dati->NoDeclaration());
  EXPECT_EQ(dati->CurrentDeclarationId(), 0);
  EXPECT_EQ(dati->CurrentTaxpayerId(), 0);
  EXPECT_TRUE(dati->CurrentFiscalCode().isEmpty());
  EXPECT_EQ(StoredRows(), 0);
  // A new declaration starts from the school's code again.
  platform.clear();
  EXPECT_EQ(NewDeclaration(kSchool), 1000001) << "no IIRAPID row left, so the first id again";
  EXPECT_EQ(platform.calls()[0].proposal, kSchool);
}

TEST_P(TDeclarationLifecycle, FailedSaveWritesNothingKeepsTheChangesAndTheRetryStoresThem) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  // A statement the database refuses while the IK page is written. The
  // trigger's body holds more than one statement, which the program's query
  // object refuses on purpose: the driver runs it directly.
  const QStringList ddl =
      IsSQLite()
          ? QStringList{Q("CREATE TRIGGER guasto BEFORE INSERT ON tfis_datifiscali WHEN NEW.sfisfieldname = "
                          "'FIKVALIRAP9' BEGIN SELECT RAISE(ABORT, 'guasto simulato'); END")}
          : QStringList{Q("CREATE FUNCTION guasto() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF "
                          "NEW.sfisfieldname = 'FIKVALIRAP9' THEN RAISE EXCEPTION 'guasto simulato'; END IF; "
                          "RETURN NEW; END $$"),
                        Q("CREATE TRIGGER guasto BEFORE INSERT ON tfis_datifiscali FOR EACH ROW EXECUTE "
                          "FUNCTION guasto()")};
  for (const QString& sql : ddl) {
    QSqlQuery q(Conn().Database());
    ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
  }
  dati->cdsFrontespizio.Edit();
  Fld(dati->cdsFrontespizio, "SIRAPSTATO").SetAsString(Q("1"));
  dati->cdsQuadroIK.Edit();
  Fld(dati->cdsQuadroIK, "FIKVALIRAP9").SetAsCurrency(Currency::FromUnits(9));
  try {
    dati->SaveAll(true);
    FAIL() << "the refused statement must reach the caller";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("guasto simulato"))) << e.message().toStdString();
  }
  EXPECT_TRUE(dati->Modified());
  EXPECT_EQ(platform.waitCursorDepth(), 0);
  {
    auto other = Fresh();
    EXPECT_TRUE(Fld(other->cdsFrontespizio, "SIRAPSTATO").AsString().isEmpty())
        << "one page of a failed save";
    EXPECT_TRUE(other->cdsQuadroIK.IsEmpty());
  }
  EXPECT_EQ(Fld(dati->cdsFrontespizio, "SIRAPSTATO").AsString(), Q("1"));
  EXPECT_EQ(Fld(dati->cdsQuadroIK, "FIKVALIRAP9").AsCurrency(), Currency::FromUnits(9));

  QSqlQuery drop(Conn().Database());
  ASSERT_TRUE(
      drop.exec(IsSQLite() ? Q("DROP TRIGGER guasto") : Q("DROP TRIGGER guasto ON tfis_datifiscali")));
  dati->SaveAll(false);
  EXPECT_FALSE(dati->Modified());
  auto other = Fresh();
  EXPECT_EQ(Fld(other->cdsFrontespizio, "SIRAPSTATO").AsString(), Q("1"));
  ASSERT_EQ(other->cdsQuadroIK.RecordCount(), 1);
  EXPECT_EQ(Fld(other->cdsQuadroIK, "FIKVALIRAP9").AsCurrency(), Currency::FromUnits(9));
}

// Two workstations on one database, each with its own module: a save over
// a declaration the other saved or deleted since it loaded is refused with
// nothing written and its edits kept; a code the other created meanwhile is
// a duplicate; opening another declaration keeps unsaved work flagged.
TEST_P(TDeclarationLifecycle, TwoWorkstationsNeverOverwriteEachOther) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  ASSERT_EQ(NewDeclaration(kOther), 1000002);
  const qsizetype reported = platform.progress().size();
  auto b = Fresh();
  // Loading tells the wait window how far it has got, ending at the total.
  ASSERT_GT(platform.progress().size(), reported);
  EXPECT_EQ(platform.progress().last(), Q("%1/%1").arg(StoredRows()));
  ASSERT_TRUE(b->EnterDeclaration(1000001));
  ASSERT_TRUE(dati->EnterDeclaration(1000001));

  dati->cdsQuadroIK.Edit();
  Fld(dati->cdsQuadroIK, "FIKVALIRAP1").SetAsCurrency(Currency::FromUnits(11));
  dati->SaveAll(false);
  b->cdsQuadroIK.Edit();
  Fld(b->cdsQuadroIK, "FIKVALIRAP2").SetAsCurrency(Currency::FromUnits(22));
  b->SetModified(true);
  try {
    b->SaveAll(false);
    FAIL() << "an edit of the other workstation would have been overwritten";
  } catch (const EZurError& e) {
    EXPECT_TRUE(
        e.message().startsWith(Q("Salvataggio non eseguito: la dichiarazione con C.F. 97123450583 è stata "
                                 "modificata da un'altra postazione")))
        << e.message().toStdString();
  }
  EXPECT_TRUE(b->Modified());
  EXPECT_EQ(Fld(b->cdsQuadroIK, "FIKVALIRAP2").AsCurrency(), Currency::FromUnits(22)) << "the edit stays";
  {
    auto check = Fresh();
    check->EnterDeclaration(1000001);
    EXPECT_EQ(Fld(check->cdsQuadroIK, "FIKVALIRAP1").AsCurrency(), Currency::FromUnits(11));
    EXPECT_TRUE(Fld(check->cdsQuadroIK, "FIKVALIRAP2").IsNull());
  }

  // Opening another declaration does not forget the unsaved edit.
  ASSERT_TRUE(b->EnterDeclaration(1000002));
  EXPECT_TRUE(b->Modified());

  // A code the other workstation created after this one loaded.
  platform.AnswerInput(Q("VRDLGU70A01F205X"));
  ASSERT_EQ(dati->New(), 1000003);
  const int covers = b->cdsFrontespizio.RecordCount();
  const int pending = b->cdsFrontespizio.ChangeCount();
  const qint64 rows = StoredRows();
  platform.clear();
  platform.AnswerInput(Q("vrdlgu70a01f205x"));
  EXPECT_EQ(b->New(), -1);
  EXPECT_EQ(platform.messages(),
            QStringList{Q("Impossibile procedere: dichiarazione con C.F. vrdlgu70a01f205x già creata!")});
  b->cdsFrontespizio.SetFiltered(false);
  EXPECT_EQ(b->cdsFrontespizio.RecordCount(), covers);
  EXPECT_EQ(b->cdsFrontespizio.ChangeCount(), pending);
  EXPECT_EQ(StoredRows(), rows);

  // A declaration the other workstation deleted.
  auto c = Fresh();
  ASSERT_TRUE(c->EnterDeclaration(1000002));
  dati->DeleteDeclaration(1000002);
  c->cdsQuadroIS.Edit();
  Fld(c->cdsQuadroIS, "SIS22_1").SetAsString(Q("A"));
  try {
    c->SaveAll(false);
    FAIL() << "a deleted declaration came back";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("è stata eliminata da un'altra postazione")))
        << e.message().toStdString();
  }
  EXPECT_EQ(Count(Q("SELECT COUNT(*) FROM tzur_dichiarazioni WHERE iirapid = 1000002")), 0);
}

// A save of all five pages and a delete, each failing at every statement
// that writes a stored value in turn: every failure leaves the database as
// it was and the changes pending, and the first save that gets through
// stores them all.
TEST_P(TDeclarationLifecycle, AFailureAtAnyStatementOfASaveOrADeleteWritesNothing) {
  ASSERT_EQ(NewDeclaration(kSchool), 1000001);
  const auto exec = [this](const QString& sql) {
    QSqlQuery q(Conn().Database());
    ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString() << sql.toStdString();
  };
  exec(Q("CREATE TABLE zur_conta (n INTEGER NOT NULL)"));
  exec(Q("INSERT INTO zur_conta (n) VALUES (0)"));
  const auto failAt = [&](int k) {
    exec(Q("UPDATE zur_conta SET n = 0"));
    for (const char* event : {"INSERT", "DELETE"}) {
      if (IsSQLite()) {
        exec(Q("DROP TRIGGER IF EXISTS guasto_%1").arg(Q(event)));
        exec(Q("CREATE TRIGGER guasto_%1 BEFORE %1 ON tfis_datifiscali FOR EACH ROW BEGIN UPDATE zur_conta "
               "SET "
               "n = n + 1; SELECT RAISE(ABORT, 'guasto simulato') WHERE (SELECT n FROM zur_conta) = %2; END")
                 .arg(Q(event))
                 .arg(k));
      } else {
        exec(Q("DROP TRIGGER IF EXISTS guasto_%1 ON tfis_datifiscali").arg(Q(event)));
        exec(Q("CREATE OR REPLACE FUNCTION guasto() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN UPDATE "
               "zur_conta "
               "SET n = n + 1; IF (SELECT n FROM zur_conta) = %1 THEN RAISE EXCEPTION 'guasto simulato'; END "
               "IF; "
               "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END $$")
                 .arg(k));
        exec(
            Q("CREATE TRIGGER guasto_%1 BEFORE %1 ON tfis_datifiscali FOR EACH ROW EXECUTE FUNCTION guasto()")
                .arg(Q(event)));
      }
    }
  };
  const auto dump = [this] {
    TZurQuery q(Conn());
    q.SetSQL(
        Q("SELECT icdsid, ifisrigo, sfisfieldname, ifisvalue, ffisvalue, sfisvalue FROM tfis_datifiscali "
          "ORDER BY icdsid, ifisrigo, sfisfieldname"));
    q.Open();
    QStringList rows;
    for (; !q.Eof(); q.Next())
      rows << q.Fields(1).AsString() + q.Fields(2).AsString() + q.Fields(3).AsString() +
                  q.Fields(4).AsString() + q.Fields(5).AsString();
    return rows;
  };
  // Every page changed, a regional row added.
  dati->cdsFrontespizio.Edit();
  Fld(dati->cdsFrontespizio, "SIRAPCOMUNESL").SetAsString(Q("ROMA"));
  dati->cdsQuadroIK.Edit();
  Fld(dati->cdsQuadroIK, "FIKVALIRAP1").SetAsCurrency(Currency::FromUnits(5));
  dati->cdsQuadroIR.Edit();
  Fld(dati->cdsQuadroIR, "FIRBASEIMP01").SetAsCurrency(Currency::FromUnits(6));
  dati->cdsQuadroIRVar.Append();
  Fld(dati->cdsQuadroIRVar, "SIRCODREGIONE").SetAsString(Q("08"));
  dati->cdsQuadroIS.Edit();
  Fld(dati->cdsQuadroIS, "SIS22_1").SetAsString(Q("A"));
  dati->SetModified(true);

  for (const bool deleting : {false, true}) {
    int k = 1;
    for (;; ++k) {
      ASSERT_LT(k, 200);
      SCOPED_TRACE(k);
      failAt(k);
      const QStringList before = dump();
      try {
        if (deleting)
          dati->DeleteDeclaration(1000001);
        else
          dati->SaveAll(false);
        break;
      } catch (const EZurError& e) {
        EXPECT_TRUE(e.message().contains(Q("guasto simulato"))) << e.message().toStdString();
        EXPECT_EQ(dump(), before);
        EXPECT_TRUE(dati->Modified());
      }
    }
    EXPECT_GT(k, 5) << "the failures did not reach every page";
    EXPECT_FALSE(dati->Modified());
    if (!deleting) {
      auto other = Fresh();
      EXPECT_EQ(Fld(other->cdsFrontespizio, "SIRAPCOMUNESL").AsString(), Q("ROMA"));
      EXPECT_EQ(Fld(other->cdsQuadroIK, "FIKVALIRAP1").AsCurrency(), Currency::FromUnits(5));
      EXPECT_EQ(other->cdsQuadroIRVar.RecordCount(), 1);
      EXPECT_EQ(Fld(other->cdsQuadroIS, "SIS22_1").AsString(), Q("A"));
    }
  }
  EXPECT_EQ(StoredRows(), 0) << "the delete got through whole";
}

ZUR_INSTANTIATE_ENGINES(TDeclarationLifecycle);

// Whatever the field accepts, both engines store: a code longer than a real
// fiscal code must not be refused by one server and kept by the other.
// The code is copied into every dataset, the regional rows' field of 20
// characters included: the longest code that fits is stored alike on both
// engines, a longer one is refused rather than cut.
TEST_P(TDeclarationLifecycle, LongFiscalCodeIsStoredAlikeOnBothEnginesOrRefused) {
  EXPECT_EQ(NewDeclaration(Q("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123")), -1);
  EXPECT_EQ(Count(Q("SELECT COUNT(*) FROM tafi_anafiscale")), 0);
  const QString code = Q("ABCDEFGHIJKLMNOPQRST");
  ASSERT_EQ(NewDeclaration(code), 1000001);
  auto other = Fresh();
  EXPECT_EQ(Fld(other->cdsFrontespizio, "SIRAPCODFIS").AsString(), code);
  EXPECT_EQ(Count(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE saficodfiscale = 'ABCDEFGHIJKLMNOPQRST'")),
            1);
}
