#include "declaration/ZurDeclarationJson.h"

#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "support/DeclarationFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using zurtest::Fld;
using zurtest::Q;

namespace {

QJsonObject Json(const char* text) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
  return doc.object();
}

// Everything that a refused write must leave alone.
QByteArray Snapshot(TdmZurDati& dati) {
  QByteArray out;
  for (TClientDataSet* ds : dati.StoredDataSets()) {
    const bool filtered = ds->Filtered();
    ds->SetFiltered(false);
    out += ds->SaveToBytes();
    out += QByteArray::number(ds->ChangeCount());
    ds->SetFiltered(filtered);
  }
  return out;
}

class TDeclarationJson : public ::testing::Test {
protected:
  void SetUp() override { zurtest::OpenCatalogueDeclaration(dati); }
  TdmZurDati dati;
};

} // namespace

TEST_F(TDeclarationJson, ValuesTravelInTheirOwnKinds) {
  SetDeclarationJson(dati, Json(R"({
    "cdsFrontespizio": {"SIRAPDENOM": "ISTITUTO", "LIRAPSESSO": "F", "IIRAPANNOSL": 2020, "IIRAPMESESL": 2,
                        "DIRAPPERIODOIMPOSTADAL": "2024-01-01", "SIRAPEMAIL": null},
    "cdsQuadroIK": {"FIKVALIRAP1": 1234.56, "FIKVALIRAP2": -0.5, "SIKCODFISDELEGATO": "X"},
    "cdsQuadroIRVar": [{"SIRCODREGIONE": "08", "FIRBASEIMP": 1000}, {"FIRIMPOSTA": 39}]
  })"));
  const QJsonObject out = GetDeclarationJson(dati);
  const QJsonObject front = out.value(Q("cdsFrontespizio")).toObject();
  EXPECT_EQ(front.value(Q("SIRAPDENOM")).toString(), Q("ISTITUTO"));
  EXPECT_EQ(front.value(Q("IIRAPANNOSL")).toInteger(), 2020);
  EXPECT_EQ(front.value(Q("DIRAPPERIODOIMPOSTADAL")).toString(), Q("2024-01-01"));
  // The cover page's rules ran on the post.
  EXPECT_EQ(front.value(Q("DIRAPSEDELEGALE")).toString(), Q("2020-02-01"));
  EXPECT_EQ(front.value(Q("LIRAPSESSOF")).toString(), Q("1"));
  EXPECT_TRUE(front.value(Q("SIRAPEMAIL")).isNull());
  EXPECT_EQ(front.value(Q("IIRAPID")).toInteger(), 1000001) << "keys are shown";

  const QJsonObject ik = out.value(Q("cdsQuadroIK")).toObject();
  EXPECT_EQ(Fld(dati.cdsQuadroIK, "FIKVALIRAP1").AsCurrency(), Currency::FromCents(123456));
  EXPECT_DOUBLE_EQ(ik.value(Q("FIKVALIRAP1")).toDouble(), 1234.56);
  EXPECT_DOUBLE_EQ(ik.value(Q("FIKVALIRAP2")).toDouble(), -0.5);
  EXPECT_EQ(ik.value(Q("IIRAPID")).toInteger(), 1000001) << "the new IK record got the declaration";
  EXPECT_EQ(ik.value(Q("IAFIID")).toInteger(), 7);

  const QJsonArray rows = out.value(Q("cdsQuadroIRVar")).toArray();
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows[0].toObject().value(Q("RIGO")).toString(), Q("IR32"));
  EXPECT_EQ(rows[1].toObject().value(Q("RIGO")).toString(), Q("IR33"));
  EXPECT_EQ(rows[1].toObject().value(Q("FIRIMPOSTA")).toInteger(), 39);

  // A quadro without a record shows every field, empty.
  const QJsonObject is = out.value(Q("cdsQuadroIS")).toObject();
  EXPECT_TRUE(is.contains(Q("FIS01_2")));
  EXPECT_TRUE(is.value(Q("FIS01_2")).isNull());
  EXPECT_FALSE(out.contains(Q("cdsCampiAggiuntivi")));
}

