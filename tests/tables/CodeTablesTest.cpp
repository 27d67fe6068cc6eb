// The code tables: the check that a typed code exists, the loading of one
// table for the lookup, and the installed file with every table of the index.
#include "FuzzTargets.h"
#include "dataset/ClientDataSet.h"
#include "declaration/ZurCatalogue.h"
#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"
#include "support/ScriptedPlatform.h"
#include "tables/zurCodeTables.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

// A program root of its own whose table file the test writes.
class TTableRoot {
public:
  TTableRoot() : m_saved(zur::RootDir()) { zur::SetRootDir(m_dir.path()); }
  ~TTableRoot() { zur::SetRootDir(m_saved); }
  void Write(const QByteArray& xml) const {
    QDir().mkpath(QFileInfo(zur::CodeTableFile()).absolutePath());
    QFile f(zur::CodeTableFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(xml);
  }

private:
  QTemporaryDir m_dir;
  QString m_saved;
};

QByteArray Table(const char* name, const char* columns, const char* rows, const char* attributes = "") {
  return QByteArray("<Table Name=\"") + name + "\" " + attributes +
         "><Draws><Draw><Value Rows=\"3\"/></Draw></Draws>" + "<Columns>" + columns + "</Columns><Rows>" +
         rows + "</Rows></Table>";
}

const char* const kTwoColumns = "<Column><ColDesc Desc=\"CODICE\" Length=\"3\"/></Column>"
                                "<Column><ColDesc Desc=\"Descrizione\" Length=\"12\"/></Column>";

QByteArray Rows(std::initializer_list<std::pair<const char*, const char*>> rows) {
  QByteArray out;
  for (const auto& [value, desc] : rows)
    out += QByteArray("<Rigo><RowValue Value=\"") + value + "\" Desc=\"" + desc + "\"/></Rigo>";
  return out;
}

// Two tables named PROVA (the lookup uses the first, the check searches
// both), one with a single column, one whose Length is missing.
QByteArray TestFile() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Tables>" +
         Table("Prova", kTwoColumns,
               Rows({{"AB", "Alfa Bravo"}, {"È1", "Accentato"}, {"x-9", "Descrizione più lunga di dodici"}}),
               "Caption=\"Tabella di prova\" Description=\"Righe per le prove\"") +
         Table("PROVA", kTwoColumns, Rows({{"ZZ", "Seconda"}})) +
         Table("UNA", "<Column><ColDesc Desc=\"CODICE\" Length=\"3\"/></Column>", Rows({{"Q1", "Sola"}})) +
         Table(
             "SENZALEN",
             "<Column><ColDesc Desc=\"CODICE\"/></Column><Column><ColDesc Desc=\"D\" Length=\"5\"/></Column>",
             Rows({{"S1", "Senza"}})) +
         "</Tables>";
}

QString LoadError(const QString& table) {
  try {
    zur::LoadCodeTable(table);
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::File);
    return e.message();
  }
  return QStringLiteral("(nessun errore)");
}

} // namespace

