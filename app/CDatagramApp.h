#pragma once

// The application: starts the socket layer and runs the main window modally.
class CDatagramApp {
public:
    // Names the application (captions, desktop entry, version) whatever the
    // program file is called.
    CDatagramApp();

    // Always false: once the window has ended there is nothing more to run.
    bool InitInstance();
};
