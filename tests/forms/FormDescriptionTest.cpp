// The installed form description against the catalogue and the rules of the
// frames, and the reader against damaged descriptions.
#include "declaration/ZurCatalogue.h"
#include "forms/ZurFormDescription.h"
#include "platform/ZurError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace zurform;

namespace {

QString Q(const char* s) {
  return QString::fromUtf8(s);
}

const QString kInstalled = QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/Modello/");

// Field name -> page it is on, over the whole description.
std::map<QString, const TFormField*> AllFields(const TZurFormDescription& d) {
  std::map<QString, const TFormField*> out;
  for (const TFormPage& p : d.Pages())
    for (const TFormField* f : p.Fields())
      out[f->name] = f;
  return out;
}

QString ExpectedTable(const QString& name) {
  // The code table of every coded field of the frames.
  static const std::vector<std::pair<QString, QString>> exact = {
      {Q("SIRAPEVENTECCEZIONALI"), Q("EVECC")},  {Q("SIRAPSTATO"), Q("TABA")},
      {Q("SIRAPNATURAGIURIDICA"), Q("TABB")},    {Q("SIRAPSITUAZIONE"), Q("TABC")},
      {Q("SIRAPCODCARICA"), Q("CODATT")},        {Q("SIRAPCODREG"), Q("CODREG")},
      {Q("SIRCODREGIONE"), Q("CODREG")},         {Q("LIRAPIMPINVIOTEL"), Q("TIPSOGGPREDICH")},
      {Q("FIS201BG_TIPONORMA"), Q("TIPONORMA")}, {Q("SIS201BG_FORMAGIU"), Q("FMGIU")},
      {Q("FIS201BG_DIMIMP"), Q("DIMIMP")},       {Q("FIS201BG_SETTORE"), Q("SETTORE")},
      {Q("FIS201BG_TIPOSIEG"), Q("TIPOSIEG")},   {Q("FIS201DP_TIPOCOSTI"), Q("TIPOCOSTI")},
      {Q("FIS201BG_TIPOAIUTO"), Q("TIPOAIUTO")}, {Q("SIS201BG_EST"), Q("TIPOEXT")},
      {Q("SIS201BG_COMMAEST"), Q("TIPOEXT")},    {Q("SIRAPDICHINTEGRATIVA"), Q("DINT")},
      {Q("SIS201BG_CODREG"), Q("CODREG")},       {Q("SIS201DP_CODREG"), Q("CODREG")},
      {Q("SIS231_CODREG"), Q("CODREG")},         {Q("SIRAPTIPOFORNITORE"), Q("TFOR")}};
  for (const auto& [field, table] : exact)
    if (name == field) return table;
  const std::pair<const char*, const char*> prefixes[] = {
      {"SIRAPSOGGETTO", "SOGG"},  {"SIRCODREGIONE0", "CODREG"}, {"SISXIICODREG", "CODREG"},
      {"SISXIVCODREG", "CODREG"}, {"SISCODREG_9", "CODREG"},    {"SISXIVCODZFU", "ZFU"}};
  for (const auto& [prefix, table] : prefixes)
    if (name.startsWith(QLatin1String(prefix))) return QString::fromLatin1(table);
  return {};
}

} // namespace

