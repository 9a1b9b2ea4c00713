// Small controls the window framework of the original had and Qt lacks.
#pragma once

#include <QLabel>

class QMouseEvent;

namespace quellix {

// A label that reports a left click (press and release on it), for the labels the user edits.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace quellix
