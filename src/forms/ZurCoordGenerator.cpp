#include "forms/ZurCoordGenerator.h"

#include "declaration/ZurCatalogue.h"
#include "platform/ZurError.h"
#include "print/zurMPDF.h"
#include "print/zurStandInModel.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

using namespace standin;

namespace zurform {
namespace {

// The page, in millimetres from its top-left corner. PrintRect positions are
// whole millimetres, so every baseline and every box's anchor is laid on a
// whole number.
constexpr double kRigoX = kPageLeft;
constexpr int kCaptionX = 24;  // captions start here at the least
constexpr int kFieldZone = 94; // beside a caption, boxes start here
constexpr int kRight = int(kPageRight);
constexpr int kHeaderBaseline = 22; // fiscal code and module number
constexpr int kContentTop = 28;
constexpr int kContentBottom = 286;
constexpr int kLastTemplate = 21; // 22 and 23 are the print template's pages
constexpr double kCell = 3.2;     // pitch of the character cells
constexpr int kTextPt = 8;        // the values
constexpr double kSlotGap = 3;    // between two boxes of a row
constexpr double kMaxHeaderWidth = 40;
// A line of boxes: the column captions above, the box, a gap.
constexpr int kBaselineInLine = 4;
constexpr int kLineHeight = 6;

using TAttrs = std::vector<std::pair<QString, QString>>;

QString Num(double v) {
  QString s = QString::number(v, 'f', 2);
  while (s.contains(u'.') && (s.endsWith(u'0') || s.endsWith(u'.')))
    s.chop(1);
  return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

struct TOutEdit {
  QString name;
  TPrintBox box;
  TAttrs attrs; // drawing attributes of the model
  std::vector<TAttrs> rects;
};

struct TOutSection {
  QString dataSet;
  TAttrs attrs;
  std::vector<TOutEdit> edits;
};

struct TOutPage {
  QString name;
  int templ = 0;
  QString title;
  std::vector<TOutSection> sections;
};

// One box of a form row, before it is placed.
struct TItem {
  QString name;
  TPrintBox box;
  QString column;
  QString header;
  double slot = 0; // width the box and its column caption take in the row
  int headerLines = 0;
  bool label = false;
};

struct TPlaced {
  size_t item; // index in the row's items
  double left; // the slot's left edge
  int baseline;
};

// A form row laid out from its top at 0.
struct TRowLayout {
  std::vector<TItem> items;
  // A row without a code whose first field is an Etichetta shows that
  // field's value as its code (the regional rows' IR32, IR33, ...).
  std::optional<TItem> codeItem;
  std::vector<TPlaced> placed;
  QString code;
  QStringList caption;
  QString captionText;
  double captionX = kCaptionX;
  double captionW = 0;
  double captionY = 3;
  int height = 0;
};

double HeaderNumberWidth(const QString& column) {
  return column.isEmpty() ? 0 : TextWidthMm(column, kHeaderPt, true) + 0.8;
}

TItem MakeItem(const QString& name, const TPrintBox& box, const QString& column, const QString& header) {
  TItem item{name, box, column, header, box.width, 0};
  if (column.isEmpty() && header.isEmpty()) return item;
  const double number = HeaderNumberWidth(column);
  // A little slack, so that a caption measured to fit its slot is not
  // broken by the rounding of the measure.
  const double text = number + TextWidthMm(header, kHeaderPt) + 0.6;
  item.slot = std::max(box.width, std::min(text, kMaxHeaderWidth));
  item.headerLines = std::max<int>(1, int(WrapText(header, kHeaderPt, item.slot - number).size()));
  return item;
}

// The boxes flowed from left to right between zoneLeft and zoneRight, a new
// line when the next does not fit; returns the bottom of the last line.
int Flow(std::vector<TItem>& items, std::vector<TPlaced>& placed, int zoneLeft, int zoneRight, int top) {
  const double zone = zoneRight - zoneLeft;
  std::vector<std::vector<std::pair<size_t, double>>> lines(1);
  double x = zoneLeft;
  for (size_t i = 0; i < items.size(); ++i) {
    TItem& item = items[i];
    item.slot = std::min(item.slot, zone);
    item.box.width = std::min(item.box.width, zone);
    if (!lines.back().empty() && x + item.slot > zoneRight + 0.01) {
      lines.emplace_back();
      x = zoneLeft;
    }
    lines.back().push_back({i, x});
    x = std::ceil(x + item.slot + kSlotGap);
  }
  // An amount alone on its row sits against the right margin, where the
  // form keeps its column of amounts.
  if (items.size() == 1 && items[0].headerLines == 0 && items[0].box.cells == 0 &&
      QLatin1String(items[0].box.alignment) == QLatin1String("taRightJustify"))
    lines[0][0].second = std::floor(zoneRight - items[0].slot);
  int lineTop = top;
  for (const auto& line : lines) {
    int headerLines = 0;
    for (const auto& [item, left] : line)
      headerLines = std::max(headerLines, items[item].headerLines);
    const int headerBlock = headerLines > 0 ? headerLines * int(kHeaderLeading) + 1 : 0;
    for (const auto& [item, left] : line)
      placed.push_back({item, left, lineTop + headerBlock + kBaselineInLine});
    lineTop += headerBlock + kLineHeight;
  }
  return lineTop;
}

// The row's caption beside its boxes, or above them when that takes less
// room (a row of many columns).
TRowLayout LayoutRow(const TFormRow& row, std::vector<TItem> items) {
  TRowLayout side;
  side.code = row.code.trimmed();
  side.captionText = row.caption.trimmed();
  double codeWidth = TextWidthMm(side.code, kRigoPt, true);
  if (side.code.isEmpty() && !items.empty() && items.front().label) {
    side.codeItem = items.front();
    codeWidth = side.codeItem->box.width;
    side.codeItem->box.width = 0; // no box around a code
    items.erase(items.begin());
  }
  side.captionX = std::max<double>(kCaptionX, std::ceil(kRigoX + codeWidth + 2));
  side.items = std::move(items);
  TRowLayout below = side;

  const bool hasCaption = !side.captionText.isEmpty();
  const int zoneLeft = hasCaption ? kFieldZone : int(side.captionX);
  side.captionW = kFieldZone - 2 - side.captionX;
  side.caption = WrapText(side.captionText, kCaptionPt, side.captionW);
  const int fieldsBottom = Flow(side.items, side.placed, zoneLeft, kRight, 0);
  const int firstBaseline = side.placed.empty() ? 3 : side.placed.front().baseline;
  const double captionLines = double(std::max<qsizetype>(side.caption.size(), 1) - 1) * kCaptionLeading;
  side.captionY = std::max(3.0, firstBaseline - captionLines);
  side.height = std::max(fieldsBottom, int(std::ceil(side.captionY + captionLines + 2)));
  if (!hasCaption) return side;

  below.captionW = kRight - below.captionX;
  below.caption = WrapText(below.captionText, kCaptionPt, below.captionW);
  const double belowLines = double(below.caption.size() - 1) * kCaptionLeading;
  below.height =
      Flow(below.items, below.placed, int(below.captionX), kRight, int(std::ceil(3 + belowLines + 1)));
  return below.height < side.height ? below : side;
}

// The edit of a placed box: its anchor (where the driver writes the value)
// and the box around it.
TOutEdit PlaceEdit(const TItem& item, const TPlaced& p, int rowTop) {
  const TPrintBox& box = item.box;
  int left = 0;
  double boxLeft = p.left;
  const QLatin1String alignment(box.alignment);
  if (alignment == QLatin1String("taCenter")) {
    left = int(std::lround(p.left + box.width / 2));
    boxLeft = left - box.width / 2;
  } else if (alignment == QLatin1String("taRightJustify")) {
    left = box.cells > 0 ? int(std::ceil(p.left + box.width)) : int(std::floor(p.left + box.width - 1));
    boxLeft = box.cells > 0 ? left - box.width : p.left;
  } else {
    left = int(std::ceil(p.left)) + (box.cells > 0 ? 0 : 1);
    boxLeft = box.cells > 0 ? left : left - 1;
  }
  TOutEdit edit;
  edit.name = item.name;
  edit.box = box;
  if (!item.column.isEmpty()) edit.attrs.push_back({QStringLiteral("Column"), item.column});
  if (!item.header.isEmpty()) edit.attrs.push_back({QStringLiteral("Header"), item.header});
  if (!item.column.isEmpty() || !item.header.isEmpty()) {
    edit.attrs.push_back({QStringLiteral("HeaderX"), Num(std::min(p.left, boxLeft))});
    edit.attrs.push_back({QStringLiteral("HeaderW"), Num(item.slot)});
  }
  TAttrs rect = {{QStringLiteral("Top"), QString::number(rowTop + p.baseline)},
                 {QStringLiteral("Left"), QString::number(left)},
                 {QStringLiteral("Height"), QString::number(kTextPt)},
                 {QStringLiteral("Space"), Num(box.space)},
                 {QStringLiteral("vOffset"), QStringLiteral("0")},
                 {QStringLiteral("oOffset"), QStringLiteral("0")},
                 {QStringLiteral("MinIndex"), QStringLiteral("0")},
                 {QStringLiteral("MaxIndex"), QStringLiteral("0")},
                 {QStringLiteral("BoxDx"), Num(boxLeft - left)},
                 {QStringLiteral("BoxWidth"), Num(box.width)},
                 {QStringLiteral("Cells"), QString::number(box.cells)}};
  if (*box.groups) rect.push_back({QStringLiteral("Groups"), QLatin1String(box.groups)});
  edit.rects.push_back(rect);
  return edit;
}

// The row's edits at rowTop; the first carries the row's code, caption and
// the rule above it.
std::vector<TOutEdit> PlaceRow(const TRowLayout& row, int rowTop, bool rule, int rigoStep = 0) {
  std::vector<TOutEdit> edits;
  if (row.codeItem)
    edits.push_back(PlaceEdit(*row.codeItem, {0, kRigoX - 1, int(std::lround(row.captionY))}, rowTop));
  for (const TPlaced& p : row.placed)
    edits.push_back(PlaceEdit(row.items[p.item], p, rowTop));
  if (edits.empty()) return edits;
  TAttrs& first = edits.front().attrs;
  TAttrs head;
  if (rule) head.push_back({QStringLiteral("RuleY"), QString::number(rowTop)});
  if (!row.code.isEmpty()) {
    head.push_back({QStringLiteral("Rigo"), row.code});
    head.push_back({QStringLiteral("RigoX"), Num(kRigoX)});
    head.push_back({QStringLiteral("RigoY"), Num(rowTop + row.captionY)});
    if (rigoStep != 0) head.push_back({QStringLiteral("RigoStep"), QString::number(rigoStep)});
  }
  if (!row.captionText.isEmpty()) {
    head.push_back({QStringLiteral("Caption"), row.captionText});
    head.push_back({QStringLiteral("CaptionX"), Num(row.captionX)});
    head.push_back({QStringLiteral("CaptionY"), Num(rowTop + row.captionY)});
    head.push_back({QStringLiteral("CaptionW"), Num(row.captionW)});
  }
  first.insert(first.begin(), head.begin(), head.end());
  return edits;
}

// The dataset types of a page's fields, by name.
QHash<QString, TFieldType> TypesOf(const TFormPage& page) {
  QHash<QString, TFieldType> types;
  if (const TZurDataSetDecl* decl = TZurCatalogue::Find(page.dataSet))
    for (const auto& f : TZurCatalogue::Structure(*decl))
      types.insert(f.name.toUpper(), f.type);
  return types;
}

std::vector<TItem> ItemsOf(const TFormRow& row, const QHash<QString, TFieldType>& types) {
  std::vector<TItem> items;
  for (const TFormField& f : row.fields) {
    const QString column = f.column > 0 ? QString::number(f.column) : QString();
    if (f.hidden) continue;
    if (f.kind == TControlKind::Sex) {
      TFormField flag = f;
      flag.format = TPrintFormat::Flag;
      const TPrintBox box = PrintBoxOf(flag, TFieldType::String);
      items.push_back(MakeItem(QStringLiteral("LIRAPSESSOM"), box, column, QStringLiteral("M")));
      items.push_back(MakeItem(QStringLiteral("LIRAPSESSOF"), box, QString(), QStringLiteral("F")));
      continue;
    }
    items.push_back(
        MakeItem(f.name, PrintBoxOf(f, types.value(f.name, TFieldType::String)), column, f.caption));
    items.back().label = f.kind == TControlKind::Label;
  }
  return items;
}

[[noreturn]] void Fail(const QString& what) {
  throw EZurError(QStringLiteral("Coordinate di stampa non generabili: ") + what, EZurError::Kind::File);
}

// The pages of one coordinate file being laid out.
class TCoordLayout {
public:
  TCoordLayout(const QString& file, const char* counter, int& nextTemplate)
      : m_file(file), m_counter(counter), m_nextTemplate(nextTemplate) {}

  // The page's sections and rows from the top of a new page, continuing on
  // further pages as needed.
  void FlowPage(const TFormPage& page) {
    const auto types = TypesOf(page);
    m_title = page.title;
    NewFormPage();
    for (const TFormSection& section : page.sections) {
      std::vector<TRowLayout> rows;
      for (const TFormRow& row : section.rows) {
        TRowLayout layout = LayoutRow(row, ItemsOf(row, types));
        if (!layout.placed.empty()) rows.push_back(std::move(layout));
      }
      if (rows.empty()) continue;
      const bool band = !section.code.isEmpty() || !section.title.isEmpty();
      const int bandHeight = band ? int(kBandHeight) + 1 : 0;
      if (m_y > kContentTop && m_y + bandHeight + rows.front().height > kContentBottom) NewFormPage();
      OpenSection(page.dataSet, section, band, false);
      bool first = true;
      for (const TRowLayout& row : rows) {
        if (!first && m_y + row.height > kContentBottom) {
          NewFormPage();
          OpenSection(page.dataSet, section, band, true);
          first = true;
        }
        auto edits = PlaceRow(row, m_y, !first);
        auto& target = m_pages.back().sections.back().edits;
        target.insert(target.end(), edits.begin(), edits.end());
        m_y += row.height;
        first = false;
      }
    }
  }

  // A page of one block of rows repeated down the page, one block per
  // repetition index: the regional rows.
  void RepeatPage(const TFormPage& page, const QString& name) {
    const auto types = TypesOf(page);
    NewPage(name, page.title);
    const TFormSection* firstSection = nullptr;
    std::vector<TRowLayout> rows;
    for (const TFormSection& section : page.sections)
      for (const TFormRow& row : section.rows) {
        TRowLayout layout = LayoutRow(row, ItemsOf(row, types));
        if (layout.placed.empty()) continue;
        if (!firstSection) firstSection = &section;
        rows.push_back(std::move(layout));
      }
    if (rows.empty()) return;
    const bool band = !firstSection->code.isEmpty() || !firstSection->title.isEmpty();
    OpenSection(page.dataSet, *firstSection, band, false);
    const int blockTop = m_y;
    std::vector<TOutEdit> edits;
    for (const TRowLayout& row : rows) {
      auto placed = PlaceRow(row, m_y, true, 1);
      edits.insert(edits.end(), placed.begin(), placed.end());
      m_y += row.height;
    }
    // The rule above each block's row parts it from the previous block.
    const int block = m_y - blockTop;
    const int count = (kContentBottom - blockTop) / block;
    if (count < 2) Fail(QStringLiteral("la pagina %1 non ha posto per due righi ripetuti").arg(name));
    for (TOutEdit& e : edits)
      for (TAttrs& rect : e.rects)
        for (auto& [key, value] : rect) {
          if (key == QLatin1String("vOffset")) value = QString::number(block);
          if (key == QLatin1String("MaxIndex")) value = QString::number(count - 1);
        }
    auto& target = m_pages.back().sections.back().edits;
    target.insert(target.end(), edits.begin(), edits.end());
  }

  std::vector<TOutPage> Pages(int formPages) {
    // A group of several pages numbers them in their titles.
    if (formPages > 1)
      for (int i = 0; i < formPages; ++i)
        m_pages[size_t(i)].title += QStringLiteral(" (pagina %1)").arg(i + 1);
    return m_pages;
  }
  int FormPages() const { return m_formPages; }

private:
  void NewFormPage() { NewPage(TdmZurPDF::FormPageName(m_file, m_formPages++), m_title); }

  void NewPage(const QString& name, const QString& title) {
    if (m_nextTemplate > kLastTemplate)
      Fail(QStringLiteral("il modulo richiede più di %1 pagine").arg(kLastTemplate));
    TOutPage page{name, m_nextTemplate++, title, {}};
    // The quadri carry the declarant's fiscal code and the module number at
    // the top of each page, the cover page on the pages after its first.
    if (*m_counter || m_pages.size() > 0) {
      TOutSection code{QStringLiteral("cdsFrontespizio"), {}, {}};
      code.edits.push_back(
          HeaderEdit(QStringLiteral("SIRAPCODFIS"), QStringLiteral("Codice fiscale"), 40, 16));
      page.sections.push_back(code);
    }
    if (*m_counter) {
      TOutSection module{QStringLiteral("cdsCampiAggiuntivi"), {}, {}};
      module.edits.push_back(HeaderEdit(QLatin1String(m_counter), QStringLiteral("Mod. N."), 182, 2));
      page.sections.push_back(module);
    }
    m_pages.push_back(page);
    m_y = kContentTop;
  }

  static TOutEdit HeaderEdit(const QString& name, const QString& caption, int left, int cells) {
    TFormField f;
    f.width = cells;
    TPrintBox box = PrintBoxOf(f, TFieldType::String);
    TItem item = MakeItem(name, box, QString(), QString());
    TOutEdit edit = PlaceEdit(item, {0, double(left), 0}, kHeaderBaseline);
    const double captionX = left - 2 - TextWidthMm(caption, kCaptionPt);
    edit.attrs = {{QStringLiteral("Caption"), caption},
                  {QStringLiteral("CaptionX"), Num(std::floor(captionX))},
                  {QStringLiteral("CaptionY"), QString::number(kHeaderBaseline)},
                  {QStringLiteral("CaptionW"), Num(left - std::floor(captionX))}};
    return edit;
  }

  void OpenSection(const QString& dataSet, const TFormSection& section, bool band, bool continued) {
    TOutSection out{dataSet, {}, {}};
    if (band) {
      if (!section.code.isEmpty()) out.attrs.push_back({QStringLiteral("Code"), section.code});
      QString title = section.title;
      if (continued) title += QStringLiteral(" (segue)");
      out.attrs.push_back({QStringLiteral("Title"), title});
      out.attrs.push_back({QStringLiteral("Top"), QString::number(m_y)});
      m_y += int(kBandHeight) + 1;
    }
    m_pages.back().sections.push_back(out);
  }

  QString m_file;
  const char* m_counter;
  int& m_nextTemplate;
  QString m_title;
  std::vector<TOutPage> m_pages;
  int m_formPages = 0;
  int m_y = kContentTop;
};

QString Attr(const QString& name, const QString& value) {
  return QStringLiteral(" %1=\"%2\"").arg(name, value.toHtmlEscaped());
}

QByteArray Serialise(const std::vector<TOutPage>& pages) {
  QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PdfConf>\n");
  for (const TOutPage& page : pages) {
    out += QStringLiteral("  <Page") + Attr(QStringLiteral("Name"), page.name) +
           Attr(QStringLiteral("Template"), QString::number(page.templ)) +
           Attr(QStringLiteral("Title"), page.title) + QStringLiteral(">\n");
    for (const TOutSection& section : page.sections) {
      out += QStringLiteral("    <Section") + Attr(QStringLiteral("Name"), section.dataSet) +
             Attr(QStringLiteral("Repeat"), QString());
      for (const auto& [key, value] : section.attrs)
        out += Attr(key, value);
      out += QStringLiteral(">\n");
      for (const TOutEdit& edit : section.edits) {
        out += QStringLiteral("      <Edit") + Attr(QStringLiteral("Name"), edit.name) +
               Attr(QStringLiteral("Alignment"), QLatin1String(edit.box.alignment)) +
               Attr(QStringLiteral("Type"), QLatin1String(edit.box.type));
        for (const auto& [key, value] : edit.attrs)
          out += Attr(key, value);
        out += QStringLiteral(">\n");
        for (const TAttrs& rect : edit.rects) {
          out += QStringLiteral("        <PrintRect");
          for (const auto& [key, value] : rect)
            out += Attr(key, value);
          out += QStringLiteral("/>\n");
        }
        out += QStringLiteral("      </Edit>\n");
      }
      out += QStringLiteral("    </Section>\n");
    }
    out += QStringLiteral("  </Page>\n");
  }
  out += QStringLiteral("</PdfConf>\n");
  return out.toUtf8();
}

const TFormPage& PageOf(const TZurFormDescription& form, const char* name) {
  const TFormPage* page = form.Page(QLatin1String(name));
  if (!page)
    Fail(QStringLiteral("manca la pagina %1 della descrizione del modello").arg(QLatin1String(name)));
  return *page;
}

} // namespace

TPrintBox PrintBoxOf(const TFormField& field, TFieldType dataType) {
  TPrintBox box;
  auto cells = [&box](int n, const char* alignment) {
    box.alignment = alignment;
    box.space = kCell;
    box.cells = n;
    box.width = kCell * n;
  };
  switch (field.format) {
  case TPrintFormat::Flag:
    box.type = "CB";
    box.alignment = "taCenter";
    box.cells = 1;
    box.width = 4;
    break;
  case TPrintFormat::Date:
    box.type = dataType == TFieldType::Date || dataType == TFieldType::String ? "DT" : "DG";
    cells(10, "taLeftJustify");
    box.groups = "2,2,4";
    break;
  case TPrintFormat::Amount:
    box.type = "TA";
    box.alignment = "taRightJustify";
    box.width = std::max(field.width, 6) * 1.6 + 3;
    break;
  case TPrintFormat::Decimal:
    box.alignment = "taRightJustify";
    box.width = std::max(field.width, 4) * 1.6 + 3;
    break;
  case TPrintFormat::Year:
    cells(4, "taLeftJustify");
    break;
  case TPrintFormat::Integer:
    cells(std::clamp(field.width, 1, 12), "taRightJustify");
    break;
  case TPrintFormat::Text:
    if (field.kind != TControlKind::Label && field.width <= 16) {
      cells(std::max(field.width, 1), "taLeftJustify");
    } else {
      // Capitals of the values' size take about 1.9 mm each.
      box.width = std::max(field.width, 4) * 1.9 + 2;
    }
    break;
  }
  return box;
}

QStringList PrintedFields(const TFormField& field) {
  if (field.hidden) return {};
  if (field.kind == TControlKind::Sex) return {QStringLiteral("LIRAPSESSOM"), QStringLiteral("LIRAPSESSOF")};
  return {field.name};
}

std::vector<TCoordFile> BuildCoordFiles(const TZurFormDescription& form) {
  int nextTemplate = 1;
  std::vector<TCoordFile> files;
  const struct {
    const char* file;
    const char* page;
    const char* counter;
  } groups[] = {{"Frontespizio.xml", "Frontespizio", ""},
                {"QuadroIK.xml", "QuadroIK", "IIKMODULECOUNT"},
                {"QuadroIR.xml", "QuadroIR", "IIRMODULECOUNT"},
                {"QuadroIS.xml", "QuadroIS", "IISMODULECOUNT"}};
  for (const auto& g : groups) {
    const QString file = QLatin1String(g.file);
    TCoordLayout layout(file, g.counter, nextTemplate);
    layout.FlowPage(PageOf(form, g.page));
    const int formPages = layout.FormPages();
    if (file == QLatin1String("QuadroIR.xml"))
      layout.RepeatPage(PageOf(form, "QuadroIRVar"), QStringLiteral("IRVAR"));
    files.push_back({file, Serialise(layout.Pages(formPages))});
  }
  return files;
}

} // namespace zurform
