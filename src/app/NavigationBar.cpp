#include "app/NavigationBar.h"

#include "common/Fonts.h"

#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace brenvik {

namespace {
constexpr int CaptionHeight = 30;
constexpr int ItemHeight = 21;
} // namespace

NavigationBar::NavigationBar(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("RzGroupBar1"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(253, 250, 241));
    setPalette(colours);
    layout_->setContentsMargins(6, 6, 6, 6);
    layout_->setSpacing(6);
    layout_->addStretch(1);
}

int NavigationBar::addGroup(const QString& caption) {
    const int index = static_cast<int>(groups_.size());
    auto* header = new QPushButton(caption, this);
    header->setFixedHeight(CaptionHeight);
    header->setFont(uiFont(QStringLiteral("Tahoma"), 8, true));
    header->setCursor(Qt::PointingHandCursor);
    header->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: rgb(143,188,46); border: none; text-align: left;"
        " padding-left: 8px; }"
        "QPushButton:hover { background: rgb(155,200,58); }"));
    auto* items = new QWidget(this);
    auto* itemLayout = new QVBoxLayout(items);
    itemLayout->setContentsMargins(4, 4, 4, 4);
    itemLayout->setSpacing(2);
    items->hide();
    // Keep the stretch last.
    layout_->insertWidget(layout_->count() - 1, header);
    layout_->insertWidget(layout_->count() - 1, items);
    groups_.push_back({header, items, itemLayout, {}});
    connect(header, &QPushButton::clicked, this, [this, index] { toggleGroup(index); });
    return index;
}

QAction* NavigationBar::addItem(int group, const QIcon& icon, const QString& caption) {
    Group& target = groups_.at(group);
    auto* action = new QAction(icon, caption, this);
    auto* button = new QToolButton(target.items);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(ItemHeight, ItemHeight));
    button->setAutoRaise(true);
    button->setFixedHeight(ItemHeight);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(uiFont(QStringLiteral("MS Shell Dlg 2"), 8));
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; text-align: left; }"
                                         "QToolButton:hover { color: rgb(51,102,0);"
                                         " text-decoration: underline; }"));
    target.itemLayout->addWidget(button);
    target.entries.emplace_back(action, button);
    return action;
}

QWidget* NavigationBar::itemWidget(QAction* item) const {
    for (const Group& group : groups_)
        for (const auto& [action, widget] : group.entries)
            if (action == item)
                return widget;
    return nullptr;
}

void NavigationBar::toggleGroup(int group) {
    setOpenGroup(openGroup_ == group ? -1 : group);
}

void NavigationBar::setOpenGroup(int group) {
    openGroup_ = group;
    for (int i = 0; i < static_cast<int>(groups_.size()); ++i)
        groups_[i].items->setVisible(i == group);
}

} // namespace brenvik
