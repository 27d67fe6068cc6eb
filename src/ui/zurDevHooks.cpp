#include "ui/zurDevHooks.h"

#include "platform/Platform.h"
#include "platform/ZurOutputFile.h"
#include "ui/ZurDataControls.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QWidget>

namespace {

bool Editable(QObject* o) {
  return AsDataControl(o) && !dynamic_cast<TZurDBText*>(o);
}

class THooks : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && (event->type() == QEvent::MouseButtonPress ||
              (event->type() == QEvent::FocusIn && dynamic_cast<TZurDBCheckBox*>(watched))))
      CopyFieldName(w);
    return false;
  }
};

THooks* Hooks() {
  static auto* hooks = new THooks;
  return hooks;
}

void Visit(QObject* owner, const std::function<void(QObject*)>& fn) {
  for (QObject* child : owner->children()) {
    fn(child);
    Visit(child, fn);
  }
}

} // namespace

void InstallFieldNameHooks(QObject* owner) {
  Visit(owner, [](QObject* o) {
    TZurDataControl* c = AsDataControl(o);
    if (!c) return;
    c->Widget()->setToolTip(c->FieldName().toUpper());
    o->removeEventFilter(Hooks());
    o->installEventFilter(Hooks());
  });
}

void CopyFieldName(QWidget* control) {
  if (!AsDataControl(control)) return;
  QApplication::clipboard()->setText(control->toolTip());
}

QStringList CollectFrameFields(QWidget* frame, bool saveAsText) {
  if (!frame) {
    VxShowMessage(QStringLiteral("Non è stato selezionato alcun frame"), TMsgDlgType::Warning);
    return {};
  }
  QStringList names;
  Visit(frame, [&names](QObject* o) {
    if (!Editable(o)) return;
    const QString name = AsDataControl(o)->FieldName().toUpper();
    if (!names.contains(name) && !names.contains(name + QStringLiteral("$2")))
      names << (dynamic_cast<TZurDBLookupEdit*>(o) ? name + QStringLiteral("$2") : name);
  });
  if (saveAsText && !names.isEmpty()) {
    QString fileName;
    if (Platform().PromptForFileName(fileName, QStringLiteral("File di testo (*.txt)|*.txt"),
                                     QStringLiteral("txt"), QString(), QString(), true))
      zur::WriteOutputFile(fileName, (names.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
  }
  return names;
}
