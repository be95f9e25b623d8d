"""The Python module against the program: the same numbers and files, every failure an exception
that leaves the interpreter running."""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import threading

import numpy as np
import pytest

import talvik

BIN = pathlib.Path(os.environ["STEREOLOGY_BIN"])
SOURCE = pathlib.Path(os.environ["STEREOLOGY_SOURCE"])
EXAMPLES = SOURCE / "examples"
BOOLEAN64 = EXAMPLES / "boolean64"
BALLS_R1_5 = EXAMPLES / "balls_r1-5.txt"


def program(balls, data_set, epsilon, *options, stderr=None):
    """talvik's standard output (and its standard error into the list `stderr`)."""
    run = subprocess.run([BIN / "talvik", *options, "/d", balls, "/b", data_set, "/e",
                          str(epsilon)], capture_output=True, text=True, check=True)
    if stderr is not None:
        stderr.append(run.stderr)
    return run.stdout


def lines(result):
    return "V2: %20.16f\nV1: %20.16f\nV0: %20.16f\n" % (result.V2, result.V1, result.V0)


def adaptive_lines(result):
    return lines(result) + "SE(V2): %20.16f\nSE(V1): %20.16f\nSE(V0): %20.16f\n" % (
        result.SE_V2, result.SE_V1, result.SE_V0) + "Balls used: 1..%d of %d\n" % (
        result.balls_used, len(result.de))


@pytest.mark.parametrize("balls, epsilon", [
    (BALLS_R1_5, 5),
    (EXAMPLES / "balls_recommended.txt", 1),
])
def test_the_same_numbers_as_the_program(balls, epsilon):
    expected = program(balls, BOOLEAN64, epsilon)
    volume = talvik.load_data_set(BOOLEAN64)
    assert volume.shape == (64, 64, 64) and volume.dtype == bool
    assert lines(talvik.estimate(volume, balls, epsilon)) == expected
    assert lines(talvik.estimate(volume, talvik.read_balls(balls), epsilon, threads=1)) == expected


def test_adaptive_gives_what_talvik_a_prints():
    stderr = []
    expected = program(EXAMPLES / "balls_fine.txt", BOOLEAN64, 1, "/a", stderr=stderr)
    result = talvik.estimate(talvik.load_data_set(BOOLEAN64), EXAMPLES / "balls_fine.txt", 1,
                             adaptive=True)
    assert adaptive_lines(result) == expected
    assert 3 <= result.balls_used < len(result.de) == len(result.fractions)
    assert "".join("talvik: warning: %s\n" % w for w in result.warnings) == stderr[0]


def test_missing_correction_values_are_computed_as_the_program_does(tmp_path):
    without_de = "".join(line for line in BALLS_R1_5.read_text().splitlines(keepends=True)
                         if not line.startswith("["))
    for name in "program", "stored", "untouched", "held":
        (tmp_path / name).write_text(without_de)
    expected = program(tmp_path / "program", BOOLEAN64, 5)
    volume = talvik.load_data_set(BOOLEAN64)

    stored = talvik.estimate(volume, tmp_path / "stored", 5, store_de=True)
    assert lines(stored) == expected
    assert (tmp_path / "stored").read_bytes() == (tmp_path / "program").read_bytes()

    assert lines(talvik.estimate(volume, str(tmp_path / "untouched"), 5)) == expected
    assert (tmp_path / "untouched").read_text() == without_de

    held = talvik.read_balls(tmp_path / "held")
    assert held.de_missing and list(held.sizes) == [2, 3, 4, 5, 6] and not held.de.any()
    assert lines(talvik.estimate(volume, held, 5)) == expected
    assert not held.de_missing
    assert held.de.tolist() == stored.de.tolist()
    assert (tmp_path / "held").read_text() == without_de
    # Now complete, the Balls gives the values without computing them again.
    assert lines(talvik.estimate(volume, held, 5)) == expected


def test_arrays_of_every_layout_round_trip_through_a_data_set(tmp_path):
    # Rows of two words and 22 voxels: whole words, eight at a time, one at a time.
    rng = np.random.default_rng(26)
    volume = rng.random((13, 70, 150)) < 0.3
    layouts = {
        "bool": volume,
        "bool_not_0_or_1": (volume.view(np.uint8) * 2).view(bool),
        "uint8": volume.astype(np.uint8),
        "int32": volume.astype(np.int32),
        "int8_x_reversed": np.ascontiguousarray(volume[:, :, ::-1].astype(np.int8))[:, :, ::-1],
        "uint16_transposed": np.ascontiguousarray(volume.T.astype(np.uint16)).T,
    }
    expected = None
    for name, array in layouts.items():
        folder = tmp_path / name
        talvik.save_data_set(folder, array)
        assert sorted(os.listdir(folder)) == ["slice%03d.pbm" % z for z in range(13)]
        assert np.array_equal(talvik.load_data_set(folder), volume), name
        result = lines(talvik.estimate(array, BALLS_R1_5, 1))
        expected = expected or program(BALLS_R1_5, folder, 1)
        assert result == expected, name