TEST_F(TDeclarationJson, RegionalRowsArrayReplacesTheRowsOfTheDeclaration) {
  SetDeclarationJson(
      dati, Json(R"({"cdsQuadroIRVar": [{"FIRBASEIMP": 1}, {"FIRBASEIMP": 2}, {"FIRBASEIMP": 3}]})"));
  // Rows of another declaration are not touched.
  zurtest::OpenCatalogueDeclaration(dati, 8, 1000002, "RSSMRA80A01H501U");
  SetDeclarationJson(dati, Json(R"({"cdsQuadroIRVar": [{"FIRBASEIMP": 9}]})"));
  dati.EnterDeclaration(1000001);
  SetDeclarationJson(dati, Json(R"({"cdsQuadroIRVar": [{"FIRBASEIMP": 5}]})"));
  ASSERT_EQ(dati.cdsQuadroIRVar.RecordCount(), 1);
  EXPECT_EQ(Fld(dati.cdsQuadroIRVar, "FIRBASEIMP").AsInteger(), 5);
  dati.cdsQuadroIRVar.SetFiltered(false);
  EXPECT_EQ(dati.cdsQuadroIRVar.RecordCount(), 2);
  dati.cdsQuadroIRVar.SetFiltered(true);
  SetDeclarationJson(dati, Json(R"({"cdsQuadroIRVar": []})"));
  EXPECT_TRUE(dati.cdsQuadroIRVar.IsEmpty());
}

TEST_F(TDeclarationJson, OnlyGivenFieldsAreWritten) {
  SetDeclarationJson(dati, Json(R"({"cdsFrontespizio": {"SIRAPDENOM": "A", "SIRAPSTATO": "1"}})"));
  SetDeclarationJson(dati, Json(R"({"cdsFrontespizio": {"SIRAPSTATO": "2"}, "cdsQuadroIR": {}})"));
  EXPECT_EQ(Fld(dati.cdsFrontespizio, "SIRAPDENOM").AsString(), Q("A"));
  EXPECT_EQ(Fld(dati.cdsFrontespizio, "SIRAPSTATO").AsString(), Q("2"));
  EXPECT_TRUE(dati.cdsQuadroIR.IsEmpty()) << "an empty object creates no record";
}

TEST_F(TDeclarationJson, EveryProblemIsNamedAndNothingChanges) {
  SetDeclarationJson(dati, Json(R"({"cdsQuadroIK": {"FIKVALIRAP1": 10}})"));
  const QByteArray before = Snapshot(dati);
  const QJsonObject bad = Json(R"({
    "cdsQuadroXX": {},
    "cdsCampiAggiuntivi": {"SCAIDPRODUTTORE": "1"},
    "cdsFrontespizio": {"SIRAPDENOM": "OK", "SIRAPNONESISTE": "1", "IIRAPANNOSL": "2020", "DIRAPDATACARICA": "31/01/2024",
                        "LIRAPSESSO": "MF", "IAFIID": 3, "sirapcodfis": "ALTRO"},
    "cdsQuadroIK": {"FIKVALIRAP1": 10.005, "FIKVALIRAP2": "12", "IIRAPID": 1},
    "cdsQuadroIR": [],
    "cdsQuadroIRVar": [{"FIRBASEIMP": 1.5}, 7, {"RIGO": "IR99", "IFISRIGO": 1}]
  })");
  const QStringList problems = ValidateDeclarationJson(dati, bad);
  const QString all = problems.join(QLatin1Char('\n'));
  for (const char* expected :
       {"Dataset sconosciuto: cdsQuadroXX", "Dataset sconosciuto: cdsCampiAggiuntivi",
        "Campo sconosciuto in cdsFrontespizio: SIRAPNONESISTE",
        "Il campo IIRAPANNOSL di cdsFrontespizio richiede un numero intero.",
        "Il campo DIRAPDATACARICA di cdsFrontespizio richiede una data nella forma AAAA-MM-GG.",
        "Il campo LIRAPSESSO di cdsFrontespizio richiede un testo di al massimo 1 caratteri.",
        "Il campo IAFIID di cdsFrontespizio è una chiave dell'archivio e non può essere scritto.",
        "Il campo SIRAPCODFIS di cdsFrontespizio è fissato alla creazione della dichiarazione",
        "Il campo FIKVALIRAP1 di cdsQuadroIK richiede un importo con al massimo 2 decimali.",
        "Il campo FIKVALIRAP2 di cdsQuadroIK richiede un importo",
        "Il campo IIRAPID di cdsQuadroIK è una chiave", "cdsQuadroIR deve essere un oggetto",
        "Il campo FIRBASEIMP di cdsQuadroIRVar[0] richiede un numero intero.",
        "cdsQuadroIRVar[1] deve essere un oggetto", "Il campo RIGO di cdsQuadroIRVar[2] è calcolato",
        "Il campo IFISRIGO di cdsQuadroIRVar[2] è una chiave"})
    EXPECT_TRUE(all.contains(Q(expected))) << expected << "\n" << all.toStdString();
  EXPECT_EQ(problems.size(), 16) << all.toStdString();

  try {
    SetDeclarationJson(dati, bad);
    FAIL() << "a file with errors must be refused";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.message(), all);
    EXPECT_EQ(e.kind(), EZurError::Kind::Field);
  }
  EXPECT_EQ(Snapshot(dati), before);
}

