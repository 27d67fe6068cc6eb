#pragma once

#include <csignal>
#include <sys/resource.h>

namespace zurtest {

// A full disk on any file system and without privileges: while it lives, a
// write that would take a file past `bytes` fails with EFBIG, as a write to a
// full disk fails with ENOSPC (the signal that would end the process is
// ignored, so the writer sees the error).
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
  rlimit m_saved{};
  void (*m_handler)(int) = SIG_DFL;
};

} // namespace zurtest
