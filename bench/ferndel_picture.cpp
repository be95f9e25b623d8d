// Google Benchmark timings of Ferndel on a 4000 x 4000 slice: reading it, building its picture,
// painting the picture pane fitted and at 1:1, and the whole of Info as the user sees it.
//     QT_QPA_PLATFORM=offscreen build/bin/ferndel_picture
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QPixmap>
#include <filesystem>
#include <fstream>
#include <string>

#include "inspector_dialog.h"
#include "slice_inspection.h"
#include "slice_picture.h"
#include "slice_view.h"
#include "workloads.h"

namespace {

constexpr int32_t kSide = 4000;

// A Boolean-model slice like the generator's, written once into a scratch folder.
const std::string& slice_path() {
    static const std::string path = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "ferndel-bench-XXXXXX");
        if (::mkdtemp(folder.data()) == nullptr) {
            std::abort();
        }
        const formats::BitVolume volume =
            talvik::workloads::boolean_model(kSide, kSide, 1, 0.3, 10, 80, 11);
        const std::string file = folder + "/slice000.pbm";
        std::ofstream(file, std::ios::binary) << talvik::workloads::slice_file_bytes(volume, 0);
        return file;
    }();
    return path;
}

const ferndel::Inspection& inspection() {
    static const ferndel::Inspection result = ferndel::inspect_slice(slice_path());
    return result;
}

void BM_InspectSlice(benchmark::State& state) {
    for (auto _ : state) {
        ferndel::Inspection result = ferndel::inspect_slice(slice_path());
        benchmark::DoNotOptimize(result.bits.bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_InspectSlice)->Unit(benchmark::kMillisecond);

void BM_BuildPicture(benchmark::State& state) {
    const ferndel::Inspection& slice = inspection();
    for (auto _ : state) {
        QImage picture = ferndel::slice_picture(slice.bits, slice.width, slice.height);
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_BuildPicture)->Unit(benchmark::kMillisecond);

// One full repaint of a 512 x 512 pane; range(0) 1 for 1:1, 0 for the picture fitted.
void BM_PaintPane(benchmark::State& state) {
    const ferndel::Inspection& slice = inspection();
    ferndel::CSliceView view;
    view.resize(512, 512);
    view.set_picture(ferndel::slice_picture(slice.bits, slice.width, slice.height));
    if (state.range(0) == 1) {
        view.show_actual_size();
    }
    state.SetLabel(QStringLiteral("zoom %1").arg(view.zoom()).toStdString());
    for (auto _ : state) {
        QPixmap shown = view.viewport()->grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
}
BENCHMARK(BM_PaintPane)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Info from the click to the painted dialog: read, count, picture, neighbours, paint.
void BM_InfoAndPaint(benchmark::State& state) {
    ferndel::CInspectorDialog dialog([](QWidget*, const QString&, const QString&) { std::abort(); },
                                     [](QWidget*) { return QString(); });
    dialog.show();
    for (auto _ : state) {
        dialog.open_slice(QString::fromStdString(slice_path()));
        QPixmap shown = dialog.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
}
BENCHMARK(BM_InfoAndPaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(std::filesystem::path(slice_path()).parent_path());
    return 0;
}
