// SPDX-License-Identifier: GPL-3.0-or-later
#include "editex/EditEx.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tallyvox;

namespace {

// One application for the whole run, closed before the process ends so
// leak checks see a clean exit.
class AppEnvironment : public ::testing::Environment {
public:
    QApplication &app()
    {
        if (!app_)
            app_ = std::make_unique<QApplication>(argc_, argv_);
        return *app_;
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[12] = "editex_test";
    char *argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

AppEnvironment *const appEnvironment =
    static_cast<AppEnvironment *>(::testing::AddGlobalTestEnvironment(new AppEnvironment));

QApplication &App()
{
    return appEnvironment->app();
}

// A window with the control under test and a second edit to take focus away.
struct Window {
    QWidget top;
    TEditEx *edit = new TEditEx(&top);
    QLineEdit *other = new QLineEdit(&top);

    Window()
    {
        App();
        auto *layout = new QVBoxLayout(&top);
        layout->addWidget(edit);
        layout->addWidget(other);
        edit->setFrame(false);
        top.resize(300, 120);
        top.show();
        top.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&top));
        edit->setFocus();
    }
};

// Types a key script: '\b' Backspace, '\r' Return, '\x7f' Delete, any
// other character as itself.
void Type(QWidget *w, const std::string &keys)
{
    for (char c : keys) {
        switch (c) {
        case '\b': QTest::keyClick(w, Qt::Key_Backspace); break;
        case '\r': QTest::keyClick(w, Qt::Key_Return); break;
        case '\x7f': QTest::keyClick(w, Qt::Key_Delete); break;
        default: QTest::keyClick(w, c); break;
        }
    }
}

// Puts text into the control with the caret at `caret` or the selection
// [caret, caret + selection).
void Prepare(TEditEx *e, const QString &text, int caret, int selection = 0)
{
    e->setText(text);
    if (selection > 0)
        e->setSelection(caret, selection);
    else
        e->setCursorPosition(caret);
}

QImage Render(QWidget *w)
{
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::white);
    w->render(&img);
    return img;
}

struct Ink {
    int count = 0;
    int minX = INT_MAX, maxX = -1, minY = INT_MAX, maxY = -1;
    double centreX() const { return (minX + maxX) / 2.0; }
    double centreY() const { return (minY + maxY) / 2.0; }
};

// Dark pixels inside r.
Ink DarkInk(const QImage &img, QRect r)
{
    Ink ink;
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 128) {
                ++ink.count;
                ink.minX = std::min(ink.minX, x);
                ink.maxX = std::max(ink.maxX, x);
                ink.minY = std::min(ink.minY, y);
                ink.maxY = std::max(ink.maxY, y);
            }
    return ink;
}

// --- TValueSetting ----------------------------------------------------------

TEST(ValueSetting, Defaults)
{
    App();
    TEditEx e;
    TValueSetting *vs = e.ValueSetting();
    EXPECT_EQ(vs->ValueType(), vtString);
    EXPECT_EQ(vs->FormatStr(), "0.00");
    EXPECT_EQ(vs->MaxLength(), 11);
    EXPECT_EQ(vs->DecimalPlaces(), 2);
    EXPECT_EQ(vs->IntegerLength(), 8);
    EXPECT_FALSE(vs->ShowThousands());
    EXPECT_FALSE(vs->HideZeroValue());
    EXPECT_FALSE(vs->AutoCutDecimal);
    EXPECT_FALSE(vs->AppectMinus);
    EXPECT_EQ(e.Alignment(), taLeftJustify);
    EXPECT_EQ(e.HintTextFont(), e.font());
    EXPECT_TRUE(e.HintText().isEmpty());
}

TEST(ValueSetting, SettersDeriveFormatAndLength)
{
    struct Case {
        const char *name;
        std::optional<int> decimalPlaces, integerLength;
        std::optional<bool> showThousands;
        const char *formatStr;
        int maxLength;
    };
    const Case cases[] = {
        {"no places", 0, {}, {}, "0", 8},
        {"display", 0, 12, {}, "0", 12},
        {"thousands", {}, {}, true, "#,0.00", 13},
        {"thousands twelve", 0, 12, true, "#,0", 15},
        {"three places", 3, {}, true, "#,0.000", 14},
    };
    App();
    for (const auto &c : cases) {
        TEditEx e;
        TValueSetting *vs = e.ValueSetting();
        if (c.decimalPlaces)
            vs->setDecimalPlaces(*c.decimalPlaces);
        if (c.integerLength)
            vs->setIntegerLength(*c.integerLength);
        if (c.showThousands)
            vs->setShowThousands(*c.showThousands);
        EXPECT_EQ(vs->FormatStr(), c.formatStr) << c.name;
        EXPECT_EQ(vs->MaxLength(), c.maxLength) << c.name;
    }
}

