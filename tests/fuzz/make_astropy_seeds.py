"""Writes the astropy-made seed files of the FITS fuzz targets into seeds/.

Run it again only to change them; the files are kept in the repository so
that the fuzz test needs no Python. Each stays under the targets' 12000-byte
input limit.
"""
import os

import numpy as np
from astropy.io import fits

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds")
os.makedirs(here, exist_ok=True)
rng = np.random.default_rng(1)


def save(name, data, cards=()):
    hdu = fits.PrimaryHDU(data)
    for key, value in cards:
        hdu.header[key] = value
    hdu.writeto(os.path.join(here, name), overwrite=True)


save("astropy_u16.fits", rng.integers(0, 65536, (16, 24), dtype=np.uint16),
     [("OBJECT", "M 13"), ("DATE-OBS", "2024-05-01T22:00:00")])
# Two header records: END beyond card 36.
save("astropy_i16.fits", rng.integers(-500, 30000, (16, 20), dtype=np.int16),
     [(f"KEY{i:02d}", i) for i in range(40)] + [("HISTORY", "made by astropy")])
save("astropy_f32.fits", rng.normal(100, 5, (16, 16)).astype(np.float32), [("FILTER", "V")])
save("astropy_f64.fits", rng.normal(0, 1, (16, 16)), [("EXPTIME", 12.5)])
