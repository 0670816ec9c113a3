// A spin box that remembers a typed text that is not a number. Losing the focus (a click on
// OK), being hidden (another tab) and Enter put the last value back over such a text; the
// dialog must refuse it all the same, and shows it again for the user to correct.
#pragma once

#include <QSpinBox>
#include <QString>

class CNumberSpinBox : public QSpinBox {
public:
    explicit CNumberSpinBox(QWidget* parent);

    /// False while the last text typed was not a number (an empty field included).
    bool HoldsNumber() const { return m_bTypedNumber; }
    /// Puts the refused text back in the field.
    void ShowTyped();
    void SetNumber(int value);
    void stepBy(int steps) override;

protected:
    /// The arrows and SetNumber put a number in the field.
    void MarkNumber() { m_bTypedNumber = true; }

private:
    bool m_bTypedNumber = true;
    QString m_strTyped;
};
