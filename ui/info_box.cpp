#include "ui/info_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace ui {

const char* const kInfoText =
    "W e g m a t e\n"
    "Version 1.5.2\n"
    "\n"
    "Kommentare und Anregungen\n"
    "sind willkommen.\n";

InfoBox::InfoBox(QWidget* owner, const QString& text, const QString& title, unsigned style)
    : QDialog(owner), text_(text) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(title);

    const DialogUnits units = systemDialogUnits();
    const int bx = units.baseX;
    const int by = units.baseY;
    font_ = semiBoldTextFont();
    margin_ = static_cast<int>((bx + by) * 0.8);

    // The text as a block of lines, without word wrapping.
    const QRect block = QFontMetrics(font_).boundingRect(QRect(0, 0, 100000, 100000),
                                                         Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, text_);
    const int textWidth = block.width();
    const int textHeight = block.height();

    if (style & 0x40) {
        const int size = this->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon_ = this->style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(size, size);
        iconWidth_ = size;
    }

    // The text starts one and a half icon widths right of the icon's left
    // edge, so that is the room the icon takes; counting only its width
    // would leave the end of the longest line at the right border.
    const int clientWidth = textWidth + static_cast<int>(iconWidth_ * 1.5) + static_cast<int>(margin_ * 2.4);
    const int clientHeight = textHeight + static_cast<int>(margin_ * 3.9);
    setFixedSize(clientWidth, clientHeight);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    ok_->setGeometry(clientWidth / 2 - 3 * bx, clientHeight - static_cast<int>(by * 1.2) - static_cast<int>(by * 0.8),
                     6 * bx, static_cast<int>(by * 1.3));
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void InfoBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor());
    int left = margin_;
    if (!icon_.isNull()) {
        painter.drawPixmap(margin_, margin_, icon_);
        left += static_cast<int>(iconWidth_ * 1.5);
    }
    painter.setFont(font_);
    painter.setPen(palette().color(QPalette::WindowText));
    // "&" is an ordinary character here: plain drawText shows no mnemonics.
    painter.drawText(QRect(left, margin_, width() - left, height() - margin_),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, text_);
}

int showInfoBox(QWidget* owner, const QString& text, const QString& title, unsigned style) {
    InfoBox box(owner, text, title, style);
    // Centred on the screen as created.
    if (QScreen* screen = box.screen()) {
        const QRect area = screen->availableGeometry();
        box.move(area.center() - QPoint(box.width() / 2, box.height() / 2));
    }
    return box.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace ui
