// Small helpers the wizard's windows share to create their controls at fixed
// places and to hand engine texts to Qt.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

#include <string>

namespace tabellix {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A control of kind W named name at geometry (client coordinates of parent).
template <typename W> W* Place(QWidget* parent, const char* name, QRect geometry) {
    auto* widget = new W(parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

inline QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* label = Place<QLabel>(parent, name, geometry);
    label->setText(text);
    return label;
}

inline QLineEdit* EditBox(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* edit = Place<QLineEdit>(parent, name, geometry);
    edit->setText(text);
    return edit;
}

// Buttons never act on Enter: only a click presses them.
inline QPushButton* Button(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* button = Place<QPushButton>(parent, name, geometry);
    button->setText(text);
    button->setAutoDefault(false);
    return button;
}

} // namespace tabellix
