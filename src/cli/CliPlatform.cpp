#include "cli/CliPlatform.h"

#include "cli/CliArgs.h"

#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <QProcess>
#include <cstdio>

namespace {

void Put(FILE* f, const QString& text) {
  const QByteArray bytes = CliPlainText(text).toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
  std::fputc('\n', f);
  std::fflush(f);
}

} // namespace

void CliOut(const QString& text) { Put(stdout, text); }
void CliErr(const QString& text) { Put(stderr, text); }

TCliPlatform::TCliPlatform(Answer answer, bool openDocuments) : m_answer(answer), m_open(openDocuments) {}

TModalResult TCliPlatform::MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  if (buttons == TMsgDlgButtons::OK) {
    if (type == TMsgDlgType::Information || type == TMsgDlgType::Confirmation)
      CliOut(text);
    else
      CliErr(text);
    return TModalResult::OK;
  }
  if (m_answer == Answer::None) throw EUnanswered(text);
  CliErr(text + (m_answer == Answer::Yes ? QStringLiteral(" -> Sì") : QStringLiteral(" -> No")));
  return m_answer == Answer::Yes ? TModalResult::Yes : TModalResult::No;
}

bool TCliPlatform::InputQuery(const QString& caption, const QString& prompt, QString& value) {
  if (m_inputs.empty()) throw EUnanswered(caption + QStringLiteral(": ") + prompt);
  value = m_inputs.front();
  m_inputs.pop_front();
  return true;
}

bool TCliPlatform::PromptForFileName(QString& fileName, const QString&, const QString&, const QString& title,
                                     const QString&, bool) {
  if (m_files.empty()) throw EUnanswered(title);
  fileName = m_files.front();
  m_files.pop_front();
  return true;
}

void TCliPlatform::OpenDocument(const QString& path) {
  CliOut(path);
  if (m_open) QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

void TCliPlatform::ShowInfo(const QStringList& lines) {
  for (const QString& l : lines)
    CliOut(l);
}

int TCliPlatform::ChooseDeclaration(TZurChoiceMode, TClientDataSet& frontespizio) {
  if (m_choices.empty()) throw EUnanswered(QStringLiteral("Scelta modello di lavoro"));
  const QString code = m_choices.front();
  m_choices.pop_front();
  TLocateOptions options;
  options.caseInsensitive = true;
  if (!frontespizio.Locate(QStringLiteral("SIRAPCODFIS"), code, options))
    throw EZurError(QStringLiteral("Nessuna dichiarazione con C.F. %1.").arg(code));
  return frontespizio.FieldByName(QStringLiteral("IIRAPID")).AsInteger();
}

int TCliPlatform::RunAndWait(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedChannels);
  p.start(program, arguments);
  if (!p.waitForStarted()) return -1;
  p.waitForFinished(-1);
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
