#include "ui/ZurQtPlatform.h"

#include "ui/nymFWait.h"
#include "ui/zurFInfo.h"
#include "ui/zurFScegliIrap.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

QString ZurDisplayText(const QString& text) {
  QString t = text;
  t.replace(QLatin1String("\n\r"), QLatin1String("\n"));
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t;
}

namespace {

// A question may come while the hourglass is up (the checks of a save, say);
// the clerk must see a pointer to answer it.
class TArrowWhileAsking {
public:
  explicit TArrowWhileAsking(bool waiting) : m_waiting(waiting) {
    if (m_waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~TArrowWhileAsking() {
    if (m_waiting) QApplication::restoreOverrideCursor();
  }
  TArrowWhileAsking(const TArrowWhileAsking&) = delete;
  TArrowWhileAsking& operator=(const TArrowWhileAsking&) = delete;

private:
  bool m_waiting;
};

} // namespace

TZurQtPlatform::TZurQtPlatform() = default;

TZurQtPlatform::~TZurQtPlatform() {
  while (m_waitCursorDepth > 0) {
    QApplication::restoreOverrideCursor();
    --m_waitCursorDepth;
  }
  delete m_wait;
}

QWidget* TZurQtPlatform::DialogParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

TModalResult TZurQtPlatform::MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  QMessageBox box(DialogParent());
  box.setWindowTitle(QApplication::applicationDisplayName());
  box.setText(ZurDisplayText(text));
  switch (type) {
  case TMsgDlgType::Warning:
    box.setIcon(QMessageBox::Warning);
    break;
  case TMsgDlgType::Error:
    box.setIcon(QMessageBox::Critical);
    break;
  case TMsgDlgType::Information:
    box.setIcon(QMessageBox::Information);
    break;
  case TMsgDlgType::Confirmation:
    box.setIcon(QMessageBox::Question);
    break;
  }
  auto add = [&box](QMessageBox::StandardButton b, const char* caption) {
    box.addButton(b)->setText(QString::fromUtf8(caption));
  };
  switch (buttons) {
  case TMsgDlgButtons::OK:
    add(QMessageBox::Ok, "OK");
    break;
  case TMsgDlgButtons::OKCancel:
    add(QMessageBox::Ok, "OK");
    add(QMessageBox::Cancel, "Annulla");
    break;
  case TMsgDlgButtons::YesNo:
    add(QMessageBox::Yes, "&Sì");
    add(QMessageBox::No, "&No");
    break;
  case TMsgDlgButtons::YesNoCancel:
    add(QMessageBox::Yes, "&Sì");
    add(QMessageBox::No, "&No");
    add(QMessageBox::Cancel, "Annulla");
    break;
  }
  // Escape must mean "no answer", never Yes: without a Cancel button it is No.
  if (buttons == TMsgDlgButtons::YesNo) box.setEscapeButton(QMessageBox::No);
  TArrowWhileAsking arrow(m_waitCursorDepth > 0);
  const int rc = box.exec();
  switch (rc) {
  case QMessageBox::Ok:
    return TModalResult::OK;
  case QMessageBox::Yes:
    return TModalResult::Yes;
  case QMessageBox::No:
    return TModalResult::No;
  case QMessageBox::Cancel:
    return TModalResult::Cancel;
  default:
    return buttons == TMsgDlgButtons::OK ? TModalResult::OK : TModalResult::Cancel;
  }
}

bool TZurQtPlatform::InputQuery(const QString& caption, const QString& prompt, QString& value) {
  QInputDialog dlg(DialogParent());
  dlg.setWindowTitle(caption);
  dlg.setLabelText(ZurDisplayText(prompt));
  dlg.setTextValue(value);
  dlg.setOkButtonText(QStringLiteral("OK"));
  dlg.setCancelButtonText(QStringLiteral("Annulla"));
  TArrowWhileAsking arrow(m_waitCursorDepth > 0);
  if (dlg.exec() != QDialog::Accepted) return false;
  value = dlg.textValue();
  return true;
}

QString TZurQtPlatform::QtFilter(const QString& filter) {
  if (filter.isEmpty() || !filter.contains(QLatin1Char('|'))) return filter;
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.trimmed());
  }
  if (parts.size() % 2 == 1 && !parts.last().isEmpty()) out << parts.last();
  return out.join(QLatin1String(";;"));
}

