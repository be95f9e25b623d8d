// Renders Ferndel's dialog without a display and saves it as an image, for documentation:
//     ferndel_screenshot OUTPUT.png [SLICE.pbm]
// With a slice, the dialog is shown as `Ferndel SLICE.pbm` opens: the slice inspected, its
// picture fitted to the pane.
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "inspector_dialog.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: ferndel_screenshot OUTPUT.png [SLICE.pbm]\n");
        return 1;
    }
    const QString output = args[1];
    const QString slice = args.size() == 3 ? args[2] : QString();
    bool failed = false;
    ferndel::CInspectorDialog dialog(
        [&failed](QWidget*, const QString&, const QString& text) {
            std::fprintf(stderr, "ferndel_screenshot: %s\n", qPrintable(text));
            failed = true;
        },
        [](QWidget*) { return QString(); });
    dialog.show();
    if (!slice.isEmpty()) {
        dialog.open_slice(slice);
        if (failed) {
            return 1;
        }
    }
    QApplication::processEvents();
    if (!dialog.grab().save(output)) {
        std::fprintf(stderr, "ferndel_screenshot: cannot write the image '%s'\n",
                     qPrintable(output));
        return 1;
    }
    return 0;
}
