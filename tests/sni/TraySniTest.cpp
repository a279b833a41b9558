// The tray icon on a StatusNotifierItem host: a real watcher and host on a private session bus
// (with-sni.sh), the item driven over D-Bus with gdbus the way a host drives it. The tests run
// in one process, in order: the last one restarts the watcher and the host.

#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/TrayIcon.h"
#include "app/TrayLoadIcon.h"
#include "fakes/FakePlatform.h"
#include "support/Eventually.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace brenvik {
namespace {

struct Reply {
    bool ok = false;
    QString text;
    QString error;
};

// One gdbus call. The event loop turns while it runs: the item answers from this very process.
Reply gdbusCall(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("gdbus"),
                  QStringList{QStringLiteral("call"), QStringLiteral("--session")} + arguments);
    const bool finished =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 15000);
    if (!finished)
        process.kill();
    return {finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

Reply watcherProperty(const char* name) {
    return gdbusCall({QStringLiteral("-d"), QStringLiteral("org.kde.StatusNotifierWatcher"),
                      QStringLiteral("-o"), QStringLiteral("/StatusNotifierWatcher"),
                      QStringLiteral("-m"), QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                      QStringLiteral("org.kde.StatusNotifierWatcher"), QLatin1String(name)});
}

// Where this process's item is reachable, as the watcher lists it; empty while it is not.
struct Item {
    QString service;
    QString path;
};

Item registeredItem() {
    const Reply reply = watcherProperty("RegisteredStatusNotifierItems");
    if (!reply.ok)
        return {};
    static const QRegularExpression quoted(QStringLiteral("'([^']+)'"));
    for (const auto& match : quoted.globalMatch(reply.text)) {
        const QString entry = match.captured(1);
        // Qt registers the item under the unique name of a connection of its own: the bus says
        // which process owns it. An item of an earlier test may still be listed a moment.
        const Reply owner = gdbusCall(
            {QStringLiteral("-d"), QStringLiteral("org.freedesktop.DBus"), QStringLiteral("-o"),
             QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("-m"),
             QStringLiteral("org.freedesktop.DBus.GetConnectionUnixProcessID"),
             entry.section(QLatin1Char('/'), 0, 0)});
        if (!owner.text.contains(
                QStringLiteral("uint32 %1,").arg(QCoreApplication::applicationPid())))
            continue;
        const qsizetype slash = entry.indexOf(QLatin1Char('/'));
        if (slash < 0)
            return {entry, QStringLiteral("/StatusNotifierItem")};
        return {entry.left(slash), entry.mid(slash)};
    }
    return {};
}

bool hostRegistered() {
    return watcherProperty("IsStatusNotifierHostRegistered").text.contains(QStringLiteral("true"));
}

Reply callItem(const Item& item, const char* method, const QStringList& arguments = {}) {
    return gdbusCall(
        QStringList{QStringLiteral("-d"), item.service, QStringLiteral("-o"), item.path,
                    QStringLiteral("-m"),
                    QStringLiteral("org.kde.StatusNotifierItem.") + QLatin1String(method)} +
        arguments);
}

Reply itemProperty(const Item& item, const char* name) {
    return gdbusCall({QStringLiteral("-d"), item.service, QStringLiteral("-o"), item.path,
                      QStringLiteral("-m"), QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                      QStringLiteral("org.kde.StatusNotifierItem"), QLatin1String(name)});
}

// The ARGB bytes of a colour as gdbus prints an IconPixmap.
QString argbBytes(const QColor& colour) {
    return QStringLiteral("0xff, 0x%1, 0x%2, 0x%3")
        .arg(colour.red(), 2, 16, QLatin1Char('0'))
        .arg(colour.green(), 2, 16, QLatin1Char('0'))
        .arg(colour.blue(), 2, 16, QLatin1Char('0'));
}

class TraySniTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    std::unique_ptr<TMainForm> form;
    Item item;

    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "run under scripts/with-x.sh and tests/sni/with-sni.sh";
        setLoad(40);
        form = std::make_unique<TMainForm>();
        form->FormCreate();
        ASSERT_TRUE(form->trayIcon()->onStatusNotifierHost());
        ASSERT_EVENTUALLY_TRUE_WITHIN(!(item = registeredItem()).service.isEmpty(), 10000);
    }
    void setLoad(int percent) {
        auto& memory = fake->fakeSystem().memory;
        memory.totalPhys = 1000ULL << 20;
        memory.availPhys = static_cast<std::uint64_t>(100 - percent) * 10ULL << 20;
    }
};

TEST_F(TraySniTest, ActivateShowsTheWindowAndSecondaryActivateDoesNothing) {
    ASSERT_FALSE(form->isVisible());
    ASSERT_TRUE(callItem(item, "SecondaryActivate", {QStringLiteral("5"), QStringLiteral("5")}).ok);
    QTest::qWait(200);
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(callItem(item, "Activate", {QStringLiteral("5"), QStringLiteral("5")}).ok);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form->isVisible(), 5000);
    EXPECT_FALSE(form->isMinimized());
}

