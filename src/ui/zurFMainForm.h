#pragma once

#include "app/ZurApplication.h"
#include "platform/Platform.h"

#include <QApplication>
#include <memory>

class TdmZurFileTelIRAP;
class TfmNymRicerca;
class TfmZurMain;
class TZurQtPlatform;

// The window program's application object. An exception that reaches the
// event loop from any handler is shown to the clerk as an error box instead
// of ending the program.
class TZurGuiApplication : public QApplication {
public:
  TZurGuiApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Loads Qt's own Italian texts for the standard dialogs; false when the
// translation files are not installed (the program's texts are Italian
// either way).
bool InstallItalianTranslations(QApplication& app);

// The host of the window program: creates the modules and the shared windows
// in the program's order, runs start-up behind one exception guard and builds
// the declaration window. Start-up messages reach the clerk through the Qt
// platform layer, which the host installs for its lifetime.
class TfmZurMainForm {
public:
  explicit TfmZurMainForm(TZurApplication::TOptions options, IZurPlatform* platform = nullptr);
  ~TfmZurMainForm();
  TfmZurMainForm(const TfmZurMainForm&) = delete;
  TfmZurMainForm& operator=(const TfmZurMainForm&) = delete;

  // Start-up up to the declaration window, shown and holding the first
  // declaration. nullptr when start-up stopped: the reason has been shown
  // (its own message, or an error box with an exception's message) and
  // nothing is left half-built.
  TfmZurMain* StartUp();
  // StartUp, then the event loop until the declaration window closes;
  // returns the program's exit status.
  int Run();

  TZurApplication* Application() { return m_app.get(); }
  TfmZurMain* MainWindow() { return m_main.get(); }
  TfmNymRicerca* SearchWindow() { return m_ricerca.get(); }

private:
  TZurApplication::TOptions m_options;
  std::unique_ptr<TZurQtPlatform> m_ownPlatform;
  IZurPlatform* m_previousPlatform;
  std::unique_ptr<TZurApplication> m_app;
  std::unique_ptr<TdmZurFileTelIRAP> m_fileTel;
  std::unique_ptr<TfmNymRicerca> m_ricerca;
  std::unique_ptr<TfmZurMain> m_main;
};
