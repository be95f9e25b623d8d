// A picture of a window as it is drawn, without a display (QT_QPA_PLATFORM=offscreen).
#pragma once

#include <QString>

class QWidget;

namespace brisolt {

// Shows `window`, lets it lay itself out and saves what it draws as a PNG file.
bool save_screenshot(QWidget& window, const QString& path);

}  // namespace brisolt
