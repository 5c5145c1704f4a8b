#include "files/fits_time.h"

#include "files/fits.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>

std::time_t fits_time_stamps(std::time_t start, std::time_t end) {
    const std::time_t mid = start + (end - start) / 2;
    const std::tm ut = fits_ut_time(mid);
    std::snprintf(fits.FITS_Time, sizeof fits.FITS_Time, "%02d:%02d:%02d", ut.tm_hour, ut.tm_min,
                  ut.tm_sec);
    std::snprintf(fits.FITS_Date, sizeof fits.FITS_Date, "%04d-%02d-%02d", ut.tm_year + 1900,
                  ut.tm_mon + 1, ut.tm_mday);
    return mid;
}

void default_fits_date(std::time_t now) {
    if (strnlen(fits.FITS_Date, sizeof fits.FITS_Date) >= 10) return;
    std::tm local{};
    ::localtime_r(&now, &local);
    std::snprintf(fits.FITS_Date, sizeof fits.FITS_Date, "20%02d-%02d-%02d", local.tm_year % 100,
                  local.tm_mon + 1, local.tm_mday);
}

void default_fits_date() {
    default_fits_date(std::time(nullptr));
}
