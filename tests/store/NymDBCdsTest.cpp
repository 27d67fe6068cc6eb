#include "store/NymDBCds.h"

#include "StoreTestSupport.h"
#include "db/VxTransaction.h"
#include "db/ZurConnection.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>
#include <limits>

using namespace storetest;

namespace {

class TStoreSaveTest : public TStoreFixture {
protected:
  qint64 FisRows(const QString& condition) {
    return Scalar(Q("SELECT COUNT(*) FROM tfis_datifiscali WHERE ") + condition);
  }
  qint64 Counter(const char* table) {
    TZurQuery q(Conn());
    q.SetSQL(Q("SELECT icdsrigo FROM tcds_struttura WHERE scdsnome = :N"));
    q.ParamByName(Q("N")).SetString(Q(table));
    q.Open();
    return q.Fields(0).AsInteger();
  }
  // Three cover pages saved and loaded back.
  void SaveThreeFronts(TClientDataSet& ds) {
    FrontStructure();
    store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
    AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
    AppendFront(ds, "BBBBBB00B00B000B", "Beta", 1000002);
    AppendFront(ds, "CCCCCC00C00C000C", "Gamma", 1000003);
    store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
    store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  }
};

class TStoreLoadTest : public TStoreFixture {};
class TStoreValuesTest : public TStoreFixture {};
class TStoreStructureTest : public TStoreFixture {};

// Counts what reaches the bound controls.
class TCountingLink : public TDataLink {
public:
  int changed = 0;
  int scrolled = 0;
  int records = 0;

protected:
  void DataSetChanged() override { ++changed; }
  void DataSetScrolled() override { ++scrolled; }
  void RecordChanged(TField*) override { ++records; }
};

} // namespace

// --- saving: row numbers, taxpayer entries, emptied fields -----------------------------

TEST_P(TStoreSaveTest, NewRecordsGetTheNumbersAfterTheCounterAndTheDatasetShowsThem) {
  FrontStructure();
  Exec(Q("UPDATE tcds_struttura SET icdsrigo = 41"));
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
  AppendFront(ds, "BBBBBB00B00B000B", "Beta", 1000002);
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));

  EXPECT_EQ(ds.ChangeCount(), 0);
  ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Alfa")));
  EXPECT_EQ(ds.FieldByName(Q("IFISRIGO")).AsInteger(), 42);
  const qint64 alfaAfi = ds.FieldByName(Q("IAFIID")).AsInteger();
  ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Beta")));
  EXPECT_EQ(ds.FieldByName(Q("IFISRIGO")).AsInteger(), 43);
  EXPECT_GT(alfaAfi, 0);
  EXPECT_NE(ds.FieldByName(Q("IAFIID")).AsInteger(), alfaAfi);
  EXPECT_EQ(Counter("TFRNT_FRONTESPIZIO"), 43);
  EXPECT_EQ(FisRows(Q("ifisrigo = 42 AND iafiid = %1").arg(alfaAfi)), FisRows(Q("ifisrigo = 42")));
  // Mapped single fields live in the taxpayer entry, not in the rows.
  EXPECT_EQ(FisRows(Q("sfisfieldname IN ('SIRAPCODFIS', 'SIRAPDENOM', 'IAFIID', 'IFISRIGO')")), 0);
  EXPECT_EQ(FisRows(Q("sfisfieldname = 'SIRAPCOGNOME'")), 2);
}

