// SPDX-License-Identifier: GPL-3.0-or-later
// The expression calculator window: a small dialog in which a typed
// expression is evaluated by the script engine and its value read aloud.
//
// Created once and hidden, never destroyed, when closed, so the two texts
// survive between openings. The read-out lets events run between cues, so a
// calculation can run inside a running one, which ends the older read-out;
// closing waits until the read-out has finished, but Esc ends it and closes
// at once. Enter calculates (or presses the focused button). Cues, the pause and the main window's
// state come in through ExpressionWindowHooks.
#pragma once

#include "expression/ExpressionCalculator.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

class QAction;
class QCloseEvent;
class QEventLoop;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QShowEvent;

namespace tallyvox {

struct ExpressionWindowHooks {
    // The main window's PlayCue; this window always plays asynchronously.
    std::function<void(const std::string &name, bool async)> playCue;
    // True once the main window has closed and released its cue buffer.
    std::function<bool()> mainWindowClosed;
    // The pause before each read-out cue; default: events run meanwhile.
    std::function<void(int milliseconds)> wait;
    // Blocks until the cue played last has been heard; unset: cues end at once.
    std::function<void()> waitForCueEnd;
    // The failure message; default: an information box owned by the window.
    std::function<void(const QString &caption, const QString &text)> showMessage;
    // Each calculation, its expression and result text, for the tape.
    std::function<void(const std::string &input, const std::string &output)> evaluated;
};

class TForTest : public QDialog {
    Q_OBJECT

public:
    TForTest(ScriptEvaluator &script, ExpressionWindowHooks hooks, QWidget *parent = nullptr);
    ~TForTest() override;

    // Applies the menu's insertion rule to EditInPut: newExpression is the
    // expression with functionText already inserted at the caret.
    void editInsert(const QString &functionText, const QString &newExpression);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void btnFuncClick();
    void atan1Click(QAction *Sender);
    void rzbtbtn1Click();
    void rzbtbtn2Click();
    void btnCloseClick();

private:
    class ReadOutHost;

    void FormShow();
    // Closes now, or once the running read-out has finished.
    void CloseWhenIdle();

    ScriptEvaluator &script_;
    ExpressionWindowHooks hooks_;

    QLabel *Label1 = nullptr;
    QLineEdit *EditInPut = nullptr;
    QPushButton *btnFunc = nullptr;
    QLabel *lbl2 = nullptr;
    QLineEdit *EditOutPut = nullptr;
    QLabel *lbl1 = nullptr;
    QPushButton *btnCalc = nullptr;
    QPushButton *btnClear = nullptr;
    QPushButton *btnClose = nullptr;
    QMenu *PopupMenu = nullptr;

    int readOutDepth_ = 0;        // read-outs running, nested ones included
    QEventLoop *pause_ = nullptr; // the read-out's pause that is running
    bool closePending_ = false;   // a close came during a read-out
    // Counts read-outs started; only the latest one may go on.
    unsigned readOutGeneration_ = 0;
};

} // namespace tallyvox
