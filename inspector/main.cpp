// Ferndel, the slice inspector: one dialog; the program ends when it closes.
//     Ferndel [FILE]
// FILE, when given, is inspected at start as if it had been picked with Browse.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "application_icon.h"
#include "inspector_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferndel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setWindowIcon(ferndel::application_icon());
    QGuiApplication::setDesktopFileName(QStringLiteral("ferndel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a PBM slice bitmap, its size and its number of black pixels."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The slice to inspect at start."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "Ferndel: one slice file at most\n%s", qPrintable(parser.helpText()));
        return 1;
    }

    ferndel::CInspectorDialog dialog;
    if (!files.isEmpty()) {
        // Once the dialog is on screen, so that a message about the file has its owner.
        QTimer::singleShot(0, &dialog,
                           [&dialog, file = files.first()] { dialog.open_slice(file); });
    }
    dialog.exec();
    return 0;
}
