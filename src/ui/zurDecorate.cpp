#include "ui/zurDecorate.h"

#include "platform/Platform.h"
#include "platform/zurUGlobal.h"
#include "ui/ZurDataControls.h"
#include "ui/zurFXMLTable.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QValidator>

namespace {

class TUpperCase : public QValidator {
public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

enum class TKind { None, Edit, Lookup, Check, Other };

TKind KindOf(QObject* o) {
  if (dynamic_cast<TZurDBLookupEdit*>(o)) return TKind::Lookup;
  if (dynamic_cast<TZurDBEdit*>(o)) return TKind::Edit;
  if (dynamic_cast<TZurDBCheckBox*>(o)) return TKind::Check;
  if (dynamic_cast<TZurDBText*>(o)) return TKind::None;
  if (AsDataControl(o) || qobject_cast<QListWidget*>(o) || qobject_cast<QPlainTextEdit*>(o) ||
      qobject_cast<QTextEdit*>(o))
    return TKind::Other;
  return TKind::None;
}

void Paint(QWidget* w, const QColor& colour, bool checkBox) {
  QPalette p = w->palette();
  if (checkBox) {
    w->setAutoFillBackground(true);
    p.setColor(QPalette::Window, colour);
  } else {
    p.setColor(QPalette::Base, colour);
  }
  w->setPalette(p);
}

// Leaving a lookup edit with a code its table lacks: the focus goes back to
// it and the clerk is told; the text stays as typed.
void ValidateExit(TZurDBLookupEdit* edit) {
  const QString text = edit->text();
  if (text.isEmpty()) return;
  if (TfmZurXMLTable::CodeExists(zur::CodeTableName(edit->Tag), text)) return;
  QPointer<TZurDBLookupEdit> guard(edit);
  QTimer::singleShot(0, edit, [guard] {
    if (!guard) return;
    guard->setFocus(Qt::OtherFocusReason);
    VxShowMessage(QString::fromUtf8(kInvalidCodeText), TMsgDlgType::Warning);
  });
}

class TDecoration : public QObject {
public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    const TKind kind = KindOf(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
      Paint(w, Qt::yellow, kind == TKind::Check);
      break;
    case QEvent::FocusOut: {
      // A message box or a menu taking the focus for a moment is not leaving
      // the control.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
      if (kind == TKind::Check)
        Paint(w, w->palette().color(QPalette::Button), true);
      else
        Paint(w, Qt::white, false);
      if (kind == TKind::Lookup) ValidateExit(static_cast<TZurDBLookupEdit*>(watched));
      break;
    }
    case QEvent::KeyPress:
      if (kind == TKind::Lookup && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F8) {
        static_cast<TZurDBLookupEdit*>(watched)->Click();
        return true;
      }
      break;
    default:
      break;
    }
    return false;
  }
};

TDecoration* Decoration() {
  static auto* decoration = new TDecoration;
  return decoration;
}

void Decorate(QObject* o) {
  const TKind kind = KindOf(o);
  if (kind == TKind::None) return;
  o->removeEventFilter(Decoration());
  o->installEventFilter(Decoration());
  if (kind == TKind::Edit || kind == TKind::Lookup) {
    auto* edit = static_cast<TZurDBEdit*>(o);
    edit->setValidator(new TUpperCase(edit));
  }
  if (kind == TKind::Check) {
    auto* box = static_cast<TZurDBCheckBox*>(o);
    if (box->Tag >= 0) {
      box->ValueChecked = QStringLiteral("1");
      box->ValueUnchecked = QStringLiteral("0");
    }
  }
  if (kind == TKind::Lookup) {
    auto* edit = static_cast<TZurDBLookupEdit*>(o);
    if (!edit->OnButtonClick) edit->OnButtonClick = [edit] { StandardLookup(*edit); };
  }
}

void Visit(QObject* owner) {
  for (QObject* child : owner->children()) {
    Decorate(child);
    Visit(child);
  }
}

} // namespace

void DecorateDataControls(QObject* owner) {
  Visit(owner);
}

void StandardLookup(TZurDataControl& control) {
  TClientDataSet* ds = control.DataSet();
  if (!ds || !ds->Active()) return;
  if (control.Tag < 1 || control.Tag > int(zur::CodeTableIndex().size())) return;
  TField* field = control.Field();
  if (!field) return;
  TfmZurXMLTable::ChooseCode(zur::CodeTableName(control.Tag), *field);
}
