// SPDX-License-Identifier: GPL-3.0-or-later
// TFrmMain's layout: building the display, the key panels, the angle strip
// and the menu from their tables, placing the advertisement strip, and the
// two views.
#include "editex/EditEx.h"
#include "shell/AdStrip.h"
#include "shell/KeyAccessibility.h"
#include "shell/KeyMapping.h"
#include "shell/KeyPictures.h"
#include "shell/MainWindow.h"
#include "shell/ShellFonts.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QActionGroup>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStringList>
#include <QToolButton>
#include <QWindow>

#include <utility>

namespace tallyvox {

namespace {

// The key table's row of a button; every button of the layout has one.
const KeyDef &KeyOf(std::string_view objectName)
{
    const KeyDef *key = FindKeyByName(objectName);
    Q_ASSERT_X(key, "KeyOf", "a key of the layout is missing from the key table");
    return *key;
}

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QFont UiFont(const QString &family, int pixelSize, bool bold = false)
{
    return ShellFont(family, pixelSize, bold);
}

constexpr const char *kPictureProperty = "keyPicture";
constexpr const char *kGreenProperty = "greenCaption";

// Name, description and tooltip of a key from its row of the key table.
void DescribeKey(QAbstractButton *key, const KeyDef &def, const QString &caption)
{
    const QString words = FromUtf8(def.words);
    const QString shortcuts = ShortcutList(def.shortcuts);
    key->setAccessibleName(words);
    key->setAccessibleDescription(QStringLiteral("%1，快捷键 %2").arg(caption, shortcuts));
    key->setToolTip(QStringLiteral("%1（%2）").arg(words, shortcuts));
}

// The keyboard's hints for the display's description: "朗读显示 Space".
const QString &CommandHints()
{
    static const QString text = [] {
        QStringList hints;
        for (const CommandDef &command : Commands())
            hints << FromUtf8(command.words) + QLatin1Char(' ') + ShortcutList(command.shortcuts);
        return hints.join(QStringLiteral("；"));
    }();
    return text;
}

// A key's physical identity, so its release is matched to its press even
// when a modifier was let go in between (Shift+8 is "*" when pressed).
quint32 PhysicalKey(const QKeyEvent &event)
{
    return event.nativeScanCode() ? event.nativeScanCode() : (quint32(event.key()) | 0x80000000u);
}

QFrame *KeyPanel(QWidget *parent, const char *name, const char *spoken, const QRect &rect)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setAccessibleName(QString::fromUtf8(spoken));
    MarkAccessiblePanel(panel);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setGeometry(rect);
    return panel;
}

} // namespace

// ------------------------------------------------------------------ layout

