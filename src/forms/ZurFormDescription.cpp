#include "forms/ZurFormDescription.h"

#include "declaration/ZurCatalogue.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamReader>
#include <map>

namespace zurform {
namespace {

struct TKindName {
  const char* text;
  TControlKind kind;
};
constexpr TKindName kKinds[] = {
    {"Testo", TControlKind::Edit},   {"Data", TControlKind::Date},     {"Casella", TControlKind::Check},
    {"Elenco", TControlKind::Combo}, {"Codice", TControlKind::Lookup}, {"Etichetta", TControlKind::Label},
    {"Sesso", TControlKind::Sex},
};

struct TFormatName {
  const char* text;
  TPrintFormat format;
};
constexpr TFormatName kFormats[] = {
    {"Importo", TPrintFormat::Amount},   {"Intero", TPrintFormat::Integer}, {"Anno", TPrintFormat::Year},
    {"Data", TPrintFormat::Date},        {"Testo", TPrintFormat::Text},     {"Casella", TPrintFormat::Flag},
    {"Decimale", TPrintFormat::Decimal},
};

// The attributes each element may carry; anything else is a typing error in
// the form's XML files and is refused rather than silently ignored.
const std::map<QString, QSet<QString>>& Allowed() {
  static const std::map<QString, QSet<QString>> allowed = {
      {QStringLiteral("Pagina"), {"Nome", "Dataset", "Classe", "Istanza", "Titolo", "Ripetuta"}},
      {QStringLiteral("Sezione"), {"Codice", "Titolo"}},
      {QStringLiteral("Rigo"), {"Codice", "Descrizione"}},
      {QStringLiteral("Campo"),
       {"Nome", "Tipo", "Colonna", "Didascalia", "Tag", "Valori", "SolaLettura", "Disabilitato", "SaltaTab",
        "Nascosto", "Larghezza", "Suggerimento", "Formato"}},
      {QStringLiteral("FuoriModulo"), {"Nome", "Motivo"}},
  };
  return allowed;
}

class TPageReader {
public:
  TPageReader(const QByteArray& xml, const QString& file) : m_xml(xml), m_file(file) {}

  TFormPage Read() {
    TFormPage page;
    page.file = m_file;
    bool seenPage = false;
    while (!m_xml.atEnd()) {
      m_xml.readNext();
      if (m_xml.isStartElement()) {
        const QString name = m_xml.name().toString();
        CheckAttributes(name);
        if (name == QLatin1String("Pagina")) {
          if (seenPage || Depth() != 0) Fail(QStringLiteral("elemento Pagina fuori posto"));
          seenPage = true;
          ReadPageAttributes(page);
        } else if (name == QLatin1String("Sezione")) {
          Expect(1, name);
          page.sections.push_back({Attr("Codice"), Attr("Titolo"), {}, Line()});
        } else if (name == QLatin1String("Rigo")) {
          Expect(2, name);
          page.sections.back().rows.push_back({Attr("Codice"), Attr("Descrizione"), {}, Line()});
        } else if (name == QLatin1String("Campo")) {
          Expect(3, name);
          page.sections.back().rows.back().fields.push_back(ReadField());
        } else if (name == QLatin1String("FuoriModulo")) {
          Expect(1, name);
          page.offForm.push_back({Required("Nome"), Attr("Motivo")});
        }
        m_stack.push_back(name);
      } else if (m_xml.isEndElement()) {
        m_stack.pop_back();
      } else if (m_xml.isCharacters() && !m_xml.isWhitespace()) {
        Fail(QStringLiteral("testo inatteso \"%1\"").arg(m_xml.text().toString().trimmed().left(40)));
      } else if (m_xml.isDTD()) {
        Fail(QStringLiteral("DTD non ammessa"));
      }
    }
    if (m_xml.hasError()) Fail(QStringLiteral("XML non valido: ") + m_xml.errorString());
    if (!seenPage) Fail(QStringLiteral("manca l'elemento Pagina"));
    return page;
  }

private:
  int Depth() const { return int(m_stack.size()); }
  int Line() const { return int(m_xml.lineNumber()); }

  [[noreturn]] void Fail(const QString& what) const {
    throw EZurError(QStringLiteral("Descrizione del modello non valida (%1, riga %2): %3")
                        .arg(QFileInfo(m_file).fileName())
                        .arg(m_xml.lineNumber())
                        .arg(what),
                    EZurError::Kind::File, m_file);
  }

  void Expect(int depth, const QString& name) const {
    if (Depth() != depth) Fail(QStringLiteral("elemento %1 fuori posto").arg(name));
  }

