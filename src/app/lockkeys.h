// The lights of the lock keys for the status bar, reported as they change. Under X11 they
// are read from the X keyboard extension; under Wayland, where no program may ask, from the
// modifier masks Qt's Wayland plug-in gives each key event, so Caps Lock and Num Lock show
// once a key is typed in the window (kana and scroll lock have no modifier there). Where no
// lock state can be had (offscreen, a build without xcb-xkb) every light stays off.
#pragma once

#include <QObject>

#include <array>
#include <memory>

class CLockKeys : public QObject {
    Q_OBJECT
public:
    /// In the order of the status bar's panes.
    enum Key { Kana, Caps, Num, Scroll, KeyCount };

    /// Where the lights come from: the platform's own way, or the key events' native
    /// modifiers (Wayland's way) on any platform.
    enum class Source { Platform, KeyEvents };

    explicit CLockKeys(QObject* parent = nullptr, Source source = Source::Platform);
    ~CLockKeys() override;

    /// Whether the lock state is known at all.
    bool IsAvailable() const { return m_pX11 || m_pKeyEvents; }
    bool IsOn(Key key) const { return m_on[size_t(key)]; }

Q_SIGNALS:
    void changed();

private:
    void Refresh();
    void Update(const std::array<bool, KeyCount>& on);

    class X11;
    class KeyEvents;
    std::unique_ptr<X11> m_pX11;
    std::unique_ptr<KeyEvents> m_pKeyEvents;
    std::array<bool, KeyCount> m_on{};
};
