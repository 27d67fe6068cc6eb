// The rules that the declaration datasets run on their own events, tested on
// the catalogue's structure without a database.
#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "support/ScriptedPlatform.h"
#include "platform/ZurError.h"
#include "support/DeclarationFixture.h"

#include <gtest/gtest.h>

using zurtest::Fld;
using zurtest::Q;

namespace {

QStringList FlagsOf(const TClientDataSet& ds) {
  QStringList flags;
  for (const TField* f : ds.Fields())
    if (f->FieldName().startsWith(QLatin1Char('L'))) flags << f->FieldName();
  return flags;
}

void AddRegionalRow(TdmZurDati& dati, int base) {
  dati.cdsQuadroIRVar.Append();
  Fld(dati.cdsQuadroIRVar, "FIRBASEIMP").SetAsInteger(base);
  dati.cdsQuadroIRVar.Post();
}

} // namespace

TEST(ZurDatiModule, AdditionalFieldsHoldOneRecordWithTheProducer) {
  TdmZurDati dati;
  EXPECT_FALSE(dati.Modified());
  EXPECT_FALSE(dati.AllActive());
  EXPECT_TRUE(dati.NoDeclaration());
  ASSERT_TRUE(dati.cdsCampiAggiuntivi.Active());
  EXPECT_EQ(dati.cdsCampiAggiuntivi.RecordCount(), 1);
  EXPECT_EQ(Fld(dati.cdsCampiAggiuntivi, "SCAIDPRODUTTORE").AsString(), Q("09876543210"));
  // The module counters are strings whatever their letter says.
  EXPECT_EQ(Fld(dati.cdsCampiAggiuntivi, "IIKMODULECOUNT").DataType(), TFieldType::String);
}

TEST(ZurDatiModule, DataSetsAreFoundByComponentName) {
  TdmZurDati dati;
  EXPECT_EQ(dati.DataSetByName(Q("cdsQuadroIRVar")), &dati.cdsQuadroIRVar);
  EXPECT_EQ(dati.DataSetByName(Q("CDSFRONTESPIZIO")), &dati.cdsFrontespizio);
  EXPECT_EQ(dati.DataSetByName(Q("cdsCampiAggiuntivi")), &dati.cdsCampiAggiuntivi);
  EXPECT_EQ(dati.DataSetByName(Q("cdsQuadroXX")), nullptr);
  EXPECT_EQ(dati.TableNames(), (QStringList{Q("TFRNT_FRONTESPIZIO"), Q("TQIK_QUADROIK"), Q("TQIR_QUADROIR"),
                                            Q("TQIRV_QUADROIR_VAR"), Q("TQIS_QUADROIS")}));
}

TEST(ZurDatiModule, WithoutStoreLoadingIsRefused) {
  TdmZurDati dati;
  EXPECT_THROW(dati.LoadAll(), EZurError);
}

TEST(ZurDatiNewRecord, EveryPageDefaultsItsFlagsToZeroExceptTrust) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  for (TClientDataSet* ds : dati.StoredDataSets()) {
    ds->Append();
    for (const QString& name : FlagsOf(*ds)) {
      if (name == QLatin1String("LIRAPTRUST"))
        EXPECT_TRUE(ds->FieldByName(name).IsNull()) << name.toStdString();
      else
        EXPECT_EQ(ds->FieldByName(name).AsString(), Q("0")) << name.toStdString();
    }
    ds->Cancel();
  }
  // The IS page has flags without its mnemonic: they follow the letter too.
  dati.cdsQuadroIS.Append();
  EXPECT_EQ(Fld(dati.cdsQuadroIS, "LESONERO").AsString(), Q("0"));
  dati.cdsQuadroIS.Cancel();
}