// A host that asks for the menu with ContextMenu gets the program's own menu; a host that shows
// the exported menu itself clicks its entries over com.canonical.dbusmenu.
TEST_F(TraySniTest, ContextMenuPopsTheMenuAndTheExportedShowEntryWorks) {
    QMenu* menu = form->trayIcon()->menu();
    ASSERT_TRUE(callItem(item, "ContextMenu", {QStringLiteral("40"), QStringLiteral("40")}).ok);
    ASSERT_EVENTUALLY_TRUE_WITHIN(menu->isVisible(), 5000);
    menu->hide();

    const Reply menuPath = itemProperty(item, "Menu");
    ASSERT_TRUE(menuPath.ok);
    const auto pathMatch =
        QRegularExpression(QStringLiteral("objectpath '([^']+)'")).match(menuPath.text);
    ASSERT_TRUE(pathMatch.hasMatch()) << menuPath.text.toStdString();
    const QString path = pathMatch.captured(1);
    const Reply layout = gdbusCall(
        {QStringLiteral("-d"), item.service, QStringLiteral("-o"), path, QStringLiteral("-m"),
         QStringLiteral("com.canonical.dbusmenu.GetLayout"), QStringLiteral("--"),
         QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("@as []")});
    ASSERT_TRUE(layout.ok) << layout.error.toStdString();
    for (const char* label : {"Wash Now!", "Show", "Help", "Exit"})
        EXPECT_TRUE(layout.text.contains(QStringLiteral("'%1'").arg(QLatin1String(label))))
            << label << " in " << layout.text.toStdString();
    const auto showMatch =
        QRegularExpression(QStringLiteral("\\((\\d+), \\{[^}]*'label': <'Show'>"))
            .match(layout.text);
    ASSERT_TRUE(showMatch.hasMatch()) << layout.text.toStdString();
    ASSERT_FALSE(form->isVisible());
    ASSERT_TRUE(gdbusCall({QStringLiteral("-d"), item.service, QStringLiteral("-o"), path,
                           QStringLiteral("-m"), QStringLiteral("com.canonical.dbusmenu.Event"),
                           showMatch.captured(1), QStringLiteral("clicked"), QStringLiteral("<0>"),
                           QStringLiteral("0")})
                    .ok);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form->isVisible(), 5000);
}

// The picture the host draws follows the load's level; unticked, the program's icon returns.
TEST_F(TraySniTest, IconPixmapShowsTheLoadLevelAndTheProgramIconWhenSwitchedOff) {
    const QString normal = argbBytes(loadLevelColour(LoadLevel::Normal));
    const QString critical = argbBytes(loadLevelColour(LoadLevel::Critical));
    ASSERT_EVENTUALLY_TRUE_WITHIN(itemProperty(item, "IconPixmap").text.contains(normal), 5000);
    EXPECT_TRUE(itemProperty(item, "ToolTip").text.contains(QStringLiteral("(40 %)")));
    setLoad(95);
    form->MemoryTimer.setInterval(50);
    ASSERT_EVENTUALLY_TRUE_WITHIN(itemProperty(item, "IconPixmap").text.contains(critical), 5000);
    EXPECT_TRUE(itemProperty(item, "ToolTip").text.contains(QStringLiteral("(95 %)")));
    form->optionsPage()->memoryLoadInTrayBox()->setChecked(false);
    ASSERT_EVENTUALLY_TRUE_WITHIN(!itemProperty(item, "IconPixmap").text.contains(critical), 5000);
    EXPECT_FALSE(itemProperty(item, "IconPixmap").text.contains(normal));
}

// A panel restart: the watcher and the host go away and come back; the item registers again
// with the new watcher and still answers.
TEST_F(TraySniTest, ItemRegistersAgainWhenTheWatcherAndHostRestart) {
    const QByteArray watcherPid = qgetenv("BRENVIK_SNI_WATCHER_PID");
    const QByteArray hostPid = qgetenv("BRENVIK_SNI_HOST_PID");
    ASSERT_FALSE(watcherPid.isEmpty());
    ASSERT_FALSE(hostPid.isEmpty());
    ASSERT_EQ(QProcess::execute(QStringLiteral("kill"),
                                {QString::fromLatin1(hostPid), QString::fromLatin1(watcherPid)}),
              0);
    ASSERT_EVENTUALLY_TRUE_WITHIN(!watcherProperty("RegisteredStatusNotifierItems").ok, 5000);

    // Owned by the application: they live until the end of the run, when the bus goes too.
    auto* watcher = new QProcess(QCoreApplication::instance());
    watcher->start(QStringLiteral("status-notifier-watcher"), {});
    ASSERT_EVENTUALLY_TRUE_WITHIN(!(item = registeredItem()).service.isEmpty(), 10000);
    auto* host = new QProcess(QCoreApplication::instance());
    host->start(QStringLiteral("gtk-sni-tray-standalone"), {QStringLiteral("--top")});
    ASSERT_EVENTUALLY_TRUE_WITHIN(hostRegistered(), 10000);

    // The item may register more than once while the watcher starts: whichever is listed answers.
    ASSERT_EVENTUALLY_TRUE_WITHIN(
        callItem(item = registeredItem(), "Activate", {QStringLiteral("5"), QStringLiteral("5")})
            .ok,
        10000);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form->isVisible(), 5000);
    // It comes back with the load, not a blank or the program's picture.
    EXPECT_TRUE(itemProperty(item, "IconPixmap")
                    .text.contains(argbBytes(loadLevelColour(LoadLevel::Normal))));
}

} // namespace
} // namespace brenvik
