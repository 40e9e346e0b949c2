// The application object: from process start to the end of the main window's modal loop.
// It refuses to run as the 32-bit build on 64-bit Windows, and refuses a second copy through the named event "Tarnwick" (the name alone is the
// guard; the event stays open until the process ends and is never waited on), then brings
// up the controls, the splash and the main window. The windows themselves are behind
// ApplicationShell so that the order of steps is tested without a screen.
#pragma once

#include "platform/system.h"

#include <memory>
#include <string>

namespace tw {

enum class MessageIcon { None, Information };

class ApplicationShell {
public:
    virtual ~ApplicationShell() = default;
    // A message box without owner window and a single OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    // Common controls, the rich-edit library and control hosting.
    virtual void InitialiseControls() = 0;
    // The splash window, modal; it closes itself.
    virtual void ShowSplash() = 0;
    // The main window, modal, until the user leaves.
    virtual void RunMainWindow() = 0;
};

class Application {
public:
    static constexpr const char* kInstanceEventName = "Tarnwick";
    static constexpr const char* kAlreadyRunning = "An instance of Tarnwick is already running";
    static constexpr const char* kAlreadyRunningCaption = "Error";

    explicit Application(System& system) : system_(system) {}

    // Runs the program. Returns false always: the process ends when the main window has
    // closed (or at once for a refused copy).
    bool Start(ApplicationShell& shell);

    bool refused() const { return refused_; }

private:
    System& system_;
    std::unique_ptr<Event> instanceGuard_;
    bool refused_ = false;
};

}  // namespace tw
