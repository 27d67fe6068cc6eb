#pragma once

#include <QSqlError>
#include <QString>

// The message a clerk reads when the database fails. The failures a clerk
// can do something about (a full disk, a read-only database, a server that
// cannot be reached, a connection lost halfway) are named in Italian, with
// what to do, and followed on a new line by the engine's own text, which the
// technician needs; any other failure is the engine's text alone.
QString ZurDbMessage(const QSqlError& error);

// The same from the parts: the engine's text, its native code (the SQLite
// result code or the PostgreSQL SQLSTATE) and whether the failure came while
// connecting.
QString ZurDbMessage(const QString& engineText, const QString& nativeCode, bool connecting);
