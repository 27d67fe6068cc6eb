#pragma once

#include "cli/CliCommands.h"

#include <QMap>
#include <QString>
#include <QStringList>

class TZurApplication;
class TCliPlatform;

// Exit statuses of zur24-cli.
inline constexpr int kCliOk = 0;
inline constexpr int kCliFailed = 1;
inline constexpr int kCliUsage = 2;
inline constexpr int kCliCancelled = 3;

// A command's own arguments, checked against what the command takes.
struct TCliArgs {
  QStringList positional;
  QStringList flags;             // the flags given, as written ("--demo")
  QMap<QString, QString> values; // option ("--from") → its value

  bool Has(const QString& flag) const { return flags.contains(flag); }
};

// An option that takes a value, written "--from VALUE" or "--from=VALUE";
// `placeholder` names the value in the usage error ("AAAA-MM").
struct TCliValueOption {
  QString name;
  QString placeholder;
};

// Splits the command's arguments into positional ones, the given flags and
// the given value options. Throws ECliUsage (exit 2) for an option the
// command does not take ("Opzione non valida per CMD: --x"), a flag written
// with a value, a value option without its value, and a number of positional
// arguments other than `positional` ("Il comando CMD richiede N argomenti.").
TCliArgs ParseCliArgs(const TCliOptions& options, int positional, const QStringList& flags = {},
                      const QList<TCliValueOption>& valueOptions = {});

// Opens the declaration of a fiscal code the way "Apri" does once the choice
// is made; the choice itself is the fiscal code of the command line. A code
// no declaration has throws EZurError ("Nessuna dichiarazione con C.F. X.").
void EnterByFiscalCode(TZurApplication& app, TCliPlatform& platform, const QString& fiscalCode);

// The program's messages with their Windows-style "\r\n", "\n\r" and lone
// "\r" turned into plain "\n".
QString CliPlainText(QString text);
