#pragma once
// The system's 8-bit code page, in which the port list file is kept: the
// character set of the user's locale (UTF-8 on a normal system). The plain
// "C" locale only promises ASCII, of which UTF-8 is a superset, so it reads
// and writes as UTF-8 too.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString decodeSystemText(QByteArrayView bytes);
QByteArray encodeSystemText(QStringView text);
