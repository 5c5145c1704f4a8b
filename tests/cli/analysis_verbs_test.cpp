// nocteris-cli photometry and label on files: what they print and write, and
// their refusals.
#include "cli/cli.h"

#include "display/image_store.h"
#include "files/fits.h"
#include "files/native_file.h"
#include "support/test_env.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int W = 1392, H = 1040;

class AnalysisVerbsTest : public NocterisTest {
  protected:
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "nocteris-cli");
        std::vector<const char*> argv;
        for (auto& a : args) argv.push_back(a.c_str());
        out.str({});
        err.str({});
        return run_cli(static_cast<int>(argv.size()), argv.data(), out, err);
    }
    // A native frame of model 2 on a sky of 1000: stars of 50,000 counts
    // (centre 10,000 and eight of 5,000) at (300, 300) and 20,000 counts
    // (centre 4,000 and eight of 2,000) at (600, 400).
    std::string frame() {
        std::vector<unsigned short> px(static_cast<size_t>(W) * H, 1000);
        auto star = [&](int cx, int cy, int centre) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    px[(cy + dy) * W + cx + dx] +=
                        static_cast<unsigned short>(dx || dy ? centre / 2 : centre);
        };
        star(300, 300, 10000);
        star(600, 400, 4000);
        std::string bytes(px.size() * 2, '\0');
        std::memcpy(bytes.data(), px.data(), bytes.size());
        const std::string path = home + "/~frame";
        write_file(path, bytes);
        return path;
    }
    bool says(const std::string& text) const { return out.str().find(text) != std::string::npos; }
    std::ostringstream out, err;
};

} // namespace

TEST_F(AnalysisVerbsTest, PhotometryPrintsWhatTheWindowShows) {
    const std::string f = frame();
    ASSERT_EQ(run({"photometry", f, "--object", "300,300", "--comparison", "600,400",
                   "--background", "100,100", "--gain", "2", "--read-noise", "10"}),
              0)
        << err.str();
    EXPECT_TRUE(says("aperture:    9 x 9 pixels\n"));
    EXPECT_TRUE(says("object:      300,300  sum 131000  mean 1617\n")) << out.str();
    EXPECT_TRUE(says("comparison:  600,400  sum 101000  mean 1246\n"));
    EXPECT_TRUE(says("background:  100,100  sum 81000  mean 1000\n"));
    EXPECT_TRUE(says("magnitude difference: -0.99\n")) << "-2.5 log10(50000 / 20000)";
    EXPECT_TRUE(says("object S/N:  150.7\n"));
    EXPECT_TRUE(says("magnitude error: 0.007\n"));

    // A 5 x 5 aperture, snapped onto the stars from a pixel beside them.
    ASSERT_EQ(run({"photometry", f, "--object", "301,299", "--comparison", "599,401",
                   "--background", "100,100", "--aperture", "2", "--snap"}),
              0)
        << err.str();
    EXPECT_TRUE(says("object:      300,300  sum 75000  mean 3000\n")) << out.str();
    EXPECT_TRUE(says("comparison:  600,400  sum 45000  mean 1800\n"));
    EXPECT_TRUE(says("background:  100,100  sum 25000  mean 1000\n")) << "sky is not snapped";

    // Snapping on empty sky finds no star: refused, not moved to another one.
    EXPECT_EQ(run({"photometry", f, "--object", "300,300", "--comparison", "900,900", "--snap"}),
              1);
    EXPECT_NE(err.str().find("Nothing found to centre on"), std::string::npos);
    EXPECT_NE(err.str().find("the comparison at 900,900 could not be measured"), std::string::npos);

    // Without a background the plain sums are compared.
    ASSERT_EQ(run({"photometry", f, "--object", "300,300", "--comparison", "600,400"}), 0);
    EXPECT_TRUE(says("background:  image level, mean")) << out.str();
    EXPECT_TRUE(says("magnitude difference: -0.28\n")) << "-2.5 log10(131000 / 101000)";

    // An object fainter than the background: no magnitude, no S/N.
    ASSERT_EQ(run({"photometry", f, "--object", "100,100", "--comparison", "600,400",
                   "--background", "300,300"}),
              0);
    EXPECT_TRUE(says("magnitude difference: none")) << out.str();
    EXPECT_TRUE(says("object S/N:  none"));
}

