// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the window tests: options that keep the window off the
// sound device and the network, a cue recorder, and a catcher for modal
// message boxes.
#pragma once

#include "shell/MainWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <string>
#include <vector>

namespace shelltest {

struct Cue {
    std::string name;
    bool async;
};

// Records every cue the window plays; onCue may act while a cue "plays".
struct CueRecorder {
    std::vector<Cue> cues;
    std::function<void(const Cue &)> onCue;

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const Cue &c : cues)
            names.push_back(c.name);
        return names;
    }
};

inline std::filesystem::path BinDir()
{
    const char *bin = std::getenv("TALLYVOX_BIN");
    return bin ? std::filesystem::path(bin) : std::filesystem::current_path();
}

inline tallyvox::ShellOptions TestOptions(CueRecorder &recorder)
{
    tallyvox::ShellOptions o;
    o.cueFolder = "/nonexistent/play";
    o.serverBase = "http://127.0.0.1:1";
    o.scriptProgram = BinDir() / "tallyvox-script";
    o.startUpdateTimer = false;
    o.loadAdPage = false;
    o.cueSink = [&recorder](const std::string &name, bool async) {
        recorder.cues.push_back({name, async});
        if (recorder.onCue)
            recorder.onCue(recorder.cues.back());
    };
    return o;
}

template <typename T = QToolButton>
T *Find(QObject &root, const char *name)
{
    T *found = root.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control named %s", name);
    return found;
}

inline void Click(QObject &root, const char *name)
{
    QTest::mouseClick(Find<QWidget>(root, name), Qt::LeftButton);
}

// Closes every modal message box that appears while it lives, keeping what
// each one said.
class BoxCatcher : public QObject {
public:
    struct Box {
        QString title;
        QString text;
    };
    std::vector<Box> boxes;

    BoxCatcher()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            boxes.push_back({box->windowTitle(), box->text()});
            box->done(QMessageBox::Ok);
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

} // namespace shelltest
