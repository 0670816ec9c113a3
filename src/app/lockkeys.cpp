#include "lockkeys.h"

#if defined(KESV_HAVE_XCB_XKB)
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
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

CLockKeys::CLockKeys(QObject* parent) : QObject(parent), m_pX11(X11::Open(this)) {
    if (m_pX11)
        m_on = m_pX11->Read();
}

void CLockKeys::Refresh() {
    if (!m_pX11)
        return;
    const std::array<bool, KeyCount> on = m_pX11->Read();
    if (on == m_on)
        return;
    m_on = on;
    Q_EMIT changed();
}

#else

class CLockKeys::X11 {};

CLockKeys::CLockKeys(QObject* parent) : QObject(parent) {}

void CLockKeys::Refresh() {}

#endif

CLockKeys::~CLockKeys() = default;
