// The floor of the start-up benchmark: an empty Qt Widgets main window, which reports its first paint
// as the tool does.
#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <ctime>

namespace quellix {

namespace {

class BareWindow : public QMainWindow {
protected:
    void paintEvent(QPaintEvent* event) override {
        QMainWindow::paintEvent(event);
        if (painted_)
            return;
        painted_ = true;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::fprintf(stderr, "bare window: first paint (monotonic clock %.3f ms)\n",
                     static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6);
    }

private:
    bool painted_ = false;
};

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    BareWindow window;
    window.resize(446, 610);
    window.show();
    return application.exec();
}
