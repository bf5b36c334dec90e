#pragma once
// The wait window FOneAl and RunPackage: a tiny topmost window shows for a
// moment, then its timer hides it, launches the package and unloads it,
// which lets RunPackage return.
#include "platform/Platform.h"
#include "runner/StagingFolder.h"
#include "setup/SetupState.h"

// The window side of FOneAl, as its handlers and RunPackage use it.
class WaitWindowView {
public:
    virtual ~WaitWindowView() = default;
    // Creates the window hidden; Form_Load has run when this returns.
    virtual void Load() = 0;
    // Makes it visible, modeless and without owner, and returns at once.
    virtual void Show() = 0;
    virtual WindowHandle Handle() = 0;
    // Into the topmost band and visible, without moving, sizing or activating it.
    virtual void SetTopmost() = 0;
    // Raises RuntimeError when the timer cannot be switched on.
    virtual void EnableTimer(bool enabled) = 0;
    virtual void Focus() = 0;
    // Invisible but still loaded.
    virtual void Hide() = 0;
    // Form_Unload has run and the window is gone when this returns; nothing
    // happens when the window is not loaded.
    virtual void Unload() = 0;
};

// The window's event handlers.
class FOneAl {
public:
    FOneAl(SetupState& state, Platform& platform, StagingFolder& staging)
        : state_(state), platform_(platform), staging_(staging) {}

    void Form_Load(WaitWindowView& window);
    void Timer1_Timer(WaitWindowView& window);
    void Form_Unload();

private:
    ExitCode OpenStagedDocument(WindowHandle owner, const PackagePin* pin);

    SetupState& state_;
    Platform& platform_;
    StagingFolder& staging_;
    bool launched_ = false;
};

// Runs the package at path behind the wait window and returns once the
// window has unloaded: an executable has then exited, an ".msi" document has
// been accepted or refused by the shell. A window that fails to load (its
// timer cannot be set) is unloaded and the error raised.
void RunPackage(SetupState& state, EventPump& events, WaitWindowView& window, const Text& path);
