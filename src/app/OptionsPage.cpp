#include "app/OptionsPage.h"

#include "app/ApplicationHotKey.h"
#include "app/HotKeyEdit.h"
#include "app/SettingsClass.h"
#include "app/TrayIcon.h"
#include "common/Fonts.h"
#include "memory/AutoWashBox.h"
#include "platform/TRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace brenvik {

namespace {

QLabel* wrappedText(QWidget* parent, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}

// The layout leaves a caption a fixed room before the next control; where this desktop's font is
// wider than the design's, the caption is set a little smaller rather than run under the control.
void fitCaption(QLabel* label, int room) {
    QFont font = label->font();
    while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(label->text()) > room)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    label->setFont(font);
    label->adjustSize();
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, int top) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->move(13, top);
    box->adjustSize();
    return box;
}

} // namespace

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Options"));
    setFixedSize(594, 431);
    buildProgramOptions();
    autoWashBox_ = new AutoWashBox(this);
    autoWashBox_->setGeometry(7, 160, 581, 90);
    buildRefreshRate();
    buildShortcut();
}

void OptionsPage::buildProgramOptions() {
    auto* group = new QGroupBox(QStringLiteral("Program Options"), this);
    group->setGeometry(7, 8, 581, 150);
    RzCheckBox1 =
        checkBox(group, "RzCheckBox1", QStringLiteral("Load Brenvik at Windows startup"), 22);
    RzCheckBox2 =
        checkBox(group, "RzCheckBox2", QStringLiteral("Start Brenvik in system tray"), 54);
    RzCheckBox3 =
        checkBox(group, "RzCheckBox3", QStringLiteral("&Show splash screen at startup"), 87);
    RzCheckBox4 =
        checkBox(group, "RzCheckBox4", QStringLiteral("Close Brenvik after cleaning"), 120);
    // toggled, not clicked: a tick set by start-up runs the handler exactly as a user's click.
    connect(RzCheckBox1, &QCheckBox::toggled, this, &OptionsPage::RzCheckBox1Click);
    connect(RzCheckBox2, &QCheckBox::toggled, this, &OptionsPage::RzCheckBox2Click);
    connect(RzCheckBox3, &QCheckBox::toggled, this, &OptionsPage::RzCheckBox3Click);
    connect(RzCheckBox4, &QCheckBox::toggled, this, &OptionsPage::RzCheckBox4Click);
    // The page's height leaves no row below the four: the box takes the second column of the
    // last row.
    MemoryLoadInTrayBox = checkBox(group, "MemoryLoadInTrayBox",
                                   QStringLiteral("Show memory load in the tray icon"), 120);
    MemoryLoadInTrayBox->move(300, 120);
    connect(MemoryLoadInTrayBox, &QCheckBox::toggled, this, &OptionsPage::MemoryLoadInTrayBoxClick);
}

void OptionsPage::buildRefreshRate() {
    auto* group = new QGroupBox(QStringLiteral("Monitor Refresh Rate"), this);
    group->setGeometry(7, 252, 581, 99);
    auto* caption = new QLabel(QStringLiteral("Auto Refresh Every"), group);
    caption->move(10, 29);
    RzComboBox1 = new QComboBox(group);
    fitCaption(caption, 112 - 10 - 2);
    RzComboBox1->setObjectName(QStringLiteral("RzComboBox1"));
    RzComboBox1->setEditable(false);
    RzComboBox1->addItems({QStringLiteral("0.5 Seconds"), QStringLiteral("1 Second"),
                           QStringLiteral("1.5 Seconds"), QStringLiteral("2  Seconds"),
                           QStringLiteral("2.5 Seconds"), QStringLiteral("3 Seconds"),
                           QStringLiteral("3.5 Seconds"), QStringLiteral("4 Seconds"),
                           QStringLiteral("4.5 Seconds"), QStringLiteral("5 Seconds")});
    RzComboBox1->setGeometry(112, 26, 145, RzComboBox1->sizeHint().height());
    // activated: only a selection by the user stores the index.
    connect(RzComboBox1, &QComboBox::activated, this, &OptionsPage::RzComboBox1Change);
    wrappedText(group,
                QStringLiteral("Brenvik refreshes all the Memory, CPU and Processes information "
                               "regularly. You can select how ofter the refresh takes place."),
                {10, 59, 572, 29});
}

