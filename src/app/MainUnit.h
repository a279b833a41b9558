#pragma once

// The main window: a borderless window with a picture header, the navigation bar and five pages.
// It owns the models, the five timers and the settings object for the whole run, runs the creation
// steps in their fixed order and the close sequence exactly once, however the program ends.

#include "sysinfo/ComputerInfo.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>

class QLabel;
class QStackedWidget;

namespace brenvik {

class TSettings;
class NavigationBar;
class MemoryPage;
class ProcessPage;
class TProcessList;
class TStartupList;
struct TStoreSaveResult;
class StartupPage;
class SystemPage;
class OptionsPage;
class ApplicationHotKey;
class WidgetWashWindows;
class WashLog;
struct WashResult;
class TrayIcon;
class TSplashScreen;
namespace crash {
struct ExceptionRecord;
}

class TMainForm : public QWidget {
    Q_OBJECT
public:
    enum Page {
        MemoryPageIndex = 0,
        ProcessPageIndex,
        StartupPageIndex,
        SystemPageIndex,
        OptionsPageIndex
    };

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The creation steps, in their fixed order. An exception that escapes a step goes to the
    // unexpected-error handler; that step is abandoned and the next one runs.
    void FormCreate();

    void ShowPage(int page);
    int currentPage() const;

    // Ends the program: the close sequence runs (once), then the message loop ends. Asked during
    // creation, it only takes note (see endRequested).
    void endProgram();
    // The program was told to end while it was being created: the entry then runs the close
    // sequence and ends instead of starting the message loop.
    bool endRequested() const { return endRequested_; }
    // Saves what must survive a session end without releasing anything: the session may still be
    // cancelled and the program go on.
    void saveForSessionEnd();
    // The close sequence: runs once, never refuses.
    void FormCloseQuery();
    bool closeSequenceDone() const { return closeSequenceDone_; }

    // Every way a wash starts ("Clean Now", "Wash Now!", the hot key, the timers) performs this.
    void StartWash();
    // The end notification of every wash, on the interface thread.
    void WashFinished();
    // The free-memory threshold rule's start, which must not stack washes.
    void MemoryThresholdWash();
    // Washes requested and not yet ended.
    int washesRunning() const { return washesRunning_; }
    // What the last wash did, as its notification said it.
    const QString& lastWashReport() const { return lastWashReport_; }

    TSettings& settings() { return *settings_; }
    NavigationBar* navigationBar() const { return navigation_; }
    MemoryPage* memoryPage() const { return memoryPage_; }
    ProcessPage* processPage() const { return processPage_; }
    StartupPage* startupPage() const { return startupPage_; }
    TStartupList* startupList() const { return startupList_.get(); }
    SystemPage* systemPage() const { return systemPage_; }
    const TComputerInfo& computerInfo() const { return ComputerInfo1; }

    // The words booleans read as on the pages from now on.
    void SetBooleanWords(const QString& trueWord, const QString& falseWord);
    OptionsPage* optionsPage() const { return optionsPage_; }
    ApplicationHotKey* applicationHotKey() const { return JvApplicationHotKey1; }
    TrayIcon* trayIcon() const { return CoolTrayIcon1; }

    QTimer MemoryTimer;
    QTimer CPUTimer;
    QTimer ProcessTimer;
    QTimer StartupTimer;
    QTimer MemoryCleanTimer;

    // Header areas, exposed for tests and the window manager's hit tests.
    QWidget* headerPicture() const;
    QWidget* minimiseArea() const;
    QWidget* closeArea() const;
    QWidget* exitPicture() const;

    // The crash-reporting layer's notification: the error-report dialog for one fault; declining
    // switches the record's sending off. `handled` is left as it is.
    void ExceptionNotify(crash::ExceptionRecord& record, bool& handled);

    // The entry's last step before the message loop: stays in the tray when the tray preference
    // is set and a tray host runs, else shows the window centred on the desktop.
    void showAtStart(bool trayPreference);

