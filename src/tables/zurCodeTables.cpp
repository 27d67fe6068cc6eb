#include "tables/zurCodeTables.h"
namespace zur {
namespace {
QString g_last;
}
bool CodeExists(const QString&, const QString&) {
  return true;
}
const QString& LastChosenDescription() {
  return g_last;
}
void SetLastChosenDescription(const QString& d) {
  g_last = d;
}
void ClearLastChosenDescription() {
  g_last.clear();
}
} // namespace zur
