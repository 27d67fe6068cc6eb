#include "db/ZurConnection.h"

#include <QDir>
#include <QFileInfo>

namespace {
TVxSQLConnection* g_globalConnection = nullptr;
} // namespace

TVxSQLConnection* qqoVxGlobConn() {
  return g_globalConnection;
}

TdmZurConnection::TdmZurConnection(QString executableDir) : m_executableDir(std::move(executableDir)) {}

TdmZurConnection::~TdmZurConnection() {
  CloseConnection();
}

QString TdmZurConnection::QueryRepositoryFile() const {
  return QDir::cleanPath(m_executableDir + QStringLiteral("/../etc/qen/qen_QueryText.cds"));
}

bool TdmZurConnection::LoadQueryRepository(const std::function<void(const QString& fileName)>& load) const {
  const QString file = QueryRepositoryFile();
  if (!QFileInfo(file).isFile()) return false;
  load(file);
  return true;
}

bool TdmZurConnection::OpenConnection() {
  if (!xqoMain.Open()) return false;
  g_globalConnection = &xqoMain;
  return true;
}

void TdmZurConnection::CloseConnection() {
  if (g_globalConnection == &xqoMain) g_globalConnection = nullptr;
  xqoMain.Close();
}
