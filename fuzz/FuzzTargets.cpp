#include "FuzzTargets.h"

#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"
#include "print/zurXMLPdfConf.h"
#include "tables/zurCodeTables.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariante violata: %s\n", what);
  std::abort();
}

void Browse(TClientDataSet& cds) {
  for (cds.First(); !cds.Eof(); cds.Next())
    for (TField* f : cds.Fields())
      (void)f->AsString();
  cds.Last();
  while (!cds.Bof())
    cds.Prior();
}

} // namespace

int zurfuzz::DataPacket(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  TClientDataSet cds;
  try {
    cds.LoadFromBytes(bytes);
  } catch (const EZurError&) {
    Check(!cds.Active(), "un caricamento fallito lascia il dataset aperto");
    return 0;
  }
  const QByteArray saved = cds.SaveToBytes();
  TClientDataSet again;
  again.LoadFromBytes(saved);
  Check(again.RecordCount() == cds.RecordCount(), "il numero di righe cambia dopo il salvataggio");
  Check(again.SaveToBytes() == saved, "il salvataggio non è stabile");
  Browse(again);
  for (TField* f : again.Fields()) {
    if (f->Calculated()) continue;
    try {
      again.SetIndexFieldNames(f->FieldName());
      Browse(again);
      again.SetFilter(f->FieldName() + QStringLiteral(" IS NOT NULL"));
      again.SetFiltered(true);
      Browse(again);
      again.SetFiltered(false);
    } catch (const EZurError&) {
    }
  }
  return 0;
}

int zurfuzz::Filter(const uint8_t* data, size_t size) {
  static const QByteArray packet =
      "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"IAFIID\" fieldtype=\"i4\"/><FIELD attrname=\"SNOME\" fieldtype=\"string\" "
      "WIDTH=\"20\"/>"
      "<FIELD attrname=\"FIMP\" fieldtype=\"fixed\" DECIMALS=\"2\"/><FIELD attrname=\"RTASSO\" "
      "fieldtype=\"r8\"/>"
      "<FIELD attrname=\"DDATA\" fieldtype=\"date\"/><FIELD attrname=\"MNOTE\" fieldtype=\"bin.hex\" "
      "SUBTYPE=\"Text\"/>"
      "</FIELDS><PARAMS/></METADATA><ROWDATA>"
      "<ROW IAFIID=\"123\" SNOME=\"Rossi\" FIMP=\"10.5\" RTASSO=\"8.5\" DDATA=\"20240131\" MNOTE=\"x\"/>"
      "<ROW IAFIID=\"-1\" FIMP=\"-3\"/><ROW/></ROWDATA></DATAPACKET>";
  TClientDataSet cds;
  cds.LoadFromBytes(packet);
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  try {
    cds.SetFilter(text);
    cds.SetFiltered(true);
  } catch (const EZurError&) {
    return 0;
  }
  Check(cds.RecordCount() <= 3, "il filtro aggiunge righe");
  Browse(cds);
  return 0;
}

int zurfuzz::CoordFile(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  try {
    const QDomDocument doc = ParseCoordFile(bytes, QStringLiteral("fuzz.xml"));
    const TXMLPdfConfType conf = GetPdfConf(doc);
    for (int p = 0; p < conf.Count(); ++p) {
      const TXMLPageType page = conf.Item(p);
      (void)page.Template();
      if (p == 0) (void)conf.FindPage(page.Name());
      for (int s = 0; s < page.Count(); ++s) {
        const TXMLSectionType section = page.Item(s);
        if (s == 0) (void)conf.FindSection(page.Name(), section.Name());
        for (int e = 0; e < section.Count(); ++e) {
          const TXMLEditType edit = section.Item(e);
          (void)edit.Name();
          (void)edit.Type();
          for (int r = 0; r < edit.Count(); ++r)
            for (int i : {0, 1, 3, 8}) {
              const auto a = PlacePrintRect(edit.Item(r), i);
              const auto b = PlacePrintRect(edit.Item(r), i);
              Check(a == b, "collocazione non ripetibile");
            }
        }
      }
    }
  } catch (const EZurError&) {
  }
  return 0;
}

int zurfuzz::CodeTable(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  QDomDocument doc;
  try {
    doc = ParseTableFile(bytes, QStringLiteral("fuzz.xml"));
  } catch (const EZurError&) {
    return 0;
  }
  const TXMLTablesType tables = GetTables(doc);
  // Written back as UTF-8 whatever encoding the input declared (the writer
  // cannot produce every encoding the reader accepts).
  const auto rewrite = [&doc] {
    QDomDocument copy = NewTablesDocument();
    copy.replaceChild(copy.importNode(doc.documentElement(), true), copy.documentElement());
    return copy.toByteArray();
  };
  tables.ForEach([&](const TXMLTableType& t) {
    const TXMLValueType draw = t.Draws().Draw().Value();
    (void)(draw.Rows() + draw.Cols() + draw.WCol1() + draw.WCol2());
    try {
      const TZurCodeTable a = zur::CodeTableFrom(tables, t.Name());
      Check(SameAsciiText(a.name, t.Name()), "tabella trovata con un altro nome");
      Check(a.columns.size() >= 2, "tabella con meno di due colonne");
      for (const TZurCodeColumn& c : a.columns)
        Check(c.length >= 1 && c.length <= zur::kMaxCodeColumnLength,
              "lunghezza di colonna fuori dai limiti");
      const TZurCodeTable b = zur::ReadCodeTable(rewrite(), t.Name(), QStringLiteral("fuzz.xml"));
      Check(b.caption == a.caption && b.description == a.description &&
                b.columns.size() == a.columns.size() && b.rows.size() == a.rows.size(),
            "la tabella riscritta non si rilegge uguale");
      for (size_t i = 0; i < a.rows.size(); ++i)
        Check(a.rows[i].value == b.rows[i].value && a.rows[i].desc == b.rows[i].desc,
              "una riga riscritta non si rilegge uguale");
    } catch (const EZurError&) {
    }
    return true;
  });
  return 0;
}
