#include "ui/zurFXMLTable.h"
#include "tables/zurCodeTables.h"
void TfmZurXMLTable::ChooseCode(const QString&, TField&) {
  zur::ClearLastChosenDescription();
}
bool TfmZurXMLTable::CodeExists(const QString& tableName, const QString& text) {
  return zur::CodeExists(tableName, text);
}
