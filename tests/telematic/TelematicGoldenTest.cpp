// Whole files compared byte for byte with the expected ones under
// tests/data/telematic. Set ZUR_UPDATE_GOLDEN=1 to rewrite them after a
// deliberate change, and read the difference before committing it.
#include "telematic/TelematicFixture.h"

#include <QDir>

using namespace zurtest;

namespace {

class TTelGolden : public TTelematicTest {
protected:
  void SetUp() override {
    TTelematicTest::SetUp();
    Front({{"SIRAPTIPOFORNITORE", Q("01")},
           {"SIRAPCODFISFORNITORE", Q("97123450583")},
           {"SIRAPDENOM", Q("Istituto Comprensivo \"Via delle Betulle\" N° 1")},
           {"DIRAPPERIODOIMPOSTADAL", QDate(2024, 1, 1)},
           {"DIRAPPERIODOIMPOSTAAL", QDate(2024, 12, 31)},
           {"SIRAPNATURAGIURIDICA", Q("51")},
           {"SIRAPSITUAZIONE", Q("1")},
           {"SIRAPSTATO", Q("1")}});
  }

  void ExpectGolden(const char* name) {
    const QString text = Run();
    const QString path = Q(ZUR_TEST_DATA_DIR "/telematic/") + Q(name);
    if (qEnvironmentVariableIsSet("ZUR_UPDATE_GOLDEN")) {
      QFile out(path);
      ASSERT_TRUE(out.open(QIODevice::WriteOnly));
      out.write(text.toUtf8());
    }
    QFile expected(path);
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(text.toUtf8(), expected.readAll()) << name;
  }

  // Every field of the dataset that the file can carry gets a value: numbers
  // from the field's position, so that each element shows which field filled
  // it; texts that must be whole numbers as digits.
  static void FillAll(TClientDataSet& ds) {
    static const QStringList keys = {Q("IAFIID"), Q("IIRAPID"), Q("IFISRIGO"), Q("SIRAPCODFIS")};
    ds.Edit();
    int n = 1;
    for (TField* f : ds.Fields()) {
      if (f->Calculated() || keys.contains(f->FieldName())) continue;
      ++n;
      switch (f->DataType()) {
      case TFieldType::String:
        f->SetAsString(f->Size() == 1 ? Q("1") : QString::number(n));
        break;
      case TFieldType::Date:
        f->SetAsDate(QDate(2024, 1, 1).addDays(n));
        break;
      case TFieldType::Integer:
      case TFieldType::Amount:
        f->SetAsString(QString::number(n * 10));
        break;
      default:
        break;
      }
    }
    ds.Post();
  }
};

TEST_F(TTelGolden, Minimal) {
  AgreeingBoxes();
  ExpectGolden("minimal.xml");
}

TEST_F(TTelGolden, FullyFilled) {
  Quadro(m_dati.cdsQuadroIK, {{"FIKVALIRAP1", 1}});
  Quadro(m_dati.cdsQuadroIR, {{"FIR22", 1}});
  Quadro(m_dati.cdsQuadroIS, {{"FIS01_2", 1}});
  for (int i = 0; i < 3; ++i)
    Quadro(m_dati.cdsQuadroIRVar, {{"SIRCODREGIONE", Q("1")}}, true);
  FillAll(m_dati.cdsFrontespizio);
  FillAll(m_dati.cdsQuadroIK);
  FillAll(m_dati.cdsQuadroIR);
  FillAll(m_dati.cdsQuadroIS);
  for (m_dati.cdsQuadroIRVar.First(); !m_dati.cdsQuadroIRVar.Eof(); m_dati.cdsQuadroIRVar.Next())
    FillAll(m_dati.cdsQuadroIRVar);
  // What a clerk may type, in the places the file carries as typed.
  Front({{"SIRAPDENOM", Q("  Scuola \"Dante\" & <Figli> N° 3 ")},
         {"SIRAPSTATO", Q("Città ir:sc: <b>")},
         {"SIRAPCODFISCONTRCONTABILE3", Q("cf&'revisore'")},
         {"SIRAPCODFISINTERMEDIARIO", Q("ir:/x")}});
  m_platform.AnswerMessage(TModalResult::Yes);
  ExpectGolden("full.xml");
}

TEST_F(TTelGolden, Integrative) {
  Front({{"LIRAPCORRTERMINI", Q("0")},
         {"SIRAPDICHINTEGRATIVA", Q("1")},
         {"LIRAPDICHINTEGRATIVA", Q("1")},
         {"SIRAPCODFISINTERMEDIARIO", Q("01234567890")},
         {"SIRAPNISCRALBOCAF", Q("123")},
         {"LIRAPIMPINVIOTEL", Q("1")},
         {"DIRAPDATAIMPEGNO", QDate(2025, 9, 30)},
         {"SIRAPFIRMAINTERMEDIARIO", Q("1")}});
  Quadro(m_dati.cdsQuadroIK, {{"FIKVALIRAP1", 50000}, {"FIKVALIRAP5", 50000}});
  Quadro(m_dati.cdsQuadroIS, {{"SISDICINTCF_91", Q("97123450583")},
                              {"FISPERIMP_91", 2022},
                              {"SISCODREG_91", Q("12")},
                              {"FISMAGCRED_91", 300},
                              {"FISMAGCRED_96", 300}});
  Front({{"LIRAPIK", Q("2")}, {"LIRAPIR", Q("3")}, {"LIRAPIS", Q("1")}});
  ExpectGolden("integrative.xml");
}

TEST_F(TTelGolden, RegionalRows) {
  Quadro(m_dati.cdsQuadroIK, {{"FIKVALIRAP1", 100000}, {"FIKVALIRAP5", 100000}});
  Quadro(m_dati.cdsQuadroIR, {{"SIRCODREGIONE01", Q("12")},
                              {"FIRPRODUZIONE01", 60000},
                              {"FIRBASEIMP01", 60000},
                              {"SIRAGEREGIONE01", Q("1")},
                              {"FIRALIQUOTA01", Q("8,5")},
                              {"FIRIMPLORDA01", 5100},
                              {"FIRIMPOSTA01", 5100},
                              {"SIRCODREGIONE02", Q("5")},
                              {"FIRBASEIMP02", 40000},
                              {"FIRIMPOSTA02", 3400},
                              {"FIR22", 8500},
                              {"FIR27", 8500}});
  Quadro(m_dati.cdsQuadroIRVar,
         {{"SIRCODREGIONE", Q("12")}, {"FIRBASEIMP", 60000}, {"FIRIMPOSTA", 5100}, {"FIRDEB_F24", 5100}},
         true);
  Quadro(m_dati.cdsQuadroIRVar, {{"SIRCODREGIONE", Q("")}, {"FIRIMPOSTA", 1}}, true);
  Quadro(m_dati.cdsQuadroIRVar,
         {{"SIRCODREGIONE", Q("5")}, {"FIRBASEIMP", 40000}, {"FIRIMPOSTA", 3400}, {"FIRDEB_TES", 3400}},
         true);
  AgreeingBoxes();
  ExpectGolden("regional.xml");
}

} // namespace
