#include "cli/CliCommands.h"

#include "app/ZurApplication.h"
#include "app/zurUGlobal.h"
#include "data/FamilySchema.h"
#include "data/SqlDialect.h"
#include "data/ZurConnection.h"
#include "payroll/nymCQueryText.h"
#include "platform/ZurError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <functional>
#include <map>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;

TZurApplication::TOptions AppOptions(const TCliOptions& o) {
  TZurApplication::TOptions a;
  a.rootDir = o.rootDir;
  a.databaseUrl = o.databaseUrl;
  a.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  if (a.executableName.isEmpty()) a.executableName = QStringLiteral("zur24-cli");
  a.version = QStringLiteral(ZUR_VERSION);
  return a;
}

// The database URL as it may be shown: without the password.
QString Displayable(const QString& url) {
  const auto target = TDatabaseTarget::Parse(url);
  return target ? target->Describe() : url;
}

void ExpectArguments(const TCliOptions& o, const QStringList& allowedFlags, int positional) {
  int count = 0;
  for (const QString& a : o.arguments) {
    if (a.startsWith(QLatin1String("--"))) {
      if (!allowedFlags.contains(a)) throw ECliUsage(QStringLiteral("Opzione non valida per %1: %2").arg(o.command, a));
    } else {
      ++count;
    }
  }
  if (count != positional)
    throw ECliUsage(QStringLiteral("Il comando %1 richiede %2 argomenti.").arg(o.command).arg(positional));
}

int CmdInit(const TCliOptions& o, TCliPlatform&) {
  ExpectArguments(o, {QStringLiteral("--demo")}, 0);
  const bool demo = o.arguments.contains(QStringLiteral("--demo"));
  TZurApplication app(AppOptions(o));
  if (!app.OpenDatabase(true)) return kFailed;
  TFamilySchema::Create(app.Connection().xqoMain, demo);
  CliOut(demo ? QStringLiteral("Database creato con i dati dimostrativi: %1").arg(Displayable(app.Connection().DatabaseUrl()))
              : QStringLiteral("Database creato: %1").arg(Displayable(app.Connection().DatabaseUrl())));
  return kOk;
}

int CmdInfo(const TCliOptions& o, TCliPlatform&) {
  ExpectArguments(o, {}, 0);
  TZurApplication app(AppOptions(o));
  if (!app.Start()) return kFailed;
  CliOut(zur::ApplicationTitle());
  CliOut(QStringLiteral("Cartella del programma: %1").arg(zur::RootDir()));
  CliOut(QStringLiteral("Database: %1").arg(Displayable(app.Connection().DatabaseUrl())));
  CliOut(QStringLiteral("Versione del programma: %1 (minima richiesta: %2)")
             .arg(app.Options().version, QueryText().MinimumVersion(app.Options().executableName)));
  CliOut(QStringLiteral("Tabelle dei codici: %1").arg(zur::CodeTableIndex().size()));
  CliOut(QStringLiteral("Scuola: %1 - %2").arg(app.SchoolFiscalCode(), app.SchoolName()));
  return kOk;
}

} // namespace

int RunCliCommand(const TCliOptions& options, TCliPlatform& platform) {
  static const std::map<QString, std::function<int(const TCliOptions&, TCliPlatform&)>> commands = {
      {QStringLiteral("init"), CmdInit},
      {QStringLiteral("info"), CmdInfo},
  };
  const auto it = commands.find(options.command);
  if (it == commands.end()) throw ECliUsage(QStringLiteral("Comando sconosciuto: %1").arg(options.command));
  return it->second(options, platform);
}
