// Handles the next modal window a test's action opens (a message box, the settings sheet)
// from inside that window's own event loop.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>

class ModalHandler {
public:
    /// Runs action on the first modal widget of type T that is not `ignore`, then stops.
    template <typename T> void Arm(std::function<void(T*)> action, QWidget* ignore = nullptr) {
        m_timer.stop();
        m_timer.disconnect();
        m_bHandled = false;
        m_timer.setInterval(5);
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this, action, ignore] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* widget = qobject_cast<T*>(modal);
            if (!widget || widget == ignore || !widget->isVisible()) {
                // Never hang a test on a window nobody handles: close it after a while.
                if (m_clock.elapsed() > kGiveUpMs && modal && modal != ignore) {
                    m_timer.stop();
                    modal->close();
                }
                return;
            }
            m_timer.stop();
            m_bHandled = true;
            action(widget);
        });
        m_timer.start();
    }
    /// Records the next message box's caption and text and closes it with OK.
    void ArmMessageBox(QWidget* ignore = nullptr) {
        m_strCaption.clear();
        m_strText.clear();
        Arm<QMessageBox>(
            [this](QMessageBox* box) {
                m_strCaption = box->windowTitle();
                m_strText = box->text();
                box->accept();
            },
            ignore);
    }
    void Disarm() { m_timer.stop(); }
    bool Handled() const { return m_bHandled; }
    QString Caption() const { return m_strCaption; }
    QString Text() const { return m_strText; }

private:
    static constexpr qint64 kGiveUpMs = 10000;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_bHandled = false;
    QString m_strCaption;
    QString m_strText;
};