TEST(ValueSetting, FloatValueReadInEveryMode)
{
    struct Case {
        const char *text;
        Extended value;
    };
    const Case cases[] = {
        {"1,234.5", 1234.5L}, {"", 0}, {"错误！", 0}, {" 12 ", 12}, {"abc", 0}, {"-0.5", -0.5L}, {"1E3", 1000},
    };
    App();
    for (TValueType vt : {vtString, vtNumberOnly, vtFloat}) {
        TEditEx e;
        e.ValueSetting()->setValueType(vt);
        for (const auto &c : cases) {
            e.setText(QString::fromUtf8(c.text));
            EXPECT_EQ(e.ValueSetting()->FloatValue(), c.value) << c.text << " mode " << vt;
        }
    }
}

TEST(ValueSetting, FloatValueWrite)
{
    struct Case {
        const char *name;
        TValueType vt;
        bool hideZero;
        Extended value;
        const char *text;
    };
    const Case cases[] = {
        {"string half", vtString, false, 0.5L, "0.5"},
        {"string third", vtString, false, 1.0L / 3, "0.333333333333333"},
        {"string hides no zero", vtString, true, 0, "0"},
        {"float half", vtFloat, false, 0.5L, "0.50"},
        {"float rounds", vtFloat, false, 2.675L, "2.68"},
        {"float zero", vtFloat, false, 0, "0.00"},
        {"float hidden zero", vtFloat, true, 0, ""},
        {"number only", vtNumberOnly, false, 42, "42"},
    };
    App();
    for (const auto &c : cases) {
        TEditEx e;
        e.ValueSetting()->setValueType(c.vt);
        e.ValueSetting()->setHideZeroValue(c.hideZero);
        e.setText("9");
        e.setModified(true);
        e.ValueSetting()->setFloatValue(c.value);
        EXPECT_EQ(e.text().toStdString(), c.text) << c.name;
        EXPECT_FALSE(e.isModified()) << c.name;
    }
}

TEST(ValueSetting, SettersReformatOnlyTheNumberField)
{
    App();
    TEditEx e;
    TValueSetting *vs = e.ValueSetting();
    e.setText("1234.5");
    vs->setShowThousands(true);
    vs->setDecimalPlaces(0);
    EXPECT_EQ(e.text(), "1234.5") << "vtString keeps its text";

    vs->setValueType(vtFloat);
    EXPECT_EQ(e.text(), "1,235");
    vs->setDecimalPlaces(3);
    EXPECT_EQ(e.text(), "1,235.000");
    vs->setShowThousands(false);
    EXPECT_EQ(e.text(), "1235.000");
    vs->setIntegerLength(4);
    EXPECT_EQ(e.text(), "1235.000") << "IntegerLength only changes MaxLength";
    EXPECT_EQ(vs->MaxLength(), 8);

    e.setText("0");
    vs->setHideZeroValue(true);
    EXPECT_EQ(e.text(), "");
    vs->setHideZeroValue(false);
    EXPECT_EQ(e.text(), "0.000");
}

TEST(ValueSetting, SwitchingToFloatShowsHiddenZero)
{
    App();
    TEditEx e;
    e.ValueSetting()->setHideZeroValue(true);
    e.setText("0");
    e.ValueSetting()->setValueType(vtFloat);
    EXPECT_EQ(e.text(), "");
}

// --- Number field keys ------------------------------------------------------

struct KeyCase {
    const char *name;
    const char *text;
    int caret;
    int selection;
    std::string keys;
    const char *expected;
    int expectedCaret; // -1: not checked
    int beeps;
    bool appectMinus = false;
    bool autoCut = false;
    int decimalPlaces = 2;
    bool thousands = false;
    bool readOnly = false;
};

