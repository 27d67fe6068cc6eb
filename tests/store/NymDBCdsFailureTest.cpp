#include "store/NymDBCds.h"

#include "StoreTestSupport.h"
#include "db/VxTransaction.h"
#include "support/ScriptedPlatform.h"

#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace storetest;

namespace {

const char* const kFront = "TFRNT_FRONTESPIZIO";
const char* const kInjected = "errore iniettato";

// Failures injected with triggers, which both engines run inside the
// statement that fires them, so the save sees an ordinary refused statement.
class TStoreFailureTest : public TStoreFixture {
protected:
  void TearDown() override {
    // A skipped test has no database; only a test that installed a trigger repairs.
    if (!m_triggerTable.isEmpty() && Db().Connection().Connected()) Repair();
    TStoreFixture::TearDown();
  }

  // The next `event` on `table` for which `condition` (over NEW or OLD)
  // holds fails with kInjected.
  void FailWhen(const char* table, const char* event, const char* condition) {
    InstallTrigger(table, event, Q("BEFORE"), Q(condition), QString());
  }

  // The k-th insert into tfis_datifiscali of a save fails. The count lives in
  // a table the save's rollback resets.
  void FailOnInsertNumber(int k) {
    if (m_triggerTable.isEmpty()) {
      Exec(Q("CREATE TABLE zur_conta (n INTEGER NOT NULL)"));
      Exec(Q("INSERT INTO zur_conta (n) VALUES (0)"));
    }
    InstallTrigger("tfis_datifiscali", "INSERT", Q("BEFORE"), Q("(SELECT n FROM zur_conta) = %1").arg(k),
                   Q("UPDATE zur_conta SET n = n + 1"));
  }

  // Trigger bodies hold several statements, which the query object refuses
  // on purpose; they go to the driver as they are.
  void ExecDdl(const QString& sql) {
    QSqlQuery q(Conn().Database());
    ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString() << "\n" << sql.toStdString();
  }

  void InstallTrigger(const char* table, const char* event, const QString& when, const QString& condition,
                      const QString& before) {
    if (!m_triggerTable.isEmpty()) Repair();
    m_triggerTable = Q(table);
    if (IsSQLite()) {
      const QString prefix = before.isEmpty() ? QString() : before + Q("; ");
      ExecDdl(Q("CREATE TRIGGER zur_guasto %1 %2 ON %3 FOR EACH ROW BEGIN %4"
                "SELECT RAISE(ABORT, '%5') WHERE %6; END")
                  .arg(when, Q(event), Q(table), prefix, Q(kInjected), condition));
    } else {
      const QString prefix = before.isEmpty() ? QString() : before + Q("; ");
      ExecDdl(Q("CREATE FUNCTION zur_guasto() RETURNS trigger LANGUAGE plpgsql AS $fn$ BEGIN %1"
                "IF %2 THEN RAISE EXCEPTION '%3'; END IF; "
                "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END $fn$")
                  .arg(prefix, condition, Q(kInjected)));
      Exec(Q("CREATE TRIGGER zur_guasto %1 %2 ON %3 FOR EACH ROW EXECUTE FUNCTION zur_guasto()")
               .arg(when, Q(event), Q(table)));
    }
  }

  void Repair() {
    if (IsSQLite()) {
      Exec(Q("DROP TRIGGER IF EXISTS zur_guasto"));
    } else {
      Exec(Q("DROP TRIGGER IF EXISTS zur_guasto ON %1").arg(m_triggerTable));
      Exec(Q("DROP FUNCTION IF EXISTS zur_guasto()"));
    }
    m_triggerTable.clear();
  }

  // Alfa, Beta and Gamma stored, each with its taxpayer entry.
  void StoreThree() {
    FrontStructure();
    TClientDataSet ds;
    store->Load(ds, Q(kFront));
    AppendFront(ds, "AAAAAA00A00A000A", "Alfa", 1000001);
    AppendFront(ds, "BBBBBB00B00B000B", "Beta", 1000002);
    AppendFront(ds, "CCCCCC00C00C000C", "Gamma", 1000003);
    store->Save(ds, Q(kFront));
  }

