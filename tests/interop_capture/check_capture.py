"""astropy must read the capture's three files as 16-bit images of the sensor."""
import os
import sys
import warnings

import numpy as np
from astropy.io import fits

folder, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)


names = sorted(os.listdir(folder))
check(f"files {names}", names == ["IMG1.FIT", "IMG2.FIT", "IMG3.FIT"])
for name in names:
    # Any warning astropy raises about our header counts as a fault.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with fits.open(os.path.join(folder, name)) as hdul:
            hdul.verify("exception")
            header, data = hdul[0].header, hdul[0].data
            check(f"{name}: dtype {data.dtype}", data.dtype == np.uint16)
            check(f"{name}: shape {data.shape}", data.shape == (height, width))
            check(f"{name}: a blank image", data.size > 0 and int(data.max()) > int(data.min()))
            check(f"{name}: EXPTIME {header.get('EXPTIME')}",
                  abs(header.get("EXPTIME", -1) - 0.005) < 1e-9)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"astropy read {len(names)} captured images of {width} x {height}")