TEST(FormDescription, CoversEveryFieldOfEveryDatasetOnceWithTheFramesRules) {
  const TZurFormDescription d = TZurFormDescription::Load(kInstalled);
  ASSERT_EQ(d.Pages().size(), 5u);
  // Every field of the five stored datasets is on its page, or in the page's
  // list of fields the form does not show: exactly once (the reader refuses
  // a second time and a name the dataset lacks).
  for (const TZurDataSetDecl& decl : TZurCatalogue::StoredDataSets()) {
    const TFormPage* page = d.Page(decl.Component());
    ASSERT_NE(page, nullptr) << decl.component;
    for (const TDataPacketField& f : TZurCatalogue::Structure(decl)) {
      bool off = false;
      for (const TOffFormField& o : page->offForm)
        off = off || o.name.compare(f.name, Qt::CaseInsensitive) == 0;
      EXPECT_TRUE(page->Field(f.name) || off) << decl.component << " " << f.name.toStdString();
    }
  }

  const auto fields = AllFields(d);
  for (const auto& [name, f] : fields) {
    // Code tables: the lookup edits and only they carry a looked-up tag.
    const QString table = ExpectedTable(name);
    if (!table.isEmpty()) {
      EXPECT_EQ(f->kind, TControlKind::Lookup) << name.toStdString();
      EXPECT_EQ(f->TableName(), table) << name.toStdString();
    } else {
      EXPECT_NE(f->kind, TControlKind::Lookup) << name.toStdString();
    }
    // The regional rates carry the tag of their table but are plain boxes.
    if (name.startsWith(QLatin1String("SIRAGEREGIONE"))) {
      EXPECT_EQ(f->kind, TControlKind::Edit);
      EXPECT_EQ(f->TableName(), Q("TAGREG"));
    }
  }
  const std::pair<const char*, QStringList> lists[] = {
      {"LIRAPIK", {Q("0"), Q("1"), Q("2"), Q("3")}},
      {"LIRAPIS", {Q("0"), Q("1"), Q("2"), Q("3")}},
      {"SISXIICODRDED2", {Q(""), Q("1"), Q("2"), Q("3")}},
      {"SISXIICODRDET3", {Q(""), Q("1"), Q("2")}},
      {"SISXIICODCREIMP1", {Q(""), Q("1"), Q("2")}},
      {"SIS201_QUADRO", {Q("IQ"), Q("IP"), Q("IC"), Q("IE"), Q("IR"), Q("IK"), Q("IS")}}};
  for (const auto& [name, values] : lists) {
    const TFormField* f = fields.at(Q(name));
    EXPECT_EQ(f->kind, TControlKind::Combo) << name;
    EXPECT_EQ(f->values, values) << name;
  }
  const TFormField* cf = fields.at(Q("SIRAPCODFIS"));
  EXPECT_TRUE(cf->readOnly && cf->skipTab);
  EXPECT_TRUE(fields.at(Q("SIRAPREGIONE"))->readOnly && fields.at(Q("SIRAPREGIONE"))->skipTab);
  EXPECT_TRUE(fields.at(Q("SIRAPCODFISDICH"))->disabled && fields.at(Q("SIRAPCODFISDICH"))->readOnly);
  for (const char* box : {"LIRAPIP", "LIRAPIC", "LIRAPIE"})
    EXPECT_TRUE(fields.at(Q(box))->disabled) << box;
  EXPECT_TRUE(fields.at(Q("IIRAPUNICO"))->skipTab && !fields.at(Q("IIRAPUNICO"))->readOnly);
  EXPECT_TRUE(fields.at(Q("IIRAPID"))->hidden);
  EXPECT_EQ(fields.at(Q("RIGO"))->kind, TControlKind::Label);
  EXPECT_EQ(fields.at(Q("LIRAPSESSO"))->kind, TControlKind::Sex);

  // Rows carry the form's codes, and the printed formats follow the kind.
  EXPECT_EQ(d.Page(Q("QuadroIK"))->sections[1].rows[0].code, Q("IK1"));
  EXPECT_EQ(d.Page(Q("QuadroIK"))->sections[1].rows[0].fields[0].name, Q("FIKVALIRAP1"));
  EXPECT_EQ(fields.at(Q("FIS201BG_ANNO"))->format, TPrintFormat::Year);
  EXPECT_EQ(fields.at(Q("FIS201DP_DATAINIZIO"))->format, TPrintFormat::Date);
  EXPECT_EQ(fields.at(Q("FIKVALIRAP1"))->format, TPrintFormat::Amount);
  EXPECT_GE(fields.at(Q("SIS201BG_ATECO"))->width, 8);
}

TEST(FormDescription, ADamagedPageIsRefusedNamingFileAndLine) {
  const QByteArray good = "<Pagina Nome=\"QuadroIK\" Dataset=\"cdsQuadroIK\">\n"
                          "  <Sezione Codice=\"Sez. I\" Titolo=\"T\">\n"
                          "    <Rigo Codice=\"IK1\" Descrizione=\"R\">\n"
                          "      <Campo Nome=\"FIKVALIRAP1\"/>\n"
                          "    </Rigo>\n  </Sezione>\n</Pagina>\n";
  EXPECT_EQ(TZurFormDescription::ParsePage(good, Q("QuadroIK.xml")).Fields().size(), 1u);
  const std::pair<QByteArray, QByteArray> damages[] = {
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Campo Nome=\"FIKVALIRAP1\" Colore=\"rosso\"/>"},
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Campo Nome=\"FIKNONCE\"/>"},
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Campo Nome=\"FIKVALIRAP1\" Tipo=\"Elenco\"/>"},
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Campo Nome=\"FIKVALIRAP1\" Tipo=\"Codice\" Tag=\"32\"/>"},
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Campo Nome=\"FIKVALIRAP1\" Tipo=\"Manopola\"/>"},
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Campo Nome=\"FIKVALIRAP1\"/><Campo Nome=\"fikvalirap1\"/>"},
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Campo Nome=\"FIKVALIRAP1\">"},
      {"<Campo Nome=\"FIKVALIRAP1\"/>", "<Sezione/>"},
  };
  for (const auto& [from, to] : damages) {
    QByteArray bad = good;
    bad.replace(from, to);
    try {
      TZurFormDescription::ParsePage(bad, Q("/x/QuadroIK.xml"));
      ADD_FAILURE() << "accettato: " << to.constData();
    } catch (const EZurError& e) {
      EXPECT_TRUE(e.message().startsWith(Q("Descrizione del modello non valida (QuadroIK.xml, riga ")))
          << e.message().toStdString();
      EXPECT_EQ(e.kind(), EZurError::Kind::File);
    }
  }
  // A page missing from the folder stops the whole load.
  QTemporaryDir dir;
  QFile::copy(kInstalled + Q("QuadroIK.xml"), dir.filePath(Q("QuadroIK.xml")));
  try {
    TZurFormDescription::Load(dir.path());
    ADD_FAILURE();
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("Frontespizio.xml"))) << e.message().toStdString();
  }
}
