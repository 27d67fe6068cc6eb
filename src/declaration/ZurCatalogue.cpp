#include "declaration/ZurCatalogue.h"

#include "dataset/ClientDataSet.h"
#include "store/NymDBCds.h"
#include "platform/ZurError.h"

#include <array>

namespace {

// The names each page of the declaration reads or writes somewhere in the
// program (frames, telematic builder, print drivers, import, checks).
constexpr const char* kFrontespizio[] = {"DIRAPDATAAPPROVAZIONE",
                                         "DIRAPDATACARICA",
                                         "DIRAPDATAFINEPROC",
                                         "DIRAPDATAIMPEGNO",
                                         "DIRAPDATAINIZIOPROC",
                                         "DIRAPDATANASCITA",
                                         "DIRAPDOMFISCALE",
                                         "DIRAPPERIODOIMPOSTAAL",
                                         "DIRAPPERIODOIMPOSTADAL",
                                         "DIRAPSEDELEGALE",
                                         "DIRAPTERMINELEGALE",
                                         "IIRAPANNODF",
                                         "IIRAPANNOSL",
                                         "IIRAPID",
                                         "IIRAPMESEDF",
                                         "IIRAPMESESL",
                                         "IIRAPUNICO",
                                         "LIRAPART13BIS",
                                         "LIRAPCORRTERMINI",
                                         "LIRAPDICHINTART2DPR322",
                                         "LIRAPDICHINTEGRATIVA",
                                         "LIRAPDICHINTERRORIC",
                                         "LIRAPESOAPPVISCONFOR",
                                         "LIRAPIC",
                                         "LIRAPIE",
                                         "LIRAPIK",
                                         "LIRAPIMMSEQESE",
                                         "LIRAPIMPCONC",
                                         "LIRAPIMPINVIOTEL",
                                         "LIRAPINVALTRETEL",
                                         "LIRAPINVAVVTEL",
                                         "LIRAPIP",
                                         "LIRAPIR",
                                         "LIRAPIS",
                                         "LIRAPPROCNONTERM",
                                         "LIRAPRICALTRETEL",
                                         "LIRAPRICAVVTEL",
                                         "LIRAPSESSO",
                                         "LIRAPSESSOF",
                                         "LIRAPSESSOM",
                                         "LIRAPTRUST",
                                         "SIRAPCAPDF",
                                         "SIRAPCAPSL",
                                         "SIRAPCODCARICA",
                                         "SIRAPCODCOMUNEDF",
                                         "SIRAPCODCOMUNESL",
                                         "SIRAPCODFIS",
                                         "SIRAPCODFISCAF",
                                         "SIRAPCODFISCONTRCONTABILE1",
                                         "SIRAPCODFISCONTRCONTABILE2",
                                         "SIRAPCODFISCONTRCONTABILE3",
                                         "SIRAPCODFISCONTRCONTABILE4",
                                         "SIRAPCODFISCONTRCONTABILE5",
                                         "SIRAPCODFISDICH",
                                         "SIRAPCODFISESTERO",
                                         "SIRAPCODFISFORNITORE",
                                         "SIRAPCODFISINTERMEDIARIO",
                                         "SIRAPCODFISPROF",
                                         "SIRAPCODFISRAPFIRMATARIO",
                                         "SIRAPCODFISRESPCAF",
                                         "SIRAPCODPAESEESTERO",
                                         "SIRAPCODREG",
                                         "SIRAPCOGNOME",
                                         "SIRAPCOMUNEDF",
                                         "SIRAPCOMUNENASCITA",
                                         "SIRAPCOMUNESL",
                                         "SIRAPDENFIRMATARIO",
                                         "SIRAPDENOM",
                                         "SIRAPDICHDIVCONTCODSTAEST",
                                         "SIRAPDICHDIVCONTINDEST",
                                         "SIRAPDICHDIVCONTLOCRES",
                                         "SIRAPDICHDIVCONTSTATO",
                                         "SIRAPDICHDIVCONTTELCELL",
                                         "SIRAPDICHINTEGRATIVA",
                                         "SIRAPEMAIL",
                                         "SIRAPEVENTECCEZIONALI",
                                         "SIRAPFAX",
                                         "SIRAPFIRMAATTEST1",
                                         "SIRAPFIRMAATTEST2",
                                         "SIRAPFIRMAATTEST3",
                                         "SIRAPFIRMAATTEST4",
                                         "SIRAPFIRMAATTEST5",
                                         "SIRAPFIRMADICHIARANTE",
                                         "SIRAPFIRMAINCCONTRCONTABILE1",
                                         "SIRAPFIRMAINCCONTRCONTABILE2",
                                         "SIRAPFIRMAINCCONTRCONTABILE3",
                                         "SIRAPFIRMAINCCONTRCONTABILE4",
                                         "SIRAPFIRMAINCCONTRCONTABILE5",
                                         "SIRAPFIRMAINTERMEDIARIO",
                                         "SIRAPFIRMAPROFCAF",
                                         "SIRAPFRAZIONEDF",
                                         "SIRAPFRAZIONESL",
                                         "SIRAPNATURAGIURIDICA",
                                         "SIRAPNISCRALBOCAF",
                                         "SIRAPNOME",
                                         "SIRAPPARTITAIVA",
                                         "SIRAPPROVINCIADF",
                                         "SIRAPPROVINCIANASCITA",
                                         "SIRAPPROVINCIASL",
                                         "SIRAPREGIONE",
                                         "SIRAPSITPARTCOD",
                                         "SIRAPSITUAZIONE",
                                         "SIRAPSOGGETTO1",
                                         "SIRAPSOGGETTO2",
                                         "SIRAPSOGGETTO3",
                                         "SIRAPSOGGETTO4",
                                         "SIRAPSOGGETTO5",
                                         "SIRAPSTATO",
                                         "SIRAPSTATOESTERO",
                                         "SIRAPTELEFONO",
                                         "SIRAPTIPOFORNITORE"};

constexpr const char* kQuadroIK[] = {
    "FIKAMMONTARE27",       "FIKBASEIMP37",         "FIKBASEIMP38",        "FIKBASEIMP39",
    "FIKBASEIMP40",         "FIKBASEIMP41",         "FIKBASEIMP42",        "FIKBASEIMP43",
    "FIKBASEIMP44",         "FIKBASEIMP45",         "FIKBASEIMP46",        "FIKBASEIMP47",
    "FIKCONTRFORMAZIONE20", "FIKCONTRFORMAZIONE24", "FIKCONTRFORMAZIONE4", "FIKCONTRINFORTUNI20",
    "FIKCONTRINFORTUNI24",  "FIKCOSTORESPDIPE24",   "FIKDEDCRESPDIP20",    "FIKPATBOX19",
    "FIKREDDRICERCATORI20", "FIKREDDRICERCATORI4",  "FIKSPESEAPPR20",      "FIKSPESEAPPR24",
    "FIKSPESEAPPR4",        "FIKUTFEDSP19",         "FIKVALIRAP1",         "FIKVALIRAP10",
    "FIKVALIRAP11",         "FIKVALIRAP11DED",      "FIKVALIRAP11PREC",    "FIKVALIRAP12",
    "FIKVALIRAP13",         "FIKVALIRAP14",         "FIKVALIRAP15",        "FIKVALIRAP16",
    "FIKVALIRAP17",         "FIKVALIRAP18",         "FIKVALIRAP19",        "FIKVALIRAP2",
    "FIKVALIRAP20",         "FIKVALIRAP21",         "FIKVALIRAP22",        "FIKVALIRAP23",
    "FIKVALIRAP24",         "FIKVALIRAP25",         "FIKVALIRAP3",         "FIKVALIRAP4",
    "FIKVALIRAP5",          "FIKVALIRAP6",          "FIKVALIRAP7",         "FIKVALIRAP8",
    "FIKVALIRAP9",          "LIKMODRIEPILOGO",      "SIKCODFISDELEGATO"};

constexpr const char* kQuadroIR[] = {"FIR22",
                                     "FIR24",
                                     "FIR25",
                                     "FIR27",
                                     "FIR28",
                                     "FIR29",
                                     "FIR30",
                                     "FIR31",
                                     "FIR32",
                                     "FIRACCONTI26",
                                     "FIRACCSOSP26",
                                     "FIRALIQUOTA01",
                                     "FIRALIQUOTA02",
                                     "FIRALIQUOTA03",
                                     "FIRALIQUOTA04",
                                     "FIRALIQUOTA05",
                                     "FIRALIQUOTA06",
                                     "FIRALIQUOTA07",
                                     "FIRALIQUOTA08",
                                     "FIRBASEIMP01",
                                     "FIRBASEIMP02",
                                     "FIRBASEIMP03",
                                     "FIRBASEIMP04",
                                     "FIRBASEIMP05",
                                     "FIRBASEIMP06",
                                     "FIRBASEIMP07",
                                     "FIRBASEIMP08",
                                     "FIRCREDIMP1",
                                     "FIRCREDIMP2",
                                     "FIRCREDIMP3",
                                     "FIRCREIMPREG01",
                                     "FIRCREIMPREG02",
                                     "FIRCREIMPREG03",
                                     "FIRCREIMPREG04",
                                     "FIRCREIMPREG05",
                                     "FIRCREIMPREG06",
                                     "FIRCREIMPREG07",
                                     "FIRCREIMPREG08",
                                     "FIRCRERISART24",
                                     "FIRCRERISATTREC26",
                                     "FIRDEDREG1",
                                     "FIRDEDREG2",
                                     "FIRDEDREG3",
                                     "FIRDEDREG4",
                                     "FIRDEDREG5",
                                     "FIRDEDREG6",
                                     "FIRDEDREG7",
                                     "FIRDEDREG8",
                                     "FIRDETRREG01",
                                     "FIRDETRREG02",
                                     "FIRDETRREG03",
                                     "FIRDETRREG04",
                                     "FIRDETRREG05",
                                     "FIRDETRREG06",
                                     "FIRDETRREG07",
                                     "FIRDETRREG08",
                                     "FIRFIRCREDIMPALTCRE",
                                     "FIRFIRCREDIMPCREACE",
                                     "FIRFIRCREDIMPRAS",
                                     "FIRFIRCREDIMPRESCREACE",
                                     "FIRIMPLORDA01",
                                     "FIRIMPLORDA02",
                                     "FIRIMPLORDA03",
                                     "FIRIMPLORDA04",
                                     "FIRIMPLORDA05",
                                     "FIRIMPLORDA06",
                                     "FIRIMPLORDA07",
                                     "FIRIMPLORDA08",
                                     "FIRIMPOSTA01",
                                     "FIRIMPOSTA02",
                                     "FIRIMPOSTA03",
                                     "FIRIMPOSTA04",
                                     "FIRIMPOSTA05",
                                     "FIRIMPOSTA06",
                                     "FIRIMPOSTA07",
                                     "FIRIMPOSTA08",
                                     "FIRPRODUZIONE01",
                                     "FIRPRODUZIONE02",
                                     "FIRPRODUZIONE03",
                                     "FIRPRODUZIONE04",
                                     "FIRPRODUZIONE05",
                                     "FIRPRODUZIONE06",
                                     "FIRPRODUZIONE07",
                                     "FIRPRODUZIONE08",
                                     "FIRQUOTAGEIE01",
                                     "FIRQUOTAGEIE02",
                                     "FIRQUOTAGEIE03",
                                     "FIRQUOTAGEIE04",
                                     "FIRQUOTAGEIE05",
                                     "FIRQUOTAGEIE06",
                                     "FIRQUOTAGEIE07",
                                     "FIRQUOTAGEIE08",
                                     "FIRRISALLSOC",
                                     "SIR31CRECEDCFCONS",
                                     "SIRAGEREGIONE01",
                                     "SIRAGEREGIONE02",
                                     "SIRAGEREGIONE03",
                                     "SIRAGEREGIONE04",
                                     "SIRAGEREGIONE05",
                                     "SIRAGEREGIONE06",
                                     "SIRAGEREGIONE07",
                                     "SIRAGEREGIONE08",
                                     "SIRCODFISDELEGATO",
                                     "SIRCODREGIONE01",
                                     "SIRCODREGIONE02",
                                     "SIRCODREGIONE03",
                                     "SIRCODREGIONE04",
                                     "SIRCODREGIONE05",
                                     "SIRCODREGIONE06",
                                     "SIRCODREGIONE07",
                                     "SIRCODREGIONE08"};

constexpr const char* kQuadroIS[] = {"FIS01_2",
                                     "FIS02_2",
                                     "FIS02_3",
                                     "FIS02_NEW2",
                                     "FIS03_2",
                                     "FIS03_3",
                                     "FIS04_2",
                                     "FIS04_NEW2",
                                     "FIS05_2",
                                     "FIS06_2",
                                     "FIS07_2",
                                     "FIS08_1",
                                     "FIS11_1",
                                     "FIS11_2",
                                     "FIS13_1",
                                     "FIS13_2",
                                     "FIS14_1",
                                     "FIS14_2",
                                     "FIS15_1",
                                     "FIS15_2",
                                     "FIS16_1",
                                     "FIS16_2",
                                     "FIS16_3",
                                     "FIS16_4",
                                     "FIS16_5",
                                     "FIS16_6",
                                     "FIS17_1",
                                     "FIS18_1",
                                     "FIS19_1",
                                     "FIS201BG_ANNO",
                                     "FIS201BG_CODAIUTO",
                                     "FIS201BG_DIMIMP",
                                     "FIS201BG_IMPTOTA",
                                     "FIS201BG_NUMERO",
                                     "FIS201BG_SETTORE",
                                     "FIS201BG_TIPOAIUTO",
                                     "FIS201BG_TIPONORMA",
                                     "FIS201BG_TIPOSIEG",
                                     "FIS201CODCAR",
                                     "FIS201DP_COSTIAGEVO",
                                     "FIS201DP_DATAFINE",
                                     "FIS201DP_DATAINIZIO",
                                     "FIS201DP_IMPAIUTOSPETT",
                                     "FIS201DP_INTAIUTO",
                                     "FIS201DP_TIPOCOSTI",
                                     "FIS20_1",
                                     "FIS210_IMPORTO",
                                     "FIS211_PEURO",
                                     "FIS211_PFRANCHI",
                                     "FIS21_3",
                                     "FIS220_CREIMP",
                                     "FIS220_CRERIP",
                                     "FIS220_RESANNOPREC",
                                     "FIS22_2",
                                     "FIS230_CODICE",
                                     "FIS230_IMPORTO",
                                     "FIS231_ANNO",
                                     "FIS231_ARTICOLO",
                                     "FIS231_IMPORTO",
                                     "FIS231_NUMERO",
                                     "FIS23_1",
                                     "FIS23_2",
                                     "FIS23_3",
                                     "FIS23_4",
                                     "FIS23_5",
                                     "FIS23_6",
                                     "FIS23_7",
                                     "FIS23_8",
                                     "FIS24_1",
                                     "FIS250_MINSOPRAPASS",
                                     "FIS250_PLUSSOPRAATT",
                                     "FIS250_VALPRODCONC",
                                     "FIS250_VALPRODCONCRET",
                                     "FIS25_2",
                                     "FIS26_1",
                                     "FIS26_2",
                                     "FIS26_3",
                                     "FIS26_4",
                                     "FIS26_5",
                                     "FIS26_6",
                                     "FIS26_7",
                                     "FIS26_8",
                                     "FIS27_1",
                                     "FIS28_2",
                                     "FIS29_1",
                                     "FIS29_2",
                                     "FIS29_3",
                                     "FIS29_4",
                                     "FIS29_5",
                                     "FIS29_6",
                                     "FIS29_7",
                                     "FIS29_8",
                                     "FIS30_1",
                                     "FIS31_1",
                                     "FIS32_1",
                                     "FIS33_1",
                                     "FIS7_LAVSTA",
                                     "FIS85_1P",
                                     "FIS85_2P",
                                     "FIS85_3P",
                                     "FIS85_4P",
                                     "FIS85_PRESP",
                                     "FIS86_2P",
                                     "FIS86_3P",
                                     "FIS86_4P",
                                     "FIS86_RESPREC",
                                     "FIS86_RESPRES",
                                     "FIS87_COMPNEG",
                                     "FIS87_COMPPOS",
                                     "FIS88_CRERESRIPO",
                                     "FIS88_CRERESUTI",
                                     "FIS88_PLUSESC",
                                     "FIS88_VPRODESC",
                                     "FIS89_COMPF24",
                                     "FIS89_CRECEDCONS",
                                     "FIS89_CREPRESDIC",
                                     "FIS89_CREUTCOMP",
                                     "FIS89_ECCPRECDIC",
                                     "FIS89_RECASPLUS",
                                     "FIS90_PATBOXDOC1",
                                     "FIS90_PATBOXDOC2",
                                     "FISACCRID",
                                     "FISAGANNIPREC_1P",
                                     "FISCRERES_1P",
                                     "FISCRERES_2P",
                                     "FISCRERES_3P",
                                     "FISCRERES_4P",
                                     "FISERRCONT_91",
                                     "FISERRCONT_92",
                                     "FISERRCONT_93",
                                     "FISERRCONT_94",
                                     "FISERRCONT_95",
                                     "FISERRCONT_96",
                                     "FISIMPRID",
                                     "FISMAGACCDOV",
                                     "FISMAGCRED_91",
                                     "FISMAGCRED_92",
                                     "FISMAGCRED_93",
                                     "FISMAGCRED_94",
                                     "FISMAGCRED_95",
                                     "FISMAGCRED_96",
                                     "FISNEW06_1",
                                     "FISNEW06_2",
                                     "FISNEW07_1",
                                     "FISNEW07_DEDU",
                                     "FISPERIMP_91",
                                     "FISPERIMP_92",
                                     "FISPERIMP_93",
                                     "FISPERIMP_94",
                                     "FISPERIMP_95",
                                     "FISPRODRID",
                                     "FISXCREDRIC1",
                                     "FISXCREDRIC2",
                                     "FISXCREDRICTOT",
                                     "FISXIIDEDDETREG1",
                                     "FISXIIDEDDETREG2",
                                     "FISXIIDEDDETREG3",
                                     "FISXIQUOGEIE1",
                                     "FISXIQUOGEIE2",
                                     "FISXIQUOGEIE3",
                                     "FISXITOTGEIE",
                                     "FISXIULTDED",
                                     "FISXIVAGUTVERACC80",
                                     "FISXIVAGUTVERACC81",
                                     "FISXIVAGUTVERACC82",
                                     "FISXIVAGUTVERACC83",
                                     "FISXIVALIQ80",
                                     "FISXIVALIQ81",
                                     "FISXIVALIQ82",
                                     "FISXIVALIQ83",
                                     "FISXIVAMMAG80",
                                     "FISXIVAMMAG81",
                                     "FISXIVAMMAG82",
                                     "FISXIVAMMAG83",
                                     "FISXIVDIFFCOL80",
                                     "FISXIVDIFFCOL81",
                                     "FISXIVDIFFCOL82",
                                     "FISXIVDIFFCOL83",
                                     "FISXIVTOTALEZFU",
                                     "FISXIVVALPROD80",
                                     "FISXIVVALPROD81",
                                     "FISXIVVALPROD82",
                                     "FISXIVVALPROD83",
                                     "IIS02_1",
                                     "IIS05_1",
                                     "IIS37_SEZ01",
                                     "IIS37_SEZ03",
                                     "IIS37_SEZ05",
                                     "IIS37_SEZ07",
                                     "IIS37_SEZ09",
                                     "LASSIMPUNICA",
                                     "LCASI_PARTICOLARI",
                                     "LESONERO",
                                     "LIS35_OPZIONE",
                                     "LIS35_REVOCA",
                                     "LIS36_OPZIONE",
                                     "LIS36_REVOCA",
                                     "LISNEW36_OPZIONE",
                                     "LISNEW36_REVOCA",
                                     "SIS201BG_ART",
                                     "SIS201BG_ATECO",
                                     "SIS201BG_CODREG",
                                     "SIS201BG_COMMAEST",
                                     "SIS201BG_COMMAL",
                                     "SIS201BG_COMMAN",
                                     "SIS201BG_EST",
                                     "SIS201BG_FORMAGIU",
                                     "SIS201DP_CAP",
                                     "SIS201DP_CODCOMUNE",
                                     "SIS201DP_CODREG",
                                     "SIS201DP_INDIRIZZO",
                                     "SIS201DP_NUMEROCIVICO",
                                     "SIS201DP_TIPOLOGIA",
                                     "SIS201_QUADRO",
                                     "SIS202IU_CF1",
                                     "SIS202IU_CF2",
                                     "SIS202IU_CF3",
                                     "SIS202IU_CF4",
                                     "SIS202IU_CF5",
                                     "SIS202IU_CF6",
                                     "SIS210_CODALIQ",
                                     "SIS211_CODALIQ",
                                     "SIS22_1",
                                     "SIS231_CODREG",
                                     "SIS240_NUMTRANS",
                                     "SIS25_1",
                                     "SIS28_1",
                                     "SIS37_ATECO02",
                                     "SIS37_ATECO04",
                                     "SIS37_ATECO06",
                                     "SIS37_ATECO08",
                                     "SIS37_ATECO10",
                                     "SISCODREG_91",
                                     "SISCODREG_92",
                                     "SISCODREG_93",
                                     "SISCODREG_94",
                                     "SISCODREG_95",
                                     "SISDICINTCF_91",
                                     "SISDICINTCF_92",
                                     "SISDICINTCF_93",
                                     "SISDICINTCF_94",
                                     "SISDICINTCF_95",
                                     "SISXCODFISCED1",
                                     "SISXCODFISCED2",
                                     "SISXICFCGEIE1",
                                     "SISXICFCGEIE2",
                                     "SISXICFCGEIE3",
                                     "SISXIICODCREIMP1",
                                     "SISXIICODCREIMP2",
                                     "SISXIICODCREIMP3",
                                     "SISXIICODRDED1",
                                     "SISXIICODRDED2",
                                     "SISXIICODRDED3",
                                     "SISXIICODRDET1",
                                     "SISXIICODRDET2",
                                     "SISXIICODRDET3",
                                     "SISXIICODREG1",
                                     "SISXIICODREG2",
                                     "SISXIICODREG3",
                                     "SISXIVCODALI80",
                                     "SISXIVCODALI81",
                                     "SISXIVCODALI82",
                                     "SISXIVCODALI83",
                                     "SISXIVCODREG80",
                                     "SISXIVCODREG81",
                                     "SISXIVCODREG82",
                                     "SISXIVCODREG83",
                                     "SISXIVCODZFU80",
                                     "SISXIVCODZFU81",
                                     "SISXIVCODZFU82",
                                     "SISXIVCODZFU83"};

using T = TFieldType;

// The regional rows keep their amounts as integers, the way the telematic
// file and the print want them; RIGO is the row label computed from the
// position in the view.
constexpr TZurFixedField kQuadroIRVar[] = {
    {"IFISRIGO", T::Integer, 0},
    {"IIRAPID", T::Integer, 0},
    {"SIRCODREGIONE", T::String, 2},
    {"FIRBASEIMP", T::Integer, 0},
    {"SIRAGEREGIONE", T::String, 4},
    {"FIRIMPOSTA", T::Integer, 0},
    {"FIRCREDITO", T::Integer, 0},
    {"FIRECCEDENZA", T::Integer, 0},
    {"FIRECC_COMP", T::Integer, 0},
    {"FIRTOTACCONTI", T::Integer, 0},
    {"FIRTOTACCONTI_TES", T::Integer, 0},
    {"FIRDEBITO", T::Integer, 0},
    {"FIRDEB_F24", T::Integer, 0},
    {"FIRDEB_TES", T::Integer, 0},
    {"FIRIMPCREDITO", T::Integer, 0},
    {"FIRECC_SALDO", T::Integer, 0},
    {"RIGO", T::String, 4, true},
    {"FIRTOTACCONTIDOV", T::Integer, 0},
    {"IAFIID", T::Integer, 0},
    {"SIRAPCODFIS", T::String, 20},
};

// Counters of the telematic builder and of the print drivers; the module
// counters are strings although their letter says integer.
constexpr TZurFixedField kCampiAggiuntivi[] = {
    {"ICAPROGMODULO", T::Integer, 0}, {"SCAIDPRODUTTORE", T::String, 40}, {"ICARCOUNTB", T::Integer, 0},
    {"ICARCOUNTC", T::Integer, 0},    {"ICARCOUNTI", T::Integer, 0},      {"IIKMODULECOUNT", T::String, 5},
    {"IIRMODULECOUNT", T::String, 5}, {"IISMODULECOUNT", T::String, 5},   {"SCARCOUNTB", T::String, 5},
};

// The cover page owns the taxpayer entry of its declaration: a new cover page
// creates the entry, keeps the fiscal code and the name in it, and deleting
// the cover page deletes the entry. The quadri only point at that entry (their
// IAFIID comes from the open declaration); should one of their records arrive
// without a key, the fiscal code of the map finds the cover page's entry
// instead of creating a second one. Their map is read-only, so that a quadro
// can never overwrite what the cover page keeps in the entry.
constexpr const char* kMapFrontespizio = "saficodfiscale=SIRAPCODFIS;safidenominazione=SIRAPDENOM";
constexpr const char* kMapQuadro = "saficodfiscale=SIRAPCODFIS";

const std::array<TZurDataSetDecl, 6> kDataSets = {{
    {"cdsFrontespizio", "TFRNT_FRONTESPIZIO", kFrontespizio, {}, false, true, false, kMapFrontespizio},
    {"cdsQuadroIK", "TQIK_QUADROIK", kQuadroIK, {}, true, false, true, kMapQuadro},
    {"cdsQuadroIR", "TQIR_QUADROIR", kQuadroIR, {}, true, false, true, kMapQuadro},
    {"cdsQuadroIRVar", "TQIRV_QUADROIR_VAR", {}, kQuadroIRVar, false, false, true, kMapQuadro},
    {"cdsQuadroIS", "TQIS_QUADROIS", kQuadroIS, {}, true, false, true, kMapQuadro},
    {"cdsCampiAggiuntivi", nullptr, {}, kCampiAggiuntivi, false, false, false, ""},
}};

TDataPacketField Fixed(const TZurFixedField& f) {
  TDataPacketField out;
  out.name = QString::fromLatin1(f.name);
  out.type = f.type;
  out.size = f.size;
  out.calculated = f.calculated;
  return out;
}

} // namespace

