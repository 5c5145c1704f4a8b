"""Files astropy writes must open with the values astropy reads from them.

Each file goes through `nocteris-cli convert` to native raw; values that are
whole numbers 0 ... 65535 must come through exactly, others scaled from the
data's range onto 0 ... 65535 as `nocteris-cli info` says.
"""
import re
import subprocess
import sys

import numpy as np
from astropy.io import fits

folder, cli = sys.argv[1], sys.argv[2]
failures = []
rng = np.random.default_rng(7)


def check(what, ok):
    if not ok:
        failures.append(what)


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True, cwd=folder)


def write(name, data, cards=(), scale=None):
    hdu = fits.PrimaryHDU(data)
    for key, value in cards:
        hdu.header[key] = value
    if scale:
        hdu.scale(*scale)
    hdu.writeto(f"{folder}/{name}.fits", overwrite=True)
    # What astropy itself reads back, scaling applied.
    with fits.open(f"{folder}/{name}.fits") as hdul:
        return hdul[0].header.copy(), np.array(hdul[0].data, dtype=np.float64)


def opened(name):
    r = run("convert", f"{name}.fits", f"{name}.raw")
    check(f"{name}: convert exit {r.returncode}: {r.stderr.strip()}", r.returncode == 0)
    if r.returncode != 0:
        return None, ""
    info = run("info", f"{name}.fits").stdout
    return np.fromfile(f"{folder}/{name}.raw", dtype="<u2"), info


def expect_exact(name, data, cards=(), scale=None):
    header, want = write(name, data, cards, scale)
    got, info = opened(name)
    if got is None:
        return header, info
    check(f"{name}: {got.size} pixels, not {want.size}", got.size == want.size)
    check(f"{name}: values differ", got.size == want.size and np.array_equal(got, want.ravel()))
    check(f"{name}: said it scaled", "scaled" not in info)
    h, w = want.shape
    check(f"{name}: geometry", f"image:       {w} x {h} pixels" in info)
    return header, info


def expect_scaled(name, data):
    _, want = write(name, data)
    got, info = opened(name)
    if got is None:
        return
    low, high = want.min(), want.max()
    expected = np.round((want.ravel() - low) * (65535.0 / (high - low)))
    check(f"{name}: scaled values differ by {np.abs(got - expected).max()}",
          np.abs(got - expected).max() <= 1)
    m = re.search(r"processing:  p = \(v - (\S+)\) \* (\S+)", info)
    check(f"{name}: no scaling in the history", m is not None)
    if m:
        check(f"{name}: recorded low {m.group(1)}", abs(float(m.group(1)) - low) <= 1e-6 * max(1, abs(low)))


u16 = rng.integers(0, 65536, size=(120, 160), dtype=np.uint16)
header, _ = expect_exact("u16", u16)
check("u16: astropy wrote BZERO 32768", header.get("BZERO") == 32768)

# A header of two records: the extra cards push END past card 36.
cards = [(f"KEY{i:03d}", i) for i in range(40)] + [("OBJECT", "NGC 891"), ("EXPTIME", 90.0)]
i16 = rng.integers(0, 32768, size=(64, 80), dtype=np.int16)
_, info = expect_exact("i16", i16, cards)
check("i16: object", "object:      NGC 891" in info)
check("i16: exposure", "exposure:    90 s" in info)

expect_exact("f32", rng.integers(0, 65536, size=(50, 70)).astype(np.float32))
expect_exact("i32", rng.integers(0, 65536, size=(40, 40)).astype(np.int32))
expect_exact("u8", rng.integers(0, 256, size=(30, 20), dtype=np.uint8))
# Integers astropy stores scaled (BSCALE 0.5, BZERO 1000): whole values again.
expect_exact("bscale", np.arange(0, 2 * 48 * 32, 2, dtype=np.float64).reshape(32, 48),
             scale=("int16", "old", 0.5, 1000.0))

expect_scaled("f64", rng.normal(0.0, 1.0, size=(60, 90)))
expect_scaled("f32frac", (rng.random((33, 47)) * 10).astype(np.float32))
expect_scaled("i16neg", rng.integers(-30000, 30000, size=(40, 50), dtype=np.int16))

# A cube is no image: refused with the reason, nothing written.
fits.PrimaryHDU(np.zeros((3, 20, 20), dtype=np.int16)).writeto(f"{folder}/cube.fits")
r = run("convert", "cube.fits", "cube.raw")
check(f"cube: exit {r.returncode}", r.returncode == 1)
check(f"cube: said {r.stderr.strip()!r}", "3-D data" in r.stderr)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("every astropy file opened with astropy's values")
