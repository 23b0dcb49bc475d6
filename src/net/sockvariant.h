#pragma once
// The typed value that GetData fills and SendData takes: one of the classic
// automation types (or an array of one), identified by its type code.
// Numbers are kept as their little-endian bytes, which is exactly what goes
// over the wire, so conversion to and from socket bytes is a copy.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstring>
#include <type_traits>

class SockVariant {
 public:
  enum Type : int {
    Empty = 0,
    Integer = 2,   // 16-bit integer
    Long = 3,      // 32-bit integer
    Single = 4,    // 32-bit float
    Double = 5,    // 64-bit float
    Currency = 6,  // 64-bit integer scaled by 10000
    Date = 7,      // days as a 64-bit float
    String = 8,
    Object = 9,    // only ever refused; kept so that callers can say it
    Boolean = 11,  // FF FF or 00 00 on the wire
    Byte = 17,
    Array = 0x2000  // added to an element type
  };

  SockVariant() = default;

  static SockVariant fromInteger(std::int16_t v) { return scalar(Integer, v); }
  static SockVariant fromLong(std::int32_t v) { return scalar(Long, v); }
  static SockVariant fromSingle(float v) { return scalar(Single, v); }
  static SockVariant fromDouble(double v) { return scalar(Double, v); }
  static SockVariant fromCurrency(std::int64_t scaledBy10000) {
    return scalar(Currency, scaledBy10000);
  }
  static SockVariant fromDate(double days) { return scalar(Date, days); }
  static SockVariant fromBoolean(bool v) {
    return scalar(Boolean, static_cast<std::int16_t>(v ? -1 : 0));
  }
  static SockVariant fromByte(std::uint8_t v) { return scalar(Byte, v); }
  static SockVariant fromString(const QString& text);
  static SockVariant fromStrings(const QStringList& lines);
  static SockVariant fromBytes(const QByteArray& bytes) { return fromRaw(Byte | Array, bytes); }
  // Any numeric, Boolean or byte type (scalar or array) from its element bytes,
  // or any other code carrying no value.
  static SockVariant fromRaw(int type, const QByteArray& raw);

  int type() const { return m_type; }
  bool isEmpty() const { return m_type == Empty; }
  bool isArray() const { return (m_type & Array) != 0; }
  int elementType() const { return m_type & ~Array; }

  // The element bytes of a numeric, Boolean or byte value or array.
  const QByteArray& raw() const { return m_raw; }
  QString toString() const { return m_text; }
  QStringList toStrings() const { return m_lines; }
  // Number of array elements (1 for a scalar, 0 when empty).
  int count() const;

  std::int16_t toInteger() const { return element<std::int16_t>(0); }
  std::int32_t toLong() const { return element<std::int32_t>(0); }
  float toSingle() const { return element<float>(0); }
  double toDouble() const { return element<double>(0); }
  std::int64_t toCurrency() const { return element<std::int64_t>(0); }
  bool toBoolean() const { return element<std::int16_t>(0) != 0; }
  std::uint8_t toByte() const { return element<std::uint8_t>(0); }

  // Element i of a numeric array read as T; zero when out of range.
  template <class T>
  T element(int i) const {
    static_assert(std::is_trivially_copyable_v<T>);
    T value{};
    const qsizetype at = static_cast<qsizetype>(i) * static_cast<qsizetype>(sizeof(T));
    if (i < 0 || at + static_cast<qsizetype>(sizeof(T)) > m_raw.size()) return value;
    std::memcpy(&value, m_raw.constData() + at, sizeof(T));
    return value;
  }

  // Bytes one element of the type takes; 0 for strings and unsupported types.
  static int elementWidth(int elementType);
  // Whether the socket object can carry the type (scalar or array).
  static bool isSupported(int type);

 private:
  template <class T>
  static SockVariant scalar(int type, T value) {
    QByteArray raw(static_cast<qsizetype>(sizeof(T)), '\0');
    std::memcpy(raw.data(), &value, sizeof(T));
    return fromRaw(type, raw);
  }

  int m_type = Empty;
  QByteArray m_raw;
  QString m_text;
  QStringList m_lines;
};