TEST_P(TStoreSaveTest, ModifiedRecordKeepsItsRowNumber) {
  TClientDataSet ds;
  SaveThreeFronts(ds);
  const qint64 counter = Counter("TFRNT_FRONTESPIZIO");
  ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Beta")));
  const int row = ds.FieldByName(Q("IFISRIGO")).AsInteger();
  const int afi = ds.FieldByName(Q("IAFIID")).AsInteger();
  ds.Edit();
  ds.FieldByName(Q("FIRAPIMPORTO")).SetAsCurrency(Currency::FromCents(-99));
  ds.FieldByName(Q("SIRAPNOME")).SetAsString(Q("Luigi"));
  ds.Post();
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));

  EXPECT_EQ(Counter("TFRNT_FRONTESPIZIO"), counter);
  TClientDataSet again;
  store->Load(again, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_EQ(again.RecordCount(), 3);
  ASSERT_TRUE(again.Locate(Q("IFISRIGO"), row));
  EXPECT_EQ(again.FieldByName(Q("SIRAPDENOM")).AsString(), Q("Beta"));
  EXPECT_EQ(again.FieldByName(Q("IAFIID")).AsInteger(), afi);
  EXPECT_EQ(again.FieldByName(Q("FIRAPIMPORTO")).AsCurrency(), Currency::FromCents(-99));
  EXPECT_EQ(again.FieldByName(Q("SIRAPNOME")).AsString(), Q("Luigi"));
  EXPECT_EQ(again.FieldByName(Q("IIRAPID")).AsInteger(), 1000002);
  // One row per field, not a second copy beside the first.
  EXPECT_EQ(FisRows(Q("ifisrigo = %1 AND sfisfieldname = 'SIRAPNOME'").arg(row)), 1);
}

TEST_P(TStoreSaveTest, FieldsSetBackToEmptyOrZeroLoseTheirRowsAndLoadAsNull) {
  TClientDataSet ds;
  SaveThreeFronts(ds);
  ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Alfa")));
  const int row = ds.FieldByName(Q("IFISRIGO")).AsInteger();
  ds.Edit();
  ds.FieldByName(Q("SIRAPNOME")).SetAsString(Q(""));
  ds.FieldByName(Q("FIRAPIMPORTO")).SetAsCurrency(Currency());
  ds.FieldByName(Q("IIRAPID")).SetAsInteger(0);
  ds.Post();
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));

  EXPECT_EQ(
      FisRows(Q("ifisrigo = %1 AND sfisfieldname IN ('SIRAPNOME', 'FIRAPIMPORTO', 'IIRAPID')").arg(row)), 0);
  TClientDataSet again;
  store->Load(again, Q("TFRNT_FRONTESPIZIO"));
  ASSERT_TRUE(again.Locate(Q("IFISRIGO"), row));
  EXPECT_TRUE(again.FieldByName(Q("SIRAPNOME")).IsNull());
  EXPECT_TRUE(again.FieldByName(Q("FIRAPIMPORTO")).IsNull());
  EXPECT_TRUE(again.FieldByName(Q("IIRAPID")).IsNull());
  EXPECT_EQ(again.FieldByName(Q("SIRAPCOGNOME")).AsString(), Q("Rossi"));
}

TEST_P(TStoreSaveTest, DeletingARecordThatOwnsItsTaxpayerEntryDeletesTheEntryToo) {
  TClientDataSet ds;
  SaveThreeFronts(ds);
  ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Beta")));
  const int row = ds.FieldByName(Q("IFISRIGO")).AsInteger();
  const int afi = ds.FieldByName(Q("IAFIID")).AsInteger();
  ds.Delete();
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));

  EXPECT_EQ(FisRows(Q("ifisrigo = %1").arg(row)), 0);
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE iafiid = %1").arg(afi)), 0);
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale")), 2);
  TClientDataSet again;
  store->Load(again, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_EQ(again.RecordCount(), 2);
  EXPECT_FALSE(again.Locate(Q("SIRAPDENOM"), Q("Beta")));
}

TEST_P(TStoreSaveTest, DeletingARecordThatSharesItsTaxpayerEntryKeepsTheEntry) {
  TClientDataSet front;
  SaveThreeFronts(front);
  QuadroStructure();
  TClientDataSet ik;
  store->Load(ik, Q("TQIK_QUADROIK"));
  ik.Append();
  ik.FieldByName(Q("SIRAPCODFIS")).SetAsString(Q("AAAAAA00A00A000A"));
  ik.FieldByName(Q("IIKNUM")).SetAsInteger(7);
  ik.Post();
  store->Save(ik, Q("TQIK_QUADROIK"));
  const qint64 entries = Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale"));

  ik.First();
  ik.Delete();
  store->Save(ik, Q("TQIK_QUADROIK"));
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale")), entries);
  EXPECT_EQ(FisRows(Q("sfisfieldname = 'IIKNUM'")), 0);
}

