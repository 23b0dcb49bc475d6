#include "app/runsettings.h"

#include <optional>

#include "persist/modini.h"

namespace {

constexpr int kDefaultPageTimeoutSeconds = 20;
constexpr int kMinPageTimeoutSeconds = 5;
constexpr int kMaxPageTimeoutSeconds = 300;

// Whole seconds in ASCII digits, within the limits.
std::optional<int> secondsOf(const QString& text) {
  const QString digits = text.trimmed();
  bool digitsOnly = !digits.isEmpty();
  for (QChar c : digits) digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
  const int seconds = digitsOnly ? digits.toInt() : 0;
  if (seconds < kMinPageTimeoutSeconds || seconds > kMaxPageTimeoutSeconds) return std::nullopt;
  return seconds;
}

}  // namespace

int PageTimeoutSeconds(const QString& settingsFile) {
  const QString value =
      ReadIniValue(QStringLiteral("main"), QStringLiteral("page_timeout_s"), settingsFile);
  return secondsOf(value).value_or(kDefaultPageTimeoutSeconds);
}
