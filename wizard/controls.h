// Small helpers the wizard's windows share: their font, controls at fixed
// places, event handlers bound to them, and engine texts handed to Qt.
#pragma once

#include "wizard/dialogs.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

namespace tabellix {

// Tahoma 8 point, or the closest sans-serif face the system has.
inline QFont WizardFont() {
    QFont font("Tahoma");
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

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

// A slot running handler on owner; an error it does not catch goes to the
// error box over owner's window.
template <typename T> std::function<void()> Handler(T* owner, void (T::*handler)()) {
    return [owner, handler] {
        RunHandler(owner->window(), [owner, handler] { (owner->*handler)(); });
    };
}

} // namespace tabellix
