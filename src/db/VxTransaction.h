#pragma once

class TVxSQLConnection;

// A transaction on a connection, begun explicitly and ended by Commit or
// Rollback. The destructor rolls back a transaction left open and never
// throws, so that an exception between start and commit leaves nothing
// half-written. Callers create one only when the connection is not already
// in a transaction (TVxSQLConnection::InTransaction): transactions do not
// nest, and StartTransaction on a connection inside one raises EZurError
// (Kind::Assertion).
class TVxTransaction {
public:
  explicit TVxTransaction(TVxSQLConnection& connection);
  ~TVxTransaction();
  TVxTransaction(const TVxTransaction&) = delete;
  TVxTransaction& operator=(const TVxTransaction&) = delete;

  void StartTransaction();
  // Raises EZurError (Kind::Database) when the server refuses the commit
  // (a deferred constraint, an earlier failed statement on PostgreSQL, a
  // lock it could not get). The transaction is then still to be rolled back,
  // which the destructor does.
  void Commit();
  void Rollback();
  // True between StartTransaction and a successful Commit or Rollback.
  bool Active() const { return m_active; }

private:
  TVxSQLConnection& m_connection;
  bool m_active = false;
};
