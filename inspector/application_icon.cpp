#include "application_icon.h"

namespace ferndel {

QIcon application_icon() {
    return QIcon(QStringLiteral(":/ferndel/ferndel.svg"));
}

}  // namespace ferndel
