#include "ui/zurFFrames.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"
#include "tables/zurCodeTables.h"
#include "ui/zurDecorate.h"

#include <QAction>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QToolBar>
#include <QVBoxLayout>

using namespace zurform;

namespace {

// The widest a row's fields may run before they wrap to a second line, so a
// page reads at 1280 pixels without scrolling sideways.
constexpr int kRowWidth = 980;
constexpr int kTitleWidth = 150;
constexpr int kCodeWidth = 46;
constexpr int kCaptionWidth = 520;
// No box wider than this: a long text scrolls inside it.
constexpr int kWidestBox = 420;

int BoxWidth(const TFormField& f, const QFontMetrics& fm) {
  switch (f.kind) {
  case TControlKind::Check:
    return 22;
  case TControlKind::Sex:
    return 90;
  case TControlKind::Date:
    return fm.horizontalAdvance(QStringLiteral("00/00/00000")) + 40;
  case TControlKind::Combo:
    return fm.horizontalAdvance(QLatin1Char('0')) * std::max(f.width, 2) + 44;
  case TControlKind::Lookup:
    return fm.horizontalAdvance(QLatin1Char('W')) * std::max(f.width, 3) + 40;
  default:
    return fm.horizontalAdvance(QLatin1Char('0')) * std::max(f.width, 2) + 16;
  }
}

QLabel* Bold(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  QFont font = l->font();
  font.setBold(true);
  l->setFont(font);
  return l;
}

QLabel* Small(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  QFont font = l->font();
  font.setPointSizeF(font.pointSizeF() * 0.85);
  l->setFont(font);
  l->setWordWrap(true);
  return l;
}

// The cell of one field of a row with several: its column number and
// caption above the control.
QWidget* Cell(const TFormField& f, QWidget* control, QWidget* parent) {
  auto* cell = new QWidget(parent);
  auto* v = new QVBoxLayout(cell);
  v->setContentsMargins(0, 0, 8, 0);
  v->setSpacing(1);
  const QString caption =
      f.column > 0 ? QStringLiteral("%1 %2").arg(f.column).arg(f.caption).trimmed() : f.caption;
  auto* label = Small(caption, cell);
  const int width = std::max(control->minimumWidth(), 60);
  label->setFixedWidth(std::max(width, std::min(label->sizeHint().width(), 180)));
  v->addWidget(label);
  v->addWidget(control, 0, Qt::AlignLeft);
  v->addStretch();
  control->setParent(cell);
  if (f.hidden) cell->setVisible(false);
  cell->setObjectName(QStringLiteral("cell") + f.name);
  return cell;
}

// Fields of a row laid out left to right, wrapping before kRowWidth.
void FlowFields(QVBoxLayout* into, const std::vector<std::pair<const TFormField*, QWidget*>>& cells,
                QWidget* parent, int indent) {
  QHBoxLayout* line = nullptr;
  int used = 0;
  for (const auto& [f, cell] : cells) {
    const int w = cell->sizeHint().width();
    if (!line || (used + w > kRowWidth - indent && used > 0)) {
      line = new QHBoxLayout;
      line->setSpacing(4);
      line->addSpacing(indent);
      into->addLayout(line);
      used = 0;
    }
    line->addWidget(cell, 0, Qt::AlignTop);
    used += w + 4;
  }
  if (line) line->addStretch();
  (void)parent;
}

} // namespace