TEST(ZurDatiNewRecord, QuadriTakeTheOpenDeclarationAndTaxpayer) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati, 7, 1000003, "RSSMRA80A01H501U");
  EXPECT_EQ(dati.CurrentDeclarationId(), 1000003);
  EXPECT_EQ(dati.CurrentTaxpayerId(), 7);
  for (TClientDataSet* ds : {&dati.cdsQuadroIK, &dati.cdsQuadroIR, &dati.cdsQuadroIS}) {
    // Writing into the empty view of a declaration without that quadro
    // creates its record.
    ds->Edit();
    EXPECT_EQ(ds->State(), TDataSetState::Insert);
    ds->Post();
    ASSERT_EQ(ds->RecordCount(), 1) << "the new record must pass the taxpayer filter";
    EXPECT_EQ(Fld(*ds, "IIRAPID").AsInteger(), 1000003);
    EXPECT_EQ(Fld(*ds, "IAFIID").AsInteger(), 7);
    EXPECT_EQ(Fld(*ds, "SIRAPCODFIS").AsString(), Q("RSSMRA80A01H501U"));
  }
}

TEST(ZurDatiBeforePost, DeclarationIdIsFilledOnlyWhenMissing) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  TClientDataSet& ik = dati.cdsQuadroIK;
  ik.Append();
  Fld(ik, "IIRAPID").SetAsInteger(0);
  ik.Post();
  EXPECT_EQ(Fld(ik, "IIRAPID").AsInteger(), 1000001);
  ik.Edit();
  Fld(ik, "IIRAPID").SetAsInteger(1000009);
  ik.Post();
  EXPECT_EQ(Fld(ik, "IIRAPID").AsInteger(), 1000009);
  ik.Edit();
  Fld(ik, "IIRAPID").SetAsInteger(-4);
  ik.Post();
  EXPECT_EQ(Fld(ik, "IIRAPID").AsInteger(), 1000001);
}

TEST(ZurDatiBeforePost, EditedRecordKeepsItsTaxpayer) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati, 7);
  TClientDataSet& ir = dati.cdsQuadroIR;
  ir.Append();
  ir.Post();
  // Another declaration opened: editing the old record must not move it.
  zurtest::OpenCatalogueDeclaration(dati, 8, 1000002, "RSSMRA80A01H501U");
  ir.SetFiltered(false);
  ir.First();
  ir.Edit();
  Fld(ir, "FIR22").SetAsCurrency(Currency::FromUnits(5));
  ir.Post();
  EXPECT_EQ(Fld(ir, "IAFIID").AsInteger(), 7);
  EXPECT_EQ(Fld(ir, "SIRAPCODFIS").AsString(), Q("97123450583"));
}

TEST(ZurDatiBeforePost, CoverPageDerivesSeatDatesFromMonthAndYear) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  TClientDataSet& f = dati.cdsFrontespizio;
  f.Edit();
  Fld(f, "IIRAPMESESL").SetAsInteger(2);
  Fld(f, "IIRAPANNOSL").SetAsInteger(2020);
  Fld(f, "IIRAPMESEDF").SetAsInteger(12);
  Fld(f, "IIRAPANNODF").SetAsInteger(1999);
  f.Post();
  EXPECT_EQ(Fld(f, "DIRAPSEDELEGALE").AsDate(), QDate(2020, 2, 1));
  EXPECT_EQ(Fld(f, "DIRAPDOMFISCALE").AsDate(), QDate(1999, 12, 1));

  f.Edit();
  Fld(f, "IIRAPMESESL").SetAsInteger(13);
  Fld(f, "IIRAPANNODF").SetAsInteger(-5); // a year before Christ is no date for the form
  f.Post();
  EXPECT_TRUE(Fld(f, "DIRAPSEDELEGALE").IsNull());
  EXPECT_TRUE(Fld(f, "DIRAPDOMFISCALE").IsNull());

  f.Edit();
  Fld(f, "IIRAPMESESL").Clear();
  f.Post();
  EXPECT_TRUE(Fld(f, "DIRAPSEDELEGALE").IsNull());
}

