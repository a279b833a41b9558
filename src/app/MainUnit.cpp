#include "app/MainUnit.h"

#include "app/About.h"
#include "app/ApplicationHotKey.h"
#include "app/ErrorUnit.h"
#include "app/HotKeyEdit.h"
#include "app/NavigationBar.h"
#include "app/OptionsPage.h"
#include "app/SettingsClass.h"
#include "app/SplashScr.h"
#include "app/TrayIcon.h"
#include "common/FileUtils.h"
#include "common/Fonts.h"
#include "common/PercentBar.h"
#include "common/UnexpectedError.h"
#include "crash/ExceptionReporter.h"
#include "memory/AutoWashBox.h"
#include "memory/MemoryMonitor.h"
#include "memory/MemoryPage.h"
#include "memory/MemoryToFreeBox.h"
#include "memory/RelThrd.h"
#include "memory/UsageGraph.h"
#include "memory/WashLog.h"
#include "memory/WashReport.h"
#include "memory/WidgetWashWindows.h"
#include "platform/Platform.h"
#include "processes/ProcessPage.h"
#include "startup/StartupClass.h"
#include "startup/StartupPage.h"
#include "startup/StartupStore.h"
#include "sysinfo/BooleanWords.h"
#include "sysinfo/Launchers.h"
#include "sysinfo/OSVersionInfo.h"
#include "sysinfo/SystemPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QStackedWidget>
#include <QWindow>
#include <iostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace brenvik {

namespace {

constexpr int ClientWidth = 774;
constexpr int ClientHeight = 596;
constexpr int ProcessTimerInterval = 10000;
constexpr int StartupTimerInterval = 5000;

// The region of a rectangle whose corners are quarter ellipses of the given size, as the window
// system's rounded-rectangle regions are.
QRegion roundedRegion(int width, int height, int ellipse) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), ellipse / 2.0, ellipse / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

QLabel* picture(QWidget* parent, const QString& resource, const QRect& place) {
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap(resource));
    label->setGeometry(place);
    return label;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("MainForm"));
    washLog_ = std::make_shared<WashLog>();
    setWindowTitle(QStringLiteral("Brenvik"));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(uiFont(QStringLiteral("MS Shell Dlg 2"), 8));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);

    MemoryTimer.setInterval(1000);
    CPUTimer.setInterval(1000);
    ProcessTimer.setInterval(ProcessTimerInterval);
    StartupTimer.setInterval(StartupTimerInterval);
    connect(&MemoryTimer, &QTimer::timeout, this, &TMainForm::MemoryTimerTimer);
    connect(&CPUTimer, &QTimer::timeout, this, &TMainForm::CPUTimerTimer);
    connect(&ProcessTimer, &QTimer::timeout, this, &TMainForm::ProcessTimerTimer);
    connect(&StartupTimer, &QTimer::timeout, this, &TMainForm::StartupTimerTimer);
    connect(&MemoryCleanTimer, &QTimer::timeout, this, &TMainForm::MemoryCleanTimerTimer);

    buildChrome();
    buildNavigation();
    buildHotKeyAndTray();
    connectWashTriggers();
}

TMainForm::~TMainForm() {
    stopWashes();
}

