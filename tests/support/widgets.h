#pragma once
// Driving windows in the tests: controls by object name, and modal windows run by the test instead of a user.

#include "platform/qt_dialogs.h"

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

template <typename T>
T* child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c)
        ADD_FAILURE() << "no control " << name;
    return c;
}

inline void click(QWidget& w, const char* name) {
    child<QPushButton>(w, name)->click();
}
inline void type(QWidget& w, const char* name, const QString& text) {
    child<QLineEdit>(w, name)->setText(text);
}

// Installs a modal runner for the life of the object.
struct ScopedRunner {
    explicit ScopedRunner(platform::ModalRunner r) { platform::setModalRunner(std::move(r)); }
    ~ScopedRunner() { platform::setModalRunner(nullptr); }
};
