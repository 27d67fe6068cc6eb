#pragma once

#include <QString>
#include <ostream>

namespace zurtest {

// What one run of zur24-cli gave back.
struct TRun {
  int rc = -1;
  QString out;
  QString err;
};

inline std::ostream& operator<<(std::ostream& os, const TRun& r) {
  return os << "rc=" << r.rc << "\nout:\n" << r.out.toStdString() << "\nerr:\n" << r.err.toStdString();
}

} // namespace zurtest
