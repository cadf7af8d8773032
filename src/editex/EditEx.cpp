// SPDX-License-Identifier: GPL-3.0-or-later
#include "editex/EditEx.h"

#include "editex/NumberPattern.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyleHints>

#include <algorithm>
#include <cmath>

namespace tallyvox {

namespace {

QString FromStd(const std::string &s)
{
    return QString::fromStdString(s);
}

// Blank as the display understands it: nothing beyond the space character.
bool IsBlank(const QString &s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() <= ' '; });
}

constexpr int kNoChar = -1;    // a key that types nothing (arrows, F-keys, Tab ...)
constexpr int kManyChars = -2; // a key that types more than one character

// The character a key press types, as a single-line edit sees it: Ctrl plus a
// letter is a control character (Ctrl+A = 1 ... Ctrl+Z = 26), Enter is 13,
// Backspace 8 (127 with Ctrl).
int CharCode(const QKeyEvent *e)
{
    const Qt::KeyboardModifiers mods = e->modifiers();
    const int key = e->key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Backspace: return (mods & Qt::ControlModifier) ? 127 : 8;
    case Qt::Key_Escape: // left to the dialog, as for a single-line edit
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete: return kNoChar;
    default: break;
    }
    if (mods & Qt::AltModifier)
        return kNoChar;
    if (mods & Qt::ControlModifier) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return key - Qt::Key_A + 1;
        return kNoChar;
    }
    const QString t = e->text();
    if (t.size() == 1 && t[0].unicode() >= ' ' && t[0].unicode() != 127)
        return t[0].unicode();
    if (t.size() > 1)
        return kManyChars;
    return kNoChar;
}

bool IsDigit(int ch)
{
    return ch >= '0' && ch <= '9';
}

} // namespace

Qt::Alignment VisualAlignment(TAlignment a, Qt::LayoutDirection dir)
{
    const bool rtl = dir == Qt::RightToLeft;
    switch (a) {
    case taCenter: return Qt::AlignHCenter;
    case taRightJustify: return rtl ? Qt::AlignLeft : Qt::AlignRight;
    case taLeftJustify: break;
    }
    return rtl ? Qt::AlignRight : Qt::AlignLeft;
}

// --- TValueSetting ----------------------------------------------------------

TValueSetting::TValueSetting(TCustomEditEx *owner) : owner_(owner)
{
    UpdateMaxLength();
}

void TValueSetting::setValueType(TValueType v)
{
    if (v == valueType_)
        return;
    const int height = owner_->height();
    const TValueType old = valueType_;
    valueType_ = v;
    owner_->ValueTypeChanged();
    // Switching the digits-only filter must not move the control's bottom edge.
    if (old == vtNumberOnly || v == vtNumberOnly)
        owner_->resize(owner_->width(), height);
    if (v == vtFloat)
        ShowValue(FloatValue());
}

Extended TValueSetting::FloatValue() const
{
    return ParseNumberText(owner_->text().toStdString(), true);
}

void TValueSetting::setFloatValue(Extended x)
{
    owner_->setModified(false);
    if (valueType_ == vtFloat)
        ShowValue(x);
    else
        owner_->setText(FromStd(GeneralNumberText(x)));
}

void TValueSetting::ReformatForLayout()
{
    UpdateMaxLength();
    UpdateFormatStr();
    ShowValue(FloatValue());
}

void TValueSetting::setShowThousands(bool v)
{
    if (v == showThousands_)
        return;
    showThousands_ = v;
    ReformatForLayout();
}

void TValueSetting::setDecimalPlaces(std::uint8_t v)
{
    if (v == decimalPlaces_)
        return;
    decimalPlaces_ = v;
    ReformatForLayout();
}

void TValueSetting::setIntegerLength(std::uint8_t v)
{
    if (v == integerLength_)
        return;
    integerLength_ = v;
    UpdateMaxLength();
}

void TValueSetting::setHideZeroValue(bool v)
{
    if (v == hideZeroValue_)
        return;
    hideZeroValue_ = v;
    ShowValue(FloatValue());
}

