// Construction, layout, views, key slots and the engine host of TFrmMain.
// Start-up, tray, clipboard and close are in ShellLifecycle.cpp.
#include "uFrmMain.h"

#include "KeyAccessibility.h"

#include "AdStrip.h"
#include "CuePlayer.h"
#include "EditEx.h"
#include "KeyMapping.h"
#include "KeyPictures.h"
#include "MediaControl.h"
#include "ScientificKeys.h"
#include "uTest.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

namespace tallyvox {

namespace {

const QString kTitle = QStringLiteral("Tallyvox");

QFont UiFont(const QString &family, int pixelSize, bool bold = false)
{
    // Tahoma and Arial are seldom installed outside Windows; the CJK captions
    // need a font with Han glyphs.
    QFont f(family);
    f.setFamilies({family, QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                   QStringLiteral("sans-serif")});
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

TFrmMain::TFrmMain(ShellOptions options, QWidget *parent)
    : QMainWindow(parent), options_(std::move(options)), engine_(*this)
{
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(kTitle);
    setWindowIcon(DrawWindowIcon());
    InstallKeyAccessibility();
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(UiFont(QStringLiteral("Tahoma"), 11));

    BuildLayout();

    // Timer1 counts from the moment the window exists.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TFrmMain::Timer1Timer);
    if (options_.startUpdateTimer)
        Timer1->start();

    BuildTray();
    if (options_.installUpdateNotice) {
        try {
            options_.installUpdateNotice(this);
        } catch (...) {
            // Without it a notice goes to stderr; the program runs on.
        }
    }

    FormCreate();
}

TFrmMain::~TFrmMain()
{
    // Before the script evaluator it shares goes.
    delete ForTest;
}

AngleMode TFrmMain::Angle() const
{
    return science_ ? science_->Angle() : AngleMode::Degrees;
}

// ------------------------------------------------------------------ layout

void TFrmMain::BuildLayout()
{
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    client_->installEventFilter(this);

    BuildDisplay();

    pnlNumber = KeyPanel(client_, "pnlNumber", layout::InitialNumberRect);
    BuildKeys(pnlNumber, KeypadKeys());

    RzScience = KeyPanel(client_, "RzScience", layout::InitialScienceRect);
    Panel2 = KeyPanel(RzScience, "Panel2", layout::Panel2Rect);
    struct Radio {
        QRadioButton *&button;
        const char *name;
        const char *caption;
        QRect rect;
        void (TFrmMain::*slot)();
    };
    const Radio radios[] = {
        {RadAngle, "RadAngle", "角度", layout::RadAngleRect, &TFrmMain::RadAngleClick},
        {RadRadian, "RadRadian", "弧度", layout::RadRadianRect, &TFrmMain::RadRadianClick},
        {RadGrads, "RadGrads", "梯度", layout::RadGradsRect, &TFrmMain::RadGradsClick},
    };
    for (const Radio &r : radios) {
        r.button = new QRadioButton(QString::fromUtf8(r.caption), Panel2);
        r.button->setObjectName(QLatin1String(r.name));
        r.button->setAccessibleName(QString::fromUtf8(r.caption));
        r.button->setGeometry(r.rect);
        // Only a button becoming the checked one counts; the refresh from the
        // engine blocks these signals.
        connect(r.button, &QRadioButton::toggled, this, [this, slot = r.slot](bool on) {
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
        auto *key = new QToolButton(panel);
        key->setObjectName(QLatin1String(entry.name));
        key->setProperty("Tag", entry.tag);
        key->setGeometry(entry.rect);
        key->setFocusPolicy(Qt::NoFocus);
        key->setAccessibleName(QString::fromUtf8(entry.accessibleName));
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
        connect(key, &QToolButton::clicked, this, entry.slot);
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

void TFrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        if (outerSize_.isValid())
            FixOuterSize(outerSize_);
        if (const QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // Work that need not delay the first map of the window.
        QTimer::singleShot(0, this, &TFrmMain::AfterFirstShow);
    }
    if (!event->spontaneous())
        FormShow();
}

void TFrmMain::AfterFirstShow()
{
    try {
        // Spawns the script sandbox ahead of the first scientific key. The
        // expression window that shares it is built when first opened.
        Science();
    } catch (const std::exception &e) {
        ReportFault(e.what());
    }
}

void TFrmMain::FormShow()
{
    FocusInput();
}

// --------------------------------------------------------------- key slots

void TFrmMain::RunKey(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        ReportFault(e.what());
    } catch (...) {
        ReportFault("Unknown error");
    }
    RefreshFromEngine();
}

int TFrmMain::SenderTag() const
{
    const QObject *key = sender();
    return key ? key->property("Tag").toInt() : 0;
}

ScientificKeys &TFrmMain::Science()
{
    if (!science_) {
        script_ = std::make_unique<ScriptEvaluator>(options_.scriptProgram);
        science_ = std::make_unique<ScientificKeys>(engine_, *script_);
    }
    return *science_;
}

void TFrmMain::RefreshFromEngine()
{
    const QString display = QString::fromStdString(engine_.DisplayText);
    if (edtInput->text() != display)
        edtInput->setText(display);
    const QString label = QString::fromStdString(engine_.LabelText);
    if (lblInput->text() != label)
        lblInput->setText(label);
    const QString memory = QString::fromStdString(engine_.MemoryIndicator);
    if (MS->text() != memory) {
        MS->setText(memory);
        // The mark sizes itself to its caption, as an auto-sized label does.
        MS->resize(std::max(layout::MemoryMarkRect.width(), MS->fontMetrics().horizontalAdvance(memory) + 1),
                   layout::MemoryMarkRect.height());
    }
    if (SpbPE)
        SpbPE->setChecked(engine_.ExponentDisplay);
    const AngleMode angle = Angle();
    for (auto [button, mode] : {std::pair{RadAngle, AngleMode::Degrees}, std::pair{RadRadian, AngleMode::Radians},
                                std::pair{RadGrads, AngleMode::Grads}}) {
        if (button->isChecked() != (angle == mode)) {
            const QSignalBlocker quiet(button);
            button->setChecked(angle == mode);
        }
    }
}

void TFrmMain::btnNum1Click()
{
    const int digit = SenderTag();
    RunKey([&] { engine_.btnNum1Click(digit); });
}
void TFrmMain::SpbDianClick() { RunKey([&] { engine_.SpbDianClick(); }); }
void TFrmMain::btnBackClick() { RunKey([&] { engine_.btnBackClick(); }); }
void TFrmMain::btnSingleClick() { RunKey([&] { engine_.btnSingleClick(); }); }
void TFrmMain::btnCClick() { RunKey([&] { engine_.btnCClick(); }); }
void TFrmMain::btnCEClick() { RunKey([&] { engine_.btnCEClick(); }); }
void TFrmMain::btnAddClick()
{
    const int code = SenderTag();
    RunKey([&] { engine_.btnAddClick(code); });
}
void TFrmMain::btnEqualClick() { RunKey([&] { engine_.btnEqualClick(); }); }
void TFrmMain::btnPerClick() { RunKey([&] { engine_.btnPerClick(); }); }
void TFrmMain::btnCountdownClick() { RunKey([&] { engine_.btnCountdownClick(); }); }
void TFrmMain::btnRootsClick() { RunKey([&] { engine_.btnRootsClick(); }); }
void TFrmMain::btnMCClick() { RunKey([&] { engine_.btnMCClick(); }); }
void TFrmMain::btnMRClick() { RunKey([&] { engine_.btnMRClick(); }); }
void TFrmMain::btnMSClick() { RunKey([&] { engine_.btnMSClick(); }); }
void TFrmMain::btnMPlusClick() { RunKey([&] { engine_.btnMPlusClick(); }); }
void TFrmMain::btnMMinusClick() { RunKey([&] { engine_.btnMMinusClick(); }); }

void TFrmMain::RadAngleClick() { RunKey([&] { Science().RadAngleClick(); }); }
void TFrmMain::RadRadianClick() { RunKey([&] { Science().RadRadianClick(); }); }
void TFrmMain::RadGradsClick() { RunKey([&] { Science().RadGradsClick(); }); }
void TFrmMain::SpbcOsClick()
{
    const int tag = SenderTag();
    RunKey([&] { Science().SpbcOsClick(tag); });
}
void TFrmMain::SpbIntClick() { RunKey([&] { Science().SpbIntClick(); }); }
void TFrmMain::SpbLnClick() { RunKey([&] { Science().SpbLnClick(); }); }
void TFrmMain::SpbLogClick() { RunKey([&] { Science().SpbLogClick(); }); }
void TFrmMain::SpbNJCClick() { RunKey([&] { Science().SpbNJCClick(); }); }
void TFrmMain::SpbPaiClick() { RunKey([&] { Science().SpbPaiClick(); }); }
void TFrmMain::SpbXPFClick()
{
    const int tag = SenderTag();
    RunKey([&] { Science().SpbXPFClick(tag); });
}
void TFrmMain::SpbtenxFClick() { RunKey([&] { Science().SpbtenxFClick(); }); }
void TFrmMain::SpbxKLFClick()
{
    const int tag = SenderTag();
    RunKey([&] { Science().SpbxKLFClick(tag); });
}
void TFrmMain::SpbExpClick() { RunKey([&] { Science().SpbExpClick(); }); }
void TFrmMain::SpbPEClick() { RunKey([&] { Science().SpbPEClick(); }); }

TForTest &TFrmMain::ExpressionWindow()
{
    if (!ForTest) {
        Science();
        ExpressionWindowHooks hooks;
        hooks.playCue = [this](const std::string &name, bool async) { PlayCue(name, async); };
        hooks.mainWindowClosed = [this] { return cueStreamReleased_; };
        ForTest = new TForTest(*script_, std::move(hooks), this);
    }
    return *ForTest;
}

void TFrmMain::SpeedButton1Click()
{
    try {
        ExpressionWindow().exec(); // how it was closed does not matter
    } catch (const std::exception &e) {
        ReportFault(e.what());
    }
    RefreshFromEngine();
}

void TFrmMain::edtInputKeyUp(int virtualKey)
{
    RunKey([&] { engine_.edtInputKeyUp(virtualKey); });
}

// -------------------------------------------------------------- engine host

void TFrmMain::PlayCue(const std::string &name, bool async)
{
    if (!CueStream || cueStreamReleased_)
        return;
    try {
        // The widgets are current: every handler ends with a refresh, and the
        // read-out refreshes before each cue when it lets events run.
        if (options_.cueSink) {
            options_.cueSink(name, async);
        } else if (async) {
            CueStream->PlayCue(name, true);
        } else {
            // Repaint while the cue sounds; input waits until it has ended.
            CueStream->PlayCue(name, false,
                               [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
        }
    } catch (...) {
        // A cue that cannot play is silent.
    }
}

void TFrmMain::ProcessPendingEvents()
{
    RefreshFromEngine();
    QCoreApplication::processEvents();
}

void TFrmMain::FocusInput()
{
    RefreshFromEngine();
    edtInput->setFocus(Qt::OtherFocusReason);
    edtInput->deselect();
    edtInput->setCursorPosition(int(edtInput->text().size()));
}

void TFrmMain::ReportFault(const std::string &message)
{
    RefreshFromEngine();
    QMessageBox box(QMessageBox::Critical, kTitle, QString::fromStdString(message), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.exec();
}

} // namespace tallyvox
