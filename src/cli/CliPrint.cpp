#include "cli/CliPrint.h"

#include "cli/CliArgs.h"

#include "app/ZurApplication.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "print/zurPaginePDF.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

using TDriver = void (TdmZurPDF::*)(const QString&);

struct TPrintGroup {
  const char* name;
  TDriver driver;
};
const TPrintGroup kGroups[] = {{"frontespizio", &TdmZurPDF::PrintFrontespizio},
                               {"ik", &TdmZurPDF::PrintQuadroIK},
                               {"ir", &TdmZurPDF::PrintQuadroIR},
                               {"is", &TdmZurPDF::PrintQuadroIS}};

} // namespace

int CmdPrint(const TCliOptions& o, TCliPlatform& platform) {
  const QStringList args = ParseCliArgs(o, 3).positional;
  TDriver driver = nullptr;
  for (const TPrintGroup& g : kGroups)
    if (args[1].compare(QLatin1String(g.name), Qt::CaseInsensitive) == 0) driver = g.driver;
  if (!driver)
    throw ECliUsage(
        QStringLiteral("Gruppo di stampa sconosciuto: %1 (frontespizio, ik, ir, is)").arg(args[1]));

  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  TdmZurDati& dati = app.Dati();
  EnterByFiscalCode(app, platform, args[0]);
  (dati.*driver)(args[2]);
  return kCliOk;
}

int CmdPdfPages(const TCliOptions& o, TCliPlatform& platform) {
  const QStringList args = ParseCliArgs(o, 3).positional;
  if (!QFileInfo(args[0]).isFile())
    throw EZurError(QStringLiteral("File mancante ") + args[0], EZurError::Kind::File, args[0]);
  const bool all = args[1].compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
  platform.PresetFileName(args[2]);
  TZurPaginePDF export_;
  switch (export_.Copia(args[0], all, all ? QString() : args[1])) {
  case TZurPaginePDF::TResult::Saved:
    return kCliOk;
  case TZurPaginePDF::TResult::NotSaved:
    return kCliCancelled; // the overwrite was refused
  default:
    return kCliFailed;
  }
}
