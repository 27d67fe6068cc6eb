#pragma once

#include <QString>

class TZurQuery;

// The payroll family's utility class: the repository's statements under its
// own name (always variant 0) and the two folders of the payroll programs.
class TQenUtil {
public:
  // TNymQueryText::AssignStatement on the run's repository with variant 0.
  static void AssignStatement(const QString& name, TZurQuery& query,
                              const QString& kind = QStringLiteral("EXECUTE"));
  // TNymQueryText::StatementText on the run's repository.
  static QString StatementText(const QString& name, const QString& kind = QStringLiteral("EXECUTE"));
  // The executable's folder + "../etc/qen/" (the repository's folder), cleaned, with a trailing slash.
  static QString EtcDir();
  // The executable's folder + "../usr/qen/" (the payroll settings), cleaned, with a trailing slash.
  static QString UserDir();
};
