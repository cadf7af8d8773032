// SPDX-License-Identifier: GPL-3.0-or-later
// The expression calculator window, offscreen: layout, typing and
// calculating, the function menu, and what may happen during a read-out.
#include "expression/ExpressionWindow.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace tallyvox;

namespace {

std::filesystem::path SandboxProgram()
{
    if (const char *bin = std::getenv("TALLYVOX_BIN"))
        return std::filesystem::path(bin) / "tallyvox-script";
    return ScriptEvaluator::DefaultSandboxProgram();
}

QStringList ToList(const std::vector<std::string> &items)
{
    QStringList list;
    for (const std::string &item : items)
        list << QString::fromStdString(item);
    return list;
}

} // namespace

class ExpressionWindowTest : public QObject {
    Q_OBJECT

private:
    // What the window did, as the main window and the user would notice.
    std::vector<std::string> cues_;
    std::vector<bool> visibleAtCue_;
    std::vector<QString> outputAtCue_;
    std::vector<int> waits_;
    QStringList messages_;
    // The last cue played has not been waited for yet.
    bool sounding_ = false;
    bool mainWindowClosed_ = false;
    // Run at the pause before the n-th read-out cue (1-based), as if the
    // user acted while the window waits.
    std::map<int, std::function<void()>> duringPause_;

    std::unique_ptr<ScriptEvaluator> script_;
    std::unique_ptr<TForTest> window_;