TEST_P(TStoreSaveTest, NewRecordWithoutTheAnagraficaFlagReusesTheEntryOfItsFiscalCode) {
  TClientDataSet front;
  SaveThreeFronts(front);
  ASSERT_TRUE(front.Locate(Q("SIRAPCODFIS"), Q("BBBBBB00B00B000B")));
  const int betaAfi = front.FieldByName(Q("IAFIID")).AsInteger();
  QuadroStructure();
  const qint64 entries = Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale"));

  TClientDataSet ik;
  store->Load(ik, Q("TQIK_QUADROIK"));
  ik.Append();
  // Fiscal codes are matched without regard to case.
  ik.FieldByName(Q("SIRAPCODFIS")).SetAsString(Q("bbbbbb00b00b000b"));
  ik.FieldByName(Q("FIKVAL")).SetAsCurrency(Currency::FromCents(500));
  ik.Post();
  ik.Append();
  ik.FieldByName(Q("SIRAPCODFIS")).SetAsString(Q("ZZZZZZ00Z00Z000Z"));
  ik.Post();
  store->Save(ik, Q("TQIK_QUADROIK"));

  ASSERT_TRUE(ik.Locate(Q("FIKVAL"), QVariant::fromValue(Currency::FromCents(500))));
  EXPECT_EQ(ik.FieldByName(Q("IAFIID")).AsInteger(), betaAfi);
  // An unknown code gets an entry of its own; the read-only map leaves it
  // without a fiscal code.
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale")), entries + 1);
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE saficodfiscale = 'BBBBBB00B00B000B'")), 1);

  // The fiscal code of a section comes back from the shared entry.
  TClientDataSet again;
  store->Load(again, Q("TQIK_QUADROIK"));
  ASSERT_TRUE(again.Locate(Q("IAFIID"), betaAfi));
  EXPECT_EQ(again.FieldByName(Q("SIRAPCODFIS")).AsString(), Q("BBBBBB00B00B000B"));
  EXPECT_EQ(again.FieldByName(Q("FIKVAL")).AsCurrency(), Currency::FromCents(500));
}

TEST_P(TStoreSaveTest, EntriesOfAnotherPeriodAreNotReused) {
  TClientDataSet front;
  SaveThreeFronts(front);
  QuadroStructure();
  TClientDataSet ik;
  store->Load(ik, Q("TQIK_QUADROIK"), 2025, 0);
  ik.Append();
  ik.FieldByName(Q("SIRAPCODFIS")).SetAsString(Q("AAAAAA00A00A000A"));
  ik.Post();
  store->Save(ik, Q("TQIK_QUADROIK"), 2025, 0);
  ASSERT_TRUE(front.Locate(Q("SIRAPCODFIS"), Q("AAAAAA00A00A000A")));
  EXPECT_NE(ik.FieldByName(Q("IAFIID")).AsInteger(), front.FieldByName(Q("IAFIID")).AsInteger());
}

TEST_P(TStoreSaveTest, TaxpayerEntryTakesTheMappedFieldsAndTheGroupText) {
  TClientDataSet ds;
  SaveThreeFronts(ds);
  ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Alfa")));
  const int afi = ds.FieldByName(Q("IAFIID")).AsInteger();
  TZurQuery q(Conn());
  q.SetSQL(
      Q("SELECT saficodfiscale, safidenominazione, safigruppoana FROM tafi_anafiscale WHERE iafiid = :ID"));
  q.ParamByName(Q("ID")).SetInteger(afi);
  q.Open();
  EXPECT_EQ(q.Fields(0).AsString(), Q("AAAAAA00A00A000A"));
  EXPECT_EQ(q.Fields(1).AsString(), Q("Alfa"));
  EXPECT_EQ(q.Fields(2).AsString(), Q("RossiMario"));
  q.Close();

  // A modified record updates the entry with what changed, and the group.
  ds.Edit();
  ds.FieldByName(Q("SIRAPDENOM")).SetAsString(Q("Alfa Due"));
  ds.FieldByName(Q("SIRAPNOME")).SetAsString(Q("Anna"));
  ds.Post();
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
  q.Open();
  EXPECT_EQ(q.Fields(0).AsString(), Q("AAAAAA00A00A000A"));
  EXPECT_EQ(q.Fields(1).AsString(), Q("Alfa Due"));
  EXPECT_EQ(q.Fields(2).AsString(), Q("RossiAnna"));
}

