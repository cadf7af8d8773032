// SPDX-License-Identifier: GPL-3.0-or-later
// The one check of a web address, for the window's QUrl values: the
// updater's (update/WebAddress.h), so the advertisement strip, its links and
// the update notice accept exactly what the update check does.
#pragma once

#include "update/WebAddress.h"

#include <QUrl>

namespace tallyvox {

// An absolute http:// or https:// address with a host and no user name.
inline bool IsWebUrl(const QUrl &url)
{
    return url.isValid() && update::IsWebPageAddress(url.toString(QUrl::FullyEncoded).toStdString());
}

} // namespace tallyvox
