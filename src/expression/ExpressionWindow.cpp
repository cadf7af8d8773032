// SPDX-License-Identifier: GPL-3.0-or-later
#include "expression/ExpressionWindow.h"

#include "expression/QueuedPress.h"
#include "numbers/Utf8.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include <utility>

namespace tallyvox {

namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "宋体" where it is installed, else the CJK font every install has. The
// menu wants a cut like 宋体's, whose Latin letters are all as wide, so that
// the spaces in its captions line the bracketed words up.
QFont DialogFont(bool fixedPitchLatin = false)
{
    QFont font(QStringLiteral("宋体"));
    font.setFamilies(
        {QStringLiteral("宋体"), QStringLiteral("SimSun"),
         fixedPitchLatin ? QStringLiteral("WenQuanYi Micro Hei Mono") : QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(12);
    return font;
}

// The function button's face: fx in italics, in the palette's button text
// colour, sharp on screens of 1 to 3 device pixels per pixel.
QIcon FunctionPicture(const QColor &ink)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 1.5, 2.0, 3.0}) {
        QPixmap picture(QSize(20, 16) * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        QFont font(QStringLiteral("Times New Roman"));
        font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("DejaVu Serif"), QStringLiteral("serif")});
        font.setPixelSize(15);
        font.setItalic(true);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(QRectF(0, 0, 20, 16), Qt::AlignCenter, QStringLiteral("fx"));
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

// The line edit counts UTF-16 units, the core counts characters.
std::size_t CharsBefore(const QString &text, int utf16Position)
{
    return static_cast<std::size_t>(text.left(utf16Position).toUcs4().size());
}

int Utf16Position(const QString &text, std::size_t chars)
{
    int position = 0;
    while (position < text.size() && chars > 0) {
        position += text.at(position).isHighSurrogate() && position + 1 < text.size() ? 2 : 1;
        --chars;
    }
    return position;
}

template <typename Widget>
Widget *Place(QWidget *parent, const char *name, const QString &accessibleName, int left, int top, int width,
              int height)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessibleName);
    widget->setGeometry(left, top, width, height);
    return widget;
}

QPushButton *PlaceButton(QWidget *parent, const char *name, const QString &caption, const QString &accessibleName,
                         int left)
{
    auto *button = Place<QPushButton>(parent, name, accessibleName, left, 105, 80, 25);
    // Calculating reads aloud for seconds.
    button->setProperty(kQueuedPressProperty, true);
    button->setText(caption);
    // No default button: Enter in an edit calculates nothing.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

// The read-out's surroundings. It copies the hooks and watches the window
// through a QPointer, since events run between cues.
class TForTest::ReadOutHost : public ExpressionReadOutHost {
public:
    explicit ReadOutHost(TForTest &window)
        : hooks_(window.hooks_), window_(&window), generation_(++window.readOutGeneration_)
    {
    }

    void PlayCue(const std::string &name, bool async) override
    {
        if (hooks_.playCue && !Abandoned())
            hooks_.playCue(name, async);
    }
    void ProcessPendingEvents() override { QCoreApplication::processEvents(); }
    // Events run during the pause, so that Esc ends the read-out at once.
    void Wait(int milliseconds) override
    {
        if (hooks_.wait) {
            hooks_.wait(milliseconds);
            return;
        }
        if (Abandoned())
            return;
        QEventLoop pause;
        QTimer::singleShot(milliseconds, &pause, &QEventLoop::quit);
        QEventLoop *outer = std::exchange(window_->pause_, &pause);
        pause.exec();
        if (window_)
            window_->pause_ = outer;
    }
    // Blocks as the pause does: events run only between the two.
    void WaitForCueEnd() override
    {
        if (hooks_.waitForCueEnd && !Abandoned())
            hooks_.waitForCueEnd();
    }
    void ShowMessage(const std::string &caption, const std::string &text) override
    {
        const QString shown = FromUtf8(BoundedText(text));
        if (hooks_.showMessage)
            hooks_.showMessage(FromUtf8(caption), shown);
        else
            QMessageBox::information(window_.data(), FromUtf8(caption), shown);
    }
    // A newer calculation's read-out ends this one for good, or the rest of
    // this number would be heard glued to the newer one.
    bool Abandoned() const override
    {
        return (hooks_.mainWindowClosed && hooks_.mainWindowClosed()) || !window_ ||
               window_->readOutGeneration_ != generation_;
    }

private:
    ExpressionWindowHooks hooks_;
    QPointer<TForTest> window_;
    unsigned generation_;
};

TForTest::TForTest(ScriptEvaluator &script, ExpressionWindowHooks hooks, QWidget *parent)
    : QDialog(parent), script_(script), hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("ForTest"));
    setWindowTitle(QStringLiteral("表达式计算器"));
    setAccessibleName(QStringLiteral("表达式计算器"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(413, 149);
    setFont(DialogFont());

    // The labels read as their captions; the fields they label carry the names.
    Label1 = Place<QLabel>(this, "Label1", QString(), 16, 32, 66, 12);
    Label1->setText(QStringLiteral("输入表达式:"));
    EditInPut = Place<QLineEdit>(this, "EditInPut", QStringLiteral("输入表达式"), 96, 28, 252, 20);
    Label1->setBuddy(EditInPut);

    btnFunc = Place<QPushButton>(this, "btnFunc", QStringLiteral("插入函数"), 354, 26, 31, 22);
    btnFunc->setIcon(FunctionPicture(btnFunc->palette().color(QPalette::ButtonText)));
    btnFunc->setIconSize(QSize(20, 16));
    // Reached with Tab like the other buttons; Enter or Space opens the menu.
    btnFunc->setFocusPolicy(Qt::StrongFocus);
    btnFunc->setAutoDefault(false);

    lbl2 = Place<QLabel>(this, "lbl2", QString(), 28, 67, 54, 12);
    lbl2->setText(QStringLiteral("计算结果:"));
    EditOutPut = Place<QLineEdit>(this, "EditOutPut", QStringLiteral("计算结果"), 96, 63, 133, 20);
    // Read-only, yet in the Tab order, so a screen reader can read it again.
    EditOutPut->setReadOnly(true);
    EditOutPut->setFocusPolicy(Qt::StrongFocus);
    lbl2->setBuddy(EditOutPut);
    lbl1 = Place<QLabel>(this, "lbl1", QString(), 235, 67, 150, 12);
    lbl1->setText(QStringLiteral("例如：(3-55)*(10+sin(30))"));

    btnCalc = PlaceButton(this, "btnCalc", QStringLiteral("计算 (&R)"), QStringLiteral("计算"), 95);
    btnClear = PlaceButton(this, "btnClear", QStringLiteral("清除 (&L)"), QStringLiteral("清除"), 200);
    btnClose = PlaceButton(this, "btnClose", QStringLiteral("关闭 (&C)"), QStringLiteral("关闭"), 305);
    // In reading order: the expression, its functions, the result, then the buttons.
    setTabOrder(EditInPut, btnFunc);
    setTabOrder(btnFunc, EditOutPut);
    setTabOrder(EditOutPut, btnCalc);
    setTabOrder(btnCalc, btnClear);
    setTabOrder(btnClear, btnClose);

    // A popup is a window of its own and inherits no font.
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopupMenu->setAccessibleName(QStringLiteral("函数"));
    PopupMenu->setFont(DialogFont(true));
    for (const FunctionMenuItem &item : FunctionMenu()) {
        QAction *action = PopupMenu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setData(item.tag);
        action->setStatusTip(QString::fromUtf8(item.hint));
    }

    connect(btnFunc, &QPushButton::clicked, this, &TForTest::btnFuncClick);
    connect(PopupMenu, &QMenu::triggered, this, &TForTest::atan1Click);
    connect(btnCalc, &QPushButton::clicked, this, &TForTest::rzbtbtn1Click);
    connect(btnClear, &QPushButton::clicked, this, &TForTest::rzbtbtn2Click);
    connect(btnClose, &QPushButton::clicked, this, &TForTest::btnCloseClick);
}

TForTest::~TForTest() = default;

void TForTest::FormShow()
{
    EditInPut->setFocus();
}

void TForTest::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TForTest::closeEvent(QCloseEvent *event)
{
    if (readOutDepth_ > 0) {
        closePending_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TForTest::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // Unlike 关闭, Esc does not wait: it ends a running read-out at once,
        // so that the keys typed next reach the main window, not this one.
        ++readOutGeneration_;
        if (pause_)
            pause_->quit();
        closePending_ = false;
        reject();
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The focused button is pressed, as on any dialog; anywhere else
        // Enter calculates.
        if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
            if (button->isEnabled())
                button->click();
        } else {
            btnCalc->click();
        }
        event->accept();
        return;
    default: QDialog::keyPressEvent(event);
    }
}

