#include "support/ScriptedPlatform.h"

#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

TScriptedPlatform::TScriptedPlatform() : m_previous(&Platform()) {
  SetPlatform(this);
}

TScriptedPlatform::~TScriptedPlatform() {
  SetPlatform(m_previous == this ? nullptr : m_previous);
}

QStringList TScriptedPlatform::messages() const {
  QStringList out;
  for (const auto& c : m_calls)
    if (c.kind == QLatin1String("message")) out << c.text;
  return out;
}

QStringList TScriptedPlatform::opened() const {
  QStringList out;
  for (const auto& c : m_calls)
    if (c.kind == QLatin1String("open")) out << c.text;
  return out;
}

void TScriptedPlatform::clear() {
  m_calls.clear();
  m_messageAnswers.clear();
  m_inputAnswers.clear();
  m_fileAnswers.clear();
  m_choiceAnswers.clear();
}

TModalResult TScriptedPlatform::MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  m_calls.push_back({QStringLiteral("message"), text, type, buttons});
  if (buttons == TMsgDlgButtons::OK) {
    if (!m_messageAnswers.empty() && m_messageAnswers.front() == TModalResult::OK)
      m_messageAnswers.pop_front();
    return TModalResult::OK;
  }
  if (m_messageAnswers.empty())
    throw EZurError(QStringLiteral("Domanda senza risposta: ") + text, EZurError::Kind::Cancelled);
  const TModalResult r = m_messageAnswers.front();
  m_messageAnswers.pop_front();
  return r;
}

bool TScriptedPlatform::InputQuery(const QString& caption, const QString& prompt, QString& value) {
  m_calls.push_back({QStringLiteral("input"), caption + QLatin1Char('|') + prompt, TMsgDlgType::Information,
                     TMsgDlgButtons::OK, value});
  if (m_inputAnswers.empty())
    throw EZurError(QStringLiteral("Domanda senza risposta: ") + prompt, EZurError::Kind::Cancelled);
  const TextAnswer a = m_inputAnswers.front();
  m_inputAnswers.pop_front();
  if (a.ok) value = a.value;
  return a.ok;
}

bool TScriptedPlatform::PromptForFileName(QString& fileName, const QString&, const QString&,
                                          const QString& title, const QString&, bool) {
  m_calls.push_back({QStringLiteral("file"), title});
  if (m_fileAnswers.empty())
    throw EZurError(QStringLiteral("Domanda senza risposta: ") + title, EZurError::Kind::Cancelled);
  const TextAnswer a = m_fileAnswers.front();
  m_fileAnswers.pop_front();
  if (a.ok) fileName = a.value;
  return a.ok;
}

void TScriptedPlatform::OpenDocument(const QString& path) {
  m_calls.push_back({QStringLiteral("open"), path});
}

void TScriptedPlatform::SetWaitCursor(bool on) {
  m_waitDepth += on ? 1 : -1;
}

void TScriptedPlatform::ShowWaitWindow(bool on) {
  m_calls.push_back({QStringLiteral("wait"), on ? QStringLiteral("on") : QStringLiteral("off")});
}

void TScriptedPlatform::WaitProgress(qint64 done, qint64 total) {
  m_progress << QStringLiteral("%1/%2").arg(done).arg(total);
}

void TScriptedPlatform::ProcessMessages() {
  ++m_processCount;
}

void TScriptedPlatform::ShowInfo(const QStringList& lines) {
  m_calls.push_back({QStringLiteral("info"), lines.join(QLatin1Char('\n'))});
}

int TScriptedPlatform::RunAndWait(const QString& program, const QStringList& arguments) {
  m_calls.push_back({QStringLiteral("run"), program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '))});
  return m_runResult;
}

int TScriptedPlatform::ChooseDeclaration(TZurChoiceMode mode, TClientDataSet& frontespizio) {
  m_calls.push_back({QStringLiteral("choice"),
                     QStringLiteral("%1 %2")
                         .arg(mode == TZurChoiceMode::Open ? QStringLiteral("open") : QStringLiteral("del"))
                         .arg(frontespizio.RecordCount())});
  if (m_choiceAnswers.empty())
    throw EZurError(QStringLiteral("Domanda senza risposta: Scelta modello di lavoro"),
                    EZurError::Kind::Cancelled);
  const int r = m_choiceAnswers.front();
  m_choiceAnswers.pop_front();
  return r;
}