    // Whether creation shows the splash, and how long it holds it at the end; off unless set.
    void setSplashOnCreation(bool shown, std::chrono::milliseconds hold);
    TSplashScreen* splashScreen() const { return splash_.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildChrome();
    void buildNavigation();
    void buildHotKeyAndTray();
    void connectWashTriggers();
    // The desktop refused the hot key.
    void JvApplicationHotKey1HotKeyRegisterFailed();
    // What became of a key the user registered, where the desktop, not another program, decided.
    void showHotKeyInformation(const QString& text);
    void runStep(void (TMainForm::*step)());
    // Closes the dialogs that are open, ending their modal loops.
    static void closeOpenDialogs();

    // Creation steps.
    void createSplash();
    void showFirstPage();
    void LoadHotKey();
    void createProcessList();
    void createStartupList();
    void fillMemoryPage();
    void setColumnWidths();
    void fillSystemPage();
    void createSettings();
    void restorePreferences();
    void closeSplash();

    void JvPageList1Change();
    void Image1MouseDown(QMouseEvent* event);
    void Label3Click();
    void Label8Click();
    void Image26Click();

    void MemoryTimerTimer();
    void CPUTimerTimer();
    void ProcessTimerTimer();
    void StartupTimerTimer();
    // Writes the startup list to its store file; says why when it could not.
    TStoreSaveResult saveStartupList();
    void MemoryCleanTimerTimer();

    void RzButton1Click(); // "Clean Now"
    // Starts a wash; `ended` runs on the interface thread when it has ended.
    void launchWash(std::function<void()> ended);
    void setWashCommandsEnabled(bool enabled);
    void washEnded();
    void reportWash(const WashResult& result);
    void rearmThresholdRule();
    // Stops every wash for the program's end: nothing more reaches the windows, every block is
    // given back.
    void stopWashes();

    void RzGroup3Items3Click(); // "System Restore"
    void HelpItemClick();       // "Help"
    void RzGroup2Items4Click(); // "About"

    std::unique_ptr<TSettings> settings_;
    std::unique_ptr<TSplashScreen> splash_;
    bool splashOnCreation_ = false;
    std::chrono::milliseconds splashHold_{0};
    QLabel* header_ = nullptr;
    QLabel* footer_ = nullptr;
    QWidget* minimiseArea_ = nullptr;
    QWidget* closeArea_ = nullptr;
    QLabel* exitPicture_ = nullptr;
    NavigationBar* navigation_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    MemoryPage* memoryPage_ = nullptr;
    ProcessPage* processPage_ = nullptr;
    StartupPage* startupPage_ = nullptr;
    SystemPage* systemPage_ = nullptr;
    OptionsPage* optionsPage_ = nullptr;
    std::unique_ptr<TProcessList> processList_;
    std::unique_ptr<TStartupList> startupList_;
    TComputerInfo ComputerInfo1; // the system facts the System page shows
    // The store existed but could not be read: it is not replaced at shutdown.
    bool startupStoreUnreadable_ = false;
    ApplicationHotKey* JvApplicationHotKey1 = nullptr;
    TrayIcon* CoolTrayIcon1 = nullptr;

    // The processor sampler's "error is here" box while it is open; ticks wait for it to close.
    QPointer<QMessageBox> cpuErrorBox_;

    std::shared_ptr<WidgetWashWindows> washWindows_;
    int washesRunning_ = 0;
    std::shared_ptr<WashLog> washLog_;
    QString lastWashReport_;
    bool busyCursor_ = false;
    // The threshold rule starts no wash after one of its own until free memory has been at or
    // above the limit again.
    bool thresholdArmed_ = true;
    // The automatic timer's own wash has not ended yet.
    bool timerWashRunning_ = false;

    bool closeSequenceDone_ = false;
    bool creating_ = false;
    bool endRequested_ = false;
    bool manualMove_ = false;
    QPoint moveOffset_;
};

} // namespace brenvik