  // One save that runs every kind of statement: a modified record (rows
  // rewritten, entry updated), a deleted one (entry and rows deleted) and a
  // new one (entry created and updated, rows inserted), then the counter.
  static void Edit(TClientDataSet& ds) {
    ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Alfa")));
    ds.Edit();
    ds.FieldByName(Q("SIRAPDENOM")).SetAsString(Q("Alfa modificata"));
    ds.FieldByName(Q("FIRAPIMPORTO")).SetAsCurrency(Currency::FromCents(777));
    ds.Post();
    ASSERT_TRUE(ds.Locate(Q("SIRAPDENOM"), Q("Beta")));
    ds.Delete();
    AppendFront(ds, "DDDDDD00D00D000D", "Delta", 1000004);
    ds.Last();
    ds.Edit();
    ds.FieldByName(Q("DIRAPDATA")).SetAsDate(QDate(2024, 12, 31));
    ds.FieldByName(Q("MIRAPNOTE")).SetAsString(Q("nuovo"));
    ds.Post();
  }

  // Tries the save of the edited dataset and checks that it failed with the
  // database's message, changed nothing anywhere and left the dataset's
  // pending changes exactly as they were, keys included.
  void ExpectSaveUndone(TClientDataSet& ds, const char* what) {
    SCOPED_TRACE(what);
    const QStringList before = Dump();
    const QStringList edited = Snapshot(ds);
    ASSERT_EQ(ds.ChangeCount(), 3);
    try {
      store->Save(ds, Q(kFront));
      ADD_FAILURE() << "the save went through";
    } catch (const EZurError& e) {
      EXPECT_TRUE(e.message().contains(Q(kInjected))) << e.what();
      EXPECT_EQ(e.kind(), EZurError::Kind::Database);
    }
    EXPECT_FALSE(Conn().InTransaction());
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(ds.ChangeCount(), 3);
    EXPECT_EQ(Snapshot(ds), edited);
  }

  // The same dataset, saved again once the fault is gone, stores exactly
  // what it shows.
  void ExpectRetryStores(TClientDataSet& ds) {
    store->Save(ds, Q(kFront));
    EXPECT_EQ(ds.ChangeCount(), 0);
    TClientDataSet fresh;
    store->Load(fresh, Q(kFront));
    EXPECT_EQ(Snapshot(fresh), Snapshot(ds));
    EXPECT_EQ(Scalar(Q("SELECT icdsrigo FROM tcds_struttura")), 4) << "one number for the one new record";
  }

  QString m_triggerTable;
};

class TStoreBadValueTest : public TStoreFixture {};

} // namespace

TEST_P(TStoreFailureTest, EachKindOfStatementFailingTakesTheWholeSaveBack) {
  StoreThree();
  struct TPoint {
    const char* what;
    const char* table;
    const char* event;
    const char* condition;
  };
  const TPoint points[] = {
      {"righe del record modificato", "tfis_datifiscali", "DELETE", "OLD.sfisfieldname = 'FIRAPIMPORTO'"},
      {"righe del record cancellato", "tfis_datifiscali", "DELETE",
       "OLD.sfisfieldname = 'IIRAPID' AND "
       "OLD.ifisvalue = 1000002"},
      {"anagrafica cancellata", "tafi_anafiscale", "DELETE", "1 = 1"},
      {"anagrafica nuova", "tafi_anafiscale", "INSERT", "1 = 1"},
      {"anagrafica aggiornata", "tafi_anafiscale", "UPDATE", "NEW.safidenominazione = 'Delta'"},
      {"anagrafica modificata", "tafi_anafiscale", "UPDATE", "NEW.safidenominazione = 'Alfa modificata'"},
      {"ultimo campo del nuovo record", "tfis_datifiscali", "INSERT", "NEW.sfisvalue = 'nuovo'"},
      {"data del nuovo record", "tfis_datifiscali", "INSERT", "NEW.sfisfieldname = 'DIRAPDATA'"},
      {"contatore delle righe", "tcds_struttura", "UPDATE", "1 = 1"},
  };
  TClientDataSet ds;
  store->Load(ds, Q(kFront));
  Edit(ds);
  for (const TPoint& p : points) {
    FailWhen(p.table, p.event, p.condition);
    ExpectSaveUndone(ds, p.what);
  }
  Repair();
  ExpectRetryStores(ds);
}

