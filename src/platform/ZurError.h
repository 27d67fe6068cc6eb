#pragma once

#include <QString>
#include <exception>

// The one exception type of the program. It carries the Italian message that
// the user reads, plus the context that lets a caller decide without parsing
// text: the kind of failure and, where there is one, the file involved.
class EZurError : public std::exception {
public:
  enum class Kind {
    General,   // a rule of the program refused the operation
    Assertion, // an internal contract was broken ("Query: QRY_X", ...)
    Database,  // the driver reported an error; message is the driver's text
    File,      // a file is missing, unreadable or malformed; file() names it
    Field,     // a field was missing or held a value of the wrong kind
    Cancelled  // the user said No or Cancel to a question
  };

  explicit EZurError(QString message, Kind kind = Kind::General, QString file = {});

  const QString& message() const noexcept { return m_message; }
  Kind kind() const noexcept { return m_kind; }
  const QString& file() const noexcept { return m_file; }
  const char* what() const noexcept override { return m_utf8.constData(); }

private:
  QString m_message;
  Kind m_kind;
  QString m_file;
  QByteArray m_utf8;
};

// Internal contract check that raises EZurError(Kind::Assertion) with the given
// message when the condition is false.
void ZurAssert(bool condition, const QString& message);
