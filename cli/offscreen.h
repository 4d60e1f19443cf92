#pragma once

// The batch tool draws with the window's charts but never needs a display: an application of its own on
// the offscreen platform, when the process has none yet.

#include <memory>

class QApplication;

/// A new application on the offscreen platform, whose remarks (runtime folder, window hints) stay quiet
/// and whose critical messages go to standard error; null when the process has an application already.
std::unique_ptr<QApplication> offscreen_application();
