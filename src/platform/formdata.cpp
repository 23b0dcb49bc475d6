#include "platform/formdata.h"

#include "persist/atomicfile.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

constexpr std::string_view kHeader = "VantrelFormData 1";

// Type names as they appear in the file, indexed like PropertyValue's alternatives.
constexpr std::string_view kTypeNames[] = {"bool", "int16", "int32", "float", "bytes", "picture"};
static_assert(std::size(kTypeNames) == std::variant_size_v<PropertyValue>);

bool isNameByte(char c) { return c > ' ' && c < 0x7F; }

bool isValidName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), isNameByte);
}

std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Splits off the first space-separated word of text.
std::string_view takeWord(std::string_view& text) {
  text = trimmed(text);
  const size_t end = std::min(text.find(' '), text.size());
  const std::string_view word = text.substr(0, end);
  text = trimmed(text.substr(end));
  return word;
}

template <class Int>
std::optional<Int> parseInteger(std::string_view text) {
  Int value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// NaNs carry a payload that decimal text cannot hold, so they are written as
// their bits: "nan:7fc00000".
constexpr std::string_view kNanPrefix = "nan:";

std::optional<float> parseFloat(std::string_view text) {
  if (text.starts_with(kNanPrefix)) {
    text.remove_prefix(kNanPrefix.size());
    uint32_t bits = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), bits, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    const float value = std::bit_cast<float>(bits);
    if (!std::isnan(value)) return std::nullopt;
    return value;
  }
  float value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || std::isnan(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<QByteArray> parseBytes(std::string_view text) {
  if (text == "-") return QByteArray();
  auto decoded = QByteArray::fromBase64Encoding(
      QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())),
      QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded || decoded.decoded.isEmpty()) return std::nullopt;
  return QByteArray(decoded.decoded.constData(), decoded.decoded.size());
}

std::optional<PropertyValue> parseValue(std::string_view type, std::string_view text) {
  if (type == "bool") {
    if (text == "0") return PropertyValue(false);
    if (text == "1") return PropertyValue(true);
    return std::nullopt;
  }
  if (type == "int16") {
    if (auto v = parseInteger<int16_t>(text)) return PropertyValue(*v);
    return std::nullopt;
  }
  if (type == "int32") {
    if (auto v = parseInteger<int32_t>(text)) return PropertyValue(*v);
    return std::nullopt;
  }
  if (type == "float") {
    if (auto v = parseFloat(text)) return PropertyValue(*v);
    return std::nullopt;
  }
  if (type == "bytes") {
    if (auto v = parseBytes(text)) return PropertyValue(std::move(*v));
    return std::nullopt;
  }
  if (type == "picture") {
    if (auto v = parseBytes(text)) return PropertyValue(StoredPicture{std::move(*v)});
    return std::nullopt;
  }
  return std::nullopt;
}

QByteArray bytesText(const QByteArray& bytes) {
  return bytes.isEmpty() ? QByteArray("-") : bytes.toBase64();
}

QByteArray floatText(float value) {
  if (std::isnan(value)) {
    return QByteArray(kNanPrefix.data(), kNanPrefix.size()) +
           QByteArray::number(std::bit_cast<uint32_t>(value), 16);
  }
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? QByteArray(buffer, end - buffer) : QByteArray("0");
}

struct ValueText {
  QByteArray operator()(bool v) const { return v ? "1" : "0"; }
  QByteArray operator()(int16_t v) const { return QByteArray::number(v); }
  QByteArray operator()(int32_t v) const { return QByteArray::number(v); }
  QByteArray operator()(float v) const { return floatText(v); }
  QByteArray operator()(const QByteArray& v) const { return bytesText(v); }
  QByteArray operator()(const StoredPicture& v) const { return bytesText(v.fileBytes); }
};

class Parser {
 public:
  std::optional<FormData> parse(std::string_view text) {
    if (std::string_view(text).find('\0') != std::string_view::npos) {
      return fail(0, QStringLiteral("the file holds a NUL byte"));
    }
    bool sawHeader = false;
    while (!text.empty()) {
      const size_t lineEnd = std::min(text.find('\n'), text.size());
      std::string_view line = text.substr(0, lineEnd);
      text.remove_prefix(std::min(lineEnd + 1, text.size()));
      ++m_line;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      line = trimmed(line);
      if (line.empty() || line.front() == '#') continue;
      if (!sawHeader) {
        if (line != kHeader) return fail(m_line, QStringLiteral("not a form data file"));
        sawHeader = true;
        continue;
      }
      if (!takeLine(line)) return std::nullopt;
    }
    if (!sawHeader) return fail(0, QStringLiteral("not a form data file"));
    if (m_control != nullptr) return fail(m_line, QStringLiteral("the last control has no end"));
    return std::move(m_form);
  }

