#pragma once

#include "ui/ZurQtPlatform.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>

// Readable failures: gtest prints QString as text.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

// The Qt platform with the clerk's answers scripted by the test: message
// boxes, input boxes and documents are recorded and answered from queues; the
// choice dialog and the information window stay the real windows, which the
// test drives with key and mouse events (see WhenModal).
class TUiTestPlatform : public TZurQtPlatform {
public:
  struct Message {
    QString text;
    TMsgDlgType type;
    TMsgDlgButtons buttons;
  };

  void AnswerMessage(TModalResult r) { m_answers.push_back(r); }
  void AnswerInput(const QString& v, bool ok = true) { m_inputs.push_back({v, ok}); }
  // The next file dialog picks path; an empty path cancels it.
  void AnswerFile(const QString& path) { m_files.push_back(path); }

  std::vector<Message> messages;
  QStringList inputPrompts;
  QStringList opened;
  std::vector<QStringList> infos;
  // The titles of the file dialogs shown, "Salva: " or "Apri: " before each.
  QStringList fileDialogs;

  TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override {
    messages.push_back({text, type, buttons});
    if (!m_answers.empty()) {
      const TModalResult r = m_answers.front();
      m_answers.pop_front();
      return r;
    }
    if (buttons == TMsgDlgButtons::OK) return TModalResult::OK;
    ADD_FAILURE() << "domanda senza risposta: " << text.toStdString();
    return TModalResult::Cancel;
  }
  bool InputQuery(const QString& caption, const QString& prompt, QString& value) override {
    inputPrompts << caption + QStringLiteral(": ") + prompt;
    if (m_inputs.empty()) {
      ADD_FAILURE() << "input senza risposta: " << prompt.toStdString();
      return false;
    }
    auto [v, ok] = m_inputs.front();
    m_inputs.pop_front();
    if (ok) value = v;
    return ok;
  }
  bool PromptForFileName(QString& fileName, const QString&, const QString& defaultExt, const QString& title,
                         const QString&, bool saveDialog) override {
    fileDialogs << (saveDialog ? QStringLiteral("Salva: ") : QStringLiteral("Apri: ")) + title;
    if (m_files.empty()) {
      ADD_FAILURE() << "finestra di file senza risposta: " << title.toStdString();
      return false;
    }
    const QString chosen = m_files.front();
    m_files.pop_front();
    if (chosen.isEmpty()) return false;
    fileName = saveDialog ? WithDefaultExt(chosen, defaultExt) : chosen;
    return true;
  }
  void OpenDocument(const QString& path) override { opened << path; }
  void ShowInfo(const QStringList& lines) override { infos.push_back(lines); }
  QStringList MessageTexts() const {
    QStringList out;
    for (const auto& m : messages)
      out << m.text;
    return out;
  }
  void Clear() {
    messages.clear();
    inputPrompts.clear();
    opened.clear();
    infos.clear();
    fileDialogs.clear();
  }
  bool Exhausted() const { return m_answers.empty() && m_inputs.empty() && m_files.empty(); }

private:
  std::deque<TModalResult> m_answers;
  std::deque<std::pair<QString, bool>> m_inputs;
  std::deque<QString> m_files;
};

// Runs action on the next modal window once it is up (the test's hand on the
// keyboard while the program waits in exec()).
inline void WhenModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, action, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal && ++*tries < 300) return;
    timer->stop();
    timer->deleteLater();
    if (modal)
      action(modal);
    else
      ADD_FAILURE() << "nessuna finestra modale";
  });
  timer->start();
}