void TFrmMain::BuildLayout()
{
    setFont(UiFont(QStringLiteral("Tahoma"), 11));

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setAccessibleName(QStringLiteral("计算器"));
    setCentralWidget(client_);
    MarkAccessiblePanel(client_);
    client_->installEventFilter(this);

    BuildDisplay();

    pnlNumber = KeyPanel(client_, "pnlNumber", "数字键", layout::InitialNumberRect);
    BuildKeys(pnlNumber, KeypadKeys());

    RzScience = KeyPanel(client_, "RzScience", "科学计算键", layout::InitialScienceRect);
    Panel2 = KeyPanel(RzScience, "Panel2", "角度单位", layout::Panel2Rect);
    const std::pair<QRadioButton *&, QRect> radios[] = {
        {RadAngle, layout::RadAngleRect},
        {RadRadian, layout::RadRadianRect},
        {RadGrads, layout::RadGradsRect},
    };
    for (const char *name : {"RadAngle", "RadRadian", "RadGrads"}) {
        const KeyDef &def = KeyOf(name);
        auto &[button, rect] = radios[def.tag];
        const QString caption = FromUtf8(def.words).chopped(1); // "角度制" reads "角度" on the strip
        button = new QRadioButton(caption, Panel2);
        button->setObjectName(QLatin1String(name));
        // Like the keys, it never holds the focus: typing always reaches the display.
        button->setFocusPolicy(Qt::NoFocus);
        DescribeKey(button, def, caption);
        button->setGeometry(rect);
        // Only a button becoming the checked one counts; the refresh from the
        // engine blocks these signals.
        connect(button, &QRadioButton::toggled, this, [this, slot = SlotFor(def.handler)](bool on) {
            if (on)
                (this->*slot)();
        });
    }
    RadAngle->setChecked(true);
    BuildKeys(RzScience, ScienceKeys());
    SpbPE = RzScience->findChild<QToolButton *>(QStringLiteral("SpbPE"));

    // Paste goes through this edit; it lies beyond the right edge.
    EditTemp = new QLineEdit(client_);
    EditTemp->setObjectName(QStringLiteral("EditTemp"));
    EditTemp->setGeometry(layout::EditTempRect);
    EditTemp->setFocusPolicy(Qt::NoFocus);
    // Nothing to see or read: it only carries the clipboard's text.
    EditTemp->hide();

    const auto hiddenKey = [this](const char *name, const char *caption, const QRect &rect) {
        auto *key = new QToolButton(client_);
        key->setObjectName(QLatin1String(name));
        key->setText(QString::fromUtf8(caption));
        key->setGeometry(rect);
        key->setFocusPolicy(Qt::NoFocus);
        key->hide();
        return key;
    };
    SpbInv = hiddenKey("SpbInv", "Inv", layout::SpbInvRect);
    SpeedButton2 = hiddenKey("SpeedButton2", "表达式计算", layout::SpeedButton2Rect);

    pnlAD = new QFrame(client_);
    pnlAD->setObjectName(QStringLiteral("pnlAD"));
    pnlAD->setAccessibleName(QStringLiteral("广告栏"));
    MarkAccessiblePanel(pnlAD);
    pnlAD->setFrameStyle(QFrame::NoFrame);
    pnlAD->hide(); // until a page has loaded
    wbAD = new AdStrip(pnlAD);
    wbAD->setObjectName(QStringLiteral("wbAD"));
    wbAD->setFocusPolicy(Qt::NoFocus);
    connect(wbAD, &AdStrip::loaded, this, [this](bool ok) { ShowAdStrip(ok); });

    BuildTapePanel();
    BuildMenu();
    BuildTapeMenu();
    ApplyPalette();
    // The initial layout; FormCreate replaces it by a view.
    resize(layout::InitialClientSize.width(), layout::InitialClientSize.height() + menuBar()->sizeHint().height());
    PlaceAdStrip();
}

void TFrmMain::BuildDisplay()
{
    pnlResult = new QFrame(client_);
    pnlResult->setObjectName(QStringLiteral("pnlResult"));
    pnlResult->setAccessibleName(QStringLiteral("显示区"));
    MarkAccessiblePanel(pnlResult);
    pnlResult->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    pnlResult->setGeometry(layout::InitialResultRect);
    pnlResult->setAutoFillBackground(true);

    lblInput = new QLabel(pnlResult);
    lblInput->setObjectName(QStringLiteral("lblInput"));
    lblInput->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblInput->setFont(UiFont(QStringLiteral("Arial"), layout::LabelFontPixels, true));
    lblInput->setAutoFillBackground(true);

    edtInput = new TEditEx(pnlResult);
    edtInput->setObjectName(QStringLiteral("edtInput"));
    edtInput->setAccessibleName(QStringLiteral("显示"));
    edtInput->setFrame(false);
    edtInput->setFont(UiFont(QStringLiteral("Arial"), layout::DisplayFontPixels));
    edtInput->setHintTextFont(UiFont(QStringLiteral("Tahoma"), 11));
    edtInput->setAlignment(taRightJustify);
    edtInput->ValueSetting()->setDecimalPlaces(0);
    edtInput->ValueSetting()->setIntegerLength(12);
    edtInput->setReadOnly(true);
    edtInput->setText(QStringLiteral("0"));
    edtInput->installEventFilter(this);

    MS = new QLabel(pnlResult);
    MS->setObjectName(QStringLiteral("MS"));
    MS->setGeometry(layout::MemoryMarkRect);
    MS->raise();

    DescribeStatus();
    pnlResult->installEventFilter(this);
}

