// Small controls the window framework of the original had and Qt lacks.
#pragma once

#include <QLabel>

class QKeyEvent;
class QMouseEvent;

namespace quellix {

// A label that reports a left click (press and release on it), for the labels the user edits. Reached
// with Tab too, it answers Enter, Space and F2 as a click.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClickLabel(const QString& text, QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();
    void keyPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressed_ = false;
    bool keyboardFocus_ = false; // reached by Tab: the focus frame shows
};

// A one-line label whose text gives way in the middle of one part of it (a path, a file name) where
// its room is short, so the rest (a state, a count) always shows; text() stays whole.
class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(QWidget* parent = nullptr);

    // `givingWay` is the part of `text` that loses its middle first.
    void SetText(const QString& text, const QString& givingWay);
    // The text as it shows at the label's width.
    QString ShownText() const;
    // Whether the label asks a layout for the room of its whole text, or only for what it needs with
    // the part given way, leaving the rest to the others first.
    void SetAsksForWholeText(bool whole);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString Fitted(int width) const;
    int TextWidth(const QString& text) const;

    QString givingWay_;
    bool asksForWhole_ = true;
};

} // namespace quellix