QWidget* CreateFieldControl(const TFormField& f, QWidget* parent) {
  QWidget* w = nullptr;
  TZurDataControl* control = nullptr;
  switch (f.kind) {
  case TControlKind::Date: {
    auto* c = new TZurDBDateEdit(f.name, parent);
    w = c;
    control = c;
    break;
  }
  case TControlKind::Check: {
    auto* c = new TZurDBCheckBox(f.name, QString(), parent);
    w = c;
    control = c;
    break;
  }
  case TControlKind::Combo: {
    auto* c = new TZurDBComboBox(f.name, f.values, parent);
    w = c;
    control = c;
    break;
  }
  case TControlKind::Lookup: {
    auto* c = new TZurDBLookupEdit(f.name, parent);
    w = c;
    control = c;
    break;
  }
  case TControlKind::Label: {
    auto* c = new TZurDBText(f.name, parent);
    QFont font = c->font();
    font.setBold(true);
    c->setFont(font);
    w = c;
    control = c;
    break;
  }
  case TControlKind::Edit:
  case TControlKind::Sex: {
    auto* c = new TZurDBEdit(f.name, parent);
    if (f.format == TPrintFormat::Amount || f.format == TPrintFormat::Integer ||
        f.format == TPrintFormat::Decimal)
      c->setAlignment(Qt::AlignRight);
    if (f.readOnly) c->setReadOnly(true);
    w = c;
    control = c;
    break;
  }
  }
  control->Tag = f.tag;
  w->setObjectName(f.name);
  w->setFixedWidth(std::min(BoxWidth(f, w->fontMetrics()), kWidestBox));
  if (!f.hint.isEmpty()) w->setToolTip(f.hint);
  if (f.disabled) w->setEnabled(false);
  if (f.readOnly && !qobject_cast<QLineEdit*>(w) && f.kind != TControlKind::Label) w->setEnabled(false);
  if (f.skipTab || f.kind == TControlKind::Label) w->setFocusPolicy(Qt::ClickFocus);
  if (f.kind == TControlKind::Label) w->setFocusPolicy(Qt::NoFocus);
  if (f.hidden) w->setVisible(false);
  return w;
}

// --- frame -----------------------------------------------------------------------------------------

TfrZurFrame::TfrZurFrame(TFormPage page, QWidget* parent) : QScrollArea(parent), m_page(std::move(page)) {
  setObjectName(m_page.instance);
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
}

TfrZurFrame::~TfrZurFrame() {
  // The controls unregister themselves from dsMain as they go.
  delete takeWidget();
}

QWidget* TfrZurFrame::CreateControl(const TFormField& field, QWidget* parent) {
  return CreateFieldControl(field, parent);
}

void TfrZurFrame::Build() {
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("content"));
  auto* pageLayout = new QVBoxLayout(content);
  pageLayout->setSpacing(6);
  QWidget* previous = nullptr;
  for (const TFormSection& section : m_page.sections) {
    auto* box = new QFrame(content);
    box->setFrameShape(QFrame::StyledPanel);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 4, 4);
    // The white title panel on the left, as on the paper form.
    auto* title = new QFrame(box);
    title->setObjectName(QStringLiteral("paSezione"));
    title->setAutoFillBackground(true);
    QPalette pal = title->palette();
    pal.setColor(QPalette::Window, Qt::white);
    title->setPalette(pal);
    title->setFixedWidth(kTitleWidth);
    auto* tv = new QVBoxLayout(title);
    if (!section.code.isEmpty()) tv->addWidget(Bold(section.code, title));
    auto* tl = new QLabel(section.title, title);
    tl->setWordWrap(true);
    tv->addWidget(tl);
    tv->addStretch();
    h->addWidget(title);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(3);
    h->addLayout(rows, 1);
    for (const TFormRow& row : section.rows) {
      auto* head = new QHBoxLayout;
      head->setSpacing(6);
      auto* code = Bold(row.code, box);
      code->setFixedWidth(kCodeWidth);
      head->addWidget(code);
      auto* caption = new QLabel(row.caption, box);
      head->addWidget(caption);
      const bool single =
          row.fields.size() == 1 && row.fields[0].column == 0 && row.fields[0].caption.isEmpty();
      std::vector<std::pair<const TFormField*, QWidget*>> cells;
      for (const TFormField& f : row.fields) {
        QWidget* control = CreateControl(f, box);
        m_controls[f.name] = control;
        if (auto* dc = AsDataControl(control)) dc->SetDataSource(&dsMain);
        // Tab follows the form; controls that skip Tab keep their place.
        if (previous) setTabOrder(previous, control);
        previous = control;
        if (single) {
          // A row of one field reads like the form: caption, then its box.
          caption->setFixedWidth(kCaptionWidth);
          caption->setWordWrap(true);
          head->addWidget(control);
        } else
          cells.emplace_back(&f, Cell(f, control, box));
      }
      head->addStretch();
      rows->addLayout(head);
      if (!cells.empty()) FlowFields(rows, cells, box, kCodeWidth + 6);
    }
    pageLayout->addWidget(box);
  }
  pageLayout->addStretch();
  setWidget(content);
}