void TForTest::CloseWhenIdle()
{
    if (readOutDepth_ > 0)
        closePending_ = true;
    else
        reject();
}

void TForTest::btnFuncClick()
{
    PopupMenu->popup(btnFunc->mapToGlobal(QPoint(0, btnFunc->height())));
}

void TForTest::atan1Click(QAction *Sender)
{
    const QString functionText = FromUtf8(FunctionTextOf(Sender->data().toInt()));
    if (functionText.isEmpty())
        return;
    const QString expression = EditInPut->text();
    const int caret = EditInPut->hasSelectedText() ? EditInPut->selectionStart() : EditInPut->cursorPosition();
    editInsert(functionText, expression.left(caret) + functionText + expression.mid(caret));
}

void TForTest::editInsert(const QString &functionText, const QString &newExpression)
{
    const QString expression = EditInPut->text();
    ExpressionEdit edit;
    edit.text = expression.toStdString();
    if (EditInPut->hasSelectedText()) {
        const int start = EditInPut->selectionStart();
        edit.selectionStart = CharsBefore(expression, start);
        edit.selectionLength = CharsBefore(expression, start + EditInPut->selectedText().size()) - edit.selectionStart;
    } else {
        edit.selectionStart = CharsBefore(expression, EditInPut->cursorPosition());
    }
    const ExpressionEdit result = EditInsert(edit, functionText.toStdString(), newExpression.toStdString());
    const QString text = QString::fromStdString(result.text);
    EditInPut->setText(text);
    EditInPut->setCursorPosition(Utf16Position(text, result.selectionStart));
}

void TForTest::rzbtbtn1Click()
{
    const std::string input = EditInPut->text().toStdString();
    const std::string output = EvaluateExpression(input, script_);
    // The result shows while it is read; a script's text result can be a
    // megabyte, of which a bounded start is shown.
    EditOutPut->setText(QString::fromStdString(BoundedText(output)));
    if (hooks_.evaluated)
        hooks_.evaluated(input, output);

    QPointer<TForTest> self(this);
    ReadOutHost host(*this);
    ++readOutDepth_;
    try {
        ExpressionReadOut(output, host);
    } catch (...) {
        // A read-out that cannot go on is silent; the result stays shown.
    }
    if (!self)
        return;
    if (--readOutDepth_ == 0 && closePending_) {
        closePending_ = false;
        reject();
    }
}

void TForTest::rzbtbtn2Click()
{
    EditInPut->clear();
    EditOutPut->clear();
}

void TForTest::btnCloseClick()
{
    CloseWhenIdle();
}

} // namespace tallyvox
