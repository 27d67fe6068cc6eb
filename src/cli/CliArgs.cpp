#include "cli/CliArgs.h"

#include "app/ZurApplication.h"
#include "cli/CliPlatform.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"

TCliArgs ParseCliArgs(const TCliOptions& o, int positional, const QStringList& flags,
                      const QList<TCliValueOption>& valueOptions) {
  TCliArgs args;
  const auto refuse = [&](const QString& written) {
    return ECliUsage(QStringLiteral("Opzione non valida per %1: %2").arg(o.command, written));
  };
  for (qsizetype i = 0; i < o.arguments.size(); ++i) {
    const QString& written = o.arguments[i];
    if (!written.startsWith(QLatin1String("--"))) {
      args.positional << written;
      continue;
    }
    QString name = written;
    QString value;
    const qsizetype eq = written.indexOf(QLatin1Char('='));
    if (eq > 0) {
      name = written.left(eq);
      value = written.mid(eq + 1);
    }
    const auto option = std::find_if(valueOptions.begin(), valueOptions.end(),
                                     [&](const TCliValueOption& v) { return v.name == name; });
    if (option != valueOptions.end()) {
      if (value.isNull()) {
        if (i + 1 >= o.arguments.size())
          throw ECliUsage(
              QStringLiteral("L'opzione %1 richiede un valore %2.").arg(name, option->placeholder));
        value = o.arguments[++i];
      }
      args.values[name] = value;
    } else if (flags.contains(name) && value.isNull()) {
      if (!args.flags.contains(name)) args.flags << name;
    } else {
      throw refuse(written);
    }
  }
  if (args.positional.size() != positional)
    throw ECliUsage(QStringLiteral("Il comando %1 richiede %2 argomenti.").arg(o.command).arg(positional));
  return args;
}

void EnterByFiscalCode(TZurApplication& app, TCliPlatform& platform, const QString& fiscalCode) {
  TdmZurDati& dati = app.Dati();
  platform.PresetChoice(fiscalCode);
  if (!dati.EnterDeclaration(dati.ChooseDeclaration(TZurChoiceMode::Open)))
    throw EZurError(QStringLiteral("Nessuna dichiarazione con C.F. %1.").arg(fiscalCode));
}

QString CliPlainText(QString text) {
  text.replace(QLatin1String("\r\r\n"), QLatin1String("\n"));
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}
