#pragma once
#include <QImage>

struct Dib;

// A loaded display bitmap as an indexed image with its palette, rows top-down
// as the bitmap holds them.
QImage dib_image(const Dib& dib);
