#include "payroll/nymCQueryText.h"

#include "db/ZurQuery.h"
#include "payroll/QueryTextBuilder.h"
#include "support/ScriptedPlatform.h"
#include "platform/ZurError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kRepository = QStringLiteral(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds");

// A repository file with the rows given as {Query, Tipo, Indice, SQL}.
QString WriteRepository(const QTemporaryDir& dir, const std::vector<std::array<const char*, 4>>& rows) {
  TClientDataSet table;
  TNymQueryText::DefineTable(table);
  for (const auto& r : rows) {
    table.Append();
    table.FieldByName("Query").SetAsString(r[0]);
    table.FieldByName("Tipo").SetAsString(r[1]);
    table.FieldByName("Indice").SetAsString(r[2]);
    table.FieldByName("SQL").SetAsString(r[3]);
    table.Post();
  }
  const QString path = dir.filePath("qen_QueryText.cds");
  table.SaveToFile(path);
  return path;
}

QString AssertionOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Assertion);
    return e.message();
  }
  return QStringLiteral("<nessun errore>");
}

} // namespace

TEST(NymQueryText, AssignStatementLooksUpTheUpperCaseNameKindAndVariant) {
  QTemporaryDir dir;
  TNymQueryText repo;
  repo.Load(WriteRepository(dir, {{"QRY_A", "EXECUTE", "0", "SELECT :NEW FROM T"},
                                  {"QRY_A", "SELECT", "0", "SELECT 'select'"},
                                  {"QRY_A", "EXECUTE", "1", "SELECT 'variant 1'"},
                                  {"QRY_A", "EXECUTE", "0", "SELECT 'second row'"}}));
  TZurQuery q;
  q.SetSQL("SELECT :OLD");
  repo.AssignStatement("qry_a", q);
  EXPECT_EQ(q.SQL(), "SELECT :NEW FROM T"); // the first row of a key
  EXPECT_EQ(q.ParamCount(), 1);
  EXPECT_EQ(q.FindParam("OLD"), nullptr); // the previous statement's parameters are gone
  repo.AssignStatement("QRY_A", q, 0, "");
  EXPECT_EQ(q.SQL(), "SELECT :NEW FROM T");
  repo.AssignStatement("QRY_A", q, 0, "SELECT");
  EXPECT_EQ(q.SQL(), "SELECT 'select'");
  repo.AssignStatement("QRY_A", q, 1);
  EXPECT_EQ(q.SQL(), "SELECT 'variant 1'");
  EXPECT_EQ(AssertionOf([&] { repo.AssignStatement("QRY_A", q, 0, "select"); }), "Query: QRY_A");
  EXPECT_TRUE(q.SQL().isEmpty()); // a failed lookup leaves no stale text behind
  EXPECT_EQ(AssertionOf([&] { repo.AssignStatement("qry_b", q); }), "Query: qry_b");
}

TEST(NymQueryText, StatementTextTakesTheNameAsWritten) {
  QTemporaryDir dir;
  TNymQueryText repo;
  repo.Load(WriteRepository(dir, {{"QRY_A", "EXECUTE", "0", "SELECT 1"}, {"QRY_E", "EXECUTE", "0", ""}}));
  EXPECT_EQ(repo.StatementText("QRY_A", "EXECUTE"), "SELECT 1");
  EXPECT_EQ(AssertionOf([&] { repo.StatementText("qry_a", "EXECUTE"); }), "Query : qry_a");
  EXPECT_EQ(AssertionOf([&] { repo.StatementText("QRY_A", "SELECT"); }), "Query : QRY_A");
  EXPECT_EQ(AssertionOf([&] { repo.StatementText("QRY_E", "EXECUTE"); }), "Query : QRY_E");
}

TEST(NymQueryText, VersionsCompareAsNumbers) {
  EXPECT_FALSE(TNymQueryText::IsVersionLower("2.10.0", "2.9.5"));
  EXPECT_TRUE(TNymQueryText::IsVersionLower("2.9.5", "2.10.0"));
  EXPECT_TRUE(TNymQueryText::IsVersionLower("2.9", "2.9.0"));
  EXPECT_FALSE(TNymQueryText::IsVersionLower("2.9", "2.9"));
  EXPECT_FALSE(TNymQueryText::IsVersionLower("2.9.0", "2.9.0"));
  EXPECT_FALSE(TNymQueryText::IsVersionLower("3.0.0", "2.99.99"));
  EXPECT_FALSE(TNymQueryText::IsVersionLower("2.010.0", "2.9.0"));
  EXPECT_FALSE(TNymQueryText::IsVersionLower("2.99999999999999999999.0", "2.9.0"));
  EXPECT_FALSE(TNymQueryText::IsVersionLower("24.1.0.7", "24.1.0"));
  EXPECT_TRUE(TNymQueryText::IsVersionLower("24.1.x", "24.1.0"));
  EXPECT_TRUE(TNymQueryText::IsVersionLower("24.1.0", "24.1.-1"));
  EXPECT_TRUE(TNymQueryText::IsVersionLower("24.1.0", ""));
}