void TFrmMain::BuildKeys(QWidget *panel, std::span<const layout::KeyEntry> keys)
{
    for (const layout::KeyEntry &entry : keys) {
        const KeyDef &def = KeyOf(entry.name);
        auto *key = new QToolButton(panel);
        key->setObjectName(QLatin1String(entry.name));
        key->setProperty("Tag", def.tag);
        key->setGeometry(entry.rect);
        key->setFocusPolicy(Qt::NoFocus);
        if (entry.picture != layout::KeyPicture::None) {
            // Drawn by ApplyPalette, in the palette's colours.
            key->setProperty(kPictureProperty, int(entry.picture));
            key->setIconSize(KeyPictureSize(entry.picture));
            key->setToolButtonStyle(Qt::ToolButtonIconOnly);
            DescribeKey(key, def, KeyPictureText(entry.picture));
        } else {
            const QString caption = QString::fromUtf8(entry.caption);
            key->setText(caption);
            key->setToolButtonStyle(Qt::ToolButtonTextOnly);
            // The full-width ＋ － ＝ ． sit small in their cell at the
            // keypad's 11 px; they are the keys most often looked for.
            if (caption.size() == 1 && caption[0].unicode() >= 0xFF01 && caption[0].unicode() <= 0xFF5E) {
                QFont big = key->font();
                big.setPixelSize(18);
                key->setFont(big);
            }
            DescribeKey(key, def, caption);
        }
        key->setProperty(kGreenProperty, entry.green);
        key->setCheckable(entry.checkable);
        connect(key, &QToolButton::pressed, this, &TFrmMain::PrepareVoice);
        connect(key, &QToolButton::clicked, this, SlotFor(def.handler));
    }
}

void TFrmMain::BuildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    bar->setAccessibleName(QStringLiteral("菜单栏"));
    viewGroup_ = new QActionGroup(this);
    viewGroup_->setExclusive(true);
    QMenu *current = nullptr;
    for (const layout::MenuEntry &item : MenuItems()) {
        const QString caption = QString::fromUtf8(item.caption);
        // Hidden items have no function: they are kept out of the menus, so
        // a screen reader does not list them.
        if (!item.parent) {
            current = item.visible ? bar->addMenu(caption) : new QMenu(caption, this);
            current->setObjectName(QLatin1String(item.name));
            // The menu is read by its title without the accelerator: "查看".
            current->setAccessibleName(caption.section(QLatin1Char('('), 0, 0));
            current->menuAction()->setObjectName(QLatin1String(item.name));
            current->menuAction()->setVisible(item.visible);
            continue;
        }
        QAction *action = item.visible ? current->addAction(caption) : new QAction(caption, this);
        action->setObjectName(QLatin1String(item.name));
        action->setVisible(item.visible);
        action->setProperty("Tag", item.tag);
        if (item.radio) {
            action->setCheckable(true);
            viewGroup_->addAction(action);
        }
        if (item.slot)
            connect(action, &QAction::triggered, this, item.slot);
    }
    N4 = findChild<QAction *>(QStringLiteral("N4"));
    N5 = findChild<QAction *>(QStringLiteral("N5"));
    N4->setChecked(true);

    // Copy and paste show their keys; the display runs them (the menu's own
    // shortcut acts only while the menu is open).
    for (const auto &[name, token] : {std::pair{"N8", "copy"}, std::pair{"N9", "paste"}}) {
        QAction *action = findChild<QAction *>(QLatin1String(name));
        for (const CommandDef &command : Commands())
            if (command.token == token)
                action->setShortcuts(KeySequencesOf(command.shortcuts));
        action->setShortcutContext(Qt::WidgetShortcut);
    }
}

void TFrmMain::PlaceAdStrip()
{
    pnlAD->setGeometry(0, client_->height() - layout::AdStripHeight, client_->width(), layout::AdStripHeight);
    wbAD->setGeometry(pnlAD->rect());
}

