#pragma once
// Placeholder until the lookup dialog lands.
#include <QString>
class TField;
class TfmZurXMLTable {
public:
  static void ChooseCode(const QString& tableName, TField& field);
  static bool CodeExists(const QString& tableName, const QString& text);
};