  FormDataError error() const { return m_error; }

 private:
  bool takeLine(std::string_view line) {
    const std::string_view first = takeWord(line);
    if (m_control == nullptr) {
      if (first != "control") return failed(QStringLiteral("expected a control line"));
      if (!isValidName(line))
        return failed(QStringLiteral("a control needs a name without spaces"));
      const QString name = QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
      if (m_form.find(name) != nullptr)
        return failed(QStringLiteral("control %1 appears twice").arg(name));
      m_control = &m_form.control(name);
      return true;
    }
    if (first == "end" && line.empty()) {
      m_control = nullptr;
      return true;
    }
    const std::string_view type = takeWord(line);
    if (!isValidName(first)) return failed(QStringLiteral("a property needs a name"));
    const QString key = QString::fromLatin1(first.data(), static_cast<qsizetype>(first.size()));
    if (m_control->contains(key))
      return failed(QStringLiteral("property %1 appears twice").arg(key));
    if (std::find(std::begin(kTypeNames), std::end(kTypeNames), type) == std::end(kTypeNames)) {
      return failed(QStringLiteral("property %1 has an unknown type").arg(key));
    }
    auto value = parseValue(type, line);
    if (!value) return failed(QStringLiteral("property %1 has a malformed value").arg(key));
    m_control->set(key, std::move(*value));
    return true;
  }

  bool failed(const QString& message) {
    fail(m_line, message);
    return false;
  }

  std::nullopt_t fail(int line, const QString& message) {
    m_error = {line, message};
    return std::nullopt;
  }

  FormData m_form;
  PropertyBag* m_control = nullptr;
  int m_line = 0;
  FormDataError m_error;
};

}  // namespace

PropertyBag& FormData::control(const QString& name) {
  auto it = std::find_if(m_controls.begin(), m_controls.end(),
                         [&](const auto& entry) { return entry.first == name; });
  if (it != m_controls.end()) return it->second;
  return m_controls.emplace_back(name, PropertyBag()).second;
}

const PropertyBag* FormData::find(const QString& name) const {
  auto it = std::find_if(m_controls.begin(), m_controls.end(),
                         [&](const auto& entry) { return entry.first == name; });
  return it == m_controls.end() ? nullptr : &it->second;
}

void FormData::remove(const QString& name) {
  std::erase_if(m_controls, [&](const auto& entry) { return entry.first == name; });
}

QStringList FormData::controlNames() const {
  QStringList names;
  for (const auto& entry : m_controls) names.append(entry.first);
  return names;
}

bool isValidFormDataName(const QString& name) {
  return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](QChar c) {
    return c.unicode() < 0x80 && isNameByte(char(c.unicode()));
  });
}

std::optional<FormData> parseFormData(std::span<const uint8_t> bytes, FormDataError* error) {
  if (static_cast<int64_t>(bytes.size()) > kMaxFormDataBytes) {
    if (error) *error = {0, QStringLiteral("the file is too large for form data")};
    return std::nullopt;
  }
  Parser parser;
  auto form =
      parser.parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!form && error) *error = parser.error();
  return form;
}

std::optional<QByteArray> serializeFormData(const FormData& form) {
  QByteArray out(kHeader.data(), kHeader.size());
  out += '\n';
  for (const QString& name : form.controlNames()) {
    if (!isValidFormDataName(name)) return std::nullopt;
    out += "control " + name.toLatin1() + '\n';
    for (const auto& [key, value] : form.find(name)->entries()) {
      if (!isValidFormDataName(key)) return std::nullopt;
      const std::string_view type = kTypeNames[value.index()];
      out += "  " + key.toLatin1() + ' ' + QByteArray(type.data(), type.size()) + ' ' +
             std::visit(ValueText{}, value) + '\n';
    }
    out += "end\n";
  }
  return out;
}

std::optional<FormData> loadFormDataFile(const QString& path, FormDataError* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = {0, QStringLiteral("cannot open %1: %2").arg(path, file.errorString())};
    return std::nullopt;
  }
  if (file.size() > kMaxFormDataBytes) {
    if (error) *error = {0, QStringLiteral("the file is too large for form data")};
    return std::nullopt;
  }
  const QByteArray bytes = file.readAll();
  return parseFormData(
      {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())},
      error);
}

bool saveFormDataFile(const QString& path, const FormData& form, QString* error) {
  const auto bytes = serializeFormData(form);
  if (!bytes) {
    if (error) *error = QStringLiteral("a control or property name cannot be stored");
    return false;
  }
  QString why;
  if (!writeFileAtomically(path, *bytes, {}, &why)) {
    if (error) *error = QStringLiteral("cannot write %1: %2").arg(path, why);
    return false;
  }
  return true;
}
