// A spin box whose text is exactly what the user typed: nothing is refused, clamped or
// rewritten while typing or when the focus leaves. The arrows (buttons, keys, wheel) step
// the whole number that the text reads as, within the range, and write it back.
#pragma once

#include <QAbstractSpinBox>
#include <optional>

namespace brisolt {

class CTypedSpinBox : public QAbstractSpinBox {
    Q_OBJECT

  public:
    explicit CTypedSpinBox(QWidget* parent = nullptr);

    // The range of the arrows only; typed text may lie outside it.
    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // Shows `value` as a decimal integer.
    void setValue(int value);

    void stepBy(int steps) override;

  signals:
    void textChanged(const QString& text);

  protected:
    StepEnabled stepEnabled() const override;

  private:
    // The text as a whole number, if it is one.
    std::optional<long long> typedValue() const;

    int m_minimum = 0;
    int m_maximum = 99;
};

}  // namespace brisolt
