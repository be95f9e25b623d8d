#include "dialog_screenshot.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

namespace brisolt {

bool save_screenshot(QWidget& window, const QString& path) {
    window.show();
    QApplication::processEvents();
    return window.grab().save(path, "PNG");
}

}  // namespace brisolt