def error_cases():
    good = np.zeros((16, 16, 80), bool)
    good[4:12, 4:12, 4:12] = True
    with_two = good.astype(np.uint8)
    with_two[1, 2, 3] = 2
    minus_one = good.astype(np.int8)
    minus_one[5, 6, 7] = -1
    three_in_the_tail = good.astype(np.uint8)
    three_in_the_tail[15, 15, 70] = 3
    balls = BALLS_R1_5
    return [
        (lambda: talvik.estimate(good.astype(float), balls, 1), ValueError,
         "volume must hold bool or 0/1 integers, not float64"),
        (lambda: talvik.estimate(good[0], balls, 1), ValueError,
         "volume must be a 3D array (z, y, x), not 2D"),
        (lambda: talvik.estimate(np.zeros((0, 16, 16), bool), balls, 1), ValueError,
         "volume is empty: its shape is (0, 16, 16)"),
        (lambda: talvik.estimate(with_two, balls, 1), ValueError,
         "volume holds 2 at [1, 2, 3]: only 0 and 1 mark the set (or use a bool array)"),
        (lambda: talvik.estimate(minus_one, balls, 1), ValueError,
         "volume holds -1 at [5, 6, 7]: only 0 and 1 mark the set (or use a bool array)"),
        (lambda: talvik.estimate(three_in_the_tail, balls, 1), ValueError,
         "volume holds 3 at [15, 15, 70]: only 0 and 1 mark the set (or use a bool array)"),
        (lambda: talvik.estimate(good.astype(">i2"), balls, 1), ValueError,
         "volume's elements (>i2) are not in the machine's byte order: use volume.astype(bool)"),
        (lambda: talvik.estimate(good[:8, :8, :8], balls, 1), talvik.Error,
         "Data set 'volume' is too small: it is 8 x 8 x 8 voxels, and the measuring window "
         "needs at least 11 along every axis."),
        (lambda: talvik.estimate(good, "/nonexistent/balls.txt", 1), talvik.Error,
         "Error opening file '/nonexistent/balls.txt' for reading."),
        (lambda: talvik.estimate(good, balls, 9), talvik.Error,
         "Given epsilon '9' is out of range."),
        (lambda: talvik.estimate(good, balls, 1, threads=0), ValueError,
         "threads must be from 1 to 256, not 0"),
        (lambda: talvik.estimate(good, 3, 1), TypeError,
         "balls must be a path (str, bytes or os.PathLike), not int"),
        (lambda: talvik.estimate(good, talvik.read_balls(balls), 1, store_de=True), ValueError,
         "store_de=True needs the balls file's path: a talvik.Balls keeps the values it "
         "computes"),
        # A read-only view of one element: the volume cannot be allocated.
        (lambda: talvik.estimate(np.broadcast_to(np.True_, (2**31 - 1, 2**15, 2**15)), balls, 1),
         MemoryError, "Memory allocation error."),
        (lambda: talvik.estimate(np.broadcast_to(np.True_, (11, 2**16, 2**16)), balls, 1),
         ValueError, "volume of shape (11, 65536, 65536) is too large: a slice holds at most "
         "2147483639 voxels (y * x)"),
        (lambda: talvik.save_data_set("/nonexistent/folder", good), talvik.Error,
         "Error creating directory /nonexistent/folder!"),
        (lambda: talvik.save_data_set("unused", np.zeros((1001, 1, 1), bool)), ValueError,
         "a data set holds at most 1000 slices (slice000.pbm to slice999.pbm), not 1001"),
        (lambda: talvik.load_data_set(EXAMPLES), talvik.Error,
         f"Directory '{EXAMPLES}' does not contain bitmaps."),
    ]


@pytest.mark.parametrize("call, error, message", error_cases())
def test_every_failure_is_an_exception_with_its_message(call, error, message):
    with pytest.raises(error, match=f"^{re.escape(message)}$"):
        call()