QString TZurQtPlatform::WithDefaultExt(const QString& fileName, const QString& defaultExt) {
  if (fileName.isEmpty() || defaultExt.isEmpty()) return fileName;
  if (!QFileInfo(fileName).suffix().isEmpty()) return fileName;
  QString ext = defaultExt;
  if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
  return fileName + QLatin1Char('.') + ext;
}

bool TZurQtPlatform::PromptForFileName(QString& fileName, const QString& filter, const QString& defaultExt,
                                       const QString& title, const QString& initialDir, bool saveDialog) {
  QString start = fileName;
  if (!initialDir.isEmpty()) start = QDir(initialDir).filePath(QFileInfo(fileName).fileName());
  const QString qtFilter = QtFilter(filter);
  TArrowWhileAsking arrow(m_waitCursorDepth > 0);
  const QString chosen = saveDialog ? QFileDialog::getSaveFileName(DialogParent(), title, start, qtFilter)
                                    : QFileDialog::getOpenFileName(DialogParent(), title, start, qtFilter);
  if (chosen.isEmpty()) return false;
  fileName = saveDialog ? WithDefaultExt(chosen, defaultExt) : chosen;
  return true;
}

void TZurQtPlatform::OpenDocument(const QString& path) {
  if (!QFileInfo::exists(path)) {
    MessageDlg(QStringLiteral("Impossibile trovare il file \"%1\".").arg(QDir::toNativeSeparators(path)),
               TMsgDlgType::Error, TMsgDlgButtons::OK);
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
    MessageDlg(
        QStringLiteral("Impossibile aprire il file \"%1\": nessun programma associato a questo tipo di "
                       "documento.")
            .arg(QDir::toNativeSeparators(path)),
        TMsgDlgType::Error, TMsgDlgButtons::OK);
}

void TZurQtPlatform::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_waitCursorDepth;
  } else if (m_waitCursorDepth > 0) {
    QApplication::restoreOverrideCursor();
    --m_waitCursorDepth;
  }
}

TfmNymWait& TZurQtPlatform::WaitWindow() {
  if (!m_wait) m_wait = new TfmNymWait();
  return *m_wait;
}

void TZurQtPlatform::ShowWaitWindow(bool on) {
  if (on) {
    if (m_waitWindowDepth++ == 0) {
      WaitWindow().ResetProgress();
      WaitWindow().show();
      WaitWindow().raise();
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
  } else if (m_waitWindowDepth > 0 && --m_waitWindowDepth == 0) {
    WaitWindow().hide();
  }
}

void TZurQtPlatform::WaitProgress(qint64 done, qint64 total) {
  if (m_waitWindowDepth == 0) return;
  WaitWindow().SetProgress(done, total);
  ProcessMessages();
}

void TZurQtPlatform::ProcessMessages() {
  // Long work calls this between its steps, often many times a frame; the
  // screen needs a pass only every few hundredths of a second, and each pass
  // repaints whatever changed since the last one (every new line of a log).
  if (m_lastPass.isValid() && m_lastPass.elapsed() < kPassIntervalMs) return;
  QApplication::processEvents(QEventLoop::AllEvents, 50);
  m_lastPass.start();
}

void TZurQtPlatform::ShowInfo(const QStringList& lines) {
  TfmZurInfo info(DialogParent());
  info.SetLines(lines);
  TArrowWhileAsking arrow(m_waitCursorDepth > 0);
  info.exec();
}

int TZurQtPlatform::RunAndWait(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.start(program, arguments);
  if (!p.waitForStarted()) return -1;
  // The windows keep painting while the program runs.
  while (!p.waitForFinished(100))
    ProcessMessages();
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int TZurQtPlatform::ChooseDeclaration(TZurChoiceMode mode, TClientDataSet& frontespizio) {
  TfmZurScegliIrap dlg(frontespizio, mode, DialogParent());
  TArrowWhileAsking arrow(m_waitCursorDepth > 0);
  dlg.exec();
  return dlg.Result();
}
