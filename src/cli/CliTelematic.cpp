#include "cli/CliTelematic.h"

#include "app/ZurApplication.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "telematic/zurMFileTelIRAP.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kCancelled = 3;

} // namespace

int CmdTelematic(const TCliOptions& o, TCliPlatform& platform) {
  QStringList positional;
  for (const QString& a : o.arguments) {
    if (a.startsWith(QLatin1String("--")))
      throw ECliUsage(QStringLiteral("Opzione non valida per %1: %2").arg(o.command, a));
    positional << a;
  }
  if (positional.size() != 2)
    throw ECliUsage(QStringLiteral("Il comando %1 richiede %2 argomenti.").arg(o.command).arg(2));
  const QString out = positional.at(1);

  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kFailed;
  TdmZurDati& dati = app.Dati();
  platform.PresetChoice(positional.at(0));
  if (!dati.EnterDeclaration(dati.ChooseDeclaration(TZurChoiceMode::Open)))
    throw EZurError(QStringLiteral("Nessuna dichiarazione con C.F. %1.").arg(positional.at(0)));

  // The main window opens the dialog only after a save whose checks passed.
  if (!dati.SaveAll(true)) return kFailed;

  zurtel::ImpostaFornitore(dati.cdsFrontespizio);
  dati.SaveAll(false);

  TdmZurFileTelIRAP modulo(dati);
  switch (zurtel::CreaFileDialogo(modulo, dati.cdsFrontespizio, QFileInfo(out).absoluteFilePath())) {
  case TdmZurFileTelIRAP::TEsito::Completed:
    return kOk;
  case TdmZurFileTelIRAP::TEsito::Cancelled:
    return kCancelled;
  case TdmZurFileTelIRAP::TEsito::None:
    break;
  }
  return kFailed;
}
