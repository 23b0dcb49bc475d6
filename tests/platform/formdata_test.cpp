#include "platform/formdata.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace {

std::span<const uint8_t> span(const QByteArray& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

QByteArray everyByteValue() {
  QByteArray bytes;
  for (int i = 0; i < 256; ++i) bytes.append(static_cast<char>(i));
  return bytes;
}

// A form holding every stored type at its awkward values.
FormData awkwardForm() {
  FormData form;
  PropertyBag& image = form.control(QStringLiteral("aicAlphaImage1"));
  image.set(QStringLiteral("Enabled"), false);
  image.set(QStringLiteral("MaskUsed"), true);
  image.set(QStringLiteral("Opacity"), std::numeric_limits<int16_t>::min());
  image.set(QStringLiteral("ShadowX"), std::numeric_limits<int16_t>::max());
  image.set(QStringLiteral("MaskColor"), int32_t{-2147483633});
  image.set(QStringLiteral("Angle"), std::numeric_limits<int32_t>::min());
  image.set(QStringLiteral("Intensity"), -0.0f);
  image.set(QStringLiteral("Tiny"), std::numeric_limits<float>::denorm_min());
  image.set(QStringLiteral("Third"), 1.0f / 3.0f);
  image.set(QStringLiteral("Huge"), -std::numeric_limits<float>::infinity());
  image.set(QStringLiteral("Odd"),
            std::bit_cast<float>(uint32_t{0xFFA00001}));  // NaN with a payload
  image.set(QStringLiteral("Image"), everyByteValue());
  image.set(QStringLiteral("MIcon"), StoredPicture{QByteArray("\x89PNG\r\n", 6)});
  image.set(QStringLiteral("NoIcon"), StoredPicture{});
  image.set(QStringLiteral("Empty"), QByteArray());
  form.control(QStringLiteral("aicAlphaImage2"));  // a control at its defaults stores nothing
  return form;
}

std::optional<FormData> parse(const QByteArray& text, FormDataError* error = nullptr) {
  return parseFormData(span(text), error);
}

}  // namespace

TEST(FormDataRoundTrip, EveryStoredTypeComesBackBitForBit) {
  const FormData form = awkwardForm();
  const auto text = serializeFormData(form);
  ASSERT_TRUE(text);
  FormDataError error;
  const auto reread = parse(*text, &error);
  ASSERT_TRUE(reread) << error.line << ": " << error.message.toStdString();
  EXPECT_TRUE(*reread == form);
  EXPECT_EQ(reread->controlNames(), form.controlNames());
  const PropertyBag* image = reread->find(QStringLiteral("aicAlphaImage1"));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(std::bit_cast<uint32_t>(image->ReadProperty(QStringLiteral("Odd"), 0.0f)), 0xFFA00001u);
  EXPECT_TRUE(std::signbit(image->ReadProperty(QStringLiteral("Intensity"), 1.0f)));
  EXPECT_EQ(image->ReadProperty(QStringLiteral("Image"), QByteArray()), everyByteValue());
}

TEST(FormDataRoundTrip, ThroughAFileInATemporaryFolder) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("frmmain.vfd"));
  QString message;
  ASSERT_TRUE(saveFormDataFile(path, awkwardForm(), &message)) << message.toStdString();
  const auto reread = loadFormDataFile(path);
  ASSERT_TRUE(reread);
  EXPECT_TRUE(*reread == awkwardForm());
}

TEST(FormDataRoundTrip, KeysKeepTheOrderTheyWereWrittenIn) {
  FormData form;
  PropertyBag& bag = form.control(QStringLiteral("c"));
  bag.set(QStringLiteral("Zeta"), int32_t{1});
  bag.set(QStringLiteral("Alpha"), int32_t{2});
  bag.set(QStringLiteral("Zeta"), int32_t{3});  // a rewrite keeps its place
  const auto text = serializeFormData(form);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text,
            QByteArray("VantrelFormData 1\ncontrol c\n  Zeta int32 3\n  Alpha int32 2\nend\n"));
}

TEST(PropertyBagDefaults, AValueEqualToItsDefaultIsNotKept) {
  PropertyBag bag;
  bag.WriteProperty(QStringLiteral("Opacity"), int16_t{100}, int16_t{100});
  bag.WriteProperty(QStringLiteral("ShadowDepth"), int16_t{5}, int16_t{2});
  EXPECT_FALSE(bag.contains(QStringLiteral("Opacity")));
  EXPECT_EQ(bag.ReadProperty(QStringLiteral("ShadowDepth"), int16_t{2}), 5);
  // Writing the default later removes the stored value again.
  bag.WriteProperty(QStringLiteral("ShadowDepth"), int16_t{2}, int16_t{2});
  EXPECT_TRUE(bag.isEmpty());
  // -0 is not the default 0: the sign of a stored float survives.
  bag.WriteProperty(QStringLiteral("Intensity"), -0.0f, 0.0f);
  EXPECT_TRUE(bag.contains(QStringLiteral("Intensity")));
}

