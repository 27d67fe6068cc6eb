#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Builds the query repository qen_QueryText.cds from the statement files of
// querytext/ (one file NAME.KIND.sql per statement, variant 0) and the
// version records of the family's programs. The same input always gives
// the same bytes, so the committed file can be checked against its sources.
//
// Rows: first one version record per executable ("VER_" + name in upper
// case, Tipo = minimumVersion), then the statements ordered by file name.
// Statement texts lose trailing blank lines and keep LF line ends (CR LF is
// turned into LF). Throws EZurError(Kind::File) naming the file for a folder
// that cannot be read, a file name that is not NAME.KIND.sql with an
// upper-case NAME, an unreadable or empty statement file.
QByteArray BuildQueryTextRepository(const QString& sqlDir, const QString& minimumVersion,
                                    const QStringList& executables = {QStringLiteral("zur24"),
                                                                      QStringLiteral("zur24-cli")});
