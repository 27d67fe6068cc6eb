#include "support/TestDatabase.h"

#include "db/FamilySchema.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QUrl>
#include <atomic>

namespace zurtest {

namespace {

QString ServerUrl() {
  return qEnvironmentVariable("ZUR24_TEST_PG").trimmed();
}

QString WithDatabase(const QString& serverUrl, const QString& database) {
  QUrl url(serverUrl);
  url.setPath(QLatin1Char('/') + database);
  return url.toString();
}

// Unique across the processes that ctest runs side by side and across runs
// that left a database behind after a crash.
QString UniqueDatabaseName() {
  static std::atomic<int> counter{0};
  return QStringLiteral("zurtest_%1_%2_%3")
      .arg(QCoreApplication::applicationPid())
      .arg(++counter)
      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

void ExecOn(const QString& url, const QString& sql) {
  TVxSQLConnection admin;
  admin.SetDatabaseUrl(url);
  if (!admin.Open()) throw EZurError(admin.LastError(), EZurError::Kind::Database);
  TZurQuery q(admin);
  q.SetSQL(sql);
  q.ExecSQL();
}

} // namespace

const std::vector<std::string>& Engines() {
  static const std::vector<std::string> engines = {"sqlite", "postgres"};
  return engines;
}

QString EngineUnavailable(const std::string& engine) {
  if (engine == "postgres" && ServerUrl().isEmpty())
    return QStringLiteral("ZUR24_TEST_PG non impostata: nessun server PostgreSQL per questo test");
  return {};
}

TTestDatabase::TTestDatabase(const std::string& engine) : m_engine(engine) {
  if (engine == "sqlite") {
    if (!m_dir.isValid()) throw EZurError(QStringLiteral("Cartella temporanea non creata."));
    m_url = QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("zur24.sqlite"));
  } else if (engine == "postgres") {
    m_serverUrl = ServerUrl();
    if (m_serverUrl.isEmpty()) throw EZurError(EngineUnavailable(engine));
    m_pgName = UniqueDatabaseName();
    // The name is made here from digits and letters: it is no user input, and
    // CREATE DATABASE takes no parameters.
    ExecOn(m_serverUrl,
           QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(m_pgName));
    m_url = WithDatabase(m_serverUrl, m_pgName);
  } else {
    throw EZurError(QStringLiteral("Motore di test sconosciuto: %1").arg(QString::fromStdString(engine)));
  }
  m_connection.SetDatabaseUrl(m_url);
  if (!m_connection.Open()) throw EZurError(m_connection.LastError(), EZurError::Kind::Database);
}

TTestDatabase::~TTestDatabase() {
  m_connection.Close();
  if (m_pgName.isEmpty()) return;
  try {
    ExecOn(m_serverUrl, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_pgName));
  } catch (const EZurError& e) {
    ADD_FAILURE() << "database di test non eliminato: " << e.what();
  }
}

std::unique_ptr<TVxSQLConnection> TTestDatabase::OpenAnother() const {
  auto connection = std::make_unique<TVxSQLConnection>();
  connection->SetDatabaseUrl(m_url);
  if (!connection->Open()) throw EZurError(connection->LastError(), EZurError::Kind::Database);
  return connection;
}

void TTestDatabase::CreateSchema(bool demo) {
  TFamilySchema::Create(m_connection, demo);
}

void TDatabaseTest::SetUp() {
  const QString why = EngineUnavailable(GetParam());
  if (!why.isEmpty()) GTEST_SKIP() << why.toStdString();
  try {
    m_db = std::make_unique<TTestDatabase>(GetParam());
  } catch (const EZurError& e) {
    FAIL() << "database di test non creato: " << e.what();
  }
}

void TDatabaseTest::TearDown() {
  m_db.reset();
}

std::string EngineName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param;
}

} // namespace zurtest
