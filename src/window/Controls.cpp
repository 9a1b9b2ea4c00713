#include "Controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace quellix {

TClickLabel::TClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    // Tab only: a click edits the label without moving the focus.
    setFocusPolicy(Qt::TabFocus);
}

void TClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        Q_EMIT clicked();
}

void TClickLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_F2:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            Q_EMIT keyPressed();
            return;
        }
        break;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
}

// The frame shows for focus that came with the keyboard, not for the focus a window hands its first
// control when it opens.
void TClickLabel::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QLabel::focusInEvent(event);
    update();
}

void TClickLabel::focusOutEvent(QFocusEvent* event) {
    keyboardFocus_ = false;
    QLabel::focusOutEvent(event);
    update();
}

void TClickLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!keyboardFocus_ || !hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

TElidedLabel::TElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void TElidedLabel::SetText(const QString& text, const QString& givingWay) {
    givingWay_ = givingWay;
    setText(text);
    updateGeometry();
}

void TElidedLabel::SetAsksForWholeText(bool whole) {
    asksForWhole_ = whole;
    updateGeometry();
}

int TElidedLabel::TextWidth(const QString& text) const {
    const QMargins margins = contentsMargins();
    return fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() + 2 * margin();
}

QSize TElidedLabel::sizeHint() const {
    return asksForWhole_ ? QSize(TextWidth(text()), QLabel::sizeHint().height()) : minimumSizeHint();
}

QSize TElidedLabel::minimumSizeHint() const {
    return {TextWidth(Fitted(0)), QLabel::sizeHint().height()};
}

QString TElidedLabel::ShownText() const {
    return Fitted(contentsRect().width() - 2 * margin());
}

// The whole text where it fits; otherwise the giving part shortened in its middle to the room the rest
// leaves, down to a lone ellipsis.
QString TElidedLabel::Fitted(int width) const {
    const QString whole = text();
    const QFontMetrics metrics = fontMetrics();
    const qsizetype at = givingWay_.isEmpty() ? -1 : whole.indexOf(givingWay_);
    if (at < 0 || metrics.horizontalAdvance(whole) <= width)
        return whole;
    const QString head = whole.left(at);
    const QString tail = whole.mid(at + givingWay_.size());
    const int room = width - metrics.horizontalAdvance(head + tail);
    QString middle = metrics.elidedText(givingWay_, Qt::ElideMiddle, room);
    if (middle.isEmpty())
        middle = QStringLiteral("\u2026");
    return head + middle + tail;
}

void TElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(), ShownText(),
                          foregroundRole());
}

} // namespace quellix
