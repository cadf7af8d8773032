// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls, views and menus, checked against the layout
// the calculator is drawn to.
#include "ShellTestSupport.h"
#include "editex/EditEx.h"
#include "scientific/ScientificKeys.h"
#include "shell/AdStrip.h"
#include "shell/KeyPictures.h"
#include "shell/QtTranslations.h"

#include <QAccessible>
#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSystemTrayIcon>

#include <functional>

using namespace shelltest;
using tallyvox::KeyDef;
using tallyvox::TFrmMain;

namespace {

struct Key {
    const char *panel;
    const char *name;
    const char *caption; // nullptr: a picture key
    int tag;
    QRect rect;
    const char *spoken; // accessible name
};

const Key kKeys[] = {
    {"pnlNumber", "btnMC", "MC", 0, {8, 8, 35, 28}, "记忆清除"},
    {"pnlNumber", "btnMR", "MR", 0, {47, 8, 35, 28}, "记忆读取"},
    {"pnlNumber", "btnMS", "MS", 0, {86, 8, 35, 28}, "记忆存储"},
    {"pnlNumber", "btnMPlus", "M+", 0, {125, 8, 35, 28}, "记忆加"},
    {"pnlNumber", "btnMMinus", "M-", 0, {164, 8, 35, 28}, "记忆减"},
    {"pnlNumber", "btnCE", "CE", 0, {8, 41, 35, 28}, "清除"},
    {"pnlNumber", "btnC", "C", 0, {47, 41, 35, 28}, "归零"},
    {"pnlNumber", "btnBack", "←", 0, {86, 41, 35, 28}, "退格"},
    {"pnlNumber", "btnSingle", "±", 0, {125, 41, 35, 28}, "正负"},
    {"pnlNumber", "btnRoots", nullptr, 0, {164, 41, 35, 28}, "开方"},
    {"pnlNumber", "btnNum7", "7", 7, {8, 72, 35, 28}, "七"},
    {"pnlNumber", "btnNum8", "8", 8, {47, 72, 35, 28}, "八"},
    {"pnlNumber", "btnNum9", "9", 9, {86, 72, 35, 28}, "九"},
    {"pnlNumber", "btnDiv", "÷", 3, {125, 72, 35, 28}, "除"},
    {"pnlNumber", "btnPer", "%", 0, {164, 72, 35, 28}, "百分号"},
    {"pnlNumber", "btnNum4", "4", 4, {8, 104, 35, 28}, "四"},
    {"pnlNumber", "btnNum5", "5", 5, {47, 104, 35, 28}, "五"},
    {"pnlNumber", "btnNum6", "6", 6, {86, 104, 35, 28}, "六"},
    {"pnlNumber", "btnMul", "×", 2, {125, 104, 35, 28}, "乘"},
    {"pnlNumber", "btnCountdown", "1/x", 0, {164, 104, 35, 28}, "倒数"},
    {"pnlNumber", "btnNum1", "1", 1, {8, 136, 35, 28}, "一"},
    {"pnlNumber", "btnNum2", "2", 2, {47, 136, 35, 28}, "二"},
    {"pnlNumber", "btnNum3", "3", 3, {86, 136, 35, 28}, "三"},
    {"pnlNumber", "btnSub", "－", 1, {125, 136, 35, 28}, "减"},
    {"pnlNumber", "btnEqual", "＝", 0, {166, 138, 35, 60}, "等于"},
    {"pnlNumber", "btnNum0", "0", 0, {8, 168, 74, 28}, "零"},
    {"pnlNumber", "SpbDian", "．", 0, {86, 168, 35, 28}, "点"},
    {"pnlNumber", "btnAdd", "＋", 0, {125, 168, 35, 28}, "加"},
    {"RzScience", "SpbExp", "Exp", 5, {8, 41, 35, 28}, "科学计数"},
    {"RzScience", "SpbMod", "Mod", 4, {47, 41, 35, 28}, "取余"},
    {"RzScience", "SpbPai", nullptr, 0, {86, 41, 35, 28}, "派"},
    {"RzScience", "SpeedButton1", "表达式计算", 0, {125, 41, 74, 28}, "表达式计算"},
    {"RzScience", "SpbLn", "ln", 0, {8, 72, 35, 28}, "自然对数"},
    {"RzScience", "SpbPE", "F-E", 6, {47, 72, 35, 28}, "科学计数显示"},
    {"RzScience", "SpbInt", "Int", 0, {86, 72, 35, 28}, "取整"},
    {"RzScience", "SpbLog", "Log", 0, {125, 72, 35, 28}, "常用对数"},
    {"RzScience", "SpbXPF", nullptr, 0, {164, 72, 35, 28}, "平方"},
    {"RzScience", "SpbaSin", "sinh", 3, {8, 104, 35, 28}, "双曲正弦"},
    {"RzScience", "SpeedButton3", "asin", 6, {47, 104, 35, 28}, "反正弦"},
    {"RzScience", "SpbsIn", "sin", 0, {86, 104, 35, 28}, "正弦"},
    {"RzScience", "SpbxNkf", nullptr, 8, {125, 104, 35, 28}, "开N次方"},
    {"RzScience", "SpbXNF", nullptr, 7, {164, 104, 35, 28}, "N次方"},
    {"RzScience", "SpbaCos", "cosh", 4, {8, 136, 35, 28}, "双曲余弦"},
    {"RzScience", "SpeedButton5", "acos", 7, {47, 136, 35, 28}, "反余弦"},
    {"RzScience", "SpbcOs", "cos", 1, {86, 136, 35, 28}, "余弦"},
    {"RzScience", "SpbxKLF", nullptr, 6, {125, 136, 35, 28}, "开立方"},
    {"RzScience", "SpbXLF", nullptr, 1, {164, 136, 35, 28}, "立方"},
    {"RzScience", "SpbaTan", "tanh", 5, {8, 168, 35, 28}, "双曲正切"},
    {"RzScience", "SpeedButton4", "atan", 8, {47, 168, 35, 28}, "反正切"},
    {"RzScience", "SpbtAn", "tan", 2, {86, 168, 35, 28}, "正切"},
    {"RzScience", "SpbNJC", "n!", 0, {125, 168, 35, 28}, "阶乘"},
    {"RzScience", "SpbtenxF", nullptr, 0, {164, 168, 35, 28}, "10的N次方"},
};

// Geometry of every named widget, to compare whole layouts.
QMap<QString, QPair<QRect, bool>> Snapshot(const QWidget &window)
{
    QMap<QString, QPair<QRect, bool>> shot;
    shot.insert(QStringLiteral("<window>"), {window.geometry(), true});
    for (const QWidget *w : window.findChildren<QWidget *>())
        if (!w->objectName().isEmpty())
            shot.insert(w->objectName(), {w->geometry(), w->isVisibleTo(&window)});
    return shot;
}

QString AccessibleName(QObject *o)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(o);
    return iface ? iface->text(QAccessible::Name) : QString();
}

} // namespace

class ShellLayoutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        recorder_ = {};
        window_ = std::make_unique<TFrmMain>(TestOptions(recorder_));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    void keys_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kKeys)); ++i)
            QTest::newRow(kKeys[i].name) << i;
    }

    void keys()
    {
        QFETCH(int, row);
        const Key &k = kKeys[row];
        auto *key = Find(*window_, k.name);
        QCOMPARE(key->parentWidget()->objectName(), QLatin1String(k.panel));
        QCOMPARE(key->geometry(), k.rect);
        QCOMPARE(key->property("Tag").toInt(), k.tag);
        QCOMPARE(key->focusPolicy(), Qt::NoFocus);
        QCOMPARE(AccessibleName(key), QString::fromUtf8(k.spoken));
        if (k.caption) {
            QCOMPARE(key->text(), QString::fromUtf8(k.caption));
        } else {
            QVERIFY(!key->icon().isNull());
            const QSize picture = key->iconSize();
            QVERIFY(picture == QSize(16, 16) || picture == QSize(20, 15));
        }
        QVERIFY(key->isVisible());
        // The shortcut shows in the tooltip and is read in the description.
        const KeyDef *def = tallyvox::FindKeyByName(k.name);
        const QString shortcut = QString::fromUtf8(def->shortcuts[0].data(), qsizetype(def->shortcuts[0].size()));
        QVERIFY2(key->toolTip().contains(shortcut), qPrintable(key->toolTip()));
        QVERIFY2(key->accessibleDescription().contains(shortcut), qPrintable(key->accessibleDescription()));
        QVERIFY2(key->accessibleDescription().startsWith(
                     k.caption
                         ? QString::fromUtf8(k.caption)
                         : tallyvox::KeyPictureText(tallyvox::layout::KeyPicture(key->property("keyPicture").toInt()))),
                 qPrintable(key->accessibleDescription()));
    }

    void clearKeysAreGreenAndFEToggles()
    {
        for (const char *name : {"btnCE", "btnC"})
            QCOMPARE(Find(*window_, name)->palette().color(QPalette::ButtonText), QColor(0, 128, 0));
        QVERIFY(Find(*window_, "SpbPE")->isCheckable());
        QVERIFY(!Find(*window_, "btnNum1")->isCheckable());
    }

    void views_data()
    {
        QTest::addColumn<bool>("enhanced");
        QTest::addColumn<bool>("adLoaded");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("result");
        QTest::addColumn<QRect>("number");
        QTest::newRow("standard") << false << true << QSize(250, 430) << QRect(16, 16, 211, 65)
                                  << QRect(15, 97, 211, 209);
        QTest::newRow("enhanced") << true << true << QSize(478, 430) << QRect(16, 16, 438, 65)
                                  << QRect(242, 97, 211, 209);
        // Without a page the strip takes no space.
        QTest::newRow("standard, no ad") << false << false << QSize(250, 370) << QRect(16, 16, 211, 65)
                                         << QRect(15, 97, 211, 209);
        QTest::newRow("enhanced, no ad") << true << false << QSize(478, 370) << QRect(16, 16, 438, 65)
                                         << QRect(242, 97, 211, 209);
    }

    void views()
    {
        QFETCH(bool, enhanced);
        QFETCH(bool, adLoaded);
        QFETCH(QSize, size);
        QFETCH(QRect, result);
        QFETCH(QRect, number);
        auto *strip = Find<tallyvox::AdStrip>(*window_, "wbAD");
        Q_EMIT strip->loaded(adLoaded);
        Find<QAction>(*window_, enhanced ? "N5" : "N4")->trigger();

        // The outer size includes the frame where the platform draws one
        // (offscreen pretends to); the window cannot be resized.
        QCOMPARE(window_->frameGeometry().size(), size);
        QCOMPARE(window_->minimumSize(), window_->size());
        QCOMPARE(window_->maximumSize(), window_->size());
        QCOMPARE(Find<QFrame>(*window_, "pnlResult")->geometry(), result);
        QCOMPARE(Find<QFrame>(*window_, "pnlNumber")->geometry(), number);
        auto *science = Find<QFrame>(*window_, "RzScience");
        QCOMPARE(science->isVisible(), enhanced);
        if (enhanced)
            QCOMPARE(science->geometry(), QRect(15, 97, 211, 209));
        QCOMPARE(Find<QAction>(*window_, "N4")->isChecked(), !enhanced);
        QCOMPARE(Find<QAction>(*window_, "N5")->isChecked(), enhanced);

        // The client area lies below the menu; the strip spans its bottom 60 pixels.
        QWidget *client = window_->centralWidget();
        QCOMPARE(client->geometry().top(), window_->menuBar()->geometry().bottom() + 1);
        QCOMPARE(client->geometry().bottom(), window_->height() - 1);
        QCOMPARE(client->width(), window_->width());
        auto *ad = Find<QFrame>(*window_, "pnlAD");
        QCOMPARE(ad->isVisible(), adLoaded);
        QCOMPARE(ad->geometry(), QRect(0, client->height() - 60, client->width(), 60));
        QCOMPARE(strip->parentWidget(), ad);
        QCOMPARE(strip->geometry(), ad->rect());
        // The keypad ends above the strip, or above the window's bottom.
        QVERIFY(Find<QFrame>(*window_, "pnlNumber")->geometry().bottom() <
                (adLoaded ? ad->geometry().top() : client->height()));

        // The display fills the panel under the label, inside the margins.
        auto *label = Find<QLabel>(*window_, "lblInput");
        auto *display = Find<QLineEdit>(*window_, "edtInput");
        QCOMPARE(label->height(), 18);
        QCOMPARE(label->width(), result.width() - 14);
        QCOMPARE(display->width(), result.width() - 14);
        QCOMPARE(display->geometry().top(), label->geometry().bottom() + 1);
    }

    void firstViewIsEnhancedWithClearedDisplay()
    {
        QCOMPARE(window_->frameGeometry().size(), QSize(478, 370)); // no ad page loaded
        QCOMPARE(window_->frameGeometry().center(), window_->screen()->availableGeometry().center());
        QVERIFY(Find<QFrame>(*window_, "RzScience")->isVisible());
        QVERIFY(Find<QAction>(*window_, "N5")->isChecked());
        QVERIFY(!Find<QAction>(*window_, "N4")->isChecked());
        QCOMPARE(Find<QLineEdit>(*window_, "edtInput")->text(), QStringLiteral("0"));
        QVERIFY(Find<QLabel>(*window_, "lblInput")->text().isEmpty());
        QVERIFY(Find<QLabel>(*window_, "MS")->text().isEmpty());
        QCOMPARE(window_->windowTitle(), QStringLiteral("Tallyvox"));
        // One icon, rendered from the SVG, for the window and the tray alike.
        const QIcon icon = window_->windowIcon();
        QVERIFY(!icon.pixmap(16).isNull());
        QCOMPARE(icon.pixmap(64).size(), QSize(64, 64));
        QCOMPARE(window_->TrayIconWidget()->icon().cacheKey(), icon.cacheKey());
        QVERIFY(!(window_->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(recorder_.cues.empty()); // nothing speaks at start
    }

    void switchingBackAndForthRestoresExactly()
    {
        auto *display = Find<QLineEdit>(*window_, "edtInput");
        Click(*window_, "RadRadian");
        Click(*window_, "btnNum1");
        Click(*window_, "btnNum2");
        Click(*window_, "btnMS");
        QWidget *focus = QApplication::focusWidget();
        QCOMPARE(focus, Find<QWidget>(*window_, "edtInput"));
        const auto enhanced = Snapshot(*window_);
        const auto state = std::make_tuple(display->text().toStdString(), window_->Engine().MemoryValue,
                                           window_->Engine().StartNewNumber, window_->Angle());
        const std::size_t cues = recorder_.cues.size();

        Find<QAction>(*window_, "N4")->trigger();
        const auto standard = Snapshot(*window_);
        QVERIFY(standard != enhanced);
        Find<QAction>(*window_, "N4")->trigger(); // the active view again: nothing changes
        QCOMPARE(Snapshot(*window_), standard);
        Find<QAction>(*window_, "N5")->trigger();
        QCOMPARE(Snapshot(*window_), enhanced);
        Find<QAction>(*window_, "N5")->trigger();
        QCOMPARE(Snapshot(*window_), enhanced);

        QCOMPARE(recorder_.cues.size(), cues); // a view switch is silent
        QCOMPARE(std::make_tuple(display->text().toStdString(), window_->Engine().MemoryValue,
                                 window_->Engine().StartNewNumber, window_->Angle()),
                 state);
        QCOMPARE(Find<QLabel>(*window_, "MS")->text(), QStringLiteral("M"));
        QVERIFY(Find<QRadioButton>(*window_, "RadRadian")->isChecked());
        QCOMPARE(QApplication::focusWidget(), focus);
    }

    void standardViewHidesTheExpressionKey()
    {
        Find<QAction>(*window_, "N4")->trigger();
        QVERIFY(!Find(*window_, "SpeedButton1")->isVisible());
        for (QToolButton *key : window_->findChildren<QToolButton *>())
            if (key->isVisible())
                QVERIFY2(key->mapTo(window_.get(), QPoint(key->width(), 0)).x() <= window_->width(),
                         qPrintable(key->objectName()));
    }

    void displayPanelControls()
    {
        auto *display = Find<tallyvox::TEditEx>(*window_, "edtInput");
        QVERIFY(display->isReadOnly());
        QVERIFY(!display->hasFrame());
        QCOMPARE(display->Alignment(), tallyvox::taRightJustify);
        QCOMPARE(int(display->ValueSetting()->DecimalPlaces()), 0);
        QCOMPARE(int(display->ValueSetting()->IntegerLength()), 12);
        QCOMPARE(display->ValueSetting()->MaxLength(), 12);
        QCOMPARE(display->ValueSetting()->FormatStr(), std::string("0"));
        QCOMPARE(display->font().pixelSize(), 20);
        QCOMPARE(display->focusPolicy() & Qt::ClickFocus, Qt::ClickFocus);
        QCOMPARE(AccessibleName(display), QStringLiteral("显示"));
        QCOMPARE(AccessibleName(Find<QLabel>(*window_, "lblInput")), QStringLiteral("运算：无"));
        QCOMPARE(AccessibleName(Find<QLabel>(*window_, "MS")), QStringLiteral("记忆：空"));
        QCOMPARE(Find<QLabel>(*window_, "MS")->pos(), QPoint(8, 8));
        QCOMPARE(QApplication::focusWidget(), display); // FormShow
    }

    void angleStrip()
    {
        QCOMPARE(Find<QFrame>(*window_, "Panel2")->geometry(), QRect(8, 8, 191, 28));
        const struct {
            const char *name;
            const char *caption;
            QRect rect;
        } radios[] = {{"RadAngle", "角度", {4, 4, 48, 17}},
                      {"RadRadian", "弧度", {76, 4, 43, 17}},
                      {"RadGrads", "梯度", {141, 4, 43, 17}}};
        for (const auto &r : radios) {
            auto *radio = Find<QRadioButton>(*window_, r.name);
            QCOMPARE(radio->text(), QString::fromUtf8(r.caption));
            QCOMPARE(radio->geometry(), r.rect);
            QCOMPARE(radio->parentWidget()->objectName(), QStringLiteral("Panel2"));
        }
        QVERIFY(Find<QRadioButton>(*window_, "RadAngle")->isChecked());
        QCOMPARE(window_->Angle(), tallyvox::AngleMode::Degrees);
    }

    void hiddenAndOffscreenControls()
    {
        auto *temp = Find<QLineEdit>(*window_, "EditTemp");
        QCOMPARE(temp->geometry(), QRect(543, 368, 121, 21));
        QVERIFY(temp->x() >= window_->centralWidget()->width()); // beyond the visible client area
        QVERIFY(temp->isHidden());
        auto *inv = Find(*window_, "SpbInv");
        QCOMPARE(inv->geometry(), QRect(543, 286, 35, 28));
        QCOMPARE(inv->text(), QStringLiteral("Inv"));
        QVERIFY(inv->isHidden());
        auto *expr = Find(*window_, "SpeedButton2");
        QCOMPARE(expr->geometry(), QRect(529, 320, 76, 28));
        QCOMPARE(expr->text(), QStringLiteral("表达式计算"));
        QVERIFY(expr->isHidden());
    }

    void menus()
    {
        const struct {
            const char *name;
            const char *caption;
            const char *parent;
            bool visible;
        } items[] = {
            {"N4", "标准型(&T)", "N1", true},      {"N5", "加强型(&S)", "N1", true}, {"N6", "程序员", "N1", false},
            {"N7", "统计信息", "N1", false},       {"N8", "复制(&C)", "N2", true},   {"N9", "粘贴(&P)", "N2", true},
            {"NOptions", "选项(&O)…", "N1", true},
        };
        QMenuBar *bar = window_->menuBar();
        QCOMPARE(bar->objectName(), QStringLiteral("MainMenu1"));
        QStringList top;
        for (QAction *a : bar->actions())
            top << a->text();
        // Hidden items are not in the menus at all, so no screen reader lists them.
        QCOMPARE(top, (QStringList{QStringLiteral("查看(&V)"), QStringLiteral("编辑(&E)")}));
        QVERIFY(!Find<QMenu>(*window_, "N3")->menuAction()->isVisible());
        QCOMPARE(Find<QMenu>(*window_, "N3")->title(), QStringLiteral("帮助(&H)"));
        QVERIFY(Find<QMenu>(*window_, "N3")->actions().isEmpty());
        for (const auto &item : items) {
            auto *action = Find<QAction>(*window_, item.name);
            QCOMPARE(action->text(), QString::fromUtf8(item.caption));
            QCOMPARE(action->isVisible(), item.visible);
            QCOMPARE(Find<QMenu>(*window_, item.parent)->actions().contains(action), item.visible);
        }
        QCOMPARE(Find<QAction>(*window_, "N8")->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}));
        QCOMPARE(Find<QAction>(*window_, "N9")->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}));
        QVERIFY(Find<QAction>(*window_, "N4")->shortcut().isEmpty());
        QCOMPARE(Find<QAction>(*window_, "N5")->property("Tag").toInt(), 1);
        QVERIFY(Find<QAction>(*window_, "N4")->actionGroup()->isExclusive());
        QCOMPARE(Find<QAction>(*window_, "N4")->actionGroup(), Find<QAction>(*window_, "N5")->actionGroup());
    }

    void trayIcon()
    {
        QSystemTrayIcon *tray = window_->TrayIconWidget();
        QCOMPARE(tray->toolTip(), QStringLiteral("Tallyvox"));
        QVERIFY(tray->isVisible());
        QVERIFY(!tray->icon().isNull());
        QVERIFY(tray->icon().availableSizes().contains(QSize(16, 16)));
        QMenu *menu = tray->contextMenu();
        QCOMPARE(menu->objectName(), QStringLiteral("PopupMenu"));
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions()[0]->objectName(), QStringLiteral("N10"));
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("打开(&O)"));
        QCOMPARE(menu->actions()[1]->objectName(), QStringLiteral("N11"));
        QCOMPARE(menu->actions()[1]->text(), QStringLiteral("退出(&X)"));
    }

    // What a screen reader walks: every entry named, shown and named once.
    void accessibleTreeIsCleanInBothViews()
    {
        for (const char *view : {"N4", "N5"}) {
            Find<QAction>(*window_, view)->trigger();
            QStringList names, problems;
            std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
                // A closed menu is a popup a reader opens itself: not walked.
                if (node->role() == QAccessible::PopupMenu)
                    return;
                const QString name = node->text(QAccessible::Name);
                if (name.isEmpty())
                    problems << QStringLiteral("nameless %1").arg(node->object()->metaObject()->className());
                else if (names.contains(name))
                    problems << QStringLiteral("twice: %1").arg(name);
                if (node->state().invisible)
                    problems << QStringLiteral("hidden: %1").arg(name);
                names << name;
                for (int i = 0; i < node->childCount(); ++i)
                    walk(node->child(i));
            };
            walk(QAccessible::queryAccessibleInterface(window_.get()));
            QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(view, problems.join(", "))));
            QVERIFY(names.contains(QStringLiteral("等于")) && names.contains(QStringLiteral("记忆：空")));
            QCOMPARE(names.contains(QStringLiteral("双曲正弦")), QByteArray(view) == "N5");
        }
    }

    // A dark theme, switched to while the program runs: the display, the
    // label and the key pictures stay readable.
    void darkPaletteIsReadable()
    {
        const QPalette saved = QApplication::palette();
        QPalette dark = saved;
        for (const auto &[role, colour] :
             {std::pair{QPalette::Window, QColor(45, 45, 45)}, std::pair{QPalette::WindowText, QColor(230, 230, 230)},
              std::pair{QPalette::Base, QColor(30, 30, 30)}, std::pair{QPalette::Text, QColor(240, 240, 240)},
              std::pair{QPalette::Button, QColor(55, 55, 55)}, std::pair{QPalette::ButtonText, QColor(235, 235, 235)}})
            dark.setColor(role, colour);
        QApplication::setPalette(dark);
        QCoreApplication::processEvents(); // the change reaches the widgets as events
        for (const char *key : {"btnNum1", "btnNum2", "btnAdd"})
            Click(*window_, key);
        // Light pixels on a dark field: text drawn, background not white.
        const auto lightOnDark = [](const QImage &image) {
            int light = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    light += QColor(image.pixel(x, y)).lightness() > 160;
            return QColor(image.pixel(1, 1)).lightness() < 80 && light > 8;
        };
        QVERIFY(lightOnDark(Find<QWidget>(*window_, "edtInput")->grab().toImage()));
        QVERIFY(lightOnDark(Find<QWidget>(*window_, "lblInput")->grab().toImage()));
        QImage picture = Find(*window_, "SpbXPF")->icon().pixmap(QSize(16, 16)).toImage();
        QImage onKey(picture.size(), QImage::Format_RGB32);
        onKey.fill(dark.color(QPalette::Button));
        QPainter(&onKey).drawImage(0, 0, picture);
        QVERIFY(lightOnDark(onKey));
        const QPalette clear = Find(*window_, "btnCE")->palette();
        QVERIFY(clear.color(QPalette::ButtonText).lightness() - clear.color(QPalette::Button).lightness() > 80);
        QApplication::setPalette(saved);
        QCoreApplication::processEvents();
        QCOMPARE(Find(*window_, "btnCE")->palette().color(QPalette::ButtonText), QColor(0, 128, 0));
    }

    // Pictures drawn for the screen: sharp at two device pixels per pixel.
    void keyPicturesHaveHighResolutionImages()
    {
        const QIcon icon = Find(*window_, "SpbtenxF")->icon();
        QCOMPARE(icon.pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
        QCOMPARE(icon.pixmap(QSize(16, 16), 1.0).size(), QSize(16, 16));
    }

    void qtTextsAreChinese()
    {
        QVERIFY(tallyvox::InstallQtTranslations());
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    }

private:
    CueRecorder recorder_;
    std::unique_ptr<TFrmMain> window_;
};

QTEST_MAIN(ShellLayoutTest)
#include "MainWindowLayoutTest.moc"
