// What the builder writes for each section, read back from the file as
// written: the element order, the conditions, the reading rules and the
// prefixes the rewrite gives.
#include "telematic/TelematicFixture.h"

#include "platform/ZurError.h"

#include <QFileInfo>

using namespace zurtest;

namespace {

class TTelBuilder : public TTelematicTest {};

QStringList L(std::initializer_list<const char*> lines) {
  QStringList out;
  for (const char* l : lines)
    out << QString::fromUtf8(l);
  return out;
}

// --- Frontespizio -----------------------------------------------------------------

TEST_F(TTelBuilder, CoverPageWithOnlyCodeAndNameWritesOnlyTheMandatoryElements) {
  Front({{"LIRAPIK", QVariant()},
         {"LIRAPIR", QVariant()},
         {"LIRAPIS", QVariant()},
         {"IIRAPUNICO", QVariant()}});
  m_platform.AnswerMessage(TModalResult::Yes);
  const QString text = Run();
  EXPECT_EQ(
      Element(text, Q("ir:Frontespizio")),
      L({"<ir:Frontespizio>", "<sc:SoggettoFiscale>", "<sc:CodiceFiscale>97123450583</sc:CodiceFiscale>",
         "</sc:SoggettoFiscale>", "<ir:SoggettiDiversiDaPF>", "<ir:Denominazione>ISTITUTO</ir:Denominazione>",
         "</ir:SoggettiDiversiDaPF>", "<ir:FirmaDichiarazione>",
         "<ir:FirmaDichiarante>0</ir:FirmaDichiarante>", "</ir:FirmaDichiarazione>",
         "<ir:IdentificativoProdSoftware>09876543210</ir:IdentificativoProdSoftware>",
         "</ir:Frontespizio>"}));
}

TEST_F(TTelBuilder, NameIsCleanedCapitalisedAndWithoutDegreeSign) {
  Front({{"SIRAPDENOM", Q("  Istituto \"Enrico Fermi\" n°1 Â ")}});
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("ir:Denominazione")),
            L({"<ir:Denominazione>ISTITUTO 'ENRICO FERMI' N1 </ir:Denominazione>"}));
}

TEST_F(TTelBuilder, EmptyNameStillWritesAnEmptyDenominazione) {
  Front({{"SIRAPDENOM", Q("   ")}});
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("ir:Denominazione")), L({"<ir:Denominazione/>"}));
}

TEST_F(TTelBuilder, ZeroBoxIsWrittenNullBoxIsLeftOut) {
  Front({{"LIRAPIK", Q("0")}, {"LIRAPIR", QVariant()}, {"LIRAPIS", Q("0")}});
  m_platform.AnswerMessage(TModalResult::Yes);
  const QString text = Run();
  EXPECT_TRUE(text.contains(Q("<ir:CasellaIK>0</ir:CasellaIK>\r\n<ir:CasellaIS>0</ir:CasellaIS>\r\n")));
  EXPECT_FALSE(text.contains(Q("CasellaIR")));
}

TEST_F(TTelBuilder, CorrectiveWinsOverIntegrative) {
  Front({{"LIRAPCORRTERMINI", Q("1")}, {"SIRAPDICHINTEGRATIVA", Q("1")}, {"LIRAPDICHINTART2DPR322", Q("1")}});
  m_platform.AnswerMessage(TModalResult::Yes);
  EXPECT_EQ(Element(Run(), Q("ir:TipoDichiarazione")),
            L({"<ir:TipoDichiarazione>", "<ir:Correttiva>1</ir:Correttiva>", "</ir:TipoDichiarazione>"}));
}

TEST_F(TTelBuilder, IntegrativeTypeWhenNotCorrective) {
  Front({{"LIRAPCORRTERMINI", Q("0")}, {"SIRAPDICHINTEGRATIVA", Q("2")}});
  m_platform.AnswerMessage(TModalResult::Yes);
  EXPECT_EQ(Element(Run(), Q("ir:TipoDichiarazione")),
            L({"<ir:TipoDichiarazione>", "<ir:Integrativa>2</ir:Integrativa>", "</ir:TipoDichiarazione>"}));
}

