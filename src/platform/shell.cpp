#include "shell.h"

#include <QDesktopServices>

void openInDefaultBrowser(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
