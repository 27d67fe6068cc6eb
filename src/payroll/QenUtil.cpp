#include "payroll/QenUtil.h"

#include "platform/zurUGlobal.h"
#include "payroll/nymCQueryText.h"

#include <QDir>

void TQenUtil::AssignStatement(const QString& name, TZurQuery& query, const QString& kind) {
  QueryText().AssignStatement(name, query, 0, kind);
}

QString TQenUtil::StatementText(const QString& name, const QString& kind) {
  return QueryText().StatementText(name, kind);
}

QString TQenUtil::EtcDir() {
  return QDir::cleanPath(zur::ExeDir() + QStringLiteral("../etc/qen")) + QLatin1Char('/');
}

QString TQenUtil::UserDir() {
  return QDir::cleanPath(zur::ExeDir() + QStringLiteral("../usr/qen")) + QLatin1Char('/');
}
