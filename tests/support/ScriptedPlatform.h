#pragma once

#include "platform/Platform.h"

#include <QStringList>
#include <deque>
#include <vector>

// A platform that answers from a script and records everything it was asked.
// Used by tests (and by any headless driver that wants the same bookkeeping).
// A question with no scripted answer left throws EZurError(Kind::Cancelled)
// naming the question, so a test never silently takes a default.
class TScriptedPlatform : public IZurPlatform {
public:
  struct Call {
    QString kind; // "message", "input", "file", "open", "info", "run", "choice"
    QString text;
    TMsgDlgType type = TMsgDlgType::Information;
    TMsgDlgButtons buttons = TMsgDlgButtons::OK;
    QString proposal{}; // "input": what the box offered before the answer
  };

  // Installs itself as the platform in force; the destructor restores the
  // previous one.
  TScriptedPlatform();
  ~TScriptedPlatform() override;

  void AnswerMessage(TModalResult answer) { m_messageAnswers.push_back(answer); }
  // nullopt-like: an empty QString with cancel = true means the box was cancelled.
  void AnswerInput(const QString& value, bool ok = true) { m_inputAnswers.push_back({value, ok}); }
  void AnswerFile(const QString& name, bool ok = true) { m_fileAnswers.push_back({name, ok}); }
  void SetRunResult(int exitCode) { m_runResult = exitCode; }
  // The next choice of declaration returns this (an IIRAPID, or -1).
  void AnswerChoice(int result) { m_choiceAnswers.push_back(result); }

  const std::vector<Call>& calls() const { return m_calls; }
  QStringList messages() const; // texts of every MessageDlg, in order
  QStringList opened() const;   // paths passed to OpenDocument
  int waitCursorDepth() const { return m_waitDepth; }
  int processMessagesCount() const { return m_processCount; }
  void clear();

  TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
  bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
  bool PromptForFileName(QString& fileName, const QString& filter, const QString& defaultExt,
                         const QString& title, const QString& initialDir, bool saveDialog) override;
  void OpenDocument(const QString& path) override;
  void SetWaitCursor(bool on) override;
  void ShowWaitWindow(bool on) override;
  // Kept apart from the calls, as "done/total": progress is no question.
  void WaitProgress(qint64 done, qint64 total) override;
  const QStringList& progress() const { return m_progress; }
  void ProcessMessages() override;
  void ShowInfo(const QStringList& lines) override;
  int RunAndWait(const QString& program, const QStringList& arguments) override;
  // Records "open" or "del" with the number of cover pages offered.
  int ChooseDeclaration(TZurChoiceMode mode, TClientDataSet& frontespizio) override;

private:
  struct TextAnswer {
    QString value;
    bool ok;
  };
  IZurPlatform* m_previous;
  std::vector<Call> m_calls;
  QStringList m_progress;
  std::deque<TModalResult> m_messageAnswers;
  std::deque<TextAnswer> m_inputAnswers;
  std::deque<TextAnswer> m_fileAnswers;
  std::deque<int> m_choiceAnswers;
  int m_runResult = 0;
  int m_waitDepth = 0;
  int m_processCount = 0;
};
