#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Informazioni": the list of message lines of a failed check, in a read-only
// monospaced memo the clerk can scroll, with "Blocco note" to take the lines
// into a text file opened with the desktop's editor.
class TfmZurInfo : public QDialog {
public:
  explicit TfmZurInfo(QWidget* parent = nullptr);

  void SetLines(const QStringList& lines);
  QStringList Lines() const;

  // Writes the memo's lines into a new .txt file in the user's temporary
  // folder and returns its path; EZurError when it cannot be written.
  QString WriteNotepadFile() const;

  QPlainTextEdit* meInfo;
  QPushButton* buOk;
  QPushButton* buYes;
  QLabel* laInfo;
  QPushButton* buBloccoNote;

private:
  void buBloccoNoteClick();
};
