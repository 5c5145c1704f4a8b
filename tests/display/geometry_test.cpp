#include "display/geometry.h"
#include "display/image_store.h"
#include "support/test_env.h"

using GeometryTest = NocterisTest;

TEST_F(GeometryTest, FileLengthsOfAFrame) {
    // 1312 x 1024: the data end 2816 and 704 bytes into a FITS record.
    const FileLengths l = file_lengths(1312, 1024);
    EXPECT_EQ(l.native, 2686976);
    EXPECT_EQ(l.native_binned, 671744);
    EXPECT_EQ(l.fits, 2692736);
    EXPECT_EQ(l.fits_binned, 677504);
    EXPECT_EQ(l.fits_padded, 2692800);
    EXPECT_EQ(l.fits_binned_padded, 679680);
    for (long long len : {2686976LL, 671744LL, 2692736LL, 677504LL, 2692800LL, 679680LL})
        EXPECT_TRUE(l.contains(len)) << len;
    for (long long len : {0LL, 2686975LL, 2686977LL, 2692799LL, 679681LL, 2686976LL + (1LL << 32)})
        EXPECT_FALSE(l.contains(len)) << len;

    // Data that fill whole records get no fill.
    const FileLengths whole = file_lengths(1440, 4);
    EXPECT_EQ(whole.fits_padded, whole.fits);
    EXPECT_EQ(whole.fits_binned_padded, whole.fits_binned);
    EXPECT_EQ(whole.fits_binned, 2880 + 5760);
}

TEST_F(GeometryTest, DerivedGeometryRecognisesTheSensorsFileLengths) {
    SensorGeometry s;
    s.width = 1392;
    s.height = 1040;
    derive_geometry(s);
    const FileLengths l = file_lengths(1392, 1040);
    EXPECT_EQ(disp.filelen, l.native);
    EXPECT_EQ(disp.filelenbin, l.native_binned);
    EXPECT_EQ(disp.filelenfit, l.fits);
    EXPECT_EQ(disp.filelenfitbin, l.fits_binned);
    EXPECT_EQ(disp.filelenfitpad, l.fits_padded);
    EXPECT_EQ(disp.filelenfitbinpad, l.fits_binned_padded);
    EXPECT_EQ(disp.fullpadding, (2880 - 2 * 1392 * 1040 % 2880) % 2880);
    EXPECT_EQ(disp.binpadding, (2880 - 1392 * 1040 / 2 % 2880) % 2880);
}
