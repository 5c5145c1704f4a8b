// Feeds arbitrary bytes, as a whole file, to the FITS header parser and the
// pixel converter, with no file in between. Besides the sanitizers' checks:
// an accepted header describes data that lie inside the bytes given and fit
// the image buffers, and every value read from a card stays terminated.
#include "fuzz_setup.h"

#include "files/fits_header.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

unsigned short pixels[MAIN_BUFFER_PIXELS];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    fitsread::Header h;
    std::string why;
    const auto verdict = fitsread::parse_header(bytes, size, static_cast<long long>(size), h, why);
    check(verdict == fitsread::Verdict::Ok ? why.empty() : !why.empty());
    if (verdict != fitsread::Verdict::Ok) return 0;

    check(h.header_bytes % fitsread::RECORD == 0);
    check(h.header_bytes + h.data_bytes() <= static_cast<long long>(size));
    check(h.width >= fitsread::MIN_SIDE && h.height >= fitsread::MIN_SIDE);
    check(h.pixels() <= MAIN_BUFFER_PIXELS);
    for (int i = 0; i < h.count; ++i) {
        const char* card = h.cards + i * fitsread::CARD;
        char text[fitsread::CARD];
        if (fitsread::card_string(card, text, sizeof text)) check_text(text);
        fitsread::card_commentary(card, text, sizeof text);
        check_text(text);
    }

    fitsread::PixelConverter conv(h);
    const auto* unit = data + h.header_bytes;
    const auto n = static_cast<std::size_t>(h.pixels());
    conv.survey(unit, n);
    conv.convert(unit, n, pixels);
    if (conv.scaled()) check(conv.factor() >= 0.0);
    return 0;
}