bool TFrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edtInput) {
        switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // The calculator's keys win over the edit's own (Ctrl+C, Delete)
            // and over menu shortcuts.
            auto *key = static_cast<QKeyEvent *>(event);
            if (ActionOf(ShortcutOf(*key))) {
                key->accept();
                return true;
            }
            break;
        }
        case QEvent::KeyPress: {
            auto *key = static_cast<QKeyEvent *>(event);
            const QString shortcut = ShortcutOf(*key);
            if (!ActionOf(shortcut))
                break;
            // Decided when pressed, done when released: one action per
            // physical press, and only for a press the display received (an
            // Enter that confirmed a menu or a message box has none here).
            if (!key->isAutoRepeat()) {
                pressedKeys_[PhysicalKey(*key)] = shortcut;
                PrepareVoice();
            }
            return true;
        }
        case QEvent::KeyRelease: {
            auto *key = static_cast<QKeyEvent *>(event);
            const auto pressed = pressedKeys_.find(PhysicalKey(*key));
            if (pressed == pressedKeys_.end())
                break;
            if (key->isAutoRepeat()) // still held
                return true;
            const QString shortcut = pressed->second;
            pressedKeys_.erase(pressed);
            edtInputKeyUp(shortcut);
            return true;
        }
        case QEvent::FocusOut: pressedKeys_.clear(); break;
        default: break;
        }
    } else if (watched == lstTape && event->type() == QEvent::KeyPress) {
        if (TapeKeyPress(static_cast<QKeyEvent *>(event)))
            return true;
    } else if (watched == lstTape && event->type() == QEvent::ShortcutOverride) {
        // The list's keys win over the menu's Ctrl+H and the copy item's
        // Ctrl+C; the rest (Alt+V opening 查看) stay the menus'.
        const QString shortcut = ShortcutOf(*static_cast<QKeyEvent *>(event));
        if (shortcut == QLatin1String("Ctrl+H") || shortcut == QLatin1String("Ctrl+C") ||
            shortcut == QLatin1String("Ctrl+Shift+Delete")) {
            event->accept();
            return true;
        }
    } else if (watched == pnlTape && event->type() == QEvent::Resize) {
        lstTape->setGeometry(pnlTape->rect());
        lblTapeEmpty->setGeometry(pnlTape->rect());
    } else if (watched == client_ && event->type() == QEvent::Resize) {
        PlaceAdStrip();
    } else if (watched == pnlResult && event->type() == QEvent::Resize) {
        const int inset = layout::ResultBevel + layout::ResultSideMargin;
        const int width = pnlResult->width() - 2 * inset;
        lblInput->setGeometry(inset, layout::ResultBevel, width, layout::LabelHeight);
        const int top = layout::ResultBevel + layout::LabelHeight;
        edtInput->setGeometry(inset, top, width, pnlResult->height() - layout::ResultBevel - top);
        FitDisplayFonts();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFrmMain::ApplyPalette()
{
    if (!pnlResult)
        return;
    const QPalette &pal = palette();
    // The display panel is a text field in the palette's field colours; the
    // label, the memory mark and the display inherit them.
    QPalette field = pnlResult->palette();
    field.setColor(QPalette::Window, pal.color(QPalette::Base));
    field.setColor(QPalette::WindowText, pal.color(QPalette::Text));
    pnlResult->setPalette(field);

    // Green that stands out from the key's face, light or dark.
    const bool darkKeys = pal.color(QPalette::Button).lightness() < 128;
    const QColor green = darkKeys ? QColor(120, 220, 120) : QColor(0, 128, 0);
    for (QToolButton *key : findChildren<QToolButton *>()) {
        if (key->property(kGreenProperty).toBool()) {
            QPalette p = key->palette();
            p.setColor(QPalette::ButtonText, green);
            key->setPalette(p);
        }
        if (const int picture = key->property(kPictureProperty).toInt())
            key->setIcon(KeyPictureIcon(layout::KeyPicture(picture), pal));
    }
}

void TFrmMain::FitDisplayFonts()
{
    const auto fit = [](QWidget *widget, const QString &text, int largest, int room) {
        QFont font = widget->font();
        int size = largest;
        for (; size > layout::SmallestFontPixels; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).horizontalAdvance(text) <= room)
                break;
        }
        font.setPixelSize(size);
        if (widget->font().pixelSize() != size)
            widget->setFont(font);
    };
    const QMargins margins = edtInput->textMargins();
    // The edit keeps 2 pixels each side, and the caret one more.
    fit(edtInput, edtInput->text(), layout::DisplayFontPixels,
        edtInput->contentsRect().width() - margins.left() - margins.right() - 6);
    fit(lblInput, lblInput->text(), layout::LabelFontPixels, lblInput->contentsRect().width() - 2);
}

