// The telescope dialogs under the offscreen platform: the GoTo rules with
// their messages, the move pad's press and release, the speeds, and the
// command that picks the dialog.
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "settings/settings.h"
#include "support/gui_test.h"
#include "support/serial_traffic.h"
#include "support/test_env.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_dialog.h"
#include "telescope/telescope_state.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

#include <cstring>

namespace {

using namespace guitest;
using Trace = std::vector<std::string>;

class TelescopeDialogTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.AOUnit_comport = 0;
        cfg.telescope = 'l';
        serial.comfound = 1; // the link check has run
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        clock.set(1000);
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }
    // The serial writes so far, without their times; relay blocks as "K<bits>".
    Trace sent() {
        Trace out;
        for (const auto& b : log->blocks) {
            const std::string d = describe(b, 0);
            out.push_back(d.substr(d.find(' ') + 1));
        }
        log->blocks.clear();
        return out;
    }
    static void hold(QWidget* d, int id) {
        QTest::mousePress(control<QToolButton>(d, id), Qt::LeftButton);
    }
    static void release(QWidget* d, int id) {
        QTest::mouseRelease(control<QToolButton>(d, id), Qt::LeftButton);
    }
    std::vector<std::string> box_texts() const {
        std::vector<std::string> out;
        for (const auto& b : ui.boxes) out.push_back(b.text);
        return out;
    }

    std::shared_ptr<Traffic> log;
};

} // namespace

TEST_F(TelescopeDialogTest, CatalogueGoToChoosesMessierThenNgc) {
    log->replies.assign(40, '#');
    TMTDialog d;
    set_text(&d, 101, "0");
    set_text(&d, 102, "0");
    press(&d, 103);
    ASSERT_EQ(box_texts(), std::vector<std::string>{"Object out of range - try again"});
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris - Control Telescope");
    EXPECT_TRUE(sent().empty());

    set_text(&d, 101, "111");
    set_text(&d, 102, "42");
    press(&d, 103);
    Trace t = sent();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], std::string("W0 #:LC 0042#"));

    set_text(&d, 101, "31");
    set_text(&d, 102, "42"); // Messier wins
    press(&d, 103);
    t = sent();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], "W0 #:LM 0031#");
    EXPECT_EQ(tele.set_Messier, 31);
    EXPECT_EQ(tele.set_CNGC, 42);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(TelescopeDialogTest, PlanetGoToShowsTheObjectAndTheMountsRefusal) {
    // The information (33 bytes), then the slew's status digit and its text.
    const std::string info = "PLUTO 19:50.1 -22*40#";
    const std::string refusal = "1Object Below Horizon#";
    log->replies.assign(info.begin(), info.end());
    log->replies.insert(log->replies.end(), 33 - info.size(), ' ');
    log->replies.insert(log->replies.end(), refusal.begin(), refusal.end());
    TMTDialog d;
    press(&d, 118); // Pluto
    const Trace t = sent();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], "W0 #:LS 0909#");
    EXPECT_EQ(text(&d, 140), "PLUTO 19:50.1 -22*40");
    EXPECT_EQ(control<QLabel>(&d, 141)->text(), "The mount refused the GoTo: Object Below Horizon");
    log->replies.assign(40, '0'); // accepted: the line clears
    press(&d, 118);
    EXPECT_EQ(control<QLabel>(&d, 141)->text(), "");
}

TEST_F(TelescopeDialogTest, CoordinateGoToRefusesDecBeyond89) {
    TMTDialog d;
    set_text(&d, 104, "5");
    set_text(&d, 105, "7");
    set_text(&d, 106, "-90");
    set_text(&d, 107, "0");
    press(&d, 108);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min", 0),
              0u);
    EXPECT_TRUE(sent().empty());

    set_text(&d, 106, "-89");
    press(&d, 108);
    const Trace t = sent();
    ASSERT_GE(t.size(), 2u);
    // The last '#' of each is left to the next command.
    EXPECT_EQ(t[0], "W0 #:Sr 05:07.0");
    EXPECT_EQ(t[1], "W0 #:Sd -89*00");
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(tele.set_Decdeg, -89);
}

