#pragma once

#include "app/ZurApplication.h"
#include "cli/CliPlatform.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <QString>
#include <QStringList>

struct TCliOptions {
  QString rootDir;
  QString databaseUrl;
  QString command;
  QStringList arguments;
};

// Wrong usage of a command (exit 2).
class ECliUsage : public std::exception {
public:
  explicit ECliUsage(QString message) : m_message(std::move(message)) {}
  const QString& message() const { return m_message; }
  const char* what() const noexcept override { return "usage"; }

private:
  QString m_message;
};

// The start-up options of a command: the executable's own name selects the
// repository's version record, the build's version is the program's.
inline TZurApplication::TOptions CliAppOptions(const TCliOptions& o) {
  TZurApplication::TOptions a;
  a.rootDir = o.rootDir;
  a.databaseUrl = o.databaseUrl;
  a.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  if (a.executableName.isEmpty()) a.executableName = QStringLiteral("zur24-cli");
  a.version = QStringLiteral(ZUR_VERSION);
  return a;
}

// Runs one command; returns the exit status. Errors travel as exceptions
// (EZurError, ECliUsage, TCliPlatform::EUnanswered) to main.
int RunCliCommand(const TCliOptions& options, TCliPlatform& platform);