void TMainForm::buildChrome() {
    header_ = picture(this, QStringLiteral(":/images/header.jpg"), {0, 0, 774, 120});
    header_->setObjectName(QStringLiteral("Image1"));
    header_->installEventFilter(this);
    footer_ = picture(this, QStringLiteral(":/images/footer.jpg"), {0, 551, 774, 45});
    footer_->setObjectName(QStringLiteral("Image2"));

    minimiseArea_ = new QWidget(this);
    minimiseArea_->setObjectName(QStringLiteral("Label3"));
    minimiseArea_->setGeometry(715, 18, 22, 23);
    minimiseArea_->setCursor(Qt::PointingHandCursor);
    minimiseArea_->setToolTip(QStringLiteral("Minimize"));
    minimiseArea_->installEventFilter(this);

    closeArea_ = new QWidget(this);
    closeArea_->setObjectName(QStringLiteral("Label8"));
    closeArea_->setGeometry(739, 19, 21, 21);
    closeArea_->setCursor(Qt::PointingHandCursor);
    closeArea_->setToolTip(QStringLiteral("Close"));
    closeArea_->installEventFilter(this);

    // Above the close area: where the two overlap, a click ends the program through the cross.
    exitPicture_ = picture(this, QStringLiteral(":/images/exit.png"), {742, 11, 14, 14});
    exitPicture_->setObjectName(QStringLiteral("Image26"));
    exitPicture_->setCursor(Qt::PointingHandCursor);
    exitPicture_->setToolTip(QStringLiteral("Exit"));
    exitPicture_->installEventFilter(this);
    exitPicture_->raise();

    navigation_ = new NavigationBar(this);
    navigation_->setGeometry(0, 120, 180, 431);

    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("JvPageList1"));
    pages_->setGeometry(180, 120, 594, 431);
    memoryPage_ = new MemoryPage(pages_);
    processPage_ = new ProcessPage(pages_);
    startupPage_ = new StartupPage(pages_);
    systemPage_ = new SystemPage(pages_);
    optionsPage_ = new OptionsPage(pages_);
    for (QWidget* page : {static_cast<QWidget*>(memoryPage_), static_cast<QWidget*>(processPage_),
                          static_cast<QWidget*>(startupPage_), static_cast<QWidget*>(systemPage_),
                          static_cast<QWidget*>(optionsPage_)})
        pages_->addWidget(page);
    connect(pages_, &QStackedWidget::currentChanged, this, &TMainForm::JvPageList1Change);
}

void TMainForm::buildNavigation() {
    const auto icon = [](const char* name) {
        return QIcon(QStringLiteral(":/images/") + QLatin1String(name));
    };
    const int memory = navigation_->addGroup(QStringLiteral("Memory Optimizer"));
    const int system = navigation_->addGroup(QStringLiteral("System"));
    const int help = navigation_->addGroup(QStringLiteral("Help"));
    connect(
        navigation_->addItem(memory, icon("nav-memory.png"), QStringLiteral("Memory Optimizer")),
        &QAction::triggered, this, [this] { ShowPage(MemoryPageIndex); });
    connect(
        navigation_->addItem(memory, icon("nav-options.png"), QStringLiteral("Program Options")),
        &QAction::triggered, this, [this] { ShowPage(OptionsPageIndex); });
    connect(
        navigation_->addItem(system, icon("nav-process.png"), QStringLiteral("Process Manager")),
        &QAction::triggered, this, [this] { ShowPage(ProcessPageIndex); });
    connect(
        navigation_->addItem(system, icon("nav-startup.png"), QStringLiteral("Startup Manager")),
        &QAction::triggered, this, [this] { ShowPage(StartupPageIndex); });
    connect(navigation_->addItem(system, icon("nav-sysinfo.png"), QStringLiteral("System Info")),
            &QAction::triggered, this, [this] { ShowPage(SystemPageIndex); });
    connect(navigation_->addItem(system, icon("nav-restore.png"), QStringLiteral("System Restore")),
            &QAction::triggered, this, &TMainForm::RzGroup3Items3Click);
    connect(navigation_->addItem(help, icon("nav-help.png"), QStringLiteral("Help")),
            &QAction::triggered, this, &TMainForm::HelpItemClick);
    connect(navigation_->addItem(help, icon("nav-about.png"), QStringLiteral("About")),
            &QAction::triggered, this, &TMainForm::RzGroup2Items4Click);
}

