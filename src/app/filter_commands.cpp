// The Filters menu.
#include "app/main_window.h"

#include "processing/enhance.h"
#include "processing/enhance_dialog.h"

void TNocterisWindow::unsharp_enhance() {
    if (::unsharp_enhance(this)) image_prepare();
}
void TNocterisWindow::highlow_enhance() {
    if (::highlow_enhance()) image_prepare();
}
void TNocterisWindow::highhigh_enhance() {
    if (::highhigh_enhance()) image_prepare();
}
void TNocterisWindow::smoothsharp_enhance() {
    if (::smoothsharp_enhance()) image_prepare();
}
void TNocterisWindow::median_enhance() {
    if (::median_enhance(this)) image_prepare();
}
void TNocterisWindow::gaussian_enhance() {
    if (::gaussian_enhance()) image_prepare();
}
void TNocterisWindow::lowpass_enhance() {
    if (::lowpass_enhance()) image_prepare();
}
void TNocterisWindow::basrelief_enhance() {
    if (::basrelief_enhance()) image_prepare();
}
void TNocterisWindow::gradient_enhance() {
    if (::gradient_enhance()) image_prepare();
}
void TNocterisWindow::venetian_enhance() {
    if (::venetian_enhance()) image_prepare();
}
