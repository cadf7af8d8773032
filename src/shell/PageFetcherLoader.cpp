// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/ProgramFolder.h"
#include "shell/pagefetch/PageFetcher.h"

#include <QFileInfo>
#include <QLibrary>

#include <cstdio>

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
        return QString::fromStdString(FindProgramPiece("libtallyvox-pagefetch.so").string());
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
        const QString path = PageFetcherLibrary();
        QLibrary library(path);
        Factory() = reinterpret_cast<CreatePageFetcherFunction *>(library.resolve(kCreatePageFetcherSymbol));
        if (!Factory()) {
            // The strip would otherwise stay blank without a word.
            if (!QFileInfo::exists(path))
                ReportMissingPiece("advertisement page module", path.toStdString());
            else
                std::fprintf(stderr, "tallyvox: the advertisement page module could not be loaded: %s\n",
                             qPrintable(library.errorString()));
            return nullptr;
        }
    }
    return std::unique_ptr<PageFetcher>(Factory()());
}

} // namespace tallyvox
