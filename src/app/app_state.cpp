#include "app/app_state.h"

AppState app;

void reset_app_state() {
    app = AppState{};
}