std::span<const TZurDataSetDecl> TZurCatalogue::DataSets() {
  return kDataSets;
}

const TZurDataSetDecl* TZurCatalogue::Find(const QString& component) {
  for (const TZurDataSetDecl& d : kDataSets)
    if (component.compare(QLatin1String(d.component), Qt::CaseInsensitive) == 0) return &d;
  return nullptr;
}

const TZurDataSetDecl* TZurCatalogue::FindByTable(const QString& tableName) {
  for (const TZurDataSetDecl& d : kDataSets)
    if (d.tableName && tableName.compare(QLatin1String(d.tableName), Qt::CaseInsensitive) == 0) return &d;
  return nullptr;
}

TDataPacketField TZurCatalogue::FieldByRule(const QString& name) {
  const QString upper = name.toUpper();
  if (!IsValidFieldName(upper))
    throw EZurError(QStringLiteral("Nome di campo non valido: '%1'.").arg(name), EZurError::Kind::Field);
  TDataPacketField f;
  f.name = upper;
  switch (upper.at(0).toLatin1()) {
  case 'S':
    f.type = TFieldType::String;
    f.size = 100;
    break;
  case 'I':
    f.type = TFieldType::Integer;
    break;
  case 'F':
    f.type = TFieldType::Amount;
    f.size = 2;
    f.precision = 18;
    break;
  case 'D':
    f.type = TFieldType::Date;
    break;
  case 'L':
    f.type = TFieldType::String;
    f.size = 1;
    break;
  default:
    throw EZurError(
        QStringLiteral("Il nome del campo '%1' non inizia con una lettera di tipo (S, I, F, D, L).")
            .arg(name),
        EZurError::Kind::Field);
  }
  return f;
}

