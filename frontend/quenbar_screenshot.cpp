// Renders Quenbar's dialog after a finished run, without a display, and saves it as an image:
//     quenbar_screenshot [--results] [--table TEXT_FILE] OUTPUT.png BALLS_FILE DATA_SET_DIR...
// The run uses a copy of the balls file, which the estimator may complete, and the talvik
// beside this program. With --results the run is verbose and the image shows the Results tab
// with the plot of the first data set's fit. --table also writes the Results table as shown,
// one line per row, cells separated by tabs, so that two renderings can be compared as text.
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "main_dialog.h"
#include "results_view.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    const bool results = args.size() > 1 && args[1] == QStringLiteral("--results");
    if (results) {
        args.removeAt(1);
    }
    QString table_path;
    if (args.size() > 2 && args[1] == QStringLiteral("--table")) {
        table_path = args[2];
        args.remove(1, 2);
    }
    if (args.size() < 4) {
        std::fprintf(stderr,
                     "usage: quenbar_screenshot [--results] [--table TEXT_FILE] OUTPUT.png "
                     "BALLS_FILE DATA_SET_DIR...\n");
        return 1;
    }
    QTemporaryDir scratch;
    const QString balls = scratch.filePath(QStringLiteral("balls.txt"));
    if (!scratch.isValid() || !QFile::copy(args[2], balls)) {
        std::fprintf(stderr, "quenbar_screenshot: cannot copy '%s'\n", qPrintable(args[2]));
        return 1;
    }
    bool failed = false;
    quenbar::DialogServices services = quenbar::SystemServices();
    services.show_error = [&failed](QWidget*, const QString&, const QString& text) {
        std::fprintf(stderr, "quenbar_screenshot: %s\n", qPrintable(text));
        failed = true;
    };
    quenbar::CMainDialog dialog(services);
    dialog.resize(results ? QSize(1320, 900) : QSize(720, 640));
    dialog.show();
    auto* list = dialog.findChild<quenbar::CEditListBox*>(QStringLiteral("dataSetList"));
    for (qsizetype i = 3; i < args.size(); ++i) {
        list->AddEntry(args[i].toStdString());
    }
    // The balls field last, as if typed and finished with Enter: it re-evaluates Start.
    auto* balls_field = dialog.findChild<QLineEdit*>(QStringLiteral("ballsFileEdit"));
    balls_field->setText(balls);
    emit balls_field->returnPressed();
    if (results) {
        dialog.findChild<QCheckBox*>(QStringLiteral("verboseCheck"))->setChecked(true);
    }
    auto* start = dialog.findChild<QPushButton*>(QStringLiteral("startButton"));
    if (failed || !start->isEnabled()) {
        std::fprintf(stderr, "quenbar_screenshot: the run cannot start\n");
        return 1;
    }
    QEventLoop loop;
    QObject::connect(&dialog, &quenbar::CMainDialog::runEnded, &loop, &QEventLoop::quit);
    start->click();
    if (dialog.IsRunning()) {
        loop.exec();
    }
    if (results) {
        dialog.findChild<QTabWidget*>(QStringLiteral("outputTabs"))->setCurrentIndex(1);
        dialog.Results().SelectRow(0);
    }
    QApplication::processEvents();
    if (!table_path.isEmpty()) {
        const QAbstractItemModel& model = dialog.Results().Model();
        QString text;
        for (int row = 0; row < model.rowCount(); ++row) {
            for (int column = 0; column < model.columnCount(); ++column) {
                text += (column > 0 ? QStringLiteral("\t") : QString()) +
                        model.data(model.index(row, column)).toString();
            }
            text += u'\n';
        }
        QFile table(table_path);
        if (!table.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            table.write(text.toUtf8()) < 0 || !table.flush()) {
            std::fprintf(stderr, "quenbar_screenshot: cannot write the table '%s'\n",
                         qPrintable(table_path));
            return 1;
        }
    }
    if (!dialog.grab().save(args[1])) {
        std::fprintf(stderr, "quenbar_screenshot: cannot write the image '%s'\n",
                     qPrintable(args[1]));
        return 1;
    }
    return 0;
}
