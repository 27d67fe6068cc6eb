#pragma once
// The window program started as a clerk starts it, on a fresh demo database
// of its own and a copy of the installed resources, with the test's platform.
#include "db/FamilySchema.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "platform/zurUGlobal.h"
#include "support/TestDatabase.h"
#include "ui/UiTestSupport.h"
#include "ui/zurFMain.h"
#include "ui/zurFMainForm.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zurtest {

inline QString Q(const char* text) {
  return QString::fromUtf8(text);
}

inline const char* kSchool = "97123450583";

inline void CopyTree(const QString& from, const QString& to) {
  QDir src(from);
  QDir().mkpath(to);
  for (const QFileInfo& fi : src.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (fi.isDir())
      CopyTree(fi.filePath(), to + QLatin1Char('/') + fi.fileName());
    else
      QFile::copy(fi.filePath(), to + QLatin1Char('/') + fi.fileName());
  }
}

class TMainWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_savedRoot = zur::RootDir();
    CopyTree(Q(ZUR_SOURCE_DIR "/resources"), m_root.path());
    m_db = std::make_unique<zurtest::TTestDatabase>("sqlite");
    TFamilySchema::Create(m_db->Connection(), true, TZurCatalogue::WriteStructureRows);
  }
  void TearDown() override {
    m_host.reset();
    zur::SetRootDir(m_savedRoot);
  }

  QString Root(const char* rel) const { return m_root.filePath(Q(rel)); }

  // Start-up as the program runs it, with the test's platform.
  TfmZurMain* Start() {
    TZurApplication::TOptions o;
    o.rootDir = m_root.path();
    o.databaseUrl = m_db->Url();
    o.executableName = Q("zur24");
    o.version = Q(ZUR_VERSION);
    m_host = std::make_unique<TfmZurMainForm>(o, &platform);
    TfmZurMain* w = m_host->StartUp();
    if (w) QTest::qWait(150); // the first show and the resize timer
    return w;
  }
  TdmZurDati& Dati() { return m_host->Application()->Dati(); }

  // Closes the main window answering the close query with these answers.
  void CloseWith(std::initializer_list<TModalResult> answers) {
    for (TModalResult a : answers)
      platform.AnswerMessage(a);
    m_host->MainWindow()->close();
  }

  static QStringList Captions(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
      out << (a->isSeparator() ? Q("-") : a->text()) + (a->isVisible() ? Q("") : Q(" (nascosta)"));
    return out;
  }

  TUiTestPlatform platform;
  QTemporaryDir m_root;
  QString m_savedRoot;
  std::unique_ptr<zurtest::TTestDatabase> m_db;
  std::unique_ptr<TfmZurMainForm> m_host;
};

} // namespace zurtest