void TValueSetting::ShowValue(Extended x)
{
    if (valueType_ != vtFloat)
        return;
    if (hideZeroValue_ && x == 0)
        owner_->setText(QString());
    else
        owner_->setText(FromStd(FormatNumberPattern(formatStr_, x)));
}

void TValueSetting::UpdateFormatStr()
{
    formatStr_ = MakeFormatStr(showThousands_, decimalPlaces_);
}

void TValueSetting::UpdateMaxLength()
{
    maxLength_ = MakeMaxLength(integerLength_, showThousands_, decimalPlaces_);
}

// --- TCustomEditEx ----------------------------------------------------------

TCustomEditEx::TCustomEditEx(QWidget *parent)
    : QLineEdit(parent), valueSetting_(std::make_unique<TValueSetting>(this)), hintTextFont_(font())
{
    ApplyAlignment();
    // A read-only QLineEdit draws no caret; this one does (paintEvent), and
    // it restarts blinking wherever the caret goes, like a text cursor.
    connect(this, &QLineEdit::cursorPositionChanged, this, [this] { RestartCaretBlink(); });
    connect(this, &QLineEdit::selectionChanged, this, [this] { RestartCaretBlink(); });
}

TCustomEditEx::~TCustomEditEx() = default;

void TCustomEditEx::setAlignment(TAlignment a)
{
    if (a == alignment_)
        return;
    alignment_ = a;
    ApplyAlignment();
}

void TCustomEditEx::setAlignment(Qt::Alignment a)
{
    if (a & Qt::AlignRight)
        setAlignment(taRightJustify);
    else if (a & Qt::AlignHCenter)
        setAlignment(taCenter);
    else
        setAlignment(taLeftJustify);
}

void TCustomEditEx::ApplyAlignment()
{
    // QLineEdit would mirror by the direction of the text, which for digits
    // is always left to right; the control mirrors by its layout instead.
    QLineEdit::setAlignment(VisualAlignment(alignment_, layoutDirection()) | Qt::AlignAbsolute | Qt::AlignVCenter);
    update();
}

void TCustomEditEx::setHintText(const QString &text)
{
    hintText_ = text;
    // Also when the new hint is blank: the old one must disappear.
    if (TextIsBlank())
        update();
}

void TCustomEditEx::setHintTextFont(const QFont &font)
{
    hintTextFont_ = font;
    if (TextIsBlank())
        update();
}

bool TCustomEditEx::TextIsBlank() const
{
    return IsBlank(text());
}

bool TCustomEditEx::HintTextIsBlank() const
{
    return IsBlank(hintText_);
}

void TCustomEditEx::UpdateTextRect()
{
    // QLineEdit lays its one line out in the middle of whatever height it
    // gets, as long as the vertical alignment says so.
    ApplyAlignment();
}

void TCustomEditEx::Beep()
{
    ++beepCount_;
    QApplication::beep();
    emit beeped();
}

void TCustomEditEx::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);

    if (hasFocus()) {
        if (isReadOnly() && caretOn_ && !hasSelectedText()) {
            QPainter p(this);
            const QRect r = cursorRect();
            p.fillRect(QRect(r.center().x(), r.top(), 1, r.height()), palette().color(QPalette::Text));
        }
        return;
    }
    if (HintTextIsBlank() || !TextIsBlank())
        return;

    QPainter canvas(this);
    canvas.setFont(hintTextFont_);
    canvas.setPen(palette().color(QPalette::Text));
    bool enableAfterPaint = true;
    if (onPaintHintText_)
        onPaintHintText_(this, canvas, enableAfterPaint);
    if (!enableAfterPaint)
        return;
    const QFontMetrics fm = canvas.fontMetrics();
    const int y = (height() - fm.height()) / 2;
    canvas.setBackgroundMode(Qt::TransparentMode);
    canvas.drawText(3, y + fm.ascent(), hintText_);
}

void TCustomEditEx::keyReleaseEvent(QKeyEvent *event)
{
    QLineEdit::keyReleaseEvent(event);
    // QLineEdit keeps key releases to itself; the owner's key-up handling
    // must see every one, Enter included.
    event->ignore();
    emit keyUp(event);
}

void TCustomEditEx::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    RestartCaretBlink();
}

void TCustomEditEx::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (caretTimer_) {
        killTimer(caretTimer_);
        caretTimer_ = 0;
    }
    update();
}

