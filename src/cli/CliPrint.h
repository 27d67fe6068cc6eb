#pragma once

#include "cli/CliCommands.h"
#include "cli/CliPlatform.h"

// zur24-cli print CF GROUP OUT: the print driver of GROUP (frontespizio, ik,
// ir, is) on the declaration of CF, writing OUT instead of the fixed name.
// Prints OUT's path as the windows would open it. Exit 1 with the error on
// standard error when the run fails; OUT is then left as it was.
int CmdPrint(const TCliOptions& options, TCliPlatform& platform);

// zur24-cli pdf-pages IN PAGES OUT: the page export; PAGES is "all" or a
// range list such as 1-5,7. An existing OUT is replaced only after the
// question "Sovrascrivere il file già presente?" (--yes). Needs no database.
int CmdPdfPages(const TCliOptions& options, TCliPlatform& platform);
