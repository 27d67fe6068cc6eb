// The mapping tables of the telematic file: which field fills which element,
// how it is read and when it is written, in the order of the file.
#include "telematic/TelMapping.h"

#include <array>

namespace zurtel {
namespace {

using enum TRule;
using enum TCond;

constexpr TTelRow W(const char* path, const char* field, TRule rule, TCond cond, int skip = 0) {
  return {TOp::Write, path, field, rule, cond, skip};
}
constexpr TTelRow Or(const char* field, TCond cond) {
  return {TOp::Or, "", field, Raw, cond, 0};
}
constexpr TTelRow Gate(const char* field, TCond cond, int skip) {
  return {TOp::Gate, "", field, Raw, cond, skip};
}
// A choice among alternatives: the first that is written skips the rest.
constexpr TTelRow First(const char* path, const char* field, TRule rule, TCond cond, int rest) {
  return {TOp::Write, path, field, rule, cond, -rest};
}

// --- Frontespizio ------------------------------------------------------------
constexpr TTelRow kFrontespizio[] = {
    W("SoggettoFiscale/CodiceFiscale", "SIRAPCODFIS", UT, Always),
    W("SoggettoFiscale/Email", "SIRAPEMAIL", UT, TNotEmpty),
    W("SoggettoFiscale/Telefono", "SIRAPTELEFONO", UT, TNotEmpty),
    W("SoggettoFiscale/Fax", "SIRAPFAX", UT, TNotEmpty),
    W("CodiceRegione", "SIRAPCODREG", N, TNotEmpty),
    W("Regione", "SIRAPREGIONE", UT, TNotEmpty),
    First("TipoDichiarazione/Correttiva", "LIRAPCORRTERMINI", I, NotZero, 3),
    First("TipoDichiarazione/Integrativa", "SIRAPDICHINTEGRATIVA", I, RawNotEmpty, 2),
    First("TipoDichiarazione/IntegrativaArt2Co8Ter", "LIRAPDICHINTART2DPR322", I, NotZero, 1),
    W("TipoDichiarazione/IntegrativaErroriContabili", "LIRAPDICHINTERRORIC", I, NotZero),
    W("ImmobiliSequestratiEsenti", "LIRAPIMMSEQESE", I, NotZero),
    W("EventiEccezionali", "SIRAPEVENTECCEZIONALI", N, TNotEmpty),
    W("Art13_bis", "LIRAPART13BIS", I, NotZero),
    W("PartitaIVA", "SIRAPPARTITAIVA", T, TNotEmpty),
    W("SoggettiDiversiDaPF/Denominazione", "SIRAPDENOM", Denom, Always),
    W("SoggettiDiversiDaPF/DomicilioFiscale/Comune", "SIRAPCOMUNEDF", UT, TNotEmpty),
    W("SoggettiDiversiDaPF/DomicilioFiscale/Provincia", "SIRAPPROVINCIADF", UT, TNotEmpty),
    W("SoggettiDiversiDaPF/DomicilioFiscale/CodiceComune", "SIRAPCODCOMUNEDF", UT, TNotEmpty),
    W("SoggettiDiversiDaPF/DomicilioFiscale/Indirizzo", "SIRAPFRAZIONEDF", UT, TNotEmpty),
    W("SoggettiDiversiDaPF/DomicilioFiscale/Cap", "SIRAPCAPDF", UT, TNotEmpty),
    W("SoggettiDiversiDaPF/DomicilioFiscale/DataVariazione", "DIRAPDOMFISCALE", MY, NotNull),
    W("SoggettiDiversiDaPF/DataApprovazioneBilancio", "DIRAPDATAAPPROVAZIONE", D, NotNull),
    W("SoggettiDiversiDaPF/TermineApprovazioneBilancio", "DIRAPTERMINELEGALE", D, NotNull),
    W("SoggettiDiversiDaPF/InizioPeriodoImposta", "DIRAPPERIODOIMPOSTADAL", D, NotNull),
    W("SoggettiDiversiDaPF/FinePeriodoImposta", "DIRAPPERIODOIMPOSTAAL", D, NotNull),
    W("SoggettiDiversiDaPF/Stato", "SIRAPSTATO", T, TNotEmpty),
    W("SoggettiDiversiDaPF/NaturaGiuridica", "SIRAPNATURAGIURIDICA", UT, TNotEmpty),
    W("SoggettiDiversiDaPF/Situazione", "SIRAPSITUAZIONE", UT, TNotEmpty),
    W("SoggettiNonResidenti/StatoEsteroResidenza", "SIRAPSTATOESTERO", UT, TNotEmpty, 2),
    W("SoggettiNonResidenti/CodiceStatoEstero", "SIRAPCODPAESEESTERO", N, TNotEmpty),
    W("SoggettiNonResidenti/CodiceIdentificazioneEstero", "SIRAPCODFISESTERO", UT, TNotEmpty),
    W("DichiarazioneRedditi", "IIRAPUNICO", I, NotZero),
    W("ImpresaConcessionaria", "LIRAPIMPCONC", I, NotZero),
    W("DatiSottoscrittore/CodiceFiscale", "SIRAPCODFISRAPFIRMATARIO", UT, TNotEmpty, 17),
    W("DatiSottoscrittore/CodiceCarica", "SIRAPCODCARICA", N, TNotEmpty),
    W("DatiSottoscrittore/CodiceFiscaleSocieta", "SIRAPCODFISDICH", UT, TNotEmpty),
    W("DatiSottoscrittore/DatiAnagrafici/Cognome", "SIRAPCOGNOME", UT, TNotEmpty),
    W("DatiSottoscrittore/DatiAnagrafici/Nome", "SIRAPNOME", UT, TNotEmpty),
    W("DatiSottoscrittore/DatiAnagrafici/Sesso", "LIRAPSESSO", UT, TNotEmpty),
    W("DatiSottoscrittore/DatiAnagrafici/DataNascita", "DIRAPDATANASCITA", D, NotNull),
    W("DatiSottoscrittore/DatiAnagrafici/ComuneNascita", "SIRAPCOMUNENASCITA", UT, TNotEmpty),
    W("DatiSottoscrittore/DatiAnagrafici/ProvinciaNascita", "SIRAPPROVINCIANASCITA", UT, TNotEmpty),
    W("DatiSottoscrittore/ResidenzaEstera/CodiceStatoEstero", "SIRAPDICHDIVCONTCODSTAEST", UT, TNotEmpty, 3),
    W("DatiSottoscrittore/ResidenzaEstera/StatoFederato", "SIRAPDICHDIVCONTSTATO", UT, TNotEmpty),
    W("DatiSottoscrittore/ResidenzaEstera/LocalitaEstero", "SIRAPDICHDIVCONTLOCRES", UT, TNotEmpty),
    W("DatiSottoscrittore/ResidenzaEstera/IndirizzoEstero", "SIRAPDICHDIVCONTINDEST", UT, TNotEmpty),
    W("DatiSottoscrittore/Telefono", "SIRAPDICHDIVCONTTELCELL", UT, TNotEmpty),
    W("DatiSottoscrittore/DataCarica", "DIRAPDATACARICA", D, DateSet),
    W("DatiSottoscrittore/InizioProcedura", "DIRAPDATAINIZIOPROC", D, DateSet),
    W("DatiSottoscrittore/ProceduraNonTerminata", "LIRAPPROCNONTERM", I, Positive),
    W("DatiSottoscrittore/FineProcedura", "DIRAPDATAFINEPROC", D, DateSet),
    W("FirmaDichiarazione/CasellaIK", "LIRAPIK", I, NotNull),
    W("FirmaDichiarazione/CasellaIR", "LIRAPIR", I, NotNull),
    W("FirmaDichiarazione/CasellaIS", "LIRAPIS", I, NotNull),
    W("FirmaDichiarazione/InvioAvvisoIntermediario", "LIRAPINVAVVTEL", I, NotZero),
    W("FirmaDichiarazione/irInvioAltreComunicazioniIntermediario", "LIRAPINVALTRETEL", I, NotZero),
    W("FirmaDichiarazione/EsoneroApposizioneVistoConformita", "LIRAPESOAPPVISCONFOR", I, NotZero),
    W("FirmaDichiarazione/FirmaDichiarante", "SIRAPFIRMADICHIARANTE", F, Always),
};

constexpr TTelGate kRevisoreGates[] = {{"SIRAPSOGGETTO#", TNotEmpty},
                                       {"SIRAPCODFISCONTRCONTABILE#", TNotEmpty}};
constexpr const char* kOneToFive[] = {"1", "2", "3", "4", "5"};
constexpr TTelRow kRevisore[] = {
    W("Soggetto", "SIRAPSOGGETTO#", N, TNotEmpty),
    W("CodiceFiscale", "SIRAPCODFISCONTRCONTABILE#", T, TNotEmpty),
    W("FirmaDichiarante", "SIRAPFIRMAINCCONTRCONTABILE#", F, Always),
    W("FirmaAttestazione", "SIRAPFIRMAATTEST#", F, Always),
};
constexpr TTelList kRevisoreList = {"FirmaDichiarazione", "ir:FirmaRevisore", kRevisoreGates,
                                    kOneToFive,           kRevisore,          false};

constexpr TTelRow kFrontespizioTail[] = {
    W("ImpegnoATrasmettere/CFintermediario", "SIRAPCODFISINTERMEDIARIO", T, TNotEmpty, 6),
    W("ImpegnoATrasmettere/NumeroIscrAlboCAF", "SIRAPNISCRALBOCAF", NRaw, TNotEmpty),
    W("ImpegnoATrasmettere/ImpegnoATrasmettere", "LIRAPIMPINVIOTEL", I, Positive),
    W("ImpegnoATrasmettere/RicezioneAvvisoTelem", "LIRAPRICAVVTEL", I, Positive),
    W("ImpegnoATrasmettere/RicezioneAltreComunicazioni", "LIRAPRICALTRETEL", I, Positive),
    W("ImpegnoATrasmettere/DataImpegno", "DIRAPDATAIMPEGNO", D, NotNull),
    W("ImpegnoATrasmettere/FirmaIntermediario", "SIRAPFIRMAINTERMEDIARIO", F, Always),
    Or("SIRAPCODFISRESPCAF", TNotEmpty),
    Or("SIRAPCODFISCAF", TNotEmpty),
    Gate("SIRAPCODFISPROF", TNotEmpty, 4),
    W("VistoConformita/VistoCAF/CFResp", "SIRAPCODFISRESPCAF", T, TNotEmpty),
    W("VistoConformita/VistoCAF/CF_CAF", "SIRAPCODFISCAF", T, TNotEmpty),
    W("VistoConformita/CFprofessionista", "SIRAPCODFISPROF", T, TNotEmpty),
    W("VistoConformita/Firma", "SIRAPFIRMAPROFCAF", F, Always),
};
// Read from the supplementary fields, not from the cover page.
constexpr TTelRow kProdSoftware[] = {W("IdentificativoProdSoftware", "SCAIDPRODUTTORE", Raw, TNotEmpty)};

// --- Quadro IK -------------------------------------------------------------------
constexpr TTelRow kQuadroIK[] = {
    W("ModuloRiepilogativo", "LIKMODRIEPILOGO", I, Positive),
    W("AmministrazioniAttIstituzionali/RetribuzioniPersonaleDip", "FIKVALIRAP1", I, NotZero),
    W("AmministrazioniAttIstituzionali/RedditiExArt50", "FIKVALIRAP2", I, NotZero),
    W("AmministrazioniAttIstituzionali/RedditiExArt67", "FIKVALIRAP3", I, NotZero),
    W("AmministrazioniAttIstituzionali/DeduzioniRedditiRicercatori", "FIKREDDRICERCATORI4", I, NotZero),
    W("AmministrazioniAttIstituzionali/SpeseApprendistiDisabili", "FIKSPESEAPPR4", I, NotZero),
    W("AmministrazioniAttIstituzionali/ContrattiFormazione", "FIKCONTRFORMAZIONE4", I, NotZero),
    W("AmministrazioniAttIstituzionali/TotaleDeduzioni", "FIKVALIRAP4", I, NotZero),
    W("AmministrazioniAttIstituzionali/ValoreProduzione", "FIKVALIRAP5", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiPositivi/RicaviVendite", "FIKVALIRAP6", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiPositivi/VariazioniRimanenzeProdotti", "FIKVALIRAP7", I,
      NotZero),
    W("AmministrazioniAttCommerciali/ComponentiPositivi/VariazioniLavoriInCorso", "FIKVALIRAP8", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiPositivi/IncrementiImmobilizzazioni", "FIKVALIRAP9", I,
      NotZero),
    W("AmministrazioniAttCommerciali/ComponentiPositivi/AltriRicavi", "FIKVALIRAP10", I, NotZero),
    W("AmministrazioniAttCommerciali/RecuperoDedExtracontabili", "FIKVALIRAP11DED", I, NotZero),
    W("AmministrazioniAttCommerciali/QuotePositiviPrecedentiPeriodi", "FIKVALIRAP11PREC", I, NotZero),
    W("AmministrazioniAttCommerciali/TotalePositivi/Totale", "FIKVALIRAP11", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiNegativi/CostiMateriePrime", "FIKVALIRAP12", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiNegativi/CostiServizi", "FIKVALIRAP13", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiNegativi/CostiGodimentoBeni", "FIKVALIRAP14", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiNegativi/AmmortamentoImmMateriali", "FIKVALIRAP15", I,
      NotZero),
    W("AmministrazioniAttCommerciali/ComponentiNegativi/AmmortamentoImmImmateriali", "FIKVALIRAP16", I,
      NotZero),
    W("AmministrazioniAttCommerciali/ComponentiNegativi/VariazioniRimanenze", "FIKVALIRAP17", I, NotZero),
    W("AmministrazioniAttCommerciali/ComponentiNegativi/OneriGestione", "FIKVALIRAP18", I, NotZero),
    W("AmministrazioniAttCommerciali/TotaleNegativi/PatentBoxArt6Dl46", "FIKPATBOX19", I, NotZero),
    W("AmministrazioniAttCommerciali/TotaleNegativi/UtiliFederazioniSportive", "FIKUTFEDSP19", I, NotZero),
    W("AmministrazioniAttCommerciali/TotaleNegativi/Totale", "FIKVALIRAP19", I, NotZero),
    W("AmministrazioniAttCommerciali/DeduzioniRedditiRicercatori", "FIKREDDRICERCATORI20", I, NotZero),
    W("AmministrazioniAttCommerciali/ContributiAssicurazioni", "FIKCONTRINFORTUNI20", I, NotZero),
    W("AmministrazioniAttCommerciali/SpeseApprendistiDisabili", "FIKSPESEAPPR20", I, NotZero),
    W("AmministrazioniAttCommerciali/ContrattiFormazione", "FIKCONTRFORMAZIONE20", I, NotZero),
    W("AmministrazioniAttCommerciali/DeduzioneCostoPersDip", "FIKDEDCRESPDIP20", I, NotZero),
    W("AmministrazioniAttCommerciali/TotaleDeduzioni", "FIKVALIRAP20", I, NotZero),
    W("AmministrazioniAttCommerciali/ValoreProduzione", "FIKVALIRAP21", I, NotZero),
    W("AmministrazioniProdAgricoli/Corrispettivi", "FIKVALIRAP22", I, NotZero),
    W("AmministrazioniProdAgricoli/AcquistiProduzione", "FIKVALIRAP23", I, NotZero),
    W("AmministrazioniProdAgricoli/ContributiAssicurazioni", "FIKCONTRINFORTUNI24", I, NotZero),
    W("AmministrazioniProdAgricoli/SpeseApprendistiDisabili", "FIKSPESEAPPR24", I, NotZero),
    W("AmministrazioniProdAgricoli/ContrattiFormazione", "FIKCONTRFORMAZIONE24", I, NotZero),
    W("AmministrazioniProdAgricoli/DeduzioneCostoPersDip", "FIKCOSTORESPDIPE24", I, NotZero),
    W("AmministrazioniProdAgricoli/TotaleDeduzioni", "FIKVALIRAP24", I, NotZero),
    W("AmministrazioniProdAgricoli/ValoreProduzioneNetta", "FIKVALIRAP25", I, NotZero),
};

// --- Quadro IR ----------------------------------------------------------------------
constexpr TTelGate kRegioneGates[] = {{"SIRCODREGIONE#", TNotEmpty}};
constexpr const char* kBlocchi[] = {"01", "02", "03", "04", "05", "06", "07", "08"};
// The deduction field alone has a one-digit suffix: '$' stands for it.
constexpr TTelRow kRipartizione[] = {
    W("CodiceRegione", "SIRCODREGIONE#", N, Always),
    W("ValoreProd", "FIRPRODUZIONE#", I, NotZero),
    W("QuotaGEIE", "FIRQUOTAGEIE#", I, NotZero),
    W("BaseImponibile", "FIRBASEIMP#", I, NotZero),
    W("CodiceAliquota", "SIRAGEREGIONE#", T, TNotEmpty),
    W("Aliquota", "FIRALIQUOTA#", T, TNotEmpty),
    W("DeduzioneRegionale", "FIRDEDREG$", I, NotZero),
    W("ImpostaLorda", "FIRIMPLORDA#", I, NotZero),
    W("DetrazioneRegionale", "FIRDETRREG#", I, NotZero),
    W("CreditiImpostaRegionali", "FIRCREIMPREG#", I, NotZero),
    W("ImpostaNetta", "FIRIMPOSTA#", I, NotZero),
};
constexpr TTelList kRipartizioneList = {
    "RipartizioneBaseImp", "ir:RipartizioneRegionale", kRegioneGates, kBlocchi, kRipartizione, false};

constexpr TTelRow kVersamento[] = {
    W("VersamentoImposta/RiscattoAlloggiSociali", "FIRRISALLSOC", I, NotZero),
    W("VersamentoImposta/TotaleImposta", "FIR22", I, NotZero),
    W("VersamentoImposta/CreditoImposta/CreditoInfrastrutture", "FIRCREDIMP1", I, NotZero),
    W("VersamentoImposta/CreditoImposta/CreditoOpereIngegno", "FIRCREDIMP2", I, NotZero),
    W("VersamentoImposta/CreditoImposta/Importo", "FIRCREDIMP3", I, NotZero),
    W("VersamentoImposta/CreditoAceQuoteAnnuali", "FIRFIRCREDIMPCREACE", I, NotZero),
    W("VersamentoImposta/CreditoAceResiduo", "FIRFIRCREDIMPRESCREACE", I, NotZero),
    W("VersamentoImposta/RiscattoAlloggiSociali", "FIRFIRCREDIMPRAS", I, NotZero),
    W("VersamentoImposta/AltriCrediti", "FIRFIRCREDIMPALTCRE", I, NotZero),
    W("VersamentoImposta/Eccedenza", "FIR24", I, NotZero),
    W("VersamentoImposta/EccedenzaCompensata", "FIR25", I, NotZero),
    W("VersamentoImposta/AccontiVersati/AccontiSospesi", "FIRACCSOSP26", I, NotZero),
    W("VersamentoImposta/AccontiVersati/CreditoRiversato", "FIRCRERISATTREC26", I, NotZero),
    W("VersamentoImposta/AccontiVersati/Art25decreto34", "FIRCRERISART24", I, NotZero),
    W("VersamentoImposta/AccontiVersati/Importo", "FIRACCONTI26", I, NotZero),
    W("VersamentoImposta/ImportoDebito", "FIR27", I, NotZero),
    W("VersamentoImposta/ImportoCredito", "FIR28", I, NotZero),
    W("VersamentoImposta/EccedenzaSaldo", "FIR29", I, NotZero),
    W("VersamentoImposta/CreditoRimborso", "FIR30", I, NotZero),
    W("VersamentoImposta/CreditoCompensazione", "FIR31", I, NotZero),
    W("VersamentoImposta/CodiceFiscaleConsolidante", "SIR31CRECEDCFCONS", Raw, RawNotEmpty),
    W("VersamentoImposta/CreditoCedutoConsolidato", "FIR32", I, NotZero),
};

constexpr TTelRow kQuadroIRVar[] = {
    W("CodiceRegione", "SIRCODREGIONE", N, Always),
    W("BaseImponibile", "FIRBASEIMP", I, NotZero),
    W("CodiceAliquota", "SIRAGEREGIONE", T, TNotEmpty),
    W("Imposta", "FIRIMPOSTA", I, NotZero),
    W("CreditoImposta", "FIRCREDITO", I, NotZero),
    W("Eccedenza", "FIRECCEDENZA", I, NotZero),
    W("DiCuiCompensata", "FIRECC_COMP", I, NotZero),
    W("TotaleAccontiDovuti", "FIRTOTACCONTIDOV", I, NotZero),
    W("TotaleAcconti", "FIRTOTACCONTI", I, NotZero),
    W("DiCuiTesoreria", "FIRTOTACCONTI_TES", I, NotZero),
    W("ImportoDebito", "FIRDEBITO", I, NotZero),
    W("VersatoF24", "FIRDEB_F24", I, NotZero),
    W("VersatoTesoreria", "FIRDEB_TES", I, NotZero),
    W("ImportoCredito", "FIRIMPCREDITO", I, NotZero),
    W("EccedenzaSaldo", "FIRECC_SALDO", I, NotZero),
};

// --- Quadro IS ----------------------------------------------------------------------
constexpr TTelRow kDeduzioni[] = {
    W("DeduzioniArt11/DeduzioneContributiAss", "FIS01_2", I, NotZero),
    W("DeduzioniArt11/NumeroSoggetti1", "IIS02_1", I, NotZero),
    W("DeduzioniArt11/DeduzioneDeMinimis", "FIS02_NEW2", I, NotZero),
    W("DeduzioniArt11/LavoratoriAgricoliForf", "FIS02_3", I, NotZero),
    W("DeduzioniArt11/DeduzioneForfetaria", "FIS02_2", I, NotZero),
    W("DeduzioniArt11/LavoratoriAgricoliPrev", "FIS03_3", I, NotZero),
    W("DeduzioniArt11/DeduzioneContrPrev", "FIS03_2", I, NotZero),
    W("DeduzioniArt11/NumeroSoggetti2", "IIS05_1", I, NotZero),
    W("DeduzioniArt11/DeduzioneSpeseRicercaSvil", "FIS04_NEW2", I, NotZero),
    W("DeduzioniArt11/DeduzioneSpeseAppr", "FIS04_2", I, NotZero),
    W("DeduzioniArt11/Deduzione1850Euro", "FIS05_2", I, NotZero),
    W("DeduzioniArt11/NumeroSoggetti3", "FISNEW06_1", I, NotZero),
    W("DeduzioniArt11/DeduzioneIncrOcccup", "FISNEW06_2", I, NotZero),
    W("DeduzioniArt11/NumeroSoggetti4", "FISNEW07_1", I, NotZero),
    W("DeduzioniArt11/DeduzioneCostoLavorStag", "FIS7_LAVSTA", I, NotZero),
    W("DeduzioniArt11/DeduzioneCostoPersDip", "FISNEW07_DEDU", I, NotZero),
    W("DeduzioniArt11/SommaDeduzioni", "FIS06_2", I, NotZero),
    W("DeduzioniArt11/SommaEccedenze", "FIS07_2", I, NotZero),
    W("DeduzioniArt11/TotaleDeduzioni", "FIS08_1", I, NotZero),
    W("RipartizioneTerritoriale/CasiParticolari", "LCASI_PARTICOLARI", NRaw, TextIntNotZero),
    W("RipartizioneTerritoriale/AmmontareRetribuzioni/Estero", "FIS11_1", I, NotZero),
    W("RipartizioneTerritoriale/AmmontareRetribuzioni/Italia", "FIS11_2", I, NotZero),
    W("RipartizioneTerritoriale/AmmontareDepositi/Estero", "FIS13_1", I, NotZero),
    W("RipartizioneTerritoriale/AmmontareDepositi/Italia", "FIS13_2", I, NotZero),
    W("RipartizioneTerritoriale/AmmontareImpieghi/Estero", "FIS14_1", I, NotZero),
    W("RipartizioneTerritoriale/AmmontareImpieghi/Italia", "FIS14_2", I, NotZero),
    W("RipartizioneTerritoriale/AmmontarePremi/Estero", "FIS15_1", I, NotZero),
    W("RipartizioneTerritoriale/AmmontarePremi/Italia", "FIS15_2", I, NotZero),
    W("RecuperoDedExtracont/DeduzioniQuadroEC", "FIS16_1", I, NotZero),
    W("RecuperoDedExtracont/EccedenzeImpostaSost", "FIS16_2", I, NotZero),
    W("RecuperoDedExtracont/DistribuzioneRiserve", "FIS16_3", I, NotZero),
    W("RecuperoDedExtracont/Differenza", "FIS16_4", I, NotZero),
    W("RecuperoDedExtracont/QuotaImponibile", "FIS16_5", I, NotZero),
    W("RecuperoDedExtracont/ImportoDeducibile", "FIS16_6", I, NotZero),
    W("SoggettiNonOperativi/Esonero", "LESONERO", NRaw, TextIntNotZero),
    W("SoggettiNonOperativi/ValoreProdMinimo/RedditoMinimo", "FIS17_1", I, NotZero),
    W("SoggettiNonOperativi/ValoreProdMinimo/RetribuzioniCompensi", "FIS18_1", I, NotZero),
    W("SoggettiNonOperativi/ValoreProdMinimo/InteressiPassivi", "FIS19_1", I, NotZero),
    W("SoggettiNonOperativi/ValoreProdMinimo/Deduzioni", "FIS20_1", I, NotZero),
    W("SoggettiNonOperativi/ValoreProdMinimo/ValoreProduzione", "FIS21_3", I, NotZero),
};

// Misalignments: the three blocks differ only in the numbers of their rows,
// so the suffix is the block's first row number and '+' steps pick the others.
constexpr TTelGate kDisallGates[] = {{"SIS#_1", TNotEmpty}};
constexpr const char* kDisallBlocchi[] = {"22", "25", "28"};
constexpr TTelRow kDisall[] = {
    W("TipoBeni", "SIS#_1", Raw, Always),
    W("ValoreFiscaleDantecausa", "FIS#_2", I, NotZero),
    W("ValoreCivile/ValoreIniziale", "FIS#+1_1", I, NotZero),
    W("ValoreCivile/Incrementi", "FIS#+1_2", I, NotZero),
    W("ValoreCivile/Decrementi", "FIS#+1_3", I, NotZero),
    W("ValoreCivile/ValoreFinale", "FIS#+1_4", I, NotZero),
    W("ValoreFiscale/ValoreIniziale", "FIS#+1_5", I, NotZero),
    W("ValoreFiscale/Incrementi", "FIS#+1_6", I, NotZero),
    W("ValoreFiscale/Decrementi", "FIS#+1_7", I, NotZero),
    W("ValoreFiscale/ValoreFinale", "FIS#+1_8", I, NotZero),
    W("DifferenzaImpostaSostitutiva", "FIS#+2_1", I, NotZero),
};
constexpr TTelList kDisallList = {
    "DisallFusioneScissione", "ir:Disallineamenti", kDisallGates, kDisallBlocchi, kDisall, true};

constexpr TTelRow kUsaOpzioni[] = {
    W("DatiConvenzioneUsa/CostiLavoroDipendente", "FIS31_1", I, NotZero),
    W("DatiConvenzioneUsa/InteressiPassivi", "FIS32_1", I, NotZero),
    W("DatiConvenzioneUsa/ImportoAccreditabile", "FIS33_1", I, NotZero),
    W("RidetermAcconto/ValoreProdRideterminato", "FISPRODRID", I, NotZero),
    W("RidetermAcconto/ImpostaRideterminata", "FISIMPRID", I, NotZero),
    W("RidetermAcconto/AccontoRideterminato", "FISACCRID", I, NotZero),
    W("RidetermAcconto/MaggioreAccontoDovuto", "FISMAGACCDOV", I, NotZero),
    W("Opzioni/ProduttoriAgricoli/Opzione", "LIS35_OPZIONE", I, IsOne),
    W("Opzioni/ProduttoriAgricoli/Revoca", "LIS35_REVOCA", I, IsOne),
    W("Opzioni/AmministrazioniEntiPubblici/Opzione", "LIS36_OPZIONE", I, IsOne),
    W("Opzioni/AmministrazioniEntiPubblici/Revoca", "LIS36_REVOCA", I, IsOne),
    W("Opzioni/OpzioneSocPers", "LISNEW36_OPZIONE", I, IsOne),
    W("Opzioni/RevSocPers", "LISNEW36_REVOCA", I, IsOne),
};

// Activity codes: pairs (section, code) numbered 01/02 .. 09/10; the suffix is
// the section's number and '+1' gives the code's.
constexpr TTelGate kAttGates[] = {{"IIS37_SEZ#", NotZero}};
constexpr const char* kAttCoppie[] = {"01", "03", "05", "07", "09"};
constexpr TTelRow kAtt[] = {
    W("Sezione", "IIS37_SEZ#", I, Always),
    W("Valore", "SIS37_ATECO#+1", T, TNotEmpty),
};
constexpr TTelList kAttList = {"CodiciAtt", "ir:CodiceAttivita", kAttGates, kAttCoppie, kAtt, true};

constexpr TTelGate kCredRicGates[] = {{"FISXCREDRIC#", Positive}};
constexpr const char* kOneToTwo[] = {"1", "2"};
constexpr const char* kOneToThree[] = {"1", "2", "3"};
constexpr const char* kOneToSix[] = {"1", "2", "3", "4", "5", "6"};
constexpr TTelRow kCredRic[] = {
    W("CfCedente", "SISXCODFISCED#", T, TNotEmpty),
    W("Importo", "FISXCREDRIC#", I, Always),
};
constexpr TTelList kCredRicList = {
    "OperazioniStraordinarie", "ir:CreditoRicevuto", kCredRicGates, kOneToTwo, kCredRic, false};
constexpr TTelRow kTotOperazioni[] = {W("TotaleOperazioni", "FISXCREDRICTOT", I, Positive)};

constexpr TTelGate kGeieGates[] = {{"FISXIQUOGEIE#", Positive}};
constexpr TTelRow kGeie[] = {
    W("CodiceFiscale", "SISXICFCGEIE#", T, TNotEmpty),
    W("Quota", "FISXIQUOGEIE#", I, Always),
};
constexpr TTelList kGeieList = {"Geie", "DatiGeie", kGeieGates, kOneToThree, kGeie, false};
constexpr TTelRow kTotGeie[] = {
    W("TotaleGeie/Quota", "FISXITOTGEIE", I, Positive),
    W("TotaleGeie/UlterioreDeduzione", "FISXIULTDED", I, Positive),
};

constexpr TTelGate kDedRegGates[] = {{"FISXIIDEDDETREG#", Positive}};
constexpr TTelRow kDedReg[] = {
    W("CodiceRegione", "SISXIICODREG#", N, TNotEmpty),
    W("CodiceDeduzione", "SISXIICODRDED#", N, TNotEmpty),
    W("CodiceDetrazione", "SISXIICODRDET#", N, TNotEmpty),
    W("CodiceCreditoImposta", "SISXIICODCREIMP#", N, TNotEmpty),
    W("Importo", "FISXIIDEDDETREG#", I, Always),
};
constexpr TTelList kDedRegList = {
    "DeduzioniDetrazioniReg", "DatiRegione", kDedRegGates, kOneToThree, kDedReg, false};

constexpr TTelGate kZfuGates[] = {{"SISXIVCODZFU#", NotNull}};
constexpr const char* kZfuRighe[] = {"80", "81", "82", "83"};
constexpr TTelRow kZfu[] = {
    W("CodiceZfu", "SISXIVCODZFU#", NRaw, Always),
    W("CodiceRegione", "SISXIVCODREG#", NRaw, NotNull),
    W("ValoreProdFruito", "FISXIVVALPROD#", I, NotZero),
    W("CodiceAliquota", "SISXIVCODALI#", Raw, TNotEmpty),
    W("Aliquota", "FISXIVALIQ#", Raw, TNotEmpty),
    W("Agevolazione", "FISXIVAMMAG#", I, NotZero),
    W("AgevUtilizzataAcconti", "FISXIVAGUTVERACC#", I, NotZero),
    W("Differenza", "FISXIVDIFFCOL#", I, NotZero),
};
constexpr TTelList kZfuList = {"ZoneFrancheUrbane", "DatiZfu", kZfuGates, kZfuRighe, kZfu, false};

constexpr TTelRow kCrediti[] = {
    W("irTotaleZfu", "FISXIVTOTALEZFU", I, Positive),
    W("CredAceQuartoPerPrecedente", "FIS85_4P", I, Positive),
    W("CredAceTerzoPerPrecedente", "FIS85_3P", I, Positive),
    W("CredAceSecondoPerPrecedente", "FIS85_2P", I, Positive),
    W("CredAcePrimoPerPrecedente", "FIS85_1P", I, Positive),
    W("CredAcePresentePer", "FIS85_PRESP", I, Positive),
    W("CredResiduoQuartoPerPrecedenteDaIrap18", "FISCRERES_4P", I, Positive),
    W("CredResiduoTerzoPerPrecedenteDaIrap18", "FISCRERES_3P", I, Positive),
    W("CredResiduoSecondoPerPrecedenteDaIrap18", "FISCRERES_2P", I, Positive),
    W("CredResiduoPrimoPerPrecedenteDaIrap18", "FISCRERES_1P", I, Positive),
    W("CreditoResiduoQuartoPerPrecedente", "FIS86_4P", I, Positive),
    W("CreditoResiduoTerzoPerPrecedente", "FIS86_3P", I, Positive),
    W("CredResiduoSecondoPerPrecedente", "FIS86_2P", I, Positive),
    W("CredResiduoPrimoPerPrecedente", "FIS86_RESPREC", I, Positive),
    W("CredResiduoPresentePer", "FIS86_RESPRES", I, Positive),
    W("CredResiduoUtilizzabile", "FIS88_CRERESUTI", I, Positive),
    W("CredResiduodaRiportare", "FIS88_CRERESRIPO", I, Positive),
    W("RecDedExtraCompPos", "FIS87_COMPPOS", I, Positive),
    W("RecDedExtraCompNeg", "FIS87_COMPNEG", I, Positive),
    W("PatBoxValProdEscluso", "FIS88_VPRODESC", I, Positive),
    W("PatBoxDocumentazione1", "FIS90_PATBOXDOC1", I, Positive),
    W("PatBoxPlusvEscluso", "FIS88_PLUSESC", I, Positive),
    W("PatBoxDocumentazione2", "FIS90_PATBOXDOC2", I, Positive),
    W("PatBoxAgevAnniPrec", "FISAGANNIPREC_1P", I, Positive),
    W("PatBoxRecuperoPlus", "FIS89_RECASPLUS", I, Positive),
    W("CreditoEccedPrecDichiarazione", "FIS89_ECCPRECDIC", I, Positive),
    W("CreditoEccedPrecDichiarazioneCompensata", "FIS89_COMPF24", I, Positive),
    W("CreditoPresenteDichiarazione", "FIS89_CREPRESDIC", I, Positive),
    W("CreditoCompensazione", "FIS89_CREUTCOMP", I, Positive),
    W("CreditoCedutoConsolidato", "FIS89_CRECEDCONS", I, Positive),
};

constexpr TTelGate kIntegrGates[] = {{"SISDICINTCF_#", NotNull}};
constexpr const char* kIntegrRighe[] = {"91", "92", "93", "94", "95"};
constexpr TTelRow kIntegr[] = {
    W("CodiceFiscale", "SISDICINTCF_#", Raw, Always),        W("PeriodoImposta", "FISPERIMP_#", I, NotZero),
    W("CodiceRegione", "SISCODREG_#", NRaw, TextIntNotZero), W("ErroriContabili", "FISERRCONT_#", I, NotZero),
    W("MaggiorCredito", "FISMAGCRED_#", I, NotZero),
};
constexpr TTelList kIntegrList = {
    "DichiarazioneIntegrativa", "DichiarazioneIntegrativaDati", kIntegrGates, kIntegrRighe, kIntegr, false};
constexpr TTelRow kTotIntegr[] = {
    W("DichiarazioneIntegrativa/TotaleErroriContabili", "FISERRCONT_96", I, Positive),
    W("DichiarazioneIntegrativa/TotaleMaggiorCredito", "FISMAGCRED_96", I, Positive),
};

constexpr TTelRow kAiuti[] = {
    Or("FIS201BG_CODAIUTO", NotNull),
    Gate("FIS201BG_TIPOAIUTO", NotNull, 32),
    W("AiutiDiStato/TipoAiuto", "FIS201BG_TIPOAIUTO", I, NotZero),
    W("AiutiDiStato/CodiceAiuto", "FIS201BG_CODAIUTO", I, NotZero),
    W("AiutiDiStato/TipoNorma", "FIS201BG_TIPONORMA", I, NotZero),
    W("AiutiDiStato/CodiceRegione", "SIS201BG_CODREG", Raw, RawNotEmpty),
    W("AiutiDiStato/Quadro", "SIS201_QUADRO", Raw, RawNotEmpty),
    W("AiutiDiStato/Anno", "FIS201BG_ANNO", Anno, NotZero),
    W("AiutiDiStato/Numero", "FIS201BG_NUMERO", I, NotZero),
    W("AiutiDiStato/Articolo", "SIS201BG_ART", Raw, RawNotEmpty),
    W("AiutiDiStato/Estensione", "SIS201BG_EST", Raw, RawNotEmpty),
    W("AiutiDiStato/CommaNumero", "SIS201BG_COMMAN", Raw, RawNotEmpty),
    W("AiutiDiStato/CommaEstensione", "SIS201BG_COMMAEST", Raw, RawNotEmpty),
    W("AiutiDiStato/CommaLettera", "SIS201BG_COMMAL", Raw, RawNotEmpty),
    W("AiutiDiStato/CodiceCAR", "FIS201CODCAR", I, NotZero),
    W("AiutiDiStato/FormaGiuridica", "SIS201BG_FORMAGIU", Raw, RawNotEmpty),
    W("AiutiDiStato/DimensioneImpresa", "FIS201BG_DIMIMP", I, NotZero),
    W("AiutiDiStato/CodiceAttivitaAteco", "SIS201BG_ATECO", Raw, RawNotEmpty),
    W("AiutiDiStato/Settore", "FIS201BG_SETTORE", I, NotZero),
    W("AiutiDiStato/TipoSieg", "FIS201BG_TIPOSIEG", I, NotZero),
    W("AiutiDiStato/ImportoTotaleAiuto", "FIS201BG_IMPTOTA", I, NotZero),
    // Day counts kept in amount fields: 0 is no date, not 30/12/1899.
    W("AiutiDiStato/DataInizio", "FIS201DP_DATAINIZIO", D, NotZero),
    W("AiutiDiStato/DataFine", "FIS201DP_DATAFINE", D, NotZero),
    W("AiutiDiStato/CodRegioneProgetto", "SIS201DP_CODREG", Raw, RawNotEmpty),
    W("AiutiDiStato/CodiceComune", "SIS201DP_CODCOMUNE", Raw, RawNotEmpty),
    W("AiutiDiStato/Cap", "SIS201DP_CAP", Raw, RawNotEmpty),
    W("AiutiDiStato/Tipologia", "SIS201DP_TIPOLOGIA", Raw, RawNotEmpty),
    W("AiutiDiStato/Indirizzo", "SIS201DP_INDIRIZZO", Raw, RawNotEmpty),
    W("AiutiDiStato/NumCivico", "SIS201DP_NUMEROCIVICO", Raw, RawNotEmpty),
    W("AiutiDiStato/TipologiaCosti", "FIS201DP_TIPOCOSTI", I, NotZero),
    W("AiutiDiStato/CostiAgevolabili", "FIS201DP_COSTIAGEVO", I, NotZero),
    W("AiutiDiStato/IntensitaAiuto", "FIS201DP_INTAIUTO", I, NotZero),
    W("AiutiDiStato/ImportoAiutoSpettante", "FIS201DP_IMPAIUTOSPETT", I, NotZero),
    W("AiutiDiStato/AssenzaImpresaUnica", "LASSIMPUNICA", I, NotZero),
};

constexpr TTelGate kImpresaUnicaGates[] = {{"SIS202IU_CF#", RawNotEmpty}};
constexpr TTelRow kImpresaUnica[] = {W("", "SIS202IU_CF#", Raw, Always)};
constexpr TTelList kImpresaUnicaList = {
    "AiutiDiStato", "CodFiscaleImpresaUnica", kImpresaUnicaGates, kOneToSix, kImpresaUnica, false};

constexpr TTelRow kAltreSezioni[] = {
    Or("SIS210_CODALIQ", RawNotEmpty),
    Or("SIS211_CODALIQ", RawNotEmpty),
    Or("FIS210_IMPORTO", NotZero),
    Or("FIS211_PEURO", NotZero),
    Gate("FIS211_PFRANCHI", NotZero, 5),
    W("CampioneDiItalia/CodiceAliquota", "SIS210_CODALIQ", Raw, RawNotEmpty),
    W("CampioneDiItalia/Importo", "FIS210_IMPORTO", I, NotZero),
    W("CampioneDiItalia/CodiceAliquota2", "SIS211_CODALIQ", Raw, RawNotEmpty),
    W("CampioneDiItalia/ImportoEuro", "FIS211_PEURO", I, NotZero),
    W("CampioneDiItalia/ImportoFranchiSvizzeri", "FIS211_PFRANCHI", I, NotZero),
    W("RiscattoAlloggiSociali/CreditoImpostaAnnoPrecedente", "FIS220_RESANNOPREC", I, NotZero),
    W("RiscattoAlloggiSociali/CreditoImposta", "FIS220_CREIMP", I, NotZero),
    W("RiscattoAlloggiSociali/CreditoDaRiportare", "FIS220_CRERIP", I, NotZero),
    Or("FIS230_CODICE", NotZero),
    Or("FIS230_IMPORTO", NotZero),
    Or("FIS231_IMPORTO", NotZero),
    Or("SIS231_CODREG", RawNotEmpty),
    Or("FIS231_ANNO", RawNotEmpty),
    Or("FIS231_NUMERO", RawNotEmpty),
    Gate("FIS231_ARTICOLO", RawNotEmpty, 7),
    W("VersamentiSospesiDispRegionali/Codice", "FIS230_CODICE", I, NotZero),
    W("VersamentiSospesiDispRegionali/Importo", "FIS230_IMPORTO", I, NotZero),
    W("VersamentiSospesiDispRegionali/CodiceRegione", "SIS231_CODREG", Raw, RawNotEmpty),
    W("VersamentiSospesiDispRegionali/Anno", "FIS231_ANNO", I, NotZero),
    W("VersamentiSospesiDispRegionali/Numero", "FIS231_NUMERO", I, NotZero),
    W("VersamentiSospesiDispRegionali/Articolo", "FIS231_ARTICOLO", I, NotZero),
    W("VersamentiSospesiDispRegionali/ImportoAliquota", "FIS231_IMPORTO", I, NotZero),
    W("NumeroMeccanismoTransfrontaliero", "SIS240_NUMTRANS", Raw, RawNotEmpty),
    W("ConcordatoPreventivoBiennale/ValoreProduzione", "FIS250_VALPRODCONC", I, NotZero),
    W("ConcordatoPreventivoBiennale/Plusvalenze", "FIS250_PLUSSOPRAATT", I, NotZero),
    W("ConcordatoPreventivoBiennale/Minusvalenze", "FIS250_MINSOPRAPASS", I, NotZero),
    W("ConcordatoPreventivoBiennale/ValoreProduzioneRettificato", "FIS250_VALPRODCONCRET", I, NotZero),
};

constexpr TTelSection kQuadroIS[] = {
    {kDeduzioni, &kDisallList},   {kUsaOpzioni, &kAttList}, {{}, &kCredRicList},
    {kTotOperazioni, &kGeieList}, {kTotGeie, &kDedRegList}, {{}, &kZfuList},
    {kCrediti, &kIntegrList},     {kTotIntegr, nullptr},    {kAiuti, &kImpresaUnicaList},
    {kAltreSezioni, nullptr},
};

} // namespace

std::span<const TTelRow> FrontespizioRows() {
  return kFrontespizio;
}
const TTelList& FirmaRevisoreList() {
  return kRevisoreList;
}
std::span<const TTelRow> FrontespizioTailRows() {
  return kFrontespizioTail;
}
std::span<const TTelRow> ProdSoftwareRows() {
  return kProdSoftware;
}
std::span<const TTelRow> QuadroIKRows() {
  return kQuadroIK;
}
const TTelList& RipartizioneRegionaleList() {
  return kRipartizioneList;
}
std::span<const TTelRow> VersamentoRows() {
  return kVersamento;
}
std::span<const TTelRow> QuadroIRVarRows() {
  return kQuadroIRVar;
}
std::span<const TTelSection> QuadroISSections() {
  return kQuadroIS;
}

} // namespace zurtel
