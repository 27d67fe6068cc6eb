// A declaration with every field of the form filled, printed through the
// four print drivers onto the installed model and read back with pdftotext:
// every value stands inside its own box, whole, written as a clerk would
// write it, and no value stands outside a box.
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "forms/ZurCoordGenerator.h"
#include "platform/zurUGlobal.h"
#include "print/PrintTestSupport.h"
#include "print/zurStandInModel.h"
#include "support/DeclarationFixture.h"
#include "support/ScriptedPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace zurform;
using namespace printtest;
using zurtest::Fld;

namespace {

const QString kRes = QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/");

QString Q(const char* s) {
  return QString::fromUtf8(s);
}

QString Grouped(qint64 units) {
  QString digits = QString::number(units);
  for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
    digits.insert(i, u'.');
  return digits;
}

QString NoSpaces(QString s) {
  return s.remove(u' ');
}

// What a clerk would write in the box of a field holding this value.
QString Written(const TFormField& f, TFieldType type, const TField& field) {
  const QString raw = field.AsString();
  if (raw.isEmpty()) return {};
  switch (f.format) {
  case TPrintFormat::Amount:
    return Grouped(field.AsCurrency().ToInteger());
  case TPrintFormat::Date:
    return (type == TFieldType::Date ? field.AsDate() : QDate(1899, 12, 30).addDays(field.AsInteger()))
        .toString(Q("ddMMyyyy"));
  case TPrintFormat::Flag:
    return raw == Q("1") ? Q("X") : QString();
  default:
    return NoSpaces(raw);
  }
}

// What a clerk would write in the box of an edit of a coordinate file: by
// the form's field, or for the sex boxes and the pages' heads by the edit.
QString Expected(const TFormPage* page, const TXMLEditType& edit, const TField& field) {
  const TFormField* f = page ? page->Field(edit.Name()) : nullptr;
  if (!f || edit.Name().startsWith(Q("LIRAPSESSO"))) {
    TFormField box;
    box.format = edit.Type() == Q("CB") ? TPrintFormat::Flag : TPrintFormat::Text;
    return Written(box, TFieldType::String, field);
  }
  TFieldType type = TFieldType::String;
  for (const auto& d : TZurCatalogue::Structure(*TZurCatalogue::Find(page->dataSet)))
    if (d.name.compare(f->name, Qt::CaseInsensitive) == 0) type = d.type;
  return Written(*f, type, field);
}

// The value words inside the box of a rectangle at repetition index i, read
// left to right; each is marked used, and one that spills out of the box
// fails. A box of no width (a row code) takes the word starting at its place.
QString ReadBox(const std::vector<TWord>& values, std::vector<bool>& used, const TXMLPrintRectType& rect,
                int i, const QString& name) {
  const auto place = PlacePrintRect(rect, i);
  if (!place) return Q("<nessun posto>");
  const double left = place->x + rect.Element().attribute(Q("BoxDx")).toDouble();
  const double right = left + std::max(rect.Element().attribute(Q("BoxWidth")).toDouble(), 0.0);
  const double top = place->y - standin::kBoxAbove, bottom = place->y + standin::kBoxBelow;
  std::vector<const TWord*> inside;
  for (size_t w = 0; w < values.size(); ++w) {
    const TWord& word = values[w];
    const bool here = word.CenterY() > top && word.CenterY() < bottom &&
                      (right > left ? word.CenterX() > left && word.CenterX() < right
                                    : std::abs(word.xMin - place->x) < 0.5);
    if (!here) continue;
    EXPECT_FALSE(used[w]) << qPrintable(word.text) << " in two boxes";
    used[w] = true;
    inside.push_back(&word);
    if (right > left) {
      EXPECT_TRUE(word.xMin > left - 0.2 && word.xMax < right + 0.2)
          << name.toStdString() << ": " << word.text.toStdString() << " spills out of its box";
    }
  }
  std::sort(inside.begin(), inside.end(), [](const TWord* a, const TWord* b) { return a->xMin < b->xMin; });
  QString got;
  for (const TWord* w : inside)
    got += w->text;
  return got;
}

class FilledDeclarationPrint : public ::testing::Test {
protected:
  void SetUp() override {
    m_previousRoot = zur::RootDir();
    zur::SetRootDir(m_root.path());
    QDir().mkpath(CoordDir());
    for (const QString& name : QDir(kRes + Q("CoordStp")).entryList(QDir::Files))
      ASSERT_TRUE(QFile::copy(kRes + Q("CoordStp/") + name, CoordDir() + name));
    zurtest::OpenCatalogueDeclaration(m_dati, 7, 1000001, "97123450583");
  }
  void TearDown() override { zur::SetRootDir(m_previousRoot); }

  QString CoordDir() const { return m_root.path() + Q("/USR/FR2024/Res/CoordStp/"); }
  QString Out(const QString& name) const { return m_root.filePath(name); }

