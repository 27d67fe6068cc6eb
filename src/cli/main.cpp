// zur24-cli: the headless face of the program. It runs the same start-up and
// the same core operations as the windows, answering their questions from
// its flags.
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/CliPlatform.h"
#include "db/SqlDialect.h"
#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"
#include "platform/ZurSettings.h"
#include "platform/zurUGlobal.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

void Usage() {
  CliErr(QStringLiteral(
      "uso: zur24-cli [--root DIR] [--db URL] [--yes|--no] [--open] COMANDO ARGOMENTI...\n"
      "comandi:\n"
      "  init [--demo]   crea il database della famiglia (con --demo, una scuola e le sue paghe)\n"
      "  info            esegue l'avvio e mostra cosa è stato caricato\n"
      "  list            elenca le dichiarazioni: IIRAPID, codice fiscale, denominazione\n"
      "  new CF          crea la dichiarazione del codice fiscale e ne stampa l'IIRAPID\n"
      "  set CF FILE     scrive nella dichiarazione i valori del file JSON, poi salva\n"
      "  get CF          stampa la dichiarazione in JSON\n"
      "  check CF        esegue i controlli del salvataggio; esce con 1 se trova problemi\n"
      "  delete CF       elimina la dichiarazione (chiede conferma: --yes)\n"
      "  import CF [--from AAAA-MM] [--to AAAA-MM] [--no-sostituto] [--no-irap]\n"
      "                  importa sede e IRAP dalle paghe, poi salva\n"
      "  print CF GRUPPO FILE  stampa frontespizio, ik, ir o is sul modello PDF in FILE\n"
      "  pdf-pages IN PAGINE OUT  copia in OUT le pagine di IN (all oppure 1-5,7)\n"
      "  telematic CF OUT  salva con i controlli e crea il file telematico OUT"));
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("IRAP"));

  TCliOptions options;
  QStringList args = QCoreApplication::arguments().mid(1);
  TCliPlatform::Answer answer = TCliPlatform::Answer::None;
  bool open = false;
  while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
    const QString opt = args.takeFirst();
    if ((opt == QLatin1String("--root") || opt == QLatin1String("--db")) && !args.isEmpty()) {
      (opt == QLatin1String("--root") ? options.rootDir : options.databaseUrl) = args.takeFirst();
    } else if (opt == QLatin1String("--yes") && answer == TCliPlatform::Answer::None) {
      answer = TCliPlatform::Answer::Yes;
    } else if (opt == QLatin1String("--no") && answer == TCliPlatform::Answer::None) {
      answer = TCliPlatform::Answer::No;
    } else if (opt == QLatin1String("--open")) {
      open = true;
    } else if (opt == QLatin1String("--help")) {
      Usage();
      return kCliOk;
    } else {
      CliErr(QStringLiteral("Opzione non valida o incompleta: %1").arg(opt));
      Usage();
      return kCliUsage;
    }
  }
  if (args.isEmpty()) {
    Usage();
    return kCliUsage;
  }
  options.command = args.takeFirst();
  options.arguments = args;
  // Every command, also those that start no database, works in the root
  // given: the outputs' guard protects that root's resources.
  if (!options.rootDir.isEmpty()) zur::SetRootDir(options.rootDir);
  // pdf-pages opens no database, and its output must not replace it either.
  try {
    if (const auto target = TDatabaseTarget::Parse(zur::DatabaseUrl(options.databaseUrl));
        target && target->engine == TSqlEngine::SQLite)
      zur::ProtectInputFile(target->path);
  } catch (const EZurError&) {
    // A damaged settings file is reported by the commands that read it.
  }

  TCliPlatform platform(answer, open);
  SetPlatform(&platform);
  int rc = kCliFailed;
  try {
    rc = RunCliCommand(options, platform);
  } catch (const TCliPlatform::EUnanswered& e) {
    CliErr(e.question());
    CliErr(QStringLiteral("Domanda senza risposta: usare --yes oppure --no."));
    rc = kCliUsage;
  } catch (const ECliUsage& e) {
    CliErr(e.message());
    Usage();
    rc = kCliUsage;
  } catch (const EZurError& e) {
    CliErr(e.message());
    rc = e.kind() == EZurError::Kind::Cancelled ? kCliCancelled : kCliFailed;
  } catch (const std::exception& e) {
    CliErr(QString::fromLocal8Bit(e.what()));
    rc = kCliFailed;
  }
  SetPlatform(nullptr);
  return rc;
}
