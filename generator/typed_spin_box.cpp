#include "typed_spin_box.h"

#include <QLineEdit>
#include <algorithm>

#include "formats/numbers.h"

namespace brisolt {

CTypedSpinBox::CTypedSpinBox(QWidget* parent) : QAbstractSpinBox(parent) {
    connect(lineEdit(), &QLineEdit::textChanged, this, &CTypedSpinBox::textChanged);
}

void CTypedSpinBox::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    update();
}

void CTypedSpinBox::setValue(int value) {
    lineEdit()->setText(QString::number(value));
}

std::optional<long long> CTypedSpinBox::typedValue() const {
    int64_t value = 0;
    if (!formats::parse_integer(lineEdit()->text().trimmed().toStdString(), value)) {
        return std::nullopt;
    }
    return value;
}

void CTypedSpinBox::stepBy(int steps) {
    const std::optional<long long> value = typedValue();
    if (!value) {
        return;
    }
    // A number outside the range steps to the nearer end of it.
    long long stepped = std::clamp<long long>(*value, m_minimum, m_maximum);
    if (stepped == *value) {
        stepped = std::clamp<long long>(*value + steps, m_minimum, m_maximum);
    }
    setValue(static_cast<int>(stepped));
    selectAll();
}

QAbstractSpinBox::StepEnabled CTypedSpinBox::stepEnabled() const {
    const std::optional<long long> value = typedValue();
    if (isReadOnly() || !value) {
        return StepNone;
    }
    StepEnabled enabled = StepNone;
    if (*value < m_maximum) {
        enabled |= StepUpEnabled;
    }
    if (*value > m_minimum) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

}  // namespace brisolt