TEST(ZurDatiBeforePost, SexSetsItsTwoBoxesAndOtherValuesLeaveThem) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  TClientDataSet& f = dati.cdsFrontespizio;
  f.Edit();
  Fld(f, "LIRAPSESSO").SetAsString(Q("F"));
  f.Post();
  EXPECT_EQ(Fld(f, "LIRAPSESSOM").AsString(), Q("0"));
  EXPECT_EQ(Fld(f, "LIRAPSESSOF").AsString(), Q("1"));
  f.Edit();
  Fld(f, "LIRAPSESSO").Clear();
  f.Post();
  EXPECT_EQ(Fld(f, "LIRAPSESSOM").AsString(), Q("0"));
  EXPECT_EQ(Fld(f, "LIRAPSESSOF").AsString(), Q("1"));
  f.Edit();
  Fld(f, "LIRAPSESSO").SetAsString(Q("M"));
  f.Post();
  EXPECT_EQ(Fld(f, "LIRAPSESSOM").AsString(), Q("1"));
  EXPECT_EQ(Fld(f, "LIRAPSESSOF").AsString(), Q("0"));
}

TEST(ZurDatiRegionalRows, NewRowIsLabelledAfterTheRowsOfTheView) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati, 7);
  // Rows of another taxpayer are not in the view and do not count.
  zurtest::OpenCatalogueDeclaration(dati, 9, 1000009, "RSSMRA80A01H501U");
  AddRegionalRow(dati, 1);
  dati.EnterDeclaration(1000001);
  AddRegionalRow(dati, 10);
  AddRegionalRow(dati, 20);
  TClientDataSet& rv = dati.cdsQuadroIRVar;
  ASSERT_EQ(rv.RecordCount(), 2);
  rv.Append();
  EXPECT_EQ(Fld(rv, "RIGO").AsString(), Q("IR34"));
  EXPECT_EQ(Fld(rv, "IIRAPID").AsInteger(), 1000001);
  EXPECT_EQ(Fld(rv, "IAFIID").AsInteger(), 7);
  EXPECT_EQ(Fld(rv, "SIRAPCODFIS").AsString(), Q("97123450583"));
  rv.Cancel();
}

TEST(ZurDatiRegionalRows, LabelFollowsThePositionInTheView) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  for (int base : {10, 20, 30})
    AddRegionalRow(dati, base);
  TClientDataSet& rv = dati.cdsQuadroIRVar;
  QStringList labels;
  for (rv.First(); !rv.Eof(); rv.Next())
    labels << Fld(rv, "RIGO").AsString();
  EXPECT_EQ(labels, (QStringList{Q("IR32"), Q("IR33"), Q("IR34")}));
  // Removing the first row relabels the others.
  rv.First();
  rv.Delete();
  rv.First();
  EXPECT_EQ(Fld(rv, "RIGO").AsString(), Q("IR32"));
  EXPECT_EQ(Fld(rv, "FIRBASEIMP").AsInteger(), 20);
}

TEST(ZurDatiRegionalRows, RowWithOnlyItsKeysIsEmpty) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  TClientDataSet& rv = dati.cdsQuadroIRVar;
  rv.Append();
  rv.Post();
  // The rules filled the keys and the label: the row is still empty.
  EXPECT_TRUE(TdmZurDati::IsEmptyRegionalRow(rv));
  rv.Edit();
  Fld(rv, "SIRCODREGIONE").SetAsString(Q("08"));
  rv.Post();
  EXPECT_FALSE(TdmZurDati::IsEmptyRegionalRow(rv));
  rv.Edit();
  Fld(rv, "SIRCODREGIONE").Clear();
  Fld(rv, "FIRDEB_TES").SetAsInteger(-1);
  rv.Post();
  EXPECT_FALSE(TdmZurDati::IsEmptyRegionalRow(rv));
}

TEST(ZurDatiEditing, EnteringEditOrInsertOfAStoredDataSetSetsModified) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  EXPECT_FALSE(dati.Modified());
  for (TClientDataSet* ds : dati.StoredDataSets()) {
    dati.SetModified(false);
    ds->Edit();
    EXPECT_TRUE(dati.Modified());
    ds->Cancel();
  }
  dati.SetModified(false);
  dati.cdsCampiAggiuntivi.Edit();
  dati.cdsCampiAggiuntivi.Cancel();
  EXPECT_FALSE(dati.Modified());
}