TEST_F(TelescopeDialogTest, PadMovesWhileHeldOneMoveAtATime) {
    TMTDialog d;
    press(&d, 124); // Guide
    EXPECT_EQ(std::string(tele.tele_speed), "#:RG#");
    hold(&d, 134); // West
    EXPECT_EQ(sent(), (Trace{"W0 #:RG#", "W0 #:Mw#"}));
    hold(&d, 134); // a second press while it runs
    hold(&d, 131);
    EXPECT_TRUE(sent().empty());
    release(&d, 134);
    EXPECT_EQ(sent(), (Trace{"W0 #:Qn#", "W0 #:Qs#", "W0 #:Qe#", "W0 #:Qw#"}));
    EXPECT_EQ(tele.tele_moving, 0);

    cfg.e = 'w'; // the e/w swap
    cfg.w = 'e';
    press(&d, 121); // Slew
    hold(&d, 133);  // East
    EXPECT_EQ(sent(), (Trace{"W0 #:RS#", "W0 #:Mw#"}));
    // Closing the dialog with the button held stops the mount.
    d.reject();
    EXPECT_EQ(sent().size(), 4u);
    EXPECT_EQ(tele.tele_moving, 0);
}

TEST_F(TelescopeDialogTest, FocusBarAndRadiosFollowTheGlobals) {
    set_focus_speed('S');
    TMTDialog d;
    EXPECT_TRUE(control<QRadioButton>(&d, 121)->isChecked()); // slew, the start-up speed
    EXPECT_TRUE(control<QRadioButton>(&d, 126)->isChecked());
    press(&d, 125); // Fast
    hold(&d, 136);  // out
    hold(&d, 135);  // in, while out runs: nothing
    EXPECT_EQ(sent(), (Trace{"W0 #:FF#", "W0 #:F-#"}));
    release(&d, 136);
    EXPECT_EQ(sent(), Trace{"W0 #:FQ#"});
    EXPECT_EQ(tele.tele_focussing, 0);
}

TEST_F(TelescopeDialogTest, InfoFromScopeIsShownPrintable) {
    std::strcpy(serial.move_error, "M31 GAL\x01\x7f 00:42.7");
    TMTDialog d;
    EXPECT_EQ(text(&d, 140), "M31 GAL?? 00:42.7");
    EXPECT_EQ(d.windowTitle(), "Nocteris Move Telescope");
    d.show();
    grab(&d, "telescope_dialog.png");
}

TEST_F(TelescopeDialogTest, SocketPadHoldsOneRelay) {
    cfg.telescope = 'b';
    TCBDialog d;
    EXPECT_EQ(d.windowTitle(), "Move Telescope");
    hold(&d, 131);
    release(&d, 131);
    hold(&d, 134);
    hold(&d, 132); // while west holds
    EXPECT_EQ(sent(), (Trace{"K4", "K0", "K1"}));
    d.reject();
    EXPECT_EQ(sent(), Trace{"K0"});
    d.show();
    grab(&d, "socket_dialog.png");
}

TEST_F(TelescopeDialogTest, CommandOpensTheDialogOfTheDriveMethod) {
    std::string title;
    when_shown([&](QWidget* w) { title = w->windowTitle().toStdString(); });
    CmControl(nullptr);
    EXPECT_EQ(title, "Nocteris Move Telescope");

    cfg.telescope = 'b';
    when_shown([&](QWidget* w) { title = w->windowTitle().toStdString(); });
    CmControl(nullptr);
    EXPECT_EQ(title, "Move Telescope");
    EXPECT_TRUE(ui.boxes.empty());

    // No drive method, or no camera to carry the mount's line.
    cfg.telescope = 'n';
    CmControl(nullptr);
    cfg.telescope = 'l';
    attach_camera(nullptr);
    CmControl(nullptr);
    const auto boxes = box_texts();
    ASSERT_EQ(boxes.size(), 3u); // the camera search says what it missed
    EXPECT_EQ(boxes[0], "Sorry. No Connection to Telescope");
    EXPECT_EQ(boxes[2], "Sorry. No Connection to Telescope");
}
