// SPDX-License-Identifier: GPL-3.0-or-later
// TFrmMain's layout: building the display, the key panels, the angle strip
// and the menu from their tables, placing the advertisement strip, and the
// two views.
#include "editex/EditEx.h"
#include "shell/AdStrip.h"
#include "shell/KeyMapping.h"
#include "shell/KeyPictures.h"
#include "shell/MainWindow.h"

#include <QActionGroup>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
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
    // Tahoma and Arial are seldom installed outside Windows; the CJK captions
    // need a font with Han glyphs.
    QFont f(family);
    f.setFamilies(
        {family, QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("sans-serif")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void PaintWhite(QWidget *w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QFrame *KeyPanel(QWidget *parent, const char *name, const QRect &rect)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
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
    setCentralWidget(client_);
    client_->installEventFilter(this);

    BuildDisplay();

    pnlNumber = KeyPanel(client_, "pnlNumber", layout::InitialNumberRect);
    BuildKeys(pnlNumber, KeypadKeys());

    RzScience = KeyPanel(client_, "RzScience", layout::InitialScienceRect);
    Panel2 = KeyPanel(RzScience, "Panel2", layout::Panel2Rect);
    const std::pair<QRadioButton *&, QRect> radios[] = {
        {RadAngle, layout::RadAngleRect},
        {RadRadian, layout::RadRadianRect},
        {RadGrads, layout::RadGradsRect},
    };
    for (const char *name : {"RadAngle", "RadRadian", "RadGrads"}) {
        const KeyDef &def = KeyOf(name);
        auto &[button, rect] = radios[def.tag];
        button = new QRadioButton(FromUtf8(def.words), Panel2);
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(FromUtf8(def.words));
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
    pnlAD->setFrameStyle(QFrame::NoFrame);
    wbAD = new AdStrip(pnlAD);
    wbAD->setObjectName(QStringLiteral("wbAD"));
    wbAD->setFocusPolicy(Qt::NoFocus);

    BuildMenu();
    // The initial layout; FormCreate replaces it by a view.
    resize(layout::InitialClientSize.width(), layout::InitialClientSize.height() + menuBar()->sizeHint().height());
    PlaceAdStrip();
}

void TFrmMain::BuildDisplay()
{
    pnlResult = new QFrame(client_);
    pnlResult->setObjectName(QStringLiteral("pnlResult"));
    pnlResult->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    pnlResult->setGeometry(layout::InitialResultRect);
    PaintWhite(pnlResult);

    lblInput = new QLabel(pnlResult);
    lblInput->setObjectName(QStringLiteral("lblInput"));
    lblInput->setAccessibleName(QStringLiteral("运算"));
    lblInput->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblInput->setFont(UiFont(QStringLiteral("Arial"), 14, true));
    PaintWhite(lblInput);

    edtInput = new TEditEx(pnlResult);
    edtInput->setObjectName(QStringLiteral("edtInput"));
    edtInput->setAccessibleName(QStringLiteral("显示"));
    edtInput->setFrame(false);
    edtInput->setFont(UiFont(QStringLiteral("Arial"), 20));
    edtInput->setHintTextFont(UiFont(QStringLiteral("Tahoma"), 11));
    edtInput->setAlignment(taRightJustify);
    edtInput->ValueSetting()->setDecimalPlaces(0);
    edtInput->ValueSetting()->setIntegerLength(12);
    edtInput->setReadOnly(true);
    edtInput->setText(QStringLiteral("0"));
    PaintWhite(edtInput);
    edtInput->installEventFilter(this);

    MS = new QLabel(pnlResult);
    MS->setObjectName(QStringLiteral("MS"));
    MS->setAccessibleName(QStringLiteral("记忆"));
    MS->setGeometry(layout::MemoryMarkRect);
    MS->raise();

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
        key->setAccessibleName(FromUtf8(def.words));
        if (entry.picture != layout::KeyPicture::None) {
            const QPixmap picture = DrawKeyPicture(entry.picture);
            key->setIcon(QIcon(picture));
            key->setIconSize(picture.size());
            key->setToolButtonStyle(Qt::ToolButtonIconOnly);
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
        }
        if (entry.green) {
            QPalette pal = key->palette();
            pal.setColor(QPalette::ButtonText, QColor(0, 128, 0));
            key->setPalette(pal);
        }
        key->setCheckable(entry.checkable);
        connect(key, &QToolButton::clicked, this, SlotFor(def.handler));
    }
}

void TFrmMain::BuildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    viewGroup_ = new QActionGroup(this);
    viewGroup_->setExclusive(true);
    QMenu *current = nullptr;
    for (const layout::MenuEntry &item : MenuItems()) {
        const QString caption = QString::fromUtf8(item.caption);
        if (!item.parent) {
            current = bar->addMenu(caption);
            current->setObjectName(QLatin1String(item.name));
            current->menuAction()->setObjectName(QLatin1String(item.name));
            current->menuAction()->setVisible(item.visible);
            continue;
        }
        QAction *action = current->addAction(caption);
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
    N4 = bar->findChild<QAction *>(QStringLiteral("N4"));
    N5 = bar->findChild<QAction *>(QStringLiteral("N5"));
    N4->setChecked(true);
}

void TFrmMain::PlaceAdStrip()
{
    pnlAD->setGeometry(0, client_->height() - layout::AdStripHeight, client_->width(), layout::AdStripHeight);
    wbAD->setGeometry(pnlAD->rect());
}

bool TFrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edtInput && event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // One action per physical press: repeats while held are ignored.
        if (!key->isAutoRepeat())
            if (const int vk = VirtualKeyOf(*key))
                edtInputKeyUp(vk);
    } else if (watched == client_ && event->type() == QEvent::Resize) {
        PlaceAdStrip();
    } else if (watched == pnlResult && event->type() == QEvent::Resize) {
        const int inset = layout::ResultBevel + layout::ResultSideMargin;
        const int width = pnlResult->width() - 2 * inset;
        lblInput->setGeometry(inset, layout::ResultBevel, width, layout::LabelHeight);
        const int top = layout::ResultBevel + layout::LabelHeight;
        edtInput->setGeometry(inset, top, width, pnlResult->height() - layout::ResultBevel - top);
    }
    return QMainWindow::eventFilter(watched, event);
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
    FixOuterSize(layout::StandardOuterSize);
    pnlResult->resize(layout::StandardResultWidth, pnlResult->height());
    N4->setChecked(true);
    N5->setChecked(false);
}

void TFrmMain::N5Click()
{
    RzScience->show();
    pnlNumber->move(layout::EnhancedNumberPos);
    RzScience->move(layout::EnhancedSciencePos);
    FixOuterSize(layout::EnhancedOuterSize);
    pnlResult->resize(layout::EnhancedResultWidth, pnlResult->height());
    N5->setChecked(true);
    N4->setChecked(false);
}

} // namespace tallyvox
