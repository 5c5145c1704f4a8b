#include "platform/host_path.h"
#include "platform/messages.h"
#include "support/test_env.h"

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

using PlatformTest = NocterisTest;

TEST_F(PlatformTest, HostPathMapsDriveCToHomeMatchingCaseOfExistingEntries) {
    fs::create_directories(home + "/AutoSave/Sub");
    EXPECT_EQ(platform::host_path("c:\\autosave\\sub\\Nocteris.INI"),
              home + "/AutoSave/Sub/Nocteris.INI");
    EXPECT_EQ(platform::host_path("C:\\AUTOSAVE"), home + "/AutoSave");
    EXPECT_EQ(platform::host_path("c:\\new\\x.fit"), home + "/new/x.fit");
    EXPECT_EQ(platform::host_path("/already/host"), "/already/host");
    EXPECT_EQ(platform::host_path("d:\\photos"), "");
    EXPECT_EQ(platform::working_folder(), home + "/AutoSave");
}

TEST_F(PlatformTest, HostPathPrefersTheExactSpellingWhenBothExist) {
    fs::create_directories(home + "/autosave");
    fs::create_directories(home + "/AUTOSAVE");
    EXPECT_EQ(platform::host_path("c:\\AUTOSAVE\\a"), home + "/AUTOSAVE/a");
    EXPECT_EQ(platform::host_path("c:\\autosave\\a"), home + "/autosave/a");
}

TEST_F(PlatformTest, VirtualClockWrapsAt32BitsAndSleepAdvancesIt) {
    clock.set(0xFFFFFFF0u);
    std::uint32_t start = platform::now_ms();
    platform::sleep_ms(100);
    std::uint32_t end = platform::now_ms();
    EXPECT_EQ(end - start, 100u); // a difference survives the wrap
    EXPECT_LT(end, start);
    clock.set_step(5);
    std::uint32_t a = platform::now_ms();
    EXPECT_EQ(platform::now_ms() - a, 5u);
}

TEST_F(PlatformTest, MessagesCutTheCallersTextTo498Characters) {
    std::string text(600, 'x');
    for (int i = 0; i < 600; ++i) text[i] = static_cast<char>('a' + i % 26);
    messages(50, text.c_str());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, text.substr(0, 498));
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris");
    EXPECT_EQ(ui.boxes[0].icon, platform::BoxIcon::None);
    EXPECT_EQ(ui.boxes[0].buttons, platform::BoxButtons::Ok);
}

TEST_F(PlatformTest, MessagesWithoutATextShowAnEmptyBox) {
    for (short code : {0, 65, -3, 61, 2, 51}) messages(code, "ignored");
    messages(50, nullptr);
    ASSERT_EQ(ui.boxes.size(), 7u);
    for (const auto& b : ui.boxes) {
        EXPECT_EQ(b.text, "");
        EXPECT_EQ(b.caption, "Nocteris");
    }
}

TEST_F(PlatformTest, MessagesShowTheirTableTexts) {
    messages(20);
    messages(23);
    messages(34);
    messages(59);
    ASSERT_EQ(ui.boxes.size(), 4u);
    EXPECT_EQ(ui.boxes[0].text, ui.boxes[1].text);
    EXPECT_EQ(ui.boxes[0].text, "Unable to load INI file, please delete and try again");
    EXPECT_EQ(ui.boxes[2].text,
              "Sorry. Cannot find suitable guide star\n\nStar must be at least +/-5% of next "
              "brightest.");
    EXPECT_EQ(ui.boxes[3].text, "Sorry, already guiding with external camera");
}