TEST(CodeTables, CodeExistsFoldsAsciiCaseOnlyAndWarnsOnlyForAFileItCannotRead) {
  TScriptedPlatform platform;
  TTableRoot root;
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("AB"))) << "file mancante";
  root.Write(TestFile());
  EXPECT_TRUE(zur::CodeExists(Q("PROVA"), Q("ab")));
  EXPECT_TRUE(zur::CodeExists(Q("prova"), Q("aB")));
  EXPECT_TRUE(zur::CodeExists(Q("PROVA"), Q("È1")));
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("è1")))
      << "solo le lettere ASCII ignorano maiuscole e minuscole";
  EXPECT_TRUE(zur::CodeExists(Q("PROVA"), Q("X-9")));
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("AB "))) << "nessuno spazio tolto";
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("")));
  EXPECT_TRUE(zur::CodeExists(Q("PROVA"), Q("zz"))) << "ogni tabella con quel nome";
  EXPECT_FALSE(zur::CodeExists(Q("NESSUNA"), Q("AB")));
  EXPECT_FALSE(zur::CodeExists(Q("UNA"), Q("Q1"))) << "una colonna sola: la tabella non vale";
  EXPECT_TRUE(zur::CodeExists(Q("SENZALEN"), Q("s1"))) << "le lunghezze non contano per il controllo";
  EXPECT_TRUE(platform.calls().empty()) << "nessun avviso per tabelle assenti o incomplete";

  // Nothing is kept between checks: a corrected file counts at once.
  root.Write(QByteArray(TestFile()).replace("\"AB\"", "\"AC\""));
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("AB")));
  EXPECT_TRUE(zur::CodeExists(Q("PROVA"), Q("AC")));

  // A file that cannot be used: the warning with the error's own text.
  root.Write("<Tables><Table Name=\"PROVA\">\n<Rows>");
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("AB")));
  root.Write("<Tabelle/>");
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("AB")));
  ASSERT_EQ(platform.calls().size(), 2u);
  for (const auto& call : platform.calls()) {
    EXPECT_EQ(call.kind, Q("message"));
    EXPECT_EQ(call.type, TMsgDlgType::Warning);
    EXPECT_TRUE(call.text.startsWith(
        Q("Impossibile caricare il file delle tabelle:\n\rFile delle tabelle non valido: ")))
        << qPrintable(call.text);
    EXPECT_TRUE(call.text.contains(zur::CodeTableFile()));
  }
  EXPECT_TRUE(platform.calls()[0].text.contains(Q("riga 2, colonna ")));
  EXPECT_TRUE(platform.calls()[1].text.contains(Q("Tables")));

  // A folder where the file should be counts as a missing file.
  platform.clear();
  QFile::remove(zur::CodeTableFile());
  QDir().mkpath(zur::CodeTableFile());
  EXPECT_FALSE(zur::CodeTableFileExists());
  EXPECT_FALSE(zur::CodeExists(Q("PROVA"), Q("AB")));
  EXPECT_TRUE(platform.calls().empty());

  zur::SetLastChosenDescription(Q("LAZIO"));
  EXPECT_EQ(zur::LastChosenDescription(), Q("LAZIO"));
  zur::ClearLastChosenDescription();
  EXPECT_TRUE(zur::LastChosenDescription().isEmpty());
}

TEST(CodeTables, LoadTakesTheFirstTableOfTheNameAndRefusesWhatTheLookupCannotShow) {
  TTableRoot root;
  EXPECT_TRUE(LoadError(Q("PROVA")).contains(Q("non esiste")));
  root.Write(TestFile());
  const TZurCodeTable t = zur::LoadCodeTable(Q("prova"));
  EXPECT_EQ(t.name, Q("Prova"));
  EXPECT_EQ(t.caption, Q("Tabella di prova"));
  EXPECT_EQ(t.description, Q("Righe per le prove"));
  ASSERT_EQ(t.columns.size(), 2u);
  EXPECT_EQ(t.columns[0].name, Q("CODICE"));
  EXPECT_EQ(t.columns[1].length, 12);
  EXPECT_EQ(t.ColumnIndex(Q("DESCRIZIONE")), 1);
  EXPECT_EQ(t.ColumnIndex(Q("NOTE")), -1);
  ASSERT_EQ(t.rows.size(), 3u) << "la seconda tabella PROVA non conta";
  EXPECT_EQ(t.rows[1].value, Q("È1"));
  EXPECT_EQ(t.rows[2].desc, Q("Descrizione più lunga di dodici")) << "il taglio è della lista";

  EXPECT_EQ(LoadError(Q("NESSUNA")), Q("Tabella \"NESSUNA\" non trovata nel file delle tabelle."));
  EXPECT_EQ(LoadError(Q("una")), Q("La tabella \"UNA\" dichiara meno di due colonne."));
  EXPECT_EQ(LoadError(Q("SENZALEN")),
            Q("Tabella \"SENZALEN\": Manca la lunghezza (Length) della colonna \"CODICE\"."));
  for (const char* bad : {"abc", "0", "-4", "10001", ""}) {
    root.Write("<Tables>" +
               Table("L",
                     (QByteArray("<Column><ColDesc Desc=\"C\" Length=\"") + bad +
                      "\"/></Column><Column><ColDesc Desc=\"D\" Length=\"4\"/></Column>")
                         .constData(),
                     "") +
               "</Tables>");
    EXPECT_TRUE(LoadError(Q("L")).contains(Q("colonna \"C\""))) << bad;
  }
  root.Write("<Tables><Table Name=\"X\"></Tables>");
  EXPECT_TRUE(LoadError(Q("X")).contains(Q("riga 1, colonna")));

  // The binding writes what it reads: a table built in a new document, with
  // a row inserted before the first and elements the file left out.
  QDomDocument doc = NewTablesDocument();
  TXMLTablesType tables = GetTables(doc);
  TXMLTableType built = tables.Add();
  built.SetName(Q("NUOVA"));
  built.SetCaption(Q("Nuova \"tabella\" & <prova>"));
  TXMLValueType draw = built.Draws().Draw().Value();
  draw.SetRows(7);
  draw.SetWCol2(400);
  for (const auto& [name, length] : {std::pair{"CODICE", 2}, std::pair{"DESCRIZIONE", 30}}) {
    TXMLColDescType d = built.Columns().Add().ColDesc();
    d.SetDesc(Q(name));
    d.SetLength(length);
  }
  built.Rows().Add().RowValue().SetValue(Q("02"));
  TXMLRowValueType first = built.Rows().Insert(0).RowValue();
  first.SetValue(Q("01"));
  first.SetDesc(Q("Primo"));
  tables.Insert(0).SetName(Q("ALTRA"));
  const QByteArray written = doc.toByteArray();
  const TZurCodeTable back = zur::ReadCodeTable(written, Q("nuova"), Q("scritto.xml"));
  EXPECT_EQ(back.caption, Q("Nuova \"tabella\" & <prova>"));
  ASSERT_EQ(back.rows.size(), 2u);
  EXPECT_EQ(back.rows[0].value, Q("01"));
  EXPECT_EQ(back.rows[1].desc, Q(""));
  const QDomDocument reread = ParseTableFile(written, Q("scritto.xml"));
  EXPECT_EQ(GetTables(reread).Item(0).Name(), Q("ALTRA"));
  EXPECT_EQ(GetTables(reread).FindTable(Q("Nuova"))->Draws().Draw().Value().Rows(), 7);
  EXPECT_EQ(GetTables(reread).FindTable(Q("Nuova"))->Draws().Draw().Value().WCol1(), 0);
  EXPECT_FALSE(GetTables(reread).FindTable(Q("NUOVA ")));
  EXPECT_THROW(GetTables(reread).Item(2), EZurError);
}