TEST(ZurDatiEditing, PostAllPostsEveryPendingEdit) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati);
  for (TClientDataSet* ds : dati.StoredDataSets())
    ds->Edit();
  dati.PostAll();
  for (TClientDataSet* ds : dati.StoredDataSets())
    EXPECT_EQ(ds->State(), TDataSetState::Browse);
  EXPECT_EQ(dati.cdsQuadroIRVar.RecordCount(), 1);
}

TEST(ZurDatiOpen, UnknownIdChangesNothing) {
  TdmZurDati dati;
  EXPECT_FALSE(dati.OpenDeclaration(0)) << "closed datasets cannot be opened";
  zurtest::OpenCatalogueDeclaration(dati, 7, 1000001);
  zurtest::OpenCatalogueDeclaration(dati, 8, 1000002, "RSSMRA80A01H501U");
  EXPECT_FALSE(dati.OpenDeclaration(1000077));
  EXPECT_EQ(dati.CurrentDeclarationId(), 1000002);
  EXPECT_EQ(Fld(dati.cdsFrontespizio, "IIRAPID").AsInteger(), 1000002);
  EXPECT_TRUE(dati.OpenDeclaration(0));
  EXPECT_EQ(dati.CurrentDeclarationId(), 1000001);
}

TEST(ZurDatiOpen, UnsavedCoverPageLeavesTheTaxpayerAsItWas) {
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati, 7);
  TClientDataSet& f = dati.cdsFrontespizio;
  f.Append();
  Fld(f, "IIRAPID").SetAsInteger(1000002);
  f.Post();
  dati.ApplyCurrentTaxpayer();
  EXPECT_EQ(dati.CurrentTaxpayerId(), 7);
  EXPECT_EQ(dati.cdsQuadroIK.Filter(), Q("IAFIID = 7"));
}

TEST(ZurDatiChoice, OpenOffersTheChoiceOnlyAmongSeveral) {
  TScriptedPlatform platform;
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati, 7, 1000001);
  dati.cdsFrontespizio.SetFilter(Q("IAFIID = 7"));
  dati.cdsFrontespizio.SetFiltered(true);
  EXPECT_EQ(dati.Open(), 1000001);
  EXPECT_TRUE(platform.calls().empty());

  zurtest::OpenCatalogueDeclaration(dati, 8, 1000002, "RSSMRA80A01H501U");
  // A telematic run leaves the cover pages filtered: the choice sees them all.
  dati.cdsFrontespizio.SetFilter(Q("IAFIID = 8"));
  dati.cdsFrontespizio.SetFiltered(true);
  platform.AnswerChoice(1000001);
  EXPECT_EQ(dati.Open(), 1000001);
  ASSERT_EQ(platform.calls().size(), 1u);
  EXPECT_EQ(platform.calls()[0].kind, Q("choice"));
  EXPECT_EQ(platform.calls()[0].text, Q("open 2"));
  EXPECT_EQ(dati.CurrentTaxpayerId(), 7);
  EXPECT_FALSE(dati.Modified());
}

TEST(ZurDatiChoice, DeleteCancelledAtTheChoiceOrTheQuestionChangesNothing) {
  TScriptedPlatform platform;
  TdmZurDati dati;
  zurtest::OpenCatalogueDeclaration(dati, 7, 1000001);
  zurtest::OpenCatalogueDeclaration(dati, 8, 1000002, "RSSMRA80A01H501U");
  platform.AnswerChoice(-1);
  EXPECT_FALSE(dati.Delete());
  platform.AnswerChoice(0); // the dialog closed without a choice
  EXPECT_FALSE(dati.Delete());
  platform.AnswerChoice(1000001);
  platform.AnswerMessage(TModalResult::No);
  EXPECT_FALSE(dati.Delete());
  EXPECT_EQ(platform.messages(), QStringList{Q("Confermi la cancellazione del modello?")});
  EXPECT_EQ(platform.calls().back().type, TMsgDlgType::Confirmation);
  EXPECT_EQ(dati.cdsFrontespizio.RecordCount(), 2);
  EXPECT_EQ(dati.cdsFrontespizio.ChangeCount(), 0) << "nothing deleted, nothing saved";
}
