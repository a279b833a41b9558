#pragma once

// The About box: the program's name and version, the legal notices and the links to the support
// page and the web site. One instance lives for the whole run and is shown modally on request.

#include <QDialog>
#include <QLabel>

class QPushButton;

namespace brenvik {

// A text link that opens its address through the desktop and shows the visited colour once an
// opening succeeded. Mouse click, Space or Enter activate it.
class TUrlLabel : public QLabel {
    Q_OBJECT
public:
    TUrlLabel(const QString& text, const QString& url, QWidget* parent);

    const QString& url() const { return url_; }
    bool visited() const { return visited_; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open();
    void paintVisited(bool visited);

    QString url_;
    bool visited_ = false;
};

class TAboutUsFrm : public QDialog {
    Q_OBJECT
public:
    static const QString SupportAddress;
    static const QString WebAddress;

    explicit TAboutUsFrm(QWidget* parent = nullptr);
    ~TAboutUsFrm() override;

    TUrlLabel* supportLink() const { return supportLink_; }
    TUrlLabel* webLink() const { return webLink_; }
    QPushButton* closeButton() const { return closeButton_; }

protected:
    // Escape closes the box from any control: the box sees key presses before its controls do.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TUrlLabel* supportLink_ = nullptr;
    TUrlLabel* webLink_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

// The program's About box while it exists (created at start-up, kept for the run).
extern TAboutUsFrm* AboutUsFrm;

} // namespace brenvik
