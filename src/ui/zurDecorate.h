#pragma once

class QObject;
class TZurDataControl;

// The control decoration shared by every data-aware control of a window:
// yellow while a control has the focus, upper-case input in edit boxes,
// flags stored as "1"/"0", and on lookup edits the code-table lookup on the
// button and on F8 plus the check, on leaving, that the code exists. It
// visits every object owned by owner, recursively, and replaces whatever
// enter, leave and key handling the controls had. Call once per window.
void DecorateDataControls(QObject* owner);

// The standard lookup of a control: when its dataset is open and its tag
// names a code table, the lookup dialog of that table for its field;
// otherwise nothing.
void StandardLookup(TZurDataControl& control);

// The text shown when a lookup edit is left with a code its table lacks.
inline constexpr const char* kInvalidCodeText = "Il valore inserito non è valido: si prega di controllare";
