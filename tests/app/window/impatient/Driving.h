#pragma once

// How the impatient user's test reaches the window: files in the working folder, combo boxes chosen and
// menu commands triggered as the user does.

#include "tests/app/support/WindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>

/// `name` in the working folder, as an absolute path.
inline QString here(const QString& name) { return QDir::current().absoluteFilePath(name); }
inline QString here(const char* name) { return here(QLatin1String(name)); }

/// Chooses row `index` of the combo box `combo`, as a click does.
inline void choose_index(Window& w, const char* combo, int index) {
    auto* box = w.find<QComboBox>(combo);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

inline void trigger(Window& w, const char* action) { w.find<QAction>(action)->trigger(); }
