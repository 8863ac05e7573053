#pragma once

#include <QUrl>

// Shows `url` in the user's default browser. A failure is not reported: there is nothing
// the user could do about it from here.
void openInDefaultBrowser(const QUrl &url);