void TCustomEditEx::RestartCaretBlink()
{
    caretOn_ = true;
    if (caretTimer_) {
        killTimer(caretTimer_);
        caretTimer_ = 0;
    }
    if (hasFocus()) {
        const int flash = QGuiApplication::styleHints()->cursorFlashTime();
        if (flash >= 2)
            caretTimer_ = startTimer(flash / 2);
    }
    if (isReadOnly())
        update();
}

void TCustomEditEx::timerEvent(QTimerEvent *event)
{
    if (caretTimer_ && event->timerId() == caretTimer_) {
        caretOn_ = !caretOn_;
        if (isReadOnly())
            update();
        return;
    }
    QLineEdit::timerEvent(event);
}

void TCustomEditEx::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    UpdateTextRect();
}

void TCustomEditEx::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateTextRect();
    else if (event->type() == QEvent::LayoutDirectionChange)
        ApplyAlignment();
}

void TCustomEditEx::ValueTypeChanged()
{
    // Text dropped in from elsewhere would skip the number field's rules.
    setAcceptDrops(valueSetting_->ValueType() != vtFloat);
}

void TCustomEditEx::keyPressEvent(QKeyEvent *event)
{
    const TValueType vt = valueSetting_->ValueType();
    if (vt == vtFloat) {
        if (event->key() == Qt::Key_Delete && !isReadOnly()) {
            FloatDelete();
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            paste();
            event->accept();
            return;
        }
    }

    const int ch = CharCode(event);
    // Enter never reaches the text: QLineEdit only reports it
    // (returnPressed) and lets the press travel on to the parent.
    if (ch == kNoChar || ch == 13) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    switch (vt) {
    case vtString: QLineEdit::keyPressEvent(event); return;
    case vtNumberOnly:
        // Ctrl+Backspace (127) is an editing key, not a typed character.
        if (!isReadOnly() && (ch == kManyChars || (ch >= ' ' && ch != 127 && !IsDigit(ch)))) {
            Beep();
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    case vtFloat: FloatKey(ch, event); return;
    }
}

void TCustomEditEx::FloatKey(int ch, QKeyEvent *event)
{
    // Select all, copy, paste, cut and undo keep the edit's own handling.
    if (ch == 1 || ch == 3 || ch == 22 || ch == 24 || ch == 26) {
        if (ch == 22)
            paste();
        else if (event)
            QLineEdit::keyPressEvent(event);
        return;
    }
    if (event)
        event->accept();
    if (isReadOnly()) {
        Beep();
        return;
    }
    TValueSetting &vs = *valueSetting_;
    const bool allowed =
        ch == 8 || IsDigit(ch) || (ch == '-' && vs.AppectMinus) || (ch == '.' && vs.DecimalPlaces() > 0);
    if (!allowed) {
        Beep();
        return;
    }

    const QString text = this->text();
    const bool hasSelection = hasSelectedText();
    const int start = hasSelection ? selectionStart() : cursorPosition();
    const int length = hasSelection ? selectionLength() : 0;
    const QString before = text.left(start);
    const QString after = text.mid(start + length);
    int tail = after.size();
    bool negate = false;
    bool digitInDecimals = false;
    QString n;

    if (ch == '-') {
        // A second sign would make the text unreadable and zero the value.
        if (start != 0 || after.startsWith(QLatin1Char('-'))) {
            Beep();
            return;
        }
        n = QLatin1Char('-') + after;
        negate = true;
    } else if (ch == '.') {
        if (before.contains(QLatin1Char('.'))) {
            Beep();
            return;
        }
        const int point = after.indexOf(QLatin1Char('.'));
        if (point < 0) {
            n = before + QLatin1Char('.') + after;
        } else if (vs.AutoCutDecimal) {
            // The point moves here; the digits between are cut.
            n = before + QLatin1Char('.') + after.mid(point + 1);
            tail -= point + 1;
        } else {
            Beep();
            return;
        }
    } else if (ch == 8) {
        n = hasSelection ? before + after : before.left(before.size() - 1) + after;
    } else {
        n = before + QChar(ch) + after;
        if (!hasSelection && n.size() > vs.MaxLength()) {
            if (!before.contains(QLatin1Char('.'))) {
                Beep();
                return;
            }
            // A full decimal part: the new digit replaces the one behind it.
            n.chop(1);
            setText(n);
            setCursorPosition(std::min<int>(before.size() + 1, n.size()));
            setModified(true);
            return;
        }
        digitInDecimals = before.contains(QLatin1Char('.'));
    }
    Reformat(n, tail, negate);
    // The surplus place that the formatting drops comes from the tail, so
    // counting the caret from the end would put it in front of the new
    // digit, and the next one typed would land before it.
    if (digitInDecimals)
        setCursorPosition(std::max(cursorPosition(), std::min<int>(before.size() + 1, this->text().size())));
}

void TCustomEditEx::Reformat(const QString &n, int tail, bool negate)
{
    const TValueSetting &vs = *valueSetting_;
    const Extended x = ParseNumberText(n.toStdString(), vs.ShowThousands());
    QString s = FromStd(FormatNumberPattern(vs.FormatStr(), x));
    if (x == 0 && negate)
        s.prepend(QLatin1Char('-'));
    setText(s);
    setCursorPosition(std::clamp<int>(s.size() - tail, 0, s.size()));
    setModified(true);
}

void TCustomEditEx::FloatDelete()
{
    const QString text = this->text();
    const bool hasSelection = hasSelectedText();
    const int start = hasSelection ? selectionStart() : cursorPosition();
    const int length = hasSelection ? selectionLength() : 0;
    const QString before = text.left(start);
    const QString after = text.mid(start + length);
    if (hasSelection)
        Reformat(before + after, after.size(), false);
    else
        Reformat(before + after.mid(1), after.size() - 1, false);
}

void TCustomEditEx::paste()
{
    if (valueSetting_->ValueType() == vtFloat)
        FloatPaste();
    else
        QLineEdit::paste();
}

void TCustomEditEx::FloatPaste()
{
    // A read-only field takes no paste, whichever way it arrives.
    if (isReadOnly())
        return;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText())
        return;
    Extended x = 0;
    if (!TryParseNumber(data->text().toStdString(), false, &x)) {
        Beep();
        return;
    }
    // The pasted value passes through a double; one beyond its range is
    // refused like any other text that does not convert.
    const double d = static_cast<double>(x);
    if (!std::isfinite(d)) {
        Beep();
        return;
    }
    x = d;

    const TValueSetting &vs = *valueSetting_;
    QString s;
    if (!(vs.HideZeroValue() && x == 0)) {
        s = FromStd(FormatNumberPattern(vs.FormatStr(), x));
        if (s.size() > vs.MaxLength()) {
            Beep();
            return;
        }
    }
    const bool modified = isModified();
    setText(s);
    setModified(modified);
}

