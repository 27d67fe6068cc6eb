#pragma once

#include "db/VxSQLConnection.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// A fresh, empty family database per test, on SQLite or PostgreSQL.
//
//   class TMyTest : public zurtest::TDatabaseTest {};
//   TEST_P(TMyTest, Something) { Db().CreateSchema(true); TZurQuery q(Conn()); ... }
//   ZUR_INSTANTIATE_ENGINES(TMyTest);
//
// "sqlite" is a file in a temporary folder; "postgres" a database created on
// the server of ZUR24_TEST_PG under a unique name and dropped afterwards.
// Without ZUR24_TEST_PG the PostgreSQL cases are skipped, visibly. Tests
// share nothing, so they run in any order and in parallel.
namespace zurtest {

// The engines storage tests run on: always both.
const std::vector<std::string>& Engines();
// Why the engine cannot be tested on this machine; empty when it can.
QString EngineUnavailable(const std::string& engine);

class TTestDatabase {
public:
  // Creates the database and opens a connection to it; EZurError on failure.
  explicit TTestDatabase(const std::string& engine);
  ~TTestDatabase();
  TTestDatabase(const TTestDatabase&) = delete;
  TTestDatabase& operator=(const TTestDatabase&) = delete;

  const std::string& Engine() const { return m_engine; }
  bool IsSQLite() const { return m_engine == "sqlite"; }
  const QString& Url() const { return m_url; }
  TVxSQLConnection& Connection() { return m_connection; }
  // A second, independent connection to the same database (another program
  // of the family, say). Destroy it before this object.
  std::unique_ptr<TVxSQLConnection> OpenAnother() const;
  // TFamilySchema::Create on the connection.
  void CreateSchema(bool demo = false);

private:
  std::string m_engine;
  QString m_url;
  QTemporaryDir m_dir;
  QString m_serverUrl; // PostgreSQL: the maintenance database, for the drop
  QString m_pgName;
  TVxSQLConnection m_connection;
};

class TDatabaseTest : public ::testing::TestWithParam<std::string> {
protected:
  void SetUp() override;
  void TearDown() override;
  TTestDatabase& Db() { return *m_db; }
  TVxSQLConnection& Conn() { return m_db->Connection(); }
  bool IsSQLite() const { return GetParam() == "sqlite"; }

private:
  std::unique_ptr<TTestDatabase> m_db;
};

std::string EngineName(const ::testing::TestParamInfo<std::string>& info);

} // namespace zurtest

#define ZUR_INSTANTIATE_ENGINES(suite)                                                                       \
  INSTANTIATE_TEST_SUITE_P(Engine, suite, ::testing::ValuesIn(zurtest::Engines()), zurtest::EngineName)