TEST_F(TTelBuilder, DomicileChangeDateIsMonthAndYear) {
  // The form keeps month and year; the cover page turns them into the date.
  Front({{"IIRAPANNODF", 2024}, {"IIRAPMESEDF", 3}, {"SIRAPCOMUNEDF", Q("forlì")}});
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("sc:DomicilioFiscale")),
            L({"<sc:DomicilioFiscale>", "<sc:Comune>FORLÌ</sc:Comune>",
               "<sc:DataVariazione>032024</sc:DataVariazione>", "</sc:DomicilioFiscale>"}));
}

TEST_F(TTelBuilder, AuditorWithOnlyFiscalCodeHasNoSoggettoAndFollowsTheSignature) {
  // An unticked signature box of the frame stores "0": no signature.
  Front({{"SIRAPCODFISCONTRCONTABILE2", Q(" bncgpp80a01h501z ")},
         {"SIRAPFIRMAATTEST2", Q("X")},
         {"SIRAPFIRMAINCCONTRCONTABILE2", Q("0")},
         {"SIRAPFIRMADICHIARANTE", Q("0")}});
  AgreeingBoxes();
  const QStringList firma = Element(Run(), Q("ir:FirmaDichiarazione"));
  ASSERT_GE(firma.size(), 7);
  EXPECT_EQ(
      firma.mid(firma.size() - 7),
      L({"<ir:FirmaDichiarante>0</ir:FirmaDichiarante>", "<ir:FirmaRevisore>",
         "<ir:CodiceFiscale>bncgpp80a01h501z</ir:CodiceFiscale>",
         "<ir:FirmaDichiarante>0</ir:FirmaDichiarante>", "<ir:FirmaAttestazione>1</ir:FirmaAttestazione>",
         "</ir:FirmaRevisore>", "</ir:FirmaDichiarazione>"}));
}

TEST_F(TTelBuilder, SupplierTypeTextBecomesAnInteger) {
  Front({{"SIRAPTIPOFORNITORE", Q("01")}, {"SIRAPCODFISFORNITORE", Q("01234567890")}});
  AgreeingBoxes();
  const QStringList lines = Run().split(Q("\r\n"));
  ASSERT_GT(lines.size(), 12);
  EXPECT_EQ(
      lines.mid(0, 12),
      L({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
         "<tm:Messaggio xmlns:tm=\"www.agenziaentrate.gov.it:specificheTecniche:telent:v1\" "
         "xmlns:cm=\"urn:www.agenziaentrate.gov.it:specificheTecniche:common\" "
         "xmlns:ir=\"urn:www.agenziaentrate.gov.it:specificheTecniche:sco:ira\" "
         "xmlns:sc=\"urn:www.agenziaentrate.gov.it:specificheTecniche:sco:common\">",
         "<tm:Intestazione>", "      <tm:CodiceFiscaleFornitore>01234567890</tm:CodiceFiscaleFornitore>",
         "</tm:Intestazione>", "<tm:Contenuto CodiceFornitura=\"IRA25\">", "<ir:Fornitura>",
         "<ir:Intestazione>", "<ir:TipoFornitore>1</ir:TipoFornitore>", "</ir:Intestazione>",
         "<ir:Dichiarazione identificativo=\"00001\">", "<ir:Frontespizio>"}));
}

TEST_F(TTelBuilder, SignatoryGroupOnlyWithTheSignatoryCode) {
  Front({{"SIRAPCOGNOME", Q("Rossi")}, {"SIRAPCODCARICA", Q("1")}});
  AgreeingBoxes();
  EXPECT_FALSE(Run().contains(Q("DatiSottoscrittore")));
  Front({{"SIRAPCODFISRAPFIRMATARIO", Q("rssmra70a01h501u")},
         {"SIRAPTELEFONO", Q("06 1234")},
         {"SIRAPDICHDIVCONTTELCELL", Q("333")}});
  const QString text = Run();
  EXPECT_EQ(Element(text, Q("ir:DatiSottoscrittore")),
            L({"<ir:DatiSottoscrittore>", "<ir:CodiceFiscale>RSSMRA70A01H501U</ir:CodiceFiscale>",
               "<ir:CodiceCarica>1</ir:CodiceCarica>", "<ir:DatiAnagrafici>",
               "<sc:Cognome>ROSSI</sc:Cognome>", "<sc:Sesso>0</sc:Sesso>", "</ir:DatiAnagrafici>",
               "<ir:Telefono>333</ir:Telefono>", "</ir:DatiSottoscrittore>"}));
  // Only the first telephone, the taxpayer's, is of the common types.
  EXPECT_TRUE(text.contains(Q("<sc:Telefono>06 1234</sc:Telefono>")));
}

