#pragma once

#include <QString>
#include <QStringList>

// Process-wide values computed once at start-up and read by every subsystem.
namespace zur {

// "Modello IRAP/2025 Redd.24": the caption of the main window, also quoted
// by the repository version check.
QString ApplicationTitle();

// The 31 code-table names in the order the lookup controls address them
// (1-based, by the control's tag).
const QStringList& CodeTableIndex();
// The name at a 1-based tag; an empty text for a tag outside 1..31.
QString CodeTableName(int tag);

// The program root directory: the parent of the executable's directory,
// with a trailing slash. Every resource path is relative to it.
QString RootDir();
// Computes the root directory from an executable path ("/opt/zur24/bin/zur24"
// gives "/opt/zur24/"); used at start-up and by tests.
QString RootDirFromExecutable(const QString& executablePath);
// Overrides the root directory (zur24-cli --root, tests). The text gets a
// trailing slash when it lacks one.
void SetRootDir(const QString& dir);

// The executable's own directory with a trailing slash (root + "bin/" unless
// the root was overridden, in which case root + "bin/").
QString ExeDir();

// Root-relative paths the program uses in more than one place.
inline constexpr const char* kDichDir = "USR/FR2024/Res/Dich/";
inline constexpr const char* kStpDir = "USR/FR2024/Stp/";
inline constexpr const char* kCoordDir = "USR/FR2024/Res/CoordStp/";
inline constexpr const char* kPrevYearDir = "USR/FRDati/FR2023/";
inline constexpr const char* kDevMarker = "ETC/ZUR/dev";

} // namespace zur