  void CheckAttributes(const QString& element) const {
    const auto it = Allowed().find(element);
    if (it == Allowed().end()) Fail(QStringLiteral("elemento sconosciuto %1").arg(element));
    for (const auto& a : m_xml.attributes())
      if (!it->second.contains(a.name().toString()))
        Fail(QStringLiteral("attributo sconosciuto %1 in %2").arg(a.name().toString(), element));
  }

  QString Attr(const char* name) const { return m_xml.attributes().value(QLatin1String(name)).toString(); }

  QString Required(const char* name) const {
    const QString v = Attr(name).trimmed();
    if (v.isEmpty()) Fail(QStringLiteral("manca l'attributo %1").arg(QLatin1String(name)));
    return v;
  }

  int Number(const char* name, int min, int max) const {
    const QString text = Attr(name).trimmed();
    if (text.isEmpty()) return 0;
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
      Fail(QStringLiteral("%1=\"%2\" non è un numero tra %3 e %4")
               .arg(QLatin1String(name), text)
               .arg(min)
               .arg(max));
    return v;
  }

  bool Flag(const char* name) const {
    const QString text = Attr(name).trimmed();
    if (text.isEmpty() || text == QLatin1String("0")) return false;
    if (text == QLatin1String("1")) return true;
    Fail(QStringLiteral("%1=\"%2\": ammessi 0 e 1").arg(QLatin1String(name), text));
  }

  void ReadPageAttributes(TFormPage& page) const {
    page.name = Required("Nome");
    page.dataSet = Required("Dataset");
    page.frameClass = Attr("Classe");
    page.instance = Attr("Istanza");
    page.title = Attr("Titolo");
    page.repeat = Number("Ripetuta", 0, 20);
  }