  // A realistic value for a field of the form, by its kind, format and width.
  QString ValueFor(const TFormField& f, TFieldType type, int row) {
    switch (f.format) {
    case TPrintFormat::Amount:
      ++m_amounts;
      return QString::number(1000 + 7919 * m_amounts + row) + (type == TFieldType::Integer ? Q("") : Q(",5"));
    case TPrintFormat::Date:
      if (type == TFieldType::Date || type == TFieldType::String) return Q("15/03/2024");
      return f.name.contains(Q("FINE")) ? Q("45657") : Q("45292"); // 31/12/2024, 01/01/2024
    case TPrintFormat::Flag:
      return Q("1");
    case TPrintFormat::Year:
      return Q("2023");
    case TPrintFormat::Integer:
      return Q("12345").left(std::min(f.width, 5));
    case TPrintFormat::Decimal:
      return Q("3,9");
    case TPrintFormat::Text:
      break;
    }
    if (!f.values.isEmpty()) return f.values.last();
    const std::pair<const char*, const char*> named[] = {{"ATECO", "85.31.10"},
                                                         {"PARTITAIVA", "01234567890"},
                                                         {"EMAIL", "segreteria@icgalilei.it"},
                                                         {"TELEFONO", "050987654"},
                                                         {"FAX", "050987655"},
                                                         {"TELCELL", "3471234567"},
                                                         {"CAP", "56127"},
                                                         {"PROVINCIA", "PI"},
                                                         {"CODCOMUNE", "G702"},
                                                         {"DENOM", "ISTITUTO COMPRENSIVO G. GALILEI"}};
    for (const auto& [part, value] : named)
      if (f.name.contains(QLatin1String(part)) && QString::fromUtf8(value).size() <= f.width) return Q(value);
    if (f.width == 16) return Q("RSSMRA80A01G702Q");
    if (f.width == 11) return Q("80011990639");
    if (f.width <= 2) return Q("09").right(f.width);
    return Q("VIA SAN FREDIANO 12 PISA CENTRO STORICO").left(f.width).trimmed();
  }

  void Fill(TClientDataSet& ds, const TFormPage& page, int row = 0) {
    std::map<QString, TFieldType> types;
    for (const auto& d : TZurCatalogue::Structure(*TZurCatalogue::Find(page.dataSet)))
      types[d.name.toUpper()] = d.type;
    for (const TFormField* f : page.Fields()) {
      if (f->hidden || f->kind == TControlKind::Label || f->name == Q("SIRAPCODFIS")) continue;
      const QString value = f->kind == TControlKind::Sex ? Q("F") : ValueFor(*f, types.at(f->name), row);
      ds.FieldByName(f->name).SetAsString(value);
    }
  }