TEST_P(TStoreSaveTest, ReadOnlyMapLeavesTheTaxpayerEntryAlone) {
  Structure("TFRNT_FRONTESPIZIO", kFrontFields, true, true, kFrontMap);
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE saficodfiscale IS NULL AND "
                     "safidenominazione IS NULL AND safigruppoana IS NULL")),
            1);
}

TEST_P(TStoreSaveTest, AGroupFieldTheDatasetLacksFailsTheSaveAndKeepsItsChanges) {
  Structure("TFRNT_FRONTESPIZIO", kFrontFields, true, false, "safigruppoana=SIRAPCOGNOME+SMANCANTE");
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  const QStringList before = Dump();
  AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
  try {
    store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
    FAIL() << "saved with a group field the dataset lacks";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("SMANCANTE"))) << e.what();
  }
  EXPECT_EQ(ds.ChangeCount(), 1);
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(Dump(), before);
}

TEST_P(TStoreSaveTest, ExplicitYearAndMonthKeepTheirOwnRows) {
  // One structure, older than every year used: only the fiscal period differs.
  Structure("TFRNT_FRONTESPIZIO", kFrontFields, true, false, kFrontMap, 2020);
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"), 2023, 5);
  AppendFront(ds, "AAAAAA00A00A000A", "Maggio", 1000001);
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"), 2023, 5);

  TClientDataSet other;
  store->Load(other, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_EQ(other.RecordCount(), 0);
  store->Load(other, Q("TFRNT_FRONTESPIZIO"), 2023, 4);
  EXPECT_EQ(other.RecordCount(), 0);
  store->Load(other, Q("TFRNT_FRONTESPIZIO"), 2023, 5);
  ASSERT_EQ(other.RecordCount(), 1);
  EXPECT_EQ(other.FieldByName(Q("SIRAPDENOM")).AsString(), Q("Maggio"));
  store->Load(other, Q("TFRNT_FRONTESPIZIO"), 2023, -1);
  EXPECT_EQ(other.RecordCount(), 1);
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tcrf_crofiscale WHERE icrfanno = 2023 AND icrfmese = 5")), 1);
  // No structure of its year or older: none to load.
  EXPECT_THROW(store->Load(other, Q("TFRNT_FRONTESPIZIO"), 2019, 0), EZurError);
}

TEST_P(TStoreSaveTest, SaveInsideTheCallersTransactionCommitsAndRollsBackWithIt) {
  FrontStructure();
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  const QStringList before = Dump();
  {
    TVxTransaction t(Conn());
    t.StartTransaction();
    AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
    store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
    EXPECT_TRUE(Conn().InTransaction()) << "the store must not end the caller's transaction";
    t.Rollback();
  }
  EXPECT_EQ(Dump(), before);

  // A failing save inside the caller's transaction takes back only itself.
  TVxTransaction t(Conn());
  t.StartTransaction();
  Exec(Q("INSERT INTO tafi_anafiscale (iafiid, icrfid, saficodfiscale) VALUES "
         "(999, (SELECT icrfid FROM pnym_getcrofiscale('zur', 2024, NULL)), 'CALLER')"));
  ds.Append();
  ds.FieldByName(Q("FIRAPIMPORTO")).SetAsCurrency(Currency::FromCents(90000000000000001));
  ds.Post();
  EXPECT_THROW(store->Save(ds, Q("TFRNT_FRONTESPIZIO")), EZurError);
  ASSERT_TRUE(Conn().InTransaction());
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale")), 1);
  t.Commit();
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tafi_anafiscale WHERE saficodfiscale = 'CALLER'")), 1);
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tfis_datifiscali")), 0);
}

TEST_P(TStoreSaveTest, MissingStructureIsReportedAndThePendingChangesKept) {
  TClientDataSet ds;
  DefineFields(ds, kFrontFields);
  ds.CreateDataSet();
  for (int changes : {0, 1}) {
    if (changes) AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
    try {
      store->Save(ds, Q("TNON_ESISTE"));
      ADD_FAILURE() << "no structure row, yet no error";
    } catch (const EZurError& e) {
      EXPECT_EQ(e.message(), Q("Impossibile trovare il ClientDataSet (TNON_ESISTE)."));
    }
    EXPECT_EQ(ds.ChangeCount(), changes);
    EXPECT_FALSE(Conn().InTransaction());
  }
}

TEST_P(TStoreSaveTest, MalformedFieldMapIsRefusedBeforeAnythingIsWritten) {
  FrontStructure();
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
  const QStringList before = Dump();
  // A column part that would smuggle SQL into the taxpayer update.
  TZurQuery q(Conn());
  q.SetSQL(Q("UPDATE tcds_struttura SET scdsfieldmap = :M"));
  q.ParamByName(Q("M")).SetString(Q("safinome, iafiid=SIRAPNOME"));
  q.ExecSQL();
  EXPECT_THROW(store->Save(ds, Q("TFRNT_FRONTESPIZIO")), EZurError);
  EXPECT_EQ(ds.ChangeCount(), 1);
  EXPECT_FALSE(Conn().InTransaction());
  TClientDataSet other;
  EXPECT_THROW(store->Load(other, Q("TFRNT_FRONTESPIZIO")), EZurError);
  q.ParamByName(Q("M")).SetString(Q(kFrontMap));
  q.ExecSQL();
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_NE(Dump(), before);
}

// --- loading ------------------------------------------------------------------------------

TEST_P(TStoreLoadTest, MissingStructureNamesTheTableAndLeavesTheDatasetAlone) {
  TClientDataSet ds;
  DefineFields(ds, kFrontFields);
  ds.CreateDataSet();
  AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
  try {
    store->Load(ds, Q("TNON_ESISTE"));
    FAIL() << "no structure row, yet no error";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(), Q("Impossibile trovare il ClientDataSet (TNON_ESISTE)."));
  }
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_P(TStoreLoadTest, ChoosesTheNewestStructureNotNewerThanTheYear) {
  Structure("TPROVA", {{"SVECCHIO", TFieldType::String}, {"IFISRIGO", TFieldType::Integer}}, false, false, "",
            2020);
  Structure("TPROVA", {{"SNUOVO", TFieldType::String}, {"IFISRIGO", TFieldType::Integer}}, false, false, "",
            2023);
  Structure("TPROVA", {{"SFUTURO", TFieldType::String}, {"IFISRIGO", TFieldType::Integer}}, false, false, "",
            2025);
  const qint64 noYear =
      Structure("TPROVA", {{"SNESSUNO", TFieldType::String}, {"IFISRIGO", TFieldType::Integer}});
  Exec(Q("UPDATE tcds_struttura SET icdsanno = NULL WHERE icdsid = %1").arg(noYear));
  TClientDataSet ds;
  // Table names and program codes are compared without regard to case.
  TNymDBCds upper(2024, Q("Zur"), 0);
  upper.SetConnection(&Conn());
  upper.SetShowWait(false);
  upper.Load(ds, Q("tprova"));
  EXPECT_NE(ds.FindField(Q("SNUOVO")), nullptr);
  EXPECT_EQ(ds.FieldCount(), 2);
  // Within one year the structure of the latest month not after the store's.
  Structure("TPROVA", {{"SGIUGNO", TFieldType::String}, {"IFISRIGO", TFieldType::Integer}}, false, false, "",
            2023, 6);
  TNymDBCds june(2023, Q("zur"), 7);
  june.SetConnection(&Conn());
  june.SetShowWait(false);
  june.Load(ds, Q("TPROVA"));
  EXPECT_NE(ds.FindField(Q("SGIUGNO")), nullptr);
  TNymDBCds old(2019, Q("zur"), 0);
  old.SetConnection(&Conn());
  old.SetShowWait(false);
  old.Load(ds, Q("TPROVA"));
  EXPECT_NE(ds.FindField(Q("SNESSUNO")), nullptr);
}

TEST_P(TStoreLoadTest, LoadsWithHandlersAndControlsOffAndPutsThemBack) {
  FrontStructure();
  {
    TClientDataSet writer;
    store->Load(writer, Q("TFRNT_FRONTESPIZIO"));
    AppendFront(writer, "AAAAAA00A00A000A", "Alfa", 1000001);
    AppendFront(writer, "BBBBBB00B00B000B", "Beta", 1000002);
    store->Save(writer, Q("TFRNT_FRONTESPIZIO"));
  }
  TClientDataSet ds;
  int handled = 0;
  TDataSetEvents events;
  events.BeforePost = [&](TClientDataSet&) { ++handled; };
  events.OnNewRecord = [&](TClientDataSet&) { ++handled; };
  events.AfterScroll = [&](TClientDataSet&) { ++handled; };
  events.AfterOpen = [&](TClientDataSet&) { ++handled; };
  ds.SetEvents(events);
  TCountingLink link;
  link.SetDataSet(&ds);

  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_EQ(handled, 0);
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(link.scrolled, 0);
  EXPECT_EQ(link.records, 0);
  EXPECT_EQ(link.changed, 1) << "one refresh when the controls come back";
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(ds.UpdateStatus(), TUpdateStatus::usUnmodified);
  ds.Edit();
  ds.FieldByName(Q("SIRAPNOME")).SetAsString(Q("Paolo"));
  ds.Post();
  EXPECT_EQ(handled, 1) << "the owner's handlers are back";
}

TEST_P(TStoreLoadTest, WaitWindowAndCursorOnlyWhenAskedAndAlwaysPutBack) {
  FrontStructure();
  TScriptedPlatform platform;
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_TRUE(platform.calls().empty());
  EXPECT_EQ(platform.processMessagesCount(), 0);

  store->SetShowWait(true);
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  ASSERT_EQ(platform.calls().size(), 2u);
  EXPECT_EQ(platform.calls()[0].text, Q("on"));
  EXPECT_EQ(platform.calls()[1].text, Q("off"));
  EXPECT_EQ(platform.waitCursorDepth(), 0);
  EXPECT_EQ(platform.processMessagesCount(), 1);

  platform.clear();
  EXPECT_THROW(store->Load(ds, Q("TNON_ESISTE")), EZurError);
  ASSERT_EQ(platform.calls().size(), 2u);
  EXPECT_EQ(platform.calls()[1].text, Q("off"));
  EXPECT_EQ(platform.waitCursorDepth(), 0);
}

TEST_P(TStoreLoadTest, KeepsTheFilterAndClearsTheIndexOrder) {
  FrontStructure();
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
  AppendFront(ds, "BBBBBB00B00B000B", "Beta", 1000002);
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
  ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Beta")));
  const int betaAfi = ds.FieldByName(Q("IAFIID")).AsInteger();
  ds.SetIndexFieldNames(Q("SIRAPDENOM"));
  ds.SetFilter(Q("IAFIID = %1").arg(betaAfi));
  ds.SetFiltered(true);

  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_TRUE(ds.Filtered());
  EXPECT_TRUE(ds.IndexFieldNames().isEmpty());
  ASSERT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.FieldByName(Q("SIRAPDENOM")).AsString(), Q("Beta"));
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 2);
}

