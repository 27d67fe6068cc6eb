#pragma once

#include "cli/CliCommands.h"
#include "cli/CliPlatform.h"

// zur24-cli import CF [--from YYYY-MM] [--to YYYY-MM] [--no-sostituto] [--no-irap]
//
// Runs start-up, opens the declaration of the fiscal code, runs the import
// window's "Importa" with the choices of the flags (by default those the
// window proposes: both imports, the whole base year) printing its log on
// standard output as it grows, then saves the declaration. The overwrite
// question is answered by the global --yes/--no.
//
// Exit status: 0 done; 1 the import failed (nothing is saved, the error is on
// standard error) or the withholding agent's data could not be imported (the
// rest is saved, the log names the error); 2 wrong usage, a year the window
// does not offer, or a question left unanswered; 3 cancelled.
int CmdImport(const TCliOptions& options, TCliPlatform& platform);
