#pragma once

#include <QString>
#include <QStringList>
#include <array>

class TClientDataSet;

// The data checks that run before the declaration leaves the program (the
// last stage of every save with checks): mandatory data of the cover page and
// a few arithmetic rules of Quadro IK. They only report: no value is changed
// and nothing is undone.

// The five stored datasets in the order the checks visit them: Frontespizio,
// IK, IR, IR var, IS.
using TZurCheckedDataSets = std::array<TClientDataSet*, 5>;

// Visits every field of each dataset in field order, on its current record,
// and appends one line " - ..." per finding to messages. Returns true when
// nothing was found. A dataset being edited is posted by the rule that walks
// its records; datasets must be open. A null pointer is skipped.
bool CheckDeclarationData(QStringList& messages, const TZurCheckedDataSets& dataSets);

// The e-mail check that the save runs after CheckDeclarationData: more than
// one "@" in the text appends its line and returns false.
bool CheckSingleEmail(QStringList& messages, const QString& email);

// The mandatory fields and the descriptions their messages use, in the order
// of the list ("field=description").
const QStringList& MandatoryFieldList();
