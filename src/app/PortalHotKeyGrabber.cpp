#include "app/PortalHotKeyGrabber.h"

#include "app/ApplicationHotKey.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariantMap>
#include <chrono>
#include <optional>

namespace brenvik {

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace brenvik

Q_DECLARE_METATYPE(brenvik::PortalShortcut)

namespace brenvik {

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString SessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString WashShortcutId = QStringLiteral("wash");

// A press while the key is held is auto-repeat. Held ends with Deactivated; a desktop that never
// sends it would otherwise leave the key dead after one press, so a pause this long also ends it.
constexpr std::chrono::milliseconds RepeatPause{1000};

// The desktop's way of writing a key, reduced so that "Ctrl+Alt+W" and "CTRL+ALT+w" compare equal.
QString comparableTrigger(const QString& trigger) {
    QStringList parts = trigger.toUpper().remove(QLatin1Char(' ')).split(QLatin1Char('+'));
    if (parts.isEmpty())
        return {};
    const QString key = parts.takeLast();
    QSet<QString> modifiers;
    for (QString part : parts) {
        if (part == QLatin1String("CONTROL"))
            part = QStringLiteral("CTRL");
        else if (part == QLatin1String("META") || part == QLatin1String("SUPER"))
            part = QStringLiteral("LOGO");
        modifiers.insert(part);
    }
    QStringList sorted(modifiers.begin(), modifiers.end());
    sorted.sort();
    sorted.append(key);
    return sorted.join(QLatin1Char('+'));
}

// Waits for the Response of one portal request, whose object path is known before the call so
// that the answer cannot come before the wait for it.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(uint response, const QVariantMap& results)>;

    PortalRequest(QDBusConnection bus, const QString& token, Handler handler, QObject* parent)
        : QObject(parent), bus_(std::move(bus)), handler_(std::move(handler)) {
        QString sender = bus_.baseService().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        path_ = PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
        bus_.connect(QString(), path_, RequestInterface, QStringLiteral("Response"), this,
                     SLOT(respond(uint, QVariantMap)));
    }
    ~PortalRequest() override {
        bus_.disconnect(QString(), path_, RequestInterface, QStringLiteral("Response"), this,
                        SLOT(respond(uint, QVariantMap)));
    }

    // The call was refused outright: no Response will come.
    void fail() { finish(2, {}); }

private Q_SLOTS:
    void respond(uint response, const QVariantMap& results) { finish(response, results); }

private:
    void finish(uint response, const QVariantMap& results) {
        if (!handler_)
            return;
        Handler handler = std::move(handler_);
        handler_ = nullptr;
        deleteLater();
        handler(response, results);
    }

    QDBusConnection bus_;
    QString path_;
    Handler handler_;
};

class PortalHotKeyGrabber : public QObject, public HotKeyGrabber {
    Q_OBJECT
public:
    explicit PortalHotKeyGrabber(QDBusConnection bus) : bus_(std::move(bus)) {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        // The signal's slot is found by its argument types' names, known only once registered.
        qRegisterMetaType<QDBusObjectPath>();
    }

    ~PortalHotKeyGrabber() override { closeSession(); }

    // Each key gets a session of its own: closing the session is the portal's only way to give a
    // key back.
    Registration registerKey(int identifier, const platform::Shortcut& key) override {
        closeSession();
        wanted_ = Wanted{identifier, QString::fromStdString(platform::shortcutTrigger(key))};
        listenForPresses();
        createSession();
        return Registration::Pending;
    }

    void unregisterKey(int identifier) override {
        if (wanted_ && wanted_->identifier == identifier)
            closeSession();
    }

private Q_SLOTS:
    void activated(const QDBusObjectPath& session, const QString& shortcut, qulonglong,
                   const QVariantMap&) {
        if (!bound_ || session.path() != session_ || shortcut != WashShortcutId)
            return;
        const auto now = std::chrono::steady_clock::now();
        const bool repeat = held_ && now - lastActivation_ < RepeatPause;
        held_ = true;
        lastActivation_ = now;
        if (!repeat && pressed)
            pressed(wanted_->identifier);
    }

    void deactivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong,
                     const QVariantMap&) {
        if (session.path() == session_ && shortcut == WashShortcutId)
            held_ = false;
    }

private:
    struct Wanted {
        int identifier;
        QString trigger;
    };