TEST(NumberField, Keys)
{
    const KeyCase cases[] = {
        {"digit into zero", "0.00", 1, 0, "5", "5.00", 1, 0},
        {"digits", "0.00", 1, 0, "123", "123.00", 3, 0},
        {"digit in decimals", "5.00", 2, 0, "7", "5.70", 3, 0},
        {"digits in decimals keep their order", "5.00", 2, 0, "78", "5.78", 4, 0},
        {"decimal rounds up", "9.99", 3, 0, "9", "10.00", 4, 0},
        {"minus not accepted", "0.00", 0, 0, "-", "0.00", -1, 1},
        {"point without places", "0", 1, 0, ".", "0", -1, 1, false, false, 0},
        {"letter", "0.00", 1, 0, "a", "0.00", -1, 1},
        {"space", "0.00", 1, 0, " ", "0.00", -1, 1},
        {"minus on zero", "0.00", 0, 0, "-", "-0.00", 1, 0, true},
        {"minus on value", "5.00", 0, 0, "-", "-5.00", 1, 0, true},
        {"minus off the start", "5.00", 1, 0, "-", "5.00", -1, 1, true},
        {"second minus", "-5.00", 0, 0, "-", "-5.00", -1, 1, true},
        {"minus over selection", "-5.00", 0, 5, "-", "-0.00", 5, 0, true},
        {"autocut point", "12.34", 1, 0, ".", "1.34", 2, 0, false, true},
        {"point without autocut", "12.34", 1, 0, ".", "12.34", -1, 1},
        {"second point", "1.50", 3, 0, ".", "1.50", -1, 1, false, true},
        {"point into integer", "1234", 2, 0, ".", "12.34", 3, 0},
        {"integer part full", "12345678.00", 8, 0, "9", "12345678.00", -1, 1},
        {"integer part full at start", "12345678.00", 0, 0, "9", "12345678.00", -1, 1},
        {"decimal part full", "12345678.00", 9, 0, "5", "12345678.50", 10, 0},
        {"decimal part full twice", "12345678.00", 9, 0, "56", "12345678.56", 11, 0},
        {"digit over selection", "12345678.00", 0, 8, "7", "7.00", 1, 0},
        {"backspace at start", "5.00", 0, 0, "\b", "5.00", 0, 0},
        {"backspace in integer", "123.00", 3, 0, "\b", "12.00", 2, 0},
        {"backspace over point", "5.00", 2, 0, "\b", "500.00", 4, 0},
        {"backspace over selection", "123.45", 1, 2, "\b", "1.45", 1, 0},
        {"backspace to nothing", "5.00", 1, 0, "\b", "0.00", 1, 0},
        {"thousands", "1,234.00", 1, 0, "9", "19,234.00", 2, 0, false, false, 2, true},
        {"thousands regroup", "999.00", 0, 0, "1", "1,999.00", 2, 0, false, false, 2, true},
        {"enter", "5.00", 1, 0, "\r", "5.00", 1, 0},
        {"read-only digit", "5.00", 1, 0, "5", "5.00", 1, 1, false, false, 2, false, true},
        {"read-only backspace", "5.00", 1, 0, "\b", "5.00", 1, 1, false, false, 2, false, true},
        {"read-only enter", "5.00", 1, 0, "\r", "5.00", 1, 0, false, false, 2, false, true},
    };
    Window w;
    TEditEx *e = w.edit;
    TValueSetting *vs = e->ValueSetting();
    vs->setValueType(vtFloat);
    for (const auto &c : cases) {
        vs->AppectMinus = c.appectMinus;
        vs->AutoCutDecimal = c.autoCut;
        vs->setDecimalPlaces(c.decimalPlaces);
        vs->setShowThousands(c.thousands);
        e->setReadOnly(c.readOnly);
        Prepare(e, c.text, c.caret, c.selection);
        e->setModified(false);
        const int before = e->BeepCount();
        Type(e, c.keys);
        EXPECT_EQ(e->text().toStdString(), c.expected) << c.name;
        if (c.expectedCaret >= 0) {
            EXPECT_EQ(e->cursorPosition(), c.expectedCaret) << c.name;
        }
        EXPECT_EQ(e->BeepCount() - before, c.beeps) << c.name;
        const bool changedByKey = c.beeps == 0 && c.keys != "\r";
        EXPECT_EQ(e->isModified(), changedByKey) << c.name;
    }
}