void TMainForm::buildHotKeyAndTray() {
    JvApplicationHotKey1 = new ApplicationHotKey(makeDesktopHotKeyGrabber(), this);
    connect(JvApplicationHotKey1, &ApplicationHotKey::hotKey, this, &TMainForm::StartWash);
    connect(JvApplicationHotKey1, &ApplicationHotKey::hotKeyRegisterFailed, this,
            &TMainForm::JvApplicationHotKey1HotKeyRegisterFailed);
    connect(JvApplicationHotKey1, &ApplicationHotKey::hotKeyUnavailable, this, [this] {
        showHotKeyInformation(
            QStringLiteral("This desktop session offers Brenvik no way to register a global "
                           "shortcut key\nA wash can still be started from the window or the tray "
                           "menu"));
    });
    connect(JvApplicationHotKey1, &ApplicationHotKey::hotKeyDeclined, this, [this] {
        showHotKeyInformation(
            QStringLiteral("The desktop did not bind this shortcut key to Brenvik\nPlease select "
                           "another shortcut key and try again"));
    });
    connect(JvApplicationHotKey1, &ApplicationHotKey::hotKeyBoundElsewhere, this,
            [this](const QString& description) {
                showHotKeyInformation(
                    QStringLiteral("The desktop bound Brenvik's shortcut to %1 instead of the key "
                                   "you selected")
                        .arg(description));
            });
    optionsPage_->bindHotKey(*JvApplicationHotKey1);
    CoolTrayIcon1 = new TrayIcon(*this);
    optionsPage_->bindTrayIcon(*CoolTrayIcon1);
}

void TMainForm::JvApplicationHotKey1HotKeyRegisterFailed() {
    // The message's line break is a lone carriage return, which a Qt label does not break at.
    showHotKeyInformation(
        QStringLiteral("Brenvik failed to register this shortcut key as it is currently "
                       "used by another Windows application\nPlease select another "
                       "shortcut key and try again"));
}

void TMainForm::showHotKeyInformation(const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
                    this);
    box.exec();
}

QWidget* TMainForm::headerPicture() const {
    return header_;
}
QWidget* TMainForm::minimiseArea() const {
    return minimiseArea_;
}
QWidget* TMainForm::closeArea() const {
    return closeArea_;
}
QWidget* TMainForm::exitPicture() const {
    return exitPicture_;
}

void TMainForm::runStep(void (TMainForm::*step)()) {
    try {
        (this->*step)();
    } catch (...) {
        reportUnexpectedError(std::current_exception());
    }
}

void TMainForm::FormCreate() {
    creating_ = true;
    // Steps 1 and 2 (double-buffered painting, the title) hold for every Qt window already.
    runStep(&TMainForm::createSplash);
    runStep(&TMainForm::showFirstPage);
    runStep(&TMainForm::LoadHotKey);
    runStep(&TMainForm::createProcessList);
    runStep(&TMainForm::createStartupList);
    runStep(&TMainForm::fillMemoryPage);
    runStep(&TMainForm::setColumnWidths);
    runStep(&TMainForm::fillSystemPage);
    runStep(&TMainForm::createSettings);
    runStep(&TMainForm::restorePreferences);
    runStep(&TMainForm::closeSplash);
    creating_ = false;
    if (endRequested_)
        return;
    MemoryTimer.start();
    CPUTimer.start();
}

void TMainForm::showAtStart(bool trayPreference) {
    // Without a tray host the icon could not bring the window back: start shown then.
    if (TrayIcon::startsHidden(trayPreference))
        return;
    const QRect desktop = screen()->availableGeometry();
    move(desktop.center() - rect().center());
    show();
}

void TMainForm::setSplashOnCreation(bool shown, std::chrono::milliseconds hold) {
    splashOnCreation_ = shown;
    splashHold_ = hold;
}

void TMainForm::createSplash() {
    if (!splashOnCreation_)
        return;
    splash_ = std::make_unique<TSplashScreen>();
    splash_->showPainted();
}

void TMainForm::showFirstPage() {
    ShowPage(MemoryPageIndex);
}