TEST_P(TStoreLoadTest, RecordsComeInRowOrderWithTheirKeys) {
  FrontStructure();
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  for (int i = 0; i < 12; ++i)
    AppendFront(ds, "AAAAAA00A00A000A", QString::number(i).toUtf8().constData(), 1000001 + i);
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
  // A modified record is rewritten last but keeps its place by number.
  ds.First();
  ds.Edit();
  ds.FieldByName(Q("SIRAPNOME")).SetAsString(Q("Primo"));
  ds.Post();
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));

  TClientDataSet again;
  store->Load(again, Q("TFRNT_FRONTESPIZIO"));
  ASSERT_EQ(again.RecordCount(), 12);
  int previous = 0;
  for (again.First(); !again.Eof(); again.Next()) {
    EXPECT_GT(again.FieldByName(Q("IFISRIGO")).AsInteger(), previous);
    previous = again.FieldByName(Q("IFISRIGO")).AsInteger();
    EXPECT_GT(again.FieldByName(Q("IAFIID")).AsInteger(), 0);
  }
  again.First();
  EXPECT_EQ(again.FieldByName(Q("SIRAPNOME")).AsString(), Q("Primo"));
  EXPECT_EQ(again.FieldByName(Q("SIRAPDENOM")).AsString(), Q("0"));
}

