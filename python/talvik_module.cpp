// The Python module talvik: the estimator's library for numpy arrays. Every computation runs
// with the GIL released; every failure reaches Python as an exception (talvik.Error with
// talvik's message, ValueError, TypeError or MemoryError), never as the end of the process.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "array_volume.h"
#include "data_set_writer.h"
#include "driver/engines.h"
#include "driver/estimate.h"
#include "formats/balls_file.h"
#include "formats/data_set.h"
#include "formats/errors.h"
#include "formats/slice_file.h"

namespace py = pybind11;

namespace pytalvik {
namespace {

// Slices are named slice000.pbm .. slice999.pbm; slice1000.pbm would sort before slice101.pbm
// and load out of z order.
constexpr int64_t kMaxSavedSlices = 1000;

// The balls of a discretized-balls file and the path that messages name it by. Correction
// values that an estimate computes are kept here.
struct Balls {
    formats::BallsFile file;
    std::string path;
};

// What estimate() returns. With adaptive=True it also carries talvik's /a results: the
// standard errors, the balls 1..balls_used that the fit used, and the warnings.
struct Result {
    talvik::IntrinsicVolumes volumes;
    std::vector<double> fractions;
    std::vector<double> de;
    bool adaptive = false;
    size_t balls_used = 0;
    std::optional<std::array<double, 3>> standard_errors;  // V2, V1, V0
    std::vector<std::string> warnings;
};

// The one place where talvik's estimate becomes the module's result. The fixed fit uses every
// ball and has no standard errors; /a adds its standard errors, its k and its warnings.
Result result_of(talvik::Estimate estimate, bool adaptive) {
    Result result;
    result.volumes = estimate.volumes;
    result.balls_used = estimate.balls_used;
    result.fractions = std::move(estimate.fractions);
    result.de = std::move(estimate.de);
    result.adaptive = adaptive;
    if (adaptive) {
        const talvik::IntrinsicVolumes& se = estimate.standard_errors;
        result.standard_errors = std::array<double, 3>{se.v2, se.v1, se.v0};
        for (talvik::EstimateWarning& warning : estimate.warnings) {
            result.warnings.push_back(std::move(warning.text));
        }
    }
    return result;
}

template <typename T>
py::array_t<T> numpy_copy(const std::vector<T>& values) {
    return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

template <typename T>
py::array_t<T> per_ball(const Balls& balls, T formats::DiscretizedBall::*field) {
    std::vector<T> values;
    for (const formats::DiscretizedBall& ball : balls.file.balls) {
        values.push_back(ball.*field);
    }
    return numpy_copy(values);
}

// A path as Python shows it.
py::str shown_path(const std::string& path) {
    return py::module_::import("os").attr("fsdecode")(py::bytes(path));
}

// A file or folder argument as the bytes that the operating system takes.
std::string path_argument(const py::handle& value, const char* name) {
    const py::module_ os = py::module_::import("os");
    if (!py::isinstance<py::str>(value) && !py::isinstance<py::bytes>(value) &&
        !py::isinstance(value, os.attr("PathLike"))) {
        throw py::type_error(
            std::string(name) + " must be a path (str, bytes or os.PathLike), not " +
            py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
    }
    return os.attr("fsencode")(value).cast<std::string>();
}

// The volume argument as an array, without a copy when it is one already.
py::array array_argument(const py::handle& volume) {
    py::array array = py::array::ensure(volume);
    if (!array) {
        throw py::type_error(
            "volume must be a numpy array, not " +
            py::str(py::type::handle_of(volume).attr("__name__")).cast<std::string>());
    }
    return array;
}

ArrayView volume_view(const py::array& array) {
    if (array.ndim() != 3) {
        throw py::value_error("volume must be a 3D array (z, y, x), not " +
                              std::to_string(array.ndim()) + "D");
    }
    const py::dtype dtype = array.dtype();
    const std::string dtype_name = py::str(py::object(dtype)).cast<std::string>();
    ArrayView view;
    switch (dtype.kind()) {
        case 'b':
            view.kind = ElementKind::boolean;
            break;
        case 'i':
            view.kind = ElementKind::signed_integer;
            break;
        case 'u':
            view.kind = ElementKind::unsigned_integer;
            break;
        default:
            throw py::value_error("volume must hold bool or 0/1 integers, not " + dtype_name);
    }
    if (!dtype.attr("isnative").cast<bool>()) {
        throw py::value_error("volume's elements (" + dtype_name +
                              ") are not in the machine's byte order: use volume.astype(bool)");
    }
    const std::string shape = py::str(array.attr("shape")).cast<std::string>();
    if (array.size() == 0) {
        throw py::value_error("volume is empty: its shape is " + shape);
    }
    for (py::ssize_t axis = 0; axis < 3; ++axis) {
        if (array.shape(axis) > INT32_MAX) {
            throw py::value_error("volume of shape " + shape + " is too large: at most " +
                                  std::to_string(INT32_MAX) + " voxels along each axis");
        }
        view.shape[static_cast<size_t>(axis)] = array.shape(axis);
        view.strides[static_cast<size_t>(axis)] = array.strides(axis);
    }
    // As in a slice file; it also keeps the voxel volume's word count within 64 bits.
    if (view.shape[1] * view.shape[2] > formats::kMaxSlicePixels) {
        throw py::value_error("volume of shape " + shape + " is too large: a slice holds at most " +
                              std::to_string(formats::kMaxSlicePixels) + " voxels (y * x)");
    }
    view.data = static_cast<const char*>(array.data());
    view.item_size = static_cast<size_t>(array.itemsize());
    return view;
}

unsigned environment_threads() {
    return talvik::engine_settings_from_environment().threads;
}

Result estimate_array(const py::handle& volume, const py::handle& balls, int64_t epsilon,
                      bool adaptive, std::optional<int64_t> threads, bool store_de) {
    talvik::EngineSettings settings = talvik::engine_settings_from_environment();
    if (threads) {
        if (*threads < 1 || *threads > talvik::kMaxThreads) {
            throw py::value_error("threads must be from 1 to " +
                                  std::to_string(talvik::kMaxThreads) + ", not " +
                                  std::to_string(*threads));
        }
        settings.threads = static_cast<unsigned>(*threads);
    }
    if (epsilon < INT32_MIN + 1 || epsilon > INT32_MAX) {
        throw py::value_error("epsilon " + std::to_string(epsilon) + " is out of range");
    }
    Balls* held = nullptr;
    std::string balls_path;
    if (py::isinstance<Balls>(balls)) {
        held = balls.cast<Balls*>();
        if (store_de) {
            throw py::value_error(
                "store_de=True needs the balls file's path: a talvik.Balls keeps the values "
                "it computes");
        }
    } else {
        balls_path = path_argument(balls, "balls");
    }
    const py::array array = array_argument(volume);
    const ArrayView view = volume_view(array);

    formats::BallsFile file = held ? held->file : formats::BallsFile{};
    // The correction values are the Balls' to keep even when the estimate fails after them.
    const auto keep_de = [&] {
        if (held && held->file.de_missing && !file.de_missing) {
            held->file = file;
        }
    };
    talvik::Estimate estimate;
    try {
        py::gil_scoped_release release;
        if (!held) {
            file = formats::read_balls_file(balls_path);
        }
        const talvik::EstimateRequest request{"volume", held ? held->path : balls_path,
                                              static_cast<int32_t>(epsilon - 1), adaptive};
        std::function<void(const formats::BallsFile&)> store;
        if (store_de) {
            store = [&](const formats::BallsFile& completed) {
                formats::write_balls_file(balls_path, completed.balls);
            };
        }
        estimate =
            talvik::estimate(word_volume_from_array(view, settings.threads), file, request,
                             talvik::estimator_engines(settings), talvik::VerboseLog(false), store);
    } catch (...) {
        keep_de();
        throw;
    }
    keep_de();
    return result_of(std::move(estimate), adaptive);
}

Balls read_balls(const py::handle& path) {
    Balls balls;
    balls.path = path_argument(path, "path");
    py::gil_scoped_release release;
    balls.file = formats::read_balls_file(balls.path);
    return balls;
}

py::array_t<bool> load_data_set(const py::handle& folder) {
    const std::string directory = path_argument(folder, "folder");
    const unsigned threads = environment_threads();
    formats::WordVolume volume;
    {
        py::gil_scoped_release release;
        volume = formats::load_data_set(directory);
    }
    py::array_t<bool> array({static_cast<py::ssize_t>(volume.slices()),
                             static_cast<py::ssize_t>(volume.height()),
                             static_cast<py::ssize_t>(volume.width())});
    uint8_t* out = reinterpret_cast<uint8_t*>(array.mutable_data());
    py::gil_scoped_release release;
    array_from_word_volume(volume, out, threads);
    return array;
}

void save_data_set(const py::handle& folder, const py::handle& volume) {
    const std::string directory = path_argument(folder, "folder");
    const py::array array = array_argument(volume);
    const ArrayView view = volume_view(array);
    if (view.shape[0] > kMaxSavedSlices) {
        throw py::value_error("a data set holds at most " + std::to_string(kMaxSavedSlices) +
                              " slices (slice000.pbm to slice999.pbm), not " +
                              std::to_string(view.shape[0]));
    }
    const unsigned threads = environment_threads();
    py::gil_scoped_release release;
    const formats::BitVolume packed = formats::to_bit_volume(word_volume_from_array(view, threads));
    brisolt::RunError error;
    if (!brisolt::volume_write(packed, directory, "", error)) {
        throw formats::FatalError(1, error.text);
    }
}

std::string without_final_newline(std::string message) {
    if (!message.empty() && message.back() == '\n') {
        message.pop_back();
    }
    return message;
}

}  // namespace
}  // namespace pytalvik

PYBIND11_MODULE(talvik, m) {
    using namespace pytalvik;
    m.doc() =
        "Stereology of 3D binary images: talvik's estimate of the intrinsic volume densities V2, "
        "V1 and V0, for numpy arrays (z, y, x) whose true voxels mark the set.";

    static py::exception<formats::FatalError> error(m, "Error");
    error.doc() = "A failure that talvik reports, with talvik's message.";
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) {
                std::rethrow_exception(failure);
            }
        } catch (const formats::FatalError& fatal) {
            error(without_final_newline(fatal.what()).c_str());
        } catch (const std::bad_alloc&) {
            PyErr_SetString(PyExc_MemoryError, "Memory allocation error.");
        }
    });

    py::class_<Balls>(m, "Balls",
                      "The balls of a discretized-balls file, from talvik.read_balls(path). "
                      "Correction values that talvik.estimate computes for it are kept here.")
        .def_property_readonly(
            "path", [](const Balls& b) { return shown_path(b.path); },
            "The file the balls were read from.")
        .def_property_readonly(
            "sizes", [](const Balls& b) { return per_ball(b, &formats::DiscretizedBall::size); },
            "Each ball's size n: it reaches n - 1 voxels from its centre along each axis.")
        .def_property_readonly(
            "de", [](const Balls& b) { return per_ball(b, &formats::DiscretizedBall::de); },
            "Each ball's correction value de; 0 where the file gave none.")
        .def_property_readonly(
            "de_missing", [](const Balls& b) { return b.file.de_missing; },
            "Whether some ball still lacks its correction value.")
        .def_property_readonly(
            "lengths",
            [](const Balls& b) {
                py::list tables;
                for (const formats::DiscretizedBall& ball : b.file.balls) {
                    py::array_t<int32_t> table({ball.size, ball.size});
                    std::copy(ball.lengths.begin(), ball.lengths.end(), table.mutable_data());
                    tables.append(table);
                }
                return tables;
            },
            "Each ball's n x n table: entry [|dy|, |dx|] is the length along z of its column.")
        .def("__len__", [](const Balls& b) { return b.file.balls.size(); })
        .def("__repr__", [](const Balls& b) {
            return py::str("<talvik.Balls {!r}: {} balls, de {}>")
                .format(shown_path(b.path), b.file.balls.size(),
                        b.file.de_missing ? "missing" : "stored");
        });

    const auto standard_error = [](size_t i) {
        return [i](const Result& r) -> std::optional<double> {
            if (!r.standard_errors) {
                return std::nullopt;
            }
            return (*r.standard_errors)[i];
        };
    };
    py::class_<Result>(m, "Estimate", "The result of talvik.estimate.")
        .def_property_readonly(
            "V2", [](const Result& r) { return r.volumes.v2; },
            "Half the surface area per voxel of Xe.")
        .def_property_readonly(
            "V1", [](const Result& r) { return r.volumes.v1; },
            "The integral of mean curvature per voxel of Xe, up to a factor.")
        .def_property_readonly(
            "V0", [](const Result& r) { return r.volumes.v0; },
            "The Euler characteristic per voxel of Xe.")
        .def_property_readonly(
            "fractions", [](const Result& r) { return numpy_copy(r.fractions); },
            "The volume fraction of every ball's shell inside the measuring window.")
        .def_property_readonly(
            "de", [](const Result& r) { return numpy_copy(r.de); },
            "Every ball's correction value de, the abscissa of the Steiner fit.")
        .def_property_readonly("adaptive", [](const Result& r) { return r.adaptive; })
        .def_property_readonly(
            "balls_used", [](const Result& r) { return r.balls_used; },
            "The fit used balls 1 .. balls_used of the file (all of them without adaptive).")
        .def_property_readonly("SE_V2", standard_error(0),
                               "The standard error of V2 with adaptive=True, else None.")
        .def_property_readonly("SE_V1", standard_error(1),
                               "The standard error of V1 with adaptive=True, else None.")
        .def_property_readonly("SE_V0", standard_error(2),
                               "The standard error of V0 with adaptive=True, else None.")
        .def_property_readonly(
            "warnings", [](const Result& r) { return r.warnings; },
            "talvik's warnings about this estimate.")
        .def("__repr__", [](const Result& r) {
            return py::str("<talvik.Estimate V2={!r} V1={!r} V0={!r}, balls 1..{} of {}>")
                .format(r.volumes.v2, r.volumes.v1, r.volumes.v0, r.balls_used, r.fractions.size());
        });

    m.def("estimate", &estimate_array, py::arg("volume"), py::arg("balls"), py::arg("epsilon"),
          py::arg("adaptive") = false, py::arg("threads") = py::none(), py::kw_only(),
          py::arg("store_de") = false,
          R"(Estimates V2, V1 and V0 of the set of true voxels of `volume`, as talvik does.

volume: a 3D numpy array (z, y, x) of bool, or of integers 0 and 1; true marks the set (black
    in a slice). It is read in place, not copied.
balls: the discretized-balls file's path, or a talvik.Balls from read_balls().
epsilon: the epsilon ball, counted from 1 (talvik's /e).
adaptive: talvik's /a: the balls 1..balls_used chosen from the data, and standard errors
  from a block jackknife.
threads: the number of threads; by default TALVIK_THREADS, else every core.
store_de: with a path whose balls lack correction values, write the computed values into the
    file as talvik does. Without it the file is never touched; a talvik.Balls keeps them.

Raises ValueError for a volume of the wrong dtype, shape or values, talvik.Error with
talvik's message for what talvik refuses, and MemoryError.)");
    m.def("read_balls", &read_balls, py::arg("path"),
          "Reads a discretized-balls file into a talvik.Balls.");
    m.def("load_data_set", &load_data_set, py::arg("folder"),
          "Reads a data set (a folder of PBM slices, z in name order) as talvik loads it, into "
          "a bool array (z, y, x), true where a pixel is black.");
    m.def("save_data_set", &save_data_set, py::arg("folder"), py::arg("volume"),
          "Writes `volume` (z, y, x; true or 1 is black) as a data set of slices slice000.pbm "
          ".., as Brisolt writes them: into a hidden folder moved into place whole, so the "
          "folder is never seen half-written. An existing folder keeps its other files.");
}
