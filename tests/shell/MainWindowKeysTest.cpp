// SPDX-License-Identifier: GPL-3.0-or-later
// Real clicks on the window's keys and real key events on its display, with
// the cues they speak; and keys pressed while a result is being read out.
#include "ShellTestSupport.h"
#include "scientific/ScientificKeys.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QClipboard>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QRadioButton>
#include <QToolButton>

#include <tuple>

using namespace shelltest;
using tallyvox::TFrmMain;

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

std::vector<std::string> Words(const QString &text)
{
    std::vector<std::string> words;
    for (const QString &w : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.push_back(w == QLatin1String("''") ? std::string() : w.toStdString());
    return words;
}

QString Joined(const std::vector<std::string> &words)
{
    QStringList list;
    for (const std::string &w : words)
        list << (w.empty() ? QStringLiteral("''") : QString::fromStdString(w));
    return list.join(QLatin1Char(' '));
}

QString AccessibleName(QObject *o)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(o);
    return iface ? iface->text(QAccessible::Name) : QString();
}

struct Stroke {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

} // namespace

class ShellKeysTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        recorder_.cues.clear();
        recorder_.onCue = nullptr;
        window_ = std::make_unique<TFrmMain>(TestOptions(recorder_));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        display_ = Find<QLineEdit>(*window_, "edtInput");
        label_ = Find<QLabel>(*window_, "lblInput");
    }
    void cleanup() { window_.reset(); }

    // Keys clicked one after another; cues spelled with '' for the empty name.
    void clicks_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("cues");
        QTest::newRow("7 + 8 = reads 15") << "btnNum7 btnAdd btnNum8 btnEqual"
                                          << "15"
                                          << ""
                                          << "7 加 8 等于 1 拾 5";
        QTest::newRow("6 x 7 =") << "btnNum6 btnMul btnNum7 btnEqual"
                                 << "42"
                                 << ""
                                 << "6 乘 7 等于 4 拾 2";
        QTest::newRow("pending label") << "btnNum1 btnNum2 btnAdd"
                                       << "0"
                                       << "12+"
                                       << "1 2 加";
        QTest::newRow("C clears the display only") << "btnNum5 btnAdd btnNum3 btnC"
                                                   << "0"
                                                   << "5+"
                                                   << "5 加 3 归零";
        QTest::newRow("CE clears the calculation") << "btnNum5 btnAdd btnCE btnNum3 btnEqual"
                                                   << "3"
                                                   << ""
                                                   << "5 加 清除 3 等于 3";
        QTest::newRow("backspace") << "btnNum1 btnNum2 btnBack"
                                   << "1"
                                   << ""
                                   << "1 2 退位";
        QTest::newRow("sign") << "btnNum5 btnSingle"
                              << "-5"
                              << ""
                              << "5 负";
        QTest::newRow("sign of 0 is silent") << "btnSingle"
                                             << "0"
                                             << ""
                                             << "";
        QTest::newRow("point") << "btnNum1 SpbDian btnNum5"
                               << "1.5"
                               << ""
                               << "1 10 5";
        QTest::newRow("divide") << "btnNum9 btnDiv btnNum3 btnEqual"
                                << "3"
                                << ""
                                << "9 除 3 等于 3";
        QTest::newRow("subtract") << "btnNum3 btnSub btnNum5 btnEqual"
                                  << "-2"
                                  << ""
                                  << "3 减 5 等于 负 2";
        QTest::newRow("square root") << "btnNum9 btnRoots"
                                     << "3"
                                     << ""
                                     << "9 开方";
        QTest::newRow("sin 30 in degrees") << "btnNum3 btnNum0 SpbsIn"
                                           << "0.5"
                                           << ""
                                           << "3 0 sin";
        QTest::newRow("sinh speaks the empty cue") << "btnNum0 SpbaSin"
                                                   << "0"
                                                   << ""
                                                   << "0 ''";
        QTest::newRow("square") << "btnNum4 SpbXPF"
                                << "16"
                                << ""
                                << "4 平方";
        QTest::newRow("Mod is an operator") << "btnNum7 SpbMod btnNum4 btnEqual"
                                            << "3"
                                            << ""
                                            << "7 取余 4 等于 3";
    }

    void clicks()
    {
        QFETCH(QString, keys);
        QFETCH(QString, display);
        QFETCH(QString, label);
        QFETCH(QString, cues);
        for (const std::string &key : Words(keys))
            Click(*window_, key.c_str());
        QCOMPARE(display_->text(), display);
        QCOMPARE(label_->text(), label);
        QCOMPARE(Joined(recorder_.Names()), cues);
        QCOMPARE(QApplication::focusWidget(), display_); // keys never take the focus
    }

    void equalsAndReadOutAreSynchronous()
    {
        for (const char *key : {"btnNum7", "btnAdd", "btnNum8", "btnEqual"})
            Click(*window_, key);
        std::vector<bool> async;
        for (const Cue &c : recorder_.cues)
            async.push_back(c.async);
        QCOMPARE(async, (std::vector<bool>{true, true, true, false, false, false, false}));
    }

    // A screen reader's press must not wait for the key's handler (the
    // read-out, a modal window): it is queued, and runs the same handler.
    void accessiblePressIsQueued()
    {
        for (const char *key : {"btnNum7", "btnAdd", "btnNum8"})
            Click(*window_, key);
        auto *equal = window_->findChild<QToolButton *>(QStringLiteral("btnEqual"));
        QVERIFY(equal);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(equal);
        QVERIFY(iface && iface->actionInterface());
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("等于"));
        QVERIFY(!iface->state().focusable);
        QCOMPARE(iface->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
        const std::size_t before = recorder_.cues.size();
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(recorder_.cues.size(), before); // nothing ran inside the call
        QTRY_COMPARE(display_->text(), QStringLiteral("15"));
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("7 加 8 等于 1 拾 5"));

        auto *fe = window_->findChild<QToolButton *>(QStringLiteral("SpbPE"));
        QAccessibleInterface *toggle = QAccessible::queryAccessibleInterface(fe);
        QVERIFY(toggle->state().checkable);
        QVERIFY(!toggle->state().checked);
        toggle->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(toggle->state().checked);
    }

    void memoryIndicator()
    {
        auto *mark = Find<QLabel>(*window_, "MS");
        Click(*window_, "btnNum9");
        Click(*window_, "btnMS");
        QCOMPARE(mark->text(), QStringLiteral("M"));
        QVERIFY(mark->width() >= mark->fontMetrics().horizontalAdvance(QStringLiteral("M")));
        Click(*window_, "btnC");
        Click(*window_, "btnMR");
        QCOMPARE(display_->text(), QStringLiteral("9"));
        Click(*window_, "btnMC");
        QVERIFY(mark->text().isEmpty());
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("9 MS 归零 MR MC"));
    }

    void angleRadios()
    {
        auto *radian = Find<QRadioButton>(*window_, "RadRadian");
        QTest::mouseClick(radian, Qt::LeftButton);
        QVERIFY(radian->isChecked());
        QCOMPARE(window_->Angle(), tallyvox::AngleMode::Radians);
        QTest::mouseClick(radian, Qt::LeftButton); // already checked: nothing runs
        QTest::mouseClick(Find<QRadioButton>(*window_, "RadGrads"), Qt::LeftButton);
        QCOMPARE(window_->Angle(), tallyvox::AngleMode::Grads);
        QVERIFY(!radian->isChecked());
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("弧度制 梯度制"));
    }

    void exponentToggleFollowsTheEngine()
    {
        auto *fe = Find(*window_, "SpbPE");
        Click(*window_, "btnNum5");
        Click(*window_, "SpbPE");
        QVERIFY(fe->isChecked());
        QVERIFY(window_->Engine().ExponentDisplay);
        Click(*window_, "SpbPE");
        QVERIFY(!fe->isChecked());
        QVERIFY(!window_->Engine().ExponentDisplay);
    }

    // A function key's fault shows the error and its cue, never a box, and
    // leaves no operand behind (the box left -4 for the next digit: -42).
    void faultShowsTheErrorNotABox()
    {
        BoxCatcher boxes;
        for (const char *key : {"btnNum4", "btnSingle", "btnRoots"}) // square root of -4
            Click(*window_, key);
        QCOMPARE(int(boxes.boxes.size()), 0);
        QCOMPARE(display_->text(), QStringLiteral("错误！"));
        Click(*window_, "btnNum2");
        QCOMPARE(display_->text(), QStringLiteral("2"));

        // A pasted text as long as the clipboard's edit takes is refused
        // whole, quickly, and leaves the display as it was.
        QGuiApplication::clipboard()->setText(QStringLiteral("1,5") + QString(32000, QLatin1Char('x')));
        QTest::keyClick(display_, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(display_->text(), QStringLiteral("2"));
        QCOMPARE(int(boxes.boxes.size()), 0);
    }

    // Key releases on the display, as the keyboard table maps them.
    void keyboard_data()
    {
        QTest::addColumn<QList<int>>("strokes"); // key, modifiers, key, modifiers...
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("cues");
        const int pad = int(Qt::KeypadModifier), none = 0, shift = int(Qt::ShiftModifier),
                  ctrl = int(Qt::ControlModifier), alt = int(Qt::AltModifier);
        QTest::newRow("pad 7 + 8 Enter") << QList<int>{Qt::Key_7, pad, Qt::Key_Plus,  pad,
                                                       Qt::Key_8, pad, Qt::Key_Enter, pad}
                                         << "15"
                                         << ""
                                         << "7 加 8 等于 1 拾 5";
        QTest::newRow("main row 9 and pad 9") << QList<int>{Qt::Key_9, none, Qt::Key_9, pad} << "99"
                                              << ""
                                              << "9 9";
        QTest::newRow("Shift+8 is * and multiplies")
            << QList<int>{Qt::Key_7, none, Qt::Key_Asterisk, shift, Qt::Key_8, none, Qt::Key_Return, none} << "56"
            << ""
            << "7 乘 8 等于 5 拾 6";
        QTest::newRow("pad * multiplies")
            << QList<int>{Qt::Key_6, none, Qt::Key_Asterisk, pad, Qt::Key_7, none, Qt::Key_Return, none} << "42"
            << ""
            << "6 乘 7 等于 4 拾 2";
        QTest::newRow("= is equals") << QList<int>{Qt::Key_7, none, Qt::Key_Plus,  shift,
                                                   Qt::Key_8, none, Qt::Key_Equal, none}
                                     << "15"
                                     << ""
                                     << "7 加 8 等于 1 拾 5";
        QTest::newRow("Shift+= adds") << QList<int>{Qt::Key_2, none, Qt::Key_Plus, shift} << "0"
                                      << "2+"
                                      << "2 加";
        QTest::newRow("- and pad - subtract")
            << QList<int>{Qt::Key_9, none, Qt::Key_Minus, none, Qt::Key_Minus, pad} << "0"
            << "9-"
            << "9 减 减";
        QTest::newRow("/ divides") << QList<int>{Qt::Key_8, none, Qt::Key_Slash, none} << "0"
                                   << "8/"
                                   << "8 除";
        QTest::newRow("points") << QList<int>{Qt::Key_1, none, Qt::Key_Period, none,
                                              Qt::Key_5, none, Qt::Key_Period, pad}
                                << "1.5"
                                << ""
                                << "1 10 5 10";
        QTest::newRow("Backspace") << QList<int>{Qt::Key_1, none, Qt::Key_2, none, Qt::Key_Backspace, none} << "1"
                                   << ""
                                   << "1 2 退位";
        QTest::newRow("F1 clears all") << QList<int>{Qt::Key_5, none, Qt::Key_Plus, pad, Qt::Key_F1, none} << "0"
                                       << ""
                                       << "5 加 清除";
        QTest::newRow("F2 clears the display")
            << QList<int>{Qt::Key_5, none, Qt::Key_Plus, pad, Qt::Key_3, none, Qt::Key_F2, none} << "0"
            << "5+"
            << "5 加 3 归零";
        QTest::newRow("memory keys") << QList<int>{Qt::Key_5, none, Qt::Key_M, ctrl, Qt::Key_3, none, Qt::Key_P, ctrl,
                                                   Qt::Key_R, ctrl, Qt::Key_L, ctrl, Qt::Key_Q, ctrl}
                                     << "8"
                                     << ""
                                     << "5 MS 3 M+ MR MC M-";
        QTest::newRow("scientific keys") << QList<int>{Qt::Key_3, none, Qt::Key_0, none, Qt::Key_S, none} << "0.5"
                                         << ""
                                         << "3 0 sin";
        QTest::newRow("Space reads the display again")
            << QList<int>{Qt::Key_1, none, Qt::Key_2, none, Qt::Key_Space, none, Qt::Key_3, none} << "123"
            << ""
            << "1 2 1 拾 2 3";
        QTest::newRow("? reads the operation and the memory")
            << QList<int>{Qt::Key_5, none, Qt::Key_Plus, shift, Qt::Key_Question, shift} << "0"
            << "5+"
            << "5 加 5 加 无记忆 角度制 加强型"; // the angle unit and view too
        QTest::newRow("unmapped keys do nothing")
            << QList<int>{Qt::Key_A, none, Qt::Key_Home, none, Qt::Key_Ampersand, none, Qt::Key_V, alt} << "0"
            << ""
            << "";
    }

    void keyboard()
    {
        QFETCH(QList<int>, strokes);
        QFETCH(QString, display);
        QFETCH(QString, label);
        QFETCH(QString, cues);
        for (int i = 0; i + 1 < strokes.size(); i += 2)
            QTest::keyClick(display_, Qt::Key(strokes[i]), Qt::KeyboardModifiers(strokes[i + 1]));
        QCOMPARE(display_->text(), display);
        QCOMPARE(label_->text(), label);
        QCOMPARE(Joined(recorder_.Names()), cues);
    }

    void heldKeyActsOnce()
    {
        // A held key sends repeated press/release pairs marked auto-repeat
        // between its real press and release.
        QTest::keyPress(display_, Qt::Key_4);
        for (int i = 0; i < 3; ++i) {
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_4, Qt::NoModifier, QStringLiteral("4"), true);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_4, Qt::NoModifier, QStringLiteral("4"), true);
            QApplication::sendEvent(display_, &release);
            QApplication::sendEvent(display_, &press);
        }
        QCOMPARE(display_->text(), QStringLiteral("0"));
        QTest::keyRelease(display_, Qt::Key_4);
        QCOMPARE(display_->text(), QStringLiteral("4"));
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("4"));
    }

    void keyPressAloneDoesNothing()
    {
        QTest::keyPress(display_, Qt::Key_7);
        QCOMPARE(display_->text(), QStringLiteral("0"));
        QVERIFY(recorder_.cues.empty());
        QTest::keyRelease(display_, Qt::Key_7);
        QCOMPARE(display_->text(), QStringLiteral("7"));
    }

    // The press decides what a key means: Shift let go before the key still
    // multiplies. The physical key (its scan code) ties the two together.
    void modifierReleasedFirst()
    {
        const auto send = [&](QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text) {
            QKeyEvent event(type, key, modifiers, 17, 0, 0, text);
            QApplication::sendEvent(display_, &event);
        };
        QTest::keyClick(display_, Qt::Key_6);
        send(QEvent::KeyPress, Qt::Key_Asterisk, Qt::ShiftModifier, QStringLiteral("*"));
        send(QEvent::KeyRelease, Qt::Key_8, Qt::NoModifier, QStringLiteral("8"));
        QCOMPARE(label_->text(), QStringLiteral("6*"));
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("6 乘"));
    }

    // Enter or Space that confirm a menu, a message box or a dialog are
    // pressed there; only their release reaches the display, and does nothing.
    void releaseWithoutPressDoesNothing()
    {
        QTest::keyClick(display_, Qt::Key_7);
        QTest::keyClick(display_, Qt::Key_Plus, Qt::ShiftModifier);
        QTest::keyClick(display_, Qt::Key_8);
        // The view menu, opened and confirmed from the keyboard.
        QTest::keyClick(window_.get(), Qt::Key_V, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        menu->setActiveAction(Find<QAction>(*window_, "N4"));
        QTest::keyPress(menu, Qt::Key_Return);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(Find<QAction>(*window_, "N4")->isChecked());
        QTest::keyRelease(display_, Qt::Key_Return);
        // A message box confirmed with Space, then Enter.
        BoxCatcher boxes;
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return})
            QTest::keyRelease(display_, key);
        QCOMPARE(display_->text(), QStringLiteral("8"));
        QCOMPARE(label_->text(), QStringLiteral("7+"));
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("7 加 8"));
    }

    void keysOfAHiddenPanelDoNothing()
    {
        Find<QAction>(*window_, "N4")->trigger();
        QTest::keyClick(display_, Qt::Key_9);
        QTest::keyClick(display_, Qt::Key_S);
        QTest::keyClick(display_, Qt::Key_F4);
        QCOMPARE(display_->text(), QStringLiteral("9"));
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("9"));
        QCOMPARE(window_->Angle(), tallyvox::AngleMode::Degrees);
    }

    void copyAndPasteKeys()
    {
        QTest::keyClick(display_, Qt::Key_4);
        QTest::keyClick(display_, Qt::Key_2);
        QTest::keyClick(display_, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("42"));
        QGuiApplication::clipboard()->setText(QStringLiteral("12.5"));
        QTest::keyClick(display_, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(display_->text(), QStringLiteral("12.5"));
        QGuiApplication::clipboard()->setText(QStringLiteral("7"));
        QTest::keyClick(display_, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(display_->text(), QStringLiteral("7"));
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("4 2"));
    }

    // The tape panel: Ctrl+H opens it below the keypad (the window grows,
    // no key moves) with the focus in it; a move reads the entry, Enter
    // recalls its result as MR does, Esc returns to the display; Ctrl+Up
    // reads from the display without leaving it.
    void tapePanel()
    {
        for (Qt::Key key : {Qt::Key_1, Qt::Key_2, Qt::Key_Plus, Qt::Key_3, Qt::Key_Equal, Qt::Key_5, Qt::Key_Asterisk,
                            Qt::Key_2, Qt::Key_Equal, Qt::Key_9, Qt::Key_Plus})
            QTest::keyClick(display_, key);
        auto *list = Find<QListView>(*window_, "lstTape");
        auto *panel = Find<QFrame>(*window_, "pnlTape");
        // The list takes its own shortcuts from the menus, and no others:
        // Alt+V still opens 查看 from the tape (the list took every one).
        for (const auto &[key, modifiers, listTakes] :
             {std::tuple{Qt::Key_H, Qt::KeyboardModifiers(Qt::ControlModifier), true},
              std::tuple{Qt::Key_V, Qt::KeyboardModifiers(Qt::AltModifier), false}}) {
            QKeyEvent override(QEvent::ShortcutOverride, key, modifiers);
            override.ignore();
            QApplication::sendEvent(list, &override);
            QCOMPARE(override.isAccepted(), listTakes);
        }
        auto *equals = Find(*window_, "btnEqual");
        const QPoint keyAt = equals->mapTo(window_.get(), QPoint());
        const int height = window_->height();
        QVERIFY(!panel->isVisible());
        recorder_.cues.clear();
        QTest::keyClick(display_, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(panel->isVisible());
        QVERIFY(list->hasFocus());
        QCOMPARE(window_->height(), height + tallyvox::layout::TapeGrowth);
        QCOMPARE(equals->mapTo(window_.get(), QPoint()), keyAt);
        QCOMPARE(list->model()->rowCount(), 2);
        QCOMPARE(list->currentIndex().row(), 1); // the newest, not read
        QVERIFY(recorder_.cues.empty());
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("12 + 3 = 15"));
        QCOMPARE(list->model()->index(1, 0).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("第2条，5乘2等于10"));

        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("1 拾 2 加 3 等于 1 拾 5"));
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(display_->hasFocus());
        QCOMPARE(display_->text(), QStringLiteral("15"));
        QCOMPARE(label_->text(), QStringLiteral("9+"));
        QTest::keyClick(display_, Qt::Key_Equal);
        QCOMPARE(display_->text(), QStringLiteral("24"));
        QCOMPARE(list->model()->rowCount(), 3);

        recorder_.cues.clear();
        QTest::keyClick(display_, Qt::Key_Up, Qt::ControlModifier);
        QVERIFY(display_->hasFocus());
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("第 3 条 9 加 1 拾 5 等于 2 拾 4"));
        QTest::keyClick(display_, Qt::Key_H, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(display_->hasFocus());
        QVERIFY(panel->isVisible());
        QTest::keyClick(display_, Qt::Key_H, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(!panel->isVisible());
        QCOMPARE(window_->height(), height);
    }

    // A screen reader reads the pending operation and the memory from the
    // label's and the mark's names, and hears them in the display's
    // description (the end-to-end test listens for the change events).
    void statusIsReadByScreenReaders()
    {
        auto *memory = Find<QLabel>(*window_, "MS");
        QCOMPARE(AccessibleName(label_), QStringLiteral("运算：无"));
        QCOMPARE(AccessibleName(memory), QStringLiteral("记忆：空"));
        for (const char *key : {"btnNum5", "btnMS", "btnAdd"})
            Click(*window_, key);
        QCOMPARE(AccessibleName(label_), QStringLiteral("运算：5+"));
        QCOMPARE(AccessibleName(memory), QStringLiteral("记忆：5"));
        QVERIFY(display_->accessibleDescription().startsWith(QStringLiteral("运算：5+，记忆：5。")));
        Click(*window_, "btnCE");
        QCOMPARE(AccessibleName(label_), QStringLiteral("运算：无"));
    }

    // The whole number shows, in either view; the font shrinks to fit.
    void longNumbersShowWhole_data()
    {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("display");
        QTest::newRow("1/7 standard") << true << "btnNum1 btnDiv btnNum7 btnEqual"
                                      << "0.142857142857143";
        QTest::newRow("1/7 enhanced") << false << "btnNum1 btnDiv btnNum7 btnEqual"
                                      << "0.142857142857143";
        QTest::newRow("negative with exponent") << true
                                                << "btnNum7 btnSingle btnDiv btnNum3 btnEqual btnMul "
                                                   "btnNum1 btnNum0 btnNum0 btnNum0 btnEqual btnMul btnDiv"
                                                << "0";
        QTest::newRow("30 digits standard")
            << true << QString("btnNum8 ").repeated(30) << QString(30, QLatin1Char('8'));
    }

    void longNumbersShowWhole()
    {
        QFETCH(bool, standard);
        QFETCH(QString, keys);
        QFETCH(QString, display);
        if (standard)
            Find<QAction>(*window_, "N4")->trigger();
        for (const std::string &key : Words(keys))
            Click(*window_, key.c_str());
        QCOMPARE(display_->text(), display);
        for (QWidget *shown : {static_cast<QWidget *>(display_), static_cast<QWidget *>(label_)}) {
            const QString text = shown == display_ ? display_->text() : label_->text();
            QVERIFY2(shown->fontMetrics().horizontalAdvance(text) <= shown->contentsRect().width() - 2,
                     qPrintable(text));
        }
        QVERIFY(display_->font().pixelSize() <= 20);
    }

    // A key clicked while the result is read aloud runs nested, between two
    // cues, and ends the read-out.
    void keyDuringReadOutStopsIt()
    {
        QToolButton *plus = Find(*window_, "btnAdd");
        recorder_.onCue = [&](const Cue &c) {
            if (c.name == "拾") // 2nd cue of the read-out: the click waits for the next event step
                QMetaObject::invokeMethod(plus, "click", Qt::QueuedConnection);
        };
        for (const char *key : {"btnNum7", "btnAdd", "btnNum8", "btnEqual"})
            Click(*window_, key);
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("7 加 8 等于 1 拾 加"));
        QCOMPARE(label_->text(), QStringLiteral("15+")); // the interrupted read-out leaves the label
        QCOMPARE(display_->text(), QStringLiteral("0"));
        QVERIFY(window_->Engine().StopReadOut);
    }

    void readOutShowsTheResultWhileSpeaking()
    {
        QString shown;
        recorder_.onCue = [&](const Cue &c) {
            if (c.name == "1")
                shown = display_->text();
        };
        for (const char *key : {"btnNum7", "btnAdd", "btnNum8", "btnEqual"})
            Click(*window_, key);
        QCOMPARE(shown, QStringLiteral("15"));
    }

    void nestedEqualsRunsItsOwnReadOut()
    {
        QToolButton *equals = Find(*window_, "btnEqual");
        bool queued = false;
        recorder_.onCue = [&](const Cue &c) {
            if (c.name == "拾" && !queued) {
                queued = true;
                QMetaObject::invokeMethod(equals, "click", Qt::QueuedConnection);
            }
        };
        for (const char *key : {"btnNum7", "btnAdd", "btnNum8", "btnEqual"})
            Click(*window_, key);
        // The nested read-out ends the outer one for good (it went on with
        // its last "5", heard glued to the newer number).
        QCOMPARE(Joined(recorder_.Names()), QStringLiteral("7 加 8 等于 1 拾 等于 1 拾 5"));
        QCOMPARE(display_->text(), QStringLiteral("15"));
        QVERIFY(label_->text().isEmpty());
    }

private:
    CueRecorder recorder_;
    std::unique_ptr<TFrmMain> window_;
    QLineEdit *display_ = nullptr;
    QLabel *label_ = nullptr;
};

QTEST_MAIN(ShellKeysTest)
#include "MainWindowKeysTest.moc"
