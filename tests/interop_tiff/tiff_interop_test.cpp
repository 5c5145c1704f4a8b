#include "display/geometry.h"
#include "display/image_store.h"
#include "files/tiff_file.h"
#include "support/test_env.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <tiffio.h>
#include <vector>

namespace {

// Every warning or error libtiff reports while we read.
std::vector<std::string> complaints;

void record(const char* module, const char* fmt, va_list ap) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    complaints.push_back(std::string(module ? module : "") + ": " + text);
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

bool have_tiffinfo() {
    return std::system("command -v tiffinfo >/dev/null 2>&1") == 0;
}

class TiffInteropTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        complaints.clear();
        TIFFSetWarningHandler(record);
        TIFFSetErrorHandler(record);
    }
    void make_image(int w, int h, int divisor) {
        set_image_size(w, h);
        disp.divisor = static_cast<short>(divisor);
        for (int i = 0; i < w * h; ++i)
            image[i] = static_cast<unsigned short>(i * 2654435761u >> 7);
    }
    // Writes the file, has tiffinfo read it whole, then reads the pixels back.
    void check(int sixteen) {
        const std::string name = home + "/i.tif";
        ASSERT_EQ(SaveTifFile(name.c_str(), image, sixteen), 0);

        const std::string info = run("tiffinfo -D '" + name + "'");
        EXPECT_EQ(info.find("arning"), std::string::npos) << info;
        EXPECT_EQ(info.find("rror"), std::string::npos) << info;
        EXPECT_NE(info.find("Image Width: " + std::to_string(disp.width1) +
                            " Image Length: " + std::to_string(disp.height1)),
                  std::string::npos)
            << info;

        TIFF* t = TIFFOpen(name.c_str(), "r");
        ASSERT_NE(t, nullptr);
        uint32_t w = 0, h = 0;
        uint16_t bits = 0, spp = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
        EXPECT_EQ(w, static_cast<uint32_t>(disp.width1));
        EXPECT_EQ(h, static_cast<uint32_t>(disp.height1));
        EXPECT_EQ(bits, sixteen ? 16 : 8);
        EXPECT_EQ(spp, 1);
        std::vector<unsigned char> line(TIFFScanlineSize(t));
        int wrong = 0;
        for (uint32_t r = 0; r < h; ++r) {
            ASSERT_EQ(TIFFReadScanline(t, line.data(), r), 1) << r;
            for (uint32_t c = 0; c < w; ++c) {
                const unsigned short px = image[r * w + c];
                const unsigned got =
                    sixteen ? reinterpret_cast<uint16_t*>(line.data())[c] : line[c];
                wrong += got != (sixteen ? px : px >> 8u);
            }
        }
        TIFFClose(t);
        EXPECT_EQ(wrong, 0);
        std::string said;
        for (const auto& c : complaints) said += c + "\n";
        EXPECT_EQ(said, "");
    }
};

TEST_F(TiffInteropTest, ClassicFrameInTwoStrips) {
    make_image(752, 580, 2);
    check(1);
    check(0);
}

TEST_F(TiffInteropTest, OneStrip) {
    make_image(1312, 1024, 1);
    check(1);
    check(0);
}

TEST_F(TiffInteropTest, DivisorNotDividingTheRows) {
    make_image(752, 580, 16);
    check(1);
    make_image(5, 9, 4);
    check(1);
    check(0);
}

} // namespace

int main(int argc, char** argv) {
    if (!have_tiffinfo()) {
        std::puts("tiffinfo not found: skipped");
        return 77;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
