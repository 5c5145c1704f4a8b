#include "dialogs/dib_image.h"

#include "display/dib.h"

#include <cstring>

QImage dib_image(const Dib& dib) {
    QImage img(dib.width, dib.height, QImage::Format_Indexed8);
    QList<QRgb> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[i] = qRgb(dib.palette[i][2], dib.palette[i][1], dib.palette[i][0]);
    img.setColorTable(colours);
    for (int y = 0; y < dib.height; ++y)
        std::memcpy(img.scanLine(y), dib.pixels.data() + static_cast<std::size_t>(y) * dib.width,
                    static_cast<std::size_t>(dib.width));
    return img;
}
