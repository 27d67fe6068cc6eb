#pragma once

#include <QByteArray>
#include <QString>

// Every file the program produces (telematic file, prints, exported pages)
// goes through these two calls, so that no output can destroy an input and
// no failed write is ever taken for a finished file.
namespace zur {

// Refuses, with EZurError(Kind::File) naming the path and saying why in
// Italian, an output path that is a directory, a device or another file that
// is not an ordinary file, a read-only file, the database in use or a file
// among the program's resources (bin/, etc/, usr/, USR/FRDati/ and
// USR/FR2024/Res/ of the root directory, except the declarations folder
// Res/Dich/). Symbolic links are followed. A path that does not exist yet is
// accepted when its folder is not protected.
void CheckOutputPath(const QString& path);

// Checks the path as above, then writes the bytes to a new file beside the
// target and renames it over the target only once every byte is written,
// synced when `sync` is set, and closed. Any failure (disk full, file too
// large, no permission) throws EZurError(Kind::File) with the system's reason
// and leaves the previous target as it was and no temporary file behind. A
// new file gets the usual permissions (umask), a replaced one keeps its own.
void WriteOutputFile(const QString& path, const QByteArray& bytes, bool sync = true);

// The write of WriteOutputFile without the checks of the path, for files
// that are not the clerk's outputs (the tools' generated files).
void WriteFileAtomically(const QString& path, const QByteArray& bytes, bool sync = true);

// Adds a file the program reads and must never write over (the SQLite
// database file, with its journal files). Kept for the life of the process.
void ProtectInputFile(const QString& path);

} // namespace zur
