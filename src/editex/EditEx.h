// SPDX-License-Identifier: GPL-3.0-or-later
// TEditEx: the calculator's display control, a QLineEdit that adds
//  - left/right/centred text that stays vertically centred in a tall control,
//  - a hint text drawn in its own font while the control is empty and unfocused,
//  - TValueSetting, which reads the text as a number (FloatValue) and can turn
//    the control into a formatted number field (vtFloat) or a digits-only
//    field (vtNumberOnly).
// The display itself runs read-only in vtString and only writes and reads text.
#pragma once

#include "numbers/NumberText.h"

#include <QFont>
#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <memory>

class QMenu;
class QPainter;

namespace tallyvox {

class TCustomEditEx;

// Mode of a TEditEx.
enum TValueType {
    vtString = 0,     // plain text, no filtering
    vtNumberOnly = 1, // typed characters other than digits are refused
    vtFloat = 2,      // formatted number field: key filter, Delete and paste rebuild the text
};

// Horizontal alignment of the text. Under a right-to-left layout left and
// right swap sides, as for any Qt widget; centre stays centre.
enum TAlignment {
    taLeftJustify,
    taRightJustify,
    taCenter,
};

// Called before the hint text is drawn; clearing EnableAfterPaint suppresses
// the default drawing (the handler may draw on Canvas itself).
using TPaintHintTextEvent = std::function<void(TCustomEditEx *Sender, QPainter &Canvas, bool &EnableAfterPaint)>;

// Number settings of one edit control; created and owned by it.
class TValueSetting {
public:
    explicit TValueSetting(TCustomEditEx *owner);

    TValueType ValueType() const { return valueType_; }
    void setValueType(TValueType v);

    // The text as a number: every "," removed, blanks trimmed, 0 when empty or
    // not a number. Never fails.
    Extended FloatValue() const;
    // Clears the modified flag; vtFloat shows x in FormatStr, the other modes
    // show GeneralNumberText(x).
    void setFloatValue(Extended x);

    bool ShowThousands() const { return showThousands_; }
    void setShowThousands(bool v);

    std::uint8_t DecimalPlaces() const { return decimalPlaces_; }
    void setDecimalPlaces(std::uint8_t v);

    std::uint8_t IntegerLength() const { return integerLength_; }
    void setIntegerLength(std::uint8_t v);

    bool HideZeroValue() const { return hideZeroValue_; }
    void setHideZeroValue(bool v);

    // Derived from ShowThousands, DecimalPlaces and IntegerLength.
    const std::string &FormatStr() const { return formatStr_; }
    std::int32_t MaxLength() const { return maxLength_; }

    // Plain fields read by the vtFloat key filter.
    bool AutoCutDecimal = false; // "." in front of an existing point moves the point there
    bool AppectMinus = false;    // "-" is accepted (at the start only)

    // In vtFloat: the owner's text becomes x in FormatStr, or empty for 0
    // with HideZeroValue. Does nothing in the other modes.
    void ShowValue(Extended x);

private:
    void UpdateFormatStr();
    void UpdateMaxLength();
    // After a change of the places or grouping: derived settings, then the text.
    void ReformatForLayout();

    TCustomEditEx *owner_;
    TValueType valueType_ = vtString;
    bool showThousands_ = false;
    std::string formatStr_ = "0.00";
    std::int32_t maxLength_ = 11;
    std::uint8_t decimalPlaces_ = 2;
    std::uint8_t integerLength_ = 8;
    bool hideZeroValue_ = false;
};

class TCustomEditEx : public QLineEdit {
    Q_OBJECT
public:
    explicit TCustomEditEx(QWidget *parent = nullptr);
    ~TCustomEditEx() override;

    TValueSetting *ValueSetting() const { return valueSetting_.get(); }

    TAlignment Alignment() const { return alignment_; }
    void setAlignment(TAlignment a);
    // Qt flavour: Qt::AlignRight, Qt::AlignHCenter, anything else is left.
    // Vertical flags are ignored: the line is always vertically centred.
    // Hides QLineEdit::setAlignment; QLineEdit::alignment() keeps reporting
    // the side the text really sits on (with Qt::AlignAbsolute | AlignVCenter).
    void setAlignment(Qt::Alignment a);

    const QString &HintText() const { return hintText_; }
    void setHintText(const QString &text);

    const QFont &HintTextFont() const { return hintTextFont_; }
    void setHintTextFont(const QFont &font);

    const TPaintHintTextEvent &OnPaintHintText() const { return onPaintHintText_; }
    void setOnPaintHintText(TPaintHintTextEvent handler) { onPaintHintText_ = std::move(handler); }

    // The text, trimmed of characters up to the space, is empty.
    bool TextIsBlank() const;
    bool HintTextIsBlank() const;

    // Number of refusals so far (each also beeps and emits beeped()).
    int BeepCount() const { return beepCount_; }

    // QLineEdit's menu, with Paste wired to paste() below. Hides
    // QLineEdit::createStandardContextMenu so the number field's paste rules
    // cannot be bypassed through the menu.
    QMenu *createStandardContextMenu();

public Q_SLOTS:
    // Paste through the number field's rules in vtFloat, the plain paste
    // otherwise. Ctrl+V, Shift+Insert and the context menu come here too.
    void paste();

Q_SIGNALS:
    void beeped();
    // Every key release, Enter included, after the edit's own handling. The
    // event then travels on to the parent unless a receiver accepts it.
    void keyUp(QKeyEvent *event);

protected:
    // Keeps the single line vertically centred; runs after every resize and
    // font change.
    virtual void UpdateTextRect();
    // A refused key or paste.
    void Beep();

    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    friend class TValueSetting;

    void FloatKey(int ch, QKeyEvent *event);
    void FloatDelete();
    void FloatPaste();
    void Reformat(const QString &n, int tail, bool negate);
    void ApplyAlignment();
    void ValueTypeChanged();
    void RestartCaretBlink();

    std::unique_ptr<TValueSetting> valueSetting_;
    TAlignment alignment_ = taLeftJustify;
    QString hintText_;
    QFont hintTextFont_;
    TPaintHintTextEvent onPaintHintText_;
    int beepCount_ = 0;
    int caretTimer_ = 0;
    bool caretOn_ = true;
};

// The control as the windows use it.
class TEditEx final : public TCustomEditEx {
    Q_OBJECT
public:
    explicit TEditEx(QWidget *parent = nullptr);
};

// Where the text of a control with alignment a and layout direction dir
// actually sits: Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter.
Qt::Alignment VisualAlignment(TAlignment a, Qt::LayoutDirection dir);

} // namespace tallyvox
