#include "ui/zurFMainForm.h"

#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"
#include "telematic/zurMFileTelIRAP.h"
#include "ui/ZurQtPlatform.h"
#include "ui/nymFRicerca.h"
#include "ui/zurFMain.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

TZurGuiApplication::TZurGuiApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("IRAP"));
  setApplicationDisplayName(QStringLiteral("IRAP"));
}

bool TZurGuiApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
  } catch (const std::exception& e) {
    VxShowMessage(QString::fromLocal8Bit(e.what()), TMsgDlgType::Error);
  } catch (...) {
    VxShowMessage(QStringLiteral("Errore imprevisto."), TMsgDlgType::Error);
  }
  return false;
}

bool InstallItalianTranslations(QApplication& app) {
  auto* qt = new QTranslator(&app);
  if (!qt->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  app.installTranslator(qt);
  return true;
}

TfmZurMainForm::TfmZurMainForm(TZurApplication::TOptions options, IZurPlatform* platform)
    : m_options(std::move(options)), m_previousPlatform(&Platform()) {
  if (!platform) {
    m_ownPlatform = std::make_unique<TZurQtPlatform>();
    platform = m_ownPlatform.get();
  }
  SetPlatform(platform);
}

TfmZurMainForm::~TfmZurMainForm() {
  m_main.reset();
  m_ricerca.reset();
  m_fileTel.reset();
  m_app.reset();
  SetPlatform(m_previousPlatform);
  m_ownPlatform.reset();
}

TfmZurMain* TfmZurMainForm::StartUp() {
  try {
    QApplication::setApplicationDisplayName(QStringLiteral("IRAP"));
    m_app = std::make_unique<TZurApplication>(m_options);
    m_fileTel = std::make_unique<TdmZurFileTelIRAP>(m_app->Dati());
    m_ricerca = std::make_unique<TfmNymRicerca>();
    bool started = false;
    {
      // The store's own wait window is off; the whole start-up shows one.
      struct TWaitWindow {
        TWaitWindow() { Platform().ShowWaitWindow(true); }
        ~TWaitWindow() { Platform().ShowWaitWindow(false); }
      } wait;
      TWaitCursor cursor;
      started = m_app->Start();
    }
    if (!started) return nullptr;
    m_main = std::make_unique<TfmZurMain>(*m_app);
    m_main->SetFileTelIRAP(m_fileTel.get());
    m_main->setWindowTitle(zur::ApplicationTitle());
    m_main->EnterFirstDeclaration();
    m_main->show();
    return m_main.get();
  } catch (const EZurError& e) {
    m_main.reset();
    VxShowMessage(e.message(), TMsgDlgType::Error);
  } catch (const std::exception& e) {
    m_main.reset();
    VxShowMessage(QString::fromLocal8Bit(e.what()), TMsgDlgType::Error);
  }
  return nullptr;
}

int TfmZurMainForm::Run() {
  if (!StartUp()) return 1;
  QApplication::setQuitOnLastWindowClosed(true);
  return QApplication::exec();
}