    // Only once a key is wanted: a program that never registers one never talks to the portal.
    void listenForPresses() {
        if (listening_)
            return;
        listening_ =
            bus_.connect(QString(), PortalPath, ShortcutsInterface, QStringLiteral("Activated"),
                         this,
                         SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap))) &&
            bus_.connect(QString(), PortalPath, ShortcutsInterface, QStringLiteral("Deactivated"),
                         this,
                         SLOT(deactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    }

    QString nextToken() { return QStringLiteral("brenvik%1").arg(++tokens_); }

    void settle(Registration answer, const QString& boundTo = {}) {
        if (settled)
            settled(wanted_->identifier, answer, boundTo);
    }

    void createSession() {
        const int identifier = wanted_->identifier;
        const QString token = nextToken();
        auto* request = new PortalRequest(
            bus_, token,
            [this, identifier](uint response, const QVariantMap& results) {
                // The frontend hands the handle back as a string; a later one may use a path.
                const QVariant handle = results.value(QStringLiteral("session_handle"));
                const QString session = handle.userType() == qMetaTypeId<QDBusObjectPath>()
                                            ? handle.value<QDBusObjectPath>().path()
                                            : handle.toString();
                if (!wanted_ || wanted_->identifier != identifier) {
                    // The key was given up while the session was being made.
                    if (response == 0 && !session.isEmpty())
                        closeSessionAt(session);
                    return;
                }
                session_ = session;
                if (response != 0 || session_.isEmpty()) {
                    session_.clear();
                    settle(Registration::Unavailable);
                    return;
                }
                bindShortcut();
            },
            this);
        QDBusMessage call = QDBusMessage::createMethodCall(
            PortalService, PortalPath, ShortcutsInterface, QStringLiteral("CreateSession"));
        call << QVariantMap{{QStringLiteral("handle_token"), token},
                            {QStringLiteral("session_handle_token"), nextToken()}};
        // No portal, or one without global shortcuts: the call fails and no Response comes.
        watch(call, request);
    }

    void bindShortcut() {
        const int identifier = wanted_->identifier;
        const QString token = nextToken();
        auto* request = new PortalRequest(
            bus_, token,
            [this, identifier](uint response, const QVariantMap& results) {
                if (!wanted_ || wanted_->identifier != identifier)
                    return;
                answerBinding(response, results);
            },
            this);
        QDBusMessage call = QDBusMessage::createMethodCall(
            PortalService, PortalPath, ShortcutsInterface, QStringLiteral("BindShortcuts"));
        const QList<PortalShortcut> shortcuts{
            {WashShortcutId,
             {{QStringLiteral("description"), QStringLiteral("Wash memory")},
              {QStringLiteral("preferred_trigger"), wanted_->trigger}}}};
        call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts)
             << QString() << QVariantMap{{QStringLiteral("handle_token"), token}};
        watch(call, request);
    }

    void answerBinding(uint response, const QVariantMap& results) {
        if (response != 0) {
            settle(Registration::Declined);
            return;
        }
        const auto shortcuts =
            qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts")));
        for (const PortalShortcut& shortcut : shortcuts) {
            if (shortcut.id != WashShortcutId)
                continue;
            bound_ = true;
            const QString description =
                shortcut.properties.value(QStringLiteral("trigger_description")).toString();
            const bool asAsked = description.isEmpty() || comparableTrigger(description) ==
                                                              comparableTrigger(wanted_->trigger);
            settle(Registration::Held, asAsked ? QString() : description);
            return;
        }
        // Answered yes, but without our shortcut among those bound.
        settle(Registration::Declined);
    }

    void watch(const QDBusMessage& call, PortalRequest* request) {
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [request = QPointer<PortalRequest>(request)](QDBusPendingCallWatcher* finished) {
                    if (finished->isError() && request)
                        request->fail();
                    finished->deleteLater();
                });
    }

    void closeSessionAt(const QString& session) {
        bus_.asyncCall(QDBusMessage::createMethodCall(PortalService, session, SessionInterface,
                                                      QStringLiteral("Close")));
    }

    void closeSession() {
        if (!session_.isEmpty())
            closeSessionAt(session_);
        session_.clear();
        wanted_.reset();
        bound_ = false;
        held_ = false;
    }

    QDBusConnection bus_;
    std::optional<Wanted> wanted_;
    QString session_;
    bool listening_ = false;
    bool bound_ = false;
    bool held_ = false;
    std::chrono::steady_clock::time_point lastActivation_;
    int tokens_ = 0;
};

} // namespace

std::unique_ptr<HotKeyGrabber> makePortalHotKeyGrabber() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return nullptr;
    return std::make_unique<PortalHotKeyGrabber>(bus);
}

} // namespace brenvik

#include "PortalHotKeyGrabber.moc"
