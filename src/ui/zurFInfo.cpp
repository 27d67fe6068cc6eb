#include "ui/zurFInfo.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QVBoxLayout>

TfmZurInfo::TfmZurInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmZurInfo"));
  setWindowTitle(QStringLiteral("Informazioni"));
  resize(750, 388);
  setSizeGripEnabled(true);

  meInfo = new QPlainTextEdit(this);
  meInfo->setReadOnly(true);
  meInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
  meInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  meInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono(QStringLiteral("Lucida Console"));
  mono.setStyleHint(QFont::Monospace);
  mono.setFamilies(
      {QStringLiteral("Lucida Console"), QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
  mono.setPixelSize(12);
  meInfo->setFont(mono);

  buBloccoNote = new QPushButton(QStringLiteral("&Blocco note"), this);
  laInfo = new QLabel(QStringLiteral("Si desidera proseguire?"), this);
  laInfo->hide();
  buYes = new QPushButton(QStringLiteral("&Si"), this);
  buYes->hide();
  buOk = new QPushButton(QStringLiteral("OK"), this);
  buOk->setDefault(true);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(buBloccoNote);
  bottom->addStretch(1);
  bottom->addWidget(laInfo);
  bottom->addWidget(buYes);
  bottom->addWidget(buOk);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(meInfo, 1);
  layout->addLayout(bottom);

  connect(buOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(buYes, &QPushButton::clicked, this, [this] { done(QDialog::Accepted + 1); });
  connect(buBloccoNote, &QPushButton::clicked, this, [this] { buBloccoNoteClick(); });
}

void TfmZurInfo::SetLines(const QStringList& lines) {
  meInfo->setPlainText(lines.join(QLatin1Char('\n')));
}

QStringList TfmZurInfo::Lines() const {
  return meInfo->toPlainText().split(QLatin1Char('\n'));
}

QString TfmZurInfo::WriteNotepadFile() const {
  // A unique name that stays behind for the editor: the temporary file only
  // reserves it.
  QTemporaryFile reserve(QDir::temp().filePath(QStringLiteral("XXXXXX.txt")));
  reserve.setAutoRemove(false);
  if (!reserve.open())
    throw EZurError(QStringLiteral("Impossibile creare un file nella cartella temporanea %1.")
                        .arg(QDir::toNativeSeparators(QDir::tempPath())),
                    EZurError::Kind::File, QDir::tempPath());
  const QString path = reserve.fileName();
  reserve.close();
  QSaveFile out(path);
  QByteArray data = meInfo->toPlainText().toUtf8();
  data.append('\n');
  if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
    throw EZurError(QStringLiteral("Impossibile scrivere il file %1.").arg(QDir::toNativeSeparators(path)),
                    EZurError::Kind::File, path);
  return path;
}

void TfmZurInfo::buBloccoNoteClick() {
  try {
    Platform().OpenDocument(WriteNotepadFile());
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
  }
}