TEST_P(TStoreFailureTest, AFailureAtAnyInsertTakesTheWholeSaveBack) {
  StoreThree();
  // One dataset goes through every failure in turn and is finally stored by
  // the save that gets past the last insert.
  TClientDataSet probe;
  store->Load(probe, Q(kFront));
  Edit(probe);
  const QStringList edited = Snapshot(probe);
  int k = 1;
  for (;; ++k) {
    ASSERT_LT(k, 100) << "the save never got through";
    FailOnInsertNumber(k);
    const QStringList before = Dump();
    try {
      store->Save(probe, Q(kFront));
      break; // k is past the last insert of the save
    } catch (const EZurError& e) {
      SCOPED_TRACE(k);
      EXPECT_TRUE(e.message().contains(Q(kInjected))) << e.what();
      EXPECT_EQ(Dump(), before);
      EXPECT_EQ(probe.ChangeCount(), 3);
      EXPECT_EQ(Snapshot(probe), edited);
      EXPECT_FALSE(Conn().InTransaction());
    }
  }
  // The modified record has four non-empty stored fields, the new one six.
  EXPECT_EQ(k, 4 + 6 + 1);
  EXPECT_EQ(probe.ChangeCount(), 0);
  TClientDataSet fresh;
  store->Load(fresh, Q(kFront));
  EXPECT_EQ(Snapshot(fresh), Snapshot(probe));
}

TEST_P(TStoreFailureTest, ARefusedCommitLeavesNothingAndNoChangeShownAsSaved) {
  StoreThree();
  // A deferred reference is checked only at COMMIT, on both engines.
  Exec(Q("CREATE TABLE zur_rinvio (icdsid INTEGER REFERENCES tcds_struttura (icdsid) "
         "DEFERRABLE INITIALLY DEFERRED)"));
  m_triggerTable = Q("tcds_struttura");
  if (IsSQLite()) {
    ExecDdl(Q("CREATE TRIGGER zur_guasto AFTER UPDATE ON tcds_struttura FOR EACH ROW BEGIN "
              "INSERT INTO zur_rinvio (icdsid) VALUES (-1); END"));
  } else {
    ExecDdl(Q("CREATE FUNCTION zur_guasto() RETURNS trigger LANGUAGE plpgsql AS $fn$ BEGIN "
              "INSERT INTO zur_rinvio (icdsid) VALUES (-1); RETURN NEW; END $fn$"));
    Exec(Q("CREATE TRIGGER zur_guasto AFTER UPDATE ON tcds_struttura FOR EACH ROW EXECUTE FUNCTION "
           "zur_guasto()"));
  }
  TClientDataSet ds;
  store->Load(ds, Q(kFront));
  const QStringList before = Dump();
  Edit(ds);
  const QStringList edited = Snapshot(ds);
  try {
    store->Save(ds, Q(kFront));
    FAIL() << "the commit went through";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Database) << e.what();
    EXPECT_FALSE(e.message().isEmpty());
  }
  EXPECT_FALSE(Conn().InTransaction());
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ds.ChangeCount(), 3) << "no change shown as saved";
  EXPECT_EQ(Snapshot(ds), edited);
  Repair();
  ExpectRetryStores(ds);
}

