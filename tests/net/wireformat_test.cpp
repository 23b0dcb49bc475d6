#include "net/wireformat.h"

#include <gtest/gtest.h>

TEST(WireFormatFromBytes, ScalarsTakeAtMostTheirWidth) {
  qsizetype used = 0;
  const SockVariant v = variantFromBytes(SockVariant::Long, QByteArray("\x01\x02", 2), &used);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(v.type(), SockVariant::Long);
  EXPECT_EQ(v.toLong(), 0x0201);
  const SockVariant w =
      variantFromBytes(SockVariant::Integer, QByteArray("\x34\x12\xFF\xFF", 4), &used);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(w.toInteger(), 0x1234);
}

TEST(WireFormatFromBytes, ArraysRoundTheElementCountUp) {
  qsizetype used = 0;
  const SockVariant v =
      variantFromBytes(SockVariant::Long | SockVariant::Array, QByteArray(5, '\x01'), &used);
  EXPECT_EQ(used, 5);
  EXPECT_EQ(v.count(), 2);
  EXPECT_EQ(v.element<std::int32_t>(1), 1);
}

TEST(WireFormatFromBytes, StringArraySplitsAtFirstEndingElseNul) {
  qsizetype used = 0;
  const int type = SockVariant::String | SockVariant::Array;
  EXPECT_EQ(variantFromBytes(type, "a\nb\r\nc", &used).toStrings(), QStringList({"a\nb", "c"}));
  EXPECT_EQ(variantFromBytes(type, QByteArray("a\0b", 3), &used).toStrings(),
            QStringList({"a", "b"}));
}

TEST(WireFormatToBytes, BooleansGoAsAllOnesOrZero) {
  QByteArray out;
  ASSERT_TRUE(bytesFromVariant(SockVariant::fromBoolean(true), "\r\n", &out));
  EXPECT_EQ(out, QByteArray("\xFF\xFF", 2));
  const SockVariant mixed = SockVariant::fromRaw(SockVariant::Boolean | SockVariant::Array,
                                                 QByteArray("\x01\x00\x00\x00", 4));
  ASSERT_TRUE(bytesFromVariant(mixed, "\r\n", &out));
  EXPECT_EQ(out, QByteArray("\xFF\xFF\x00\x00", 4));
}

TEST(WireFormatToBytes, UnsupportedTypesAreRefused) {
  QByteArray out;
  EXPECT_FALSE(bytesFromVariant(SockVariant(), "\r\n", &out));
  EXPECT_FALSE(bytesFromVariant(SockVariant::fromRaw(SockVariant::Object, {}), "\r\n", &out));
  EXPECT_FALSE(bytesFromVariant(SockVariant::fromRaw(SockVariant::Object | SockVariant::Array, {}),
                                "\r\n", &out));
}

TEST(WireFormatToBytes, StringArrayIsJoinedWithTheLineEnding) {
  QByteArray out;
  ASSERT_TRUE(bytesFromVariant(SockVariant::fromStrings({"a", "b"}), "\n", &out));
  EXPECT_EQ(out, "a\nb");
}