void TFrmMain::DescribeStatus()
{
    // Qt sends no event for a new accessible name or description: without
    // one a screen reader keeps reading the old text.
    const auto describe = [](QWidget *widget, QAccessible::Event change, const QString &text) {
        const bool name = change == QAccessible::NameChanged;
        if ((name ? widget->accessibleName() : widget->accessibleDescription()) == text)
            return;
        if (name)
            widget->setAccessibleName(text);
        else
            widget->setAccessibleDescription(text);
        QAccessibleEvent event(widget, change);
        QAccessible::updateAccessibility(&event);
    };
    const QString label = lblInput->text();
    describe(lblInput, QAccessible::NameChanged,
             label.isEmpty() ? QStringLiteral("运算：无") : QStringLiteral("运算：") + label);
    describe(MS, QAccessible::NameChanged,
             MS->text().isEmpty()
                 ? QStringLiteral("记忆：空")
                 : QStringLiteral("记忆：") + QString::fromStdString(GeneralNumberText(engine_.MemoryValue)));
    // The display holds the focus, so a screen reader announces this one.
    describe(edtInput, QAccessible::DescriptionChanged,
             lblInput->accessibleName() + QStringLiteral("，") + MS->accessibleName() + QStringLiteral("。") +
                 CommandHints());
}

void TFrmMain::ShowAdStrip(bool loaded)
{
    adShown_ = loaded;
    pnlAD->setVisible(loaded);
    FixOuterSize(ViewOuterSize(N5->isChecked() ? layout::EnhancedOuterSize : layout::StandardOuterSize));
}

QSize TFrmMain::ViewOuterSize(QSize withStrip) const
{
    const QSize view = adShown_ ? withStrip : withStrip - QSize(0, layout::AdStripHeight);
    return pnlTape && pnlTape->isVisibleTo(this) ? view + QSize(0, layout::TapeGrowth) : view;
}

// ------------------------------------------------------------------- views

void TFrmMain::FixOuterSize(QSize outer)
{
    outerSize_ = outer;
    // The frame a window manager adds counts towards the outer size; it is
    // known once the native window exists.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    setFixedSize(outer.width() - frame.left() - frame.right(), outer.height() - frame.top() - frame.bottom());
}

void TFrmMain::N4Click()
{
    RzScience->hide();
    pnlNumber->move(layout::StandardNumberPos);
    FixOuterSize(ViewOuterSize(layout::StandardOuterSize));
    pnlResult->resize(layout::StandardResultWidth, pnlResult->height());
    pnlTape->resize(layout::StandardResultWidth, layout::TapeHeight);
    N4->setChecked(true);
    N5->setChecked(false);
}

void TFrmMain::N5Click()
{
    RzScience->show();
    pnlNumber->move(layout::EnhancedNumberPos);
    RzScience->move(layout::EnhancedSciencePos);
    FixOuterSize(ViewOuterSize(layout::EnhancedOuterSize));
    pnlResult->resize(layout::EnhancedResultWidth, pnlResult->height());
    pnlTape->resize(layout::EnhancedResultWidth, layout::TapeHeight);
    N5->setChecked(true);
    N4->setChecked(false);
}

} // namespace tallyvox