TEST_P(TStoreFailureTest, FailingToCreateTheFiscalPeriodTakesTheSaveBack) {
  StoreThree();
  FailWhen("tcrf_crofiscale", "INSERT", "1 = 1");
  TClientDataSet ds;
  store->Load(ds, Q(kFront), 2025, 0);
  const QStringList before = Dump();
  AppendFront(ds, "EEEEEE00E00E000E", "Epsilon", 1000005);
  try {
    store->Save(ds, Q(kFront), 2025, 0);
    FAIL() << "the save went through";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q(kInjected))) << e.what();
  }
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.ChangeCount(), 1);
  EXPECT_EQ(ds.FieldByName(Q("IFISRIGO")).AsInteger(), 0) << "the number of the failed save is taken back";
  EXPECT_EQ(ds.FieldByName(Q("IAFIID")).AsInteger(), 0)
      << "the taxpayer entry of the failed save is taken back";
}

TEST_P(TStoreFailureTest, AFailureInsideTheCallersTransactionTakesBackOnlyTheSave) {
  StoreThree();
  FailWhen("tfis_datifiscali", "INSERT", "NEW.sfisvalue = 'nuovo'");
  TClientDataSet ds;
  store->Load(ds, Q(kFront));
  const QStringList before = Dump();
  TVxTransaction t(Conn());
  t.StartTransaction();
  Exec(Q("CREATE TABLE zur_chiamante (x INTEGER)"));
  Exec(Q("INSERT INTO zur_chiamante (x) VALUES (1)"));
  Edit(ds);
  EXPECT_THROW(store->Save(ds, Q(kFront)), EZurError);
  ASSERT_TRUE(Conn().InTransaction());
  // PostgreSQL would refuse every further statement of an aborted transaction.
  Exec(Q("INSERT INTO zur_chiamante (x) VALUES (2)"));
  t.Commit();
  EXPECT_EQ(Scalar(Q("SELECT SUM(x) FROM zur_chiamante")), 3);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ds.ChangeCount(), 3);
}

// --- stored values of the wrong kind ------------------------------------------------------

TEST_P(TStoreBadValueTest, AValueThatDoesNotFitItsFieldFailsTheLoadCleanly) {
  const std::initializer_list<TFieldSpec> fields = {{"SNOME", TFieldType::String, 20},
                                                    {"INUM", TFieldType::Integer},
                                                    {"FIMP", TFieldType::Amount, 2},
                                                    {"DDATA", TFieldType::Date},
                                                    {"IFISRIGO", TFieldType::Integer}};
  Structure("TGUASTO", fields);
  struct TCase {
    const char* what;
    bool sqliteOnly; // PostgreSQL's typed columns cannot hold the value at all
    const char* corruption;
    const char* field;
    const char* value;
  };
  const TCase cases[] = {
      {"data malformata", true,
       "UPDATE tfis_datifiscali SET dfisvalue = '2024-13-45' WHERE sfisfieldname = 'DDATA'", "DDATA",
       "2024-13-45"},
      {"data scritta come testo", false,
       "UPDATE tfis_datifiscali SET dfisvalue = NULL, sfisvalue = '31/01/2024' WHERE sfisfieldname = 'DDATA'",
       "DDATA", "31/01/2024"},
      {"testo in un intero", true,
       "UPDATE tfis_datifiscali SET ifisvalue = 'dodici' WHERE sfisfieldname = 'INUM'", "INUM", "dodici"},
      {"intero oltre 32 bit", true,
       "UPDATE tfis_datifiscali SET ifisvalue = 5000000000 WHERE sfisfieldname = 'INUM'", "INUM",
       "5000000000"},
      {"importo scritto come intero", false,
       "UPDATE tfis_datifiscali SET ffisvalue = NULL, ifisvalue = 12 WHERE sfisfieldname = 'FIMP'", "FIMP",
       "12"},
      {"testo in un importo", true,
       "UPDATE tfis_datifiscali SET ffisvalue = 'molto' WHERE sfisfieldname = 'FIMP'", "FIMP", "molto"},
  };
  TScriptedPlatform platform;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.sqliteOnly && !IsSQLite()) continue;
    Exec(Q("DELETE FROM tfis_datifiscali"));
    TClientDataSet writer;
    store->Load(writer, Q("TGUASTO"));
    writer.Append();
    writer.FieldByName(Q("SNOME")).SetAsString(Q("buono"));
    writer.Post();
    writer.Append();
    writer.FieldByName(Q("SNOME")).SetAsString(Q("guasto"));
    writer.FieldByName(Q("INUM")).SetAsInteger(12);
    writer.FieldByName(Q("FIMP")).SetAsCurrency(Currency::FromCents(1250));
    writer.FieldByName(Q("DDATA")).SetAsDate(QDate(2024, 1, 31));
    writer.Post();
    store->Save(writer, Q("TGUASTO"));
    ASSERT_TRUE(writer.Locate(Q("SNOME"), Q("guasto")));
    const int row = writer.FieldByName(Q("IFISRIGO")).AsInteger();
    Exec(Q(c.corruption));
    const QStringList before = Dump();

    TClientDataSet ds;
    int handled = 0;
    ds.Events().BeforePost = [&](TClientDataSet&) { ++handled; };
    store->SetShowWait(true);
    try {
      store->Load(ds, Q("TGUASTO"));
      ADD_FAILURE() << "loaded a value of the wrong kind";
    } catch (const EZurError& e) {
      EXPECT_EQ(e.kind(), EZurError::Kind::Field);
      EXPECT_TRUE(e.message().contains(Q("TGUASTO"))) << e.what();
      EXPECT_TRUE(e.message().contains(Q(c.field))) << e.what();
      EXPECT_TRUE(e.message().contains(Q("riga %1").arg(row))) << e.what();
      EXPECT_TRUE(e.message().contains(Q(c.value))) << e.what();
    }
    store->SetShowWait(false);
    EXPECT_EQ(Dump(), before);
    EXPECT_FALSE(ds.Active()) << "a half-loaded dataset could be saved back";
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_TRUE(static_cast<bool>(ds.Events().BeforePost));
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_EQ(platform.waitCursorDepth(), 0);
    EXPECT_THROW(store->Save(ds, Q("TGUASTO")), EZurError);
    EXPECT_EQ(Dump(), before);
  }
}