TEST(CodeTables, TheInstalledFileHoldsEveryTableOfTheIndexWithCodesThatFitTheirFields) {
  TScriptedPlatform platform;
  const QString saved = zur::RootDir();
  zur::SetRootDir(QStringLiteral(ZUR_SOURCE_DIR "/resources"));
  ASSERT_TRUE(zur::CodeTableFileExists());
  QFile file(zur::CodeTableFile());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QDomDocument doc = ParseTableFile(file.readAll(), file.fileName());
  EXPECT_EQ(GetTables(doc).Count(), zur::CodeTableIndex().size()) << "una tabella per nome, nessuna in più";

  QElapsedTimer timer;
  timer.start();
  for (const QString& name : zur::CodeTableIndex()) {
    SCOPED_TRACE(name.toStdString());
    const TZurCodeTable t = zur::LoadCodeTable(name);
    EXPECT_EQ(t.name, name);
    EXPECT_FALSE(t.caption.isEmpty());
    ASSERT_EQ(t.columns.size(), 2u);
    EXPECT_EQ(t.columns[1].name, Q("DESCRIZIONE"));
    ASSERT_FALSE(t.rows.empty());
    QSet<QString> codes;
    for (const TZurCodeRow& r : t.rows) {
      EXPECT_FALSE(r.value.isEmpty());
      EXPECT_FALSE(codes.contains(r.value.toUpper())) << "codice ripetuto " << r.value.toStdString();
      codes.insert(r.value.toUpper());
      EXPECT_LE(r.value.size(), t.columns[0].length) << "codice tagliato: " << r.value.toStdString();
      EXPECT_LE(r.desc.size(), t.columns[1].length) << "descrizione tagliata: " << r.desc.toStdString();
      EXPECT_TRUE(zur::CodeExists(name, r.value.toLower()));
    }
    EXPECT_FALSE(zur::CodeExists(name, Q("99X")));
  }
  const qint64 perCheck = timer.elapsed() / qMax<qsizetype>(1, zur::CodeTableIndex().size());
  EXPECT_LT(perCheck, 100)
      << "ogni controllo rilegge il file intero; in una build ottimizzata resta sotto i 5 ms";
  EXPECT_TRUE(platform.calls().empty());

  // Every code goes into the fields that take it without being cut, and the
  // telematic file writes the numeric ones as numbers.
  struct TUse {
    const char* table;
    const char* field;
    bool numeric;
  };
  const TUse uses[] = {{"EVECC", "SIRAPEVENTECCEZIONALI", true},
                       {"TABA", "SIRAPSTATO", false},
                       {"TABB", "SIRAPNATURAGIURIDICA", false},
                       {"TABC", "SIRAPSITUAZIONE", false},
                       {"CODATT", "SIRAPCODCARICA", true},
                       {"SOGG", "SIRAPSOGGETTO1", false},
                       {"CODREG", "SIRCODREGIONE", true},
                       {"CODREG", "SISXIVCODREG80", true},
                       {"TFOR", "SIRAPTIPOFORNITORE", true},
                       {"ZFU", "SISXIVCODZFU80", true},
                       {"TIPSOGGPREDICH", "LIRAPIMPINVIOTEL", true},
                       {"TIPONORMA", "FIS201BG_TIPONORMA", true},
                       {"FMGIU", "SIS201BG_FORMAGIU", false},
                       {"DIMIMP", "FIS201BG_DIMIMP", true},
                       {"SETTORE", "FIS201BG_SETTORE", true},
                       {"TIPOSIEG", "FIS201BG_TIPOSIEG", true},
                       {"TIPOCOSTI", "FIS201DP_TIPOCOSTI", true},
                       {"TIPOAIUTO", "FIS201BG_TIPOAIUTO", true},
                       {"TIPOEXT", "SIS201BG_EST", false},
                       {"DINT", "SIRAPDICHINTEGRATIVA", true}};
  TClientDataSet ds;
  for (const TUse& u : uses) {
    const QString name = QLatin1String(u.field);
    if (ds.FindField(name)) continue;
    // The regional rows keep their region code in a fixed two-character field.
    const TDataPacketField f = name == Q("SIRCODREGIONE") ? TDataPacketField{name, TFieldType::String, 2}
                                                          : TZurCatalogue::FieldByRule(name);
    ds.AddFieldDef(f.name, f.type,
                   f.type == TFieldType::String || f.type == TFieldType::Amount ? f.size : -1);
  }
  ds.CreateDataSet();
  ds.Append();
  for (const TUse& u : uses) {
    TField& field = ds.FieldByName(QLatin1String(u.field));
    for (const TZurCodeRow& r : zur::LoadCodeTable(QLatin1String(u.table)).rows) {
      SCOPED_TRACE(std::string(u.table) + " " + r.value.toStdString());
      bool isNumber = false;
      const int number = r.value.toInt(&isNumber);
      EXPECT_TRUE(isNumber || !u.numeric);
      field.SetAsString(r.value);
      if (field.DataType() == TFieldType::Amount)
        EXPECT_EQ(field.AsCurrency(), Currency::FromUnits(number));
      else
        EXPECT_EQ(field.AsString(), r.value);
    }
  }
  zur::SetRootDir(saved);
}

