#include "declaration/zurUChecks.h"

#include "declaration/zurMDati.h"
#include "support/DeclarationFixture.h"

#include <gtest/gtest.h>

using zurtest::Fld;
using zurtest::Q;

namespace {

const QString kSignatoryMissing = Q(" - Dato obbligatorio mancante: Codice fiscale del firmatario");
const QString kIK5 =
    Q(" - Campo errato: IK5 Valore della produzione netta non corrisponde alla somma dei campi "
      "(IK1 + IK2 + IK3 - IK4 col.4)");
const QString kIK27 =
    Q(" - Campo errato: \"Ammontare del valore della produzione di rigo IQ5\" del rigo IQ27 deve "
      "essere uguale al campo IQ5");
const QString kBases =
    Q(" - Campo errato: La somma delle basi imponibili non è uguale al valore della produzione netta IQ5");

// A module with one declaration whose cover page passes every check.
class TChecks : public ::testing::Test {
protected:
  void SetUp() override {
    zurtest::OpenCatalogueDeclaration(dati);
    TClientDataSet& f = dati.cdsFrontespizio;
    f.Edit();
    for (const char* name : {"SIRAPDENOM", "SIRAPSTATO", "SIRAPNATURAGIURIDICA", "SIRAPSITUAZIONE",
                             "SIRAPCODCARICA", "SIRAPDENFIRMATARIO"})
      Fld(f, name).SetAsString(Q("X"));
    Fld(f, "LIRAPSESSO").SetAsString(Q("M"));
    Fld(f, "DIRAPPERIODOIMPOSTADAL").SetAsDate(QDate(2024, 1, 1));
    Fld(f, "DIRAPPERIODOIMPOSTAAL").SetAsDate(QDate(2024, 12, 31));
    Fld(f, "SIRAPCODFISRAPFIRMATARIO").SetAsString(Q("97123450583"));
    f.Post();
  }

  QStringList Run() {
    QStringList messages;
    const bool ok = CheckDeclarationData(messages, dati.StoredDataSets());
    EXPECT_EQ(ok, messages.isEmpty());
    return messages;
  }

  void SetFront(const char* name, const QString& value) {
    dati.cdsFrontespizio.Edit();
    Fld(dati.cdsFrontespizio, name).SetAsString(value);
    dati.cdsFrontespizio.Post();
  }

  void SetIK(std::initializer_list<std::pair<const char*, qint64>> values) {
    dati.cdsQuadroIK.Edit();
    for (const auto& [name, units] : values)
      Fld(dati.cdsQuadroIK, name).SetAsCurrency(Currency::FromUnits(units));
    dati.cdsQuadroIK.Post();
  }

  TdmZurDati dati;
};

} // namespace

TEST_F(TChecks, CompleteDeclarationPasses) {
  EXPECT_EQ(Run(), QStringList());
}

TEST_F(TChecks, EmptyCoverPageListsTheMandatoryFieldsInFieldOrder) {
  TClientDataSet& f = dati.cdsFrontespizio;
  f.Edit();
  for (TField* field : f.Fields())
    if (field->FieldName() != QLatin1String("IIRAPID") && field->FieldName() != QLatin1String("IAFIID"))
      field->Clear();
  f.Post();
  // The catalogue lists the cover page in alphabetical order, so the end of
  // the tax period comes before its start.
  EXPECT_EQ(Run(),
            (QStringList{
                Q(" - Dato obbligatorio mancante: Data fine periodo di imposta"),
                Q(" - Dato obbligatorio mancante: Data inizio periodo di imposta"),
                Q(" - Dato obbligatorio mancante: Sesso del dichiarante diverso dal contribuente"),
                Q(" - Dato obbligatorio mancante: Codice carica"),
                kSignatoryMissing,
                Q(" - Dato obbligatorio mancante: Denominazione Soggetti diversi dalle persone fisiche"),
                Q(" - Dato obbligatorio mancante: Natura giuridica"),
                Q(" - Dato obbligatorio mancante: Situazione"),
                Q(" - Dato obbligatorio mancante: Stato"),
            }));
}

TEST_F(TChecks, PersonSignatoryReportsOnlyTheFirstMissingDatum) {
  SetFront("SIRAPCODFISRAPFIRMATARIO", Q("RSSMRA80A01H501U"));
  EXPECT_EQ(Run(), QStringList{Q(" - Dato obbligatorio mancante: Cognome del firmatario")});
  SetFront("SIRAPCOGNOME", Q("ROSSI"));
  SetFront("SIRAPNOME", Q("MARIO"));
  EXPECT_EQ(Run(), QStringList{Q(" - Dato obbligatorio mancante: Data di nascita del firmatario")});
}

TEST_F(TChecks, EntitySignatoryWithElevenDigitsNeedsOnlyItsName) {
  // Eleven digits overflow a 32-bit integer; the code must still read as a
  // number, or the personal data would be asked of an entity.
  SetFront("SIRAPDENFIRMATARIO", QString());
  EXPECT_EQ(Run(), QStringList{Q(" - Dato obbligatorio mancante: Denominazione del firmatario")});
  SetFront("SIRAPCODFISRAPFIRMATARIO", Q("00000000000"));
  EXPECT_EQ(Run(), QStringList{Q(" - Dato obbligatorio mancante: Cognome del firmatario")})
      << "a code reading as zero is not an entity's";
}

