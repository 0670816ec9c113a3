#include "lockkeys.h"

#include <QGuiApplication>
#include <QKeyEvent>

#if defined(KESV_HAVE_XCB_XKB)
#include <QAbstractNativeEventFilter>
#if QT_CONFIG(xcb)
#define KESV_LOCK_KEYS_FROM_X11 1
#include <xcb/xcb.h>
// The header names a structure member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <cstring>
#endif
#endif

#if defined(KESV_LOCK_KEYS_FROM_X11)

// Asks the server for the named indicators (keymaps number them differently) and hears
// when an indicator changes. It shares Qt's connection, so the events come through a
// native event filter.
class CLockKeys::X11 : public QAbstractNativeEventFilter {
public:
    static std::unique_ptr<X11> Open(CLockKeys* owner) {
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
        if (!connection)
            return nullptr;
        const xcb_query_extension_reply_t* extension =
            xcb_get_extension_data(connection, &xcb_xkb_id);
        if (!extension || !extension->present)
            return nullptr;
        xcb_xkb_use_extension_reply_t* use = xcb_xkb_use_extension_reply(
            connection,
            xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
            nullptr);
        const bool supported = use && use->supported;
        std::free(use);
        if (!supported)
            return nullptr;

        std::unique_ptr<X11> result(new X11(owner, connection, extension->first_event));
        static const char* const names[KeyCount] = {"Kana", "Caps Lock", "Num Lock", "Scroll Lock"};
        xcb_intern_atom_cookie_t cookies[KeyCount];
        for (int i = 0; i < KeyCount; ++i)
            cookies[i] = xcb_intern_atom(connection, 1, uint16_t(std::strlen(names[i])), names[i]);
        for (int i = 0; i < KeyCount; ++i) {
            xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, cookies[i], nullptr);
            result->m_atoms[size_t(i)] = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
            std::free(atom);
        }
        // Only this event kind is touched: Qt's own selection stays as it is.
        const uint16_t events = XCB_XKB_EVENT_TYPE_INDICATOR_STATE_NOTIFY;
        xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, 0, 0,
                              nullptr);
        xcb_flush(connection);
        return result;
    }

    ~X11() override = default;

    std::array<bool, KeyCount> Read() const {
        std::array<bool, KeyCount> on{};
        xcb_xkb_get_named_indicator_cookie_t cookies[KeyCount];
        for (size_t i = 0; i < KeyCount; ++i) {
            if (m_atoms[i] != XCB_ATOM_NONE)
                cookies[i] = xcb_xkb_get_named_indicator(m_pConnection, XCB_XKB_ID_USE_CORE_KBD,
                                                         XCB_XKB_LED_CLASS_DFLT_XI_CLASS,
                                                         XCB_XKB_ID_DFLT_XI_ID, m_atoms[i]);
        }
        for (size_t i = 0; i < KeyCount; ++i) {
            if (m_atoms[i] == XCB_ATOM_NONE)
                continue;
            xcb_xkb_get_named_indicator_reply_t* reply =
                xcb_xkb_get_named_indicator_reply(m_pConnection, cookies[i], nullptr);
            on[i] = reply && reply->found && reply->on;
            std::free(reply);
        }
        return on;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_xkb_indicator_state_notify_event_t*>(message);
        if ((event->response_type & 0x7F) == m_nEventBase &&
            event->xkbType == XCB_XKB_INDICATOR_STATE_NOTIFY)
            QMetaObject::invokeMethod(m_pOwner, &CLockKeys::Refresh, Qt::QueuedConnection);
        return false; // Qt goes on with its own handling
    }

private:
    X11(CLockKeys* owner, xcb_connection_t* connection, uint8_t eventBase)
        : m_pOwner(owner), m_pConnection(connection), m_nEventBase(eventBase) {
        qGuiApp->installNativeEventFilter(this);
    }

    CLockKeys* m_pOwner;
    xcb_connection_t* m_pConnection;
    uint8_t m_nEventBase;
    std::array<xcb_atom_t, KeyCount> m_atoms{};
};

#else

// Without the X keyboard extension nothing is read here.
class CLockKeys::X11 {
public:
    static std::unique_ptr<X11> Open(CLockKeys*) { return nullptr; }
    std::array<bool, KeyCount> Read() const { return {}; }
};

#endif

// Qt's Wayland plug-in gives each key event the keyboard's xkb modifier masks (depressed,
// latched and locked together) as its native modifiers; an input method (ibus) hands on
// the same masks. The lights follow the keys typed in the program's windows.
class CLockKeys::KeyEvents : public QObject {
public:
    explicit KeyEvents(CLockKeys* owner) : m_pOwner(owner) { qApp->installEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            m_pOwner->Update(Read(*static_cast<const QKeyEvent*>(event), m_pOwner->m_on));
        return false;
    }

private:
    // The modifier bits of the usual keymaps: Lock, and Mod2 for Num Lock.
    static constexpr quint32 kCapsMask = 1u << 1;
    static constexpr quint32 kNumMask = 1u << 4;

    static std::array<bool, KeyCount> Read(const QKeyEvent& event, std::array<bool, KeyCount> on) {
        const quint32 masks = event.nativeModifiers();
        // A lock key's own events carry the masks from before it: its press turns the light
        // over, its release (the key still counted as held) tells nothing.
        const auto follow = [&](Key key, int lockKey, quint32 mask) {
            if (event.key() != lockKey)
                on[size_t(key)] = (masks & mask) != 0;
            else if (event.type() == QEvent::KeyPress && !event.isAutoRepeat())
                on[size_t(key)] = (masks & mask) == 0;
        };
        follow(Caps, Qt::Key_CapsLock, kCapsMask);
        follow(Num, Qt::Key_NumLock, kNumMask);
        return on;
    }

    CLockKeys* m_pOwner;
};

CLockKeys::CLockKeys(QObject* parent, Source source) : QObject(parent) {
    if (source == Source::Platform)
        m_pX11 = X11::Open(this);
    if (m_pX11)
        m_on = m_pX11->Read();
    else if (source == Source::KeyEvents ||
             QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        m_pKeyEvents = std::make_unique<KeyEvents>(this);
}

void CLockKeys::Refresh() {
    if (m_pX11)
        Update(m_pX11->Read());
}

void CLockKeys::Update(const std::array<bool, KeyCount>& on) {
    if (on == m_on)
        return;
    m_on = on;
    Q_EMIT changed();
}

CLockKeys::~CLockKeys() = default;