void TMainForm::LoadHotKey() {
    try {
        platform::TRegistry registry(platform::HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(SettingsKeyPath) || !registry.ValueExists("Shortcut"))
            return;
        const std::int32_t code = registry.ReadInteger("Shortcut");
        if (code < 0 || code > 0xFFFF)
            return;
        optionsPage_->hotKeyEdit()->setCode(static_cast<std::uint16_t>(code));
        JvApplicationHotKey1->activate(optionsPage_->hotKeyEdit()->code(),
                                       ApplicationHotKey::Origin::StartUp);
        registry.CloseKey();
    } catch (const platform::ERegistryException&) {
        // A stored code of another type: no hot key this run, without a message.
    }
}

void TMainForm::createProcessList() {
    processList_ =
        std::make_unique<TProcessList>(processPage_->imageList(), ProcessPage::DefaultIconName);
    processList_->SetWindowsVersion(TOSVersionInfo().OSVersion());
    processPage_->setProcessList(processList_.get());
    processPage_->RefreshProcessList();
    memoryPage_->setRunningProcesses(processList_->Count());
}

void TMainForm::createStartupList() {
    startupList_ = std::make_unique<TStartupList>();
    const std::filesystem::path store = startupStorePath();
    const TStoreLoadResult loaded = startupList_->LoadFromFile(store);
    startupStoreUnreadable_ = loaded.outcome == TStoreLoadResult::Unreadable;
    if (!loaded.problem.empty()) {
        std::cerr << "brenvik: " << store.string() << ": " << loaded.problem << '\n';
        if (!loaded.keptAside.empty())
            std::cerr << "brenvik: the entries before the damage were kept; the file was copied to "
                      << loaded.keptAside.string() << '\n';
    }
    startupPage_->setStartupList(startupList_.get());
    startupPage_->RefreshStartupList();
}

void TMainForm::fillMemoryPage() {
    auto& system = *platform::current().system;
    const auto figures = MemoryFigures::from(system.memoryStatus());
    memoryPage_->showStartupTexts(memoryStartupTexts(figures, UserDecimalSeparator()));
    constexpr std::int64_t MiB = 1048576;
    optionsPage_->autoWashBox()->setLimitMaximum(
        static_cast<int>((figures.totalPhys + MiB - 1) / MiB));
    memoryPage_->setWindowsName(QString::fromStdString(OperatingSystemName()));
    memoryPage_->memoryToFreeBox()->setMegabytes(static_cast<int>(figures.totalPhys / MiB));
}

void TMainForm::setColumnWidths() {
    processPage_->setColumnWidths();
    startupPage_->setColumnWidths();
}

void TMainForm::fillSystemPage() {
    // The "Windows:" row of the Memory page came with its start-up figures; then the "CPU" tab,
    // the " Windows " box and the folders.
    systemPage_->fillCpuIdentity(CpuIdentityRows(ComputerInfo1.CPU()));
    SetBooleanWords(QStringLiteral("Yes"), QStringLiteral("No"));
    systemPage_->fillCpuCapabilities(CpuCapabilityRows(ComputerInfo1.CPU()));
    systemPage_->fillWindows(WindowsRows(ComputerInfo1.OS()));
    systemPage_->fillFolders(ComputerInfo1.Folders());
}

void TMainForm::SetBooleanWords(const QString& trueWord, const QString& falseWord) {
    brenvik::SetBooleanWords(trueWord.toStdString(), falseWord.toStdString());
}

void TMainForm::createSettings() {
    settings_ = std::make_unique<TSettings>();
    settings_->SetRootKey(platform::HKEY_LOCAL_MACHINE);
    settings_->SetKeyPath(SettingsKeyPath);
    settings_->Load();
}

void TMainForm::restorePreferences() {
    optionsPage_->bind(*settings_, MemoryTimer);
    optionsPage_->restorePreferences();
}

void TMainForm::closeSplash() {
    if (!splash_)
        return;
    // The hold blocks on purpose: nothing else runs until the splash goes. A program told to end
    // meanwhile does not wait for it.
    if (!endRequested_) {
        splash_->repaintNow();
        std::this_thread::sleep_for(splashHold_);
    }
    splash_->hide();
}

