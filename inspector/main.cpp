// Ferndel, the slice inspector: one dialog; the program ends when it closes.
#include <QApplication>

#include "application_icon.h"
#include "inspector_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferndel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setWindowIcon(ferndel::application_icon());
    QGuiApplication::setDesktopFileName(QStringLiteral("ferndel"));
    ferndel::CInspectorDialog dialog;
    dialog.exec();
    return 0;
}