  QTemporaryDir m_root;
  QString m_previousRoot;
  TScriptedPlatform m_platform;
  TdmZurDati m_dati;
  int m_amounts = 0;
};

TEST_F(FilledDeclarationPrint, EveryValueStandsWholeInsideItsBoxAsAClerkWritesIt) {
  const TZurFormDescription form = TZurFormDescription::Load(kRes + Q("Modello"));
  for (const char* page : {"Frontespizio", "QuadroIK", "QuadroIR", "QuadroIS"}) {
    const TFormPage& formPage = *form.Page(QLatin1String(page));
    TClientDataSet& ds = *m_dati.DataSetByName(formPage.dataSet);
    if (ds.IsEmpty())
      ds.Append();
    else
      ds.Edit();
    Fill(ds, formPage);
    ds.Post();
  }
  const int regionalRows = 9;
  for (int r = 0; r < regionalRows; ++r) {
    m_dati.cdsQuadroIRVar.Append();
    Fill(m_dati.cdsQuadroIRVar, *form.Page(Q("QuadroIRVar")), r);
    m_dati.cdsQuadroIRVar.Post();
  }

  const struct {
    const char* coord;
    const char* out;
    void (TdmZurDati::*print)(const QString&);
  } groups[] = {{"Frontespizio.xml", "fr.pdf", &TdmZurDati::PrintFrontespizio},
                {"QuadroIK.xml", "ik.pdf", &TdmZurDati::PrintQuadroIK},
                {"QuadroIR.xml", "ir.pdf", &TdmZurDati::PrintQuadroIR},
                {"QuadroIS.xml", "is.pdf", &TdmZurDati::PrintQuadroIS}};
  const auto modelWords = PdfWords(CoordDir() + Q("IRAP_mod.pdf"));
  ASSERT_EQ(modelWords.size(), size_t(kStandInPages));
  int boxes = 0;
  QStringList emptyBoxes;
  std::map<QString, QString> written; // field -> what its box holds (first record)
  for (const auto& g : groups) {
    (m_dati.*g.print)(Out(QLatin1String(g.out)));
    if (qEnvironmentVariableIsSet("ZUR_TEST_KEEP_PRINTS"))
      QFile::copy(Out(QLatin1String(g.out)), qEnvironmentVariable("ZUR_TEST_KEEP_PRINTS") + u'/' + g.out);
    const auto pages = PdfWords(Out(QLatin1String(g.out)));
    QFile f(CoordDir() + QLatin1String(g.coord));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QDomDocument doc = ParseCoordFile(f.readAll(), f.fileName());
    const TXMLPdfConfType conf = GetPdfConf(doc);
    ASSERT_EQ(pages.size(), size_t(conf.Count())) << g.out;
    for (int p = 0; p < conf.Count(); ++p) {
      const TXMLPageType page = conf.Item(p);
      // The printed words that are not the model's own nor the imprint in
      // the left margin: the values.
      std::vector<TWord> values;
      for (const TWord& w : pages[size_t(p)]) {
        bool model = w.xMax < standin::kPageLeft;
        for (const TWord& m : modelWords[size_t(page.Template() - 1)])
          model = model ||
                  (m.text == w.text && std::abs(m.xMin - w.xMin) < 0.1 && std::abs(m.yMin - w.yMin) < 0.1);
        if (!model) values.push_back(w);
      }
      std::vector<bool> used(values.size(), false);
      for (int s = 0; s < page.Count(); ++s) {
        const TXMLSectionType section = page.Item(s);
        TClientDataSet* ds = m_dati.DataSetByName(section.Name());
        ASSERT_NE(ds, nullptr);
        for (int e = 0; e < section.Count(); ++e) {
          const TXMLEditType edit = section.Item(e);
          const TXMLPrintRectType rect = edit.Item(0);
          // A repeated row is read for each record at its index.
          for (int i = 0; i < (rect.MaxIndex() > 0 ? regionalRows : 1); ++i) {
            if (rect.MaxIndex() > 0) {
              ds->First();
              for (int k = 0; k < i; ++k)
                ds->Next();
            }
            const QString expected = Expected(form.Page(section.Name()), edit, ds->FieldByName(edit.Name()));
            const QString got = ReadBox(values, used, rect, i, edit.Name());
            EXPECT_EQ(got.toStdString(), expected.toStdString())
                << g.out << " page " << p + 1 << " " << edit.Name().toStdString() << " index " << i;
            ++boxes;
            if (expected.isEmpty()) emptyBoxes << edit.Name();
            if (i == 0 && !written.count(edit.Name())) written[edit.Name()] = got;
          }
        }
      }
      for (size_t w = 0; w < values.size(); ++w)
        EXPECT_TRUE(used[w]) << g.out << " page " << p + 1 << ": \"" << values[w].text.toStdString()
                             << "\" outside every box";
    }
  }
  // Every box holds a value but the M of the sex, which is F.
  EXPECT_EQ(emptyBoxes.join(u' ').toStdString(), "LIRAPSESSOM");
  EXPECT_GT(boxes, 650);

  // The values that used to print wrong.
  EXPECT_EQ(written[Q("FIS201BG_ANNO")].toStdString(), "2023");
  EXPECT_EQ(written[Q("IIRAPANNOSL")].toStdString(), "2023");
  EXPECT_EQ(written[Q("FIS201DP_DATAINIZIO")].toStdString(), "01012024");
  EXPECT_EQ(written[Q("FIS201DP_DATAFINE")].toStdString(), "31122024");
  EXPECT_EQ(written[Q("DIRAPDATANASCITA")].toStdString(), "15032024");
  EXPECT_EQ(written[Q("SIS201BG_ATECO")].toStdString(), "85.31.10");
  EXPECT_EQ(written[Q("FIRALIQUOTA01")].toStdString(), "3,9");
  EXPECT_EQ(written[Q("LIRAPSESSOF")].toStdString(), "X");
  EXPECT_EQ(written[Q("RIGO")].toStdString(), "IR32");
  const QRegularExpression grouped(Q("^\\d{1,3}(\\.\\d{3})+$"));
  EXPECT_TRUE(grouped.match(written[Q("FIKVALIRAP1")]).hasMatch()) << qPrintable(written[Q("FIKVALIRAP1")]);
  EXPECT_TRUE(grouped.match(written[Q("FIRBASEIMP")]).hasMatch()) << qPrintable(written[Q("FIRBASEIMP")]);
  for (const char* out : {"fr.pdf", "ik.pdf", "ir.pdf", "is.pdf"}) {
    const QString text = PdfText(Out(QLatin1String(out)));
    for (const char* wrong : {"2.023", "45.292", "45.657", "30 12 1899"})
      EXPECT_FALSE(text.contains(QLatin1String(wrong))) << out << " " << wrong;
  }
}

} // namespace
