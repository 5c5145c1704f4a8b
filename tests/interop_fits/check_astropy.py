"""astropy must read our files as the data and header values we wrote."""
import datetime
import json
import sys
import warnings

import numpy as np
from astropy.io import fits
from astropy.time import Time

folder = sys.argv[1]
expected = json.load(open(f"{folder}/expected.json"))
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)


def read(name):
    # Any warning astropy raises about our header counts as a fault.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with fits.open(f"{folder}/{name}") as hdul:
            hdul.verify("exception")
            return hdul[0].header.copy(), hdul[0].data.copy()


for name, shape in (("u16", (256, 256)), ("zq", (580, 752))):
    header, data = read(f"{name}.fit")
    want = np.fromfile(f"{folder}/{name}.raw", dtype="<u2").reshape(shape)
    check(f"{name}: dtype {data.dtype}", data.dtype == np.uint16)
    check(f"{name}: shape {data.shape}", data.shape == shape)
    check(f"{name}: pixels differ", data.shape == shape and np.array_equal(data, want))
    check(f"{name}: BZERO {header.get('BZERO')}", header.get("BZERO") == 32768)
    check(f"{name}: BSCALE {header.get('BSCALE')}", header.get("BSCALE") == 1)
    for key in ("OBJECT", "OBSERVER", "TELESCOP", "INSTRUME", "ORIGIN", "FILTER",
                "DATE-OBS", "TIME-OBS"):
        check(f"{name}: {key} {header.get(key)!r}", header.get(key) == expected[key])
    for key in ("PIXWIDTH", "PIXHEIGH", "EXPTIME", "FOCALLEN", "APERTURE", "SATURATE",
                "XPIXSZ", "YPIXSZ"):
        check(f"{name}: {key} {header.get(key)!r}",
              abs(header.get(key, float("nan")) - expected[key]) < 1e-9)
    for key in ("XBINNING", "YBINNING"):
        check(f"{name}: {key} {header.get(key)!r}",
              isinstance(header.get(key), int) and header.get(key) == expected[key])
    check(f"{name}: IMAGETYP {header.get('IMAGETYP')!r}",
          header.get("IMAGETYP") == expected["IMAGETYP"][name])
    # The time of writing, by the PC's clock (the time difference is 0 here).
    try:
        written = Time(header.get("DATE"), format="isot", scale="utc").to_datetime()
        age = abs((datetime.datetime.now() - written).total_seconds())
        check(f"{name}: DATE {header.get('DATE')!r} is {age:.0f} s off", age < 120)
    except (TypeError, ValueError) as e:
        check(f"{name}: DATE {header.get('DATE')!r}: {e}", False)
    for key in ("HISTORY", "COMMENT"):
        # Commentary cards: "= '" + text + "'" as their text.
        texts = [str(t).strip() for t in header.get(key, [])]
        for want_text in expected[key]:
            check(f"{name}: {key} {want_text!r}",
                  any(t.startswith("= '" + want_text) for t in texts))

header, data = read("u8.fit")
want = np.fromfile(f"{folder}/u16.raw", dtype="<u2").reshape(256, 256) >> 8
check(f"u8: dtype {data.dtype}", data.dtype == np.uint8)
check("u8: pixels differ", np.array_equal(data, want))
check(f"u8: SATURATE {header.get('SATURATE')}", header.get("SATURATE") == 255)

header, data = read("plain.fit")
check(f"plain: OBJECT {header.get('OBJECT')!r}", header.get("OBJECT") == "")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("astropy read every file as written")
