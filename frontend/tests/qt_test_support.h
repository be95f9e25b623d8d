// Qt's strings as text in GoogleTest's failure messages, and what the tests need to know of
// the Qt installation.
#pragma once

#include <QImageReader>
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '{';
    for (const QString& text : list) {
        *out << " \"" << text.toStdString() << '"';
    }
    *out << " }";
}

// SVG icons are drawn by a plugin (Debian package libqt6svg6) that a minimal Qt lacks.
inline bool svg_icons_available() {
    return QImageReader::supportedImageFormats().contains("svg");
}