QMenu *TCustomEditEx::createStandardContextMenu()
{
    QMenu *menu = QLineEdit::createStandardContextMenu();
    // The Paste entry is the one wired to QLineEdit::paste.
    for (QAction *action : menu->actions()) {
        if (disconnect(action, &QAction::triggered, this, &QLineEdit::paste))
            connect(action, &QAction::triggered, this, &TCustomEditEx::paste);
    }
    return menu;
}

void TCustomEditEx::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TCustomEditEx::mouseReleaseEvent(QMouseEvent *event)
{
    // The X11 selection paste of the middle button would skip the number
    // field's rules.
    if (valueSetting_->ValueType() == vtFloat && event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TCustomEditEx::inputMethodEvent(QInputMethodEvent *event)
{
    const TValueType vt = valueSetting_->ValueType();
    if (vt == vtString) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    // Composed text is typed character by character through the filters;
    // nothing half-composed is shown.
    event->accept();
    for (QChar c : event->commitString()) {
        const int ch = c.unicode();
        if (ch < ' ')
            continue;
        if (vt == vtFloat)
            FloatKey(ch, nullptr);
        else if (isReadOnly())
            break;
        else if (IsDigit(ch))
            insert(QString(c));
        else
            Beep();
    }
}

// --- TEditEx ----------------------------------------------------------------

TEditEx::TEditEx(QWidget *parent) : TCustomEditEx(parent) {}

} // namespace tallyvox
