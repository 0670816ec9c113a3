// The lights of the lock keys for the status bar, read from the X keyboard extension and
// reported as they change. Where no lock state can be had (Wayland, offscreen, a build
// without xcb-xkb) every light stays off.
#pragma once

#include <QObject>

#include <array>
#include <memory>

class CLockKeys : public QObject {
    Q_OBJECT
public:
    /// In the order of the status bar's panes.
    enum Key { Kana, Caps, Num, Scroll, KeyCount };

    explicit CLockKeys(QObject* parent = nullptr);
    ~CLockKeys() override;

    /// Whether the lock state is known at all.
    bool IsAvailable() const { return m_pX11 != nullptr; }
    bool IsOn(Key key) const { return m_on[size_t(key)]; }

Q_SIGNALS:
    void changed();

private:
    void Refresh();

    class X11;
    std::unique_ptr<X11> m_pX11;
    std::array<bool, KeyCount> m_on{};
};
