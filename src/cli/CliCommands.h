#pragma once

#include "cli/CliPlatform.h"

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

// Runs one command; returns the exit status. Errors travel as exceptions
// (EZurError, ECliUsage, TCliPlatform::EUnanswered) to main.
int RunCliCommand(const TCliOptions& options, TCliPlatform& platform);
