#include "platform/ZurError.h"

EZurError::EZurError(QString message, Kind kind, QString file)
    : m_message(std::move(message)), m_kind(kind), m_file(std::move(file)),
      m_utf8(m_message.toUtf8()) {}

void ZurAssert(bool condition, const QString& message) {
  if (!condition) throw EZurError(message, EZurError::Kind::Assertion);
}