QWidget* TfrZurFrame::Control(const QString& fieldName) const {
  const auto it = m_controls.find(fieldName.toUpper());
  return it == m_controls.end() ? nullptr : it->second;
}

TZurDataControl* TfrZurFrame::DataControl(const QString& fieldName) const {
  return AsDataControl(Control(fieldName));
}

// --- Frontespizio ------------------------------------------------------------------------------------

TfrZurFrontespizio::TfrZurFrontespizio(TFormPage page, QWidget* parent)
    : TfrZurFrame(std::move(page), parent) {
  Build();
  // The region's name follows a region chosen from the table while the
  // record is being edited; a code typed by hand leaves it alone.
  if (auto* region = dynamic_cast<TZurDBLookupEdit*>(Control(QStringLiteral("SIRAPCODREG")))) {
    region->OnButtonClick = [this, region] {
      StandardLookup(*region);
      TClientDataSet* ds = dsMain.DataSet();
      if (ds && ds->State() == TDataSetState::Edit)
        ds->FieldByName(QStringLiteral("SIRAPREGIONE")).SetAsString(zur::LastChosenDescription());
    };
  }
}

QWidget* TfrZurFrontespizio::CreateControl(const TFormField& field, QWidget* parent) {
  if (field.kind != TControlKind::Sex) return TfrZurFrame::CreateControl(field, parent);
  // The two buttons stand for the field without being bound to it: choosing
  // one, with the mouse or by moving onto it with the keyboard, writes it.
  auto* box = new QWidget(parent);
  box->setObjectName(QStringLiteral("paSesso"));
  auto* h = new QHBoxLayout(box);
  h->setContentsMargins(0, 0, 0, 0);
  rbSessoM = new QRadioButton(QStringLiteral("M"), box);
  rbSessoF = new QRadioButton(QStringLiteral("F"), box);
  rbSessoM->setObjectName(QStringLiteral("rbSessoM"));
  rbSessoF->setObjectName(QStringLiteral("rbSessoF"));
  h->addWidget(rbSessoM);
  h->addWidget(rbSessoF);
  connect(rbSessoM, &QRadioButton::clicked, this, [this] { SetSex(QStringLiteral("M")); });
  connect(rbSessoF, &QRadioButton::clicked, this, [this] { SetSex(QStringLiteral("F")); });
  for (QRadioButton* rb : {rbSessoM, rbSessoF}) {
    rb->setFocusPolicy(Qt::StrongFocus);
    rb->installEventFilter(this);
  }
  box->setFixedWidth(90);
  box->setFocusProxy(rbSessoM);
  return box;
}

bool TfrZurFrontespizio::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && (watched == rbSessoM || watched == rbSessoF)) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
      SetSex(watched == rbSessoM ? QStringLiteral("M") : QStringLiteral("F"));
  }
  return TfrZurFrame::eventFilter(watched, event);
}

void TfrZurFrontespizio::SetSex(const QString& value) {
  TClientDataSet* ds = dsMain.DataSet();
  if (!ds || !ds->Active() || ds->IsEmpty()) return;
  try {
    if (ds->State() == TDataSetState::Browse) ds->Edit();
    ds->FieldByName(QStringLiteral("LIRAPSESSO")).SetAsString(value);
    (value == QLatin1String("M") ? rbSessoM : rbSessoF)->setChecked(true);
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
  }
}

void TfrZurFrontespizio::ShowSex() {
  TClientDataSet* ds = dsMain.DataSet();
  if (!ds || !ds->Active() || ds->IsEmpty() || !rbSessoM) return;
  const QString sex = ds->FieldByName(QStringLiteral("LIRAPSESSO")).AsString();
  if (sex == QLatin1String("M")) rbSessoM->setChecked(true);
  if (sex == QLatin1String("F")) rbSessoF->setChecked(true);
}

void TfrZurFrontespizio::ClearSex() {
  if (!rbSessoM) return;
  rbSessoM->setAutoExclusive(false);
  rbSessoF->setAutoExclusive(false);
  rbSessoM->setChecked(false);
  rbSessoF->setChecked(false);
  rbSessoM->setAutoExclusive(true);
  rbSessoF->setAutoExclusive(true);
}
