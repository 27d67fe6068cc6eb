#pragma once

struct sqlite3;

// Registers on one SQLite connection what PostgreSQL keeps as functions in the
// database, so that the family's statements run there as written:
//
//  - pnym_getcrofiscale(programma, anno, mese): an eponymous table-valued
//    function with one column, icrfid, the id of the fiscal period of
//    tcrf_crofiscale for that program code (compared in lower case), year and
//    month. NULL year or month match NULL. A missing period row is created,
//    with its id from the generators table. Fails when the family schema is
//    missing, and when called with fewer than three arguments.
//  - nym_importo(x): an amount column (or a SUM of one), stored as
//    ten-thousandths, as exact decimal text "1234.5600"; NULL stays NULL.
//
// Returns the SQLite result code of the first registration that failed, or
// SQLITE_OK. Must be called again for every new connection.
int RegisterSqliteExtensions(sqlite3* db);
