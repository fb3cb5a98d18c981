#pragma once
#include <QFont>
#include <QImage>
#include <QPainter>

#include "art.h"

namespace art {

// DejaVu Sans is what the generator was run with; the size is in pixels so
// the pictures do not depend on the screen's dots per inch.
QFont UiFont(double pixelSize, QFont::Weight weight);

// Flattens a premultiplied layer into a 24-bit picture: untouched pixels take
// the key colour, painted ones are blended onto `edge`, and a painted pixel
// that happens to equal the key is nudged one step off it.
QImage FlattenOnto(const QImage& layer, QRgb edge, QRgb key);
QRgb NudgeOffKey(QRgb c, QRgb key);

void PaintButtonWell(QPainter& p, QPointF centre);
void PaintCap(QPainter& p, const Button& b, bool pressed);

}  // namespace art