    template <typename T>
    T *Child(const char *name)
    {
        auto *child = window_->findChild<T *>(QString::fromLatin1(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }
    QLineEdit *Input() { return Child<QLineEdit>("EditInPut"); }
    QLineEdit *Output() { return Child<QLineEdit>("EditOutPut"); }
    QAction *MenuItem(const char *name) { return Child<QMenu>("PopupMenu")->findChild<QAction *>(name); }

    void Calculate(const QString &expression)
    {
        Input()->setText(expression);
        QTest::mouseClick(Child<QPushButton>("btnCalc"), Qt::LeftButton);
    }

private slots:
    void initTestCase() { script_ = std::make_unique<ScriptEvaluator>(SandboxProgram()); }

    void init()
    {
        cues_.clear();
        visibleAtCue_.clear();
        outputAtCue_.clear();
        waits_.clear();
        messages_.clear();
        sounding_ = false;
        mainWindowClosed_ = false;
        duringPause_.clear();
        ExpressionWindowHooks hooks;
        hooks.playCue = [this](const std::string &name, bool async) {
            QVERIFY(async);
            // A read-out cue starts only once the one before has ended.
            if (name != "等于")
                QVERIFY(!sounding_);
            sounding_ = true;
            cues_.push_back(name);
            visibleAtCue_.push_back(window_->isVisible());
            outputAtCue_.push_back(Output()->text());
        };
        hooks.mainWindowClosed = [this] { return mainWindowClosed_; };
        hooks.waitForCueEnd = [this] { sounding_ = false; };
        hooks.wait = [this](int milliseconds) {
            waits_.push_back(milliseconds);
            if (auto action = duringPause_.find(static_cast<int>(waits_.size())); action != duringPause_.end())
                action->second();
        };
        hooks.showMessage = [this](const QString &caption, const QString &text) { messages_ << caption + "|" + text; };
        window_ = std::make_unique<TForTest>(*script_, hooks);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup() { window_.reset(); }

    void layout()
    {
        QCOMPARE(window_->windowTitle(), QStringLiteral("表达式计算器"));
        QCOMPARE(window_->size(), QSize(413, 149));
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        QVERIFY(window_->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(window_->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(window_->font().pixelSize(), 12);

        struct Control {
            const char *name;
            QRect place;
            QString caption;
            QString accessibleName;
        };
        const Control controls[] = {
            {"Label1", {16, 32, 66, 12}, "输入表达式:", ""},
            {"EditInPut", {96, 28, 252, 20}, "", "输入表达式"},
            {"btnFunc", {354, 26, 31, 22}, "", "插入函数"},
            {"lbl2", {28, 67, 54, 12}, "计算结果:", ""},
            {"EditOutPut", {96, 63, 133, 20}, "", "计算结果"},
            {"lbl1", {235, 67, 150, 12}, "例如：(3-55)*(10+sin(30))", ""},
            {"btnCalc", {95, 105, 80, 25}, "计算 (&R)", "计算"},
            {"btnClear", {200, 105, 80, 25}, "清除 (&L)", "清除"},
            {"btnClose", {305, 105, 80, 25}, "关闭 (&C)", "关闭"},
        };
        for (const Control &c : controls) {
            auto *widget = Child<QWidget>(c.name);
            QCOMPARE(widget->geometry(), c.place);
            QCOMPARE(widget->accessibleName(), c.accessibleName);
            if (auto *label = qobject_cast<QLabel *>(widget)) {
                QCOMPARE(label->text(), c.caption);
                QVERIFY2(label->fontMetrics().horizontalAdvance(c.caption) <= c.place.width(), c.name);
            }
            if (auto *button = qobject_cast<QPushButton *>(widget)) {
                QCOMPARE(button->text(), c.caption);
                QVERIFY2(!button->autoDefault() && !button->isDefault(), c.name);
            }
        }
        QVERIFY(!Child<QPushButton>("btnFunc")->icon().isNull());
        QCOMPARE(Child<QPushButton>("btnFunc")->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(Child<QPushButton>("btnCalc")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_R));
        QCOMPARE(Child<QPushButton>("btnClear")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_L));
        QCOMPARE(Child<QPushButton>("btnClose")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
        QVERIFY(Output()->isReadOnly()); // the result is not for typing into (it was editable)

        // Tab order: the expression, its functions, the result, then the buttons.
        QStringList order;
        QWidget *widget = Input();
        do {
            if (widget->focusPolicy() & Qt::TabFocus)
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != Input());
        QCOMPARE(order, (QStringList{"EditInPut", "btnFunc", "EditOutPut", "btnCalc", "btnClear", "btnClose"}));

        const auto actions = Child<QMenu>("PopupMenu")->actions();
        QCOMPARE(actions.size(), int(FunctionMenu().size()));
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions[i]->objectName(), QString::fromLatin1(FunctionMenu()[i].name));
            QCOMPARE(actions[i]->text(), QString::fromUtf8(FunctionMenu()[i].caption));
            QCOMPARE(actions[i]->data().toInt(), i);
        }
    }

    void showingFocusesTheExpression() { QCOMPARE(window_->focusWidget(), Input()); }

    void typedExpressionIsCalculatedAndRead()
    {
        QTest::keyClicks(Input(), QStringLiteral("(3-55)*(10+sin(30))"));
        QTest::mouseClick(Child<QPushButton>("btnCalc"), Qt::LeftButton);
        QCOMPARE(Output()->text(), QStringLiteral("-546"));
        QCOMPARE(ToList(cues_), (QStringList{"等于", "负", "5", "佰", "4", "拾", "6"}));
        QCOMPARE(waits_, std::vector<int>(5, 500));
        // The result shows from the first cue on.
        QCOMPARE(outputAtCue_.front(), QStringLiteral("-546"));
        QVERIFY(messages_.isEmpty());
        QCOMPARE(Input()->text(), QStringLiteral("(3-55)*(10+sin(30))"));
    }

    void failureShowsTheMessageAndPlaysTheErrorCue()
    {
        // "pi" is a constant now; Math.PI upper-cased is still no name.
        Calculate(QStringLiteral("Math.PI"));
        QCOMPARE(Output()->text(), QString());
        QCOMPARE(messages_, QStringList{"提示|表达式错误，无法运算！"});
        QCOMPARE(ToList(cues_), (QStringList{"等于", "错误"}));
    }

    // Enter calculates and Esc closes (neither did anything).
    void enterCalculatesEscClosesAltRCalculates()
    {
        Input()->setText(QStringLiteral("1+2"));
        Input()->setFocus();
        QTest::keyClick(Input(), Qt::Key_Return);
        QCOMPARE(Output()->text(), QStringLiteral("3"));
        QCOMPARE(ToList(cues_), (QStringList{"等于", "3"}));
        Input()->setText(QStringLiteral("2^3"));
        Output()->setFocus();
        QTest::keyClick(Output(), Qt::Key_Enter);
        QCOMPARE(Output()->text(), QStringLiteral("8"));
        QTest::keyClick(Input(), Qt::Key_Escape);
        QVERIFY(!window_->isVisible());

        cues_.clear();
        Output()->clear();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        Input()->setText(QStringLiteral("1+2"));
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_->windowHandle(), Qt::Key_R, Qt::AltModifier);
        // A mnemonic presses its button visibly, so the click comes a moment later.
        QTRY_COMPARE(Output()->text(), QStringLiteral("3"));
        QCOMPARE(ToList(cues_), (QStringList{"等于", "3"}));

        // Enter presses the button that has the focus.
        Child<QPushButton>("btnClear")->setFocus();
        QTest::keyClick(Child<QPushButton>("btnClear"), Qt::Key_Return);
        QCOMPARE(Input()->text(), QString());
        QCOMPARE(Output()->text(), QString());
    }

    void functionMenuDropsBelowItsButton()
    {
        auto *button = Child<QPushButton>("btnFunc");
        auto *menu = Child<QMenu>("PopupMenu");
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), button->mapToGlobal(QPoint(0, button->height())));
        menu->hide();
    }

