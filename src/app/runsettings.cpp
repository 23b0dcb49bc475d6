#include "app/runsettings.h"

#include "persist/modini.h"

namespace {

constexpr int kDefaultPageTimeoutSeconds = 20;
constexpr int kMinPageTimeoutSeconds = 5;
constexpr int kMaxPageTimeoutSeconds = 300;

// A whole number made of ASCII digits only, within [low, high].
std::optional<int> wholeNumberIn(const QString& text, int low, int high) {
  const QString digits = text.trimmed();
  // Long runs of leading zeros are still one small number; anything longer
  // than that cannot be in range.
  if (digits.isEmpty() || digits.size() > 16) return std::nullopt;
  long long value = 0;
  for (QChar c : digits) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    value = value * 10 + (c.unicode() - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

std::optional<int> PortNumberOf(const QString& portText) { return wholeNumberIn(portText, 1, 65535); }

int PageTimeoutSeconds(const QString& settingsFile) {
  const QString value = ReadIniValue(QStringLiteral("main"), QStringLiteral("page_timeout_s"), settingsFile);
  return wholeNumberIn(value, kMinPageTimeoutSeconds, kMaxPageTimeoutSeconds).value_or(kDefaultPageTimeoutSeconds);
}
