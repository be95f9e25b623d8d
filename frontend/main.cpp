// Quenbar: the front-end that runs the estimator over many data sets.
#include <QApplication>
#include <QIcon>

#include "main_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quenbar/quenbar.svg")));
    quenbar::CMainDialog dialog;
    dialog.exec();
    return 0;
}
