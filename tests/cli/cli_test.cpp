#include "cli/cli.h"

#include "display/image_store.h"
#include "support/test_env.h"

#include <filesystem>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

class CliTest : public NocterisTest {
  protected:
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "nocteris-cli");
        std::vector<const char*> argv;
        for (auto& a : args) argv.push_back(a.c_str());
        out.str({});
        err.str({});
        return run_cli(static_cast<int>(argv.size()), argv.data(), out, err);
    }
    // A native file of w x h whose pixel k holds k * 7 (16 bits).
    std::string native(int w, int h, const std::string& name) {
        std::string bytes(static_cast<size_t>(w) * h * 2, '\0');
        for (size_t k = 0; k < bytes.size() / 2; ++k) {
            const auto v = static_cast<unsigned short>(k * 7);
            bytes[2 * k] = static_cast<char>(v & 0xFF);
            bytes[2 * k + 1] = static_cast<char>(v >> 8);
        }
        const std::string path = home + "/" + name;
        write_file(path, bytes);
        return path;
    }
    std::ostringstream out, err;
};

TEST_F(CliTest, HelpAndCommandLineErrors) {
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.str().find("convert IN OUT"), std::string::npos);
    EXPECT_EQ(run({"info", "--help"}), 0);
    EXPECT_NE(out.str().find("--model N"), std::string::npos);
    EXPECT_EQ(run({"convert", "--help"}), 0);
    EXPECT_NE(out.str().find("--8bit"), std::string::npos);
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"info"}), 2);
    EXPECT_EQ(run({"info", "a", "--bogus"}), 2);
    EXPECT_EQ(run({"info", "a", "--8bit"}), 2) << "info writes nothing";
    EXPECT_EQ(run({"convert", "a"}), 2);
    EXPECT_EQ(run({"convert", "a", "b.jpg"}), 2);
    EXPECT_NE(err.str().find("cannot tell the format"), std::string::npos);
    EXPECT_EQ(run({"info", "a", "--model"}), 2);
}

