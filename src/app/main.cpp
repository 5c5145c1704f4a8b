#include "app/all_state.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "guiding/sequence_guiding.h"

int main(int argc, char** argv) {
    reset_all_state();
    install_guiding_hooks();
    TNocterisApp app(argc, argv);
    app.InitMainWindow();
    install_window_guider_host(app.frame());
    app.frame()->show();
    app.InitInstance();
    return app.exec();
}