void TMainForm::ShowPage(int page) {
    if (page == ProcessPageIndex)
        ProcessTimer.start(ProcessTimerInterval);
    else
        ProcessTimer.stop();
    if (page >= MemoryPageIndex && page <= OptionsPageIndex)
        pages_->setCurrentIndex(page);
}

int TMainForm::currentPage() const {
    return pages_->currentIndex();
}

void TMainForm::JvPageList1Change() {
    if (closeSequenceDone_)
        return;
    const int page = pages_->currentIndex();
    // Only start-up and the timer rewrite "Running Processes:", not entering the page.
    if (page == ProcessPageIndex)
        processPage_->RefreshProcessList();
    if (page == StartupPageIndex)
        StartupTimer.start(StartupTimerInterval);
    else
        StartupTimer.stop();
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    setMask(roundedRegion(width(), height(), 20));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header_) {
        if (event->type() == QEvent::MouseButtonPress) {
            Image1MouseDown(static_cast<QMouseEvent*>(event));
            return true;
        }
        if (manualMove_ && event->type() == QEvent::MouseMove) {
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - moveOffset_);
            return true;
        }
        if (manualMove_ && event->type() == QEvent::MouseButtonRelease) {
            manualMove_ = false;
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() != Qt::LeftButton ||
            !widget->rect().contains(mouse->position().toPoint()))
            return false;
        if (watched == minimiseArea_)
            Label3Click();
        else if (watched == closeArea_)
            Label8Click();
        else if (watched == exitPicture_)
            Image26Click();
        else
            return false;
        return true;
    }
    return false;
}

void TMainForm::Image1MouseDown(QMouseEvent* event) {
    // Any button moves the window. The window manager does the move when it can; without one
    // (or when it refuses) the window follows the mouse until the button is released. Qt tells
    // the window manager that the left button drives its move, so for the other buttons the
    // window moves itself: the manager would keep moving after they are released.
    QWindow* window = windowHandle();
    if (event->button() == Qt::LeftButton && window != nullptr && window->startSystemMove())
        return;
    manualMove_ = true;
    moveOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TMainForm::Label3Click() {
    // With a tray host the window goes straight into the tray: asking the window manager to
    // iconify a window that is hidden the moment after leaves it busy, and the next clicks on
    // the tray icon are lost meanwhile.
    if (CoolTrayIcon1 != nullptr && TrayIcon::trayAvailable())
        CoolTrayIcon1->minimiseToTray();
    else
        showMinimized();
}

void TMainForm::Label8Click() {
    close();
}

void TMainForm::Image26Click() {
    endProgram();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
    QCoreApplication::quit();
}

void TMainForm::endProgram() {
    // Before the message loop runs, quitting would do nothing: creation takes note, the box it
    // may be waiting in closes, and the entry ends the program once creation has returned.
    if (creating_) {
        endRequested_ = true;
        closeOpenDialogs();
        return;
    }
    FormCloseQuery();
    QCoreApplication::quit();
}

void TMainForm::closeOpenDialogs() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible())
            dialog->reject();
}

void TMainForm::FormCloseQuery() {
    if (closeSequenceDone_)
        return;
    closeSequenceDone_ = true;
    stopWashes();
    // The list holds the default process icon's copy; the page must not reach it afterwards.
    processPage_->setProcessList(nullptr);
    processList_.reset();
    const TStoreSaveResult saved = saveStartupList();
    if (!saved.saved && !saved.problem.empty())
        startupPage_->warnStoreNotSaved(QString::fromStdString(saved.problem));
    startupPage_->setStartupList(nullptr);
    startupList_.reset();
    // No timer handler runs after the close sequence.
    MemoryTimer.stop();
    CPUTimer.stop();
    ProcessTimer.stop();
    StartupTimer.stop();
    MemoryCleanTimer.stop();
}