TEST(PropertyBagDefaults, AValueOfAnotherTypeReadsAsTheDefault) {
  PropertyBag bag;
  bag.set(QStringLiteral("Opacity"), int32_t{40});
  EXPECT_EQ(bag.ReadProperty(QStringLiteral("Opacity"), int16_t{100}), 100);
  EXPECT_EQ(bag.ReadProperty(QStringLiteral("Opacity"), int32_t{100}), 40);
  EXPECT_EQ(bag.ReadProperty(QStringLiteral("Missing"), true), true);
}

TEST(FormDataReading, AcceptsCrLfCommentsBlankLinesAndIndentation) {
  const auto form = parse(
      "# saved by hand\r\nVantrelFormData 1\r\n\r\ncontrol img\r\n\tHitTest int32 3\r\n"
      "# a comment inside\r\nAngle int32 -45\r\nend\r\n");
  ASSERT_TRUE(form);
  const PropertyBag* bag = form->find(QStringLiteral("img"));
  ASSERT_NE(bag, nullptr);
  EXPECT_EQ(bag->ReadProperty(QStringLiteral("HitTest"), int32_t{0}), 3);
  EXPECT_EQ(bag->ReadProperty(QStringLiteral("Angle"), int32_t{0}), -45);
}

TEST(FormDataReading, RefusesMalformedInputNamingTheLine) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"", 0},
      {"not form data\n", 1},
      {"VantrelFormData 2\n", 1},
      {"VantrelFormData 1\n  Opacity int16 5\n", 2},                       // outside a control
      {"VantrelFormData 1\ncontrol a\n", 2},                               // no end
      {"VantrelFormData 1\ncontrol a\nend\ncontrol a\nend\n", 4},          // control twice
      {"VantrelFormData 1\ncontrol a\n X int32 1\n X int32 2\nend\n", 4},  // key twice
      {"VantrelFormData 1\ncontrol a\n X int16 40000\nend\n", 3},          // out of range
      {"VantrelFormData 1\ncontrol a\n X int32 12abc\nend\n", 3},
      {"VantrelFormData 1\ncontrol a\n X bool 2\nend\n", 3},
      {"VantrelFormData 1\ncontrol a\n X float nan\nend\n", 3},  // NaNs only as bits
      {"VantrelFormData 1\ncontrol a\n X bytes ***\nend\n", 3},
      {"VantrelFormData 1\ncontrol a\n X colour 5\nend\n", 3},
      {"VantrelFormData 1\ncontrol a\n X int32\nend\n", 3},
      {"VantrelFormData 1\ncontrol\nend\n", 2},
  };
  for (const Case& c : cases) {
    FormDataError error;
    EXPECT_FALSE(parse(QByteArray(c.text), &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_FALSE(error.message.isEmpty()) << c.text;
  }
  FormDataError error;
  EXPECT_FALSE(parse(QByteArray("VantrelFormData 1\0\n", 19), &error));
}

TEST(FormDataWriting, RefusesNamesThatCouldNotBeReadBack) {
  FormData form;
  form.control(QStringLiteral("two words"));
  EXPECT_FALSE(serializeFormData(form));
  FormData keyed;
  keyed.control(QStringLiteral("ok")).set(QStringLiteral("Ümlaut"), true);
  EXPECT_FALSE(serializeFormData(keyed));
}

TEST(FormDataWriting, AFailedSaveKeepsTheOldFile) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("form.vfd"));
  ASSERT_TRUE(saveFormDataFile(path, awkwardForm()));
  FormData unwritable;
  unwritable.control(QStringLiteral("bad name"));
  QString message;
  EXPECT_FALSE(saveFormDataFile(path, unwritable, &message));
  EXPECT_FALSE(message.isEmpty());
  const auto reread = loadFormDataFile(path);
  ASSERT_TRUE(reread);
  EXPECT_TRUE(*reread == awkwardForm());
  // A folder that does not exist cannot take the file.
  EXPECT_FALSE(saveFormDataFile(folder.filePath(QStringLiteral("missing/form.vfd")), awkwardForm(),
                                &message));
  FormDataError error;
  EXPECT_FALSE(loadFormDataFile(folder.filePath(QStringLiteral("missing.vfd")), &error));
  EXPECT_FALSE(error.message.isEmpty());
}