// --- Quadro IK ------------------------------------------------------------------------

TEST_F(TTelBuilder, QuadroIKWithOnlyTheValueOfProduction) {
  Quadro(m_dati.cdsQuadroIK, {{"FIKVALIRAP5", 1200}, {"LIKMODRIEPILOGO", Q("0")}});
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("ir:QuadroIK")),
            L({"<ir:QuadroIK>", "<ir:PrimoModulo>", "<ir:AmministrazioniAttIstituzionali>",
               "<ir:ValoreProduzione>1200</ir:ValoreProduzione>", "</ir:AmministrazioniAttIstituzionali>",
               "</ir:PrimoModulo>", "</ir:QuadroIK>"}));
}

TEST_F(TTelBuilder, QuadroIKTotalAloneAndNegativeAmounts) {
  Quadro(m_dati.cdsQuadroIK, {{"FIKVALIRAP11", Q("1500,50")}, {"FIKVALIRAP25", Q("-7")}});
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("ir:PrimoModulo")),
            L({"<ir:PrimoModulo>", "<ir:AmministrazioniAttCommerciali>", "<ir:TotalePositivi>",
               "<ir:Totale>1501</ir:Totale>", "</ir:TotalePositivi>", "</ir:AmministrazioniAttCommerciali>",
               "<ir:AmministrazioniProdAgricoli>", "<ir:ValoreProduzioneNetta>-7</ir:ValoreProduzioneNetta>",
               "</ir:AmministrazioniProdAgricoli>", "</ir:PrimoModulo>"}));
}

TEST_F(TTelBuilder, NoQuadriStillWritesAnEmptyQuadroIR) {
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("ir:DatiContabili")),
            L({"<ir:DatiContabili>", "<ir:QuadroIR>", "<ir:PrimoModulo/>", "</ir:QuadroIR>",
               "</ir:DatiContabili>"}));
}

// --- Quadro IR --------------------------------------------------------------------------

TEST_F(TTelBuilder, RegionalBlocksSkipTheEmptyOnesAndKeepTheirOrder) {
  Quadro(m_dati.cdsQuadroIR, {{"SIRCODREGIONE01", Q(" 12 ")},
                              {"FIRBASEIMP01", 1000},
                              {"SIRAGEREGIONE01", Q(" A ")},
                              {"FIRALIQUOTA01", Q("8,5")},
                              {"FIRDEDREG1", 10},
                              {"FIRIMPLORDA01", 85},
                              {"SIRCODREGIONE03", Q("5")},
                              {"FIRRISALLSOC", 100},
                              {"FIRFIRCREDIMPRAS", 40},
                              {"FIR27", 3}});
  AgreeingBoxes();
  EXPECT_EQ(
      Element(Run(), Q("ir:PrimoModulo")),
      L({"<ir:PrimoModulo>", "<ir:RipartizioneBaseImp>", "<ir:RipartizioneRegionale>",
         "<ir:CodiceRegione>12</ir:CodiceRegione>", "<ir:BaseImponibile>1000</ir:BaseImponibile>",
         "<ir:CodiceAliquota>A</ir:CodiceAliquota>", "<ir:Aliquota>8,5</ir:Aliquota>",
         "<ir:DeduzioneRegionale>10</ir:DeduzioneRegionale>", "<ir:ImpostaLorda>85</ir:ImpostaLorda>",
         "</ir:RipartizioneRegionale>", "<ir:RipartizioneRegionale>",
         "<ir:CodiceRegione>5</ir:CodiceRegione>", "</ir:RipartizioneRegionale>", "</ir:RipartizioneBaseImp>",
         "<ir:VersamentoImposta>", "<ir:RiscattoAlloggiSociali>40</ir:RiscattoAlloggiSociali>",
         "<ir:ImportoDebito>3</ir:ImportoDebito>", "</ir:VersamentoImposta>", "</ir:PrimoModulo>"}));
}