void TMainForm::saveForSessionEnd() {
    // Quietly: the close sequence that follows a completed session end saves again and warns.
    // A save that took in another copy's changes may have dropped entries that rows showed.
    if (saveStartupList().merged) {
        startupPage_->setStartupList(startupList_.get());
        startupPage_->RefreshStartupList();
    }
}

TStoreSaveResult TMainForm::saveStartupList() {
    if (!startupList_)
        return {};
    // Replacing a store that could not be read would lose the entries it holds.
    if (startupStoreUnreadable_)
        return {false, startupStorePath().string() + " could not be read at start-up and was left "
                                                     "as it is"};
    return startupList_->SaveToFile(startupStorePath());
}

void TMainForm::connectWashTriggers() {
    washWindows_ = std::make_shared<WidgetWashWindows>(this);
    connect(memoryPage_->memoryToFreeBox()->RzButton1(), &QPushButton::clicked, this,
            &TMainForm::RzButton1Click);
    optionsPage_->autoWashBox()->setCleanTimer(MemoryCleanTimer);
    // After the monitor's own tick, which applies the rule.
    connect(&MemoryTimer, &QTimer::timeout, this, &TMainForm::rearmThresholdRule);
}

void TMainForm::RzButton1Click() {
    StartWash();
}

void TMainForm::setWashCommandsEnabled(bool enabled) {
    memoryPage_->memoryToFreeBox()->RzButton1()->setEnabled(enabled);
    if (CoolTrayIcon1 != nullptr)
        CoolTrayIcon1->setWashCommandsEnabled(enabled);
}

void TMainForm::StartWash() {
    launchWash({});
}

void TMainForm::launchWash(std::function<void()> ended) {
    if (closeSequenceDone_)
        return;
    auto* worker = new TRelocateThread(memoryPage_->memoryToFreeBox()->position(), washWindows_);
    try {
        if (!busyCursor_) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            busyCursor_ = true;
        }
        ++washesRunning_;
        setWashCommandsEnabled(false);
        worker->OnTerminate = [this, ended = std::move(ended)](const WashResult& result) {
            reportWash(result);
            if (ended)
                ended();
            WashFinished();
        };
        worker->FreeOnTerminate = true;
        worker->Log = washLog_;
        worker->Start();
    } catch (const std::system_error& error) {
        delete worker;
        // A wash that never started must not leave the commands off and the cursor busy.
        washEnded();
        const int code = error.code().value();
        throw std::runtime_error(code == 0 ? std::string("A call to an OS function failed")
                                           : "System Error.  Code: " + std::to_string(code) +
                                                 ".\r\n" + error.code().message());
    }
}

// Tells the user what the wash really did, in one tray notification; a later wash's report
// replaces an earlier one still showing.
void TMainForm::reportWash(const WashResult& result) {
    lastWashReport_ = QString::fromStdString(washReportText(washReportOf(result)));
    if (CoolTrayIcon1 != nullptr && QSystemTrayIcon::isSystemTrayAvailable() &&
        CoolTrayIcon1->icon()->isVisible())
        CoolTrayIcon1->icon()->showMessage(QStringLiteral("Brenvik"), lastWashReport_,
                                           QSystemTrayIcon::Information, 6000);
}

// The first steps of every wash's end: the commands on again and the normal cursor back.
void TMainForm::washEnded() {
    if (washesRunning_ > 0)
        --washesRunning_;
    setWashCommandsEnabled(true);
    if (busyCursor_) {
        QApplication::restoreOverrideCursor();
        busyCursor_ = false;
    }
}

void TMainForm::WashFinished() {
    washEnded();
    if (ReadSettingsFlag("CloseBVAfterWash"))
        endProgram();
}

void TMainForm::MemoryThresholdWash() {
    // The rule does not stack washes: none while one runs, and after its own, none until a tick
    // has found free memory at or above the limit again (a wash on Linux mostly frees cache,
    // which counts as available already, so free memory may well stay below the limit).
    if (washesRunning_ > 0 || !thresholdArmed_)
        return;
    thresholdArmed_ = false;
    RzButton1Click();
}

