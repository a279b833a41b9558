#pragma once

// The navigation bar: collapsible groups of items stacked from the top. At most one group is open
// at a time; opening a group closes the one that was open; all start closed.

#include <QAction>
#include <QWidget>

#include <vector>

class QPushButton;
class QVBoxLayout;

namespace brenvik {

class NavigationBar : public QWidget {
    Q_OBJECT
public:
    explicit NavigationBar(QWidget* parent = nullptr);

    int addGroup(const QString& caption);
    // The item's action is triggered when the user clicks it.
    QAction* addItem(int group, const QIcon& icon, const QString& caption);

    int openGroup() const { return openGroup_; } // -1 when all are closed
    void setOpenGroup(int group);
    QPushButton* groupButton(int group) const { return groups_.at(group).header; }
    QWidget* itemWidget(QAction* item) const;

private:
    struct Group {
        QPushButton* header;
        QWidget* items;
        QVBoxLayout* itemLayout;
        std::vector<std::pair<QAction*, QWidget*>> entries;
    };
    void toggleGroup(int group);

    QVBoxLayout* layout_;
    std::vector<Group> groups_;
    int openGroup_ = -1;
};

} // namespace brenvik
