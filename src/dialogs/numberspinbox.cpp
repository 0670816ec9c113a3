#include "numberspinbox.h"

#include <QLineEdit>

CNumberSpinBox::CNumberSpinBox(QWidget* parent) : QSpinBox(parent) {
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        text.trimmed().toInt(&m_bTypedNumber);
        m_strTyped = text;
    });
}

void CNumberSpinBox::ShowTyped() {
    if (!m_bTypedNumber)
        lineEdit()->setText(m_strTyped);
}

void CNumberSpinBox::SetNumber(int value) {
    MarkNumber();
    setValue(value);
}

void CNumberSpinBox::stepBy(int steps) {
    MarkNumber();
    QSpinBox::stepBy(steps);
}