TEST(NumberField, ControlKeysPassEvenWhenReadOnly)
{
    Window w;
    TEditEx *e = w.edit;
    e->ValueSetting()->setValueType(vtFloat);
    e->setText("12.50");
    e->setReadOnly(true);
    QSignalSpy beeps(e, &TCustomEditEx::beeped);

    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(e->selectedText(), "12.50");
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "12.50");
    // Any other control character is refused.
    QTest::keyClick(e, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(beeps.count(), 1);
    EXPECT_EQ(e->text(), "12.50");
}

TEST(NumberField, DeleteKey)
{
    struct Case {
        const char *name;
        const char *text;
        int caret, selection;
        const char *expected;
        int expectedCaret;
    };
    const Case cases[] = {
        {"at the end", "5.00", 4, 0, "5.00", 4},  {"first digit", "123.00", 0, 0, "23.00", 0},
        {"the point", "5.25", 1, 0, "525.00", 4}, {"a place", "5.25", 2, 0, "5.50", 3},
        {"selection", "123.45", 1, 2, "1.45", 1}, {"everything", "123.45", 0, 6, "0.00", 4},
    };
    Window w;
    TEditEx *e = w.edit;
    e->ValueSetting()->setValueType(vtFloat);
    for (const auto &c : cases) {
        Prepare(e, c.text, c.caret, c.selection);
        e->setModified(false);
        QTest::keyClick(e, Qt::Key_Delete);
        EXPECT_EQ(e->text().toStdString(), c.expected) << c.name;
        EXPECT_EQ(e->cursorPosition(), c.expectedCaret) << c.name;
        EXPECT_TRUE(e->isModified()) << c.name;
    }
    EXPECT_EQ(e->BeepCount(), 0);
}

TEST(NumberField, DeleteDefaultsOutsideTheEditableNumberField)
{
    Window w;
    TEditEx *e = w.edit;
    Prepare(e, "abc", 0);
    QTest::keyClick(e, Qt::Key_Delete);
    EXPECT_EQ(e->text(), "bc") << "vtString deletes one character";

    e->ValueSetting()->setValueType(vtFloat);
    e->setReadOnly(true);
    Prepare(e, "5.25", 0);
    QTest::keyClick(e, Qt::Key_Delete);
    EXPECT_EQ(e->text(), "5.25");
    EXPECT_EQ(e->BeepCount(), 0);
}

// --- Paste ------------------------------------------------------------------

enum class PasteWay { Slot, CtrlV, ShiftInsert, Menu };

void PasteBy(TEditEx *e, PasteWay way)
{
    switch (way) {
    case PasteWay::Slot: e->paste(); break;
    case PasteWay::CtrlV: QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier); break;
    case PasteWay::ShiftInsert: QTest::keyClick(e, Qt::Key_Insert, Qt::ShiftModifier); break;
    case PasteWay::Menu: {
        std::unique_ptr<QMenu> menu(e->createStandardContextMenu());
        QAction *pasteAction = nullptr;
        for (QAction *a : menu->actions())
            if (a->text().startsWith("&Paste"))
                pasteAction = a;
        ASSERT_NE(pasteAction, nullptr);
        // Qt offers Paste only while the clipboard holds some text.
        const bool hasText = !QGuiApplication::clipboard()->text().isEmpty();
        EXPECT_EQ(pasteAction->isEnabled(), hasText && !e->isReadOnly());
        pasteAction->trigger();
        break;
    }
    }
}