TEST_F(AnalysisVerbsTest, PhotometryRefusals) {
    const std::string f = frame();
    EXPECT_EQ(run({"photometry", "--help"}), 0);
    EXPECT_TRUE(says("--aperture R"));
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_TRUE(says("photometry FILE"));
    EXPECT_EQ(run({"photometry", f, "--object", "300,300"}), 2) << "no comparison";
    EXPECT_EQ(run({"photometry", f, "--object", "3x,300", "--comparison", "1,1"}), 2);
    EXPECT_EQ(
        run({"photometry", f, "--object", "300,300", "--comparison", "600,400", "--aperture", "5"}),
        2);
    EXPECT_NE(err.str().find("0, 2, 3, 4, 6 or 8"), std::string::npos);
    EXPECT_EQ(run({"photometry", f, "--object", "1,1", "--comparison", "2,2", "--gain", "0"}), 2);
    EXPECT_EQ(run({"photometry", f, "--object", "1,1", "--comparison", "2,2", "--bogus"}), 2);

    EXPECT_EQ(run({"photometry", f, "--object", "1388,300", "--comparison", "600,400"}), 1);
    EXPECT_NE(err.str().find("Sorry, outside Image area - try again"), std::string::npos);
    EXPECT_NE(err.str().find("the object at 1388,300 could not be measured"), std::string::npos);
    EXPECT_EQ(run({"photometry", f, "--object", "300,300", "--comparison", "600,-9"}), 1);
    EXPECT_EQ(run({"photometry", home + "/missing", "--object", "1,1", "--comparison", "2,2"}), 1);
    EXPECT_NE(err.str().find("not a readable file"), std::string::npos);
    EXPECT_TRUE(out.str().empty());
}

TEST_F(AnalysisVerbsTest, LabelBurnsTheTextAndKeepsThePixelsBelow) {
    const std::string f = frame();
    const std::string raw = home + "/~labelled";
    ASSERT_EQ(run({"label", f, raw, "--text", "M4*", "--no-date"}), 0) << err.str();
    ASSERT_EQ(LoadQVFile(raw.c_str()), LOAD_OK);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(image_int[i], 17);
    EXPECT_EQ(image_int[1 * W + 241], 65535) << "'M' from column 240";
    EXPECT_EQ(image_int[1 * W + 239], 0);
    for (int c = 256; c < 264; ++c) EXPECT_EQ(image_int[4 * W + c], 0) << "'*' stays black";
    EXPECT_EQ(image_int[10 * W], 1000);
    EXPECT_EQ(image_int[300 * W + 300], 11000);

    // The FITS date of the file itself, once it has one.
    const std::string fit = home + "/dated.fit";
    ASSERT_EQ(run({"convert", f, fit}), 0) << err.str();
    ASSERT_EQ(run({"label", fit, home + "/out.fit", "--text", "x", "--fits-date"}), 0) << err.str();
    EXPECT_TRUE(fs::exists(home + "/out.fit"));

    const std::string long_text(40, 'A');
    ASSERT_EQ(run({"label", f, home + "/~long", "--text", long_text}), 0);
    EXPECT_NE(err.str().find("cut to 31 characters"), std::string::npos);
}

TEST_F(AnalysisVerbsTest, LabelRefusals) {
    const std::string f = frame();
    EXPECT_EQ(run({"label", "--help"}), 0);
    EXPECT_TRUE(says("--fits-date"));
    EXPECT_EQ(run({"label", f, home + "/~o"}), 2) << "no text";
    EXPECT_EQ(run({"label", f, home + "/o.jpg", "--text", "x"}), 2);
    EXPECT_EQ(run({"label", f, home + "/~o", "--text", "x", "--no-date", "--fits-date"}), 2);
    EXPECT_EQ(run({"label", f, home + "/~o", "--text"}), 2);

    EXPECT_EQ(run({"label", f, home + "/~o", "--text", "x", "--fits-date"}), 1);
    EXPECT_NE(err.str().find("Sorry, FITs date not set"), std::string::npos);
    EXPECT_FALSE(fs::exists(home + "/~o")) << "nothing written";
    EXPECT_EQ(run({"label", home + "/nothing", home + "/~o", "--text", "x"}), 1);
}