TEST_P(TStoreBadValueTest, TextStoredForAFieldThatBecameAnIntegerIsNamedNotDropped) {
  Structure("TGUASTO", {{"SCODICE", TFieldType::String, 20}, {"IFISRIGO", TFieldType::Integer}});
  TClientDataSet writer;
  store->Load(writer, Q("TGUASTO"));
  writer.Append();
  writer.FieldByName(Q("SCODICE")).SetAsString(Q("A12"));
  writer.Post();
  store->Save(writer, Q("TGUASTO"));
  // A newer definition of the same structure turns the field into a number.
  Structure("TGUASTO", {{"SCODICE", TFieldType::Integer}, {"IFISRIGO", TFieldType::Integer}});
  const QStringList before = Dump();
  TClientDataSet ds;
  try {
    store->Load(ds, Q("TGUASTO"));
    FAIL() << "the text was dropped silently";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(),
              Q("Impossibile caricare TGUASTO: il valore \"A12\" del campo SCODICE (riga 1) non è "
                "un numero intero."));
  }
  EXPECT_EQ(Dump(), before);
}

TEST_P(TStoreBadValueTest, AStructureBlobThatIsNoDatasetIsNamed) {
  const qint64 id =
      Structure("TGUASTO", {{"SCODICE", TFieldType::String, 20}, {"IFISRIGO", TFieldType::Integer}});
  TZurQuery q(Conn());
  q.SetSQL(Q("UPDATE tcds_struttura SET bcdsschema = :B WHERE icdsid = :ID"));
  q.ParamByName(Q("B")).SetBlob(QByteArray("<DATAPACKET"));
  q.ParamByName(Q("ID")).SetInteger(id);
  q.ExecSQL();
  TClientDataSet ds;
  try {
    store->Load(ds, Q("TGUASTO"));
    FAIL() << "a broken structure loaded";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().startsWith(Q("Struttura di TGUASTO non valida"))) << e.what();
  }
  EXPECT_FALSE(ds.Active());
}

ZUR_INSTANTIATE_ENGINES(TStoreFailureTest);
ZUR_INSTANTIATE_ENGINES(TStoreBadValueTest);
