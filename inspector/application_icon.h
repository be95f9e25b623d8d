// Ferndel's icon, drawn from the SVG compiled into the program.
#pragma once

#include <QIcon>

namespace ferndel {

QIcon application_icon();

}  // namespace ferndel