// Nine rows fill the form; a row without a region code is left out of the
// file. More than nine are refused (TTelRun.TenRegionalRowsAreNeverWrittenAsNine).
TEST_F(TTelBuilder, NineRegionalRowsAndAnEmptyCodeIsLeftOut) {
  for (int i = 1; i <= 9; ++i)
    Quadro(m_dati.cdsQuadroIRVar,
           {{"SIRCODREGIONE", i == 2 ? Q(" ") : QString::number(i)}, {"FIRIMPOSTA", i}}, true);
  AgreeingBoxes();
  const QString text = Run();
  EXPECT_EQ(text.count(Q("<ir:RipartizioneRegionaleRetrib>")), 8);
  EXPECT_TRUE(text.contains(Q("<ir:CodiceRegione>9</ir:CodiceRegione>")));
  EXPECT_FALSE(text.contains(Q("<ir:CodiceRegione>2</ir:CodiceRegione>")));
}

TEST_F(TTelBuilder, RegionCodeThatIsNotANumberStopsTheRunAndWritesNothing) {
  Quadro(m_dati.cdsQuadroIR, {{"SIRCODREGIONE02", Q("1a")}});
  AgreeingBoxes();
  const QString path = m_root.filePath(Q("bad.xml"));
  try {
    m_modulo.CreaFileTelematico(path);
    FAIL() << "no error";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("SIRCODREGIONE02"))) << e.message().toStdString();
    EXPECT_TRUE(e.message().contains(Q("'1a'")));
  }
  EXPECT_FALSE(QFileInfo::exists(path));
}

// --- Quadro IS ------------------------------------------------------------------------------

TEST_F(TTelBuilder, QuadroISFirstBlocksGateTheOthers) {
  Quadro(m_dati.cdsQuadroIS, {{"SIS25_1", Q("B")},
                              {"IIS37_SEZ03", 2},
                              {"SIS37_ATECO04", Q("85.31")},
                              {"LIS35_OPZIONE", Q("2")},
                              {"LIS36_REVOCA", Q("1")},
                              {"FIS01_2", -5},
                              {"FIS85_4P", -9}});
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("ir:QuadroIS")),
            L({"<ir:QuadroIS>", "<ir:PrimoModulo>", "<ir:DeduzioniArt11>",
               "<ir:DeduzioneContributiAss>-5</ir:DeduzioneContributiAss>", "</ir:DeduzioniArt11>",
               "<ir:Opzioni>", "<ir:AmministrazioniEntiPubblici>", "<ir:Revoca>1</ir:Revoca>",
               "</ir:AmministrazioniEntiPubblici>", "</ir:Opzioni>", "</ir:PrimoModulo>", "</ir:QuadroIS>"}));
}

TEST_F(TTelBuilder, QuadroISListsAndStateAid) {
  Quadro(m_dati.cdsQuadroIS, {{"SIS22_1", Q("A")},
                              {"SIS28_1", Q("C")},
                              {"FIS30_1", 7},
                              {"IIS37_SEZ01", 1},
                              {"IIS37_SEZ05", 3},
                              {"SIS37_ATECO06", Q(" 85 ")},
                              {"FISXCREDRIC2", 500},
                              {"SISXCODFISCED2", Q("X")},
                              {"FISXIQUOGEIE3", 4},
                              {"SISXICFCGEIE3", Q("GEIE")},
                              {"FIS201BG_ANNO", 2023},
                              {"SIS202IU_CF1", Q("CF1")}});
  AgreeingBoxes();
  const QString text = Run();
  EXPECT_EQ(Element(text, Q("ir:DisallFusioneScissione")),
            L({"<ir:DisallFusioneScissione>", "<ir:Disallineamenti>", "<ir:TipoBeni>A</ir:TipoBeni>",
               "</ir:Disallineamenti>", "<ir:Disallineamenti>", "<ir:TipoBeni>C</ir:TipoBeni>",
               "<ir:DifferenzaImpostaSostitutiva>7</ir:DifferenzaImpostaSostitutiva>",
               "</ir:Disallineamenti>", "</ir:DisallFusioneScissione>"}));
  EXPECT_EQ(Element(text, Q("ir:CodiciAtt")),
            L({"<ir:CodiciAtt>", "<ir:CodiceAttivita>", "<ir:Sezione>1</ir:Sezione>", "</ir:CodiceAttivita>",
               "<ir:CodiceAttivita>", "<ir:Sezione>3</ir:Sezione>", "<ir:Valore>85</ir:Valore>",
               "</ir:CodiceAttivita>", "</ir:CodiciAtt>"}));
  EXPECT_EQ(Element(text, Q("ir:OperazioniStraordinarie")),
            L({"<ir:OperazioniStraordinarie>", "<ir:CreditoRicevuto>", "<ir:CfCedente>X</ir:CfCedente>",
               "<ir:Importo>500</ir:Importo>", "</ir:CreditoRicevuto>", "</ir:OperazioniStraordinarie>"}));
  // The fiscal code of an EEIG keeps the declaration's prefix.
  EXPECT_EQ(Element(text, Q("ir:Geie")),
            L({"<ir:Geie>", "<ir:DatiGeie>", "<ir:CodiceFiscale>GEIE</ir:CodiceFiscale>",
               "<ir:Quota>4</ir:Quota>", "</ir:DatiGeie>", "</ir:Geie>"}));
  // Without aid code and type the group starts with the single-enterprise codes.
  EXPECT_EQ(Element(text, Q("ir:AiutiDiStato")),
            L({"<ir:AiutiDiStato>", "<ir:CodFiscaleImpresaUnica>CF1</ir:CodFiscaleImpresaUnica>",
               "</ir:AiutiDiStato>"}));
}

