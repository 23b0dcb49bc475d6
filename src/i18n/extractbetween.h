#pragma once
#include <QString>
#include <QStringView>

// The text strictly between the first opening and the last closing delimiter.
// The opening delimiter is the first character of `delimiters`, the closing one
// its last (a one-character delimiter text serves as both). Because the last
// closing character is used, delimiters inside the text stay part of the
// result: ExtractBetween(R"("say "hi"")", "\"") is R"(say "hi")".
// "" when the opening character is missing or the last closing one does not
// come after it.
QString ExtractBetween(QStringView text, QStringView delimiters);
