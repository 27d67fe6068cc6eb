#pragma once
// Placeholder until the code tables land; replaced by the real reader.
#include <QString>
namespace zur {
bool CodeExists(const QString& tableName, const QString& text);
const QString& LastChosenDescription();
void SetLastChosenDescription(const QString& description);
void ClearLastChosenDescription();
} // namespace zur