def test_a_bad_balls_file_leaves_the_interpreter_running(tmp_path):
    (tmp_path / "bad").write_text("4,1\n1,0\n")
    with pytest.raises(talvik.Error, match=r"^discretized balls: Invalid file format\.$"):
        talvik.read_balls(tmp_path / "bad")
    volume = talvik.load_data_set(BOOLEAN64)
    with pytest.raises(talvik.Error, match=r"^discretized balls: Invalid file format\.$"):
        talvik.estimate(volume, tmp_path / "bad", 1)
    assert lines(talvik.estimate(volume, BALLS_R1_5, 5)) == program(BALLS_R1_5, BOOLEAN64, 5)


def test_the_estimate_releases_the_gil():
    volume = np.tile(talvik.load_data_set(BOOLEAN64), (2, 2, 2))
    done = False
    started = threading.Event()

    def estimate():
        nonlocal done
        started.set()
        for _ in range(5):
            talvik.estimate(volume, BALLS_R1_5, 5)
        done = True

    # With switching this rare, the waiting thread runs before the estimates end only when
    # the estimating thread gives the GIL up.
    interval = sys.getswitchinterval()
    sys.setswitchinterval(100)
    try:
        worker = threading.Thread(target=estimate)
        worker.start()
        started.wait()
        ran_during_the_estimates = not done
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    assert ran_during_the_estimates


@pytest.fixture(scope="module")
def tiff_stack(tmp_path_factory):
    """A corner of boolean64 as slices, and as an 8-bit greyscale TIFF stack made of them by
    ImageMagick: black objects on white."""
    convert = shutil.which("convert") or shutil.which("magick")
    if convert is None:
        pytest.skip("ImageMagick is not installed (Debian package imagemagick)")
    work = tmp_path_factory.mktemp("tiff")
    talvik.save_data_set(work / "slices", talvik.load_data_set(BOOLEAN64)[:16, :40, :48])
    subprocess.run([convert, *sorted((work / "slices").glob("*.pbm")), "-depth", "8", "-type",
                    "Grayscale", work / "stack.tif"], check=True)
    return convert, work / "slices", work / "stack.tif"


def test_a_tiff_stack_read_with_tifffile_gives_what_its_pbm_slices_give(tiff_stack, tmp_path):
    tifffile = pytest.importorskip("tifffile")
    convert, slices, stack = tiff_stack
    # ImageMagick's route: every page thresholded into a PBM slice.
    (tmp_path / "converted").mkdir()
    subprocess.run([convert, stack, "-threshold", "50%", tmp_path / "converted/slice%04d.pbm"],
                   check=True)
    expected = program(BALLS_R1_5, tmp_path / "converted", 2)
    assert expected == program(BALLS_R1_5, slices, 2)
    pixels = tifffile.imread(stack)
    assert pixels.shape == (16, 40, 48) and pixels.dtype == np.uint8
    assert lines(talvik.estimate(pixels <= 127, BALLS_R1_5, 2)) == expected


def test_the_example_prints_the_programs_lines_and_saves_its_plot(tiff_stack, tmp_path):
    _, slices, stack = tiff_stack
    run = subprocess.run(
        [sys.executable, SOURCE / "examples/python/estimate_tiff_stack.py", stack,
         tmp_path / "fit.png"], capture_output=True, text=True, check=True)
    expected = program(EXAMPLES / "balls_fine.txt", slices, 1, "/a")
    # The same three results and range; the standard errors of so small a window are not
    # numbers, which Python and C print with different signs.
    assert run.stdout.splitlines()[:3] == expected.splitlines()[:3]
    assert run.stdout.splitlines()[-1] == expected.splitlines()[-1]
    assert run.stdout.splitlines()[-1].startswith("Balls used: 1..")
    assert (tmp_path / "fit.png").read_bytes().startswith(b"\x89PNG")


def test_the_install_puts_the_module_where_python_imports_it(tmp_path):
    build = os.environ["STEREOLOGY_BUILD"]
    subprocess.run([os.environ["CMAKE_COMMAND"], "--install", build, "--component", "python", "--prefix", tmp_path],
                   check=True, capture_output=True)
    packages = tmp_path / os.environ["STEREOLOGY_PYTHON_INSTALL_DIR"]
    run = subprocess.run([sys.executable, "-c", "import talvik; print(talvik.__file__)"],
                         env={**os.environ, "PYTHONPATH": str(packages)}, cwd=tmp_path,
                         capture_output=True, text=True, check=True)
    assert pathlib.Path(run.stdout.strip()).parent == packages
