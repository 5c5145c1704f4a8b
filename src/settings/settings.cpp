#include "settings/settings.h"

Settings cfg;

void reset_settings() { cfg = Settings{}; }
