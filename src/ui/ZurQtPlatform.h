#pragma once

#include "platform/Platform.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QWidget;
class TfmNymWait;

// The platform layer on Qt Widgets: what the core asks of the clerk becomes a
// dialog of the window program. Message boxes carry the program's Italian
// button texts whatever translation is loaded, so a question reads the same on
// every machine.
class TZurQtPlatform : public IZurPlatform {
public:
  TZurQtPlatform();
  ~TZurQtPlatform() override;
  TZurQtPlatform(const TZurQtPlatform&) = delete;
  TZurQtPlatform& operator=(const TZurQtPlatform&) = delete;

  TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
  bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
  bool PromptForFileName(QString& fileName, const QString& filter, const QString& defaultExt,
                         const QString& title, const QString& initialDir, bool saveDialog) override;
  void OpenDocument(const QString& path) override;
  void SetWaitCursor(bool on) override;
  void ShowWaitWindow(bool on) override;
  // How far the work behind the wait window has come (done of total; 0 or
  // less: unknown); nothing while the wait window is not up.
  void WaitProgress(qint64 done, qint64 total) override;
  // Repaints and handles input, at most one pass every kPassIntervalMs:
  // calls in between return at once.
  void ProcessMessages() override;
  static constexpr int kPassIntervalMs = 40;
  void ShowInfo(const QStringList& lines) override;
  int RunAndWait(const QString& program, const QStringList& arguments) override;
  int ChooseDeclaration(TZurChoiceMode mode, TClientDataSet& frontespizio) override;

  // The wait window; created on first use, lives as long as the platform.
  TfmNymWait& WaitWindow();

  // The program's "description|*.ext|description|*.ext" filter in Qt's form
  // ("description (*.ext);;description (*.ext)"). A filter already in Qt's form
  // is returned unchanged.
  static QString QtFilter(const QString& filter);
  // The file name with the default extension added when it has none.
  static QString WithDefaultExt(const QString& fileName, const QString& defaultExt);
  // The window dialogs should be modal to: the active window, if any.
  static QWidget* DialogParent();

private:
  int m_waitCursorDepth = 0;
  int m_waitWindowDepth = 0;
  TfmNymWait* m_wait = nullptr;
  QElapsedTimer m_lastPass;
};

// Converts "\n\r" and "\r\n" of the program's texts into the line breaks a
// Qt label shows.
QString ZurDisplayText(const QString& text);
