#include "platform/Platform.h"

#include "platform/ZurError.h"

#include <QProcess>

namespace {

// Used when nobody installed a platform: it can inform nobody and answers
// nothing, so a question fails loudly instead of being taken as Yes or No.
class THeadlessPlatform final : public IZurPlatform {
public:
  TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override {
    if (buttons == TMsgDlgButtons::OK && type != TMsgDlgType::Confirmation) return TModalResult::OK;
    throw EZurError(QStringLiteral("Domanda senza risposta: ") + text, EZurError::Kind::Cancelled);
  }
  bool InputQuery(const QString& caption, const QString& prompt, QString&) override {
    throw EZurError(QStringLiteral("Domanda senza risposta: ") + caption + QStringLiteral(" - ") + prompt,
                    EZurError::Kind::Cancelled);
  }
  bool PromptForFileName(QString&, const QString&, const QString&, const QString& title, const QString&,
                         bool) override {
    throw EZurError(QStringLiteral("Domanda senza risposta: ") + title, EZurError::Kind::Cancelled);
  }
  void OpenDocument(const QString&) override {}
  void SetWaitCursor(bool) override {}
  void ShowWaitWindow(bool) override {}
  void ProcessMessages() override {}
  void ShowInfo(const QStringList&) override {}
  int RunAndWait(const QString& program, const QStringList& arguments) override {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForStarted()) return -1;
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }
};

THeadlessPlatform g_headless;
IZurPlatform* g_platform = &g_headless;

} // namespace

int IZurPlatform::ChooseDeclaration(TZurChoiceMode, TClientDataSet&) {
  throw EZurError(QStringLiteral("Domanda senza risposta: Scelta modello di lavoro"),
                  EZurError::Kind::Cancelled);
}

IZurPlatform& Platform() { return *g_platform; }

void SetPlatform(IZurPlatform* platform) { g_platform = platform ? platform : &g_headless; }

TModalResult VxMessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  return Platform().MessageDlg(text, type, buttons);
}

void VxShowMessage(const QString& text, TMsgDlgType type) {
  Platform().MessageDlg(text, type, TMsgDlgButtons::OK);
}

TWaitCursor::TWaitCursor() { Platform().SetWaitCursor(true); }

TWaitCursor::~TWaitCursor() { Platform().SetWaitCursor(false); }
