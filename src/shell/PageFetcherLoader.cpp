// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/pagefetch/PageFetcher.h"

#include <QCoreApplication>
#include <QLibrary>

namespace tallyvox {
namespace {

QString &LibraryPath()
{
    static QString path;
    return path;
}

CreatePageFetcherFunction *&Factory()
{
    static CreatePageFetcherFunction *factory = nullptr;
    return factory;
}

} // namespace

QString PageFetcherLibrary()
{
    if (LibraryPath().isEmpty())
        return QCoreApplication::applicationDirPath() + QStringLiteral("/libtallyvox-pagefetch.so");
    return LibraryPath();
}

void SetPageFetcherLibrary(const QString &path)
{
    LibraryPath() = path;
    Factory() = nullptr;
}

std::unique_ptr<PageFetcher> CreatePageFetcher()
{
    if (!Factory()) {
        // Never unloaded: fetchers made by it may outlive any QLibrary object.
        QLibrary library(PageFetcherLibrary());
        Factory() = reinterpret_cast<CreatePageFetcherFunction *>(library.resolve(kCreatePageFetcherSymbol));
        if (!Factory())
            return nullptr;
    }
    return std::unique_ptr<PageFetcher>(Factory()());
}

} // namespace tallyvox
