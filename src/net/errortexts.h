#pragma once
// The English description of every error number the socket object raises or
// reports. One fixed table; numbers it does not know give an empty text.

#include <QString>

QString SockErrorText(int number);