    void functionMenuInsertsAtTheCaret()
    {
        MenuItem("sqrt1")->trigger();
        QCOMPARE(Input()->text(), QStringLiteral("Sqrt()"));
        QCOMPARE(Input()->cursorPosition(), 5);
        QTest::keyClicks(Input(), QStringLiteral("2"));
        QCOMPARE(Input()->text(), QStringLiteral("Sqrt(2)"));
        QTest::mouseClick(Child<QPushButton>("btnCalc"), Qt::LeftButton);
        QCOMPARE(Output()->text(), QStringLiteral("1.4142135623731"));

        Input()->setText(QStringLiteral("30+30"));
        Input()->setSelection(3, 2);
        MenuItem("sin1")->trigger();
        QCOMPARE(Input()->text(), QStringLiteral("Sin()+Sin()"));
        QCOMPARE(Input()->cursorPosition(), 7);

        Input()->setText(QStringLiteral("中文"));
        Input()->setCursorPosition(1);
        MenuItem("atan1")->trigger();
        QCOMPARE(Input()->text(), QStringLiteral("中aTan()文"));
        QCOMPARE(Input()->cursorPosition(), 6);
    }

    void calculationRunsInsideARunningReadOut()
    {
        duringPause_[1] = [this] {
            Input()->setText(QStringLiteral("1+2"));
            QTimer::singleShot(0, Child<QPushButton>("btnCalc"), &QPushButton::click);
        };
        Calculate(QStringLiteral("-2.25"));
        // The newer read-out ends the older for good (it went on with "10", "2", "5").
        QCOMPARE(ToList(cues_), (QStringList{"等于", "负", "2", "等于", "3"}));
        QCOMPARE(Output()->text(), QStringLiteral("3"));
    }

    void clearDuringReadOutDoesNotStopIt()
    {
        duringPause_[1] = [this] { QTest::mouseClick(Child<QPushButton>("btnClear"), Qt::LeftButton); };
        Calculate(QStringLiteral("-2.25"));
        QCOMPARE(ToList(cues_), (QStringList{"等于", "负", "2", "10", "2", "5"}));
        QCOMPARE(Input()->text(), QString());
        QCOMPARE(Output()->text(), QString());
    }

    void closeWaitsForTheReadOutEscEndsIt_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("cues");
        const QStringList all{"等于", "负", "2", "10", "2", "5"};
        QTest::newRow("关闭 button") << "button" << all;
        QTest::newRow("close box") << "box" << all;
        // Esc ends the read-out at once (it waited like 关闭, and keys typed meanwhile landed here).
        QTest::newRow("Esc") << "esc" << QStringList{"等于", "负"};
    }

    void closeWaitsForTheReadOutEscEndsIt()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, cues);
        duringPause_[1] = [this, how] {
            if (how == "box")
                window_->close();
            else if (how == "button")
                QTest::mouseClick(Child<QPushButton>("btnClose"), Qt::LeftButton);
            else
                QTest::keyClick(Input(), Qt::Key_Escape);
        };
        Calculate(QStringLiteral("-2.25"));
        QCOMPARE(ToList(cues_), cues);
        QCOMPARE(visibleAtCue_, std::vector<bool>(std::size_t(cues.size()), true));
        QVERIFY(!window_->isVisible());
    }

    void mainWindowClosingStopsTheReadOut()
    {
        duringPause_[2] = [this] { mainWindowClosed_ = true; };
        Calculate(QStringLiteral("-2.25"));
        QCOMPARE(ToList(cues_), (QStringList{"等于", "负", "2"}));
        QCOMPARE(Output()->text(), QStringLiteral("-2.25"));
        // Nothing more is played into the released buffer.
        Calculate(QStringLiteral("1+2"));
        QCOMPARE(ToList(cues_), (QStringList{"等于", "负", "2"}));
    }

    void textsSurviveClosingAndReopening()
    {
        Calculate(QStringLiteral("abs(-4)"));
        QCOMPARE(Output()->text(), QStringLiteral("4"));
        QTest::mouseClick(Child<QPushButton>("btnClose"), Qt::LeftButton);
        QVERIFY(!window_->isVisible());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QCOMPARE(Input()->text(), QStringLiteral("abs(-4)"));
        QCOMPARE(Output()->text(), QStringLiteral("4"));
        QCOMPARE(window_->focusWidget(), Input());
    }
};

QTEST_MAIN(ExpressionWindowTest)
#include "ExpressionWindowTest.moc"
