#include "db/VxTransaction.h"

#include "db/VxSQLConnection.h"
#include "platform/ZurError.h"

TVxTransaction::TVxTransaction(TVxSQLConnection& connection) : m_connection(connection) {}

TVxTransaction::~TVxTransaction() {
  if (!m_active) return;
  try {
    m_connection.RollbackTransaction();
  } catch (...) {
    // Nothing sensible is left to do in a destructor; a connection that can
    // no longer roll back has lost the transaction anyway.
  }
}

void TVxTransaction::StartTransaction() {
  ZurAssert(!m_active, QStringLiteral("Transazione già avviata."));
  m_connection.BeginTransaction();
  m_active = true;
}

void TVxTransaction::Commit() {
  ZurAssert(m_active, QStringLiteral("Nessuna transazione da confermare."));
  m_connection.CommitTransaction();
  m_active = false;
}

void TVxTransaction::Rollback() {
  ZurAssert(m_active, QStringLiteral("Nessuna transazione da annullare."));
  m_active = false;
  m_connection.RollbackTransaction();
}