TEST_F(CliTest, ConvertsBetweenNativeFitsAndTiffKeepingEveryPixel) {
    const std::string raw = native(1392, 1040, "~frame");
    ASSERT_EQ(run({"convert", raw, home + "/frame.fits"}), 0) << err.str();
    ASSERT_EQ(run({"info", home + "/frame.fits"}), 0) << err.str();
    EXPECT_NE(out.str().find("format:      FITS\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("image:       1392 x 1040"), std::string::npos);
    EXPECT_NE(out.str().find("instrument:  Veltrane CCD"), std::string::npos);

    ASSERT_EQ(run({"convert", home + "/frame.fits", home + "/back.raw"}), 0) << err.str();
    EXPECT_EQ(read_file(home + "/back.raw"), read_file(raw));

    ASSERT_EQ(run({"convert", raw, home + "/frame.TIFF"}), 0);
    EXPECT_EQ(fs::file_size(home + "/frame.TIFF"), 186u + 8 * 8 + 1392u * 1040 * 2);
    ASSERT_EQ(run({"convert", raw, home + "/frame8.tif", "--8bit"}), 0);
    EXPECT_EQ(fs::file_size(home + "/frame8.tif"), 186u + 8 * 8 + 1392u * 1040);
    ASSERT_EQ(run({"convert", raw, home + "/frame8.fit", "--8bit"}), 0);
    EXPECT_EQ(fs::file_size(home + "/frame8.fit") % 2880, 0u);
    EXPECT_EQ(run({"convert", raw, home + "/~x", "--8bit"}), 2);
}

TEST_F(CliTest, RecognisesEveryCameraFrameSizeByLength) {
    const struct {
        int w, h;
        const char* geometry;
    } frames[] = {
        {1312, 1024, "1312 x 1024"}, {2456, 2064, "2456 x 2064"}, {752, 580, "752 x 580"}};
    for (const auto& f : frames) {
        const std::string raw = native(f.w, f.h, "~f");
        ASSERT_EQ(run({"info", raw}), 0) << f.geometry << err.str();
        EXPECT_NE(out.str().find(std::string("image:       ") + f.geometry), std::string::npos);
        EXPECT_NE(out.str().find("format:      native raw\n"), std::string::npos);
    }
    // A binned native file of model 2 loads as the Open command loads it.
    const std::string binned = home + "/~bin";
    write_file(binned, std::string(1392 * 1040 / 2, '\1'));
    ASSERT_EQ(run({"info", binned}), 0) << err.str();
    EXPECT_NE(out.str().find("native raw, 2 x 2 binned"), std::string::npos);
}

TEST_F(CliTest, RefusesWhatItCannotRead) {
    write_file(home + "/short", "12345");
    EXPECT_EQ(run({"info", home + "/short"}), 1);
    EXPECT_NE(err.str().find("length of no native or FITS file"), std::string::npos);
    EXPECT_EQ(run({"info", home}), 1);
    EXPECT_NE(err.str().find(": not a readable file (a folder)"), std::string::npos) << err.str();
    EXPECT_EQ(run({"info", home + "/missing.fit"}), 1);
    // The system's reason follows the program's own text.
    EXPECT_NE(err.str().find("missing.fit: not a readable file (no such file or directory)"),
              std::string::npos)
        << err.str();

    const std::string raw = native(1392, 1040, "~frame");
    EXPECT_EQ(run({"info", raw, "--model", "8"}), 1);
    EXPECT_NE(err.str().find("no file of model 8"), std::string::npos);
    EXPECT_EQ(run({"info", raw, "--model", "7"}), 0) << err.str();
    EXPECT_EQ(run({"info", raw, "--model", "x"}), 1);

    // A FITS-length file that this program did not write.
    write_file(home + "/alien.fit", std::string(1392 * 1040 * 2 + 5760, 'A'));
    EXPECT_EQ(run({"convert", home + "/alien.fit", home + "/out.tif"}), 1);
    EXPECT_NE(err.str().find("Unable to load FITS file"), std::string::npos);
    EXPECT_FALSE(fs::exists(home + "/out.tif")) << "nothing written after a failed read";

    EXPECT_EQ(run({"convert", raw, home + "/no/such/dir/out.fit"}), 1);
    EXPECT_NE(err.str().find("out.fit: could not be written (no such file or directory)"),
              std::string::npos)
        << err.str();
}

TEST_F(CliTest, ModelCodesWithoutASensorOfTheirOwnTakeTheOneTheySetUp) {
    // Codes 3 to 6 keep the initial 1312 x 1024 sensor, 7 is the 1392 x 1040 fallback.
    const std::string small = native(1312, 1024, "~small"), large = native(1392, 1040, "~large");
    for (const char* code : {"3", "4", "5", "6"}) {
        SCOPED_TRACE(code);
        ASSERT_EQ(run({"info", small, "--model", code}), 0) << err.str();
        EXPECT_NE(out.str().find("image:       1312 x 1024"), std::string::npos);
        EXPECT_NE(out.str().find("pixel size:  0.00645 x 0.00645 mm"), std::string::npos)
            << "model 1's sensor";
        EXPECT_EQ(run({"info", large, "--model", code}), 1);
        EXPECT_NE(err.str().find("(1312 x 1024)"), std::string::npos);
    }
    EXPECT_EQ(run({"info", small, "--model", "7"}), 1);
    EXPECT_NE(err.str().find("no file of model 7 (1392 x 1040)"), std::string::npos);
    for (const char* code : {"0", "9", "12", "ZQ1"}) {
        EXPECT_EQ(run({"info", small, "--model", code}), 1) << code;
        EXPECT_NE(err.str().find("unknown model"), std::string::npos) << code;
    }
    EXPECT_EQ(run({"info", native(752, 580, "~zq"), "--model", "ZQ"}), 0) << err.str();
}

TEST_F(CliTest, ProcessAppliesOperationsInOrderAndRecordsTheHistory) {
    const std::string raw = native(1392, 1040, "~frame");
    // Inverting twice gives the image back except for the lowest bit, which
    // every stretch clears.
    ASSERT_EQ(run({"process", raw, home + "/~twice", "--invert", "--invert"}), 0) << err.str();
    const std::string a = read_file(raw), b = read_file(home + "/~twice");
    ASSERT_EQ(a.size(), b.size());
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); i += 2)
        if ((a[i] & ~1) != b[i] || a[i + 1] != b[i + 1]) ++differing;
    EXPECT_EQ(differing, 0u);

    ASSERT_EQ(run({"process", raw, home + "/p.fit", "--normal", "0,255", "--median", "1,10",
                   "--gaussian", "--mirror"}),
              0)
        << err.str();
    ASSERT_EQ(run({"info", home + "/p.fit"}), 0);
    const std::string info = out.str();
    const auto normal = info.find("processing:  ");
    ASSERT_NE(normal, std::string::npos) << info;
    EXPECT_LT(info.find("processing:", normal + 1), std::string::npos) << "one line per operation";

    // Subtracting the image from itself leaves nothing.
    ASSERT_EQ(run({"process", raw, home + "/~zero", "--subtract", raw}), 0) << err.str();
    EXPECT_EQ(read_file(home + "/~zero"), std::string(1392 * 1040 * 2, '\0'));
}

TEST_F(CliTest, ProcessRefusesBadArgumentsBeforeWritingAnything) {
    const std::string raw = native(1392, 1040, "~frame");
    const std::string dst = home + "/out.fit";
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--median", "5,1"},
                                                {"--median", "1"},
                                                {"--unsharp", "3,x"},
                                                {"--normal", "200,100"},
                                                {"--power", "4"},
                                                {"--nonlinear", "2.5"},
                                                {"--twirl"},
                                                {"--subtract"},
                                                {}}) {
        std::vector<std::string> args = {"process", raw, dst};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(run(args), 2) << (bad.empty() ? "no operation" : bad[0]);
        EXPECT_FALSE(fs::exists(dst));
    }
    EXPECT_EQ(run({"process", raw, dst, "--flat", home + "/missing"}), 1);
    write_file(home + "/odd", "odd length");
    EXPECT_EQ(run({"process", raw, dst, "--average", home + "/odd"}), 1);
    EXPECT_NE(err.str().find("Sorry, you didn't choose an Nocteris File"), std::string::npos);
    EXPECT_FALSE(fs::exists(dst));
    EXPECT_EQ(run({"process", "--help"}), 0);
    EXPECT_NE(out.str().find("--subtract DARK"), std::string::npos);
}
