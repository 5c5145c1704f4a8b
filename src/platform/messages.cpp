#include "platform/messages.h"

#include "platform/ui.h"

#include <cstring>

namespace {

struct Entry {
    short code;
    const char* text;
};

constexpr Entry table[] = {
    {1, "Warning!\nNo INI file found, please set defaults..."},
    {4, "Sorry, chosen Darkframe is not an Nocteris File"},
    {5, "Failed to Open Flatfield Nocteris File"},
    {7, "Image not Colour Converted"},
    {8, "Failed to create temp bitmap"},
    {9, "Unable to create temp bitmap file header"},
    {10, "Unable to create temp bitmap file"},
    {11, "Failed to Open ZQ File"},
    {13, "Unable to load FITS file"},
    {14, "Unable to load FITS file, File was not saved by this program"},
    {16, "Sorry, you didn't choose an Nocteris File"},
    {17, "Failed to Save ZQ File"},
    {19, "Unable to create/overwrite Nocteris File"},
    {20, "Unable to load INI file, please delete and try again"},
    {22, "Unable to create file, check disk space"},
    {23, "Unable to load INI file, please delete and try again"},
    {24, "Unable to save INI file, please check disk space"},
    {25, "Image not Colour Converted"},
    {26, "Unable to contact camera, please check cables"},
    {32, "Cannot open bitmap file"},
    {34, "Sorry. Cannot find suitable guide star\n\nStar must be at least +/-5% of next "
         "brightest."},
    {35, "Sorry, Can Only Select Star in Standard or 150% Display Options."},
    {36, "Sorry. No Connection to Telescope"},
    {37, "Sorry, you cannot run Photometry, Row Plot and Merging at the same time"},
    {38, "Sorry, Photometry only available in standard Geometry. Ensure Image is not stretched "
         "to fit window or in ZQ geometry."},
    {39, "Sorry, you are already in Photometry mode. Click left Mouse button when on object you "
         "wish to measure"},
    {40, "Sorry, outside Image area - please try again"},
    {41, "You didn't choose a Nocteris or a suitable FITS File"},
    {42, "Unable to load INI file, defaults set"},
    {43, "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to "
         "fit window or in ZQ geometry."},
    {44, "Sorry, you are already in Merging mode."},
    {45, "Failed to Open Nocteris or suitable FITs File"},
    {46, "Sorry, chosen Comparison file is not an Nocteris or FITs File"},
    {47, "Sorry, Rowplot is only available in Standard Geometry"},
    {48, "Sorry, Row Plot only available in standard Geometry. Ensure Image is not stretched to "
         "fit window"},
    {49, "Unable to create file, check disk space"},
    {52, "Sorry! AutoSave Directory is invalid"},
    {53, "You must first take an image and pick a star"},
    {54, "Communication with telescope failed"},
    {55, "Telescope interface not set or camera not found"},
    {59, "Sorry, already guiding with external camera"},
};

} // namespace

const char* message_text(short code) {
    for (const auto& e : table)
        if (e.code == code) return e.text;
    return "";
}

int messages(short code, const char* text) {
    // The box text is composed in a 500-character buffer; a caller's text
    // keeps at most its first 498 characters.
    char buffer[500] = {};
    if (code == MSG_OWN_TEXT) {
        if (text) std::strncpy(buffer, text, 498);
    } else {
        std::strncpy(buffer, message_text(code), sizeof buffer - 1);
    }
    return static_cast<int>(platform::ui().message_box(buffer, "Nocteris"));
}