// --- values -----------------------------------------------------------------------------

TEST_P(TStoreValuesTest, EveryKindOfValueComesBackExactly) {
  FrontStructure();
  const QString quoted = Q("L'Aquila – \"Città\" d'Italia; àèéìòù €");
  const QString memo = Q("prima riga\nseconda riga\t'tab'\r\nterza: :IAFIID ?");
  struct TCase {
    Currency amount;
    double ratio;
    QDate date;
    qint32 id;
  };
  const TCase cases[] = {
      {Currency::FromCents(123456), 0.1, QDate(2024, 2, 29), 1000001},
      {Currency::FromCents(-1), -1e-9, QDate(1900, 1, 1), -5},
      {Currency::FromCents(9999999999999), 1234567.891, QDate(9999, 12, 31),
       std::numeric_limits<qint32>::max()},
      {Currency::FromCents(-9999999999999), 3.141592653589793, QDate(1, 1, 1),
       std::numeric_limits<qint32>::min()},
      {Currency::FromCents(1), 1e300, QDate(2000, 1, 1), 1},
  };
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  for (const TCase& c : cases) {
    ds.Append();
    ds.FieldByName(Q("IIRAPID")).SetAsInteger(c.id);
    ds.FieldByName(Q("SIRAPCOGNOME")).SetAsString(quoted.left(40));
    ds.FieldByName(Q("SIRAPDENOM")).SetAsString(quoted);
    ds.FieldByName(Q("MIRAPNOTE")).SetAsString(memo);
    ds.FieldByName(Q("FIRAPIMPORTO")).SetAsCurrency(c.amount);
    ds.FieldByName(Q("RIRAPRAPPORTO")).SetAsFloat(c.ratio);
    ds.FieldByName(Q("DIRAPDATA")).SetAsDate(c.date);
    ds.Post();
  }
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));

  TClientDataSet again;
  store->Load(again, Q("TFRNT_FRONTESPIZIO"));
  ASSERT_EQ(again.RecordCount(), int(std::size(cases)));
  again.First();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.amount.ToString().toStdString());
    EXPECT_EQ(again.FieldByName(Q("IIRAPID")).AsInteger(), c.id);
    EXPECT_EQ(again.FieldByName(Q("SIRAPCOGNOME")).AsString(), quoted.left(40));
    EXPECT_EQ(again.FieldByName(Q("SIRAPDENOM")).AsString(), quoted);
    EXPECT_EQ(again.FieldByName(Q("MIRAPNOTE")).AsString(), memo);
    EXPECT_EQ(again.FieldByName(Q("FIRAPIMPORTO")).AsCurrency(), c.amount);
    EXPECT_EQ(again.FieldByName(Q("RIRAPRAPPORTO")).AsFloat(), c.ratio);
    EXPECT_EQ(again.FieldByName(Q("DIRAPDATA")).AsDate(), c.date);
    again.Next();
  }
  EXPECT_EQ(Snapshot(again), Snapshot(ds));
}

