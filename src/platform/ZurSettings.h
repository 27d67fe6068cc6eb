#pragma once

#include <QString>

// Where the program finds its database and the tax agency's client program.
// Both come from <root>/etc/zur/zur24.ini (keys at the top of the file,
// "Database=" and "EntratelDir="), each overridable by the environment.
namespace zur {

QString SettingsPath();

// The database to use: the given override (zur24-cli --db) when not empty,
// else ZUR24_DB, else the ini file's Database, else the SQLite file
// <root>/USR/FRDati/zur24.sqlite. A damaged ini file throws EZurError.
QString DatabaseUrl(const QString& override = {});
QString DefaultSqlitePath();

// The installation folder of the agency's client program (ZUR24_ENTRATEL_DIR,
// else the ini file's EntratelDir), with a trailing slash; empty when there is
// no such installation.
QString EntratelDir();

} // namespace zur
