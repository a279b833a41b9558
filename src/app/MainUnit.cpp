#include "app/MainUnit.h"

#include "app/NavigationBar.h"
#include "app/OptionsPage.h"
#include "app/SettingsClass.h"
#include "common/FileUtils.h"
#include "common/Fonts.h"
#include "memory/MemoryMonitor.h"
#include "memory/MemoryPage.h"
#include "memory/UsageGraph.h"
#include "platform/Platform.h"
#include "processes/ProcessPage.h"
#include "startup/StartupPage.h"
#include "sysinfo/OSVersionInfo.h"
#include "sysinfo/SystemPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QStackedWidget>
#include <QWindow>

#include <algorithm>
#include <iostream>
#include <stdexcept>

namespace brenvik {

namespace {

constexpr int ClientWidth = 774;
constexpr int ClientHeight = 596;
constexpr int ProcessTimerInterval = 10000;
constexpr int StartupTimerInterval = 5000;

std::function<void(std::exception_ptr)>& unexpectedErrorHandler() {
    static std::function<void(std::exception_ptr)> handler;
    return handler;
}

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

void TMainForm::setUnexpectedErrorHandler(std::function<void(std::exception_ptr)> handler) {
    unexpectedErrorHandler() = std::move(handler);
}

void TMainForm::reportUnexpected(std::exception_ptr error) {
    if (unexpectedErrorHandler()) {
        unexpectedErrorHandler()(error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::cerr << "brenvik: unexpected error: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "brenvik: unexpected error\n";
    }
}

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("MainForm"));
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
}

TMainForm::~TMainForm() = default;

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
    connect(navigation_->addItem(memory, icon("nav-memory.png"), QStringLiteral("Memory Optimizer")),
            &QAction::triggered, this, [this] { ShowPage(MemoryPageIndex); });
    connect(navigation_->addItem(memory, icon("nav-options.png"), QStringLiteral("Program Options")),
            &QAction::triggered, this, [this] { ShowPage(OptionsPageIndex); });
    connect(navigation_->addItem(system, icon("nav-process.png"), QStringLiteral("Process Manager")),
            &QAction::triggered, this, [this] { ShowPage(ProcessPageIndex); });
    connect(navigation_->addItem(system, icon("nav-startup.png"), QStringLiteral("Startup Manager")),
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

QWidget* TMainForm::headerPicture() const { return header_; }
QWidget* TMainForm::minimiseArea() const { return minimiseArea_; }
QWidget* TMainForm::closeArea() const { return closeArea_; }
QWidget* TMainForm::exitPicture() const { return exitPicture_; }

void TMainForm::runStep(void (TMainForm::*step)()) {
    try {
        (this->*step)();
    } catch (...) {
        reportUnexpected(std::current_exception());
    }
}

void TMainForm::FormCreate() {
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
    MemoryTimer.start();
    CPUTimer.start();
}

void TMainForm::createSplash() {}

void TMainForm::showFirstPage() { ShowPage(MemoryPageIndex); }

void TMainForm::LoadHotKey() {}

void TMainForm::createProcessList() {}

void TMainForm::createStartupList() {}

void TMainForm::fillMemoryPage() {
    auto& system = *platform::current().system;
    const auto figures = MemoryFigures::from(system.memoryStatus());
    memoryPage_->showStartupTexts(memoryStartupTexts(figures, UserDecimalSeparator()));
    memoryPage_->setWindowsName(QString::fromStdString(OperatingSystemName()));
}

void TMainForm::setColumnWidths() {}

void TMainForm::fillSystemPage() {}

void TMainForm::createSettings() {
    settings_ = std::make_unique<TSettings>();
    settings_->SetRootKey(platform::HKEY_LOCAL_MACHINE);
    settings_->SetKeyPath(SettingsKeyPath);
    settings_->Load();
}

void TMainForm::restorePreferences() {}

void TMainForm::closeSplash() {}

void TMainForm::ShowPage(int page) {
    if (page == ProcessPageIndex)
        ProcessTimer.start(ProcessTimerInterval);
    else
        ProcessTimer.stop();
    if (page >= MemoryPageIndex && page <= OptionsPageIndex)
        pages_->setCurrentIndex(page);
}

int TMainForm::currentPage() const { return pages_->currentIndex(); }

void TMainForm::JvPageList1Change() {
    if (closeSequenceDone_)
        return;
    const int page = pages_->currentIndex();
    if (page == ProcessPageIndex)
        ProcessTimerTimer();
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
        if (mouse->button() != Qt::LeftButton || !widget->rect().contains(mouse->position().toPoint()))
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
    // (or when it refuses) the window follows the mouse until the button is released.
    QWindow* window = windowHandle();
    if (window != nullptr && window->startSystemMove())
        return;
    manualMove_ = true;
    moveOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TMainForm::Label3Click() { showMinimized(); }

void TMainForm::Label8Click() { close(); }

void TMainForm::Image26Click() { endProgram(); }

void TMainForm::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
    QCoreApplication::quit();
}

void TMainForm::endProgram() {
    FormCloseQuery();
    QCoreApplication::quit();
}

void TMainForm::FormCloseQuery() {
    if (closeSequenceDone_)
        return;
    closeSequenceDone_ = true;
    // No timer handler runs after the close sequence.
    MemoryTimer.stop();
    CPUTimer.stop();
    ProcessTimer.stop();
    StartupTimer.stop();
    MemoryCleanTimer.stop();
}

void TMainForm::saveForSessionEnd() {}

void TMainForm::StartWash() {}

void TMainForm::WashFinished() {}

void TMainForm::MemoryThresholdWash() {}

void TMainForm::MemoryTimerTimer() {
    auto& system = *platform::current().system;
    const auto figures = MemoryFigures::from(system.memoryStatus());
    memoryPage_->showTick(memoryTickTexts(figures, system.tickCount()));
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
        const int percent = std::min(load, 100);
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

void TMainForm::ProcessTimerTimer() {}

void TMainForm::StartupTimerTimer() {}

void TMainForm::MemoryCleanTimerTimer() {}

void TMainForm::RzGroup3Items3Click() {}

void TMainForm::HelpItemClick() {}

void TMainForm::RzGroup2Items4Click() {}

} // namespace brenvik