TEST_P(TStoreValuesTest, AmountsAFloatColumnCannotHoldAreRefusedNotRounded) {
  FrontStructure();
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  const QStringList before = Dump();
  ds.Append();
  ds.FieldByName(Q("SIRAPNOME")).SetAsString(Q("Grande"));
  ds.FieldByName(Q("FIRAPIMPORTO")).SetAsCurrency(Currency::FromCents(90000000000000001));
  ds.Post();
  try {
    store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
    FAIL() << "an amount that would come back different was stored";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("FIRAPIMPORTO"))) << e.what();
  }
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ds.ChangeCount(), 1) << "the record stays to be corrected";
}

// --- declaration ids and structure rows -------------------------------------------------------

TEST_P(TStoreStructureTest, FirstDeclarationIdIs1000001AndThenOneMoreThanAnyStored) {
  EXPECT_EQ(store->AllocateDeclarationId(), 1000001);
  EXPECT_EQ(store->AllocateDeclarationId(), 1000001) << "nothing is reserved by asking";
  FrontStructure();
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
  store->Save(ds, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_EQ(store->AllocateDeclarationId(), 1000002);

  // The maximum spans other programs and years too.
  TNymDBCds other(2019, Q("qen"), 3);
  other.SetConnection(&Conn());
  Structure("TFRNT_FRONTESPIZIO", kFrontFields, true, false, kFrontMap, 2019, 3);
  Exec(Q("UPDATE tcds_struttura SET scdsprogramma = 'qen' WHERE icdsanno = 2019"));
  TClientDataSet old;
  other.SetShowWait(false);
  other.Load(old, Q("TFRNT_FRONTESPIZIO"));
  AppendFront(old, "AAAAAA00A00A000A", "Vecchia", 1000500);
  other.Save(old, Q("TFRNT_FRONTESPIZIO"));
  EXPECT_EQ(store->AllocateDeclarationId(), 1000501);
}

TEST_P(TStoreStructureTest, AllocationPrefersTheGlobalConnection) {
  TdmZurConnection global(Q("."));
  global.SetDatabaseUrl(Db().Url());
  ASSERT_TRUE(global.OpenConnection());
  ASSERT_EQ(qqoVxGlobConn(), &global.xqoMain);
  TNymDBCds detached(2024, Q("zur"), 0);
  EXPECT_EQ(detached.AllocateDeclarationId(), 1000001);
  global.CloseConnection();
  EXPECT_THROW(detached.AllocateDeclarationId(), EZurError);
}

TEST_P(TStoreStructureTest, RewritingAStructureKeepsItsIdAndCounter) {
  const qint64 id = FrontStructure();
  Exec(Q("UPDATE tcds_struttura SET icdsrigo = 17"));
  TClientDataSet wider;
  DefineFields(wider, kFrontFields);
  wider.AddFieldDef(Q("SIRAPNUOVO"), TFieldType::String, 10);
  EXPECT_EQ(TNymDBCds::WriteStructure(Conn(), Q("ZUR"), 2024, 0, Q("tfrnt_frontespizio"), wider, false, true,
                                      Q("saficodfiscale=SIRAPCODFIS")),
            id);
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tcds_struttura")), 1);
  EXPECT_EQ(Scalar(Q("SELECT icdsrigo FROM tcds_struttura")), 17);
  EXPECT_EQ(Scalar(Q("SELECT lcdsanagrafica + 2 * lcdsfmapreadonly FROM tcds_struttura")), 2);
  TClientDataSet ds;
  store->Load(ds, Q("TFRNT_FRONTESPIZIO"));
  ASSERT_NE(ds.FindField(Q("SIRAPNUOVO")), nullptr);
  EXPECT_EQ(ds.FieldByName(Q("SIRAPNUOVO")).Size(), 10);
  EXPECT_EQ(ds.FieldByName(Q("FIRAPIMPORTO")).DataType(), TFieldType::Amount);
  EXPECT_EQ(ds.FieldByName(Q("FIRAPIMPORTO")).Size(), 2);
  EXPECT_EQ(ds.FieldCount(), int(kFrontFields.size()) + 1);
}

TEST_P(TStoreStructureTest, RefusesStructuresTheStoreCouldNotKeep) {
  TClientDataSet noRow;
  noRow.AddFieldDef(Q("SNOME"), TFieldType::String);
  EXPECT_THROW(TNymDBCds::WriteStructure(Conn(), Q("zur"), 2024, 0, Q("TPROVA"), noRow, false, false, Q("")),
               EZurError);
  TClientDataSet ok;
  DefineFields(ok, kFrontFields);
  for (const char* map : {"saficodfiscale", "=SIRAPCODFIS", "safi nome=SIRAPNOME", "safinome=",
                          "safinome=A++B", "safinome, iafiid=SIRAPNOME", "x=1;drop table tfis_datifiscali"}) {
    SCOPED_TRACE(map);
    EXPECT_THROW(TNymDBCds::WriteStructure(Conn(), Q("zur"), 2024, 0, Q("TPROVA"), ok, false, false, Q(map)),
                 EZurError);
  }
  EXPECT_EQ(Scalar(Q("SELECT COUNT(*) FROM tcds_struttura")), 0);
}

ZUR_INSTANTIATE_ENGINES(TStoreSaveTest);
ZUR_INSTANTIATE_ENGINES(TStoreLoadTest);
ZUR_INSTANTIATE_ENGINES(TStoreValuesTest);
ZUR_INSTANTIATE_ENGINES(TStoreStructureTest);
