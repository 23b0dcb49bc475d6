#pragma once
// Vantrel's emblem: a disc holding a gate that an arrow passes through (a
// forwarded port), a check badge on the disc, and the name on a rounded plate
// beside it. Drawn antialiased on a transparent image, so its edges carry
// partial alpha and blend into whatever it is shown on.
#include <QImage>
#include <QSize>

// The emblem laid out for size (premultiplied ARGB). The shapes keep a free
// margin at the right and bottom for a drop shadow drawn under them.
QImage drawVantrelEmblem(const QSize& size);

// The emblem's disc alone (gate, arrow and check badge, without the name
// plate), centred on a transparent square: the program's icon.
QImage drawVantrelIcon(int side);
