// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/UpdateNotice.h"

#include "numbers/Utf8.h"
#include "shell/WebUrl.h"
#include "update/update.h"

#include <QDesktopServices>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

namespace tallyvox {
namespace {

// A manifest may hold up to 64 KiB of notes; the dialog shows a readable
// start, in a scrolling box, and never grows past two thirds of the screen.
constexpr qsizetype kMaxNotesShown = 2000;
constexpr qsizetype kMaxNoteLines = 40;
constexpr qsizetype kMaxLineChars = 200;
constexpr qsizetype kMaxVersionChars = 40;

// At most chars characters, then "…".
QString Capped(const QString &text, qsizetype chars)
{
    return QString::fromStdString(BoundedText(text.toStdString(), static_cast<std::size_t>(chars) + 1));
}

// Server text as it may be shown: without control and format characters,
// so bidirectional overrides and isolates (U+202E ...) cannot reorder what
// the user reads, and nothing invisible rides along. keepLines keeps '\n'.
QString Printable(const QString &text, bool keepLines = false)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\n' && keepLines) {
            out += QLatin1Char('\n');
            continue;
        }
        if (c == U'\t') {
            out += QLatin1Char(' ');
            continue;
        }
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph: continue;
        default: out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

// Runs of blank lines become one, long lines and long notes are cut.
QString ShownNotes(const QString &notes)
{
    QStringList shown;
    bool blank = true; // no blank line at the start
    for (const QString &raw : Printable(notes, true).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed().isEmpty() ? QString() : raw;
        if (line.isEmpty() && blank)
            continue;
        blank = line.isEmpty();
        if (shown.size() == kMaxNoteLines) {
            shown.append(QStringLiteral("…"));
            break;
        }
        shown.append(Capped(line, kMaxLineChars));
    }
    while (!shown.isEmpty() && shown.last().isEmpty())
        shown.removeLast();
    return Capped(shown.join(QLatin1Char('\n')), kMaxNotesShown);
}

QUrl DownloadPage(const QString &page)
{
    const QUrl url(Printable(page), QUrl::StrictMode);
    return IsWebUrl(url) ? url : QUrl();
}

// Lives on the GUI thread as a child of the window. The updater calls
// Deliver from its own thread; the library's lock keeps this object alive
// for the length of that call, because its destructor uninstalls it first.
class NoticeReceiver : public QObject {
public:
    explicit NoticeReceiver(QWidget *window) : QObject(window), window_(window) {}
    ~NoticeReceiver() override
    {
        if (installed == this) {
            SetUpdateNotifier(nullptr, nullptr);
            installed = nullptr;
        }
    }

    static void Deliver(void *ctx, const char *version, const char *page, const char *notes)
    {
        auto *self = static_cast<NoticeReceiver *>(ctx);
        QString v = QString::fromUtf8(version), p = QString::fromUtf8(page), n = QString::fromUtf8(notes);
        // Queued onto the receiver's thread; dropped if the window is gone by then.
        QMetaObject::invokeMethod(
            self, [self, v, p, n] { ShowUpdateNotice(self->window_, v, p, n); }, Qt::QueuedConnection);
    }

    static inline NoticeReceiver *installed = nullptr; // touched on the GUI thread only

private:
    QWidget *window_;
};

} // namespace

void InstallUpdateNotice(QWidget *window)
{
    delete NoticeReceiver::installed; // one notifier at a time
    auto *receiver = new NoticeReceiver(window);
    SetUpdateNotifier(&NoticeReceiver::Deliver, receiver);
    NoticeReceiver::installed = receiver;
}

QDialog *ShowUpdateNotice(QWidget *parent, const QString &version, const QString &page, const QString &notes)
{
    const QUrl url = DownloadPage(page);
    if (url.isEmpty())
        return nullptr;

    auto *dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("dlgUpdateNotice"));
    dialog->setWindowTitle(QStringLiteral("Tallyvox"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);

    auto *lblUpdate = new QLabel(dialog);
    lblUpdate->setObjectName(QStringLiteral("lblUpdate"));
    lblUpdate->setTextFormat(Qt::RichText);
    lblUpdate->setText(QStringLiteral("Tallyvox %1 已发布（当前版本 %2）。<br><a href=\"%3\">打开下载页面</a>")
                           .arg(Capped(Printable(version), kMaxVersionChars).toHtmlEscaped(),
                                QStringLiteral(TALLYVOX_VERSION), url.toString(QUrl::FullyEncoded).toHtmlEscaped()));
    lblUpdate->setTextInteractionFlags(Qt::TextBrowserInteraction);
    lblUpdate->setOpenExternalLinks(false);
    // The page checked above is what opens, whatever the label reports.
    QObject::connect(lblUpdate, &QLabel::linkActivated, dialog, [url] { QDesktopServices::openUrl(url); });

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(lblUpdate);
    if (const QString shown = ShownNotes(notes); !shown.isEmpty()) {
        auto *scroller = new QScrollArea(dialog);
        scroller->setObjectName(QStringLiteral("scrUpdateNotes"));
        scroller->setWidgetResizable(true);
        scroller->setFrameShape(QFrame::NoFrame);
        auto *lblNotes = new QLabel(scroller);
        lblNotes->setObjectName(QStringLiteral("lblUpdateNotes"));
        lblNotes->setTextFormat(Qt::PlainText);
        lblNotes->setWordWrap(true);
        lblNotes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        lblNotes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        lblNotes->setText(shown);
        scroller->setWidget(lblNotes);
        layout->addWidget(scroller, 1);
    }
    auto *btnClose = new QPushButton(QStringLiteral("关闭"), dialog);
    btnClose->setObjectName(QStringLiteral("btnUpdateClose"));
    QObject::connect(btnClose, &QPushButton::clicked, dialog, &QDialog::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);

    const QScreen *screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        dialog->setMaximumSize(screen->availableGeometry().size() * 2 / 3);
    dialog->show();
    return dialog;
}

} // namespace tallyvox
