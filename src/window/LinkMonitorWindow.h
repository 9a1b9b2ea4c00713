// The Link Monitor: a window beside the main window that lists the link's traffic in words, newest at
// the bottom, with pause, clear, copy and save. It takes link events only while it is open.
#pragma once

#include "LinkMonitorModel.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QTableView;

namespace quellix {

class TUserDialogs;

class TLinkMonitorWindow : public QWidget {
    Q_OBJECT
public:
    // Called with the monitor and true when the window opens, false when it closes or goes: the owner
    // adds it to the link's listeners and removes it, so a closed monitor collects nothing.
    using WatchLink = std::function<void(LinkListener& monitor, bool watching)>;

    TLinkMonitorWindow(TUserDialogs& dialogs, LinkMonitorModel::FlagsSource flags, WatchLink watch,
                       QWidget* parent = nullptr);
    ~TLinkMonitorWindow() override;

    LinkMonitorModel& Model() { return model_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void PauseClick(bool paused);
    void CopyClick();
    void SaveClick();
    void ShowCount();
    void Watch(bool watching);

    TUserDialogs& dialogs_;
    WatchLink watch_;
    LinkMonitorModel model_;
    QTableView* view_ = nullptr;
    QPushButton* pause_ = nullptr;
    QLabel* count_ = nullptr;
    bool watching_ = false;
    bool followNewest_ = true;
};

} // namespace quellix