TEST(NumberField, Paste)
{
    struct Case {
        const char *name;
        const char *clip; // nullptr: the clipboard holds no text
        bool hideZero;
        const char *expected;
        int beeps;
    };
    const Case cases[] = {
        {"number", "12.345", false, "12.35", 0},
        {"blanks around", " 7 ", false, "7.00", 0},
        {"negative", "-3", false, "-3.00", 0},
        {"exponent", "1.5E2", false, "150.00", 0},
        {"not a number", "abc", false, "1.00", 1},
        {"commas", "1,234", false, "1.00", 1},
        {"empty text", "", false, "1.00", 1},
        {"too long", "123456789", false, "1.00", 1},
        {"longest", "12345678", false, "12345678.00", 0},
        {"beyond a double", "1E400", false, "1.00", 1},
        {"zero hidden", "0", true, "", 0},
        {"zero shown", "0", false, "0.00", 0},
        {"no text", nullptr, false, "1.00", 0},
    };
    Window w;
    TEditEx *e = w.edit;
    e->ValueSetting()->setValueType(vtFloat);
    for (PasteWay way : {PasteWay::Slot, PasteWay::CtrlV, PasteWay::ShiftInsert, PasteWay::Menu}) {
        for (const auto &c : cases) {
            e->ValueSetting()->setHideZeroValue(c.hideZero);
            auto *data = new QMimeData;
            if (c.clip)
                data->setText(QString::fromUtf8(c.clip));
            else
                data->setData("application/x-tallyvox-test", "7");
            QGuiApplication::clipboard()->setMimeData(data);
            // The whole text is replaced, not only the selection.
            Prepare(e, "1.00", 1, 1);
            e->setModified(true);
            const int before = e->BeepCount();
            if (way == PasteWay::Menu && c.clip && !*c.clip)
                continue; // no Paste entry to choose
            PasteBy(e, way);
            const std::string where = std::string(c.name) + " way " + std::to_string(int(way));
            EXPECT_EQ(e->text().toStdString(), c.expected) << where;
            EXPECT_EQ(e->BeepCount() - before, c.beeps) << where;
            EXPECT_TRUE(e->isModified()) << where;
        }
    }
}

TEST(NumberField, PasteIntoReadOnlyFieldDoesNothing)
{
    Window w;
    TEditEx *e = w.edit;
    e->ValueSetting()->setValueType(vtFloat);
    e->setText("1.00");
    e->setReadOnly(true);
    QGuiApplication::clipboard()->setText("5");
    PasteBy(e, PasteWay::CtrlV);
    PasteBy(e, PasteWay::Slot);
    EXPECT_EQ(e->text(), "1.00");
}

TEST(NumberField, PlainPasteOutsideTheNumberField)
{
    Window w;
    TEditEx *e = w.edit;
    QGuiApplication::clipboard()->setText("abc");
    Prepare(e, "12", 1);
    PasteBy(e, PasteWay::CtrlV);
    EXPECT_EQ(e->text(), "1abc2");
    e->setReadOnly(true);
    PasteBy(e, PasteWay::CtrlV);
    EXPECT_EQ(e->text(), "1abc2") << "read-only display takes no paste key";
}

TEST(NumberField, ComposedTextGoesThroughTheFilter)
{
    Window w;
    TEditEx *e = w.edit;
    e->ValueSetting()->setValueType(vtFloat);
    Prepare(e, "0.00", 1);
    QInputMethodEvent commit;
    commit.setCommitString("5x");
    QApplication::sendEvent(e, &commit);
    EXPECT_EQ(e->text(), "5.00");
    EXPECT_EQ(e->BeepCount(), 1);
}

// --- Every mode -------------------------------------------------------------

TEST(EditEx, EnterNeverChangesTheText)
{
    struct Recorder : QObject {
        std::vector<int> released;
        bool eventFilter(QObject *, QEvent *ev) override
        {
            if (ev->type() == QEvent::KeyRelease)
                released.push_back(static_cast<QKeyEvent *>(ev)->key());
            return false;
        }
    };
    Window w;
    TEditEx *e = w.edit;
    Recorder owner, parent;
    e->installEventFilter(&owner);
    w.top.installEventFilter(&parent);
    std::vector<int> keyUps;
    QObject::connect(e, &TCustomEditEx::keyUp, e, [&](QKeyEvent *ev) { keyUps.push_back(ev->key()); });
    for (TValueType vt : {vtString, vtNumberOnly, vtFloat}) {
        for (bool readOnly : {false, true}) {
            e->ValueSetting()->setValueType(vt);
            e->setReadOnly(readOnly);
            Prepare(e, "12.50", 2);
            owner.released.clear();
            parent.released.clear();
            keyUps.clear();
            QTest::keyClick(e, Qt::Key_Return);
            QTest::keyClick(e, Qt::Key_Enter, Qt::KeypadModifier);
            EXPECT_EQ(e->text(), "12.50") << vt << readOnly;
            EXPECT_EQ(e->BeepCount(), 0);
            // The owner's key-up handler sees both releases, and they travel on.
            EXPECT_EQ(owner.released, (std::vector<int>{Qt::Key_Return, Qt::Key_Enter}));
            EXPECT_EQ(parent.released, (std::vector<int>{Qt::Key_Return, Qt::Key_Enter}));
            EXPECT_EQ(keyUps, (std::vector<int>{Qt::Key_Return, Qt::Key_Enter}));
        }
    }
}