std::vector<TDataPacketField> TZurCatalogue::Structure(const TZurDataSetDecl& dataSet) {
  std::vector<TDataPacketField> fields;
  if (!dataSet.fixedFields.empty()) {
    for (const TZurFixedField& f : dataSet.fixedFields)
      fields.push_back(Fixed(f));
    return fields;
  }
  fields.push_back(FieldByRule(QString::fromLatin1(KeyRow)));
  fields.push_back(FieldByRule(QString::fromLatin1(KeyTaxpayer)));
  if (dataSet.declarationKeys) {
    fields.push_back(FieldByRule(QString::fromLatin1(KeyDeclaration)));
    fields.push_back(FieldByRule(QString::fromLatin1(FiscalCode)));
  }
  for (const char* name : dataSet.catalogue)
    fields.push_back(FieldByRule(QString::fromLatin1(name)));
  return fields;
}

QByteArray TZurCatalogue::StructureBlob(const TZurDataSetDecl& dataSet) {
  return WriteDataPacket(Structure(dataSet), {});
}

void TZurCatalogue::CreateDataSet(TClientDataSet& dataSet, const TZurDataSetDecl& decl) {
  dataSet.Close();
  dataSet.ClearFields();
  for (const TDataPacketField& f : Structure(decl)) {
    const int size = f.type == TFieldType::String || f.type == TFieldType::Amount ? f.size : -1;
    dataSet.AddFieldDef(f.name, f.type, size, f.calculated);
  }
  dataSet.CreateDataSet();
}

void TZurCatalogue::WriteStructureRows(TVxSQLConnection& connection) {
  for (const TZurDataSetDecl& decl : StoredDataSets()) {
    TClientDataSet structure;
    CreateDataSet(structure, decl);
    TNymDBCds::WriteStructure(connection, QString::fromLatin1(Program), Year, Month, decl.TableName(),
                              structure, decl.anagrafica, decl.mapReadOnly,
                              QString::fromLatin1(decl.fieldMap));
  }
}
