#include "ui/template_dialog.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>

namespace ui {

TemplateDialog::TemplateDialog(QWidget* owner, int pointSize, double width, double height, bool closeBox)
    : QDialog(owner) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    setWindowFlags(flags);
    setFont(templateFont(pointSize));
    units_ = dialogUnitsOf(font());
    setFixedSize(units_.x(width), units_.y(height));
}

QPushButton* TemplateDialog::addButton(const QString& text, double x, double y, double w, double h, bool isDefault) {
    auto* button = new QPushButton(text, this);
    place(button, x, y, w, h);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    return button;
}

std::vector<QLabel*> TemplateDialog::addExplanationLines(const QStringList& lines, const std::vector<int>& positions) {
    const int left = units_.x(6);
    const int available = width() - left - units_.x(3);
    QFont font = proportionalFont();
    for (int attempt = 0; attempt < 20; ++attempt) {
        QFontMetrics metrics(font);
        int widest = 0;
        for (const QString& line : lines) widest = qMax(widest, metrics.horizontalAdvance(line));
        if (widest <= available) break;
        font.setPointSizeF(font.pointSizeF() * available / widest - 0.1);
    }
    std::vector<QLabel*> labels;
    for (int i = 0; i < lines.size() && i < static_cast<int>(positions.size()); ++i) {
        auto* label = new QLabel(lines[i], this);
        label->setFont(font);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(left, units_.y(positions[i]) + 4, available, QFontMetrics(font).height() + 1);
        labels.push_back(label);
    }
    return labels;
}

QLabel* TemplateDialog::addLabelBeside(const QString& text, QWidget* control) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setFont(proportionalFont());
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int left = units_.x(6);
    const QRect target = control->geometry();
    const int textHeight = QFontMetrics(label->font()).height();
    const int height = qMax(textHeight, target.height());
    label->setGeometry(left, target.center().y() - height / 2, target.left() - left, height);
    return label;
}

void TemplateDialog::place(QWidget* widget, double x, double y, double w, double h) {
    widget->setGeometry(units_.rect(x, y, w, h));
}

void TemplateDialog::placeRelativeToOwner(double x, double y) { placeRelativeTo(parentWidget(), x, y); }

void TemplateDialog::placeRelativeTo(QWidget* owner, double x, double y) {
    // The owner's client area: below its menu bar.
    if (auto* window = qobject_cast<QMainWindow*>(owner))
        if (window->centralWidget()) owner = window->centralWidget();
    QPoint origin = owner ? owner->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    move(origin + QPoint(units_.x(x), units_.y(y)));
}

void TemplateDialog::centreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (parentWidget() && parentWidget()->screen()) screen = parentWidget()->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

}  // namespace ui
