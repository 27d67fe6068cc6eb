#pragma once

#include <QString>
#include <QStringList>

// Everything the program asks of a person or of the desktop goes through this
// interface: the windows answer with dialogs, zur24-cli with its flags, tests
// with scripted answers. Core code never talks to a window toolkit directly.

enum class TMsgDlgType { Warning, Error, Information, Confirmation };
enum class TMsgDlgButtons { OK, YesNo, YesNoCancel, OKCancel };
enum class TModalResult { None, OK, Cancel, Yes, No };

class TClientDataSet;

// What the declaration choice is for: opening one (its second button offers a
// new declaration) or deleting one (the second button cancels).
enum class TZurChoiceMode { Open, Delete };

class IZurPlatform {
public:
  virtual ~IZurPlatform() = default;

  // A modal message; returns the button chosen. An implementation that cannot
  // get an answer (a question on the command line without --yes/--no) throws.
  virtual TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) = 0;

  // The input box: false when the person cancelled; value holds the proposal on
  // entry and the answer on exit.
  virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;

  // The save/open file dialog: false when cancelled; fileName holds the
  // proposed name on entry and the chosen one on exit.
  virtual bool PromptForFileName(QString& fileName, const QString& filter, const QString& defaultExt,
                                 const QString& title, const QString& initialDir, bool saveDialog) = 0;

  // Opens a document with the desktop's default application.
  virtual void OpenDocument(const QString& path) = 0;

  // The hourglass cursor and the "Attendere..." window; calls nest.
  virtual void SetWaitCursor(bool on) = 0;
  virtual void ShowWaitWindow(bool on) = 0;
  // How far the work under the wait window has got: `done` of `total` (rows
  // read while the declarations load). Faces without a wait window show
  // nothing; the window program moves its progress bar.
  virtual void WaitProgress(qint64 done, qint64 total) {
    Q_UNUSED(done);
    Q_UNUSED(total);
  }

  // Lets the user interface repaint and handle input during long work.
  virtual void ProcessMessages() = 0;

  // The information window: a list of message lines shown together.
  virtual void ShowInfo(const QStringList& lines) = 0;

  // Starts a program and waits for it to end; returns its exit code, or -1
  // when it could not be started.
  virtual int RunAndWait(const QString& program, const QStringList& arguments) = 0;

  // The choice of the declaration to work on, over the cover pages (already
  // unfiltered and on their first record): the chosen IIRAPID, or -1 for
  // "Nuovo" (mode Open) / "Annulla" (mode Delete). The windows show the
  // choice dialog; the default answers nothing and throws
  // EZurError(Kind::Cancelled), like any question without an answer.
  virtual int ChooseDeclaration(TZurChoiceMode mode, TClientDataSet& frontespizio);
};

// The platform in force. Before SetPlatform is called it is a headless
// platform that answers no question: MessageDlg and InputQuery throw.
IZurPlatform& Platform();
// Replaces the platform; nullptr restores the headless default. The caller
// keeps ownership and must outlive its use.
void SetPlatform(IZurPlatform* platform);

// Shorthands used throughout the core.
TModalResult VxMessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons);
void VxShowMessage(const QString& text, TMsgDlgType type = TMsgDlgType::Information);

// Hourglass for the lifetime of the object, restored in every case.
class TWaitCursor {
public:
  TWaitCursor();
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};
