// What the program does around the window's event loop.
#pragma once

class QApplication;

namespace tfx {

// Before the QApplication exists: the browser box shares its drawing contexts with the window.
void prepare_application();

// Delivers events until the window is closed, then ends the process at once with status 0.
// Workers may still be running or waiting for the window's thread; ending the process without
// unwinding keeps them from touching objects that are being destroyed.
[[noreturn]] void run_until_closed(QApplication& app);

}  // namespace tfx