void OptionsPage::buildShortcut() {
    auto* group = new QGroupBox(QStringLiteral("Brenvik Shortcut"), this);
    group->setGeometry(7, 353, 581, 67);
    wrappedText(group,
                QStringLiteral("You can use Brenvik shortcut to wash your memory using this "
                               "shortcut key."),
                {8, 22, 299, 29});
    RzHotKeyEdit1 = new HotKeyEdit(group);
    RzHotKeyEdit1->setObjectName(QStringLiteral("RzHotKeyEdit1"));
    RzHotKeyEdit1->setGeometry(315, 26, 144, 21);
    RzBitBtn1 = new QPushButton(QStringLiteral("Register Shortcut"), group);
    RzBitBtn1->setObjectName(QStringLiteral("RzBitBtn1"));
    RzBitBtn1->setFont(uiFont(QStringLiteral("Tahoma"), 8));
    RzBitBtn1->setStyleSheet(
        QStringLiteral("QPushButton { background-color: rgb(51, 102, 0); color: white;"
                       " border: 1px solid rgb(34, 68, 0); padding: 2px 4px; }"
                       "QPushButton:pressed { background-color: rgb(40, 82, 0); }"));
    RzBitBtn1->setGeometry(465, 24, 105, 25);
    connect(RzBitBtn1, &QPushButton::clicked, this, &OptionsPage::RzBitBtn1Click);
}

void OptionsPage::bind(TSettings& settings, QTimer& memoryTimer) {
    settings_ = &settings;
    memoryTimer_ = &memoryTimer;
}

void OptionsPage::bindHotKey(ApplicationHotKey& hotKey) {
    hotKey_ = &hotKey;
}

void OptionsPage::bindTrayIcon(TrayIcon& trayIcon) {
    trayIcon_ = &trayIcon;
}

void OptionsPage::restorePreferences() {
    if (settings_ == nullptr)
        return;
    RzCheckBox1->setChecked(settings_->RunAtStartup());
    RzCheckBox2->setChecked(settings_->LoadBVSystemTray());
    RzCheckBox3->setChecked(settings_->ShowSplashOnStartup());
    RzCheckBox4->setChecked(settings_->CloseBVAfterWash());
    MemoryLoadInTrayBox->setChecked(settings_->ShowMemoryLoadInTray());
    autoWashBox_->restore(*settings_);
    const int index = settings_->AutoRefreshTimerInt();
    const bool known = index >= 0 && index < RefreshRateCount;
    // An index outside the list selects nothing and leaves the monitor at its first rate.
    RzComboBox1->setCurrentIndex(known ? index : -1);
    if (known && memoryTimer_ != nullptr)
        memoryTimer_->setInterval(refreshInterval(index));
}

void OptionsPage::RzCheckBox1Click() {
    if (settings_ != nullptr)
        settings_->SetRunAtStartup(RzCheckBox1->isChecked());
}

void OptionsPage::RzCheckBox2Click() {
    if (settings_ != nullptr)
        settings_->SetLoadBVSystemTray(RzCheckBox2->isChecked());
}

void OptionsPage::RzCheckBox3Click() {
    if (settings_ != nullptr)
        settings_->SetShowSplashOnStartup(RzCheckBox3->isChecked());
}

void OptionsPage::RzCheckBox4Click() {
    if (settings_ != nullptr)
        settings_->SetCloseBVAfterWash(RzCheckBox4->isChecked());
}

void OptionsPage::MemoryLoadInTrayBoxClick() {
    const bool on = MemoryLoadInTrayBox->isChecked();
    if (settings_ != nullptr)
        settings_->SetShowMemoryLoadInTray(on);
    if (trayIcon_ != nullptr)
        trayIcon_->setShowMemoryLoad(on);
}

void OptionsPage::RzComboBox1Change(int index) {
    if (settings_ == nullptr || index < 0)
        return;
    settings_->SetAutoRefreshTimerInt(index);
    if (memoryTimer_ != nullptr)
        memoryTimer_->setInterval(refreshInterval(index));
}

void OptionsPage::RzBitBtn1Click() {
    const std::uint16_t code = RzHotKeyEdit1->code();
    if (hotKey_ != nullptr)
        hotKey_->activate(code);
    // Stored even when the key was refused; a missing key is not created and any registry error
    // is ignored: the key then works for this run only.
    try {
        platform::TRegistry registry(platform::HKEY_LOCAL_MACHINE);
        if (registry.OpenKey(SettingsKeyPath, false)) {
            registry.WriteInteger("Shortcut", code);
            registry.CloseKey();
        }
    } catch (const platform::ERegistryException&) {
    }
}

} // namespace brenvik
