#include "cli/CliCommands.h"
#include "cli/CliArgs.h"
#include "cli/CliImport.h"
#include "cli/CliPrint.h"
#include "cli/CliTelematic.h"

#include "app/ZurApplication.h"
#include "platform/zurUGlobal.h"
#include "db/FamilySchema.h"
#include "db/SqlDialect.h"
#include "declaration/ZurCatalogue.h"
#include "db/ZurConnection.h"
#include "declaration/ZurDeclarationJson.h"
#include "declaration/zurMDati.h"
#include "payroll/nymCQueryText.h"
#include "platform/ZurError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <map>

namespace {

// The database URL as it may be shown: without the password.
QString Displayable(const QString& url) {
  const auto target = TDatabaseTarget::Parse(url);
  return target ? target->Describe() : TDatabaseTarget::Redact(url);
}

// One declaration, one line: a tab, a line break or another control
// character inside a text would break the columns or the lines, so they are
// written as visible escapes (\t, \n, \r, \\ for the backslash itself, \xHH
// and \uHHHH for the other controls and line separators), which a reader can undo.
QString CliListField(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
    case u'\\':
      out += QStringLiteral("\\\\");
      break;
    case u'\t':
      out += QStringLiteral("\\t");
      break;
    case u'\n':
      out += QStringLiteral("\\n");
      break;
    case u'\r':
      out += QStringLiteral("\\r");
      break;
    default:
      if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F) || c == QChar::LineSeparator ||
          c == QChar::ParagraphSeparator)
        out += c.unicode() > 0xFF ? QStringLiteral("\\u%1").arg(uint(c.unicode()), 4, 16, QLatin1Char('0'))
                                  : QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'));
      else
        out += c;
    }
  }
  return out;
}

int CmdInit(const TCliOptions& o, TCliPlatform&) {
  const bool demo = ParseCliArgs(o, 0, {QStringLiteral("--demo")}).Has(QStringLiteral("--demo"));
  TZurApplication app(CliAppOptions(o));
  if (!app.OpenDatabase(true)) return kCliFailed;
  TFamilySchema::Create(app.Connection().xqoMain, demo, TZurCatalogue::WriteStructureRows);
  CliOut(demo ? QStringLiteral("Database creato con i dati dimostrativi: %1").arg(Displayable(app.Connection().DatabaseUrl()))
              : QStringLiteral("Database creato: %1").arg(Displayable(app.Connection().DatabaseUrl())));
  return kCliOk;
}

int CmdInfo(const TCliOptions& o, TCliPlatform&) {
  ParseCliArgs(o, 0);
  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  CliOut(zur::ApplicationTitle());
  CliOut(QStringLiteral("Cartella del programma: %1").arg(zur::RootDir()));
  CliOut(QStringLiteral("Database: %1").arg(Displayable(app.Connection().DatabaseUrl())));
  CliOut(QStringLiteral("Versione del programma: %1 (minima richiesta: %2)")
             .arg(app.Options().version, QueryText().MinimumVersion(app.Options().executableName)));
  CliOut(QStringLiteral("Tabelle dei codici: %1").arg(zur::CodeTableIndex().size()));
  CliOut(QStringLiteral("Scuola: %1 - %2").arg(app.SchoolFiscalCode(), app.SchoolName()));
  app.Dati().cdsFrontespizio.SetFiltered(false);
  CliOut(QStringLiteral("Dichiarazioni: %1").arg(app.Dati().cdsFrontespizio.RecordCount()));
  return kCliOk;
}

int CmdList(const TCliOptions& o, TCliPlatform&) {
  ParseCliArgs(o, 0);
  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  TClientDataSet& f = app.Dati().cdsFrontespizio;
  f.SetFiltered(false);
  const auto field = [&f](const char* name) {
    return CliListField(f.FieldByName(QLatin1String(name)).AsString());
  };
  for (f.First(); !f.Eof(); f.Next())
    CliOut(QStringLiteral("%1\t%2\t%3").arg(field("IIRAPID"), field("SIRAPCODFIS"), field("SIRAPDENOM")));
  return kCliOk;
}

int CmdNew(const TCliOptions& o, TCliPlatform& platform) {
  const QString code = ParseCliArgs(o, 1).positional.at(0);
  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  platform.PresetInput(code);
  const int id = app.Dati().New();
  if (id < 0) return kCliFailed;
  CliOut(QString::number(id));
  return kCliOk;
}

int CmdGet(const TCliOptions& o, TCliPlatform& platform) {
  const QString code = ParseCliArgs(o, 1).positional.at(0);
  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  EnterByFiscalCode(app, platform, code);
  const QByteArray json = QJsonDocument(GetDeclarationJson(app.Dati())).toJson(QJsonDocument::Indented);
  CliOut(QString::fromUtf8(json).trimmed());
  return kCliOk;
}

QJsonObject ReadJsonFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw EZurError(QStringLiteral("Impossibile leggere il file %1: %2").arg(path, file.errorString()),
                    EZurError::Kind::File, path);
  return ParseDeclarationJson(file.readAll(), path);
}

int CmdSet(const TCliOptions& o, TCliPlatform& platform) {
  const QStringList args = ParseCliArgs(o, 2).positional;
  // The file is read before anything else: a bad file must not even start
  // the program's work on the database.
  const QJsonObject json = ReadJsonFile(args.at(1));
  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  EnterByFiscalCode(app, platform, args.at(0));
  SetDeclarationJson(app.Dati(), json);
  app.Dati().SaveAll(false);
  return kCliOk;
}

int CmdCheck(const TCliOptions& o, TCliPlatform& platform) {
  const QString code = ParseCliArgs(o, 1).positional.at(0);
  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  EnterByFiscalCode(app, platform, code);
  return app.Dati().SaveAll(true) ? kCliOk : kCliFailed;
}

int CmdDelete(const TCliOptions& o, TCliPlatform& platform) {
  const QString code = ParseCliArgs(o, 1).positional.at(0);
  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kCliFailed;
  platform.PresetChoice(code);
  if (!app.Dati().Delete()) return kCliCancelled;
  CliOut(QStringLiteral("Dichiarazione con C.F. %1 eliminata.").arg(code));
  return kCliOk;
}

} // namespace

int RunCliCommand(const TCliOptions& options, TCliPlatform& platform) {
  static const std::map<QString, std::function<int(const TCliOptions&, TCliPlatform&)>> commands = {
      {QStringLiteral("init"), CmdInit},   {QStringLiteral("info"), CmdInfo},
      {QStringLiteral("list"), CmdList},   {QStringLiteral("new"), CmdNew},
      {QStringLiteral("set"), CmdSet},     {QStringLiteral("get"), CmdGet},
      {QStringLiteral("check"), CmdCheck}, {QStringLiteral("delete"), CmdDelete},
      {QStringLiteral("import"), CmdImport},
      {QStringLiteral("telematic"), CmdTelematic},
      {QStringLiteral("print"), CmdPrint},
      {QStringLiteral("pdf-pages"), CmdPdfPages},
  };
  const auto it = commands.find(options.command);
  if (it == commands.end()) throw ECliUsage(QStringLiteral("Comando sconosciuto: %1").arg(options.command));
  return it->second(options, platform);
}
