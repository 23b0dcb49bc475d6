#pragma once
// What the socket object throws when the owner makes a call that is not valid
// now: the error number, its description and the operation that refused.

#include <QString>

#include <stdexcept>

class UniSockError : public std::runtime_error {
 public:
  UniSockError(int number, const QString& description, const QString& source)
      : std::runtime_error(description.toStdString()),
        m_number(number),
        m_description(description),
        m_source(source) {}

  int number() const { return m_number; }
  QString description() const { return m_description; }
  QString source() const { return m_source; }

 private:
  int m_number;
  QString m_description;
  QString m_source;
};
