#pragma once

// What the pieces of TClientDataSet share and nobody else sees: the record
// and the helpers of field lookup and record order.

#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <cstdint>

struct TClientDataSet::TRecord : std::enable_shared_from_this<TRecord> {
  std::vector<TFieldValue> values;   // stored fields, current version
  std::vector<TFieldValue> original; // before the first change; empty unless modified
  std::vector<TFieldValue> calc;     // calculated fields
  std::int64_t order = 0;            // insertion order key
  std::uint64_t logSequence = 0;     // when it entered the change log; 0 = not in it
  TUpdateStatus status = TUpdateStatus::usUnmodified;
};

namespace zurcds {

// The value of a field that holds nothing.
inline const TFieldValue kNullValue;

// Gaps between order keys leave room for Insert without renumbering.
inline constexpr std::int64_t kOrderGap = std::int64_t(1) << 20;

inline bool SameNameIgnoringCase(QStringView a, QStringView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    char16_t x = a[i].unicode(), y = b[i].unicode();
    if (x >= 'a' && x <= 'z') x = char16_t(x - 32);
    if (y >= 'a' && y <= 'z') y = char16_t(y - 32);
    if (x != y) return false;
  }
  return true;
}

[[noreturn]] inline void ThrowNotActive() {
  throw EZurError(QStringLiteral("Operazione non consentita: il dataset non è aperto."));
}

} // namespace zurcds
