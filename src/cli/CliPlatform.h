#pragma once

#include "platform/Platform.h"

#include <QString>
#include <deque>

// How zur24-cli answers what the windows would ask: questions from --yes/--no,
// the input box, the file dialog and the choice of declaration from the
// command's own arguments. Information (the information window's lines
// included) goes to standard output, warnings and errors to standard error.
class TCliPlatform final : public IZurPlatform {
public:
  enum class Answer { None, Yes, No };

  // Raised when a question has no answer on the command line (exit 2).
  class EUnanswered : public std::exception {
  public:
    explicit EUnanswered(QString question) : m_question(std::move(question)) {}
    const QString& question() const { return m_question; }
    const char* what() const noexcept override { return "unanswered"; }

  private:
    QString m_question;
  };

  explicit TCliPlatform(Answer answer, bool openDocuments);

  // The next input box / file dialog gets this answer instead of asking.
  void PresetInput(const QString& value) { m_inputs.push_back(value); }
  void PresetFileName(const QString& value) { m_files.push_back(value); }
  // The next choice of declaration picks the cover page with this fiscal code
  // (without regard to case).
  void PresetChoice(const QString& fiscalCode) { m_choices.push_back(fiscalCode); }

  TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
  bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
  bool PromptForFileName(QString& fileName, const QString& filter, const QString& defaultExt, const QString& title,
                         const QString& initialDir, bool saveDialog) override;
  void OpenDocument(const QString& path) override;
  void SetWaitCursor(bool) override {}
  void ShowWaitWindow(bool) override {}
  void ProcessMessages() override {}
  void ShowInfo(const QStringList& lines) override;
  int RunAndWait(const QString& program, const QStringList& arguments) override;
  // A fiscal code that no cover page has throws EZurError naming it.
  int ChooseDeclaration(TZurChoiceMode mode, TClientDataSet& frontespizio) override;

private:
  Answer m_answer;
  bool m_open;
  std::deque<QString> m_inputs;
  std::deque<QString> m_files;
  std::deque<QString> m_choices;
};

// Writes a line to standard output / standard error in UTF-8, turning the
// Windows-style "\n\r" and "\r\n" of the program's messages into plain "\n".
void CliOut(const QString& text);
void CliErr(const QString& text);
