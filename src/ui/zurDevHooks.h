#pragma once

#include <QStringList>

class QObject;
class QWidget;

// The developer-mode aids on the data-aware controls, for the people who
// maintain the program's resources.

// Gives every data-aware control of owner (recursively) its field name in
// upper case as hint, and makes a click on it copy that name to the
// clipboard; a check box copies it on entering as well. Read-only texts are
// included. Call after DecorateDataControls.
void InstallFieldNameHooks(QObject* owner);

// Puts a data-aware control's field name (its hint) on the clipboard; other
// widgets are left alone.
void CopyFieldName(QWidget* control);

// The field names of a frame's editable data-aware controls, in upper case
// and in form order; a lookup edit's name gets "$2" (a code two characters
// wide). Without a frame: the warning "Non è stato selezionato alcun frame"
// and an empty list. With saveAsText and a non-empty list, a save dialog
// asks where to write them, one per line; a cancelled dialog writes nothing.
QStringList CollectFrameFields(QWidget* frame, bool saveAsText);