TEST_F(TTelBuilder, StateAidYearIsShortenedFrom2001On) {
  Quadro(m_dati.cdsQuadroIS,
         {{"FIS201BG_TIPOAIUTO", 1}, {"FIS201BG_ANNO", 2023}, {"SIS201DP_CAP", Q("00100")}});
  AgreeingBoxes();
  QString text = Run();
  EXPECT_TRUE(
      text.contains(Q("<ir:TipoAiuto>1</ir:TipoAiuto>\r\n<ir:Anno>23</ir:Anno>\r\n<sc:Cap>00100</sc:Cap>")))
      << text.toStdString();
  Quadro(m_dati.cdsQuadroIS, {{"FIS201BG_ANNO", 99}});
  text = Run();
  EXPECT_TRUE(text.contains(Q("<ir:Anno>99</ir:Anno>")));
  // The aid's dates are day counts: 0 is no date (not 30/12/1899).
  Quadro(m_dati.cdsQuadroIS, {{"FIS201DP_DATAINIZIO", 0}, {"FIS201DP_DATAFINE", 45292}});
  text = Run();
  EXPECT_FALSE(text.contains(Q("DataInizio"))) << text.toStdString();
  EXPECT_TRUE(text.contains(Q("<ir:DataFine>01012024</ir:DataFine>"))) << text.toStdString();
}

TEST_F(TTelBuilder, ClearedZoneCodeWritesNoZoneItem) {
  Quadro(m_dati.cdsQuadroIS, {{"SISXIVCODZFU80", Q("")},
                              {"SISXIVCODZFU82", Q("7")},
                              {"SISXIVCODREG82", Q("12")},
                              {"SISXIVCODALI82", Q("B ")},
                              {"FISXIVDIFFCOL82", 9}});
  AgreeingBoxes();
  EXPECT_EQ(Element(Run(), Q("ir:ZoneFrancheUrbane")),
            L({"<ir:ZoneFrancheUrbane>", "<ir:DatiZfu>", "<ir:CodiceZfu>7</ir:CodiceZfu>",
               "<ir:CodiceRegione>12</ir:CodiceRegione>", "<ir:CodiceAliquota>B </ir:CodiceAliquota>",
               "<ir:Differenza>9</ir:Differenza>", "</ir:DatiZfu>", "</ir:ZoneFrancheUrbane>"}));
}

// --- what a clerk types ----------------------------------------------------------------------

TEST_F(TTelBuilder, TypedTextReachesTheFileAsTypedAndWellFormed) {
  const QString tricky = Q("<b>\"Ca' d'Oro\" & ir:sc:ir:/x ir:Email> àèìòù €\x01\r\n");
  Front({{"SIRAPSTATO", tricky}, {"SIRAPEMAIL", Q("a&b@x.it")}, {"SIRAPPARTITAIVA", Q("><ir:Fax>")}});
  AgreeingBoxes();
  const QString text = Run();
  EXPECT_TRUE(text.contains(
      Q("<ir:Stato>&lt;b&gt;&quot;Ca' d'Oro&quot; &amp; ir:sc:ir:/x ir:Email&gt; àèìòù €</ir:Stato>")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(Q("<sc:Email>A&amp;B@X.IT</sc:Email>")));
  EXPECT_TRUE(text.contains(Q("<ir:PartitaIVA>&gt;&lt;ir:Fax&gt;</ir:PartitaIVA>")));
}

} // namespace