TEST(EditEx, NumberOnlyRefusesNonDigitsAndKeepsHeight)
{
    App();
    QWidget top;
    TEditEx *e = new TEditEx(&top);
    e->setGeometry(0, 0, 200, 57);
    top.show();
    e->setFocus();
    e->ValueSetting()->setValueType(vtNumberOnly);
    EXPECT_EQ(e->height(), 57);
    Prepare(e, "12", 2);
    Type(e, "3a.-4 ");
    EXPECT_EQ(e->text(), "1234");
    EXPECT_EQ(e->BeepCount(), 4);
    Type(e, "\b");
    EXPECT_EQ(e->text(), "123") << "editing keys still work";

    e->ValueSetting()->setValueType(vtString);
    EXPECT_EQ(e->height(), 57);
    Type(e, "a");
    EXPECT_EQ(e->text(), "123a") << "the digits-only filter is gone";
    EXPECT_EQ(e->BeepCount(), 4);
}

TEST(EditEx, ReadOnlyDisplayBehavesAsALineEdit)
{
    Window w;
    TEditEx *e = w.edit;
    e->setAlignment(Qt::AlignRight);
    e->setReadOnly(true);
    e->setText("1234");
    ASSERT_TRUE(e->hasFocus());
    e->setCursorPosition(4);

    Type(e, "5\b");
    EXPECT_EQ(e->text(), "1234");
    QTest::keyClick(e, Qt::Key_Home);
    EXPECT_EQ(e->cursorPosition(), 0);
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(e->selectedText(), "12");
    QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "12");
    EXPECT_EQ(e->BeepCount(), 0);

    // The caret shows although the text is read-only.
    QTest::keyClick(e, Qt::Key_End);
    const int focusedInk = DarkInk(Render(e), e->rect()).count;
    w.other->setFocus();
    const int unfocusedInk = DarkInk(Render(e), e->rect()).count;
    EXPECT_GT(focusedInk, unfocusedInk);
}

TEST(EditEx, TabMovesFocus)
{
    Window w;
    ASSERT_TRUE(w.edit->hasFocus());
    QTest::keyClick(w.edit, Qt::Key_Tab);
    EXPECT_TRUE(w.other->hasFocus());
}

// --- Alignment --------------------------------------------------------------

TEST(EditEx, QtAlignmentFlagsMapAndStayInStep)
{
    struct Case {
        Qt::Alignment given;
        TAlignment a;
    };
    const Case cases[] = {
        {Qt::AlignRight, taRightJustify}, {Qt::AlignRight | Qt::AlignTop, taRightJustify},
        {Qt::AlignHCenter, taCenter},     {Qt::AlignCenter, taCenter},
        {Qt::AlignLeft, taLeftJustify},   {Qt::AlignJustify, taLeftJustify},
    };
    App();
    TEditEx e;
    for (const auto &c : cases) {
        e.setAlignment(c.given);
        EXPECT_EQ(e.Alignment(), c.a);
        // QLineEdit's own alignment follows, always vertically centred.
        EXPECT_EQ(e.alignment(), (VisualAlignment(c.a, Qt::LeftToRight) | Qt::AlignAbsolute | Qt::AlignVCenter));
    }
}

TEST(EditEx, TextSitsWhereTheAlignmentSays)
{
    struct Case {
        TAlignment a;
        Qt::LayoutDirection dir;
    };
    const Case cases[] = {
        {taLeftJustify, Qt::LeftToRight}, {taRightJustify, Qt::LeftToRight}, {taCenter, Qt::LeftToRight},
        {taLeftJustify, Qt::RightToLeft}, {taRightJustify, Qt::RightToLeft}, {taCenter, Qt::RightToLeft},
    };
    App();
    for (const auto &c : cases) {
        TEditEx e;
        e.setFrame(false);
        e.resize(300, 120);
        e.setLayoutDirection(c.dir);
        e.setAlignment(c.a);
        e.setText("8888");
        const Ink ink = DarkInk(Render(&e), e.rect());
        ASSERT_GT(ink.count, 0);
        const Qt::Alignment visual = VisualAlignment(c.a, c.dir);
        if (visual == Qt::AlignLeft) {
            EXPECT_LT(ink.maxX, 100) << c.a << " " << c.dir;
        } else if (visual == Qt::AlignRight) {
            EXPECT_GT(ink.minX, 200) << c.a << " " << c.dir;
        } else {
            EXPECT_NEAR(ink.centreX(), 150, 4) << c.a << " " << c.dir;
        }
        // One line, in the middle of a control far taller than a line.
        EXPECT_NEAR(ink.centreY(), 60, 4);
    }
}

