// Start-up up to the loaded declaration datasets and its last step, the
// first declaration, as the windows will run them.
#include "app/ZurApplication.h"
#include "platform/zurUGlobal.h"
#include "db/FamilySchema.h"
#include "store/NymDBCds.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "support/ScriptedPlatform.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

class TZurApplicationDeclaration : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_savedRoot = zur::RootDir();
    QDir().mkpath(m_root.filePath(Q("etc/qen")));
    QFile::copy(Q(ZUR_SOURCE_DIR "/resources/etc/qen/qen_QueryText.cds"),
                m_root.filePath(Q("etc/qen/qen_QueryText.cds")));
  }
  void TearDown() override {
    if (!m_savedRoot.isEmpty()) zur::SetRootDir(m_savedRoot);
    TDatabaseTest::TearDown();
  }

  std::unique_ptr<TZurApplication> App() {
    TZurApplication::TOptions o;
    o.rootDir = m_root.path();
    o.databaseUrl = Db().Url();
    o.executableName = Q("zur24-cli");
    o.version = Q(ZUR_VERSION);
    return std::make_unique<TZurApplication>(o);
  }

  QTemporaryDir m_root;
  QString m_savedRoot;
  TScriptedPlatform platform;
};

} // namespace

TEST_P(TZurApplicationDeclaration, StartLoadsTheDatasetsAndTheFirstRunCreatesADeclaration) {
  TFamilySchema::Create(Conn(), true, TZurCatalogue::WriteStructureRows);
  {
    auto app = App();
    ASSERT_TRUE(app->Start());
    EXPECT_TRUE(app->Dati().AllActive());
    ASSERT_NE(app->Store(), nullptr);
    EXPECT_FALSE(app->Store()->ShowWait());
    EXPECT_EQ(app->Store()->Program(), Q("zur"));
    EXPECT_EQ(app->Store()->Year(), 2024);
    platform.AnswerInput(Q("97123450583"));
    app->EnterFirstDeclaration();
    EXPECT_EQ(app->Dati().CurrentDeclarationId(), 1000001);
    EXPECT_NE(app->Dati().CurrentTaxpayerId(), 0);
  }
  {
    // One declaration: opened without a choice.
    auto app = App();
    ASSERT_TRUE(app->Start());
    platform.clear();
    app->EnterFirstDeclaration();
    EXPECT_TRUE(platform.calls().empty());
    EXPECT_EQ(app->Dati().CurrentDeclarationId(), 1000001);
    platform.AnswerInput(Q("RSSMRA80A01H501U"));
    EXPECT_EQ(app->Dati().New(), 1000002);
  }
  {
    // Several: the choice decides.
    auto app = App();
    ASSERT_TRUE(app->Start());
    platform.clear();
    platform.AnswerChoice(1000002);
    app->EnterFirstDeclaration();
    ASSERT_EQ(platform.calls().size(), 1u);
    EXPECT_EQ(platform.calls()[0].text, Q("open 2"));
    EXPECT_EQ(app->Dati().CurrentFiscalCode(), Q("RSSMRA80A01H501U"));
    EXPECT_FALSE(app->Dati().Modified());
  }
}

TEST_P(TZurApplicationDeclaration, MissingStructureStopsStartUpWithItsName) {
  TFamilySchema::Create(Conn(), true);
  auto app = App();
  try {
    app->Start();
    FAIL() << "a database without structures cannot be opened";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(), Q("Impossibile trovare il ClientDataSet (TFRNT_FRONTESPIZIO)."));
  }
}

ZUR_INSTANTIATE_ENGINES(TZurApplicationDeclaration);
