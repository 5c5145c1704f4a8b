#include "file_test_util.h"

#include "files/tiff_file.h"

#include <map>

namespace {

struct Entry {
    unsigned type;
    std::uint32_t count;
    std::uint32_t value;
    bool operator==(const Entry&) const = default;
};

// The directory at offset 8, by tag, in file order.
std::vector<std::pair<unsigned, Entry>> directory(const std::string& f) {
    std::vector<std::pair<unsigned, Entry>> out;
    const unsigned n = le16(f, 8);
    for (unsigned i = 0; i < n; ++i) {
        const size_t at = 10 + 12 * i;
        out.push_back({le16(f, at), {le16(f, at + 2), le32(f, at + 4), le32(f, at + 8)}});
    }
    return out;
}

class TiffTest : public ImageFileTest {
  protected:
    void SetUp() override {
        ImageFileTest::SetUp();
        use_camera(752, 580, 2);
        for (int i = 0; i < pixels(); ++i) image[i] = static_cast<unsigned short>(i * 151 + 7);
    }
    std::string save(int sixteen, const char* name = "t.tif") {
        EXPECT_EQ(SaveTifFile(path(name).c_str(), image, sixteen), 0);
        return read_file(path(name));
    }
    // Strip offsets and counts from the arrays (or from the entries for one strip).
    static std::vector<std::pair<std::uint32_t, std::uint32_t>> strips(const std::string& f) {
        std::map<unsigned, Entry> e;
        for (const auto& [tag, entry] : directory(f)) e[tag] = entry;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
        const std::uint32_t n = e[273].count;
        for (std::uint32_t k = 0; k < n; ++k) {
            if (n == 1)
                out.push_back({e[273].value, e[279].value});
            else
                out.push_back({le32(f, e[273].value + 4 * k), le32(f, e[279].value + 4 * k)});
        }
        return out;
    }
};

TEST_F(TiffTest, SixteenBitLayout) {
    const std::string f = save(1);
    ASSERT_EQ(f.size(), 872522u);
    EXPECT_EQ(f.substr(0, 2), "II");
    EXPECT_EQ(le16(f, 2), 42u);
    EXPECT_EQ(le32(f, 4), 8u);
    const std::vector<std::pair<unsigned, Entry>> want = {
        {254, {4, 1, 0}},   {256, {3, 1, 752}}, {257, {3, 1, 580}}, {258, {3, 1, 16}},
        {259, {3, 1, 1}},   {262, {3, 1, 1}},   {273, {4, 2, 186}}, {277, {3, 1, 1}},
        {278, {4, 1, 290}}, {279, {4, 2, 194}}, {282, {5, 1, 170}}, {283, {5, 1, 178}},
        {296, {3, 1, 3}}};
    EXPECT_EQ(directory(f), want);
    EXPECT_EQ(le32(f, 166), 0u);
    EXPECT_EQ(le32(f, 170), 510u);
    EXPECT_EQ(le32(f, 174), 6u);
    EXPECT_EQ(le32(f, 178), 256u);
    EXPECT_EQ(le32(f, 182), 4u);
    EXPECT_EQ(le32(f, 186), 202u);
    EXPECT_EQ(le32(f, 190), 436362u);
    EXPECT_EQ(le32(f, 194), 436160u);
    EXPECT_EQ(le32(f, 198), 436160u);
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(le16(f, 202 + 2 * i), image[i]) << i;
}

TEST_F(TiffTest, EightBitTwinHoldsTheHighBytes) {
    const std::string f = save(0);
    ASSERT_EQ(f.size(), 202u + 436160u);
    const auto dir = directory(f);
    ASSERT_EQ(dir.size(), 13u);
    EXPECT_EQ(dir[3].first, 258u);
    EXPECT_EQ(dir[3].second.value, 8u);
    EXPECT_EQ(strips(f), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{202, 218080},
                                                                               {218282, 218080}}));
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(byte_at(f, 202 + i), image[i] >> 8u) << i;
}

TEST_F(TiffTest, OneStripStandsInTheDirectory) {
    disp.divisor = 1;
    const std::string f = save(1);
    ASSERT_EQ(f.size(), 194u + 872320u);
    const auto dir = directory(f);
    EXPECT_EQ(dir[6], (std::pair<unsigned, Entry>{273, {4, 1, 194}}));
    EXPECT_EQ(dir[8], (std::pair<unsigned, Entry>{278, {4, 1, 580}}));
    EXPECT_EQ(dir[9], (std::pair<unsigned, Entry>{279, {4, 1, 872320}}));
    // The one-element arrays are written all the same.
    EXPECT_EQ(le32(f, 186), 194u);
    EXPECT_EQ(le32(f, 190), 872320u);
    EXPECT_EQ(le16(f, 194), image[0]);
}

TEST_F(TiffTest, StripsDescribeTheDataWhenTheDivisorDoesNotDivideTheRows) {
    // 580 rows in 16 strips: 37 rows each, the last one 25.
    disp.divisor = 16;
    for (int sixteen : {1, 0}) {
        const std::string f = save(sixteen);
        const auto s = strips(f);
        const std::uint32_t row = 752u * (sixteen ? 2 : 1);
        ASSERT_EQ(s.size(), 16u);
        EXPECT_EQ(s.front().first, 186u + 8 * 16);
        for (size_t k = 0; k + 1 < s.size(); ++k) {
            EXPECT_EQ(s[k].second, 37 * row);
            EXPECT_EQ(s[k + 1].first, s[k].first + s[k].second);
        }
        EXPECT_EQ(s.back().second, 25 * row);
        EXPECT_EQ(f.size(), s.back().first + s.back().second);
        EXPECT_EQ(directory(f)[8].second.value, 37u);
    }
    // Fewer strips than the divisor when the rows run out early.
    set_image_size(5, 9);
    disp.divisor = 4;
    const std::string f = save(1);
    const auto s = strips(f);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].first, 186u + 8 * 3);
    EXPECT_EQ(s[2].second, 30u);
    EXPECT_EQ(f.size(), 186u + 24 + 90);
}

TEST_F(TiffTest, FailuresKeepThePreviousFile) {
    const std::string old = random_bytes(1000, 3);
    write_file(path("t.tif"), old);
    {
        FileSizeLimit limit(300'000);
        EXPECT_EQ(SaveTifFile(path("t.tif").c_str(), image, 1), 1);
    }
    EXPECT_EQ(read_file(path("t.tif")), old);
    EXPECT_EQ(folder_entries(home), std::vector<std::string>{"t.tif"});
    EXPECT_EQ(SaveTifFile(path("none/t.tif").c_str(), image, 1), 1);
    EXPECT_EQ(SaveTifFile("z:\\t.tif", image, 1), 1);
    set_image_size(70000, 2); // wider than a SHORT entry can say
    EXPECT_EQ(SaveTifFile(path("w.tif").c_str(), image, 1), 1);
    EXPECT_FALSE(std::filesystem::exists(path("w.tif")));
    EXPECT_TRUE(ui.boxes.empty()); // the caller reports
}

} // namespace
