#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The stand-in for the ministerial model IRAP_mod.pdf, drawn from the
// coordinate files themselves: for every Edit its box at each place it can
// print (one cell per character where Space > 0), its row code and a short
// caption, plus page and section titles, on A4 pages. The generator reads the
// attributes the program ignores (Page/Section Title, Edit Rigo, RigoX and
// Caption, PrintRect BoxDx, BoxWidth and Cells); "#" in a Rigo stands for the
// regional row code IR32, IR33, ... of the repetition index.
//
// The model has kStandInPages pages (blank pages carry only a title), so
// that page numbers used for the real model stay valid. The bytes are
// deterministic for the same coordinate files. Throws EZurError for a
// coordinate file that cannot be read or a Template outside the model.
inline constexpr int kStandInPages = 24;
QByteArray BuildStandInModel(const QStringList& coordFiles);