TEST_F(TChecks, PresenceDependsOnTheFieldType) {
  // A structure may give a mandatory name another type: -1 is the failure
  // marker of the number conversion and counts as absent, 0 is present.
  TClientDataSet ds;
  ds.AddFieldDef(Q("SIRAPSTATO"), TFieldType::Integer);
  ds.AddFieldDef(Q("SIRAPSITUAZIONE"), TFieldType::Amount, 2);
  ds.AddFieldDef(Q("DIRAPPERIODOIMPOSTADAL"), TFieldType::Date);
  ds.CreateDataSet();
  ds.Append();
  Fld(ds, "SIRAPSTATO").SetAsInteger(-1);
  Fld(ds, "SIRAPSITUAZIONE").SetAsCurrency(Currency());
  Fld(ds, "DIRAPPERIODOIMPOSTADAL").SetAsDate(QDate(1899, 12, 30));
  ds.Post();
  QStringList messages;
  EXPECT_FALSE(CheckDeclarationData(messages, {&ds, nullptr, nullptr, nullptr, nullptr}));
  EXPECT_EQ(messages, (QStringList{Q(" - Dato obbligatorio mancante: Stato"),
                                   Q(" - Dato obbligatorio mancante: Data inizio periodo di imposta")}));
}

TEST_F(TChecks, ProductionValueMustBeTheSumOfItsParts) {
  SetIK({{"FIKVALIRAP1", 100},
         {"FIKVALIRAP2", 50},
         {"FIKVALIRAP3", 0},
         {"FIKVALIRAP4", 30},
         {"FIKVALIRAP5", 120},
         {"FIKAMMONTARE27", 120},
         {"FIKBASEIMP37", 100},
         {"FIKBASEIMP47", 20}});
  EXPECT_EQ(Run(), QStringList());
  SetIK({{"FIKVALIRAP5", 121}, {"FIKAMMONTARE27", 121}, {"FIKBASEIMP37", 101}});
  EXPECT_EQ(Run(), QStringList{kIK5});
}

TEST_F(TChecks, AmountsCompareAsWholeUnits) {
  // 120,40 and 119,60 both read as 120: no finding.
  dati.cdsQuadroIK.Edit();
  Fld(dati.cdsQuadroIK, "FIKVALIRAP1").SetAsCurrency(Currency::FromCents(12040));
  Fld(dati.cdsQuadroIK, "FIKVALIRAP5").SetAsCurrency(Currency::FromCents(11960));
  Fld(dati.cdsQuadroIK, "FIKAMMONTARE27").SetAsCurrency(Currency::FromUnits(120));
  Fld(dati.cdsQuadroIK, "FIKBASEIMP40").SetAsCurrency(Currency::FromUnits(120));
  dati.cdsQuadroIK.Post();
  EXPECT_EQ(Run(), QStringList());
}

TEST_F(TChecks, AmountOfRow27MustEqualTheProductionValue) {
  SetIK({{"FIKVALIRAP1", 10}, {"FIKVALIRAP5", 10}, {"FIKAMMONTARE27", 9}, {"FIKBASEIMP37", 10}});
  EXPECT_EQ(Run(), QStringList{kIK27});
}

TEST_F(TChecks, TaxBasesAreSummedOverEveryRecordOfTheView) {
  SetIK({{"FIKVALIRAP1", 100}, {"FIKVALIRAP5", 100}, {"FIKAMMONTARE27", 100}, {"FIKBASEIMP37", 60}});
  TClientDataSet& ik = dati.cdsQuadroIK;
  ik.Append();
  Fld(ik, "FIKBASEIMP45").SetAsCurrency(Currency::FromUnits(40));
  ik.Post();
  // The first record is current and left in editing: the walk posts it and
  // adds up both records against its IK5.
  ik.First();
  ik.Edit();
  Fld(ik, "FIKBASEIMP38").SetAsCurrency(Currency());
  EXPECT_EQ(Run(), QStringList());
  EXPECT_EQ(ik.State(), TDataSetState::Browse);
  EXPECT_EQ(ik.RecNo(), 1) << "the walk puts the cursor back";
  EXPECT_FALSE(ik.ControlsDisabled());

  ik.Last();
  ik.Edit();
  Fld(ik, "FIKBASEIMP45").SetAsCurrency(Currency::FromUnits(41));
  ik.Post();
  ik.First();
  EXPECT_EQ(Run(), QStringList{kBases});
}

TEST(ZurChecksEmail, MoreThanOneAtSignFails) {
  QStringList messages;
  EXPECT_TRUE(CheckSingleEmail(messages, QString()));
  EXPECT_TRUE(CheckSingleEmail(messages, Q("segreteria@scuola.it")));
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_FALSE(CheckSingleEmail(messages, Q("a@scuola.it;b@scuola.it")));
  EXPECT_EQ(messages,
            QStringList{Q(" - Dato Errato : Presenza di più di una mail nei Dati del contribuente")});
}

TEST(ZurChecksList, MandatoryListKeepsItsOrder) {
  ASSERT_EQ(MandatoryFieldList().size(), 8);
  EXPECT_EQ(MandatoryFieldList().first(),
            Q("SIRAPDENOM=Denominazione Soggetti diversi dalle persone fisiche"));
  EXPECT_EQ(MandatoryFieldList().last(), Q("LIRAPSESSO=Sesso del dichiarante diverso dal contribuente"));
}

TEST_F(TChecks, MoreRegionalRowsThanTheFormHoldsAreReported) {
  TClientDataSet& rows = dati.cdsQuadroIRVar;
  const auto add = [&rows](int n) {
    rows.Append();
    Fld(rows, "SIRCODREGIONE").SetAsString(QString::number(n).rightJustified(2, u'0'));
    rows.Post();
  };
  for (int n = 1; n <= 9; ++n)
    add(n);
  rows.First();
  EXPECT_EQ(Run(), QStringList());
  add(10);
  rows.First();
  EXPECT_EQ(Run(), QStringList{Q(" - Campo errato: Quadro IR, le righe di ripartizione regionale sono 10, il "
                                 "modello ne prevede al massimo 9")});
}
