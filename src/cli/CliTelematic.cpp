#include "cli/CliTelematic.h"

#include "cli/CliArgs.h"

#include "app/ZurApplication.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "telematic/zurMFileTelIRAP.h"

#include <QCoreApplication>
#include <QFileInfo>

int CmdTelematic(const TCliOptions& o, TCliPlatform& platform) {
  const QStringList positional = ParseCliArgs(o, 2).positional;
  const QString out = positional.at(1);

  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  TdmZurDati& dati = app.Dati();
  EnterByFiscalCode(app, platform, positional.at(0));

  // The main window opens the dialog only after a save whose checks passed.
  if (!dati.SaveAll(true)) return kCliFailed;

  zurtel::ImpostaFornitore(dati.cdsFrontespizio);
  if (!dati.SaveAll(false)) return kCliFailed;

  TdmZurFileTelIRAP modulo(dati);
  switch (zurtel::CreaFileDialogo(modulo, dati.cdsFrontespizio, QFileInfo(out).absoluteFilePath())) {
  case TdmZurFileTelIRAP::TEsito::Completed:
    return kCliOk;
  case TdmZurFileTelIRAP::TEsito::Cancelled:
    return kCliCancelled;
  case TdmZurFileTelIRAP::TEsito::None:
    break;
  }
  return kCliFailed;
}
