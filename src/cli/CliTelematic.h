#pragma once

#include "cli/CliCommands.h"
#include "cli/CliPlatform.h"

// zur24-cli telematic CF OUT
//
// The road of "Creazione file telematico": opens the declaration of the
// fiscal code, saves it with the data checks (findings: exit 1, no file),
// applies the supplier defaults of the dialog and its mandatory checks (exit
// 1 with the dialog's error), runs the creation with OUT as the file name,
// prints the outcome and removes the agency checker's earlier result file.
// The supplier defaults are saved with the declaration.
//
// Exit status: 0 written; 1 checks, mandatory data or an error of the run
// (nothing written); 2 wrong usage or the consistency question without
// --yes/--no; 3 cancelled (--no at the consistency question, no file).
int CmdTelematic(const TCliOptions& options, TCliPlatform& platform);