TEST_F(TDeclarationJson, LargeAmountsComeBackToTheCent) {
  SetDeclarationJson(
      dati, Json(R"({"cdsQuadroIK": {"FIKVALIRAP1": 9999999999999.99, "FIKVALIRAP2": 987654321098.77}})"));
  EXPECT_EQ(Fld(dati.cdsQuadroIK, "FIKVALIRAP1").AsCurrency(), Currency::FromCents(999999999999999));
  const QByteArray text = QJsonDocument(GetDeclarationJson(dati)).toJson(QJsonDocument::Compact);
  EXPECT_TRUE(text.contains("\"FIKVALIRAP1\":9999999999999.99")) << text.constData();
  EXPECT_TRUE(text.contains("\"FIKVALIRAP2\":987654321098.77")) << text.constData();
}

TEST_F(TDeclarationJson, NumbersOutsideTheirFieldAreRefused) {
  const QStringList problems = ValidateDeclarationJson(dati, Json(R"({
    "cdsFrontespizio": {"IIRAPUNICO": 3000000000, "DIRAPDATACARICA": "2024-02-30"},
    "cdsQuadroIK": {"FIKVALIRAP1": 1e300, "FIKVALIRAP2": 99.99, "FIKVALIRAP3": 12345678901234.5,
                    "FIKVALIRAP4": 9999999999999.99}
  })"));
  EXPECT_EQ(problems.size(), 4) << problems.join(QLatin1Char('\n')).toStdString();
}

// What the reader refuses although JSON allows it, each named with its place;
// what it must keep accepting.
TEST(DeclarationJsonReader, RefusesWhatWouldNotBeStoredExactly) {
  const auto refusal = [](const char* text) -> QString {
    try {
      ParseDeclarationJson(QByteArray(text), Q("d.json"));
      return {};
    } catch (const EZurError& e) {
      EXPECT_EQ(e.kind(), EZurError::Kind::File);
      return e.message();
    }
  };
  EXPECT_TRUE(refusal(R"({"cdsQuadroIK": {"FIKVALIRAP1": 1}, "cdsQuadroIK": {"FIKVALIRAP2": 2}})")
                  .contains(Q("il nome \"cdsQuadroIK\" è indicato due volte")));
  EXPECT_TRUE(refusal(R"({"cdsFrontespizio": {"SIRAPDENOM": "A", "SIRAPDENOM": "B"}})")
                  .contains(Q("il nome \"SIRAPDENOM\" è indicato due volte")));
  EXPECT_TRUE(refusal(R"({"cdsFrontespizio": {"SIRAPDENOM": "A\u0001B"}})").contains(Q("U+0001")));
  EXPECT_TRUE(refusal(R"({"cdsFrontespizio": {"SIRAPDENOM": "A\u0000"}})").contains(Q("U+0000")));
  EXPECT_TRUE(refusal("{\"cdsFrontespizio\": {\"SIRAPDENOM\": \"A\xC2\x85\"}}").contains(Q("U+0085")));
  EXPECT_TRUE(refusal(R"({"cdsFrontespizio": {"SIRAPDENOM": "A\ud800B"}})").contains(Q("surrogati")));
  EXPECT_TRUE(refusal(R"({"cdsFrontespizio": {"SIRAPDENOM": "A\udc00"}})").contains(Q("surrogati")));
  EXPECT_TRUE(refusal(R"({"cdsFrontespizio": {"SIRAPDENOM": "\ud800\ud800"}})").contains(Q("surrogati")));
  EXPECT_TRUE(refusal(R"([1])").contains(Q("deve contenere un oggetto JSON")));
  EXPECT_TRUE(refusal(R"({"a": )").contains(Q("non è un JSON valido")));
  EXPECT_TRUE(refusal(R"({"a": 1})").isEmpty());

  // Tab, CR and LF, a whole pair and the same name in two objects are fine.
  const QJsonObject ok =
      ParseDeclarationJson(QByteArray(R"({"cdsFrontespizio": {"SIRAPDENOM": "A\tB\r\nC \ud83d\ude00 \\u0001"},
                    "cdsQuadroIRVar": [{"FIRBASEIMP": 1}, {"FIRBASEIMP": 2}]})"),
                           Q("d.json"));
  EXPECT_EQ(ok.value(Q("cdsFrontespizio")).toObject().value(Q("SIRAPDENOM")).toString(),
            QString::fromUtf8("A\tB\r\nC \xF0\x9F\x98\x80 \\u0001"));
  EXPECT_EQ(ok.value(Q("cdsQuadroIRVar")).toArray().size(), 2);
}