TEST(NymQueryText, CheckVersionShowsTheUpdateMessage) {
  QTemporaryDir dir;
  TNymQueryText repo;
  repo.Load(WriteRepository(dir, {{"VER_ZUR24-CLI", "24.1.0", "0", ""}, {"VER_ZUR24", "25.0.0", "0", ""}}));
  EXPECT_EQ(repo.MinimumVersion("zur24-cli"), "24.1.0");
  TScriptedPlatform platform;
  EXPECT_TRUE(repo.CheckVersion("24.1.0", "zur24-cli", "Modello IRAP/2025 Redd.24"));
  EXPECT_TRUE(repo.CheckVersion("24.2.0", "/opt/zur24/bin/zur24-cli"));
  EXPECT_TRUE(platform.calls().empty());
  EXPECT_FALSE(repo.CheckVersion("24.1.0", "zur24", "Modello IRAP/2025 Redd.24"));
  ASSERT_EQ(platform.calls().size(), 1u);
  EXPECT_EQ(platform.calls()[0].text,
            "AGGIORNARE IL PROGRAMMA \"Modello IRAP/2025 Redd.24\".\r\nVersione minima richiesta: 25.0.0.");
  EXPECT_EQ(platform.calls()[0].type, TMsgDlgType::Error);
  EXPECT_EQ(platform.calls()[0].buttons, TMsgDlgButtons::OK);
  // no record for the program: it fails with an empty minimum
  EXPECT_FALSE(repo.CheckVersion("24.1.0", "altro"));
  EXPECT_TRUE(platform.messages().last().endsWith("Versione minima richiesta: ."));
}

TEST(NymQueryText, MissingFileLeavesItEmptyAndBadFilesFail) {
  QTemporaryDir dir;
  TNymQueryText repo;
  repo.Load(WriteRepository(dir, {{"QRY_A", "EXECUTE", "0", "SELECT 1"}}));
  EXPECT_EQ(repo.Count(), 1);
  repo.Load(dir.filePath("nessuno.cds"));
  EXPECT_EQ(repo.Count(), 0);
  TZurQuery q;
  EXPECT_EQ(AssertionOf([&] { repo.AssignStatement("QRY_A", q); }), "Query: QRY_A");

  const auto loadFails = [&](const QByteArray& content, const char* expected) {
    const QString path = dir.filePath("bad.cds");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    repo.Load(WriteRepository(dir, {{"QRY_A", "EXECUTE", "0", "SELECT 1"}}));
    try {
      repo.Load(path);
      ADD_FAILURE() << expected;
    } catch (const EZurError& e) {
      EXPECT_EQ(e.kind(), EZurError::Kind::File);
      EXPECT_TRUE(e.message().contains(path) && e.message().contains(QString::fromUtf8(expected)))
          << e.message().toStdString();
    }
    EXPECT_EQ(repo.Count(), 0);
  };
  loadFails("", "vuoto");
  loadFails("<DATAPACKET", "non è un documento XML");
  TClientDataSet other;
  other.AddFieldDef("Query", TFieldType::String, 10);
  other.AddFieldDef("Tipo", TFieldType::String, 10);
  other.AddFieldDef("Indice", TFieldType::String, 10);
  other.AddFieldDef("SQL", TFieldType::Memo);
  other.CreateDataSet();
  loadFails(other.SaveToBytes(), "'Indice'");
}

TEST(QueryTextRepository, CommittedFileMatchesTheStatementFiles) {
  QFile committed(kRepository);
  ASSERT_TRUE(committed.open(QIODevice::ReadOnly)) << kRepository.toStdString();
  const QByteArray built = BuildQueryTextRepository(QStringLiteral(ZUR_SOURCE_DIR "/querytext"), ZUR_VERSION);
  EXPECT_TRUE(committed.readAll() == built)
      << "resources/etc/qen/qen_QueryText.cds is stale: run zur-mkquerytext querytext "
         "resources/etc/qen/qen_QueryText.cds";
}

TEST(QueryTextRepository, HoldsEveryStatementAndBothVersionRecords) {
  TNymQueryText repo;
  repo.Load(kRepository);
  EXPECT_EQ(repo.MinimumVersion("zur24"), ZUR_VERSION);
  EXPECT_EQ(repo.MinimumVersion("zur24-cli"), ZUR_VERSION);
  TScriptedPlatform platform;
  EXPECT_TRUE(repo.CheckVersion(ZUR_VERSION, "zur24-cli"));
  const std::pair<const char*, const char*> statements[] = {
      {"QRY_IRAP", "EXECUTE"},          {"QRY_IRAP_IMP", "EXECUTE"},    {"QRY_IRAP_RIT", "EXECUTE"},
      {"QRY_SED", "EXECUTE"},           {"QRY_REPA_BYDESC", "EXECUTE"}, {"QRY_PACO", "SELECT"},
      {"QRY_MES_COMBO", "EXECUTE"},     {"QRY_PACO_ANF", "SELECT"},     {"QRY_NAF_CONTI_TEST", "EXECUTE"},
      {"QRY_NAF_EFFETTUATO", "EXECUTE"}};
  for (const auto& [name, kind] : statements) {
    TZurQuery q;
    EXPECT_NO_THROW(repo.AssignStatement(name, q, 0, kind)) << name;
    EXPECT_FALSE(repo.StatementText(name, kind).endsWith('\n')) << name;
  }
  EXPECT_EQ(repo.StatementText("QRY_IRAP_IMP", "EXECUTE").count("%s"), 1);
}

TEST(QueryTextRepository, BuilderRefusesFilesItCannotName) {
  QTemporaryDir dir;
  QFile f(dir.filePath("qry_lower.EXECUTE.sql"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("SELECT 1");
  f.close();
  EXPECT_THROW(BuildQueryTextRepository(dir.path(), "1.0.0"), EZurError);
  QFile::remove(f.fileName());
  QFile empty(dir.filePath("QRY_X.EXECUTE.sql"));
  ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
  empty.write(" \r\n");
  empty.close();
  EXPECT_THROW(BuildQueryTextRepository(dir.path(), "1.0.0"), EZurError);
  EXPECT_THROW(BuildQueryTextRepository(dir.filePath("nessuna"), "1.0.0"), EZurError);
}