// --- Hint text --------------------------------------------------------------

TEST(EditEx, HintShowsOnlyUnfocusedOverBlankText)
{
    enum Hook { NoHook, HookKeeps, HookSuppresses };
    struct Case {
        const char *name;
        const char *hint;
        const char *text;
        bool focused;
        Hook hook;
        bool hintDrawn;
    };
    const Case cases[] = {
        {"blank text", "Hint", "", false, NoHook, true},
        {"blanks only", "Hint", "   ", false, NoHook, true},
        {"text", "Hint", "5", false, NoHook, false},
        {"focused", "Hint", "", true, NoHook, false},
        {"blank hint", "  ", "", false, NoHook, false},
        {"hook keeps", "Hint", "", false, HookKeeps, true},
        {"hook suppresses", "Hint", "", false, HookSuppresses, false},
    };
    Window w;
    TEditEx *e = w.edit;
    e->setAlignment(taRightJustify); // text and caret stay out of the hint's corner
    e->setFixedHeight(40);
    const QRect hintArea(0, 0, 100, 40);
    for (const auto &c : cases) {
        int hookCalls = 0;
        e->setOnPaintHintText({});
        if (c.hook != NoHook) {
            e->setOnPaintHintText([&](TCustomEditEx *sender, QPainter &canvas, bool &enable) {
                ++hookCalls;
                EXPECT_EQ(sender, e);
                EXPECT_EQ(canvas.font(), e->HintTextFont());
                if (c.hook == HookSuppresses) {
                    canvas.fillRect(QRect(200, 5, 10, 10), Qt::red);
                    enable = false;
                }
            });
        }
        e->setText(c.text);
        e->setHintText(c.hint);
        if (c.focused)
            e->setFocus();
        else
            w.other->setFocus();
        ASSERT_EQ(e->hasFocus(), c.focused);
        const QImage img = Render(e);
        const Ink ink = DarkInk(img, hintArea);
        EXPECT_EQ(ink.count > 0, c.hintDrawn) << c.name;
        if (c.hintDrawn) {
            EXPECT_GE(ink.minX, 3) << c.name;
            EXPECT_LE(ink.minX, 6) << c.name;
            EXPECT_NEAR(ink.centreY(), 20, 3) << c.name;
        }
        if (c.hook != NoHook) {
            EXPECT_EQ(hookCalls, 1) << c.name;
        }
        if (c.hook == HookSuppresses) {
            EXPECT_EQ(img.pixelColor(205, 10), QColor(Qt::red)) << c.name;
        }
    }
}

TEST(EditEx, HintFontSetsTheHintSize)
{
    Window w;
    TEditEx *e = w.edit;
    e->setFixedHeight(60);
    e->setHintText("Hint");
    w.other->setFocus();
    QFont small = e->font();
    small.setPixelSize(11);
    QFont large = small;
    large.setPixelSize(30);
    e->setHintTextFont(small);
    const Ink smallInk = DarkInk(Render(e), e->rect());
    e->setHintTextFont(large);
    EXPECT_EQ(e->HintTextFont(), large);
    const Ink largeInk = DarkInk(Render(e), e->rect());
    ASSERT_GT(smallInk.count, 0);
    EXPECT_GT(largeInk.maxY - largeInk.minY, 2 * (smallInk.maxY - smallInk.minY));
    // The control's own font is not the hint's.
    EXPECT_NE(e->font().pixelSize(), 30);
}

TEST(EditEx, HintChangesRepaint)
{
    Window w;
    TEditEx *e = w.edit;
    w.other->setFocus();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *ev) override
        {
            if (ev->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    e->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    e->setHintText("Hint");
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0);

    counter.paints = 0;
    e->setFocus();
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0) << "focus in hides the hint";
}

} // namespace
