#pragma once

// The application: starts the socket layer and runs the main window modally.
class CDatagramApp {
public:
    // Always false: once the window has ended there is nothing more to run.
    bool InitInstance();
};
