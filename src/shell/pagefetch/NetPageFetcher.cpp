// SPDX-License-Identifier: GPL-3.0-or-later
// The page fetcher over Qt Network: the body of libtallyvox-pagefetch.so.
#include "shell/WebUrl.h"
#include "shell/pagefetch/PageFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <new>

namespace tallyvox {
namespace {

class NetPageFetcher final : public PageFetcher {
public:
    // Each redirect is checked as the update check's are: http or https
    // only, never from https back to http, and never to an address with a
    // user name (whose password Qt would send).
    NetPageFetcher() { network_.setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy); }
    ~NetPageFetcher() override { DropReply(); }

    void Get(const QUrl &url, const PageFetchLimits &limits, Done done) override
    {
        Abort();
        done_ = std::move(done);
        maxBytes_ = limits.maxBytes;

        QNetworkRequest request(url);
        request.setTransferTimeout(limits.transferTimeoutMs);
        request.setMaximumRedirectsAllowed(3);
        request.setHeader(QNetworkRequest::UserAgentHeader, limits.userAgent);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);

        QNetworkReply *reply = network_.get(request);
        reply_ = reply;
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &receiver_, [this] {
            bool known = false;
            const qint64 length = reply_ ? reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known) : 0;
            if (known && length > maxBytes_)
                Complete(FetchedPage{});
        });
        QObject::connect(reply, &QNetworkReply::redirected, &receiver_, [this](const QUrl &target) {
            if (!reply_)
                return;
            const bool downgrade = reply_->url().scheme() == QLatin1String("https") &&
                                   target.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0;
            if (downgrade || !IsWebUrl(target))
                Complete(FetchedPage{});
            else
                emit reply_->redirectAllowed();
        });
        QObject::connect(reply, &QIODevice::readyRead, &receiver_, [this] { ReadSome(); });
        QObject::connect(reply, &QNetworkReply::finished, &receiver_, [this] { Finish(); });
    }

    void Abort() override
    {
        DropReply();
        done_ = nullptr;
        data_.clear();
    }

private:
    void ReadSome()
    {
        if (!reply_)
            return;
        // Read no more than one byte past the cap: that byte proves the page too big.
        data_ += reply_->read(maxBytes_ + 1 - data_.size());
        if (data_.size() > maxBytes_)
            Complete(FetchedPage{});
    }

    void Finish()
    {
        if (!reply_)
            return;
        if (reply_->error() != QNetworkReply::NoError) {
            Complete(FetchedPage{});
            return;
        }
        ReadSome();
        if (!reply_)
            return;
        FetchedPage page;
        page.ok = true;
        page.status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        page.contentType = reply_->header(QNetworkRequest::ContentTypeHeader).toString();
        page.body = std::move(data_);
        Complete(std::move(page));
    }

    // Ends the fetch and reports it; done runs last, as it may delete this.
    void Complete(FetchedPage page)
    {
        DropReply();
        data_.clear();
        const Done done = std::move(done_);
        done_ = nullptr;
        if (done)
            done(std::move(page));
    }

    void DropReply()
    {
        if (!reply_)
            return;
        QNetworkReply *reply = reply_;
        reply_ = nullptr;
        reply->disconnect(&receiver_);
        reply->abort();
        reply->deleteLater();
    }

    QNetworkAccessManager network_;
    QObject receiver_; // the context of every connection to a reply; goes first
    QPointer<QNetworkReply> reply_;
    QByteArray data_;
    qint64 maxBytes_ = 0;
    Done done_;
};

} // namespace
} // namespace tallyvox

extern "C" Q_DECL_EXPORT tallyvox::PageFetcher *tallyvox_create_page_fetcher()
{
    return new (std::nothrow) tallyvox::NetPageFetcher;
}
