#include "app/all_state.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"

int main(int argc, char** argv) {
    reset_all_state();
    TNocterisApp app(argc, argv);
    app.InitMainWindow();
    app.frame()->show();
    app.InitInstance();
    return app.exec();
}
