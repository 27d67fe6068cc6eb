#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"
#include "ui/zurFFrames.h"

#include <QAction>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QToolBar>
#include <QVBoxLayout>

using namespace zurform;

namespace {

constexpr int kBlocks = 4;

QLabel* SmallCaption(const TFormField& f, QWidget* parent) {
  auto* l =
      new QLabel(f.column > 0 ? QStringLiteral("%1 %2").arg(f.column).arg(f.caption) : f.caption, parent);
  QFont font = l->font();
  font.setPointSizeF(font.pointSizeF() * 0.85);
  l->setFont(font);
  l->setWordWrap(true);
  return l;
}

} // namespace

TfrZurQuadroIRVar::TfrZurQuadroIRVar(TFormPage page, QWidget* parent)
    : QWidget(parent), m_page(std::move(page)) {
  setObjectName(m_page.instance);
  auto* v = new QVBoxLayout(this);

  tbNavigator = new QToolBar(this);
  tbNavigator->setObjectName(QStringLiteral("tbNavigator"));
  tbNavigator->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto add = [this](const QString& caption, const QString& hint,
                    std::function<void(TClientDataSet&)> action) {
    QAction* a = tbNavigator->addAction(caption);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    connect(a, &QAction::triggered, this, [this, action] { Run(action); });
    return a;
  };
  acPrimo =
      add(QStringLiteral("&Primo"), QStringLiteral("Primo elemento"), [](TClientDataSet& d) { d.First(); });
  acPrecedente = add(QStringLiteral("Pre&cedente"), QStringLiteral("Elemento precedente"),
                     [](TClientDataSet& d) { d.Prior(); });
  acSuccessivo = add(QStringLiteral("&Successivo"), QStringLiteral("Elemento successivo"),
                     [](TClientDataSet& d) { d.Next(); });
  acUltimo =
      add(QStringLiteral("&Ultimo"), QStringLiteral("Ultimo elemento"), [](TClientDataSet& d) { d.Last(); });
  tbNavigator->addSeparator();
  // A new row always goes at the end, never before the current one.
  acInserisci = add(QStringLiteral("&Inserisci"), QStringLiteral("Nuovo elemento"),
                    [](TClientDataSet& d) { d.Append(); });
  acCancella = add(QStringLiteral("C&ancella"), QStringLiteral("Cancella elemento"),
                   [](TClientDataSet& d) { d.Delete(); });
  acModifica = add(QStringLiteral("&Modifica"), QStringLiteral("Modifica elemento"),
                   [](TClientDataSet& d) { d.Edit(); });
  tbNavigator->addSeparator();
  acConferma = add(QStringLiteral("C&onferma"), QStringLiteral("Conferma modifiche"),
                   [](TClientDataSet& d) { d.Post(); });
  acAnnulla = add(QStringLiteral("A&nnulla"), QStringLiteral("Annulla modifiche "),
                  [](TClientDataSet& d) { d.Cancel(); });
  tbNavigator->addSeparator();
  tbNavigator->addWidget(new QLabel(QStringLiteral(" Modulo "), tbNavigator));
  edModulo = new QLineEdit(tbNavigator);
  edModulo->setObjectName(QStringLiteral("edModulo"));
  edModulo->setReadOnly(true);
  edModulo->setFocusPolicy(Qt::NoFocus);
  edModulo->setFixedWidth(90);
  tbNavigator->addWidget(edModulo);
  v->addWidget(tbNavigator);

  const TFormSection* section = m_page.sections.empty() ? nullptr : &m_page.sections.front();
  if (section) {
    auto* head = new QLabel(
        QStringLiteral("<b>%1</b> %2").arg(section->code.toHtmlEscaped(), section->title.toHtmlEscaped()),
        this);
    v->addWidget(head);
  }
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  auto* content = new QWidget;
  auto* blocks = new QVBoxLayout(content);
  blocks->setSpacing(4);
  QWidget* previous = nullptr;
  for (int b = 0; b < kBlocks; ++b) {
    TBlock block;
    block.panel = new QFrame(content);
    static_cast<QFrame*>(block.panel)->setFrameShape(QFrame::StyledPanel);
    block.panel->setObjectName(QStringLiteral("paBlocco%1").arg(b + 1));
    block.panel->installEventFilter(this);
    auto* grid = new QHBoxLayout(block.panel);
    QVBoxLayout* column = nullptr;
    auto* lines = new QVBoxLayout;
    QHBoxLayout* line = nullptr;
    int used = 0;
    for (const TFormRow& row : section ? section->rows : std::vector<TFormRow>{}) {
      for (const TFormField& f : row.fields) {
        QWidget* control = CreateFieldControl(f, block.panel);
        control->installEventFilter(this);
        block.controls[f.name] = control;
        if (f.kind == TControlKind::Label) {
          control->setFixedWidth(56);
          grid->addWidget(control, 0, Qt::AlignTop);
          continue;
        }
        if (previous) setTabOrder(previous, control);
        previous = control;
        auto* cell = new QWidget(block.panel);
        cell->setObjectName(QStringLiteral("cell") + f.name);
        column = new QVBoxLayout(cell);
        column->setContentsMargins(0, 0, 6, 0);
        column->setSpacing(1);
        auto* caption = SmallCaption(f, cell);
        caption->setFixedWidth(std::max(control->width(), 118));
        caption->setFixedHeight(caption->fontMetrics().lineSpacing() * 2 + 2);
        caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        column->addWidget(caption);
        column->addWidget(control);
        control->setParent(cell);
        if (f.hidden) cell->setVisible(false);
        const int w = std::max(control->width(), 118) + 10;
        if (!line || used + w > 1000) {
          line = new QHBoxLayout;
          lines->addLayout(line);
          used = 0;
        }
        line->addWidget(cell, 0, Qt::AlignTop);
        used += w;
      }
    }
    if (line) line->addStretch();
    grid->addLayout(lines, 1);
    blocks->addWidget(block.panel);
    m_blocks.push_back(std::move(block));
  }
  blocks->addStretch();
  scroll->setWidget(content);
  v->addWidget(scroll, 1);

  dsMain.OnDataChange = [this] { DataChanged(); };
  dsMain.OnStateChange = [this] { StateChanged(); };
  Repaint();
}

