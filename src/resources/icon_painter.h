#pragma once
#include <QImage>
#include <vector>

class QPainter;

// The drawings behind the tool-bar buttons and the application icon. They are
// vector drawings on a 24-unit grid (the application icon on a 256-unit one),
// so every size comes out sharp; lines sit on half units so that 24 and 48
// pixel renderings land on whole pixels.
namespace icon_art {

// Tool-bar bitmap ids that have a drawing, in tool-bar order.
const std::vector<int>& toolbar_ids();

// Paints the drawing for `bitmap_id` into the square (0, 0)-(size, size) of
// `p`'s current coordinate system. Returns false, painting nothing, for an
// unknown id. The painter's state is left as it was found.
bool paint_toolbar(QPainter& p, int bitmap_id, qreal size);
void paint_application(QPainter& p, qreal size);

// The same drawings on a transparent size x size image (null for an unknown id).
QImage toolbar_image(int bitmap_id, int size);
QImage application_image(int size);

} // namespace icon_art