void TMainForm::rearmThresholdRule() {
    if (thresholdArmed_ || !settings_)
        return;
    const auto figures = MemoryFigures::from(platform::current().system->memoryStatus());
    if (!thresholdReached(figures, settings_->CleanMemWhenMemReach(),
                          settings_->CleanMemoryOnMemLimit()))
        thresholdArmed_ = true;
}

void TMainForm::stopWashes() {
    if (washWindows_)
        washWindows_->close();
    TRelocateThread::StopAll();
    // The washes stopped here never reach their end notification.
    washesRunning_ = 0;
    timerWashRunning_ = false;
    if (busyCursor_) {
        QApplication::restoreOverrideCursor();
        busyCursor_ = false;
    }
}

void TMainForm::MemoryTimerTimer() {
    auto& system = *platform::current().system;
    const auto status = system.memoryStatus();
    const auto figures = MemoryFigures::from(status);
    memoryPage_->showTick(memoryTickTexts(figures, system.tickCount()));
    CoolTrayIcon1->memoryTick(status);
    if (settings_ && thresholdReached(figures, settings_->CleanMemWhenMemReach(),
                                      settings_->CleanMemoryOnMemLimit()))
        MemoryThresholdWash();
}

void TMainForm::CPUTimerTimer() {
    // A box already shown answers for this failure too; sampling now would stack another.
    if (cpuErrorBox_)
        return;
    try {
        const std::int32_t load = IsWindowsNT() ? GetNTCPUUsage() : Get9xCPUUsage();
        if (load < 0 || load > 65535)
            throw std::range_error("Range check error");
        PercentBar* bar = systemPage_->cpuUsageBar();
        bar->setPercent(load);
        const int percent = bar->percent();
        systemPage_->cpuHistoryGraph()->setValue(percent);
        systemPage_->cpuHistoryGraph()->start();
        memoryPage_->cpuUsageGraph()->setValue(percent);
        memoryPage_->cpuUsageGraph()->start();
    } catch (...) {
        cpuErrorBox_ = new QMessageBox(QMessageBox::NoIcon, QString(),
                                       QStringLiteral("error is here"), QMessageBox::Ok, this);
        cpuErrorBox_->setAttribute(Qt::WA_DeleteOnClose);
        cpuErrorBox_->setWindowModality(Qt::ApplicationModal);
        cpuErrorBox_->show();
    }
}

void TMainForm::ProcessTimerTimer() {
    processPage_->RefreshProcessList();
    if (processList_)
        memoryPage_->setRunningProcesses(processList_->Count());
}

void TMainForm::StartupTimerTimer() {
    startupPage_->RefreshStartupList();
}

void TMainForm::MemoryCleanTimerTimer() {
    // A wash that outlasts the period would otherwise have the next ticks pile washes up behind
    // it; other washes do not hold the timer back.
    if (timerWashRunning_)
        return;
    timerWashRunning_ = true;
    try {
        launchWash([this] { timerWashRunning_ = false; });
    } catch (...) {
        timerWashRunning_ = false;
        throw;
    }
}

void TMainForm::RzGroup3Items3Click() {
    StartSystemRestore();
}

void TMainForm::HelpItemClick() {
    OpenHelp("brenvik.chm");
}

void TMainForm::RzGroup2Items4Click() {
    if (AboutUsFrm != nullptr)
        AboutUsFrm->exec();
}

void TMainForm::ExceptionNotify(crash::ExceptionRecord& record, bool& /*handled*/) {
    // The user asked the program to end: no dialog holds it up, and nothing is sent unasked.
    if (endRequested_) {
        if (record.options != nullptr) {
            record.options->webSendMode = 0;
            record.options->emailSendMode = 0;
        }
        return;
    }
    ShowErrorNotification(record);
}

} // namespace brenvik