TfrZurQuadroIRVar::~TfrZurQuadroIRVar() {
  dsMain.OnDataChange = nullptr;
  dsMain.OnStateChange = nullptr;
}

void TfrZurQuadroIRVar::GoFirstRow() {
  Run([](TClientDataSet& d) { d.First(); });
}

QWidget* TfrZurQuadroIRVar::Control(const QString& fieldName) const {
  const int live = m_live >= 0 ? m_live : 0;
  const auto& controls = m_blocks[size_t(live)].controls;
  const auto it = controls.find(fieldName.toUpper());
  return it == controls.end() ? nullptr : it->second;
}

void TfrZurQuadroIRVar::Run(const std::function<void(TClientDataSet&)>& action) {
  TClientDataSet* ds = dsMain.DataSet();
  if (!ds || !ds->Active()) return;
  try {
    action(*ds);
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
  }
  Repaint();
}

void TfrZurQuadroIRVar::DataChanged() {
  if (!m_painting) Repaint();
}

void TfrZurQuadroIRVar::StateChanged() {
  if (!m_painting) Repaint();
}

// Puts the current record's block in the window, binds its controls and
// fills the other blocks with their records' values, read without moving the
// cursor (the frame repaints inside the dataset's own notifications, where a
// moved cursor would upset whoever is walking the records).
void TfrZurQuadroIRVar::Repaint() {
  if (m_painting) return;
  m_painting = true;
  TClientDataSet* ds = dsMain.DataSet();
  const bool active = ds && ds->Active();
  const TDataSetState state = active ? ds->State() : TDataSetState::Inactive;
  const int count = active ? ds->RecordCount() : 0;
  const bool inserting = state == TDataSetState::Insert;
  const int current = active ? ds->RecNo() : 0;
  if (current > 0) {
    if (current < m_top) m_top = current;
    if (current >= m_top + kBlocks) m_top = current - kBlocks + 1;
  }
  const int rows = inserting ? count + 1 : count;
  if (m_top > std::max(1, rows - kBlocks + 1)) m_top = std::max(1, rows - kBlocks + 1);

  m_live = current > 0 ? current - m_top : -1;
  const bool developer = QFileInfo::exists(zur::RootDir() + QLatin1String(zur::kDevMarker));
  for (int b = 0; b < kBlocks; ++b) {
    TBlock& block = m_blocks[size_t(b)];
    const bool live = b == m_live;
    const bool filled = live || m_top + b <= count;
    for (const auto& [name, w] : block.controls) {
      auto* dc = AsDataControl(w);
      if (!dc) continue;
      if (live) {
        if (dc->DataSource() != &dsMain) dc->SetDataSource(&dsMain);
      } else {
        if (dc->DataSource()) dc->SetDataSource(nullptr);
        const int recNo = m_top + b;
        TField* f = active && recNo <= count ? ds->FindField(name) : nullptr;
        dc->ShowDetached(f ? ds->TextAt(recNo, *f) : QString());
      }
      if (name == QLatin1String("IIRAPID") && w->parentWidget()) {
        w->setVisible(developer);
        w->parentWidget()->setVisible(developer);
      }
    }
    block.panel->setEnabled(filled);
    block.panel->setProperty("zurLive", live);
    block.panel->setStyleSheet(
        live ? QStringLiteral("QFrame#%1 { border: 2px solid #3a6ea5; }").arg(block.panel->objectName())
             : QString());
  }

  const bool browsing = state == TDataSetState::Browse;
  const bool editing = state == TDataSetState::Edit || inserting;
  acPrimo->setEnabled(browsing && current > 1);
  acPrecedente->setEnabled(browsing && current > 1);
  acSuccessivo->setEnabled(browsing && current < count);
  acUltimo->setEnabled(browsing && current < count);
  acInserisci->setEnabled(active);
  acCancella->setEnabled(active && count > 0 && !inserting);
  acModifica->setEnabled(browsing && count > 0);
  acConferma->setEnabled(editing);
  acAnnulla->setEnabled(editing);
  edModulo->setText(!active     ? QString()
                    : inserting ? QStringLiteral("Ins.")
                                : QStringLiteral("%1 di %2").arg(count > 0 ? current : 0).arg(count));
  m_painting = false;
}

void TfrZurQuadroIRVar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Repaint();
}

// A click on another record's block moves to that record.
bool TfrZurQuadroIRVar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn) {
    for (int b = 0; b < int(m_blocks.size()); ++b) {
      QWidget* panel = m_blocks[size_t(b)].panel;
      auto* w = qobject_cast<QWidget*>(watched);
      if (b == m_live || !w || !(w == panel || panel->isAncestorOf(w))) continue;
      TClientDataSet* ds = dsMain.DataSet();
      if (!ds || !ds->Active() || m_top + b > ds->RecordCount()) break;
      const int target = m_top + b;
      Run([target](TClientDataSet& d) { d.SetRecNo(target); });
      break;
    }
  }
  return QWidget::eventFilter(watched, event);
}
