// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window is built with. main() passes the defaults; tests
// replace the parts that would reach outside (sound, network, updater).
#pragma once

#include <filesystem>
#include <functional>
#include <string>

class QWidget;

namespace tallyvox {

struct ShellOptions {
    // Folder of the "<name>.WAV" cue files.
    std::filesystem::path cueFolder;
    // Base address of the maker's web server; update manifest and
    // advertisement page live below it.
    std::string serverBase;
    // The script sandbox program used by the scientific keys.
    std::filesystem::path scriptProgram;

    // The updater entry point, called once by Timer1Timer.
    std::function<void(const char *manifestUrl, int flags)> beginUpdate;
    // Makes the updater's notices appear over the given window (on the GUI
    // thread, non-modal); called once, before Timer1 can fire.
    std::function<void(QWidget *window)> installUpdateNotice;
    bool startUpdateTimer = true;
    // Fetch the advertisement page once the window is shown.
    bool loadAdPage = true;

    // When set, cues go here instead of to the sound device (tests record
    // them). A synchronous cue has finished when the call returns.
    std::function<void(const std::string &name, bool async)> cueSink;

    // When set, every cue played is also appended to this file, one line
    // each: "sync" or "async", a tab, the cue name. From TALLYVOX_CUE_LOG;
    // end-to-end tests read it to hear what a run said.
    std::filesystem::path cueLog;

    // Keep the listener's settings, the angle unit and the tape panel's
    // visibility in settingsFile (empty: the user's tallyvox.conf). Off in
    // tests, which must not touch a person's settings.
    bool keepSettings = false;
    std::filesystem::path settingsFile;
    // The tape's file, read once the window is shown and kept as the tape
    // changes; with it the "keep the tape" setting is read from and written
    // to QSettings. Empty: the tape is kept in memory only.
    std::filesystem::path tapeFile;

    // Runs before each of FormCreate's steps (1..9); an exception thrown
    // here fails that step exactly as a failure of the step itself.
    std::function<void(int step)> beforeCreateStep;

    // Everything as the shipped program uses it: cues from play/ beside the
    // executable, the configured server, the real updater library.
    static ShellOptions Defaults();
};

} // namespace tallyvox
