// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/UpdateNotice.h"

#include "shell/WebUrl.h"
#include "update/update.h"

#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tallyvox {
namespace {

// A manifest may hold up to 64 KiB of notes; the dialog shows a readable start.
constexpr qsizetype kMaxNotesShown = 2000;

QUrl DownloadPage(const QString &page)
{
    const QUrl url(page, QUrl::StrictMode);
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
                           .arg(version.toHtmlEscaped(), QStringLiteral(TALLYVOX_VERSION),
                                url.toString(QUrl::FullyEncoded).toHtmlEscaped()));
    lblUpdate->setTextInteractionFlags(Qt::TextBrowserInteraction);
    lblUpdate->setOpenExternalLinks(false);
    // The page checked above is what opens, whatever the label reports.
    QObject::connect(lblUpdate, &QLabel::linkActivated, dialog, [url] { QDesktopServices::openUrl(url); });

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(lblUpdate);
    if (!notes.isEmpty()) {
        auto *lblNotes = new QLabel(dialog);
        lblNotes->setObjectName(QStringLiteral("lblUpdateNotes"));
        lblNotes->setTextFormat(Qt::PlainText);
        lblNotes->setWordWrap(true);
        lblNotes->setText(notes.size() > kMaxNotesShown ? notes.left(kMaxNotesShown) + QStringLiteral("…") : notes);
        layout->addWidget(lblNotes);
    }
    auto *btnClose = new QPushButton(QStringLiteral("关闭"), dialog);
    btnClose->setObjectName(QStringLiteral("btnUpdateClose"));
    QObject::connect(btnClose, &QPushButton::clicked, dialog, &QDialog::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);

    dialog->show();
    return dialog;
}

} // namespace tallyvox
