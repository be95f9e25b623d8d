#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "batch_mode.h"

#ifdef BRISOLT_WITH_DIALOG
#include <QApplication>
#include <QFile>

#include "dialog_screenshot.h"
#include "generator_dialog.h"
#endif

int main(int argc, char** argv) {
    // Decided before any window-system object exists: the batch mode needs no display.
    if (brisolt::wants_batch_mode(argc, argv)) {
        return brisolt::run_batch(std::vector<std::string>(argv + 1, argv + argc), stdin, stdout,
                                  stderr, std::time(nullptr), ::isatty(STDERR_FILENO) == 1);
    }
#ifdef BRISOLT_WITH_DIALOG
    QApplication app(argc, argv);
    brisolt::CGeneratorDialog dialog;
    const QStringList args = QApplication::arguments();
    const qsizetype shot = args.indexOf(QStringLiteral("--screenshot"));
    if (shot >= 0) {
        if (shot + 1 >= args.size()) {
            std::fputs("Brisolt: --screenshot needs a file name.\n", stderr);
            return 2;
        }
        if (!brisolt::save_screenshot(dialog, args[shot + 1])) {
            std::fprintf(stderr, "Brisolt: cannot write the screenshot '%s'.\n",
                         QFile::encodeName(args[shot + 1]).constData());
            return 1;
        }
        return 0;
    }
    dialog.exec();
    return 0;
#else
    std::fputs("Brisolt: built without its dialog; use --batch (see Brisolt --help).\n", stderr);
    return 1;
#endif
}