  TFormField ReadField() const {
    TFormField f;
    f.line = Line();
    f.name = Required("Nome").toUpper();
    const QString kind = Attr("Tipo").trimmed();
    if (!kind.isEmpty()) {
      bool found = false;
      for (const auto& k : kKinds)
        if (kind == QLatin1String(k.text)) {
          f.kind = k.kind;
          found = true;
        }
      if (!found) Fail(QStringLiteral("tipo di controllo sconosciuto \"%1\" per %2").arg(kind, f.name));
    }
    f.column = Number("Colonna", 0, 99);
    f.caption = Attr("Didascalia");
    f.tag = Number("Tag", 0, int(zur::CodeTableIndex().size()));
    if (f.kind == TControlKind::Lookup && f.tag == 0)
      Fail(QStringLiteral("il campo %1 di tipo Codice non ha Tag").arg(f.name));
    if (m_xml.attributes().hasAttribute(QLatin1String("Valori"))) f.values = Attr("Valori").split(u'|');
    if (f.kind == TControlKind::Combo && f.values.isEmpty())
      Fail(QStringLiteral("il campo %1 di tipo Elenco non ha Valori").arg(f.name));
    f.readOnly = Flag("SolaLettura");
    f.disabled = Flag("Disabilitato");
    f.skipTab = Flag("SaltaTab");
    f.hidden = Flag("Nascosto");
    f.width = Number("Larghezza", 0, 120);
    f.hint = Attr("Suggerimento");
    const QString format = Attr("Formato").trimmed();
    if (!format.isEmpty()) {
      bool found = false;
      for (const auto& k : kFormats)
        if (format == QLatin1String(k.text)) {
          f.format = k.format;
          found = true;
        }
      if (!found) Fail(QStringLiteral("formato di stampa sconosciuto \"%1\" per %2").arg(format, f.name));
      explicitFormat.insert(f.name);
    }
    return f;
  }

public:
  // The fields whose printed format the page file gives; the others get
  // the format of their type.
  mutable QSet<QString> explicitFormat;

private:
  QXmlStreamReader m_xml;
  QString m_file;
  std::vector<QString> m_stack;
};

TPrintFormat FormatByType(const TFormField& f, TFieldType type) {
  if (f.kind == TControlKind::Check) return TPrintFormat::Flag;
  if (f.kind == TControlKind::Date) return TPrintFormat::Date;
  switch (type) {
  case TFieldType::Amount:
  case TFieldType::Float:
    return TPrintFormat::Amount;
  case TFieldType::Integer:
    return TPrintFormat::Integer;
  case TFieldType::Date:
    return TPrintFormat::Date;
  default:
    return TPrintFormat::Text;
  }
}

int WidthByType(const TFormField& f, const TDataPacketField& d) {
  switch (f.kind) {
  case TControlKind::Check:
  case TControlKind::Sex:
    return 1;
  case TControlKind::Date:
    return 10;
  default:
    break;
  }
  switch (d.type) {
  case TFieldType::Amount:
  case TFieldType::Float:
    return 14;
  case TFieldType::Integer:
    return 6;
  case TFieldType::Date:
    return 10;
  default:
    return std::min(d.size > 0 ? d.size : 24, 24);
  }
}

// Ties the page to the catalogue: every field exists in the page's dataset
// and appears once, on the form or in the list of fields it does not show.
void Resolve(TFormPage& page, const QSet<QString>& explicitFormat) {
  const TZurDataSetDecl* decl = TZurCatalogue::Find(page.dataSet);
  auto fail = [&](int line, const QString& what) {
    throw EZurError(QStringLiteral("Descrizione del modello non valida (%1, riga %2): %3")
                        .arg(QFileInfo(page.file).fileName())
                        .arg(line)
                        .arg(what),
                    EZurError::Kind::File, page.file);
  };
  if (!decl) fail(1, QStringLiteral("dataset sconosciuto %1").arg(page.dataSet));
  std::map<QString, TDataPacketField> structure;
  for (const auto& d : TZurCatalogue::Structure(*decl))
    structure[d.name.toUpper()] = d;
  QSet<QString> seen;
  for (auto& section : page.sections)
    for (auto& row : section.rows)
      for (auto& f : row.fields) {
        const auto it = structure.find(f.name);
        if (it == structure.end())
          fail(f.line, QStringLiteral("il dataset %1 non ha il campo %2").arg(page.dataSet, f.name));
        if (seen.contains(f.name)) fail(f.line, QStringLiteral("campo %1 ripetuto").arg(f.name));
        seen.insert(f.name);
        if (f.width == 0) f.width = WidthByType(f, it->second);
        if (!explicitFormat.contains(f.name)) f.format = FormatByType(f, it->second.type);
      }
  for (const auto& off : page.offForm) {
    if (!structure.count(off.name.toUpper()))
      fail(1, QStringLiteral("il dataset %1 non ha il campo %2").arg(page.dataSet, off.name));
    if (seen.contains(off.name.toUpper())) fail(1, QStringLiteral("campo %1 ripetuto").arg(off.name));
    seen.insert(off.name.toUpper());
  }
}

} // namespace

QString TFormField::TableName() const {
  return zur::CodeTableName(tag);
}

std::vector<const TFormField*> TFormPage::Fields() const {
  std::vector<const TFormField*> out;
  for (const auto& s : sections)
    for (const auto& r : s.rows)
      for (const auto& f : r.fields)
        out.push_back(&f);
  return out;
}

const TFormField* TFormPage::Field(const QString& name) const {
  for (const TFormField* f : Fields())
    if (f->name.compare(name, Qt::CaseInsensitive) == 0) return f;
  return nullptr;
}

const QStringList& TZurFormDescription::PageFiles() {
  static const QStringList files = {QStringLiteral("Frontespizio.xml"), QStringLiteral("QuadroIK.xml"),
                                    QStringLiteral("QuadroIR.xml"), QStringLiteral("QuadroIRVar.xml"),
                                    QStringLiteral("QuadroIS.xml")};
  return files;
}

QString TZurFormDescription::DefaultDir() {
  return zur::RootDir() + QStringLiteral("USR/FR2024/Res/Modello/");
}

TFormPage TZurFormDescription::ParsePage(const QByteArray& xml, const QString& file) {
  TPageReader reader(xml, file);
  TFormPage page = reader.Read();
  Resolve(page, reader.explicitFormat);
  return page;
}

TZurFormDescription TZurFormDescription::Load(const QString& dir) {
  TZurFormDescription d;
  QString base = dir;
  if (!base.endsWith(u'/')) base += u'/';
  for (const QString& name : PageFiles()) {
    const QString path = base + name;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
      throw EZurError(QStringLiteral("Descrizione del modello mancante o illeggibile: %1").arg(path),
                      EZurError::Kind::File, path);
    d.m_pages.push_back(ParsePage(f.readAll(), path));
  }
  return d;
}

const TFormPage* TZurFormDescription::Page(const QString& nameOrDataSet) const {
  for (const auto& p : m_pages)
    if (p.name.compare(nameOrDataSet, Qt::CaseInsensitive) == 0 ||
        p.dataSet.compare(nameOrDataSet, Qt::CaseInsensitive) == 0)
      return &p;
  return nullptr;
}

} // namespace zurform
