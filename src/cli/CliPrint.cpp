#include "cli/CliPrint.h"

#include "app/ZurApplication.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"
#include "print/zurPaginePDF.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QStringList Positional(const TCliOptions& o, int count) {
  QStringList out;
  for (const QString& a : o.arguments) {
    if (a.startsWith(QLatin1String("--")))
      throw ECliUsage(QStringLiteral("Opzione non valida per %1: %2").arg(o.command, a));
    out << a;
  }
  if (out.size() != count)
    throw ECliUsage(QStringLiteral("Il comando %1 richiede %2 argomenti.").arg(o.command).arg(count));
  return out;
}

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
  const QStringList args = Positional(o, 3);
  TDriver driver = nullptr;
  for (const TPrintGroup& g : kGroups)
    if (args[1].compare(QLatin1String(g.name), Qt::CaseInsensitive) == 0) driver = g.driver;
  if (!driver)
    throw ECliUsage(
        QStringLiteral("Gruppo di stampa sconosciuto: %1 (frontespizio, ik, ir, is)").arg(args[1]));

  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return 1;
  TdmZurDati& dati = app.Dati();
  platform.PresetChoice(args[0]);
  if (!dati.EnterDeclaration(dati.ChooseDeclaration(TZurChoiceMode::Open)))
    throw EZurError(QStringLiteral("Nessuna dichiarazione con C.F. %1.").arg(args[0]));
  (dati.*driver)(args[2]);
  return 0;
}

int CmdPdfPages(const TCliOptions& o, TCliPlatform& platform) {
  const QStringList args = Positional(o, 3);
  if (!QFileInfo(args[0]).isFile())
    throw EZurError(QStringLiteral("File mancante ") + args[0], EZurError::Kind::File, args[0]);
  const bool all = args[1].compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
  platform.PresetFileName(args[2]);
  TZurPaginePDF export_;
  switch (export_.Copia(args[0], all, all ? QString() : args[1])) {
  case TZurPaginePDF::TResult::Saved:
    return 0;
  case TZurPaginePDF::TResult::NotSaved:
    return 3; // the overwrite was refused
  default:
    return 1;
  }
}
