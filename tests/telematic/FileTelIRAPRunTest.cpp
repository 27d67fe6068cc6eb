// The run around the builder: the quadro boxes, the questions, the save
// dialog, the failures that must leave no file, and the dialog's logic.
#include "telematic/TelematicFixture.h"

#include "platform/ZurError.h"
#include "support/FileSizeLimit.h"
#include "telematic/XMLNode.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

using namespace zurtest;

namespace {

// Records what the save dialog was offered.
class TDialogPlatform : public TScriptedPlatform {
public:
  bool PromptForFileName(QString& fileName, const QString& filter, const QString& defaultExt,
                         const QString& title, const QString& initialDir, bool saveDialog) override {
    proposal = fileName;
    this->filter = filter;
    ext = defaultExt;
    dir = initialDir;
    save = saveDialog;
    return TScriptedPlatform::PromptForFileName(fileName, filter, defaultExt, title, initialDir, saveDialog);
  }
  QString proposal, filter, ext, dir;
  bool save = false;
};

class TTelRun : public TTelematicTest {};

TEST_F(TTelRun, QuadroWithoutItsBoxAsksAndNoWritesNothing) {
  Quadro(m_dati.cdsQuadroIK, {{"FIKVALIRAP5", 10}});
  Front({{"LIRAPIK", Q("0")},
         {"LIRAPIR", Q("0")},
         {"LIRAPIS", Q("0")},
         {"LIRAPDICHINTEGRATIVA", Q("0")},
         {"LIRAPDICHINTART2DPR322", Q("0")}});
  m_platform.AnswerMessage(TModalResult::No);
  const QString path = m_root.filePath(Q("no.xml"));
  EXPECT_EQ(m_modulo.CreaFileTelematico(path), TdmZurFileTelIRAP::TEsito::Cancelled);
  EXPECT_EQ(m_modulo.Esito(), TdmZurFileTelIRAP::TEsito::Cancelled);
  EXPECT_FALSE(QFileInfo::exists(path));
  ASSERT_EQ(m_platform.calls().size(), 1u);
  EXPECT_EQ(m_platform.calls()[0].type, TMsgDlgType::Warning);
  EXPECT_EQ(m_platform.calls()[0].buttons, TMsgDlgButtons::YesNo);
  EXPECT_EQ(m_platform.messages().at(0),
            Q("Incongruenza dati rilevazione e quadri IK,IR,IS.\r\r\nDettaglio :\r\n"
              "- DICHIARAZIONE NON INTEGRATIVA:\r\n"
              "  E' presente il quadro IK: nella firma della dichiarazione il valore deve essere 1\r\n"
              "\r\nDesideri continuare ugualmente?"));
}

TEST_F(TTelRun, IntegrativeAcceptsTheIntegrativeBoxValues) {
  Quadro(m_dati.cdsQuadroIS, {{"FIS01_2", 1}});
  Front({{"LIRAPDICHINTEGRATIVA", Q("1")}, {"LIRAPIK", Q("3")}, {"LIRAPIR", Q("1")}, {"LIRAPIS", Q("2")}});
  QString detail;
  EXPECT_FALSE(m_modulo.ControllaCaselle(detail)); // IR is absent: 0 or 3
  EXPECT_EQ(
      detail,
      Q("- DICHIARAZIONE INTEGRATIVA:\r\n"
        "  Non è presente il quadro IR: nella firma della dichiarazione il valore deve essere 0 o 3\r\n"));
  Front({{"LIRAPIR", Q("3")}});
  EXPECT_TRUE(m_modulo.ControllaCaselle(detail));
  EXPECT_EQ(detail, Q("- DICHIARAZIONE INTEGRATIVA:\r\n"));
}

TEST_F(TTelRun, RegionalRowsAloneMakeQuadroIRPresent) {
  Quadro(m_dati.cdsQuadroIRVar, {{"SIRCODREGIONE", Q("3")}});
  Front({{"LIRAPDICHINTEGRATIVA", Q("0")},
         {"LIRAPDICHINTART2DPR322", Q("0")},
         {"LIRAPIK", Q("0")},
         {"LIRAPIR", Q("0")},
         {"LIRAPIS", Q("0")}});
  QString detail;
  EXPECT_FALSE(m_modulo.ControllaCaselle(detail));
  EXPECT_TRUE(detail.contains(
      Q("E' presente il quadro IR: nella firma della dichiarazione il valore deve essere 1")));
}

TEST_F(TTelRun, YesWritesTheFileAsTheDataStand) {
  Front({{"LIRAPIK", Q("1")}});
  m_platform.AnswerMessage(TModalResult::Yes);
  EXPECT_TRUE(Run().contains(Q("<ir:CasellaIK>1</ir:CasellaIK>")));
}

TEST_F(TTelRun, RunSetsTheSupplyCountersAndFiltersOnTheTaxpayer) {
  // A record of another taxpayer must not reach this declaration's file.
  TClientDataSet& ik = m_dati.cdsQuadroIK;
  ik.SetFiltered(false);
  ik.Append();
  Fld(ik, "FIKVALIRAP5").SetAsInteger(777);
  ik.Post();
  ik.Edit();
  Fld(ik, "IAFIID").SetAsInteger(99);
  ik.Post();
  Front({{"LIRAPIK", Q("0")}, {"LIRAPIR", Q("0")}, {"LIRAPIS", Q("0")}});
  const QString text = Run();
  EXPECT_FALSE(text.contains(Q("QuadroIK")));
  EXPECT_EQ(Fld(m_dati.cdsCampiAggiuntivi, "SCARCOUNTB").AsString(), Q("00001"));
  EXPECT_EQ(Fld(m_dati.cdsCampiAggiuntivi, "ICARCOUNTB").AsInteger(), 1);
  EXPECT_EQ(m_dati.cdsQuadroIK.Filter(), Q("IAFIID = 7"));
}

TEST_F(TTelRun, EmptyNameAsksWithTheProposalInTheDichFolder) {
  TDialogPlatform dialog;
  AgreeingBoxes();
  dialog.AnswerFile(QString(), false);
  EXPECT_EQ(m_modulo.CreaFileTelematico(QString()), TdmZurFileTelIRAP::TEsito::Cancelled);
  const QString dich = m_root.path() + Q("/USR/FR2024/Res/Dich/");
  EXPECT_EQ(dialog.proposal, Q("IRAP2025"));
  EXPECT_EQ(dialog.ext, Q("xml"));
  EXPECT_EQ(dialog.filter, Q("File xml (*.xml)|*.XML"));
  EXPECT_EQ(QDir::cleanPath(dialog.dir), QDir::cleanPath(dich));
  EXPECT_TRUE(dialog.save);
  EXPECT_TRUE(QDir(dich).entryList(QDir::Files).isEmpty());

  dialog.AnswerFile(Q("IRAP2025"));
  EXPECT_EQ(m_modulo.CreaFileTelematico(QString()), TdmZurFileTelIRAP::TEsito::Completed);
  EXPECT_TRUE(QFileInfo::exists(dich + Q("IRAP2025.xml")));
  ExpectWellFormed(dich + Q("IRAP2025.xml"));
}

TEST_F(TTelRun, UnwritableFolderGivesTheSystemErrorAndKeepsTheEarlierFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
  AgreeingBoxes();
  QDir(m_root.path()).mkpath(Q("ro"));
  const QString path = m_root.filePath(Q("ro/IRAP2025.xml"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("earlier");
  }
  QFile::setPermissions(m_root.filePath(Q("ro")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  QFile::setPermissions(path, QFileDevice::ReadOwner);
  try {
    m_modulo.CreaFileTelematico(path);
    ADD_FAILURE() << "no error (running as root?)";
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::File);
    EXPECT_TRUE(e.message().startsWith(Q("Impossibile scrivere il file ") + path + Q(": ")));
    EXPECT_GT(e.message().size(), (Q("Impossibile scrivere il file ") + path + Q(": ")).size());
  }
  QFile::setPermissions(m_root.filePath(Q("ro")),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("earlier"));
  EXPECT_EQ(QDir(m_root.filePath(Q("ro"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(TTelRun, MissingFolderIsAnErrorNotASuccess) {
  AgreeingBoxes();
  EXPECT_THROW(m_modulo.CreaFileTelematico(m_root.filePath(Q("nowhere/x.xml"))), EZurError);
  EXPECT_FALSE(QFileInfo::exists(m_root.filePath(Q("nowhere"))));
}

TEST_F(TTelRun, TargetThatCannotBeAFileLeavesNothingBehind) {
  AgreeingBoxes();
  QDir(m_root.path()).mkpath(Q("out/IRAP2025.xml"));
  EXPECT_THROW(m_modulo.CreaFileTelematico(m_root.filePath(Q("out/IRAP2025.xml"))), EZurError);
  EXPECT_TRUE(QFileInfo(m_root.filePath(Q("out/IRAP2025.xml"))).isDir());
  EXPECT_EQ(QDir(m_root.filePath(Q("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{Q("IRAP2025.xml")});
}

TEST_F(TTelRun, FullDiskIsAnErrorNeverASuccessAndKeepsTheEarlierFile) {
  Front({{"SIRAPTIPOFORNITORE", Q("01")}, {"SIRAPCODFISFORNITORE", Q("X")}});
  AgreeingBoxes();
  const QString path = m_root.filePath(Q("IRAP2025.xml"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("earlier");
  }
  {
    zurtest::TFileSizeLimit full(512);
    EXPECT_THROW(zurtel::CreaFileDialogo(m_modulo, m_dati.cdsFrontespizio, path), EZurError);
  }
  EXPECT_FALSE(m_platform.messages().contains(Q("Creazione file telematico terminata con successo.")));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("earlier"));
  EXPECT_EQ(QDir(m_root.path()).entryList(QDir::Files | QDir::Hidden), QStringList{Q("IRAP2025.xml")});
}

TEST_F(TTelRun, TenRegionalRowsAreNeverWrittenAsNine) {
  for (int row = 1; row <= 10; ++row)
    Quadro(m_dati.cdsQuadroIRVar, {{"SIRCODREGIONE", QString::number(row).rightJustified(2, u'0')}}, true);
  AgreeingBoxes();
  const QString path = m_root.filePath(Q("IRAP2025.xml"));
  try {
    m_modulo.CreaFileTelematico(path);
    ADD_FAILURE() << "ten regional rows written";
  } catch (const EZurError& e) {
    EXPECT_TRUE(e.message().contains(Q("le righe di ripartizione regionale sono 10"))) << e.what();
  }
  EXPECT_FALSE(QFileInfo::exists(path));
}

// --- the dialog -----------------------------------------------------------------------------

TEST_F(TTelRun, SupplierDefaultsPreferIntermediaryThenSchool) {
  Front({{"SIRAPCODFISINTERMEDIARIO", Q("INTERM")}, {"SIRAPTIPOFORNITORE", QVariant()}});
  zurtel::ImpostaFornitore(m_dati.cdsFrontespizio);
  EXPECT_EQ(Fld(m_dati.cdsFrontespizio, "SIRAPCODFISFORNITORE").AsString(), Q("INTERM"));
  EXPECT_EQ(Fld(m_dati.cdsFrontespizio, "SIRAPTIPOFORNITORE").AsString(), Q("01"));
  EXPECT_EQ(m_dati.cdsFrontespizio.State(), TDataSetState::Browse);

  Front({{"SIRAPCODFISINTERMEDIARIO", QVariant()},
         {"SIRAPCODFISFORNITORE", QVariant()},
         {"SIRAPTIPOFORNITORE", Q("10")}});
  zurtel::ImpostaFornitore(m_dati.cdsFrontespizio);
  EXPECT_EQ(Fld(m_dati.cdsFrontespizio, "SIRAPCODFISFORNITORE").AsString(), Q("97123450583"));
  EXPECT_EQ(Fld(m_dati.cdsFrontespizio, "SIRAPTIPOFORNITORE").AsString(), Q("10"));
}

TEST_F(TTelRun, MandatoryDataStopTheDialogBeforeTheRun) {
  Front({{"SIRAPTIPOFORNITORE", Q("01")}, {"SIRAPCODFISFORNITORE", QVariant()}});
  EXPECT_EQ(zurtel::CreaFileDialogo(m_modulo, m_dati.cdsFrontespizio, m_root.filePath(Q("x.xml"))),
            TdmZurFileTelIRAP::TEsito::None);
  EXPECT_EQ(m_platform.messages().at(0),
            Q("I dati : \"Tipo fornitore\" e  \"codice fiscale fornitore\" sono campi obbligatori.\n\r"
              "Impossibile creare il file telematico"));
  Front({{"SIRAPCODFISFORNITORE", Q("X")}, {"SIRAPDENOM", QVariant()}});
  EXPECT_TRUE(zurtel::ControllaObbligatori(m_dati.cdsFrontespizio).startsWith(Q("La \"Denominazione")));
  EXPECT_FALSE(QFileInfo::exists(m_root.filePath(Q("x.xml"))));
}

TEST_F(TTelRun, DialogReportsTheOutcomeAndRemovesTheCheckerResult) {
  Front({{"SIRAPTIPOFORNITORE", Q("01")}, {"SIRAPCODFISFORNITORE", Q("X")}, {"LIRAPIK", Q("1")}});
  const QString log = TdmZurFileTelIRAP::ErrorDetailPath();
  EXPECT_EQ(log, m_root.path() + Q("/USR/FR2024/Res/Dich/IRAP2025_logSchema.xml"));
  QDir().mkpath(QFileInfo(log).absolutePath());
  QFile(log).open(QIODevice::WriteOnly);
  m_platform.AnswerMessage(TModalResult::No);
  EXPECT_EQ(zurtel::CreaFileDialogo(m_modulo, m_dati.cdsFrontespizio, m_root.filePath(Q("x.xml"))),
            TdmZurFileTelIRAP::TEsito::Cancelled);
  EXPECT_EQ(m_platform.messages().last(), Q("Creazione file telematico annullata."));
  EXPECT_FALSE(QFileInfo::exists(log));
  EXPECT_FALSE(QFileInfo::exists(m_root.filePath(Q("x.xml"))));

  AgreeingBoxes();
  EXPECT_EQ(zurtel::CreaFileDialogo(m_modulo, m_dati.cdsFrontespizio, m_root.filePath(Q("x.xml"))),
            TdmZurFileTelIRAP::TEsito::Completed);
  EXPECT_EQ(m_platform.messages().last(), Q("Creazione file telematico terminata con successo."));
}

TEST_F(TTelRun, CheckerResultOfTheAgencyClientWhenNoneInDich) {
  QDir().mkpath(m_root.filePath(Q("Entratel")));
  qputenv("ZUR24_ENTRATEL_DIR", m_root.filePath(Q("Entratel")).toUtf8());
  EXPECT_EQ(TdmZurFileTelIRAP::ErrorDetailPath(),
            m_root.path() + Q("/Entratel/Documenti/Esito/IRAP2025_logSchema.xml"));
  const QString own = m_root.path() + Q("/USR/FR2024/Res/Dich/IRAP2025_logSchema.xml");
  QDir().mkpath(QFileInfo(own).absolutePath());
  QFile(own).open(QIODevice::WriteOnly);
  EXPECT_EQ(TdmZurFileTelIRAP::ErrorDetailPath(), own);
  qunsetenv("ZUR24_ENTRATEL_DIR");
}

// --- the node model and the rewrite ---------------------------------------------------------

TEST(TelXmlModel, OrderOfFirstAccessReadingCreatesAndItemsAppend) {
  TXMLDocument doc;
  TXMLNode& front = doc.Root().Path(Q("Contenuto/Fornitura/Dichiarazione/Frontespizio"));
  front.Child(Q("EventiEccezionali")).SetInteger(3);
  front.Child(Q("Art13_bis")).SetInteger(-1);
  EXPECT_EQ(front.ChildText(Q("PartitaIVA")), QString());
  TXMLNode& firma = front.Child(Q("FirmaDichiarazione"));
  firma.Child(Q("FirmaDichiarante")).SetInteger(1);
  firma.Add(Q("ir:FirmaRevisore")).Child(Q("Soggetto")).SetInteger(2);
  firma.Insert(0, Q("ir:FirmaRevisore"));
  EXPECT_EQ(firma.Item(Q("ir:FirmaRevisore"), 1)->Child(Q("Soggetto")).Text(), Q("2"));
  EXPECT_EQ(firma.Item(Q("ir:FirmaRevisore"), 0)->TypeName(), Q("TXMLFirmaRevisoreType"));
  EXPECT_EQ(&front.Child(Q("EventiEccezionali")), front.Children()[0].get());
  const QString text = TdmZurFileTelIRAP::TestoFile(doc);
  EXPECT_TRUE(
      text.contains(Q("<ir:Frontespizio>\r\n<ir:EventiEccezionali>3</ir:EventiEccezionali>\r\n"
                      "<ir:Art13_bis>-1</ir:Art13_bis>\r\n<ir:PartitaIVA/>\r\n<ir:FirmaDichiarazione>\r\n"
                      "<ir:FirmaRevisore/>\r\n<ir:FirmaDichiarante>1</ir:FirmaDichiarante>\r\n"
                      "<ir:FirmaRevisore>\r\n<ir:Soggetto>2</ir:Soggetto>\r\n</ir:FirmaRevisore>\r\n")))
      << text.toStdString();
}

TEST(TelRewrite, CompactSerialisationGetsOneTagPerLineAndTheEnvelopePrefixes) {
  const QString in =
      Q("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Messaggio><Intestazione><CodiceFiscaleFornitore>1"
        "</CodiceFiscaleFornitore></Intestazione><Contenuto><Fornitura><Intestazione><TipoFornitore>1"
        "</TipoFornitore></Intestazione><Frontespizio><SoggettoFiscale><CodiceFiscale>X</CodiceFiscale>"
        "</SoggettoFiscale><VistoConformita><CFprofessionista>P</CFprofessionista><Firma>1</Firma>"
        "</VistoConformita></Frontespizio><Geie><ir:DatiGeie><CodiceFiscale>G</CodiceFiscale>"
        "</ir:DatiGeie></Geie><irTotaleZfu>3</irTotaleZfu></Fornitura></Contenuto></Messaggio>");
  EXPECT_EQ(
      TdmZurFileTelIRAP::RiscriviPrefissi(in),
      Q("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<tm:Messaggio>\r\n<tm:Intestazione>\r\n"
        "      <tm:CodiceFiscaleFornitore>1</tm:CodiceFiscaleFornitore>\r\n</tm:Intestazione>\r\n"
        "<tm:Contenuto>\r\n<ir:Fornitura>\r\n<ir:Intestazione>\r\n<ir:TipoFornitore>1</ir:TipoFornitore>\r\n"
        "</ir:Intestazione>\r\n<ir:Frontespizio>\r\n<sc:SoggettoFiscale>\r\n"
        "<sc:CodiceFiscale>X</sc:CodiceFiscale>\r\n</sc:SoggettoFiscale>\r\n<ir:VistoConformita>\r\n"
        "<sc:CFprofessionista>P</sc:CFprofessionista>\r\n<sc:Firma>1</sc:Firma>\r\n</ir:VistoConformita>\r\n"
        "</ir:Frontespizio>\r\n<ir:Geie>\r\n<ir:DatiGeie>\r\n<ir:CodiceFiscale>G</ir:CodiceFiscale>\r\n"
        "</ir:DatiGeie>\r\n</ir:Geie>\r\n<ir:irTotaleZfu>3</ir:irTotaleZfu>\r\n</ir:Fornitura>\r\n"
        "</tm:Contenuto>\r\n</tm:Messaggio>\r\n"));
}

// The taxpayer's code and telephone take "sc:" because they are the
// taxpayer's, wherever they fall; the signatory's keep "ir:" also when the
// taxpayer has none and the signatory's come first.
TEST(TelRewrite, TaxpayerPrefixesFollowTheElementNotItsPosition) {
  const QString in =
      Q("<Messaggio><Intestazione/><Contenuto><Fornitura><Frontespizio>"
        "<DatiSottoscrittore><CodiceFiscale>S</CodiceFiscale><Telefono>1</Telefono>"
        "</DatiSottoscrittore><SoggettoFiscale><CodiceFiscale>X</CodiceFiscale><Email>E</Email>"
        "</SoggettoFiscale><Firmatario><Telefono>2</Telefono></Firmatario>"
        "</Frontespizio></Fornitura></Contenuto></Messaggio>");
  const QString out = TdmZurFileTelIRAP::RiscriviPrefissi(in);
  EXPECT_TRUE(out.contains(Q("<ir:DatiSottoscrittore>\r\n<ir:CodiceFiscale>S</ir:CodiceFiscale>\r\n"
                             "<ir:Telefono>1</ir:Telefono>\r\n")))
      << out.toStdString();
  EXPECT_TRUE(out.contains(Q("<sc:SoggettoFiscale>\r\n<sc:CodiceFiscale>X</sc:CodiceFiscale>\r\n"
                             "<sc:Email>E</sc:Email>\r\n</sc:SoggettoFiscale>")))
      << out.toStdString();
  EXPECT_TRUE(out.contains(Q("<ir:Firmatario>\r\n<ir:Telefono>2</ir:Telefono>"))) << out.toStdString();
  EXPECT_FALSE(out.contains(Q("sc:Telefono"))) << out.toStdString();

  const QString withPhone =
      TdmZurFileTelIRAP::RiscriviPrefissi(Q("<Messaggio><SoggettoFiscale><Telefono>3</Telefono></"
                                            "SoggettoFiscale><Telefono>4</Telefono></Messaggio>"));
  EXPECT_TRUE(withPhone.contains(Q("<sc:Telefono>3</sc:Telefono>\r\n</sc:SoggettoFiscale>\r\n"
                                   "<ir:Telefono>4</ir:Telefono>")))
      << withPhone.toStdString();
}

TEST(TelRewrite, FileOnDiskIsRewrittenInPlace) {
  QTemporaryDir dir;
  const QString path = dir.filePath(Q("f.xml"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Messaggio><Contenuto/></Messaggio>\n");
  }
  TdmZurFileTelIRAP::RiscriviPrefissiFile(path);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(),
            QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<tm:Messaggio>\r\n<tm:Contenuto/>\r\n"
                       "</tm:Messaggio>\r\n"));
}

} // namespace
