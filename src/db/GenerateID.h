#pragma once

#include <QList>
#include <QString>

class TVxSQLConnection;

// A new key for a table of the family schema, unique across every connection
// and program that uses the database: the next value of the table's sequence
// on PostgreSQL, of its row in the generators table on SQLite (one atomic
// UPDATE ... RETURNING). Inside a transaction that is later rolled back,
// SQLite hands the same key out again, PostgreSQL does not; either way no
// key is given twice to rows that stay. A table without a generator raises
// EZurError naming it; so does a name that is not a plain identifier.
qint64 GenerateID(TVxSQLConnection& connection, const QString& tableName);

// count new keys at once, for bulk imports: one statement instead of one per
// row (a round trip each on PostgreSQL). On SQLite they are consecutive, on
// PostgreSQL they need not be; either way no other caller gets any of them.
// count < 1 gives an empty list.
QList<qint64> GenerateIDs(TVxSQLConnection& connection, const QString& tableName, int count);