TEST(CodeTablesFuzz, SeedsAndMutationsNeverCrash) {
  QFile installed(QStringLiteral(ZUR_SOURCE_DIR "/resources/USR/FR2024/Res/Tabelle/Table.xml"));
  ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
  const QByteArray seeds[] = {TestFile(), installed.readAll().left(6000) + "</Table></Tables>"};
  static const char* const fragments[] = {"Length=\"\" ",
                                          "Length=\"2147483648\" ",
                                          "<Column/>",
                                          "<Rigo/>",
                                          "<Table Name=\"PROVA\">",
                                          "</Rows>",
                                          "&#xd;",
                                          "<",
                                          "\"",
                                          "È"};
  std::mt19937 rng(11);
  QElapsedTimer timer;
  timer.start();
  int runs = 0;
  for (; runs < 3000 && timer.elapsed() < 3000; ++runs) {
    QByteArray input = seeds[runs % 2];
    for (int e = 1 + int(rng() % 4); e > 0 && !input.isEmpty(); --e) {
      const qsizetype at = qsizetype(rng() % quint32(input.size()));
      switch (rng() % 3) {
      case 0:
        input.insert(at, fragments[rng() % std::size(fragments)]);
        break;
      case 1:
        input.remove(at, 1 + qsizetype(rng() % 24));
        break;
      default:
        input.insert(at, input.mid(at, 1 + qsizetype(rng() % 80)));
        break;
      }
    }
    ASSERT_EQ(zurfuzz::CodeTable(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size())),
              0);
  }
  EXPECT_GT(runs, 100);
}
