#pragma once
// Text mode of the socket object: cutting the received bytes into lines.
// Pure functions over a byte buffer so they can be tested and fuzzed alone.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

struct TextLine {
  QString text;
  int lineEnding = 0;  // 1 CR LF, 2 LF, 3 CR
  // The line was not UTF-8 and is passed unconverted: one character per byte
  // (U+0000..U+00FF), so QString::toLatin1() gives the original bytes back.
  bool rawBytes = false;
};

// Takes every complete line out of `buffered` and leaves the unfinished rest
// there (empty when nothing is left). The bytes are first read as UTF-16
// text; only when that holds no line ending are they searched as bytes.
std::vector<TextLine> takeTextLines(QByteArray* buffered);

// Whether the first n bytes (all when fewer) form valid UTF-8 by the lead
// byte rules of the socket object; empty input is not valid.
bool isUtf8Prefix(QByteArrayView bytes, qsizetype n);
