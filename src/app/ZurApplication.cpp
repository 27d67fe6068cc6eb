#include "app/ZurApplication.h"

#include "platform/ZurSettings.h"
#include "platform/zurUGlobal.h"
#include "store/NymDBCds.h"
#include "db/SqlDialect.h"
#include "db/VxParamManager.h"
#include "declaration/ZurCatalogue.h"
#include "db/ZurConnection.h"
#include "db/ZurQuery.h"
#include "declaration/zurMDati.h"
#include "payroll/QenMParams.h"
#include "payroll/QenParametri.h"
#include "payroll/nymCAnno.h"
#include "payroll/nymCQueryText.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QDir>
#include <QFileInfo>

TZurApplication::TZurApplication(TOptions options) : m_options(std::move(options)) {
  if (!m_options.rootDir.isEmpty()) zur::SetRootDir(m_options.rootDir);
  m_connection = std::make_unique<TdmZurConnection>(zur::ExeDir());
  m_connection->LoadQueryRepository([](const QString& file) { QueryText().Load(file); });
  m_qenParametri = std::make_unique<TQenParametri>(TQenUtil::UserDir());
  m_params = std::make_unique<TdmQenParams>(&m_connection->xqoMain);
  SetDmQenParams(m_params.get());
  QenAnnoFinanziario().SetParams(m_params.get());
  NymAnnoScolastico().SetParams(m_params.get());
  m_dati = std::make_unique<TdmZurDati>();
}

TZurApplication::~TZurApplication() {
  if (m_dati) m_dati->SetStore(nullptr);
  m_store.reset();
  QenAnnoFinanziario().SetParams(nullptr);
  NymAnnoScolastico().SetParams(nullptr);
  SetDmQenParams(nullptr);
  m_params.reset();
  if (m_connection) m_connection->CloseConnection();
}

QString TZurApplication::MissingFiscalCodeWarning() {
  return QStringLiteral("Impossibile caricare il codice fiscale della scuola.\n\rAvviare il programma Sedario e "
                        "quindi \"Sedi ed istituti\" nella sezione \"Utilità\"->\"Amministrazione\" da cui è "
                        "possibile inserire il codice fiscale.");
}

bool TZurApplication::OpenDatabase(bool createIfMissing) {
  const QString url = zur::DatabaseUrl(m_options.databaseUrl);
  m_connection->SetDatabaseUrl(url);
  const auto target = TDatabaseTarget::Parse(url);
  if (target && target->engine == TSqlEngine::SQLite) {
    if (createIfMissing) {
      QDir().mkpath(QFileInfo(target->path).absolutePath());
    } else if (!QFileInfo::exists(target->path)) {
      VxShowMessage(QStringLiteral("Il database \"%1\" non esiste: crearlo con \"zur24-cli init\".").arg(target->path),
                    TMsgDlgType::Error);
      return false;
    }
  }
  if (m_connection->OpenConnection()) return true;
  VxShowMessage(m_connection->LastError(), TMsgDlgType::Error);
  return false;
}

bool TZurApplication::Start() {
  // The values every subsystem reads; computing them first makes a bad root
  // directory show up before anything else.
  (void)zur::RootDir();
  (void)zur::CodeTableIndex();
  if (!QueryText().CheckVersion(m_options.version, m_options.executableName, zur::ApplicationTitle()))
    return false;
  if (!OpenDatabase()) return false;
  if (!LoadSchoolIdentity()) return false;
  CreateStore();
  return LoadDeclarationData();
}

QString TZurApplication::DataOpenWarning() {
  return QStringLiteral("Si è verificato un errore durante l'apertura dei dati. Non è possibile continuare, "
                        "il programma verrà chiuso");
}

void TZurApplication::CreateStore() {
  m_store = std::make_unique<TNymDBCds>(TZurCatalogue::Year, QString::fromLatin1(TZurCatalogue::Program),
                                        TZurCatalogue::Month);
  m_store->SetConnection(&m_connection->xqoMain);
  m_store->SetShowWait(false);
  m_dati->SetStore(m_store.get());
}

bool TZurApplication::LoadDeclarationData() {
  if (!m_dati->LoadAll() || !m_dati->AllActive()) {
    VxShowMessage(DataOpenWarning(), TMsgDlgType::Warning);
    return false;
  }
  return true;
}

void TZurApplication::EnterFirstDeclaration() {
  if (m_dati->cdsFrontespizio.IsEmpty()) {
    m_dati->New();
  } else {
    m_dati->PostAll();
    m_dati->Open();
  }
}

bool TZurApplication::LoadSchoolIdentity() {
  TZurQuery q(m_connection->xqoMain);
  TQenUtil::AssignStatement(QStringLiteral("QRY_SED"), q);
  const QVariant group = m_params->GetParams(QString::fromLatin1(VXUP_DwgId));
  q.ParamByName(QStringLiteral("IDWGID")).SetInteger(group.toString().trimmed().toLongLong());
  q.Open();
  m_schoolFiscalCode = q.FieldByName(QStringLiteral("SSEDNOMCODICEFISC")).AsString();
  m_schoolName = q.FieldByName(QStringLiteral("SSEDNOMLDESC")).AsString();
  q.Close();
  if (m_schoolFiscalCode.trimmed().isEmpty()) {
    VxShowMessage(MissingFiscalCodeWarning(), TMsgDlgType::Warning);
    return false;
  }
  m_dati->SetSchoolIdentity(m_schoolFiscalCode, m_schoolName);
  return true;
}
